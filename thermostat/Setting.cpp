#include "Setting.h"

#include "Checks.h"
#include "Text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace thermostat {

const std::string_view kHelp =
    "The thermostat switches the fan on at one temperature and off at a lower one:\n"
    "\n"
    "  --sensor NAME      a temperature sensor as 'sensors' shows it: the chip, then\n"
    "                     the feature's label, as 'coretemp-isa-0000/Package id 0'\n"
    "                     or 'lm75-i2c-0-48/temp1'; the chip may have a wildcard\n"
    "                     ('coretemp-*/Core 0'). Of several sensors the hottest counts.\n"
    "  --on TEMP          switch the fan on at or above TEMP (in °C)\n"
    "  --off TEMP         switch it off at or below TEMP, which is below --on\n"
    "  --every SECONDS    read the sensors this often: 1 or more (default 5)\n"
    "  --min-run SECONDS  once on, keep the fan on at least this long (default 30)\n"
    "\n"
    "A sensor that can't be read counts as hot: the fan goes on. On SIGTERM or\n"
    "SIGINT the thermostat switches the fan on and exits.\n"
    "\n"
    "Several fans, each on a data line of its own (D0 to D7: a relay board's\n"
    "relays 1 to 8), with sensors and thresholds of their own, come from a\n"
    "setting file in TOML (Linux; an example is in the documentation):\n"
    "\n"
    "  --config FILE            run every fan in FILE, with no other setting\n"
    "  --config FILE --check    check FILE and list its fans, and end\n"
    "  --config-if-there FILE   FILE where it is there; else the options given\n"
    "  --offline                there is no network here: a broker is refused\n"
    "\n"
    "It may join an MQTT broker as a device that Home Assistant finds (Linux):\n"
    "\n"
    "  --broker URL            mqtt://HOST[:PORT] or, with TLS, mqtts://HOST[:PORT];\n"
    "                          with a broker, --sensor is optional: without one the\n"
    "                          fan is a switch for the broker alone\n"
    "  --broker-login FILE     the user on its first line, the password on its second\n"
    "                          (else systemd's credential 'broker_login', if given)\n"
    "  --broker-ca FILE        the CA that signs the broker's certificate\n"
    "  --broker-cert FILE      this client's certificate, with --broker-key FILE\n"
    "  --node ID               this node's id in the topics (letters, digits, _ and -;\n"
    "                          default: one made from /etc/machine-id)\n"
    "  --name NAME             the device's name (default: the host's name)\n"
    "  --discovery-prefix P    Home Assistant's discovery prefix (homeassistant)\n"
    "\n"
    "The broker may hold a fan on or off, or give it back to the thermostat; a\n"
    "sensor that fails, or reads at or above the fan's --on, puts it on all the same.\n";

namespace checks {

namespace {

// Longer than this is surely a slip, and would overflow the clock.
constexpr double kLongest = 7 * 24 * 3600;

// An id is one level of a topic, and Home Assistant's discovery takes these
// characters alone there.
constexpr std::size_t kLongestId = 64;

struct Key {
    std::string_view file, option;
};
constexpr std::array kKeys{
    Key{"sensors", "--sensor"},     Key{"on", "--on"},
    Key{"off", "--off"},            Key{"every", "--every"},
    Key{"min_run", "--min-run"},    Key{"url", "--broker"},
    Key{"login", "--broker-login"}, Key{"ca", "--broker-ca"},
    Key{"certificate", "--broker-cert"}, Key{"key", "--broker-key"},
    Key{"node", "--node"},          Key{"name", "--name"},
    Key{"discovery_prefix", "--discovery-prefix"},
};

} // namespace

std::string named(Spelling spelling, std::string_view key)
{
    for (const Key& each : kKeys)
        if (each.file == key)
            return "'" + std::string(spelling == Spelling::file ? each.file : each.option) + "'";
    return "'" + std::string(key) + "'";
}

std::string wrong(Spelling spelling, std::string_view key, std::string_view takes, std::string_view value)
{
    return named(spelling, key) + " takes " + std::string(takes) + ", not '" + printable(value) + "'";
}

std::string celsius(double value, std::optional<double>& into)
{
    if (!(value >= kColdest && value <= kHottest))
        return "a temperature in °C, from " + degrees(kColdest) + " to " + degrees(kHottest);
    into = value;
    return {};
}

std::string seconds(std::string_view key, double value, Clock::duration& into)
{
    // Readings without a pause between them would keep a core busy.
    const double least = key == "every" ? 1 : 0;
    if (!(value >= least && value <= kLongest))
        return least > 0 ? "a number of seconds from 1 up" : "a number of seconds";
    into = std::chrono::round<Clock::duration>(std::chrono::duration<double>(value));
    return {};
}

// mqtt://host[:port] or mqtts://host[:port]. An IPv6 address goes in
// brackets, as in any URL.
std::string url(std::string_view url, Broker& broker)
{
    const std::size_t scheme = url.find("://");
    if (scheme == url.npos || (url.substr(0, scheme) != "mqtt" && url.substr(0, scheme) != "mqtts"))
        return "mqtt://HOST[:PORT] or mqtts://HOST[:PORT]";
    broker.tls = url.substr(0, scheme) == "mqtts";
    broker.port = broker.tls ? 8883 : 1883;
    std::string_view rest = url.substr(scheme + 3);
    if (rest.ends_with('/'))
        rest.remove_suffix(1);
    std::string_view host = rest, port;
    bool hasPort = false;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == rest.npos || (close + 1 < rest.size() && rest[close + 1] != ':'))
            return "a host name or address after the scheme, an IPv6 address in brackets ([::1])";
        host = rest.substr(1, close - 1);
        hasPort = close + 1 < rest.size();
        port = hasPort ? rest.substr(close + 2) : std::string_view();
    } else if (const std::size_t colon = rest.find(':'); colon != rest.npos) {
        if (rest.find(':', colon + 1) != rest.npos)
            return "a host name or address after the scheme, an IPv6 address in brackets ([::1])";
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        hasPort = true;
    }
    if (hasPort) {
        int number = port.empty() || port.size() > 5 ? -1 : 0;
        for (const char c : port)
            number = c >= '0' && c <= '9' && number >= 0 ? number * 10 + (c - '0') : -1;
        if (number < 1 || number > 65535)
            return "a port from 1 to 65535 after the host";
        broker.port = number;
    }
    if (host.empty() || host.find_first_of("/?#@ []") != host.npos)
        return "a host name or address after the scheme";
    broker.url = url;
    broker.host = host;
    return {};
}

std::string id(std::string_view value, std::string& into)
{
    if (value.empty() || value.size() > kLongestId || !std::ranges::all_of(value, [](char c) {
            return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                   c == '-';
        }))
        return "an id of 1 to " + std::to_string(kLongestId) + " letters, digits, '_' and '-'";
    into = value;
    return {};
}

std::string name(std::string_view value, std::string& into)
{
    if (value.empty() ||
        std::ranges::any_of(value, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }))
        return "a name without control characters, such as a tab or a line break";
    if (!isUtf8(value))
        return "a name in UTF-8";
    into = value;
    return {};
}

// Levels of a topic: none empty, no wildcard, no control character.
std::string prefix(std::string_view value, std::string& into)
{
    if (value.empty() || value.starts_with('/') || value.ends_with('/') || value.find("//") != value.npos ||
        std::ranges::any_of(value, [](char c) {
            return c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
        }))
        return "topic levels without '+', '#' or an empty one";
    into = value;
    return {};
}

std::string file(std::string_view value, std::string& into)
{
    if (value.empty())
        return "a file";
    into = value;
    return {};
}

std::string sensor(std::string_view value, std::vector<std::string>& into)
{
    if (value.empty())
        return "a sensor's name";
    into.emplace_back(value);
    return {};
}

std::string line(std::string_view value, int& into)
{
    if (value.size() != 2 || value[0] != 'D' || value[1] < '0' || value[1] > '7')
        return "a data line from D0 to D7";
    into = value[1] - '0';
    return {};
}

Fault whole(const Settings& settings, Spelling spelling)
{
    const auto key = [&](std::string_view name) { return named(spelling, name); };
    const bool file = spelling == Spelling::file;
    const Broker& broker = settings.broker;
    if (broker.url.empty() && (!broker.login.empty() || !broker.ca.empty() || !broker.certificate.empty() ||
                               !broker.key.empty() || !broker.node.empty() || !broker.name.empty() ||
                               broker.prefix != Broker().prefix))
        return {"the broker's settings need " + key("url")};
    // Over mqtt:// nothing is encrypted, whatever files are given.
    if (!broker.url.empty() && !broker.tls)
        for (const auto& [option, value] : {std::pair{"ca", &broker.ca}, std::pair{"certificate", &broker.certificate},
                                            std::pair{"key", &broker.key}})
            if (!value->empty())
                return {key(option) + " needs an mqtts:// broker: over mqtt:// nothing is encrypted"};
    if (broker.certificate.empty() != broker.key.empty())
        return {key("certificate") + " and " + key("key") + " go together"};
    if (settings.fans.empty())
        return {"no fan: give each a [[fan]] table"};
    for (auto fan = settings.fans.begin(); fan != settings.fans.end(); ++fan) {
        const std::string who = file ? "fan '" + fan->id + "': " : "";
        if (file && fan->id.empty())
            return {"a fan without an 'id'", fan->where};
        for (auto other = settings.fans.begin(); other != fan; ++other) {
            if (other->id == fan->id)
                return {"a second fan with the id '" + fan->id + "' (the first is on line " +
                            std::to_string(other->where) + ")",
                        fan->where};
            if (other->line == fan->line)
                return {"fans '" + other->id + "' and '" + fan->id + "' both on " + lineName(fan->line), fan->where};
        }
        if (!fan->thermostat() && (fan->on || fan->off))
            return {who + key("on") + " and " + key("off") + " need " + key("sensors"), fan->where};
        // A fan without a sensor is a switch for the broker alone.
        if (!fan->thermostat() && broker.url.empty())
            return {who + "it needs " + key("sensors") + ", or a broker that switches it", fan->where};
        if (fan->thermostat() && (!fan->on || !fan->off))
            return {who + key("sensors") + " need " + key("on") + " and " + key("off"), fan->where};
        if (fan->thermostat() && *fan->on <= *fan->off)
            return {who + key("on") + " (" + degrees(*fan->on) + ") must be above " + key("off") + " (" +
                        degrees(*fan->off) + ")",
                    fan->where};
    }
    return {};
}

} // namespace checks

using checks::Spelling;

Parsed parse(std::span<const std::string_view> words)
{
    Parsed parsed;
    Settings& settings = parsed.settings;
    Fan fan;
    bool options = false; // a setting given as an option
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string_view option = words[i], value;
        if (option == "--check" || option == "--offline") {
            (option == "--check" ? parsed.check : parsed.offline) = true;
            continue;
        }
        if (const std::size_t equals = option.find('='); option.starts_with("--") && equals != option.npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
        } else if (i + 1 < words.size()) {
            value = words[++i];
        } else {
            if (parsed.problem.empty())
                parsed.problem = "'" + std::string(option) + "' needs a value";
            break;
        }
        if (option == "--config" || option == "--config-if-there") {
            if (const std::string takes = checks::file(value, parsed.file); !takes.empty() && parsed.problem.empty())
                parsed.problem = "'" + std::string(option) + "' takes " + takes;
            parsed.fileIfThere = option == "--config-if-there";
            continue;
        }
        // The option's key in the file, as every check names it.
        std::string_view key;
        for (const checks::Key& each : checks::kKeys)
            if (each.option == option)
                key = each.file;
        if (key.empty()) {
            if (parsed.problem.empty())
                parsed.problem = "unknown option '" + std::string(option) + "'";
            continue;
        }
        std::string takes;
        std::optional<double> count;
        if (key == "on" || key == "off") {
            count = number(value);
            takes = count ? checks::celsius(*count, key == "on" ? fan.on : fan.off) : "a temperature in °C";
        } else if (key == "every" || key == "min_run") {
            count = number(value);
            takes = count ? checks::seconds(key, *count, key == "every" ? settings.every : fan.minRun)
                          : "a number of seconds";
        } else if (key == "sensors") {
            takes = checks::sensor(value, fan.sensors);
        } else if (key == "url") {
            takes = checks::url(value, settings.broker);
        } else if (key == "node") {
            takes = checks::id(value, settings.broker.node);
        } else if (key == "name") {
            takes = checks::name(value, settings.broker.name);
        } else if (key == "discovery_prefix") {
            takes = checks::prefix(value, settings.broker.prefix);
        } else {
            Broker& broker = settings.broker;
            takes = checks::file(value, key == "login" ? broker.login
                                        : key == "ca"  ? broker.ca
                                        : key == "key" ? broker.key
                                                       : broker.certificate);
        }
        // The first fault is said; the options after it are still read,
        // for --config-if-there and --offline.
        if (!takes.empty() && parsed.problem.empty())
            parsed.problem = checks::wrong(Spelling::options, key, takes, value);
        options = true;
    }
    if (!parsed.file.empty() && !parsed.fileIfThere && options && parsed.problem.empty())
        parsed.problem = "'--config' takes every setting from its file: give no other option but --check";
    if (!parsed.file.empty() && !parsed.fileIfThere)
        return parsed;
    if (parsed.check && parsed.file.empty() && parsed.problem.empty())
        parsed.problem = "'--check' checks a setting file: give it with --config";
    settings.fans.push_back(std::move(fan));
    if (parsed.problem.empty())
        parsed.problem = checks::whole(settings, Spelling::options).text;
    return parsed;
}

std::string lineName(int line)
{
    return "D" + std::to_string(line);
}

std::string describe(const Settings& settings)
{
    const auto sensors = [](const Fan& fan) {
        std::string text;
        for (const std::string& name : fan.sensors)
            text += (text.empty() ? "" : ", ") + name;
        return text + "; fan on at " + degrees(*fan.on) + " °C, off at " + degrees(*fan.off) + " °C";
    };
    // The command line's one fan, as before.
    if (settings.fans.size() == 1 && settings.fans[0].id.empty()) {
        const Fan& fan = settings.fans[0];
        if (!fan.thermostat())
            return "thermostat: no sensor; the fan is switched by the broker alone, and starts off";
        return "thermostat: " + sensors(fan) + "; a reading every " + seconds(settings.every) + " s, on for at least " +
               seconds(fan.minRun) + " s";
    }
    const std::size_t fans = settings.fans.size();
    std::string text = "thermostat: " + std::to_string(fans) + (fans == 1 ? " fan from " : " fans from ") + settings.file +
                       ", a reading every " + seconds(settings.every) + " s";
    for (const Fan& fan : settings.fans)
        text += "\n  " + fan.id + " (" + printable(fan.name) + ") on " + lineName(fan.line) + ": " +
                (fan.thermostat() ? sensors(fan) + ", on for at least " + seconds(fan.minRun) + " s"
                                  : "no sensor; switched by the broker alone, and starts off");
    return text;
}

} // namespace thermostat
