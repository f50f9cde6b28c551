// Starting the windows: the toolkit, the start-up form and the event loop,
// and the one error boundary for their handlers.

#include "Runtime.h"

#include "Backend.h"
#include "Process.h"

#include <cstdio>
#include <exception>

namespace runtime {

namespace {

[[noreturn]] void reportAndEnd(const std::string& what)
{
    std::fputs(errorLine(what).c_str(), stderr);
    rtcMsgBox("Run-time error:\n\n" + what, vbCritical);
    endProcess(1);
}

} // namespace

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
