#pragma once

// What the command line asks for. Without arguments the program opens its
// window; `on` and `off` switch the fan as the buttons do, with no window,
// for scripts and cron jobs; `thermostat` lets the fan follow a temperature.

#include "thermostat/Setting.h"
#include "runtime/Runtime.h"

#include <span>
#include <string>

enum class Request { Window, On, Off, Thermostat, Help, Version, Wrong };

struct CommandLine {
    Request request = Request::Window;
    std::string problem;             // what is wrong, with Request::Wrong
    thermostat::Parsed thermostat;   // with Request::Thermostat
};

CommandLine parseCommandLine(std::span<char* const> arguments);

// Carries out a request other than Window and returns the exit status: 0 when
// done, 1 when the port library or its driver is missing, 2 for a wrong
// command line.
int runRequest(const CommandLine& line, const runtime::Project& project);

namespace thermostat {
// Runs the thermostat on this system's sensors and port until SIGTERM or
// SIGINT; refuses where there is none.
int run(const Parsed& parsed);
} // namespace thermostat
