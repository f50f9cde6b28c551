#include "Setting.h"

#include "Relays.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace iodll {

std::string printable(std::string_view message)
{
    std::string text;
    for (std::size_t i = 0; i < message.size(); ++i) {
        const auto byte = static_cast<unsigned char>(message[i]);
        const auto next = i + 1 < message.size() ? static_cast<unsigned char>(message[i + 1]) : 0;
        if (byte == 0xC2 && next >= 0x80 && next < 0xA0) { // U+0080 to U+009F
            text += '?';
            ++i;
        } else {
            text += byte < 0x20 || byte == 0x7F ? '?' : char(byte);
        }
    }
    return text;
}

std::string shown(std::string_view value)
{
    constexpr std::size_t kLongest = 80;
    return printable(value.substr(0, kLongest)) + (value.size() > kLongest ? "..." : "");
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
    // A CR at a line's end goes with the blanks around it.
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string trimmed(std::string text)
{
    const auto blank = [](unsigned char c) { return std::isspace(c); };
    text.erase(std::find_if_not(text.rbegin(), text.rend(), blank).base(), text.end());
    text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), blank));
    return text;
}

std::vector<std::string> words(std::string_view line)
{
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    std::vector<std::string> found;
    for (auto at = line.begin(); at != line.end();) {
        at = std::find_if_not(at, line.end(), blank);
        const auto end = std::find_if(at, line.end(), blank);
        if (at != end)
            found.emplace_back(at, end);
        at = end;
    }
    return found;
}

std::string hex(unsigned value)
{
    char digits[8];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, 16).ptr;
    return "0x" + std::string(digits, end);
}

namespace {

Setting parseSetting(const std::string& value, std::string source)
{
    const std::vector<std::string> parts = words(value);
    Setting setting{.device = parts.empty() ? "" : parts.front(), .source = std::move(source)};
    // A path is cut at a NUL by every system call that takes it.
    if (value.find('\0') != std::string::npos) {
        setting.error = "LPT1 is set to '" + shown(value) + "' in " + setting.source + ", which holds a NUL byte";
        return setting;
    }
    const auto refuse = [&](const std::string& why) {
        setting.error = "LPT1 is set to '" + shown(value) + "' in " + setting.source + ", and " + why;
    };
    bool relaysSet = false;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string& word = parts[i];
        int count = 0;
        auto [end, error] =
            std::from_chars(word.data() + std::min<std::size_t>(7, word.size()), word.data() + word.size(), count);
        if (word.starts_with("relays=") && error == std::errc() && end == word.data() + word.size() && count >= 1 &&
            count <= relays::kMostRelays) {
            setting.relays = count;
            relaysSet = true;
        } else if (word.starts_with("lines=")) {
            setting.lines.clear();
            for (std::size_t start = 6; start <= word.size();) {
                const std::size_t comma = std::min(word.find(',', start), word.size());
                setting.lines.push_back(word.substr(start, comma - start));
                start = comma + 1;
            }
            if (std::ranges::find(setting.lines, "") != setting.lines.end() || setting.lines.size() > std::size_t(relays::kMostRelays))
                refuse("'" + shown(word) + "' is not lines=A,B,... with 1 to 8 GPIO lines, for D0 on");
        } else if (word == "active-low") {
            setting.activeLow = true;
        } else {
            refuse("'" + shown(word) + "' is not relays=N with N from 1 to 8, lines=A,B,... or active-low");
        }
    }
    if (setting.error.empty() && setting.lines.empty() && setting.activeLow)
        refuse("active-low is for GPIO lines, named with lines=A,B,...");
    if (setting.error.empty() && !setting.lines.empty() && relaysSet)
        refuse("relays=N is for a serial relay module, not GPIO lines");
    return setting;
}

} // namespace

std::optional<Setting> lpt1Setting(const Environment& environment, const std::string& file,
                                   std::vector<std::string>& problems)
{
    if (auto value = environment("VENTROLIK_LPT1"); value && !trimmed(*value).empty())
        return parseSetting(trimmed(*value), "VENTROLIK_LPT1");
    std::string error;
    const std::optional<std::string> bytes = readText(file, &error);
    if (!bytes) {
        if (!error.empty()) // not just a file that isn't there
            problems.push_back("cannot read '" + file + "': " + error);
        return std::nullopt;
    }
    std::optional<Setting> found;
    int number = 0, foundOn = 0;
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
        else if (found)
            problems.push_back(where + "a second LPT1 line, ignoring it: the one on line " + std::to_string(foundOn) +
                               " counts");
        else {
            found = parseSetting(trimmed(line.substr(equals + 1)), where.substr(0, where.size() - 2));
            foundOn = number;
        }
    }
    return found;
}

} // namespace iodll
