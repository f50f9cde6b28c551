#include "PortLibrary.h"

#include "Relays.h"

#include <algorithm>
#include <cstdio>

namespace iodll {

PortLibrary::PortLibrary(std::unique_ptr<Platform> platform) : platform_(std::move(platform)) {}

void PortLibrary::say(const std::string& line)
{
    platform_->report(printable(line));
}

void PortLibrary::sayOnce(bool& said, const std::string& line)
{
    if (!said)
        say(line);
    said = true;
}

std::unique_ptr<Output>& PortLibrary::made(const std::string& key)
{
    auto found = std::ranges::find(outputs_, key, &decltype(outputs_)::value_type::first);
    return found != outputs_.end() ? found->second : outputs_.emplace_back(key, nullptr).second;
}

Output& PortLibrary::output(const Device& device)
{
    auto& output = made(std::visit([](const auto& d) -> const std::string& { return d.path; }, device));
    if (!output)
        output = platform_->output(device);
    return *output;
}

PortLibrary::Look PortLibrary::look(bool lpt1)
{
    Look look{platform_->inventory(lpt1), std::nullopt};
    if (lpt1) {
        std::vector<std::string> problems;
        look.setting = platform_->setting(problems);
        for (const std::string& problem : problems)
            if (std::ranges::find(settingSaid_, problem) == settingSaid_.end()) {
                settingSaid_.push_back(problem);
                say(problem);
            }
    }
    return look;
}

void PortLibrary::announceLpt1(const Device& device)
{
    const auto* parallel = std::get_if<ParallelPort>(&device);
    if (parallel && parallel->base == kLpt1)
        return;
    std::string line = "LPT1 (" + hex(kLpt1) + ") is " + describe(device);
    // Which data lines it carries: relay boards and modules say which relay
    // each is, GPIO lines how many.
    std::visit(
        [&](const auto& carrier) {
            if constexpr (requires { carrier.relays; })
                line += ": " + relays::dataLines(carrier.relays);
            if constexpr (requires { carrier.lines; })
                line += carrier.lines.size() == 1 ? ", for D0" : ", for D0-D" + std::to_string(carrier.lines.size() - 1);
        },
        device);
    lpt1Line_ = line;
    sayOnce(lpt1Said_, line);
}

PortLibrary::Target PortLibrary::find(const Look& look, std::uint16_t port)
{
    const Route found = route(look.inventory, look.setting, port);
    if (found.device && isLpt1(port)) {
        announceLpt1(*found.device);
        lpt1_ = describe(*found.device);
        lpt1Path_ = std::visit([](const auto& d) -> const std::string& { return d.path; }, *found.device);
        if (std::exchange(lpt1Gone_, false))
            say("LPT1 (" + hex(kLpt1) + ") is back: " + lpt1_);
    }
    if (found.device)
        return {&output(*found.device), found.offset, {}};
    // A device unplugged is waited for, not looked for elsewhere; what was
    // open of it is closed, so that it may come back on the same file.
    if (isLpt1(port) && !lpt1_.empty()) {
        made(lpt1Path_).reset();
        return {nullptr, 0,
                "LPT1 (" + hex(kLpt1) + "), " + lpt1_ + ", is gone" +
                    (found.refusal.empty() ? "" : " (" + found.refusal + ")") + "; it is used again once it is back",
                true};
    }
    if (!found.refusal.empty())
        return {nullptr, 0, found.refusal};

    // No device there that the system's drivers reach.
    auto& direct = made("direct " + hex(port));
    if (!direct) {
        std::string note;
        if (!(direct = platform_->directPort(port, note)))
            return {nullptr, 0, note};
        sayOnce(directSaid_, note);
    }
    return {direct.get(), 0, {}};
}

void PortLibrary::sayRefusal(const Target& found, const std::string& line)
{
    if (found.gone && std::exchange(lpt1Gone_, true))
        return;
    say(line);
}

void PortLibrary::sayFailure(Platform* platform, const char* operation, const char* why) noexcept
{
    try {
        if (platform) {
            platform->report(printable(std::string(operation) + " failed: " + why));
            return;
        }
    } catch (...) {
    }
    for (const char* piece : {"IO.DLL: ", operation, " failed: ", why, "\n"})
        std::fputs(piece, stderr);
}

bool PortLibrary::canReach(std::uint16_t port) noexcept
{
    bool reachable = false;
    guarded(platform_.get(), "IsDriverInstalled", [&] {
        const Target found = find(look(isLpt1(port)), port);
        if (!found.output) {
            sayRefusal(found, found.refusal);
            return;
        }
        const Status reached = found.output->reach();
        if (!reached)
            say(reached.why());
        reachable = bool(reached);
    });
    return reachable;
}

Status PortLibrary::writeByte(const Look& look, std::uint16_t port, std::uint8_t value, Target& found)
{
    found = find(look, port);
    if (!found.output)
        return Status::failed(found.refusal);
    if (isLpt1(port) && found.offset == 0)
        sayMissingLines(found, value);
    return found.output->write(found.offset, value);
}

// A line set that the device hasn't goes nowhere: a fan on D2 of a board
// with two relays never runs. Said once, at the first such write, as the
// device may be plugged in only later.
void PortLibrary::sayMissingLines(const Target& found, std::uint8_t value)
{
    const int lines = found.output->lines();
    if (lines >= 8 || !(value >> lines) || std::exchange(missingSaid_, true))
        return;
    char set[24]; // "D2, D3, ..."
    char* end = set;
    for (int line = lines; line < 8; ++line)
        if (value >> line & 1) {
            if (end != set)
                end = std::copy_n(", ", 2, end);
            *end++ = 'D';
            *end++ = char('0' + line);
        }
    std::string line(set, end);
    line += end - set == 2 ? " goes nowhere: " : " go nowhere: ";
    say(line += lpt1Line_);
}

void PortLibrary::out(std::uint16_t port, std::uint8_t value) noexcept
{
    guarded(platform_.get(), "PortOut", [&] {
        Target found;
        if (Status written = writeByte(look(isLpt1(port)), port, value, found); !written)
            sayRefusal(found, "cannot write " + hex(value) + " to port " + hex(port) + ": " + written.why());
    });
}

void PortLibrary::wordOut(std::uint16_t port, std::uint16_t value) noexcept
{
    guarded(platform_.get(), "PortWordOut", [&] {
        // One write, so one look at what is there, and at most one line
        // about it, whichever byte missed.
        const auto high = static_cast<std::uint16_t>(port + 1);
        const Look seen = look(isLpt1(port) || isLpt1(high));
        Target found;
        Status written = writeByte(seen, port, static_cast<std::uint8_t>(value & 0xFF), found);
        if (!written)
            sayRefusal(found, "cannot write " + hex(value) + " to port " + hex(port) + ": " + written.why());
        else if (written = writeByte(seen, high, static_cast<std::uint8_t>(value >> 8), found); !written)
            sayRefusal(found, "cannot write " + hex(value) + " to port " + hex(high) + ": " + written.why());
    });
}

} // namespace iodll
