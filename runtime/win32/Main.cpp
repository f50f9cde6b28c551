// Start-up and message boxes on the raw Win32 API.

#include "../Backend.h"
#include "Text.h"
#include "Win32.h"

#include <cstdio>
#include <cstdlib>

namespace runtime {

int ThunRTMain(const Project& project)
{
    startProject(project);
    return backend::runMessageLoop();
}

namespace backend {

bool attachConsole()
{
    // A GUI program gets no console of its own. Output redirected to a file
    // or a pipe comes with the standard handles; otherwise the console of
    // the command prompt that started the program, if one did, is borrowed.
    static const bool attached = [] {
        auto usable = [](DWORD which) {
            HANDLE handle = GetStdHandle(which);
            return handle && handle != INVALID_HANDLE_VALUE && GetFileType(handle) != FILE_TYPE_UNKNOWN;
        };
        if (usable(STD_OUTPUT_HANDLE) && usable(STD_ERROR_HANDLE))
            return true;
        if (!AttachConsole(ATTACH_PARENT_PROCESS))
            return false;
        return std::freopen("CONOUT$", "w", stdout) && std::freopen("CONOUT$", "w", stderr);
    }();
    return attached;
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

// What libstdc++ runs when an exception escapes everything: ours never do,
// as the runtime's error boundary catches them. Its own handler prints the
// exception's demangled type name, and the demangler is a third of the
// executable; this one ends the process at once.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
} // namespace __gnu_cxx
