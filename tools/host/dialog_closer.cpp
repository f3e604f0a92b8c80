#include "dialog_closer.h"

#include <windows.h>

namespace {

const DWORD kRetryMs = 250;  // a dialog that has not closed yet is pressed again

HANDLE gStop;
HANDLE gThread;

BOOL CALLBACK PressOk(HWND window, LPARAM) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[16];
    if (process == GetCurrentProcessId() && GetClassNameA(window, className, sizeof(className)) &&
        lstrcmpA(className, "#32770") == 0)  // the dialog box class
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return TRUE;
}

DWORD WINAPI CloserThread(void *delay) {
    DWORD wait = static_cast<DWORD>(reinterpret_cast<uintptr_t>(delay));
    while (WaitForSingleObject(gStop, wait) == WAIT_TIMEOUT) {
        EnumWindows(PressOk, 0);
        wait = kRetryMs;
    }
    return 0;
}

}  // namespace

void StartDialogCloser(int delayMs) {
    gStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    gThread = CreateThread(nullptr, 0, CloserThread, reinterpret_cast<void *>(static_cast<uintptr_t>(delayMs)), 0,
                           nullptr);
}

void StopDialogCloser() {
    if (!gThread) return;
    SetEvent(gStop);
    WaitForSingleObject(gThread, INFINITE);
    CloseHandle(gThread);
    CloseHandle(gStop);
    gThread = gStop = nullptr;
}
