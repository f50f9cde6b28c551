// A relay device's opening and one switch per relay, on both systems.

#include "Lpt1.h"
#include "Output.h"
#include "Relays.h"

namespace iodll {

Status RelayOutput::reach()
{
    return isOpen() ? Status::ok() : open();
}

Status RelayOutput::write(int offset, std::uint8_t value)
{
    if (offset != kData)
        return Status::ok();
    if (Status opened = reach(); !opened)
        return opened;
    for (int relay = 1; relay <= relays_; ++relay) {
        if (Status switched = switchRelay(relay, relays::relayOn(value, relay)); !switched) {
            close();
            return switched;
        }
    }
    return Status::ok();
}

} // namespace iodll
