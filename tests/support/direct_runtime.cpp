#include "direct_runtime.h"

#include <shlwapi.h>
#include <stdlib.h>

CreateSyncReaderFn RuntimeFactory() {
    static CreateSyncReaderFn create = reinterpret_cast<CreateSyncReaderFn>(
        reinterpret_cast<void *>(GetProcAddress(LoadLibraryA("wmvcore.dll"), "WMCreateSyncReader")));
    return create;
}

namespace {

// What the plug-in asks to find the audio output and its format.
void OutputFormat(IWMSyncReader *sync) {
    DWORD outputs = 0;
    sync->GetOutputCount(&outputs);
    IWMOutputMediaProps *props = nullptr;
    if (SUCCEEDED(sync->GetOutputProps(0, &props))) {
        DWORD size = 0;
        props->GetMediaType(nullptr, &size);
        WM_MEDIA_TYPE *type = static_cast<WM_MEDIA_TYPE *>(malloc(size ? size : 1));
        if (type && size) props->GetMediaType(type, &size);
        free(type);
        props->Release();
    }
}

void Stream(IWMSyncReader *sync) {
    OutputFormat(sync);
    for (int sample = 0; sample < 5; ++sample) {
        if (sample == 4) sync->SetRange(1000 * 10000ULL, 0);
        INSSBuffer *buffer = nullptr;
        QWORD time, duration;
        DWORD flags;
        if (SUCCEEDED(sync->GetNextSample(0, &buffer, &time, &duration, &flags, nullptr, nullptr)))
            buffer->Release();
    }
}

void Query(IWMSyncReader *sync) {
    IWMHeaderInfo *header = nullptr;
    if (SUCCEEDED(sync->QueryInterface(__uuidof(IWMHeaderInfo), reinterpret_cast<void **>(&header)))) {
        WORD stream = 0, count = 0;
        header->GetAttributeCount(stream, &count);
        header->Release();
    }
    OutputFormat(sync);
}

// One reader made, opened, given the calls and closed as the plug-in does
// it. Over a stream, not by the name: the runtime reads a file it opened
// itself another way, and keeps what that way keeps. False when the stream,
// the reader or its open failed.
bool RunReader(CreateSyncReaderFn create, const wchar_t *path, void (*calls)(IWMSyncReader *)) {
    IStream *file = nullptr;
    if (FAILED(SHCreateStreamOnFileEx(path, STGM_READ | STGM_SHARE_DENY_NONE, FILE_ATTRIBUTE_NORMAL, FALSE, nullptr,
                                      &file)))
        return false;
    HRESULT com = CoInitialize(nullptr);
    IWMSyncReader *sync = nullptr;
    bool made = SUCCEEDED(create(nullptr, WMT_RIGHT_PLAYBACK, &sync)) && sync;
    bool opened = made && SUCCEEDED(sync->OpenStream(file));
    if (opened) {
        calls(sync);
        sync->Close();
    }
    if (made) sync->Release();
    file->Release();  // after the reader: a runtime reads the stream until its Close returns
    if (SUCCEEDED(com)) CoUninitialize();
    return opened;
}

}  // namespace

bool DecodeDirectly(const wchar_t *path, uint64_t *bytes) {
    IWMSyncReader *reader = nullptr;
    if (!RuntimeFactory() || FAILED(RuntimeFactory()(nullptr, WMT_RIGHT_PLAYBACK, &reader))) return false;
    if (FAILED(reader->Open(path))) {
        reader->Release();
        return false;
    }
    *bytes = 0;
    for (;;) {
        INSSBuffer *sample = nullptr;
        QWORD time = 0, duration = 0;
        DWORD flags = 0, output = 0;
        if (FAILED(reader->GetNextSample(0, &sample, &time, &duration, &flags, &output, nullptr))) break;
        BYTE *data = nullptr;
        DWORD length = 0;
        if (SUCCEEDED(sample->GetBufferAndLength(&data, &length))) *bytes += length;
        sample->Release();
    }
    reader->Close();
    reader->Release();
    return true;
}

bool RunRuntimeCycle(const wchar_t *path) {
    CreateSyncReaderFn create = RuntimeFactory();
    return create && RunReader(create, path, Stream) && RunReader(create, path, Query);
}
