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

std::optional<Device> ParallelPorts::find(std::uint16_t port) const
{
    std::error_code error;
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(system_.parportDir, error))
        if (entry.path().filename().string().starts_with("parport"))
            entries.push_back(entry.path());
    std::ranges::sort(entries);

    for (const fs::path& entry : entries) {
        auto text = readText(entry / "base-addr");
        auto base = text ? parseBaseAddress(*text) : std::nullopt;
        if (!base || port < *base || port > *base + kControl)
            continue;
        std::string holder = trimmed(readText(entry / "devices" / "active").value_or("none"));
        if (holder == "none")
            holder.clear();
        return Device{system_.deviceDir / entry.filename(), *base, holder};
    }
    return std::nullopt;
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
    if (!system_.directIoAllowed(port, 1))
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
    if (auto device = find(port)) {
        int fd = -1;
        if (!claim(*device, fd))
            return false;
        release(fd);
        return true;
    }
    if (directIo(port))
        return true;
    system_.report("no parallel port at " + hex(port) + ": no /dev/parport* has base " + std::to_string(port) +
                   " (is there a parallel port, and is the 'ppdev' module loaded?)");
    return false;
}

bool ParallelPorts::writeByte(std::uint16_t port, std::uint8_t value)
{
    auto device = find(port);
    if (!device) {
        if (!directIo(port))
            return false;
        system_.outb(port, value);
        return true;
    }

    const int offset = port - device->base;
    // The status register is read-only: a byte for it goes nowhere.
    if (offset == kStatus)
        return true;

    int fd = -1;
    if (!claim(*device, fd))
        return true;
    unsigned char byte = value;
    if (system_.ioctl(fd, offset == kData ? PPWDATA : PPWCONTROL, &byte) != 0)
        system_.report("cannot write to '" + device->path.string() + "': " + std::strerror(errno));
    release(fd);
    return true;
}

void ParallelPorts::reportNoPort(std::uint16_t port, std::uint16_t value)
{
    system_.report("cannot write " + hex(value) + " to port " + hex(port) + ": no parallel port there");
}

void ParallelPorts::out(std::uint16_t port, std::uint8_t value)
{
    if (!writeByte(port, value))
        reportNoPort(port, value);
}

void ParallelPorts::wordOut(std::uint16_t port, std::uint16_t value)
{
    // One write, so at most one line about it, whichever byte missed.
    const bool low = writeByte(port, static_cast<std::uint8_t>(value & 0xFF));
    const bool high = writeByte(static_cast<std::uint16_t>(port + 1), static_cast<std::uint8_t>(value >> 8));
    if (!low || !high)
        reportNoPort(low ? static_cast<std::uint16_t>(port + 1) : port, value);
}

} // namespace iodll
