// The temperatures, through libsensors, so that the user's sensors.conf
// (labels, computed values, ignored inputs) holds here as it does for
// `sensors`, and a sensor is named as `sensors` shows it.

#include "thermostat/Loop.h"

#include <sensors/error.h>
#include <sensors/sensors.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

namespace thermostat {

namespace {

struct Source {
    std::string name; // chip/label, as `sensors` shows it
    const sensors_chip_name* chip;
    int input;
    std::string given; // the name in the settings
};

std::string chipName(const sensors_chip_name* chip)
{
    char text[256];
    if (sensors_snprintf_chip_name(text, sizeof text, chip) < 0)
        return "?";
    return text;
}

std::string label(const sensors_chip_name* chip, const sensors_feature* feature)
{
    const std::unique_ptr<char, decltype(&std::free)> text(sensors_get_label(chip, feature), &std::free);
    return text ? text.get() : feature->name;
}

// Calls each temperature input of the chips that match (all, with none).
template <typename Visit>
void eachTemperature(const sensors_chip_name* match, Visit visit)
{
    int chipNumber = 0;
    while (const sensors_chip_name* chip = sensors_get_detected_chips(match, &chipNumber)) {
        int featureNumber = 0;
        while (const sensors_feature* feature = sensors_get_features(chip, &featureNumber)) {
            const sensors_subfeature* input = feature->type == SENSORS_FEATURE_TEMP
                                                  ? sensors_get_subfeature(chip, feature, SENSORS_SUBFEATURE_TEMP_INPUT)
                                                  : nullptr;
            visit(chip, feature, input);
        }
    }
}

std::string temperaturesHere()
{
    std::string text;
    eachTemperature(nullptr, [&](const sensors_chip_name* chip, const sensors_feature* feature, auto* input) {
        if (input)
            text += "\n  " + chipName(chip) + "/" + label(chip, feature);
    });
    return text.empty() ? " none" : text;
}

// The inputs that one name stands for: several, where its chip has a
// wildcard. Empty, with problem set, where it stands for none.
std::vector<Source> resolve(const std::string& name, std::string& problem)
{
    const std::size_t slash = name.find('/');
    if (slash == std::string::npos) {
        problem = "'" + name + "' names no feature: give the chip, a '/' and the feature, as 'lm75-i2c-0-48/temp1'";
        return {};
    }
    sensors_chip_name match;
    if (sensors_parse_chip_name(name.substr(0, slash).c_str(), &match) != 0) {
        problem = "'" + name.substr(0, slash) + "' is not a chip's name";
        return {};
    }
    const std::string feature = name.substr(slash + 1);
    std::vector<Source> sources;
    bool other = false;
    eachTemperature(&match, [&](const sensors_chip_name* chip, const sensors_feature* each, auto* input) {
        if (label(chip, each) != feature && each->name != feature)
            return;
        if (input)
            sources.push_back({chipName(chip) + "/" + label(chip, each), chip, input->number, name});
        else
            other = true;
    });
    sensors_free_chip_name(&match);
    if (sources.empty())
        problem = "'" + name + (other ? "' is not a temperature" : "' matches no sensor");
    return sources;
}

class LibSensors final : public Sensors {
public:
    explicit LibSensors(std::vector<std::string> names) : names_(std::move(names)) {}
    ~LibSensors() override { sensors_cleanup(); }

    // Whether every name stands for at least one input; problem says why
    // not, each name after where it is set.
    bool find(std::string& problem, const std::function<std::string(const std::string&)>& where = {})
    {
        sources_.clear();
        missing_.clear();
        for (const std::string& name : names_) {
            std::string why;
            std::vector<Source> found = resolve(name, why);
            if (found.empty()) {
                missing_.push_back({name, 0, "it is no longer there", name});
                problem += (problem.empty() ? "" : "\n") + (where ? where(name) : "") + why;
            }
            sources_.insert(sources_.end(), found.begin(), found.end());
        }
        return missing_.empty();
    }

    std::vector<Reading> read() override
    {
        // A sensor that failed may come back as another device (a driver
        // reloaded, a board plugged in again): look for it anew.
        if (stale_) {
            sensors_cleanup();
            sources_.clear();
            missing_.clear();
            std::string ignored;
            if (sensors_init(nullptr) == 0)
                find(ignored);
            else
                for (const std::string& name : names_)
                    missing_.push_back({name, 0, "libsensors cannot read its configuration", name});
        }
        std::vector<Reading> readings = missing_;
        for (const Source& source : sources_) {
            double value = 0;
            if (const int error = sensors_get_value(source.chip, source.input, &value); error < 0)
                readings.push_back({source.name, 0, sensors_strerror(error), source.given});
            else
                readings.push_back({source.name, value, {}, source.given});
        }
        stale_ = std::ranges::any_of(readings, [](const Reading& reading) { return !reading.problem.empty(); });
        return readings;
    }

private:
    std::vector<std::string> names_;
    std::vector<Source> sources_;
    std::vector<Reading> missing_; // the names that stand for nothing now
    bool stale_ = false;
};

} // namespace

std::unique_ptr<Sensors> openSensors(const Settings& settings, std::string& problem)
{
    // In a setting file, a name is said with the first fan that gives it.
    const auto where = [&](const std::string& name) {
        for (const Fan& fan : settings.fans)
            if (!settings.file.empty() && std::ranges::find(fan.sensors, name) != fan.sensors.end())
                return settings.file + ":" + std::to_string(fan.where) + ": fan '" + fan.id + "': ";
        return std::string();
    };
    if (const int error = sensors_init(nullptr); error != 0) {
        problem = std::string("cannot read the sensors' configuration: ") + sensors_strerror(error);
        return nullptr;
    }
    auto sensors = std::make_unique<LibSensors>(sensorNames(settings));
    if (!sensors->find(problem, where)) {
        problem += "\nThe temperature sensors here are:" + temperaturesHere();
        return nullptr;
    }
    return sensors;
}

} // namespace thermostat
