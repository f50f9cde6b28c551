#include "Discovery.h"

#include "../Relays.h"
#include "Linux.h"

#include <linux/gpio.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace iodll {

namespace fs = std::filesystem;

std::optional<std::uint16_t> parseBaseAddress(std::string_view text)
{
    std::uint16_t base = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), base);
    if (error != std::errc() || (end != text.data() + text.size() && !std::isspace(static_cast<unsigned char>(*end))))
        return std::nullopt;
    return base;
}

namespace {

// The entries of `dir` whose names start with `prefix`, in the order of
// their numbers: hidraw2 before hidraw10.
std::vector<fs::path> entries(const fs::path& dir, std::string_view prefix)
{
    std::error_code error;
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(dir, error))
        if (entry.path().filename().string().starts_with(prefix))
            found.push_back(entry.path());
    std::ranges::sort(found, [](const fs::path& a, const fs::path& b) {
        const std::string x = a.filename().string(), y = b.filename().string();
        return x.size() != y.size() ? x.size() < y.size() : x < y;
    });
    return found;
}

std::optional<unsigned> hexNumber(std::string_view text)
{
    if (text.starts_with("0x"))
        text.remove_prefix(2);
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc() && end == text.data() + text.size() && !text.empty() ? std::optional(value)
                                                                                     : std::nullopt;
}

// Whether a range "first-last" of hexadecimal numbers includes `port`.
bool rangeIncludes(std::string_view range, std::uint16_t port)
{
    const auto dash = range.find('-');
    if (dash == std::string_view::npos)
        return false;
    const auto first = hexNumber(range.substr(0, dash)), last = hexNumber(range.substr(dash + 1));
    return first && last && *first <= port && port <= *last;
}

} // namespace

std::vector<ParallelPort> findParallelPorts(const System& system)
{
    std::vector<ParallelPort> ports;
    for (const fs::path& entry : entries(system.parportDir, "parport")) {
        auto text = readText(entry / "base-addr");
        if (auto base = text ? parseBaseAddress(*text) : std::nullopt)
            ports.push_back({system.deviceDir / entry.filename(), *base});
    }
    return ports;
}

std::vector<RelayBoard> findRelayBoards(const System& system, KnownIds& known)
{
    std::vector<RelayBoard> boards;
    KnownIds stillThere;
    for (const fs::path& entry : entries(system.hidrawDir, "hidraw")) {
        // HID_ID=0003:000016C0:000005DF and HID_NAME=... describe the device
        // without opening it.
        std::istringstream lines(readText(entry / "device" / "uevent").value_or(""));
        std::string id, name;
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with("HID_ID="))
                id = line.substr(7);
            else if (line.starts_with("HID_NAME="))
                name = line.substr(9);
        }
        const auto colon = id.find(':'), second = id.rfind(':');
        const auto vendor = colon == second ? std::nullopt : hexNumber(id.substr(colon + 1, second - colon - 1));
        const auto product = colon == second ? std::nullopt : hexNumber(id.substr(second + 1));
        const auto relays = relays::relayCount(name);
        if (vendor != relays::kVendor || product != relays::kProduct || !relays)
            continue;

        RelayBoard board{system.deviceDir / entry.filename(), std::string(relays::productName(name)), {}, *relays};
        std::error_code error;
        const std::string device = fs::canonical(entry / "device", error).string();
        if (auto seen = std::ranges::find(known, device, &KnownIds::value_type::first);
            !device.empty() && seen != known.end()) {
            board.id = seen->second;
        } else if (const int fd = system.open(board.path); fd >= 0) {
            relays::Report answer{};
            if (system.ioctl(fd, HIDIOCGFEATURE(answer.size()), answer.data()) >= 0)
                board.id = relays::boardId(answer);
            system.close(fd);
        }
        if (!device.empty() && !board.id.empty())
            stillThere.emplace_back(device, board.id);
        boards.push_back(std::move(board));
    }
    known = std::move(stillThere);
    return boards;
}

namespace {

// A chip's label and line count, read from its device; and what tells it
// from another alike: the USB port and serial number of the device it is
// on, "USB 1-2, serial 'A1'".
GpioChip readChip(const System& system, const fs::path& device, const fs::path& entry)
{
    GpioChip chip{device.string(), {}};
    const int fd = system.open(device);
    if (fd < 0) {
        chip.problem = describeOpenError(system, errno, device, kGpioHints);
        return chip;
    }
    gpiochip_info info{};
    if (system.ioctl(fd, GPIO_GET_CHIPINFO_IOCTL, &info) >= 0) {
        chip.label = shown(std::string(info.label, strnlen(info.label, sizeof info.label)));
        chip.lines = info.lines;
    } else {
        chip.problem = deviceError("read", errno, device);
    }
    system.close(fd);
    std::error_code error;
    for (auto folder = fs::canonical(entry, error); !error && folder.has_relative_path(); folder = folder.parent_path())
        if (fs::exists(folder / "busnum", error)) {
            chip.where = "USB " + shown(folder.filename().string());
            if (const auto serial = readText((folder / "serial").string()))
                chip.where += ", serial '" + shown(trimmed(*serial)) + "'";
            break;
        }
    return chip;
}

} // namespace

std::vector<GpioChip> findGpioChips(const System& system, KnownChips& known)
{
    std::vector<GpioChip> chips;
    KnownChips stillThere;
    for (const fs::path& entry : entries(system.gpioDir, "gpiochip")) {
        std::error_code error;
        const std::string place = fs::canonical(entry, error).string();
        const auto seen = std::ranges::find(known, place, &KnownChips::value_type::first);
        GpioChip chip = !place.empty() && seen != known.end()
                            ? seen->second
                            : readChip(system, system.deviceDir / entry.filename(), entry);
        if (!place.empty() && chip.problem.empty())
            stillThere.emplace_back(place, chip);
        // The package's links, made by udev after the chip comes: looked
        // at each time.
        for (const auto& link : fs::directory_iterator(system.deviceDir / "gpio" / "by-path", error))
            if (fs::read_symlink(link.path(), error).filename() == entry.filename()) {
                chip.links.push_back(link.path().string());
                chip.where += (chip.where.empty() ? "" : ", ") + shown(link.path().string());
            }
        chips.push_back(std::move(chip));
    }
    known = std::move(stillThere);
    return chips;
}

bool systemListsParallelPort(const System& system, std::uint16_t port)
{
    for (const fs::path& device : entries(system.pnpDir, "")) {
        std::istringstream ids(readText(device / "id").value_or(""));
        if (std::ranges::none_of(std::vector<std::string>(std::istream_iterator<std::string>(ids), {}),
                                 [](const std::string& id) { return id == "PNP0400" || id == "PNP0401"; }))
            continue;
        // "io 0x378-0x37f", one line a range.
        std::istringstream resources(readText(device / "resources").value_or(""));
        for (std::string line; std::getline(resources, line);)
            if (line.starts_with("io ") && rangeIncludes(trimmed(line.substr(3)), port))
                return true;
    }
    // "  0378-037a : parport0", indented by nesting.
    std::istringstream map(readText(system.ioportsFile).value_or(""));
    for (std::string line; std::getline(map, line);) {
        const auto colon = line.find(" : ");
        if (colon != std::string::npos && line.substr(colon + 3).starts_with("parport") &&
            rangeIncludes(trimmed(line.substr(0, colon)), port))
            return true;
    }
    return false;
}

} // namespace iodll
