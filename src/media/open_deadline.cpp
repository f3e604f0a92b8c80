#include "media/open_deadline.h"

#include <stdlib.h>
#include <wchar.h>

#include "media/reader.h"
#include "media/wine_runtime.h"

namespace {

const HRESULT kGivenUp = HRESULT_FROM_WIN32(ERROR_TIMEOUT);

enum : LONG { kRunning, kReturned, kAbandoned };

// One open on a worker. Until the deadline the caller owns it; the worker
// takes it over when the caller gives up.
struct OpenJob {
    IWMSyncReader *reader;
    IStream *stream;  // a reference of the job's own, or null to open by name
    HANDLE returned;  // set once the worker has published its answer
    volatile LONG state;
    HRESULT status;
    HMODULE pin;  // keeps this code loaded while the worker runs
    WCHAR name[kFileNameUnits];
};

volatile LONG gAnyReturned;  // some open in this process came back
volatile LONG gGivenUpNow;   // opens given up that have not come back

// The files given up on, newest last; a spin lock guards them (held for a
// copy only, and free of any API a Windows of old lacks).
enum { kFilesRemembered = 16 };
FileIdentity gGivenUpFiles[kFilesRemembered];
int gGivenUpCount;
volatile LONG gFilesLock;

void LockFiles() {
    while (InterlockedExchange(&gFilesLock, 1)) Sleep(0);
}
void UnlockFiles() { InterlockedExchange(&gFilesLock, 0); }

bool WasGivenUp(const FileIdentity &file) {
    LockFiles();
    bool found = false;
    for (int i = 0; i < gGivenUpCount && i < kFilesRemembered && !found; ++i) found = SameFile(gGivenUpFiles[i], file);
    UnlockFiles();
    return found;
}

void RememberGivenUp(const FileIdentity &file) {
    LockFiles();
    gGivenUpFiles[gGivenUpCount % kFilesRemembered] = file;
    ++gGivenUpCount;
    UnlockFiles();
}

void FreeJob(OpenJob *job) {
    if (job->stream) job->stream->Release();
    CloseHandle(job->returned);
    free(job);
}

DWORD WINAPI RunOpen(void *argument) {
    OpenJob *job = static_cast<OpenJob *>(argument);
    HMODULE pin = job->pin;
    HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HRESULT status = job->stream ? job->reader->OpenStream(job->stream) : job->reader->Open(job->name);
    InterlockedExchange(&gAnyReturned, 1);
    if (InterlockedCompareExchange(&job->state, kReturned, kRunning) == kRunning) {
        job->status = status;
        SetEvent(job->returned);  // the job is the caller's from here on
    } else {
        // Back after all, long after the caller gave up: let go of it here.
        job->reader->Close();
        job->reader->Release();
        FreeJob(job);
        InterlockedDecrement(&gGivenUpNow);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    FreeLibraryAndExitThread(pin, 0);
}

OpenJob *NewJob(IWMSyncReader *reader, IStream *stream, const WCHAR *name) {
    OpenJob *job = static_cast<OpenJob *>(calloc(1, sizeof(OpenJob)));
    if (!job) return nullptr;
    job->returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!job->returned ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&RunOpen), &job->pin)) {
        if (job->returned) CloseHandle(job->returned);
        free(job);
        return nullptr;
    }
    job->reader = reader;
    job->stream = stream;
    if (stream) stream->AddRef();
    if (!stream) wcsncpy(job->name, name, kFileNameUnits - 1);
    job->state = kRunning;
    return job;
}

}  // namespace

OpenOutcome OpenBeforeDeadline(IWMSyncReader *reader, IStream *stream, const WCHAR *name, const FileIdentity *file,
                               HRESULT *status) {
    if (!RuntimeIsWine()) {
        *status = stream ? reader->OpenStream(stream) : reader->Open(name);
        return kOpenReturned;
    }
    *status = kGivenUp;
    if ((file && WasGivenUp(*file)) || InterlockedCompareExchange(&gGivenUpNow, 0, 0) >= kMostOpensGivenUp)
        return kOpenNotAsked;
    OpenJob *job = NewJob(reader, stream, name);
    HANDLE worker = job ? CreateThread(nullptr, 0, RunOpen, job, 0, nullptr) : nullptr;
    if (!worker) {
        if (job) {
            FreeLibrary(job->pin);
            FreeJob(job);
        }
        *status = E_OUTOFMEMORY;
        return kOpenNotAsked;
    }
    CloseHandle(worker);

    DWORD deadline = InterlockedCompareExchange(&gAnyReturned, 0, 0) ? kOpenDeadlineMs : kFirstOpenDeadlineMs;
    if (WaitForSingleObject(job->returned, deadline) != WAIT_OBJECT_0 &&
        InterlockedCompareExchange(&job->state, kAbandoned, kRunning) == kRunning) {
        InterlockedIncrement(&gGivenUpNow);
        if (file) RememberGivenUp(*file);
        return kOpenGivenUp;
    }
    // Back in time, or at the very deadline: then its answer is on its way.
    WaitForSingleObject(job->returned, INFINITE);
    *status = job->status;
    FreeJob(job);
    return kOpenReturned;
}
