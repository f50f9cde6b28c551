// The program of the commands and the thermostat, with no GUI toolkit, for
// scripts, services and machines with no screen. Without a command it
// starts the window's program, which is installed beside it (or not, on a
// machine with no screen).

#include "app/CommandLine.h"
#include "app/Project.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

int startWindow()
{
    std::error_code error;
    const std::filesystem::path window =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "ventrolik-window";
    char* const arguments[] = {const_cast<char*>(window.c_str()), nullptr};
    if (!error)
        execv(window.c_str(), arguments);
    const int why = error ? error.value() : errno;
    runtime::printError("ventrolik: cannot start the window (" + window.string() + ": " + std::strerror(why) +
                        "): it comes with the package 'ventrolik'; the commands need no window (ventrolik --help)\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const CommandLine line = parseCommandLine({argv, static_cast<std::size_t>(argc)});
    if (line.request == Request::Window)
        return startWindow();
    return runRequest(line, ventrolikProject());
}
