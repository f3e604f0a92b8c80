#include "direct_runtime.h"

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
    if (!create) return false;
    for (int reader = 0; reader < 2; ++reader) {
        HRESULT com = CoInitialize(nullptr);
        IWMSyncReader *sync = nullptr;
        if (FAILED(create(nullptr, 1, &sync)) || !sync) {
            if (SUCCEEDED(com)) CoUninitialize();
            return false;
        }
        bool opened = SUCCEEDED(sync->Open(path));
        if (opened) {
            if (reader == 0) Stream(sync);
            else Query(sync);
            sync->Close();
        }
        sync->Release();
        if (SUCCEEDED(com)) CoUninitialize();
        if (!opened) return false;
    }
    return true;
}
