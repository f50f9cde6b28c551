#pragma once

// The thermostat as a device on an MQTT broker: its topics, what it
// publishes there, and the commands it takes. Laid out as Home Assistant's
// MQTT discovery and the bridges around it expect, under ventrolik/NODE/:
//
//   availability   online, or offline (also the broker's last will)
//   fan            ON or OFF
//   fan/set        commands: ON or OFF, which hold the fan so
//   mode           auto, on or off
//   mode/set       commands: auto, on or off
//   temperature    {"celsius":55.0,"sensor":"lm75-i2c-0-48/temp1"}
//
// and PREFIX/{fan,sensor,select}/NODE/.../config for discovery. All but the
// commands are retained.

#include "Thermostat.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mqtt {

struct Message {
    std::string topic;
    std::string payload;
    bool retain = true;
};

// ventrolik/NODE/WHAT
std::string topic(const thermostat::Broker& broker, std::string_view what);

// The discovery configs: the fan, and with a sensor its temperature and the
// mode; without one, empty configs in their place take away the entities a
// thermostat here left before.
std::vector<Message> discovery(const thermostat::Broker& broker, bool thermostat);

// The configs emptied, which takes the device out of Home Assistant.
std::vector<Message> forgetting(const thermostat::Broker& broker);

// What the fan, its mode and its temperature are.
std::vector<Message> state(const thermostat::Broker& broker, const thermostat::Status& status, bool thermostat);

// A command that came, as the mode it sets; or nothing, with `problem`
// saying why it is ignored (empty for a topic that carries no command). A
// fan without a sensor has no mode but on and off.
std::optional<thermostat::Mode> command(const thermostat::Broker& broker, std::string_view topic,
                                        std::string_view payload, bool retained, bool thermostat,
                                        std::string& problem);

// A node id of this machine's own, stable across starts, from its
// /etc/machine-id, which itself stays private.
std::string nodeId(std::string_view machineId);

} // namespace mqtt
