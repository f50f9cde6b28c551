#pragma once

// A fan's decision, from its readings and the time alone. On whenever a
// sensor can't be read: a fan that runs for nothing costs less than one
// that doesn't run when it should.

#include "Setting.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace thermostat {

// Who switches a fan: the thermostat (auto), or a command that holds it on
// or off until the next.
enum class Mode { automatic, on, off };
std::string_view name(Mode mode); // "auto", "on", "off"

// One sensor's reading: its temperature, or why there is none.
struct Reading {
    std::string sensor;
    double celsius = 0;
    std::string problem; // empty when read
    std::string given;   // the name in the settings it was found by (a wildcard, perhaps)
};

// Why a reading can't be trusted (it failed, is no number, or is one no
// sensor gives), or nothing.
std::string fault(const Reading& reading);

// The hottest reading that can be trusted, or none.
const Reading* hottest(std::span<const Reading> readings);

class Decision {
public:
    explicit Decision(const Fan& fan);

    // Whether the fan should run now. What is worth saying (a switch, a
    // sensor that fails or reads again) is added to said, each once. A
    // sensor that fails, or reads at or above `on`, puts the fan on
    // whatever the mode.
    bool next(std::span<const Reading> readings, Clock::time_point now, std::vector<std::string>& said);

    void setMode(Mode mode) { mode_ = mode; }
    Mode mode() const { return mode_; }

    // Why the fan runs against what it was asked (a sensor fails, or one
    // is so hot that it overrides "off"), or nothing.
    const std::string& problem() const { return problem_; }

private:
    Fan fan_;
    Mode mode_ = Mode::automatic;
    bool on_ = false; // at start, in between counts as off
    Clock::time_point onSince_{};
    std::vector<std::string> failing_;
    std::string problem_;
};

} // namespace thermostat
