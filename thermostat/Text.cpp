#include "Text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace thermostat {

std::optional<double> number(std::string_view text)
{
    const bool negative = text.starts_with('-');
    text.remove_prefix(negative ? 1 : 0);
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == text.npos ? std::string_view() : text.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return std::ranges::all_of(part, [](char c) { return c >= '0' && c <= '9'; });
    };
    // Both parts exact as integers, and the power of ten too: the quotient
    // is the double nearest the number written.
    if (whole.size() + fraction.size() == 0 || whole.size() + fraction.size() > 15 || !digits(whole) ||
        !digits(fraction) || (point != text.npos && fraction.empty()))
        return std::nullopt;
    double value = 0, scale = 1;
    for (const char c : whole)
        value = value * 10 + (c - '0');
    for (const char c : fraction) {
        value = value * 10 + (c - '0');
        scale *= 10;
    }
    return (negative ? -value : value) / scale;
}

std::string decimal(double value, int places)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    if (std::fabs(value) >= 1e15) // what is left would not fit the integer below
        return value < 0 ? "below -10^15" : "above 10^15";
    long long scale = 1;
    for (int i = 0; i < places; ++i)
        scale *= 10;
    const long long scaled = std::llround(std::fabs(value) * double(scale));
    std::string text = (value < 0 && scaled != 0 ? "-" : "") + std::to_string(scaled / scale);
    if (places > 0) {
        const std::string digits = std::to_string(scaled % scale);
        text += "." + std::string(places - digits.size(), '0') + digits;
    }
    return text;
}

std::string seconds(std::chrono::steady_clock::duration duration)
{
    std::string text = decimal(std::chrono::duration<double>(duration).count(), 3);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.ends_with('.'))
        text.pop_back();
    return text;
}

std::string printable(std::string_view value)
{
    std::string text(value);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f)
            c = '?';
    return text;
}

bool isUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte < 0x80 ? 1 : byte >> 5 == 0x6 ? 2 : byte >> 4 == 0xe ? 3 : byte >> 3 == 0x1e ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        std::uint32_t point = length == 1 ? byte : byte & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next >> 6 != 0x2)
                return false;
            point = point << 6 | (next & 0x3f);
        }
        // Not longer than needed, no surrogate, and within Unicode.
        constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kLeast[length] || (point >= 0xd800 && point <= 0xdfff) || point > 0x10ffff)
            return false;
        i += length;
    }
    return true;
}

} // namespace thermostat
