#include "Discovery.h"

#include "Relays.h"

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

std::string hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

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

std::vector<RelayBoard> findRelayBoards(const System& system)
{
    std::vector<RelayBoard> boards;
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
        if (const int fd = system.open(board.path); fd >= 0) {
            relays::Report answer{};
            if (system.ioctl(fd, HIDIOCGFEATURE(answer.size()), answer.data()) >= 0)
                board.id = relays::boardId(answer);
            system.close(fd);
        }
        boards.push_back(std::move(board));
    }
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

namespace {

Setting parseSetting(const std::string& value, std::string source)
{
    std::istringstream words(value);
    Setting setting{.source = std::move(source)};
    words >> setting.device;
    for (std::string word; words >> word;) {
        int count = 0;
        auto [end, error] =
            std::from_chars(word.data() + std::min<std::size_t>(7, word.size()), word.data() + word.size(), count);
        if (word.starts_with("relays=") && error == std::errc() && end == word.data() + word.size() && count >= 1 &&
            count <= relays::kMostRelays)
            setting.relays = count;
        else
            setting.error = "LPT1 is set to '" + value + "' in " + setting.source + ", and '" + word +
                            "' is not relays=N with N from 1 to 8";
    }
    return setting;
}

} // namespace

std::optional<Setting> lpt1Setting(const System& system)
{
    if (auto value = system.environment("VENTROLIK_LPT1"); value && !trimmed(*value).empty())
        return parseSetting(trimmed(*value), "VENTROLIK_LPT1");
    std::istringstream lines(readText(system.configFile).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        line = trimmed(line.substr(0, line.find('#')));
        const auto equals = line.find('=');
        if (equals != std::string::npos && trimmed(line.substr(0, equals)) == "LPT1")
            return parseSetting(trimmed(line.substr(equals + 1)), system.configFile.string());
    }
    return std::nullopt;
}

} // namespace iodll
