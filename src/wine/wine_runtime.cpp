#include "wine/wine_runtime.h"

#include <string.h>
#include <windows.h>

bool RuntimeIsWine() {
    // ntdll is in every process, so the answer never changes; a race to
    // compute it computes the same answer twice.
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

bool IsWineBuiltin(const void *base) {
    static const char kSignature[] = "Wine builtin DLL";
    return base && memcmp(static_cast<const char *>(base) + sizeof(IMAGE_DOS_HEADER), kSignature,
                          sizeof(kSignature) - 1) == 0;
}

RuntimeAsk AskOfWine(const AsfHeld &held) {
    if (held.content == kAsfSilent || held.protectedContent) return kAskNothing;
    return held.content == kAsfSound ? kAskRuntimeVouched : kAskRuntime;
}
