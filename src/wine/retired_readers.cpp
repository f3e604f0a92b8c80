#include "wine/retired_readers.h"

#include <stdlib.h>

#include "wine/wine_runtime.h"
#include "wine/wine_worker.h"

namespace {

// The most Wine's reader hands out of one decoded buffer at a time.
const uint32_t kWinePieceBytes = 16384;

struct Retired {
    ReaderHold hold;
    uint32_t lastPiece;
    DWORD retiredAt;  // GetTickCount when retired: its budget runs from here
    Retired *next;
};

// The readers waiting for the worker, oldest first, under the guards' lock.
// `idle` is set exactly while no reader waits or is being read on; the
// worker may still be on its way out then.
struct RetiredQueue {
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

// Reads the reader on within budgetMs and closes it with its file; one
// that still keeps a rest is kept, never closed (its Close would abort the
// process), its stream cut off from the file.
void CloseOrKeep(ReaderHold *hold, uint32_t lastPiece, uint32_t budgetMs) {
    if (!SettleReader(hold->reader, &lastPiece, budgetMs)) {
        hold->reader = nullptr;
        CountStuckReader();
    }
    CloseReader(hold);
}

uint32_t BudgetLeft(const Retired &retired) {
    DWORD spent = GetTickCount() - retired.retiredAt;
    return spent < kRetiredSettleMs ? kRetiredSettleMs - spent : 0;
}

// The worker: reads on and closes the queue's readers until none is left.
void SettleRetired(void *) {
    RetiredQueue *queue = TheQueue();
    for (;;) {
        LockGuards();
        Retired *retired = queue->first;
        if (retired) {
            queue->first = retired->next;
            if (!queue->first) queue->last = nullptr;
        } else {
            queue->working = false;
            SetEvent(queue->idle);
        }
        UnlockGuards();
        if (!retired) return;
        CloseOrKeep(&retired->hold, retired->lastPiece, BudgetLeft(*retired));
        free(retired);
    }
}

// False when there is no worker to be had.
bool HandToWorker(const ReaderHold &hold, uint32_t lastPiece) {
    RetiredQueue *queue = TheQueue();
    Retired *retired = queue ? static_cast<Retired *>(malloc(sizeof(Retired))) : nullptr;
    if (!retired) return false;
    *retired = Retired{hold, lastPiece, GetTickCount(), nullptr};
    LockGuards();
    bool queued = queue->working || StartPinnedWorker(SettleRetired, nullptr);
    if (queued) {
        (queue->last ? queue->last->next : queue->first) = retired;
        queue->last = retired;
        queue->working = true;
        ResetEvent(queue->idle);
    }
    UnlockGuards();
    if (!queued) free(retired);
    return queued;
}

}  // namespace

bool MayKeepRest(uint32_t lastPiece) { return lastPiece == kWinePieceBytes && RuntimeIsWine(); }

bool SettleReader(IWMSyncReader *reader, uint32_t *lastPiece, uint32_t budgetMs) {
    const DWORD start = GetTickCount();
    while (MayKeepRest(*lastPiece)) {
        if (GetTickCount() - start >= budgetMs) return false;
        *lastPiece = DropNextPiece(reader);
    }
    return true;
}

void RetireReader(ReaderHold *hold, uint32_t lastPiece) {
    if (!hold->reader || !MayKeepRest(lastPiece)) {
        CloseReader(hold);
        return;
    }
    // The reader is Wine's, which keeps no tie to the apartment it was
    // made in: the worker closes it without COM of its own.
    UndoReaderCom(hold);
    if (HandToWorker(*hold, lastPiece)) {
        hold->reader = nullptr;
        hold->source = NoFileSource();
        return;
    }
    CloseOrKeep(hold, lastPiece, kRetiredSettleMs);
}

void FinishRetiredReaders() {
    if (!RuntimeIsWine()) return;
    RetiredQueue *queue = TheQueue();
    if (queue) WaitForSingleObject(queue->idle, kReleaseWaitMs);
}
