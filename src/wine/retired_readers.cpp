#include "wine/retired_readers.h"

#include <stdlib.h>

#include "wine/wine_runtime.h"

namespace {

// The most Wine's reader hands out of one decoded buffer at a time.
const uint32_t kWinePieceBytes = 16384;

struct Retired {
    ReaderHold hold;
    uint32_t lastPiece;
    Retired *next;
};

// The readers waiting for the worker, oldest first. `idle` is set exactly
// while none waits and no worker runs; both change only under the lock.
struct RetiredQueue {
    CRITICAL_SECTION lock;
    Retired *first;
    Retired *last;
    bool working;
    HANDLE idle;
};

// Made at the first retirement, never while the library loads, and kept
// for the process's life; null when it could not be made.
RetiredQueue *TheQueue() {
    static RetiredQueue *const queue = [] {
        RetiredQueue *made = static_cast<RetiredQueue *>(calloc(1, sizeof(RetiredQueue)));
        if (!made) return made;
        made->idle = CreateEventW(nullptr, TRUE, TRUE, nullptr);
        if (!made->idle) {
            free(made);
            return static_cast<RetiredQueue *>(nullptr);
        }
        InitializeCriticalSection(&made->lock);
        return made;
    }();
    return queue;
}

// Takes one piece from the reader and gives it back: its length, or 0
// when there was none.
uint32_t DropNextPiece(IWMSyncReader *reader) {
    INSSBuffer *sample = nullptr;
    QWORD time, duration;
    DWORD flags, output;
    if (FAILED(reader->GetNextSample(0, &sample, &time, &duration, &flags, &output, nullptr)) || !sample) return 0;
    BYTE *bytes = nullptr;
    DWORD length = 0;
    if (FAILED(sample->GetBufferAndLength(&bytes, &length))) length = 0;
    sample->Release();
    return length;
}

// The worker: settles and closes the queue's readers until none is left,
// then ends, giving back the reference that kept the library loaded for it
// (the player may unload it as soon as the module's Release returns).
DWORD WINAPI SettleRetired(void *library) {
    RetiredQueue *queue = TheQueue();
    for (;;) {
        EnterCriticalSection(&queue->lock);
        Retired *retired = queue->first;
        if (retired) {
            queue->first = retired->next;
            if (!queue->first) queue->last = nullptr;
        } else {
            queue->working = false;
            SetEvent(queue->idle);
        }
        LeaveCriticalSection(&queue->lock);
        if (!retired) break;
        SettleReader(retired->hold.reader, &retired->lastPiece, INFINITE);
        CloseReader(&retired->hold);
        free(retired);
    }
    FreeLibraryAndExitThread(static_cast<HMODULE>(library), 0);
    return 0;
}

// Called under the queue's lock.
bool StartWorker(RetiredQueue *queue) {
    HMODULE library;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&SettleRetired),
                            &library))
        return false;
    HANDLE thread = CreateThread(nullptr, 0, SettleRetired, library, 0, nullptr);
    if (!thread) {
        FreeLibrary(library);
        return false;
    }
    CloseHandle(thread);
    queue->working = true;
    return true;
}

// False when there is no worker to be had.
bool HandToWorker(const ReaderHold &hold, uint32_t lastPiece) {
    RetiredQueue *queue = TheQueue();
    Retired *retired = queue ? static_cast<Retired *>(malloc(sizeof(Retired))) : nullptr;
    if (!retired) return false;
    *retired = Retired{hold, lastPiece, nullptr};
    EnterCriticalSection(&queue->lock);
    bool queued = queue->working || StartWorker(queue);
    if (queued) {
        (queue->last ? queue->last->next : queue->first) = retired;
        queue->last = retired;
        ResetEvent(queue->idle);
    }
    LeaveCriticalSection(&queue->lock);
    if (!queued) free(retired);
    return queued;
}

}  // namespace

bool MayKeepRest(uint32_t lastPiece) { return lastPiece == kWinePieceBytes && RuntimeIsWine(); }

bool SettleReader(IWMSyncReader *reader, uint32_t *lastPiece, uint32_t budgetMs) {
    const DWORD start = GetTickCount();
    while (MayKeepRest(*lastPiece)) {
        if (budgetMs != INFINITE && GetTickCount() - start >= budgetMs) return false;
        *lastPiece = DropNextPiece(reader);
    }
    return true;
}

void RetireReader(ReaderHold *hold, uint32_t lastPiece) {
    if (hold->reader && MayKeepRest(lastPiece)) {
        // The reader is Wine's, which keeps no tie to the apartment it was
        // made in: the worker closes it without COM of its own.
        UndoReaderCom(hold);
        if (HandToWorker(*hold, lastPiece)) {
            hold->reader = nullptr;
            hold->source = NoFileSource();
            return;
        }
        // Without a worker the player waits.
        SettleReader(hold->reader, &lastPiece, INFINITE);
    }
    CloseReader(hold);
}

void FinishRetiredReaders() {
    if (!RuntimeIsWine()) return;
    RetiredQueue *queue = TheQueue();
    if (queue) WaitForSingleObject(queue->idle, INFINITE);
}
