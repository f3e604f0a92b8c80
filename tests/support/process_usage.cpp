#include "process_usage.h"

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <vector>

namespace {

// One row of the system handle table (SystemHandleInformation, class 16).
struct HandleRow {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};

unsigned long CountOwnHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
    std::vector<BYTE> table(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        NTSTATUS status = NtQuerySystemInformation(static_cast<SYSTEM_INFORMATION_CLASS>(16), table.data(),
                                                   static_cast<ULONG>(table.size()), &needed);
        if (status == 0) break;
        table.assign(table.size() * 4, 0);
    }
    ULONG rows = *reinterpret_cast<const ULONG *>(table.data());
    // Rows start at the first pointer-aligned offset after the count.
    const HandleRow *row = reinterpret_cast<const HandleRow *>(table.data() + sizeof(ULONG_PTR));
    unsigned long own = 0;
    DWORD pid = GetCurrentProcessId();
    for (ULONG at = 0; at < rows && reinterpret_cast<const BYTE *>(row + at + 1) <= table.data() + table.size(); ++at)
        if (row[at].ownerPid == pid) ++own;
    return own;
}

}  // namespace

ProcessUsage MeasureProcessUsage() {
    ProcessUsage usage{};
    usage.handles = CountOwnHandles();
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters),
                             sizeof(counters)))
        usage.privateBytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    return usage;
}

size_t LiveHeapBytes() {
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size()) {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
    }
    size_t live = 0;
    for (DWORD at = 0; at < count && at < heaps.size(); ++at) {
        if (!HeapLock(heaps[at])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[at], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) live += entry.cbData;
        HeapUnlock(heaps[at]);
    }
    return live;
}
