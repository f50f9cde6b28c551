// A parallel port written with the processor's own port I/O, where the
// process already may and the system lists a port at that address.

#include "Linux.h"

namespace iodll {

namespace {

class DirectPort final : public Output {
public:
    DirectPort(System& system, std::uint16_t base) : system_(system), base_(base) {}

    Status reach() override
    {
        return system_.directIoAllowed(base_, 1) ? Status::ok() : Status::failed("no right to direct port I/O");
    }

    Status write(int offset, std::uint8_t value) override
    {
        if (Status allowed = reach(); !allowed)
            return allowed;
        system_.outb(static_cast<std::uint16_t>(base_ + offset), value);
        return Status::ok();
    }

private:
    System& system_;
    std::uint16_t base_;
};

} // namespace

std::unique_ptr<Output> directPort(System& system, std::uint16_t base)
{
    return std::make_unique<DirectPort>(system, base);
}

} // namespace iodll
