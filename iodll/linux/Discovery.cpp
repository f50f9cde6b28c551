#include "Discovery.h"

#include "../Relays.h"

#include <linux/hidraw.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
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

// The entries of `dir` whose names start with `prefix`, sorted by name.
std::vector<fs::path> entries(const fs::path& dir, std::string_view prefix)
{
    std::error_code error;
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(dir, error))
        if (entry.path().filename().string().starts_with(prefix))
            found.push_back(entry.path());
    std::ranges::sort(found);
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
