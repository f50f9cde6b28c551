#pragma once

// `ventrolik thermostat`: the fan follows a temperature. On at one
// temperature, off at a lower one so that the relay doesn't chatter at the
// threshold, on for at least a minimum time, and on whenever a sensor can't
// be read: a fan that runs for nothing costs less than one that doesn't run
// when it should.

#include <chrono>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace thermostat {

using Clock = std::chrono::steady_clock;

// An MQTT broker the thermostat joins as a device, or none (an empty url).
struct Broker {
    std::string url; // mqtt://host[:port] or mqtts://host[:port]
    std::string host; // from the url: a name or address, without brackets
    int port = 1883;  // 1883, or 8883 for mqtts, unless the url says
    bool tls = false;
    // Files: the CA that signs the broker's certificate, this client's own
    // certificate and key, and the login (user, then password, a line each).
    std::string ca, certificate, key, login;
    std::string node;                     // this machine's id in topics: from /etc/machine-id
    std::string name;                     // the device's name: the host's
    std::string prefix = "homeassistant"; // Home Assistant's discovery prefix
};

struct Settings {
    std::vector<std::string> sensors; // as `sensors` shows them: chip/feature
    double on = 0;                    // °C
    double off = 0;                   // °C, below on
    Clock::duration every = std::chrono::seconds(5);
    Clock::duration minRun = std::chrono::seconds(30);
    Broker broker;
};

// Who switches the fan: the thermostat (auto), or a command that holds it
// on or off until the next.
enum class Mode { automatic, on, off };
std::string_view name(Mode mode); // "auto", "on", "off"

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

// Why a reading can't be trusted (it failed, is no number, or is one no
// sensor gives), or nothing.
std::string fault(const Reading& reading);

// `value` with `places` decimals, as "55.0": the same in every locale.
std::string decimal(double value, int places);

// Text as a message may show it: bytes that aren't printable ASCII as '?'.
std::string printable(std::string_view value);

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
    // sensor that fails or reads again) is added to said, each once. A
    // sensor that fails, or reads at or above --on, puts the fan on
    // whatever the mode.
    bool next(std::span<const Reading> readings, Clock::time_point now, std::vector<std::string>& said);

    void setMode(Mode mode) { mode_ = mode; }
    Mode mode() const { return mode_; }

private:
    Settings settings_;
    Mode mode_ = Mode::automatic;
    bool on_ = false; // at start, in between counts as off
    Clock::time_point onSince_{};
    std::vector<std::string> failing_;
};

// What ends a wait before its time: a stop signal, or a command.
struct Wake {
    std::string stop;         // the signal's name
    std::optional<Mode> mode; // a new mode, from the broker
};

// What the fan is doing and why, after each switch.
struct Status {
    bool on;
    Mode mode;
    std::span<const Reading> readings;
    bool fresh = false; // the readings were taken just now, not for a command
};

// What the thermostat's loop acts on besides its sensors, handed in: the
// Linux run() wires in the real ones, the tests play them.
class World {
public:
    virtual ~World() = default;
    virtual Clock::time_point now() = 0;
    virtual void switchFan(bool on) = 0;
    // Waits at most `duration`, or until a stop signal or a command.
    virtual Wake wait(Clock::duration duration) = 0;
    virtual void say(const std::string& line) = 0;
    // Tells whoever watches (a broker) what the fan does; at a stop, after
    // the fan is switched on for good.
    virtual void tell(const Status&) {}
    virtual void stopped() {}
};

// Reads, decides and switches at every reading, and at every command, until
// a stop signal, then switches the fan on; returns the exit status.
int control(const Settings& settings, Sensors& sensors, World& world);

// Runs the thermostat on this system's sensors and port until SIGTERM or
// SIGINT; refuses where there is none.
int run(const Settings& settings);

} // namespace thermostat
