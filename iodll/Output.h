#pragma once

// What carries LPT1's registers: an output of each system's own (linux/,
// windows/: a parallel port through ppdev or written directly, a HID relay
// board, a serial relay module). None of them prints: each says what became
// of a call, and the library tells the user.

#include <cstdint>
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
    // The data lines it carries, from D0.
    virtual int lines() const { return 8; }
};

// A device of relays, on which data line D(k-1) is relay k, on any system.
// It is opened at its first use and kept; after a failure it is opened
// afresh, as it may have been unplugged.
class RelayOutput : public Output {
public:
    Status reach() override;
    // Sets every relay from its bit. Only the data lines are relays: a byte
    // for the status or control register goes nowhere.
    Status write(int offset, std::uint8_t value) override;
    int lines() const override { return relays_; }

protected:
    explicit RelayOutput(int relays) : relays_(relays) {}
    virtual bool isOpen() const = 0;
    virtual Status open() = 0;
    virtual void close() = 0;
    virtual Status switchRelay(int relay, bool on) = 0;

private:
    const int relays_;
};

} // namespace iodll
