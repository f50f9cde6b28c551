// Windows gives its temperature sensors to administrators only, through
// WMI, so there is no thermostat here.

#include "app/Thermostat.h"
#include "runtime/Runtime.h"

namespace thermostat {

const std::string_view kHelp = "The thermostat runs on Linux only.\n";

Parsed parse(std::span<const std::string_view>)
{
    return {{}, "the thermostat runs on Linux only: Windows shows its temperature sensors to administrators alone"};
}

int run(const Settings&)
{
    return 2; // parse() has refused it
}

} // namespace thermostat
