// Windows gives its temperature sensors to administrators only, through
// WMI, so there is no thermostat here.

#include "app/Thermostat.h"
#include "runtime/Runtime.h"

namespace thermostat {

std::unique_ptr<Sensors> openSensors(const std::vector<std::string>&, std::string& problem)
{
    problem = "the thermostat runs on Linux only: Windows shows its temperature sensors to administrators alone";
    return nullptr;
}

int run(const Settings& settings)
{
    std::string problem;
    openSensors(settings.sensors, problem);
    runtime::printError("ventrolik: " + problem + "\n");
    return 2;
}

} // namespace thermostat
