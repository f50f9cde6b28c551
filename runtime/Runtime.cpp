#include "Runtime.h"

#include "Backend.h"

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

// What the program handed the runtime, kept to the end.
void remember(const Project& project)
{
    current() = project;
    title() = project.title;
}

[[noreturn]] void endProcess(int status)
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

[[noreturn]] void reportAndEnd(const std::string& what)
{
    std::fputs(errorLine(what).c_str(), stderr);
    rtcMsgBox("Run-time error:\n\n" + what, vbCritical);
    endProcess(1);
}

} // namespace

const std::string& appTitle()
{
    return title();
}

const Project& project()
{
    return current();
}

void startProject(const Project& project)
{
    remember(project);
    runHandler([&] { project.startupForm().Show(); });
}

int ThunRTMain(const Project& project)
{
    return backend::withToolkit(project, [&] {
        startProject(project);
        const int status = Form::anyLoaded() ? backend::runLoop() : 0;
        Form::destroyClosedWindows(); // while the toolkit is still there
        return status;
    });
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

namespace {

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

void runHandler(const std::function<void()>& handler) noexcept
{
    try {
        handler();
    } catch (const std::exception& error) {
        reportAndEnd(error.what());
    } catch (...) {
        reportAndEnd("unknown error");
    }
}

} // namespace runtime
