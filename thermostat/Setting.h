#pragma once

// The thermostat's settings: every fan on the node, each on a data line of
// its own with its sensors and thresholds, and the broker the node joins.
// They come from the command line (one fan, on D0) or from a setting file
// in TOML; each is checked once, by the same rules, for both.

#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace thermostat {

using Clock = std::chrono::steady_clock;

// No sensor reads below this or above that (°C): a reading outside is a
// fault, and a threshold outside a slip.
inline constexpr double kColdest = -60;
inline constexpr double kHottest = 200;

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

// A fan: on at one temperature, off at a lower one so that the relay
// doesn't chatter at the threshold, and on for at least a minimum time.
struct Fan {
    std::string id;   // in topics and ids; none: the command line's one fan
    std::string name; // what Home Assistant shows (the id, unless given)
    int line = 0;     // the data line it hangs on: 0 to 7 (D0 to D7)
    std::vector<std::string> sensors; // as `sensors` shows them; none: a switch for the broker alone
    std::optional<double> on, off;    // °C
    Clock::duration minRun = std::chrono::seconds(30);
    int where = 0; // its line in the setting file

    bool thermostat() const { return !sensors.empty(); }
};

struct Settings {
    Clock::duration every = std::chrono::seconds(5);
    std::vector<Fan> fans;
    Broker broker;
    std::string file; // where they come from: a setting file, or none
};

// The words after `thermostat`. On a wrong one, problem says what is wrong.
struct Parsed {
    Settings settings;
    std::string file;         // --config FILE: the settings are in that file
    bool fileIfThere = false; // --config-if-there: the options count only where the file isn't
    bool check = false;       // --check: check them, list the fans, and end
    bool offline = false;     // --offline: this thermostat has no network
    std::string problem;
};
Parsed parse(std::span<const std::string_view> words);

// A setting file's settings, or what is wrong with it, as FILE:LINE: FAULT.
struct Read {
    Settings settings;
    std::string problem;
};
Read readFile(const std::string& file); // Linux

// The thermostat's part of --help.
extern const std::string_view kHelp;

// "D0" to "D7".
std::string lineName(int line);

// What the settings are, said once at start, a line each.
std::string describe(const Settings& settings);

} // namespace thermostat
