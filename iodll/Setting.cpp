#include "Setting.h"

#include "Relays.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace iodll {

namespace fs = std::filesystem;

std::optional<std::string> readText(const fs::path& file, std::string* error)
{
#ifdef _WIN32
    std::FILE* in = _wfopen(file.c_str(), L"rb");
#else
    std::FILE* in = std::fopen(file.c_str(), "rb");
#endif
    std::string text;
    if (in) {
        char block[4096];
        while (std::size_t got = std::fread(block, 1, sizeof block, in))
            text.append(block, got);
        const bool failed = std::ferror(in);
        std::fclose(in);
        if (!failed)
            return text;
    }
    if (error)
        *error = std::strerror(errno);
    return std::nullopt;
}

std::string shown(std::string_view value)
{
    constexpr std::size_t kLongest = 80;
    std::string text;
    for (const char c : value.substr(0, kLongest)) {
        const auto byte = static_cast<unsigned char>(c);
        text += byte < 0x20 || byte == 0x7f ? '?' : c;
    }
    if (value.size() > kLongest)
        text += "...";
    return text;
}

namespace {

void appendUtf8(std::string& text, char32_t c)
{
    if (c < 0x80) {
        text += char(c);
    } else if (c < 0x800) {
        text += char(0xC0 | (c >> 6));
        text += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        text += char(0xE0 | (c >> 12));
        text += char(0x80 | ((c >> 6) & 0x3F));
        text += char(0x80 | (c & 0x3F));
    } else {
        text += char(0xF0 | (c >> 18));
        text += char(0x80 | ((c >> 12) & 0x3F));
        text += char(0x80 | ((c >> 6) & 0x3F));
        text += char(0x80 | (c & 0x3F));
    }
}

// UTF-16 after its byte order mark, as UTF-8; a lone surrogate becomes '?'.
std::string fromUtf16(std::string_view bytes, bool bigEndian)
{
    std::string text;
    const auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
        return char32_t(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = '?';
        }
        appendUtf8(text, c);
    }
    return text;
}

} // namespace

std::vector<std::string> settingLines(std::string_view bytes)
{
    std::string text;
    if (bytes.starts_with("\xEF\xBB\xBF"))
        text = bytes.substr(3);
    else if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        text = fromUtf16(bytes.substr(2), bytes[0] == '\xFE');
    else
        text = bytes;
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line); // a CR at the end goes with the blanks
    return lines;
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
            setting.error = "LPT1 is set to '" + shown(value) + "' in " + setting.source + ", and '" + shown(word) +
                            "' is not relays=N with N from 1 to 8";
    }
    return setting;
}

} // namespace

std::optional<Setting> lpt1Setting(const Environment& environment, const fs::path& configFile,
                                   std::vector<std::string>& problems)
{
    if (auto value = environment("VENTROLIK_LPT1"); value && !trimmed(*value).empty())
        return parseSetting(trimmed(*value), "VENTROLIK_LPT1");
    std::error_code missing;
    if (!fs::exists(fs::symlink_status(configFile, missing)))
        return std::nullopt;
    const std::string file = configFile.string();
    std::string error;
    const std::optional<std::string> bytes = readText(configFile, &error);
    if (!bytes) {
        problems.push_back("cannot read '" + file + "': " + error);
        return std::nullopt;
    }
    std::optional<Setting> found;
    int number = 0;
    for (std::string line : settingLines(*bytes)) {
        ++number;
        line = trimmed(line.substr(0, line.find('#')));
        if (line.empty())
            continue;
        const std::string where = file + ":" + std::to_string(number) + ": ";
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            problems.push_back(where + "'" + shown(line) + "' is not KEY=VALUE, ignoring it");
            continue;
        }
        std::string key = trimmed(line.substr(0, equals));
        std::ranges::transform(key, key.begin(), [](unsigned char c) { return char(std::toupper(c)); });
        if (key != "LPT1")
            problems.push_back(where + "unknown key '" + shown(trimmed(line.substr(0, equals))) +
                               "' (the key is LPT1), ignoring it");
        else if (!found)
            found = parseSetting(trimmed(line.substr(equals + 1)), where.substr(0, where.size() - 2));
    }
    return found;
}

} // namespace iodll
