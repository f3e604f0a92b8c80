#include "wine/wine_worker.h"

#include <stdlib.h>

namespace {

struct PinnedWork {
    void (*run)(void *argument);
    void *argument;
    HMODULE pin;  // this DLL, counted once more for the thread
};

volatile LONG gStuckReaders;

DWORD WINAPI RunPinned(void *work) {
    PinnedWork done = *static_cast<PinnedWork *>(work);
    free(work);
    done.run(done.argument);
    FreeLibraryAndExitThread(done.pin, 0);
}

// Made at the first lock, never while the library loads, and kept for the
// process's life.
CRITICAL_SECTION *GuardsLock() {
    static CRITICAL_SECTION *const lock = [] {
        static CRITICAL_SECTION made;
        InitializeCriticalSection(&made);
        return &made;
    }();
    return lock;
}

}  // namespace

bool StartPinnedWorker(void (*run)(void *argument), void *argument) {
    PinnedWork *work = static_cast<PinnedWork *>(malloc(sizeof(PinnedWork)));
    if (!work) return false;
    *work = PinnedWork{run, argument, nullptr};
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RunPinned),
                           &work->pin)) {
        HMODULE pin = work->pin;
        HANDLE thread = CreateThread(nullptr, 0, RunPinned, work, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
            return true;
        }
        FreeLibrary(pin);
    }
    free(work);
    return false;
}

void LockGuards() { EnterCriticalSection(GuardsLock()); }
void UnlockGuards() { LeaveCriticalSection(GuardsLock()); }

void CountStuckReader() { InterlockedIncrement(&gStuckReaders); }
void UncountStuckReader() { InterlockedDecrement(&gStuckReaders); }
LONG StuckReaders() { return InterlockedCompareExchange(&gStuckReaders, 0, 0); }
