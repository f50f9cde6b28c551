#pragma once

// `ventrolik thermostat`: every fan on the node follows its own sensors. At
// each reading, and at each command, every fan decides alone, and the whole
// byte goes to the port: each fan's state on its line, 0 on the lines no
// fan has.

#include "Decision.h"
#include "Setting.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace thermostat {

// Where the readings come from: libsensors on Linux, a table in the tests.
// Each reading carries the name in the settings it was found by.
class Sensors {
public:
    virtual ~Sensors() = default;
    virtual std::vector<Reading> read() = 0;
};

// The sensors that the fans name. Without them, problem says why (in a
// setting file, with the line of the fan) and lists the temperature
// sensors that are there.
std::unique_ptr<Sensors> openSensors(const Settings& settings, std::string& problem);

// A command from the broker: a fan's new mode.
struct Command {
    std::size_t fan; // its place in the settings
    Mode mode;
};

// What ends a wait before its time: a stop signal, or a command.
struct Wake {
    std::string stop; // the signal's name
    std::optional<Command> command;
};

// What each fan is doing and why, after each switch.
struct FanStatus {
    bool on = false;
    Mode mode = Mode::automatic;
    std::vector<Reading> readings; // its own
    std::string problem;           // why it runs against what it was asked
};
struct Status {
    std::vector<FanStatus> fans; // in the settings' order
    bool fresh = false;          // the readings were taken just now, not for a command
};

// What the thermostat's loop acts on besides its sensors, handed in: the
// Linux run() wires in the real ones, the tests play them.
class World {
public:
    virtual ~World() = default;
    virtual Clock::time_point now() = 0;
    // The data lines' byte, D0 its lowest bit.
    virtual void write(std::uint8_t lines) = 0;
    // Waits at most `duration`, or until a stop signal or a command.
    virtual Wake wait(Clock::duration duration) = 0;
    virtual void say(const std::string& line) = 0;
    // Tells whoever watches (a broker) what the fans do; at a stop, after
    // they are switched on for good.
    virtual void tell(const Status&) {}
    virtual void stopped() {}
};

// Reads, decides and writes at every reading, and at every command, until
// a stop signal, then switches every fan on; returns the exit status.
int control(const Settings& settings, Sensors& sensors, World& world);

// Every sensor name the fans give, each once.
std::vector<std::string> sensorNames(const Settings& settings);

} // namespace thermostat
