#include "Decision.h"

#include "Text.h"

#include <algorithm>
#include <cmath>

namespace thermostat {

std::string_view name(Mode mode)
{
    return mode == Mode::on ? "on" : mode == Mode::off ? "off" : "auto";
}

std::string fault(const Reading& reading)
{
    if (!reading.problem.empty())
        return reading.problem;
    // Written so that a reading that is no number (NaN) fails too.
    if (!std::isfinite(reading.celsius))
        return "it reads no number (" + degrees(reading.celsius) + ")";
    if (!(reading.celsius >= kColdest && reading.celsius <= kHottest))
        return "it reads " + degrees(reading.celsius) + " °C, which no sensor gives";
    return {};
}

const Reading* hottest(std::span<const Reading> readings)
{
    const Reading* hottest = nullptr;
    for (const Reading& reading : readings)
        if (fault(reading).empty() && (!hottest || reading.celsius > hottest->celsius))
            hottest = &reading;
    return hottest;
}

Decision::Decision(const Fan& fan) : fan_(fan) {}

bool Decision::next(std::span<const Reading> readings, Clock::time_point now, std::vector<std::string>& said)
{
    std::vector<std::string> failing;
    std::string failure;
    for (const Reading& reading : readings) {
        const std::string problem = fault(reading);
        const bool wasFailing = std::ranges::find(failing_, reading.sensor) != failing_.end();
        if (!problem.empty()) {
            if (failing.empty())
                failure = reading.sensor + " fails: " + problem;
            failing.push_back(reading.sensor);
            if (!wasFailing)
                said.push_back(reading.sensor + " fails: " + problem + "; counted as hot until it reads again");
        } else if (wasFailing) {
            said.push_back(reading.sensor + " reads again: " + degrees(reading.celsius) + " °C");
        }
    }
    failing_ = failing;
    const Reading* hot = hottest(readings);

    bool wanted = on_;
    std::string why;
    problem_.clear();
    if (!failing.empty()) {
        wanted = true;
        why = failing.front() + " fails";
        problem_ = failure;
    } else if (hot && hot->celsius >= *fan_.on) {
        wanted = true;
        why = hot->sensor + " at " + degrees(hot->celsius) + " °C (on at " + degrees(*fan_.on) + ")";
        if (mode_ == Mode::off)
            problem_ = why + " holds the fan on over mode off";
    } else if (mode_ != Mode::automatic) {
        wanted = mode_ == Mode::on;
        why = "mode " + std::string(name(mode_));
    } else if (hot && hot->celsius <= *fan_.off && now - onSince_ >= fan_.minRun) {
        wanted = false;
        why = hot->sensor + " at " + degrees(hot->celsius) + " °C (off at " + degrees(*fan_.off) + ")";
    }
    if (wanted != on_) {
        said.push_back((wanted ? "fan on: " : "fan off: ") + why);
        on_ = wanted;
        onSince_ = now;
    }
    return on_;
}

} // namespace thermostat
