// What any program of the runtime's needs, with a window or without: the
// project, a command's error boundary, text for the user, message boxes
// and the end. (Startup.cpp starts the windows.)

#include "Runtime.h"

#include "Backend.h"
#include "Process.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace runtime {

namespace {

Project& current()
{
    static Project value{.title = "", .startupForm = {}};
    return value;
}

std::string& title()
{
    static std::string value;
    return value;
}

void print(std::FILE* stream, std::string_view text)
{
    if (backend::attachConsole(stream)) {
        std::fwrite(text.data(), 1, text.size(), stream);
        std::fflush(stream);
    } else {
        rtcMsgBox(text, stream == stderr ? vbCritical : vbOKOnly);
    }
}

} // namespace

void remember(const Project& project)
{
    current() = project;
    title() = project.title;
}

void endProcess(int status)
{
    // The operating system takes the windows down with the process. Nothing
    // may run after this point, so no destructors or exit handlers do.
    std::fflush(nullptr);
    std::_Exit(status);
}

std::string errorLine(const std::string& what)
{
    return appTitle() + ": run-time error: " + what + "\n";
}

const std::string& appTitle()
{
    return title();
}

const Project& project()
{
    return current();
}

int runCommand(const Project& project, const std::function<int()>& command)
{
    remember(project);
    try {
        return command();
    } catch (const std::exception& error) {
        printError(errorLine(error.what()));
    } catch (...) {
        printError(errorLine("unknown error"));
    }
    return 1;
}

void printOutput(std::string_view text)
{
    print(stdout, text);
}

void printError(std::string_view text)
{
    print(stderr, text);
}

MsgBoxResult rtcMsgBox(std::string_view prompt, MsgBoxStyle style, std::string_view title)
{
    return backend::messageBox(prompt, style, title.empty() ? appTitle() : title);
}

void vbaEnd()
{
    endProcess(0);
}

} // namespace runtime
