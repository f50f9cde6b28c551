#include "CommandLine.h"

#include "port/Port.h"
#include "program.h"
#include "runtime/Runtime.h"

#include <string_view>

namespace {

constexpr std::string_view kUsage = "Usage: ventrolik [on | off]\n";

constexpr std::string_view kHelp = "Switches a fan on the data lines of the first parallel port (LPT1) on or off.\n"
                                   "Without a command it opens its window.\n"
                                   "\n"
                                   "  on         switch the fan on, without opening a window\n"
                                   "  off        switch the fan off, without opening a window\n"
                                   "  --help     show this help and exit\n"
                                   "  --version  show the version and exit\n"
                                   "\n"
                                   "Exit status: 0 when the fan was switched, 1 when the port library IO.DLL\n"
                                   "or its driver is missing, 2 when the command line is wrong.\n";

// As the buttons do, but only once the driver check says yes: a script gets
// a status it can act on instead of a write that goes nowhere.
int switchFan(void (*doSwitch)())
{
    if (!port::DriverInstalled()) {
        runtime::printError(std::string(port::kDriverMissing) + "\n");
        return 1;
    }
    doSwitch();
    return 0;
}

} // namespace

CommandLine parseCommandLine(std::span<char* const> arguments)
{
    CommandLine line;
    for (std::string_view argument : arguments.subspan(arguments.empty() ? 0 : 1)) {
        Request request = Request::Wrong;
        if (argument == "on")
            request = Request::On;
        else if (argument == "off")
            request = Request::Off;
        else if (argument == "--help")
            request = Request::Help;
        else if (argument == "--version")
            request = Request::Version;

        if (request == Request::Wrong)
            return {Request::Wrong, "unknown argument '" + std::string(argument) + "'"};
        // --help and --version win over anything else, as GNU programs do.
        if (line.request == Request::Help || line.request == Request::Version)
            continue;
        if (line.request != Request::Window && request != Request::Help && request != Request::Version)
            return {Request::Wrong, "one command at a time: on or off"};
        line.request = request;
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
    case Request::Help:
        runtime::printOutput(std::string(kUsage) + std::string(kHelp));
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
