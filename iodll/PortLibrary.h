#pragma once

// IO.DLL's work behind its three exports: finds the device behind a port
// number, writes through its output, and is the one place that tells the
// user anything.

#include "Lpt1.h"
#include "Output.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace iodll {

// What the library needs of the system it runs on: what is there, the
// outputs for it, and a way to tell the user.
class Platform {
public:
    virtual ~Platform() = default;
    // The parallel ports, and the relay boards when `boards` is set.
    virtual Inventory inventory(bool boards) = 0;
    virtual std::optional<Setting> setting() = 0;
    virtual std::unique_ptr<Output> output(const Device& device) = 0;
    // The port written directly, where the system allows it and lists a
    // parallel port there, with a `note` for the user; otherwise nothing,
    // and the `note` says why not.
    virtual std::unique_ptr<Output> directPort(std::uint16_t port, std::string& note) = 0;
    virtual void report(const std::string& line) = 0;
};

// The real thing on Linux, and on Windows.
std::unique_ptr<Platform> linuxPlatform(System system);
std::unique_ptr<Platform> windowsPlatform();

class PortLibrary {
public:
    explicit PortLibrary(std::unique_ptr<Platform> platform);

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

    std::unique_ptr<Platform> platform_;
    std::map<std::string, std::unique_ptr<Output>> outputs_; // by device, for the whole run
    bool lpt1Said_ = false;
    bool directSaid_ = false;
};

} // namespace iodll
