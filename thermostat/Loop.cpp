#include "Loop.h"

#include <algorithm>

namespace thermostat {

std::vector<std::string> sensorNames(const Settings& settings)
{
    std::vector<std::string> names;
    for (const Fan& fan : settings.fans)
        for (const std::string& name : fan.sensors)
            if (std::ranges::find(names, name) == names.end())
                names.push_back(name);
    return names;
}

int control(const Settings& settings, Sensors& sensors, World& world)
{
    world.say(describe(settings));
    std::vector<Decision> decisions(settings.fans.begin(), settings.fans.end());
    // What a fan says is said in its name where there are several.
    const auto say = [&](const Fan& fan, const std::string& line) { world.say(fan.id.empty() ? line : fan.id + ": " + line); };
    std::vector<Reading> readings;
    Clock::time_point nextReading = world.now();
    for (;;) {
        // A command is acted on at once, on the last readings.
        Status status;
        status.fresh = world.now() >= nextReading;
        if (status.fresh) {
            readings = sensors.read();
            nextReading = world.now() + settings.every;
        }
        std::uint8_t lines = 0;
        for (std::size_t i = 0; i < settings.fans.size(); ++i) {
            const Fan& fan = settings.fans[i];
            FanStatus& each = status.fans.emplace_back();
            std::ranges::copy_if(readings, std::back_inserter(each.readings), [&](const Reading& reading) {
                return std::ranges::find(fan.sensors, reading.given) != fan.sensors.end();
            });
            std::vector<std::string> said;
            each.on = decisions[i].next(each.readings, world.now(), said);
            each.mode = decisions[i].mode();
            each.problem = decisions[i].problem();
            for (const std::string& line : said)
                say(fan, line);
            lines |= each.on << fan.line;
        }
        // Every reading writes: a board plugged in again catches up here.
        world.write(lines);
        world.tell(status);
        const Wake wake = world.wait(std::max(nextReading - world.now(), Clock::duration::zero()));
        if (!wake.stop.empty()) {
            lines = 0;
            for (std::size_t i = 0; i < settings.fans.size(); ++i) {
                lines |= 1 << settings.fans[i].line;
                status.fans[i].on = true;
            }
            world.write(lines);
            status.fresh = false;
            world.tell(status);
            world.say("thermostat stopped by " + wake.stop + (settings.fans.size() == 1 ? ": fan on" : ": every fan on"));
            world.stopped();
            return 0;
        }
        if (const std::optional<Command> command = wake.command;
            command && command->fan < decisions.size() && command->mode != decisions[command->fan].mode()) {
            say(settings.fans[command->fan], "mode " + std::string(name(command->mode)) + ", from the broker");
            decisions[command->fan].setMode(command->mode);
        }
    }
}

} // namespace thermostat
