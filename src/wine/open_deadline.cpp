#include "wine/open_deadline.h"

#include <stdlib.h>
#include <wchar.h>

#include "media/reader.h"
#include "wine/wine_runtime.h"
#include "wine/wine_worker.h"

namespace {

const HRESULT kGivenUp = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

enum : LONG { kRunning, kReturned, kAbandoned };

// One open on a worker. Until the deadline the caller owns it; the worker
// takes it over when the caller gives up.
struct OpenJob {
    IWMSyncReader *reader;
    IStream *stream;  // a reference of the job's own, or null to open by name
    const ReaderVisit *visit;
    HANDLE returned;  // set once the worker has published its answer
    volatile LONG state;
    HRESULT status;
    WCHAR name[kFileNameUnits];
};

// A worker thread runs one open at a time and then waits a while for the
// next: a thread made for each open would cost a good file's open more
// than the bench allows.
struct Worker {
    HANDLE wake;  // set when `job` holds its next open
    OpenJob *volatile job;
};

const DWORD kWorkerIdleMs = 30000;

volatile LONG gAnyReturned;  // some open in this process came back
Worker *volatile gIdle;      // the worker waiting for an open, or null

// The files given up on, newest last, under the guards' lock.
enum { kFilesRemembered = 16 };
FileIdentity gGivenUpFiles[kFilesRemembered];
volatile LONG gGivenUpCount;

// Asks the file system only once some file was given up: a good file's
// open pays nothing for this.
bool WasGivenUp(const FileSource *source) {
    FileIdentity file;
    if (!source || !InterlockedCompareExchange(&gGivenUpCount, 0, 0) || !IdentifyFileSource(*source, &file)) return false;
    LockGuards();
    bool found = false;
    for (LONG i = 0; i < gGivenUpCount && i < kFilesRemembered && !found; ++i) found = SameFile(gGivenUpFiles[i], file);
    UnlockGuards();
    return found;
}

void RememberGivenUp(const FileSource *source) {
    FileIdentity file;
    if (!source || !IdentifyFileSource(*source, &file)) return;
    LockGuards();
    gGivenUpFiles[gGivenUpCount % kFilesRemembered] = file;
    InterlockedIncrement(&gGivenUpCount);
    UnlockGuards();
}

void FreeJob(OpenJob *job) {
    if (job->stream) job->stream->Release();
    CloseHandle(job->returned);
    free(job);
}

HRESULT Open(IWMSyncReader *reader, IStream *stream, const WCHAR *name) {
    return stream ? reader->OpenStream(stream) : reader->Open(name);
}

void Visit(const ReaderVisit *visit, IWMSyncReader *reader, HRESULT status) {
    if (visit && SUCCEEDED(status)) visit->run(visit->context, reader);
}

// Runs the open. False when it came back only after the caller gave up on
// it: what it opened is let go here, and this worker is done.
bool RunJob(OpenJob *job) {
    HRESULT status = Open(job->reader, job->stream, job->name);
    InterlockedExchange(&gAnyReturned, 1);
    if (InterlockedCompareExchange(&job->state, kReturned, kRunning) == kRunning) {
        job->status = status;
        Visit(job->visit, job->reader, status);  // the caller waits for it now
        SetEvent(job->returned);                 // the job is the caller's from here on
        return true;
    }
    job->reader->Close();
    job->reader->Release();
    FreeJob(job);
    UncountStuckReader();
    return false;
}

// Waits to be handed the next open; false when none came in time, or
// another worker already waits.
bool AwaitNextJob(Worker *self) {
    self->job = nullptr;
    if (InterlockedCompareExchangePointer(reinterpret_cast<void *volatile *>(&gIdle), self, nullptr)) return false;
    if (WaitForSingleObject(self->wake, kWorkerIdleMs) == WAIT_OBJECT_0) return true;
    if (InterlockedCompareExchangePointer(reinterpret_cast<void *volatile *>(&gIdle), nullptr, self) == self)
        return false;
    WaitForSingleObject(self->wake, INFINITE);  // a caller took this worker just now: its open is on the way
    return true;
}

void RunOpens(void *argument) {
    Worker *self = static_cast<Worker *>(argument);
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    while (RunJob(self->job) && AwaitNextJob(self)) {
    }
    CloseHandle(self->wake);
    free(self);
    if (SUCCEEDED(com)) CoUninitialize();
}

// Hands the job to the waiting worker, or to a new one; false when no
// worker can be had.
bool StartJob(OpenJob *job) {
    Worker *idle =
        static_cast<Worker *>(InterlockedExchangePointer(reinterpret_cast<void *volatile *>(&gIdle), nullptr));
    if (idle) {
        idle->job = job;
        SetEvent(idle->wake);
        return true;
    }
    Worker *worker = static_cast<Worker *>(calloc(1, sizeof(Worker)));
    if (!worker) return false;
    worker->job = job;
    worker->wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (worker->wake && StartPinnedWorker(RunOpens, worker)) return true;
    if (worker->wake) CloseHandle(worker->wake);
    free(worker);
    return false;
}

OpenJob *NewJob(IWMSyncReader *reader, IStream *stream, const WCHAR *name, const ReaderVisit *visit) {
    OpenJob *job = static_cast<OpenJob *>(calloc(1, sizeof(OpenJob)));
    if (!job) return nullptr;
    job->returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!job->returned) {
        free(job);
        return nullptr;
    }
    job->reader = reader;
    job->stream = stream;
    job->visit = visit;
    if (stream) stream->AddRef();
    if (!stream) wcsncpy(job->name, name, kFileNameUnits - 1);
    job->state = kRunning;
    return job;
}

}  // namespace

OpenOutcome OpenBeforeDeadline(IWMSyncReader *reader, const FileSource *file, const WCHAR *name, bool vouched,
                               const ReaderVisit *visit, HRESULT *status) {
    IStream *stream = file ? StreamOf(*file) : nullptr;
    if (!RuntimeIsWine()) {
        *status = Open(reader, stream, name);
        Visit(visit, reader, *status);
        return kOpenReturned;
    }
    *status = kGivenUp;
    LONG stuck = StuckReaders();
    if (stuck >= (vouched ? kMostOpensOutstanding : kMostOpensGivenUp) || WasGivenUp(file))
        return kOpenNotAsked;
    OpenJob *job = NewJob(reader, stream, name, visit);
    if (!job || !StartJob(job)) {
        if (job) FreeJob(job);
        *status = E_OUTOFMEMORY;
        return kOpenNotAsked;
    }

    DWORD deadline = InterlockedCompareExchange(&gAnyReturned, 0, 0) ? kOpenDeadlineMs : kFirstOpenDeadlineMs;
    if (WaitForSingleObject(job->returned, deadline) != WAIT_OBJECT_0 &&
        InterlockedCompareExchange(&job->state, kAbandoned, kRunning) == kRunning) {
        CountStuckReader();
        RememberGivenUp(file);
        return kOpenGivenUp;
    }
    // Back in time, or at the very deadline: then its answer is on its way.
    WaitForSingleObject(job->returned, INFINITE);
    *status = job->status;
    FreeJob(job);
    return kOpenReturned;
}
