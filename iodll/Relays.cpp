#include "Relays.h"

namespace iodll::relays {

std::string_view productName(std::string_view name)
{
    const auto blank = name.rfind(' ');
    return blank == std::string_view::npos ? name : name.substr(blank + 1);
}

std::optional<int> relayCount(std::string_view name)
{
    const std::string_view product = productName(name);
    constexpr std::string_view kStem = "USBRelay";
    if (product.size() != kStem.size() + 1 || !product.starts_with(kStem))
        return std::nullopt;
    const int count = product.back() - '0';
    return count >= 1 && count <= kMostRelays ? std::optional(count) : std::nullopt;
}

Report switchReport(int relay, bool on)
{
    return {0x00, std::uint8_t(on ? 0xFF : 0xFD), std::uint8_t(relay), 0, 0, 0, 0, 0, 0};
}

std::string boardId(const Report& answer)
{
    std::string id;
    for (int i = 1; i <= 5 && answer[i] != 0; ++i)
        id += answer[i] >= 0x20 && answer[i] < 0x7F ? char(answer[i]) : '?';
    return id;
}

Frame serialFrame(int relay, bool on)
{
    const std::uint8_t op = on ? 0x01 : 0x00;
    return {0xA0, std::uint8_t(relay), op, std::uint8_t(0xA0 + relay + op)};
}

std::string dataLines(int relays)
{
    if (relays == 1)
        return "data line D0 is relay 1";
    // At most 8: a digit each.
    std::string text = "data lines D0-D? are relays 1-?";
    text[15] = char('0' + relays - 1);
    text.back() = char('0' + relays);
    return text;
}

} // namespace iodll::relays
