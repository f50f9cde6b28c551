#include "Mqtt.h"

#include "program.h"

#include <cstdint>
#include <cstdio>
#include <optional>

namespace mqtt {

namespace {

using thermostat::Broker;
using thermostat::Mode;

// A JSON string.
std::string jsonString(std::string_view text)
{
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            json += escaped;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

// A payload as a line may show it: printable, and cut short.
std::string shown(std::string_view payload)
{
    constexpr std::size_t kLongest = 40;
    return "'" + thermostat::printable(payload.substr(0, kLongest)) + "'" + (payload.size() > kLongest ? "..." : "");
}

std::string config(const Broker& broker, std::string_view component, std::string_view object)
{
    return broker.prefix + "/" + std::string(component) + "/" + broker.node + "/" + std::string(object) + "/config";
}

// What every entity's config shares: its name (none: the device's, for its
// main entity) and an id that no other integration's can be, where it says
// it is there, and the device it belongs to.
std::string entity(const Broker& broker, std::optional<std::string_view> name, std::string_view object)
{
    return "{\"name\":" + (name ? jsonString(*name) : "null") +
           ",\"unique_id\":" + jsonString("ventrolik_" + broker.node + "_" + std::string(object)) +
           ",\"availability_topic\":" + jsonString(topic(broker, "availability")) + ",\"device\":{\"identifiers\":[" +
           jsonString("ventrolik_" + broker.node) + "],\"name\":" + jsonString(broker.name) +
           ",\"manufacturer\":\"" VENTROLIK_COMPANY "\",\"model\":\"" VENTROLIK_NAME "\",\"sw_version\":" +
           jsonString(VENTROLIK_VERSION) + "}";
}

} // namespace

std::string topic(const Broker& broker, std::string_view what)
{
    return "ventrolik/" + broker.node + "/" + std::string(what);
}

std::vector<Message> discovery(const Broker& broker, bool thermostat)
{
    std::vector<Message> configs{
        {config(broker, "fan", "fan"),
         entity(broker, std::nullopt, "fan") + ",\"state_topic\":" + jsonString(topic(broker, "fan")) + ",\"command_topic\":" +
             jsonString(topic(broker, "fan/set")) + ",\"payload_on\":\"ON\",\"payload_off\":\"OFF\"}"},
        {config(broker, "sensor", "temperature"),
         entity(broker, "Temperature", "temperature") + ",\"state_topic\":" + jsonString(topic(broker, "temperature")) +
             ",\"value_template\":\"{{ value_json.celsius }}\",\"json_attributes_topic\":" +
             jsonString(topic(broker, "temperature")) +
             ",\"device_class\":\"temperature\",\"unit_of_measurement\":\"°C\",\"state_class\":\"measurement\"}"},
        {config(broker, "select", "mode"),
         entity(broker, "Mode", "mode") + ",\"state_topic\":" + jsonString(topic(broker, "mode")) +
             ",\"command_topic\":" + jsonString(topic(broker, "mode/set")) + ",\"options\":[\"auto\",\"on\",\"off\"]}"},
    };
    if (!thermostat)
        configs[1].payload.clear(), configs[2].payload.clear();
    return configs;
}

std::vector<Message> forgetting(const Broker& broker)
{
    std::vector<Message> configs = discovery(broker, false);
    configs[0].payload.clear();
    return configs;
}

std::vector<Message> state(const Broker& broker, const thermostat::Status& status, bool thermostat)
{
    std::vector<Message> messages{{topic(broker, "fan"), status.on ? "ON" : "OFF"}};
    if (!thermostat)
        return messages;
    messages.push_back({topic(broker, "mode"), std::string(thermostat::name(status.mode))});
    // The reading that counts: the hottest of those that can be trusted;
    // where none can, no temperature, and why.
    const thermostat::Reading* hottest = nullptr;
    std::string problem;
    for (const thermostat::Reading& reading : status.readings) {
        if (const std::string fault = thermostat::fault(reading); !fault.empty()) {
            if (problem.empty())
                problem = reading.sensor + ": " + fault;
        } else if (!hottest || reading.celsius > hottest->celsius) {
            hottest = &reading;
        }
    }
    if (hottest)
        messages.push_back({topic(broker, "temperature"), "{\"celsius\":" + thermostat::decimal(hottest->celsius, 1) +
                                                              ",\"sensor\":" + jsonString(hottest->sensor) + "}"});
    else if (!problem.empty())
        messages.push_back(
            {topic(broker, "temperature"), "{\"celsius\":null,\"problem\":" + jsonString(problem) + "}"});
    return messages;
}

std::optional<Mode> command(const Broker& broker, std::string_view topic, std::string_view payload, bool retained,
                            bool thermostat, std::string& problem)
{
    const bool fan = topic == mqtt::topic(broker, "fan/set");
    if (!fan && topic != mqtt::topic(broker, "mode/set"))
        return std::nullopt;
    if (!fan && !thermostat) {
        problem = "ignoring " + shown(payload) + " on " + std::string(topic) +
                  ": a fan without a sensor has no mode; it takes ON or OFF on " + mqtt::topic(broker, "fan/set");
        return std::nullopt;
    }
    // A retained command would be played again at every connect: the fan
    // would follow what someone once asked, not what is asked now.
    if (retained) {
        problem = "ignoring a retained " + shown(payload) + " on " + std::string(topic) +
                  ": commands are taken only as they are sent";
        return std::nullopt;
    }
    if (fan && (payload == "ON" || payload == "OFF"))
        return payload == "ON" ? Mode::on : Mode::off;
    for (const Mode mode : {Mode::automatic, Mode::on, Mode::off})
        if (!fan && payload == thermostat::name(mode))
            return mode;
    problem = "ignoring " + shown(payload) + " on " + std::string(topic) + ": it takes " +
              (fan ? "ON or OFF" : "auto, on or off");
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
