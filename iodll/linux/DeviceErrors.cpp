// What to say when a device fails, from errno, with a hint at the fix.

#include "Linux.h"
#include "../Setting.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace iodll {

std::string deviceError(const std::string& action, int error, const std::filesystem::path& device)
{
    return "cannot " + action + " '" + device.string() + "': " + std::strerror(error);
}

std::string serviceUnit(const System& system)
{
    const std::optional<std::string> groups = readText(system.cgroupFile.string(), nullptr);
    if (!groups)
        return {};
    std::string_view rest = *groups;
    while (!rest.empty()) {
        const std::string_view line = rest.substr(0, rest.find('\n'));
        rest.remove_prefix(std::min(rest.size(), line.size() + 1));
        // "0::/system.slice/ventrolik-thermostat.service" on the unified
        // hierarchy, "1:name=systemd:/system.slice/..." on the old one.
        if (!line.starts_with("0::") && line.find(":name=systemd:") == std::string_view::npos)
            continue;
        const std::string_view path = line.substr(line.find(":/") + 1);
        const std::string_view unit = path.substr(path.rfind('/') + 1);
        if (path.starts_with("/system.slice/") && unit.ends_with(".service"))
            return std::string(unit);
        return {};
    }
    return {};
}

namespace {

// Whether this process is the thermostat's service, or a unit made from it
// (an instance, or a copy named after it). systemd's INVOCATION_ID won't
// tell, as every process started anywhere below a unit inherits it.
bool isTheService(const System& system)
{
    return serviceUnit(system).starts_with("ventrolik-thermostat");
}

std::string permissionHint(const System& system, const std::filesystem::path& device, const std::string& group,
                           const char* rule)
{
    const bool service = isTheService(system);
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
    return is + ", for its owner alone: the group '" + group + "' should have it, " +
           (rule ? rule : "as the package's udev rule gives it") + " ('sudo udevadm trigger' applies the rules)";
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
        hint = permissionHint(system, device, hints.group, hints.rule);
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
