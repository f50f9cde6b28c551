// The common part of the relay boards: opening, and one switch per relay.

#include "Lpt1.h"
#include "Output.h"
#include "Relays.h"

#include <cerrno>

namespace iodll {

RelayOutput::RelayOutput(System& system, std::filesystem::path device, int relays, const OpenHints& hints)
    : system_(system),
      device_(std::move(device)),
      relays_(relays),
      hints_(hints)
{
}

RelayOutput::~RelayOutput()
{
    forget();
}

void RelayOutput::forget()
{
    if (fd_ >= 0)
        system_.close(fd_);
    fd_ = -1;
}

Status RelayOutput::reach()
{
    if (fd_ >= 0)
        return Status::ok();
    if ((fd_ = system_.open(device_)) < 0)
        return Status::failed(describeOpenError(errno, device_, hints_));
    Status ready = prepare();
    if (!ready)
        forget();
    return ready;
}

Status RelayOutput::write(int offset, std::uint8_t value)
{
    if (offset != kData)
        return Status::ok();
    if (Status opened = reach(); !opened)
        return opened;
    for (int relay = 1; relay <= relays_; ++relay) {
        if (Status switched = switchRelay(relay, relays::relayOn(value, relay)); !switched) {
            forget();
            return switched;
        }
    }
    return Status::ok();
}

} // namespace iodll
