#include "Thermostat.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
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
                               "  --every SECONDS    read the sensors this often: 1 or more (default 5)\n"
                               "  --min-run SECONDS  once on, keep the fan on at least this long (default 30)\n"
                               "\n"
                               "A sensor that can't be read counts as hot: the fan goes on. On SIGTERM or\n"
                               "SIGINT the thermostat switches the fan on and exits.\n"
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
                               "  --node ID               this fan's id in the topics (letters, digits, _ and -;\n"
                               "                          default: one made from /etc/machine-id)\n"
                               "  --name NAME             the device's name (default: the host's name)\n"
                               "  --discovery-prefix P    Home Assistant's discovery prefix (homeassistant)\n"
                               "\n"
                               "The broker may hold the fan on or off, or give it back to the thermostat;\n"
                               "a sensor that fails, or reads at or above --on, puts it on all the same.\n";

namespace {

// No sensor reads below this or above that: a value outside is a fault.
constexpr double kColdest = -60;
constexpr double kHottest = 200;

// Longer than this is surely a slip, and would overflow the clock.
constexpr double kLongest = 7 * 24 * 3600;

// A decimal number as people write one: an optional minus, digits, and
// optionally a point and more digits. Read by hand, as the C library's
// readers follow the locale and libstdc++'s would make up most of the
// Windows program.
std::optional<double> number(std::string_view text)
{
    const bool negative = text.starts_with('-');
    text.remove_prefix(negative ? 1 : 0);
    const std::size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction = point == text.npos ? std::string_view() : text.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return std::ranges::all_of(part, [](char c) { return c >= '0' && c <= '9'; });
    };
    // Both parts exact as integers, and the power of ten too: the quotient
    // is the double nearest the number written.
    if (whole.size() + fraction.size() == 0 || whole.size() + fraction.size() > 15 || !digits(whole) ||
        !digits(fraction) || (point != text.npos && fraction.empty()))
        return std::nullopt;
    double value = 0, scale = 1;
    for (const char c : whole)
        value = value * 10 + (c - '0');
    for (const char c : fraction) {
        value = value * 10 + (c - '0');
        scale *= 10;
    }
    return (negative ? -value : value) / scale;
}

} // namespace

// A number with `places` decimals, written by hand too: the C library's
// formatting of doubles would be most of the Windows program.
std::string decimal(double value, int places)
{
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    if (std::fabs(value) >= 1e15) // what is left would not fit the integer below
        return value < 0 ? "below -10^15" : "above 10^15";
    long long scale = 1;
    for (int i = 0; i < places; ++i)
        scale *= 10;
    const long long scaled = std::llround(std::fabs(value) * double(scale));
    std::string text = (value < 0 && scaled != 0 ? "-" : "") + std::to_string(scaled / scale);
    if (places > 0) {
        const std::string digits = std::to_string(scaled % scale);
        text += "." + std::string(places - digits.size(), '0') + digits;
    }
    return text;
}

namespace {

std::string degrees(double celsius)
{
    return decimal(celsius, 1);
}

// As 30, 1.5 or 0.25.
std::string seconds(Clock::duration duration)
{
    std::string text = decimal(std::chrono::duration<double>(duration).count(), 3);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.ends_with('.'))
        text.pop_back();
    return text;
}

// A node id is one level of a topic, and Home Assistant's discovery takes
// these characters alone there.
constexpr std::size_t kLongestNodeId = 64;
bool isNodeId(std::string_view id)
{
    return !id.empty() && id.size() <= kLongestNodeId && std::ranges::all_of(id, [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

// Levels of a topic: none empty, no wildcard, no control character.
bool isTopicPrefix(std::string_view prefix)
{
    return !prefix.empty() && !prefix.starts_with('/') && !prefix.ends_with('/') && prefix.find("//") == prefix.npos &&
           std::ranges::none_of(prefix, [](char c) {
               return c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
           });
}

// Whether text is UTF-8 throughout: what Home Assistant's JSON takes.
bool isUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte < 0x80 ? 1 : byte >> 5 == 0x6 ? 2 : byte >> 4 == 0xe ? 3 : byte >> 3 == 0x1e ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        std::uint32_t point = length == 1 ? byte : byte & (0x7f >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next >> 6 != 0x2)
                return false;
            point = point << 6 | (next & 0x3f);
        }
        // Not longer than needed, no surrogate, and within Unicode.
        constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < kLeast[length] || (point >= 0xd800 && point <= 0xdfff) || point > 0x10ffff)
            return false;
        i += length;
    }
    return true;
}

// mqtt://host[:port] or mqtts://host[:port], taken into `broker`: what is
// wrong with it, or nothing. An IPv6 address goes in brackets, as in any URL.
std::string takeUrl(std::string_view url, Broker& broker)
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

std::string list(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

} // namespace

std::string printable(std::string_view value)
{
    std::string text(value);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f)
            c = '?';
    return text;
}

Parsed parse(std::span<const std::string_view> words)
{
    Parsed parsed;
    Settings& settings = parsed.settings;
    bool on = false, off = false;
    std::string_view tlsOnly; // the first TLS file given
    bool prefixGiven = false;
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
                {}, "'" + std::string(option) + "' takes " + std::string(what) + ", not '" + printable(value) + "'"};
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
            // Readings without a pause between them would keep a core busy.
            if (option == "--every" && *count < 1)
                return wrong("a number of seconds from 1 up");
            const auto duration = std::chrono::round<Clock::duration>(std::chrono::duration<double>(*count));
            (option == "--every" ? settings.every : settings.minRun) = duration;
        } else if (option == "--broker") {
            if (const std::string problem = takeUrl(value, settings.broker); !problem.empty())
                return wrong(problem);
        } else if (option == "--broker-login" || option == "--broker-ca" || option == "--broker-cert" ||
                   option == "--broker-key") {
            if (value.empty())
                return wrong("a file");
            Broker& broker = settings.broker;
            if (option != "--broker-login" && tlsOnly.empty())
                tlsOnly = option;
            (option == "--broker-login"  ? broker.login
             : option == "--broker-ca"   ? broker.ca
             : option == "--broker-cert" ? broker.certificate
                                         : broker.key) = value;
        } else if (option == "--node") {
            if (!isNodeId(value))
                return wrong("an id of 1 to " + std::to_string(kLongestNodeId) + " letters, digits, '_' and '-'");
            settings.broker.node = value;
        } else if (option == "--name") {
            if (value.empty() || std::ranges::any_of(value, [](char c) {
                    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
                }))
                return wrong("a name without control characters, such as a tab or a line break");
            if (!isUtf8(value))
                return wrong("a name in UTF-8");
            settings.broker.name = value;
        } else if (option == "--discovery-prefix") {
            if (!isTopicPrefix(value))
                return wrong("topic levels without '+', '#' or an empty one");
            settings.broker.prefix = value;
            prefixGiven = true;
        } else {
            return {{}, "unknown option '" + std::string(option) + "'"};
        }
    }
    const Broker& broker = settings.broker;
    if (broker.url.empty() && (!broker.login.empty() || !broker.ca.empty() || !broker.certificate.empty() ||
                               !broker.key.empty() || !broker.node.empty() || !broker.name.empty() ||
                               prefixGiven))
        return {{}, "the broker's settings need a --broker"};
    // Over mqtt:// nothing is encrypted, whatever files are given.
    if (!broker.url.empty() && !broker.tls && !tlsOnly.empty())
        return {{}, "'" + std::string(tlsOnly) + "' needs an mqtts:// broker: over mqtt:// nothing is encrypted"};
    if (broker.certificate.empty() != broker.key.empty())
        return {{}, "--broker-cert and --broker-key go together"};
    // A fan without a sensor is a switch for the broker alone.
    if (settings.sensors.empty() && !broker.url.empty() && !on && !off)
        return parsed;
    if (settings.sensors.empty())
        return {{}, "the thermostat needs a --sensor"};
    if (!on || !off)
        return {{}, "the thermostat needs --on and --off"};
    if (settings.on <= settings.off)
        return {{}, "--on (" + degrees(settings.on) + ") must be above --off (" + degrees(settings.off) + ")"};
    return parsed;
}

std::string_view name(Mode mode)
{
    return mode == Mode::on ? "on" : mode == Mode::off ? "off" : "auto";
}

std::string describe(const Settings& settings)
{
    if (settings.sensors.empty())
        return "thermostat: no sensor; the fan is switched by the broker alone, and starts off";
    return "thermostat: " + list(settings.sensors) + "; fan on at " + degrees(settings.on) + " °C, off at " +
           degrees(settings.off) + " °C; a reading every " + seconds(settings.every) + " s, on for at least " +
           seconds(settings.minRun) + " s";
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

Decision::Decision(const Settings& settings) : settings_(settings) {}

bool Decision::next(std::span<const Reading> readings, Clock::time_point now, std::vector<std::string>& said)
{
    std::vector<std::string> failing;
    const Reading* hottest = nullptr;
    for (const Reading& reading : readings) {
        const std::string problem = fault(reading);
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
    } else if (mode_ != Mode::automatic) {
        wanted = mode_ == Mode::on;
        why = "mode " + std::string(name(mode_));
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

int control(const Settings& settings, Sensors& sensors, World& world)
{
    world.say(describe(settings));
    Decision decision(settings);
    std::vector<Reading> readings;
    Clock::time_point nextReading = world.now();
    for (;;) {
        // A command is acted on at once, on the last readings.
        const bool fresh = world.now() >= nextReading;
        if (fresh) {
            readings = sensors.read();
            nextReading = world.now() + settings.every;
        }
        std::vector<std::string> said;
        const bool on = decision.next(readings, world.now(), said);
        for (const std::string& line : said)
            world.say(line);
        // Every reading writes: a board plugged in again catches up here.
        world.switchFan(on);
        world.tell({on, decision.mode(), readings, fresh});
        const Wake wake = world.wait(std::max(nextReading - world.now(), Clock::duration::zero()));
        if (!wake.stop.empty()) {
            world.switchFan(true);
            world.tell({true, decision.mode(), readings});
            world.say("thermostat stopped by " + wake.stop + ": fan on");
            world.stopped();
            return 0;
        }
        if (wake.mode && *wake.mode != decision.mode()) {
            world.say("mode " + std::string(name(*wake.mode)) + ", from the broker");
            decision.setMode(*wake.mode);
        }
    }
}

} // namespace thermostat
