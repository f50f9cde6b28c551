#pragma once

// Numbers and text as the thermostat reads and writes them: the same in
// every locale, and written by hand, as the C library's readers follow the
// locale and libstdc++'s formatting would make up most of the Windows
// program.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace thermostat {

// A decimal number as people write one: an optional minus, digits, and
// optionally a point and more digits.
std::optional<double> number(std::string_view text);

// `value` with `places` decimals, as "55.0".
std::string decimal(double value, int places);

// °C with one decimal: "55.0".
inline std::string degrees(double celsius)
{
    return decimal(celsius, 1);
}

// As 30, 1.5 or 0.25.
std::string seconds(std::chrono::steady_clock::duration duration);

// Text as a message may show it: bytes that aren't printable ASCII as '?'.
std::string printable(std::string_view value);

// Whether text is UTF-8 throughout: what Home Assistant's JSON takes.
bool isUtf8(std::string_view text);

} // namespace thermostat
