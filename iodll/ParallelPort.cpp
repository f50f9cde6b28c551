#include "ParallelPort.h"

#include <linux/ppdev.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace iodll {

namespace fs = std::filesystem;

namespace {

// Offsets of the registers from the port's base address.
constexpr int kData = 0;
constexpr int kStatus = 1;
constexpr int kControl = 2;

std::optional<std::string> readText(const fs::path& file)
{
    std::ifstream in(file);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string trimmed(std::string text)
{
    const auto blank = [](unsigned char c) { return std::isspace(c); };
    text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
    return text;
}

std::string hex(std::uint16_t port)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%x", port);
    return text;
}

} // namespace

std::optional<std::uint16_t> parseBaseAddress(std::string_view text)
{
    std::uint16_t base = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), base);
    if (error != std::errc() || (end != text.data() + text.size() && !std::isspace(static_cast<unsigned char>(*end))))
        return std::nullopt;
    return base;
}

namespace {

// Whether a range "first-last" of hexadecimal numbers (with or without 0x)
// includes `port`.
bool rangeIncludes(std::string_view range, std::uint16_t port)
{
    const auto dash = range.find('-');
    if (dash == std::string_view::npos)
        return false;
    auto number = [](std::string_view text) {
        if (text.starts_with("0x"))
            text.remove_prefix(2);
        unsigned value = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
        return error == std::errc() && end == text.data() + text.size() ? std::optional(value) : std::nullopt;
    };
    const auto first = number(range.substr(0, dash)), last = number(range.substr(dash + 1));
    return first && last && *first <= port && port <= *last;
}

} // namespace

bool systemListsParallelPort(const System& system, std::uint16_t port)
{
    std::error_code error;
    for (const auto& device : fs::directory_iterator(system.pnpDir, error)) {
        std::istringstream ids(readText(device.path() / "id").value_or(""));
        std::string id;
        while (ids >> id && id != "PNP0400" && id != "PNP0401") {
        }
        if (id != "PNP0400" && id != "PNP0401")
            continue;
        // "io 0x378-0x37f", one line per range.
        std::istringstream resources(readText(device.path() / "resources").value_or(""));
        for (std::string line; std::getline(resources, line);)
            if (line.starts_with("io ") && rangeIncludes(trimmed(line.substr(3)), port))
                return true;
    }
    // "  0378-037a : parport0", indented by nesting.
    std::istringstream ports(readText(system.ioportsFile).value_or(""));
    for (std::string line; std::getline(ports, line);) {
        const auto colon = line.find(" : ");
        if (colon != std::string::npos && line.substr(colon + 3).starts_with("parport") &&
            rangeIncludes(trimmed(line.substr(0, colon)), port))
            return true;
    }
    return false;
}

namespace {

std::string deviceError(const char* action, int error, const fs::path& device)
{
    return std::string("cannot ") + action + " '" + device.string() + "': " + std::strerror(error);
}

} // namespace

std::string describeOpenError(int error, const fs::path& device)
{
    std::string line = deviceError("open", error, device);
    switch (error) {
    case EACCES:
    case EPERM:
        return line + " (add your user to the 'lp' group, then log in again)";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return line + " (load the 'ppdev' module: modprobe ppdev)";
    case EBUSY:
        return line + " (another driver holds the port)";
    default:
        return line;
    }
}

std::string describeClaimError(int error, const fs::path& device)
{
    std::string line = deviceError("claim", error, device);
    // ppdev can't register a second device on a port that another program
    // registered for exclusive use, and says so with ENXIO.
    if (error == ENXIO)
        return line + " (another program has exclusive use of the port; close it first)";
    return line;
}

ParallelPorts::ParallelPorts(System system) : system_(std::move(system)) {}

std::vector<Device> ParallelPorts::devices() const
{
    std::error_code error;
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(system_.parportDir, error))
        if (entry.path().filename().string().starts_with("parport"))
            entries.push_back(entry.path());
    std::ranges::sort(entries);

    std::vector<Device> devices;
    for (const fs::path& entry : entries) {
        auto text = readText(entry / "base-addr");
        auto base = text ? parseBaseAddress(*text) : std::nullopt;
        if (!base)
            continue;
        std::string holder = trimmed(readText(entry / "devices" / "active").value_or("none"));
        if (holder == "none")
            holder.clear();
        devices.push_back({system_.deviceDir / entry.filename(), *base, holder});
    }
    return devices;
}

std::optional<Setting> ParallelPorts::lpt1Setting() const
{
    if (auto value = system_.environment("VENTROLIK_LPT1"); value && !value->empty())
        return Setting{*value, "VENTROLIK_LPT1"};
    std::istringstream lines(readText(system_.configFile).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        line = trimmed(line.substr(0, line.find('#')));
        const auto equals = line.find('=');
        if (equals != std::string::npos && trimmed(line.substr(0, equals)) == "LPT1")
            return Setting{trimmed(line.substr(equals + 1)), system_.configFile.string()};
    }
    return std::nullopt;
}

namespace {

std::string listed(const std::vector<Device>& devices)
{
    std::string list;
    for (const Device& device : devices)
        list += (list.empty() ? "" : ", ") + device.path.string() + " at " + hex(device.base);
    return list;
}

} // namespace

Lookup ParallelPorts::find(std::uint16_t port)
{
    const std::vector<Device> all = devices();
    const bool lpt1 = port >= kLpt1 && port <= kLpt1 + kControl;
    auto device =
        std::ranges::find_if(all, [&](const Device& d) { return port >= d.base && port <= d.base + kControl; });
    if (device != all.end() && (!lpt1 || device->base == kLpt1))
        return {*device, port - device->base, {}};
    if (!lpt1 || all.empty())
        return {};

    // The first parallel port's registers, wherever a card put that port:
    // the one that the user set, or the only one there is.
    std::optional<Device> chosen;
    if (auto setting = lpt1Setting()) {
        auto named = std::ranges::find_if(all, [&](const Device& d) { return d.path == setting->device; });
        if (named == all.end())
            return {std::nullopt, 0,
                    "LPT1 is set to '" + setting->device + "' in " + setting->source +
                        ", but there is no such parallel port (the ports are " + listed(all) + ")"};
        chosen = *named;
    } else if (all.size() == 1) {
        chosen = all.front();
    } else {
        return {std::nullopt, 0,
                "no parallel port at " + hex(kLpt1) + ", and more than one elsewhere: " + listed(all) +
                    " (choose one for LPT1 with a line LPT1=/dev/parportN in " + system_.configFile.string() +
                    ", or with VENTROLIK_LPT1=/dev/parportN)"};
    }
    if (!lpt1Announced_) {
        lpt1Announced_ = true;
        system_.report("LPT1 (" + hex(kLpt1) + ") is " + chosen->path.string() + " at " + hex(chosen->base));
    }
    return {chosen, port - kLpt1, {}};
}

ParallelPorts::~ParallelPorts()
{
    for (const auto& [path, fd] : clients_)
        system_.close(fd);
}

bool ParallelPorts::claim(const Device& device, int& fd)
{
    // Claiming a port that another driver holds would block until that
    // driver lets go, and freeze the window with it, so a held port is
    // refused at once. The port can still be taken in the moment between
    // the look and the claim; the claim then waits for that one job.
    if (!device.holder.empty()) {
        system_.report("cannot use '" + device.path.string() + "': '" + device.holder +
                       "' holds the port (another driver holds the port)");
        return false;
    }
    // One client per device for the whole run: at each claim the kernel
    // restores the claiming client's own register state, so a fresh client
    // would reset the control lines that an earlier write had set.
    auto client = clients_.find(device.path);
    if (client == clients_.end()) {
        const int opened = system_.open(device.path);
        if (opened < 0) {
            system_.report(describeOpenError(errno, device.path));
            return false;
        }
        client = clients_.emplace(device.path, opened).first;
    }
    fd = client->second;
    if (system_.ioctl(fd, PPCLAIM, nullptr) != 0) {
        system_.report(describeClaimError(errno, device.path));
        return false;
    }
    return true;
}

void ParallelPorts::release(int fd)
{
    // Never left claimed between writes: other programs and the printer
    // driver may use the port in between.
    system_.ioctl(fd, PPRELEASE, nullptr);
}

bool ParallelPorts::directIo(std::uint16_t port)
{
    // Only where the system lists a port: elsewhere nothing answers at the
    // address, and a write there would be a failure reported as success.
    if (!systemListsParallelPort(system_, port) || !system_.directIoAllowed(port, 1))
        return false;
    if (!directIoAnnounced_) {
        directIoAnnounced_ = true;
        system_.report("writing to port " + hex(port) + " directly: no /dev/parport* has it" +
                       " (load 'ppdev' to go through the kernel's driver)");
    }
    return true;
}

bool ParallelPorts::canReach(std::uint16_t port)
{
    const Lookup found = find(port);
    if (found.device) {
        int fd = -1;
        if (!claim(*found.device, fd))
            return false;
        release(fd);
        return true;
    }
    if (!found.refusal.empty()) {
        system_.report(found.refusal);
        return false;
    }
    if (directIo(port))
        return true;
    if (!systemListsParallelPort(system_, port))
        system_.report("no parallel port at " + hex(port) + ": no /dev/parport* has base " + std::to_string(port) +
                       ", and the system lists no parallel port at that address (is there one?)");
    else
        system_.report("no parallel port at " + hex(port) + ": no /dev/parport* has base " + std::to_string(port) +
                       " (is the 'ppdev' module loaded?)");
    return false;
}

std::string ParallelPorts::writeByte(std::uint16_t port, std::uint8_t value)
{
    const Lookup found = find(port);
    if (!found.device) {
        if (!found.refusal.empty())
            return found.refusal;
        if (!directIo(port))
            return "no parallel port there";
        system_.outb(port, value);
        return {};
    }

    // The status register is read-only: a byte for it goes nowhere.
    if (found.offset == kStatus)
        return {};

    int fd = -1;
    if (!claim(*found.device, fd))
        return {};
    unsigned char byte = value;
    if (system_.ioctl(fd, found.offset == kData ? PPWDATA : PPWCONTROL, &byte) != 0)
        system_.report("cannot write to '" + found.device->path.string() + "': " + std::strerror(errno));
    release(fd);
    return {};
}

void ParallelPorts::reportFailedWrite(std::uint16_t port, std::uint16_t value, const std::string& why)
{
    system_.report("cannot write " + hex(value) + " to port " + hex(port) + ": " + why);
}

void ParallelPorts::out(std::uint16_t port, std::uint8_t value)
{
    if (std::string why = writeByte(port, value); !why.empty())
        reportFailedWrite(port, value, why);
}

void ParallelPorts::wordOut(std::uint16_t port, std::uint16_t value)
{
    // One write, so at most one line about it, whichever byte missed.
    const std::string low = writeByte(port, static_cast<std::uint8_t>(value & 0xFF));
    const auto high = static_cast<std::uint16_t>(port + 1);
    if (!low.empty())
        reportFailedWrite(port, value, low);
    else if (std::string why = writeByte(high, static_cast<std::uint8_t>(value >> 8)); !why.empty())
        reportFailedWrite(high, value, why);
}

} // namespace iodll
