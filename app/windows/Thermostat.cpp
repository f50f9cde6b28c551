// Windows gives its temperature sensors to administrators only, through
// WMI, so there is no thermostat here: its command line is read as on
// Linux, then refused.

#include "app/CommandLine.h"
#include "runtime/Runtime.h"

namespace thermostat {

int run(const Parsed&)
{
    runtime::printError("ventrolik: the thermostat runs on Linux only: Windows shows its temperature sensors to "
                        "administrators alone\n");
    return 2;
}

} // namespace thermostat
