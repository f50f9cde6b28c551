#include "Mqtt.h"

#include "program.h"
#include "thermostat/Text.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace mqtt {

namespace {

using thermostat::Mode;
// Keys in the order written, as people read a config.
using Json = nlohmann::ordered_json;

std::string dump(const Json& json)
{
    // A sensor's label is the system's, and may be no UTF-8.
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// A payload as a line may show it: printable, and cut short.
std::string shown(std::string_view payload)
{
    constexpr std::size_t kLongest = 40;
    return "'" + thermostat::printable(payload.substr(0, kLongest)) + "'" + (payload.size() > kLongest ? "..." : "");
}

std::string deviceId(const Broker& broker)
{
    return "ventrolik_" + broker.node;
}

// A fan's entity of a kind: its object id, in the config's topic and its
// unique id.
std::string object(const Fan& fan, std::string_view kind)
{
    return fan.id.empty() ? std::string(kind) : fan.id + "_" + std::string(kind);
}

std::string config(const Broker& broker, std::string_view component, const std::string& object)
{
    return broker.prefix + "/" + std::string(component) + "/" + broker.node + "/" + object + "/config";
}

// What every entity's config shares: its name, an id that no other
// integration's can be, where it says it is there, and the device it
// belongs to. With one fan, the fan entity takes the device's name (null)
// and the others are named for what they are (Temperature); with several,
// after the fan too (Exhaust temperature).
Json entity(const Settings& settings, const Fan& fan, std::string_view kind, std::string_view title)
{
    const Broker& broker = settings.broker;
    const bool one = settings.fans.size() == 1;
    Json name; // null
    if (one && !title.empty())
        name = char(title[0] - 'a' + 'A') + std::string(title.substr(1));
    else if (!one)
        name = fan.name + (title.empty() ? "" : " " + std::string(title));
    return {
        {"name", name},
        {"unique_id", deviceId(broker) + "_" + object(fan, kind)},
        {"availability_topic", topic(broker, "availability")},
        {"device",
         {{"identifiers", {deviceId(broker)}},
          {"name", broker.name},
          {"manufacturer", VENTROLIK_COMPANY},
          {"model", VENTROLIK_NAME},
          {"sw_version", VENTROLIK_VERSION}}},
    };
}

std::string onOff(bool on)
{
    return on ? "ON" : "OFF";
}

} // namespace

std::string topic(const Broker& broker, std::string_view what)
{
    return "ventrolik/" + broker.node + "/" + std::string(what);
}

std::string topic(const Broker& broker, const Fan& fan, std::string_view what)
{
    return fan.id.empty() ? topic(broker, what) : topic(broker, fan.id + "/" + std::string(what));
}

std::vector<std::string> commandTopics(const Settings& settings)
{
    std::vector<std::string> topics;
    for (const Fan& fan : settings.fans) {
        topics.push_back(topic(settings.broker, fan, "fan/set"));
        if (fan.thermostat())
            topics.push_back(topic(settings.broker, fan, "mode/set"));
    }
    return topics;
}

std::string configsTopic(const Broker& broker)
{
    return broker.prefix + "/+/" + broker.node + "/+/config";
}

std::vector<Message> discovery(const Settings& settings)
{
    const Broker& broker = settings.broker;
    std::vector<Message> configs;
    for (const Fan& fan : settings.fans) {
        const auto at = [&](std::string_view what) { return topic(broker, fan, what); };
        Json json = entity(settings, fan, "fan", "");
        json.update(Json{{"state_topic", at("fan")},
                         {"command_topic", at("fan/set")},
                         {"payload_on", "ON"},
                         {"payload_off", "OFF"}});
        configs.push_back({config(broker, "fan", object(fan, "fan")), dump(json)});
        if (!fan.thermostat())
            continue;
        json = entity(settings, fan, "temperature", "temperature");
        json.update(Json{{"state_topic", at("temperature")},
                         {"value_template", "{{ value_json.celsius }}"},
                         {"json_attributes_topic", at("temperature")},
                         {"device_class", "temperature"},
                         {"unit_of_measurement", "°C"},
                         {"state_class", "measurement"}});
        configs.push_back({config(broker, "sensor", object(fan, "temperature")), dump(json)});
        json = entity(settings, fan, "mode", "mode");
        json.update(Json{{"state_topic", at("mode")}, {"command_topic", at("mode/set")}, {"options", {"auto", "on", "off"}}});
        configs.push_back({config(broker, "select", object(fan, "mode")), dump(json)});
        json = entity(settings, fan, "problem", "problem");
        json.update(Json{{"state_topic", at("problem")},
                         {"value_template", "{{ value_json.state }}"},
                         {"json_attributes_topic", at("problem")},
                         {"device_class", "problem"},
                         {"entity_category", "diagnostic"}});
        configs.push_back({config(broker, "binary_sensor", object(fan, "problem")), dump(json)});
    }
    return configs;
}

bool stale(const Settings& settings, std::string_view topic, std::string_view payload)
{
    if (payload.empty())
        return false; // cleared already
    for (const Message& config : discovery(settings))
        if (config.topic == topic)
            return false;
    // Only what this node published: another integration may use the same
    // node id in its topics.
    const Json json = Json::parse(payload, nullptr, false);
    if (!json.is_object() || !json.contains("unique_id") || !json["unique_id"].is_string())
        return false;
    return json["unique_id"].get<std::string>().starts_with(deviceId(settings.broker) + "_");
}

std::vector<Message> state(const Settings& settings, const thermostat::Status& status)
{
    const Broker& broker = settings.broker;
    std::vector<Message> messages;
    for (std::size_t i = 0; i < settings.fans.size() && i < status.fans.size(); ++i) {
        const Fan& fan = settings.fans[i];
        const thermostat::FanStatus& each = status.fans[i];
        messages.push_back({topic(broker, fan, "fan"), onOff(each.on)});
        if (!fan.thermostat())
            continue;
        messages.push_back({topic(broker, fan, "mode"), std::string(thermostat::name(each.mode))});
        // The reading that counts: the hottest of those that can be
        // trusted; where none can, no temperature, and why.
        if (const thermostat::Reading* hottest = thermostat::hottest(each.readings))
            messages.push_back({topic(broker, fan, "temperature"),
                                dump({{"celsius", std::round(hottest->celsius * 10) / 10}, {"sensor", hottest->sensor}})});
        else
            for (const thermostat::Reading& reading : each.readings)
                if (const std::string fault = thermostat::fault(reading); !fault.empty()) {
                    messages.push_back({topic(broker, fan, "temperature"),
                                        dump({{"celsius", nullptr}, {"problem", reading.sensor + ": " + fault}})});
                    break;
                }
        Json problem = {{"state", onOff(!each.problem.empty())}};
        if (!each.problem.empty())
            problem["why"] = each.problem;
        messages.push_back({topic(broker, fan, "problem"), dump(problem)});
    }
    return messages;
}

std::optional<thermostat::Command> command(const Settings& settings, std::string_view topic, std::string_view payload,
                                           bool retained, std::string& problem)
{
    for (std::size_t i = 0; i < settings.fans.size(); ++i) {
        const Fan& fan = settings.fans[i];
        const std::string fanSet = mqtt::topic(settings.broker, fan, "fan/set");
        const bool isFan = topic == fanSet;
        if (!isFan && topic != mqtt::topic(settings.broker, fan, "mode/set"))
            continue;
        if (!isFan && !fan.thermostat()) {
            problem = "ignoring " + shown(payload) + " on " + std::string(topic) +
                      ": a fan without a sensor has no mode; it takes ON or OFF on " + fanSet;
            return std::nullopt;
        }
        // A retained command would be played again at every connect: the
        // fan would follow what someone once asked, not what is asked now.
        if (retained) {
            problem = "ignoring a retained " + shown(payload) + " on " + std::string(topic) +
                      ": commands are taken only as they are sent";
            return std::nullopt;
        }
        if (isFan && (payload == "ON" || payload == "OFF"))
            return thermostat::Command{i, payload == "ON" ? Mode::on : Mode::off};
        for (const Mode mode : {Mode::automatic, Mode::on, Mode::off})
            if (!isFan && payload == thermostat::name(mode))
                return thermostat::Command{i, mode};
        problem = "ignoring " + shown(payload) + " on " + std::string(topic) + ": it takes " +
                  (isFan ? "ON or OFF" : "auto, on or off");
        return std::nullopt;
    }
    return std::nullopt;
}

std::string nodeId(std::string_view machineId)
{
    // FNV-1a over the id and a word of ours: the same id on every start,
    // another for every machine, and nothing of the machine's id given away.
    std::uint64_t hash = 14695981039346656037u;
    for (const char c : "ventrolik:" + std::string(machineId)) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211u;
    }
    char id[24];
    std::snprintf(id, sizeof id, "%012llx", static_cast<unsigned long long>(hash >> 16));
    return std::string("ventrolik-") + id;
}

} // namespace mqtt
