#include "Thermostat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace thermostat {

const std::string_view kHelp = "The thermostat switches the fan on at one temperature and off at a lower one:\n"
                               "\n"
                               "  --sensor NAME      a temperature sensor as 'sensors' shows it: the chip, then\n"
                               "                     the feature's label, as 'coretemp-isa-0000/Package id 0'\n"
                               "                     or 'lm75-i2c-0-48/temp1'; the chip may have a wildcard\n"
                               "                     ('coretemp-*/Core 0'). Of several sensors the hottest counts.\n"
                               "  --on TEMP          switch the fan on at or above TEMP (in °C)\n"
                               "  --off TEMP         switch it off at or below TEMP, which is below --on\n"
                               "  --every SECONDS    read the sensors this often (default 5)\n"
                               "  --min-run SECONDS  once on, keep the fan on at least this long (default 30)\n"
                               "\n"
                               "A sensor that can't be read counts as hot: the fan goes on. On SIGTERM or\n"
                               "SIGINT the thermostat switches the fan on and exits.\n";

namespace {

// No sensor reads below this or above that: a value outside is a fault.
constexpr double kColdest = -60;
constexpr double kHottest = 200;

// Longer than this is surely a slip, and would overflow the clock.
constexpr double kLongest = 7 * 24 * 3600;

std::optional<double> number(std::string_view text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string degrees(double celsius)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", celsius);
    return text;
}

std::string seconds(Clock::duration duration)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", std::chrono::duration<double>(duration).count());
    return text;
}

std::string list(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

Parsed parse(std::span<const std::string_view> words)
{
    Parsed parsed;
    Settings& settings = parsed.settings;
    bool on = false, off = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string_view option = words[i], value;
        if (const std::size_t equals = option.find('='); option.starts_with("--") && equals != option.npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        } else {
            return {{}, "'" + std::string(option) + "' needs a value"};
        }
        const auto wrong = [&](std::string_view what) {
            return Parsed{
                {}, "'" + std::string(option) + "' takes " + std::string(what) + ", not '" + std::string(value) + "'"};
        };
        if (option == "--sensor") {
            if (value.empty())
                return wrong("a sensor's name");
            settings.sensors.emplace_back(value);
        } else if (option == "--on" || option == "--off") {
            const std::optional<double> celsius = number(value);
            if (!celsius)
                return wrong("a temperature in °C");
            (option == "--on" ? settings.on : settings.off) = *celsius;
            (option == "--on" ? on : off) = true;
        } else if (option == "--every" || option == "--min-run") {
            const std::optional<double> count = number(value);
            if (!count || *count < 0 || *count > kLongest)
                return wrong("a number of seconds");
            const auto duration = std::chrono::round<Clock::duration>(std::chrono::duration<double>(*count));
            (option == "--every" ? settings.every : settings.minRun) = duration;
        } else {
            return {{}, "unknown option '" + std::string(option) + "'"};
        }
    }
    if (settings.sensors.empty())
        return {{}, "the thermostat needs a --sensor"};
    if (!on || !off)
        return {{}, "the thermostat needs --on and --off"};
    if (settings.on <= settings.off)
        return {{}, "--on (" + degrees(settings.on) + ") must be above --off (" + degrees(settings.off) + ")"};
    return parsed;
}

std::string describe(const Settings& settings)
{
    return "thermostat: " + list(settings.sensors) + "; fan on at " + degrees(settings.on) + " °C, off at " +
           degrees(settings.off) + " °C; a reading every " + seconds(settings.every) + " s, on for at least " +
           seconds(settings.minRun) + " s";
}

Decision::Decision(const Settings& settings) : settings_(settings) {}

bool Decision::next(std::span<const Reading> readings, Clock::time_point now, std::vector<std::string>& said)
{
    std::vector<std::string> failing;
    const Reading* hottest = nullptr;
    for (const Reading& reading : readings) {
        std::string problem = reading.problem;
        // Written so that a reading that is no number (NaN) fails too.
        if (problem.empty() && !std::isfinite(reading.celsius))
            problem = "it reads no number (" + degrees(reading.celsius) + ")";
        else if (problem.empty() && !(reading.celsius >= kColdest && reading.celsius <= kHottest))
            problem = "it reads " + degrees(reading.celsius) + " °C, which no sensor gives";
        const bool wasFailing = std::ranges::find(failing_, reading.sensor) != failing_.end();
        if (!problem.empty()) {
            failing.push_back(reading.sensor);
            if (!wasFailing)
                said.push_back(reading.sensor + " fails: " + problem + "; counted as hot until it reads again");
            continue;
        }
        if (wasFailing)
            said.push_back(reading.sensor + " reads again: " + degrees(reading.celsius) + " °C");
        if (!hottest || reading.celsius > hottest->celsius)
            hottest = &reading;
    }
    failing_ = failing;

    bool wanted = on_;
    std::string why;
    if (!failing.empty()) {
        wanted = true;
        why = failing.front() + " fails";
    } else if (hottest && hottest->celsius >= settings_.on) {
        wanted = true;
        why = hottest->sensor + " at " + degrees(hottest->celsius) + " °C (on at " + degrees(settings_.on) + ")";
    } else if (hottest && hottest->celsius <= settings_.off && now - onSince_ >= settings_.minRun) {
        wanted = false;
        why = hottest->sensor + " at " + degrees(hottest->celsius) + " °C (off at " + degrees(settings_.off) + ")";
    }
    if (wanted != on_) {
        said.push_back((wanted ? "fan on: " : "fan off: ") + why);
        on_ = wanted;
        onSince_ = now;
    }
    return on_;
}

} // namespace thermostat
