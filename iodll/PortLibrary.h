#pragma once

// IO.DLL's work behind its three exports: finds the device behind a port
// number, writes through its output, and is the one place that tells the
// user anything.

#include "Lpt1.h"
#include "Output.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace iodll {

// What the library needs of the system it runs on: what is there, the
// outputs for it, and a way to tell the user.
class Platform {
public:
    virtual ~Platform() = default;
    // The parallel ports; with `lpt1`, all else that may carry it too.
    virtual Inventory inventory(bool lpt1) = 0;
    // The user's choice for LPT1; what can't be used of it goes to problems.
    virtual std::optional<Setting> setting(std::vector<std::string>& problems) = 0;
    virtual std::unique_ptr<Output> output(const Device& device) = 0;
    // The port written directly, where the system allows it and lists a
    // parallel port there, with a `note` for the user; otherwise nothing,
    // and the `note` says why not.
    virtual std::unique_ptr<Output> directPort(std::uint16_t port, std::string& note) = 0;
    virtual void report(const std::string& line) = 0;
};

// The real thing on the system the library is built for (linux/,
// windows/).
std::unique_ptr<Platform> systemPlatform();

class PortLibrary {
public:
    explicit PortLibrary(std::unique_ptr<Platform> platform);

    // These three are the exports' work, and nothing is thrown out of them:
    // the library's callers may be C, Basic or anything else, and on 32-bit
    // Windows an exception unwinding through a stdcall caller's frames ends
    // the process. What went wrong is said once, and the answer is "no".

    // True when writes to `port` can reach a device now. Says why not
    // otherwise.
    bool canReach(std::uint16_t port) noexcept;

    void out(std::uint16_t port, std::uint8_t value) noexcept;
    // As a 16-bit I/O write does: the low byte to `port`, the high byte to
    // the next port up.
    void wordOut(std::uint16_t port, std::uint16_t value) noexcept;

    // The exports' last resort, for a failure outside the library's own
    // work: says that `operation` failed and why, as well as it still can.
    static void sayFailure(Platform* platform, const char* operation, const char* why) noexcept;

private:
    // What is there, and the user's choice for LPT1: taken once for each
    // call into the library, whatever it writes.
    struct Look {
        Inventory inventory;
        std::optional<Setting> setting;
    };
    struct Target {
        Output* output = nullptr;
        int offset = 0;
        std::string refusal; // when there is no output
        bool gone = false;   // LPT1 was there and is not: said once, not at every call
    };

    // What is there; with `lpt1`, the relay boards and the setting too, and
    // what can't be used of the setting said once.
    Look look(bool lpt1);
    // Where a byte for `port` goes.
    Target find(const Look& look, std::uint16_t port);
    // Says once which device LPT1 is, where it is not the port at 888.
    void announceLpt1(const Device& device);
    Output& output(const Device& device);
    std::unique_ptr<Output>& made(const std::string& key);
    // Writes the byte where `port` goes, which is left in `found`.
    Status writeByte(const Look& look, std::uint16_t port, std::uint8_t value, Target& found);
    // Says once which data lines set the device LPT1 is hasn't.
    void sayMissingLines(const Target& found, std::uint8_t value);
    // Says why `found` has no output, once while LPT1 is gone.
    void sayRefusal(const Target& found, const std::string& line);
    void say(const std::string& line);
    void sayOnce(bool& said, const std::string& line);

    std::unique_ptr<Platform> platform_;
    // By device, for the whole run. A machine has a handful of devices, so a
    // list does, and keeps the Windows library small.
    std::vector<std::pair<std::string, std::unique_ptr<Output>>> outputs_;
    std::vector<std::string> settingSaid_; // what was wrong in the setting, said once each
    bool lpt1Said_ = false;
    std::string lpt1_;       // the device LPT1 was last, as messages name it
    std::string lpt1Path_;   // and its file
    bool lpt1Gone_ = false;  // and it has gone since: said once, and its return
    bool directSaid_ = false;
    std::string lpt1Line_;    // which device LPT1 is, and its lines, as said
    bool missingSaid_ = false; // lines set that LPT1 hasn't
};

// Runs `work` and lets nothing it throws go further: what it threw is said,
// as sayFailure says it.
template <typename Work>
void guarded(Platform* platform, const char* operation, Work work) noexcept
{
    try {
        work();
    } catch (const std::exception& error) {
        PortLibrary::sayFailure(platform, operation, error.what());
    } catch (...) {
        PortLibrary::sayFailure(platform, operation, "unknown error");
    }
}

} // namespace iodll
