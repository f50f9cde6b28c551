// The message loop on the raw Win32 API, and work put off until an event is
// over.

#include "../Backend.h"
#include "Win32.h"

#include <utility>

namespace runtime::backend {

namespace {

bool isFormWindow(HWND window)
{
    wchar_t name[32] = {};
    return GetClassNameW(window, name, 32) && lstrcmpW(name, kFormClass) == 0;
}

void (*pendingTask)() = nullptr;

// A thread timer's callback runs from whichever loop is running, a modal
// box's included.
void CALLBACK runPendingTask(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (auto task = std::exchange(pendingTask, nullptr))
        task();
}

} // namespace

void afterEvent(void (*task)())
{
    pendingTask = task;
    SetTimer(nullptr, 0, 0, runPendingTask);
}

int runMessageLoop()
{
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        HWND root = GetAncestor(message.hwnd, GA_ROOT);
        if (root && isFormWindow(root) && IsDialogMessageW(root, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace runtime::backend
