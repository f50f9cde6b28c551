#pragma once

// The services the program gets from its runtime: start-up, message boxes,
// single form instances, library binding (DllFunction.h) and the end.
//
// The services that the forms and port/ call keep the names of the platform
// runtime this one stands in for (ThunRTMain, rtcMsgBox, vbaNew2, vbaEnd,
// DllFunctionCall), so that the forms read like the program they describe.
// The runtime's own inner names say what they do.

#include "Form.h"

#include <functional>
#include <string>
#include <string_view>

namespace runtime {

// What the program hands the runtime at start.
struct Project {
    const char* title;                  // the title of any message box that sets none
    std::function<Form&()> startupForm; // the window that starts the program: vbaNew2<F>
    const char* name = "";              // the program's own name, which its icon stands for
    const char* command = "";           // its name as a command, where the toolkit wants one
    const char* appId = "";             // names its desktop entry and icon on Linux
    const char* iconResource = "";      // its icon among the Qt program's resources
    int iconId = 0;                     // its icon among the Windows executable's resources
};

// The project that the program handed the runtime.
const Project& project();

// Creates the toolkit, loads and shows the start-up form, and runs the event
// loop. Returns the process's exit status.
int ThunRTMain(const Project& project);

// ThunRTMain without the toolkit and the loop: sets the title, then loads and
// shows the start-up form.
void startProject(const Project& project);

// Runs a command given on the command line, with no window and no event
// loop, behind the same error boundary: an error is reported as a handler's
// would be, but on the console, and gives the exit status 1. Returns the
// command's own status otherwise.
int runCommand(const Project& project, const std::function<int()>& command);

// Text for the user of a command, on standard output or standard error. A
// program with no console to write to (a Windows program started from the
// desktop) shows it in a message box instead.
void printOutput(std::string_view text);
void printError(std::string_view text);

const std::string& appTitle();

enum MsgBoxStyle {
    vbOKOnly = 0,
    vbCritical = 16,
};

enum MsgBoxResult {
    vbOK = 1,
};

// A modal message box. Without a title of its own it carries the
// application's title.
MsgBoxResult rtcMsgBox(std::string_view prompt, MsgBoxStyle style = vbOKOnly, std::string_view title = {});

// Ends the program at once: the windows go without further events and the
// process exits with status 0.
[[noreturn]] void vbaEnd();

// The single instance of a form, created at its first use and kept to the
// end of the program.
template <typename F>
F& vbaNew2()
{
    static F* instance = new F;
    return *instance;
}

// The one error boundary for the windows: Form runs every event handler
// through it. An error that escapes the handler is shown in one message box
// that names what failed and why, and the process ends with a non-zero
// status. (runCommand is its counterpart for the command line.)
void runHandler(const std::function<void()>& handler) noexcept;

} // namespace runtime
