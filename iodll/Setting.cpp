#include "Setting.h"

#include "Relays.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
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

std::optional<Setting> lpt1Setting(const Environment& environment, const fs::path& configFile)
{
    if (auto value = environment("VENTROLIK_LPT1"); value && !trimmed(*value).empty())
        return parseSetting(trimmed(*value), "VENTROLIK_LPT1");
    std::istringstream lines(readText(configFile).value_or(""));
    for (std::string line; std::getline(lines, line);) {
        line = trimmed(line.substr(0, line.find('#')));
        const auto equals = line.find('=');
        if (equals != std::string::npos && trimmed(line.substr(0, equals)) == "LPT1")
            return parseSetting(trimmed(line.substr(equals + 1)), configFile.string());
    }
    return std::nullopt;
}

} // namespace iodll
