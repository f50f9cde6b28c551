// Start-up and message boxes on the raw Win32 API.

#include "../Backend.h"
#include "Text.h"
#include "Win32.h"

#include <cstdio>
#include <cstdlib>

namespace runtime {

namespace backend {

int withToolkit(const Project&, const std::function<int()>& body)
{
    return body(); // Windows' own, always there
}

namespace {

// A GUI program gets no console of its own. A stream redirected to a file or
// a pipe comes with its standard handle and is left as it is; a stream
// without one is reopened on the console of the command prompt that started
// the program, if one did.
bool reachesUser(DWORD which, std::FILE* stream)
{
    HANDLE handle = GetStdHandle(which);
    if (handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN)
        return true;
    static const bool console = AttachConsole(ATTACH_PARENT_PROCESS) != 0;
    return console && std::freopen("CONOUT$", "w", stream);
}

} // namespace

bool attachConsole(std::FILE* stream)
{
    static const bool output = reachesUser(STD_OUTPUT_HANDLE, stdout);
    static const bool error = reachesUser(STD_ERROR_HANDLE, stderr);
    return stream == stderr ? error : output;
}

void endLoop()
{
    PostQuitMessage(0);
}

MsgBoxResult messageBox(std::string_view prompt, MsgBoxStyle style, std::string_view title)
{
    // Task-modal: every window of the program waits for the answer.
    const UINT type = MB_OK | MB_TASKMODAL | (style == vbCritical ? MB_ICONERROR : 0);
    MessageBoxW(nullptr, widen(prompt).c_str(), widen(title).c_str(), type);
    return vbOK;
}

} // namespace backend

} // namespace runtime
