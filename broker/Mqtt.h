#pragma once

// The node as a device on an MQTT broker: its topics, what it publishes
// there, and the commands it takes. Laid out as Home Assistant's MQTT
// discovery and the bridges around it expect, under ventrolik/NODE/:
//
//   availability       online, or offline (also the broker's last will)
//
// and for each fan, under ventrolik/NODE/FAN/ (ventrolik/NODE/ for the
// command line's one fan):
//
//   fan                ON or OFF
//   fan/set            commands: ON or OFF, which hold the fan so
//   mode               auto, on or off
//   mode/set           commands: auto, on or off
//   temperature        {"celsius":55.0,"sensor":"lm75-i2c-0-48/temp1"}
//   problem            {"state":"ON","why":"..."}: a sensor fails, or the
//                      fail-safe holds the fan on over "off"
//
// and PREFIX/{fan,sensor,select,binary_sensor}/NODE/.../config for
// discovery. All but the commands are retained.

#include "thermostat/Loop.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mqtt {

using thermostat::Broker;
using thermostat::Fan;
using thermostat::Settings;

struct Message {
    std::string topic;
    std::string payload;
    bool retain = true;
};

// ventrolik/NODE/WHAT, and a fan's ventrolik/NODE/FAN/WHAT.
std::string topic(const Broker& broker, std::string_view what);
std::string topic(const Broker& broker, const Fan& fan, std::string_view what);

// The commands' topics, to subscribe to.
std::vector<std::string> commandTopics(const Settings& settings);

// Every config this node may have published, to subscribe to: the ones
// it no longer has are cleared at connect.
std::string configsTopic(const Broker& broker);

// The discovery configs: for each fan its fan entity, and with sensors its
// temperature, its mode and its problem.
std::vector<Message> discovery(const Settings& settings);

// Whether a config that came is one this node published for an entity it
// no longer has (a fan gone from the settings, a sensor taken away).
bool stale(const Settings& settings, std::string_view topic, std::string_view payload);

// What each fan, its mode, its temperature and its problem are.
std::vector<Message> state(const Settings& settings, const thermostat::Status& status);

// A command that came; or nothing, with `problem` saying why it is ignored
// (empty for a topic that carries no command). A fan without a sensor has
// no mode but on and off.
std::optional<thermostat::Command> command(const Settings& settings, std::string_view topic, std::string_view payload,
                                           bool retained, std::string& problem);

// A node id of this machine's own, stable across starts, from its
// /etc/machine-id, which itself stays private.
std::string nodeId(std::string_view machineId);

} // namespace mqtt
