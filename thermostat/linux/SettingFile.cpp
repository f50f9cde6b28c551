// The setting file, in TOML, through toml++: every fan on the node, and the
// broker. Each value goes through the check the command line's option of
// the same setting goes through; a fault is said with the file and line.

#include "thermostat/Checks.h"
#include "thermostat/Text.h"

#include <toml++/toml.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace thermostat {

namespace {

using checks::Spelling;

// What a TOML value is, as a message may say it.
std::string shown(const toml::node& value)
{
    if (const auto text = value.value<std::string_view>())
        return std::string(*text);
    std::ostringstream out;
    value.visit([&](const auto& each) { out << each; });
    return out.str();
}

class FileReader {
public:
    explicit FileReader(const std::string& file) : file_(file) {}

    Read read()
    {
        Read read;
        std::ifstream in(file_);
        if (!in)
            return {{}, file_ + ": " + std::strerror(errno)};
        std::ostringstream text;
        text << in.rdbuf();
        toml::table root;
        try {
            root = toml::parse(text.str(), file_);
        } catch (const toml::parse_error& error) {
            const toml::source_position at = error.source().begin;
            return {{}, file_ + ":" + std::to_string(at.line) + ": " + std::string(error.description())};
        }
        Settings& settings = read.settings;
        settings.file = file_;
        for (auto&& [key, value] : root) {
            if (key == "every")
                number(key, value, [&](double count) { return checks::seconds("every", count, settings.every); });
            else if (key == "broker")
                broker(value, settings.broker);
            else if (key == "fan" && value.is_array_of_tables())
                for (toml::node& each : *value.as_array())
                    settings.fans.push_back(fan(*each.as_table()));
            else if (key == "fan")
                fail(lineOf(value), "'fan' is a list of tables: [[fan]]");
            else
                unknown(key, value);
        }
        if (problem_.empty()) {
            const checks::Fault fault = checks::whole(settings, Spelling::file);
            if (!fault.text.empty())
                fail(fault.where, fault.text);
        }
        read.problem = problem_;
        return read;
    }

private:
    void fail(int where, const std::string& text)
    {
        if (problem_.empty())
            problem_ = file_ + ":" + (where > 0 ? std::to_string(where) + ":" : std::string()) + " " + text;
    }

    static int lineOf(const toml::node& value) { return int(value.source().begin.line); }

    void unknown(const toml::key& key, const toml::node& value)
    {
        fail(lineOf(value), "unknown key '" + printable(key.str()) + "'");
    }

    void wrong(const toml::key& key, const toml::node& value, const std::string& takes)
    {
        if (!takes.empty())
            fail(lineOf(value), checks::wrong(Spelling::file, key.str(), takes, shown(value)));
    }

    template <typename Take>
    void number(const toml::key& key, const toml::node& value, Take take)
    {
        const std::optional<double> count = value.value<double>();
        wrong(key, value, count ? take(*count) : key == "on" || key == "off" ? "a temperature in °C" : "a number of seconds");
    }

    template <typename Take>
    void text(const toml::key& key, const toml::node& value, Take take)
    {
        const std::optional<std::string_view> text = value.is_string() ? value.value<std::string_view>() : std::nullopt;
        wrong(key, value, text ? take(*text) : "a string in quotes");
    }

    void broker(toml::node& node, Broker& broker)
    {
        toml::table* table = node.as_table();
        if (!table)
            return fail(lineOf(node), "'broker' is a table: [broker]");
        for (auto&& [key, value] : *table) {
            if (key == "url")
                text(key, value, [&](std::string_view url) { return checks::url(url, broker); });
            else if (key == "node")
                text(key, value, [&](std::string_view id) { return checks::id(id, broker.node); });
            else if (key == "name")
                text(key, value, [&](std::string_view name) { return checks::name(name, broker.name); });
            else if (key == "discovery_prefix")
                text(key, value, [&](std::string_view prefix) { return checks::prefix(prefix, broker.prefix); });
            else if (key == "ca" || key == "certificate" || key == "key" || key == "login")
                text(key, value, [&, into = key == "ca"            ? &broker.ca
                                            : key == "certificate" ? &broker.certificate
                                            : key == "key"         ? &broker.key
                                                                   : &broker.login](std::string_view file) {
                    return checks::file(file, *into);
                });
            else
                unknown(key, value);
        }
    }

    Fan fan(toml::table& table)
    {
        Fan fan;
        fan.where = int(table.source().begin.line);
        for (auto&& [key, value] : table) {
            if (key == "id")
                text(key, value, [&](std::string_view id) { return checks::id(id, fan.id); });
            else if (key == "name")
                text(key, value, [&](std::string_view name) { return checks::name(name, fan.name); });
            else if (key == "line")
                text(key, value, [&](std::string_view line) { return checks::line(line, fan.line); });
            else if (key == "on" || key == "off")
                number(key, value, [&](double celsius) { return checks::celsius(celsius, key == "on" ? fan.on : fan.off); });
            else if (key == "min_run")
                number(key, value, [&](double count) { return checks::seconds("min_run", count, fan.minRun); });
            else if (key == "sensors" && value.is_array())
                for (toml::node& sensor : *value.as_array())
                    text(key, sensor, [&](std::string_view name) { return checks::sensor(name, fan.sensors); });
            else if (key == "sensors")
                wrong(key, value, "a list of sensors, as [\"lm75-i2c-0-48/temp1\"]");
            else
                unknown(key, value);
        }
        if (fan.name.empty())
            fan.name = fan.id;
        return fan;
    }

    const std::string file_;
    std::string problem_; // the first fault found
};

} // namespace

Read readFile(const std::string& file)
{
    return FileReader(file).read();
}

} // namespace thermostat
