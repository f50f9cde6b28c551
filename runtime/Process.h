#pragma once

// The runtime's own helpers, shared by the part every program has
// (Runtime.cpp) and the windows' start-up (Startup.cpp). Nothing outside
// runtime/ includes this file.

#include "Runtime.h"

#include <string>

namespace runtime {

// Keeps what the program handed the runtime, to the end.
void remember(const Project& project);

// Ends the process at once with `status`, after flushing its streams.
[[noreturn]] void endProcess(int status);

// "Project1: run-time error: WHAT", a line.
std::string errorLine(const std::string& what);

} // namespace runtime
