// What to say when a device fails, from errno, with a hint at the fix.

#include "Linux.h"

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

} // namespace iodll
