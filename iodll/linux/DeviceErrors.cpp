// What to say when a device fails, from errno, with a hint at the fix.

#include "Linux.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace iodll {

std::string deviceError(const std::string& action, int error, const std::filesystem::path& device)
{
    return "cannot " + action + " '" + device.string() + "': " + std::strerror(error);
}

namespace {

std::string permissionHint(const System& system, const std::filesystem::path& device, const std::string& group)
{
    // systemd sets this for every process of a unit it starts.
    const bool service = system.environment("INVOCATION_ID").has_value();
    const auto join = [&](const std::string& name) {
        return service ? "the service needs the group '" + name + "': add it with SupplementaryGroups= in 'systemctl edit' of its unit"
                       : "add your user to the '" + name + "' group, then log in again";
    };
    const std::optional<Access> access = system.access ? system.access(device) : std::nullopt;
    if (!access)
        return join(group);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", access->mode);
    const std::string is = "it is " + shown(access->owner) + ":" + shown(access->group) + " " + mode;
    if ((access->mode & 060) == 060)
        return is + ": " + join(shown(access->group));
    return is + ", for its owner alone: the group '" + group + "' should have it, as the package's udev rule gives it " +
           "('sudo udevadm trigger' applies the rules)";
}

} // namespace

std::string describeOpenError(const System& system, int error, const std::filesystem::path& device,
                              const OpenHints& hints)
{
    const std::string line = deviceError("open", error, device);
    std::string hint;
    switch (error) {
    case EACCES:
    case EPERM:
        hint = permissionHint(system, device, hints.group);
        break;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        hint = hints.missing ? hints.missing : "";
        break;
    case EBUSY:
        hint = hints.busy ? hints.busy : "";
        break;
    }
    return hint.empty() ? line : line + " (" + hint + ")";
}

} // namespace iodll
