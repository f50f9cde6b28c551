#pragma once

// `ventrolik thermostat`: the fan follows a temperature. On at one
// temperature, off at a lower one so that the relay doesn't chatter at the
// threshold, on for at least a minimum time, and on whenever a sensor can't
// be read: a fan that runs for nothing costs less than one that doesn't run
// when it should.

#include <chrono>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace thermostat {

using Clock = std::chrono::steady_clock;

struct Settings {
    std::vector<std::string> sensors; // as `sensors` shows them: chip/feature
    double on = 0;                    // °C
    double off = 0;                   // °C, below on
    Clock::duration every = std::chrono::seconds(5);
    Clock::duration minRun = std::chrono::seconds(30);
};

// The words after `thermostat`. On a wrong one, problem says what is wrong.
struct Parsed {
    Settings settings;
    std::string problem;
};
Parsed parse(std::span<const std::string_view> words);

// The thermostat's part of --help.
extern const std::string_view kHelp;

// What the settings are, said once at start.
std::string describe(const Settings& settings);

// One sensor's reading: its temperature, or why there is none.
struct Reading {
    std::string sensor;
    double celsius = 0;
    std::string problem; // empty when read
};

// Where the readings come from: libsensors on Linux, a table in the tests.
class Sensors {
public:
    virtual ~Sensors() = default;
    virtual std::vector<Reading> read() = 0;
};

// The sensors that the settings name. Without them, problem says why and
// lists the temperature sensors that are there.
std::unique_ptr<Sensors> openSensors(const std::vector<std::string>& names, std::string& problem);

// The thermostat's decision, from readings and the time alone.
class Decision {
public:
    explicit Decision(const Settings& settings);

    // Whether the fan should run now. What is worth saying (a switch, a
    // sensor that fails or reads again) is added to said, each once.
    bool next(std::span<const Reading> readings, Clock::time_point now, std::vector<std::string>& said);

private:
    Settings settings_;
    bool on_ = false; // at start, in between counts as off
    Clock::time_point onSince_{};
    std::vector<std::string> failing_;
};

// What the thermostat's loop acts on besides its sensors, handed in: the
// Linux run() wires in the real ones, the tests play them.
class World {
public:
    virtual ~World() = default;
    virtual Clock::time_point now() = 0;
    virtual void switchFan(bool on) = 0;
    // Waits at most `duration` for a stop signal: its name, or nothing.
    virtual std::string waitForStop(Clock::duration duration) = 0;
    virtual void say(const std::string& line) = 0;
};

// Reads, decides and switches at every reading until a stop signal, then
// switches the fan on; returns the exit status.
int control(const Settings& settings, Sensors& sensors, World& world);

// Runs the thermostat on this system's sensors and port until SIGTERM or
// SIGINT; refuses where there is none.
int run(const Settings& settings);

} // namespace thermostat
