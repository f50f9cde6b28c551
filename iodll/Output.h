#pragma once

// The outputs that can carry LPT1's registers, one file each: a parallel
// port through ppdev, a parallel port written directly, a HID relay board
// and a serial relay module. None of them prints: each says what became of
// a call, and the library tells the user.

#include "System.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace iodll {

// Done, or why not, in words for the user.
class [[nodiscard]] Status {
public:
    static Status ok() { return Status({}); }
    static Status failed(std::string why) { return Status(std::move(why)); }
    explicit operator bool() const { return why_.empty(); }
    const std::string& why() const { return why_; }

private:
    explicit Status(std::string why) : why_(std::move(why)) {}
    std::string why_;
};

class Output {
public:
    virtual ~Output() = default;
    // Whether writes can reach the device now.
    virtual Status reach() = 0;
    // Writes the register `offset` (data, status, control) from the first.
    virtual Status write(int offset, std::uint8_t value) = 0;
};

std::unique_ptr<Output> ppdevPort(System& system, const std::filesystem::path& device);
std::unique_ptr<Output> directPort(System& system, std::uint16_t base);
std::unique_ptr<Output> hidRelayBoard(System& system, const std::filesystem::path& device, int relays);
std::unique_ptr<Output> serialRelayModule(System& system, const std::filesystem::path& device, int relays);

// What to tell the user when a ppdev `device` can't be opened or claimed,
// with a hint at the fix.
std::string describeOpenError(int error, const std::filesystem::path& device);
std::string describeClaimError(int error, const std::filesystem::path& device);

// "cannot open '/dev/x': Permission denied".
std::string deviceError(const std::string& action, int error, const std::filesystem::path& device);

} // namespace iodll
