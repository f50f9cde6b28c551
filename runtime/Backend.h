#pragma once

// What each back end (runtime/<backend>/) provides to the portable runtime.
// Nothing outside runtime/ includes this file.

#include "Form.h"
#include "Runtime.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace runtime::backend {

// A form's real window. Destroying it closes the window.
class Window {
public:
    virtual ~Window() = default;
    // Shows the window, brings it to the front, and puts the focus on the
    // control that the description names the first time it is shown.
    virtual void show() = 0;
    virtual void hide() = 0;
};

// Runs `body` with the toolkit set up, and returns what it returns.
int withToolkit(const Project& project, const std::function<int()>& body);
// Runs the event loop until endLoop; returns the process's exit status.
int runLoop();

// Runs `task` once the event being handled now is over, from the event loop
// (or from a modal box's). Each task given runs once, in the order given.
void afterEvent(void (*task)());

// Builds a hidden window as the model describes it at the screen's density,
// and reports the user's actions to it.
std::unique_ptr<Window> createWindow(WindowModel& model);

// Whether `stream` (stdout or stderr) reaches the user: a terminal, a
// console, a file or a pipe. Attaches to the parent's console if needed.
bool attachConsole(std::FILE* stream);

// Leaves the event loop: no form is loaded any more.
void endLoop();

MsgBoxResult messageBox(std::string_view prompt, MsgBoxStyle style, std::string_view title);

// Returns nullptr and fills `reason` when the library or export can't be had.
// prepareLibrary starts what loadLibrary would check first, where it can.
void prepareLibrary(const char* file);
void* loadLibrary(const char* file, std::string& reason);
void* findSymbol(void* library, const char* name, std::string& reason);

} // namespace runtime::backend
