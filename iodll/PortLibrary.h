#pragma once

// IO.DLL's work behind its three exports: finds the device behind a port
// number, writes through its output, and is the one place that tells the
// user anything.

#include "Lpt1.h"
#include "Output.h"
#include "System.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace iodll {

class PortLibrary {
public:
    explicit PortLibrary(System system);

    // True when writes to `port` can reach a device now. Says why not
    // otherwise.
    bool canReach(std::uint16_t port);

    void out(std::uint16_t port, std::uint8_t value);
    // As a 16-bit I/O write does: the low byte to `port`, the high byte to
    // the next port up.
    void wordOut(std::uint16_t port, std::uint16_t value);

private:
    struct Target {
        Output* output = nullptr;
        int offset = 0;
        std::string refusal; // when there is no output
    };

    // Where a byte for `port` goes. Says once which device LPT1 is.
    Target target(std::uint16_t port);
    Output& output(const Device& device);
    Status writeByte(std::uint16_t port, std::uint8_t value);
    void say(const std::string& line);
    void sayOnce(bool& said, const std::string& line);

    System system_;
    std::map<std::string, std::unique_ptr<Output>> outputs_; // by device, for the whole run
    bool lpt1Said_ = false;
    bool directSaid_ = false;
};

} // namespace iodll
