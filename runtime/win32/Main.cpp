// Start-up and message boxes on the raw Win32 API.

#include "../Backend.h"
#include "Text.h"
#include "Win32.h"

namespace runtime {

int ThunRTMain(const Project& project)
{
    startProject(project);
    return backend::runMessageLoop();
}

namespace backend {

MsgBoxResult messageBox(std::string_view prompt, MsgBoxStyle style, std::string_view title)
{
    // Task-modal: every window of the program waits for the answer.
    const UINT type = MB_OK | MB_TASKMODAL | (style == vbCritical ? MB_ICONERROR : 0);
    MessageBoxW(nullptr, widen(prompt).c_str(), widen(title).c_str(), type);
    return vbOK;
}

} // namespace backend

} // namespace runtime
