// The common part of the devices: what to say when one can't be opened,
// and a relay device's opening and one switch per relay.

#include "Lpt1.h"
#include "Output.h"
#include "Relays.h"

#include <cerrno>
#include <cstring>

namespace iodll {

std::string deviceError(const std::string& action, int error, const std::filesystem::path& device)
{
    return "cannot " + action + " '" + device.string() + "': " + std::strerror(error);
}

std::string describeOpenError(int error, const std::filesystem::path& device, const OpenHints& hints)
{
    const std::string line = deviceError("open", error, device);
    const char* hint = nullptr;
    switch (error) {
    case EACCES:
    case EPERM:
        hint = hints.permission;
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        hint = hints.missing;
        break;
    case EBUSY:
        hint = hints.busy;
        break;
    }
    return hint ? line + " (" + hint + ")" : line;
}

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
