#include "Runtime.h"

#include "Backend.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace runtime {

namespace {

std::string& title()
{
    static std::string value;
    return value;
}

[[noreturn]] void endProcess(int status)
{
    // The operating system takes the windows down with the process. Nothing
    // may run after this point, so no destructors or exit handlers do.
    std::fflush(nullptr);
    std::_Exit(status);
}

[[noreturn]] void reportAndEnd(const std::string& what)
{
    std::fprintf(stderr, "%s: run-time error: %s\n", appTitle().c_str(), what.c_str());
    rtcMsgBox("Run-time error:\n\n" + what, vbCritical);
    endProcess(1);
}

} // namespace

const std::string& appTitle()
{
    return title();
}

void startProject(const Project& project)
{
    title() = project.title;
    raiseEvent([&] { project.startupForm().Show(); });
}

MsgBoxResult rtcMsgBox(std::string_view prompt, MsgBoxStyle style, std::string_view title)
{
    return backend::messageBox(prompt, style, title.empty() ? appTitle() : title);
}

void vbaEnd()
{
    endProcess(0);
}

void raiseEvent(const std::function<void()>& handler) noexcept
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
