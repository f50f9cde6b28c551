#pragma once

// The two relay boards' protocols, with nothing of any one system in them:
// the HID boards (USB 16c0:05df, "USBRelayN") and the serial modules on a
// CH340 chip. Data line D(k-1) is relay k.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace iodll::relays {

inline constexpr std::uint16_t kVendor = 0x16c0;
inline constexpr std::uint16_t kProduct = 0x05df;
inline constexpr int kMostRelays = 8;

// A feature report, report number 0 first.
using Report = std::array<std::uint8_t, 9>;
using Frame = std::array<std::uint8_t, 4>;

// The relay count of a board whose HID name is its product string
// "USBRelayN", or the maker's string, a blank and that; nothing for another
// name.
std::optional<int> relayCount(std::string_view name);

// The product string alone, without the maker's.
std::string_view productName(std::string_view name);

// The report that switches relay `relay` (from 1) of a HID board.
Report switchReport(int relay, bool on);

// The board's ID, from its answer to a get-feature of report 0.
std::string boardId(const Report& answer);

// The frame that switches relay `relay` (from 1) of a serial module.
Frame serialFrame(int relay, bool on);

// Whether relay `relay` (from 1) is on when the data register holds `data`.
constexpr bool relayOn(std::uint8_t data, int relay)
{
    return (data >> (relay - 1)) & 1;
}

// "data line D0 is relay 1", "data lines D0-D1 are relays 1-2".
std::string dataLines(int relays);

} // namespace iodll::relays
