// The message loop on the raw Win32 API, and work put off until an event is
// over.

#include "../Backend.h"
#include "Win32.h"

#include <utility>
#include <vector>

namespace runtime::backend {

namespace {

bool isFormWindow(HWND window)
{
    wchar_t name[32] = {};
    return GetClassNameW(window, name, 32) && lstrcmpW(name, kFormClass) == 0;
}

std::vector<void (*)()> pendingTasks;

// A thread timer's callback runs from whichever loop is running, a modal
// box's included.
void CALLBACK runPendingTasks(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    for (auto task : std::exchange(pendingTasks, {}))
        task();
}

} // namespace

void afterEvent(void (*task)())
{
    pendingTasks.push_back(task);
    SetTimer(nullptr, 0, 0, runPendingTasks);
}

// The thread's message loop until WM_QUIT, giving each form window the
// dialog keys (Tab, Enter, Esc) through IsDialogMessage.
int runLoop()
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
