#pragma once

// What the Win32 back end's own files share.

#include <windows.h>

namespace runtime::backend {

// Runs the thread's message loop until WM_QUIT, giving each form window the
// dialog keys (Tab, Enter, Esc) through IsDialogMessage.
int runMessageLoop();

} // namespace runtime::backend
