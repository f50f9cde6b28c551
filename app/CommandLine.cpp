#include "CommandLine.h"

#include "port/Port.h"
#include "program.h"
#include "runtime/Runtime.h"

#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kUsage =
    "Usage: ventrolik [on | off]\n"
    "       ventrolik thermostat --sensor NAME [--sensor NAME]... --on TEMP --off TEMP\n"
    "                            [--every SECONDS] [--min-run SECONDS] [--broker URL ...]\n"
    "       ventrolik thermostat --config FILE [--check]\n";

constexpr std::string_view kHelp = "Switches a fan on the data lines of the first parallel port (LPT1) on or off.\n"
                                   "Without a command it opens its window.\n"
                                   "\n"
                                   "  on         switch the fan on, without opening a window\n"
                                   "  off        switch the fan off, without opening a window\n"
                                   "  thermostat switch the fan by a temperature, until stopped (Linux)\n"
                                   "  --help     show this help and exit\n"
                                   "  --version  show the version and exit\n"
                                   "\n"
                                   "Exit status: 0 when the fan was switched (or the thermostat stopped), 1 when\n"
                                   "the port library IO.DLL or its driver is missing, 2 when the command line\n"
                                   "is wrong or names no temperature sensor.\n";

// As the buttons do, but only once the driver check says yes: a script gets
// a status it can act on instead of a write that goes nowhere.
int switchFan(void (*doSwitch)())
{
    if (!port::DriverReady())
        return 1;
    doSwitch();
    return 0;
}

CommandLine asking(Request request, std::string problem = {})
{
    CommandLine line;
    line.request = request;
    line.problem = std::move(problem);
    return line;
}

} // namespace

CommandLine parseCommandLine(std::span<char* const> arguments)
{
    const std::vector<std::string_view> words(arguments.begin() + (arguments.empty() ? 0 : 1), arguments.end());
    // --help and --version win over anything else, as GNU programs do.
    for (std::string_view word : words) {
        if (word == "--help")
            return asking(Request::Help);
        if (word == "--version")
            return asking(Request::Version);
    }
    if (!words.empty() && words.front() == "thermostat") {
        thermostat::Parsed parsed = thermostat::parse(std::span(words).subspan(1));
        // With --config-if-there, the options are wrong only where the file
        // isn't there, which the run finds out.
        if (!parsed.problem.empty() && !parsed.fileIfThere)
            return asking(Request::Wrong, parsed.problem);
        CommandLine line = asking(Request::Thermostat);
        line.thermostat = std::move(parsed);
        return line;
    }
    CommandLine line;
    for (std::string_view word : words) {
        if (word != "on" && word != "off")
            return asking(Request::Wrong, "unknown argument '" + std::string(word) + "'");
        if (line.request != Request::Window)
            return asking(Request::Wrong, "one command at a time: on or off");
        line.request = word == "on" ? Request::On : Request::Off;
    }
    return line;
}

int runRequest(const CommandLine& line, const runtime::Project& project)
{
    switch (line.request) {
    case Request::On:
        return runtime::runCommand(project, [] { return switchFan(port::SwitchOn); });
    case Request::Off:
        return runtime::runCommand(project, [] { return switchFan(port::SwitchOff); });
    case Request::Thermostat:
        return runtime::runCommand(project, [&] { return thermostat::run(line.thermostat); });
    case Request::Help:
        runtime::printOutput(std::string(kUsage) + std::string(kHelp) + "\n" + std::string(thermostat::kHelp));
        return 0;
    case Request::Version:
        runtime::printOutput(VENTROLIK_NAME " " VENTROLIK_VERSION "\n");
        return 0;
    case Request::Window:
    case Request::Wrong:
        break;
    }
    runtime::printError("ventrolik: " + line.problem + "\n" + std::string(kUsage) +
                        "Try 'ventrolik --help' for more information.\n");
    return 2;
}
