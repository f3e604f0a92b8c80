// The wrapper reader: every IWMSyncReader call goes to Wine's reader as it
// came; Open, OpenStream and Close also keep the header view's attributes.
#include "bridge_reader.h"

#include <stddef.h>

#include <new>

LONG g_liveReaders;

const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidSyncReader = {0x9397F121, 0x7705, 0x4DC9, {0xB0, 0x49, 0x98, 0xB6, 0x98, 0x18, 0x84, 0x14}};
const IID kIidHeaderInfo = {0x96406BDA, 0x2B2B, 0x11D3, {0xB3, 0x6B, 0x00, 0xC0, 0x4F, 0x61, 0x08, 0xFF}};

namespace {

BridgeReader *FromReader(IWMSyncReader *face) {
    return reinterpret_cast<BridgeReader *>(reinterpret_cast<char *>(face) - offsetof(BridgeReader, readerFace));
}

IWMSyncReader *Inner(IWMSyncReader *face) { return FromReader(face)->inner; }

HRESULT STDMETHODCALLTYPE QueryInterface(IWMSyncReader *face, REFIID iid, void **out) {
    if (!out) return E_POINTER;
    BridgeReader *reader = FromReader(face);
    if (IsEqualGUID(iid, kIidUnknown) || IsEqualGUID(iid, kIidSyncReader)) {
        *out = &reader->readerFace;
    } else if (IsEqualGUID(iid, kIidHeaderInfo)) {
        *out = &reader->headerFace;
    } else {
        // Any other view (profile, language list, ...) is Wine's reader's
        // own; it keeps Wine's reader alive by itself.
        return IWMSyncReader_QueryInterface(reader->inner, iid, out);
    }
    InterlockedIncrement(&reader->refs);
    return S_OK;
}

ULONG STDMETHODCALLTYPE AddRef(IWMSyncReader *face) {
    return static_cast<ULONG>(InterlockedIncrement(&FromReader(face)->refs));
}

ULONG STDMETHODCALLTYPE Release(IWMSyncReader *face) {
    BridgeReader *reader = FromReader(face);
    LONG left = InterlockedDecrement(&reader->refs);
    if (left == 0) {
        if (reader->innerHeader) IWMHeaderInfo_Release(reader->innerHeader);
        IWMSyncReader_Release(reader->inner);
        delete reader;
        InterlockedDecrement(&g_liveReaders);
    }
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE Open(IWMSyncReader *face, const WCHAR *fileName) {
    BridgeReader *reader = FromReader(face);
    HRESULT status = IWMSyncReader_Open(reader->inner, fileName);
    if (SUCCEEDED(status)) LoadAttributesFromFile(reader, fileName);
    return status;
}

HRESULT STDMETHODCALLTYPE Close(IWMSyncReader *face) {
    BridgeReader *reader = FromReader(face);
    reader->opened = false;
    reader->attributes.clear();
    return IWMSyncReader_Close(reader->inner);
}

HRESULT STDMETHODCALLTYPE SetRange(IWMSyncReader *face, QWORD start, LONGLONG duration) {
    return IWMSyncReader_SetRange(Inner(face), start, duration);
}

HRESULT STDMETHODCALLTYPE SetRangeByFrame(IWMSyncReader *face, WORD stream, QWORD frame, LONGLONG frames) {
    return IWMSyncReader_SetRangeByFrame(Inner(face), stream, frame, frames);
}

HRESULT STDMETHODCALLTYPE GetNextSample(IWMSyncReader *face, WORD stream, INSSBuffer **sample, QWORD *time,
                                        QWORD *duration, DWORD *flags, DWORD *output, WORD *sampleStream) {
    return IWMSyncReader_GetNextSample(Inner(face), stream, sample, time, duration, flags, output, sampleStream);
}

HRESULT STDMETHODCALLTYPE SetStreamsSelected(IWMSyncReader *face, WORD count, WORD *streams,
                                             WMT_STREAM_SELECTION *selections) {
    return IWMSyncReader_SetStreamsSelected(Inner(face), count, streams, selections);
}

HRESULT STDMETHODCALLTYPE GetStreamSelected(IWMSyncReader *face, WORD stream, WMT_STREAM_SELECTION *selection) {
    return IWMSyncReader_GetStreamSelected(Inner(face), stream, selection);
}

HRESULT STDMETHODCALLTYPE SetReadStreamSamples(IWMSyncReader *face, WORD stream, WINBOOL compressed) {
    return IWMSyncReader_SetReadStreamSamples(Inner(face), stream, compressed);
}

HRESULT STDMETHODCALLTYPE GetReadStreamSamples(IWMSyncReader *face, WORD stream, WINBOOL *compressed) {
    return IWMSyncReader_GetReadStreamSamples(Inner(face), stream, compressed);
}

HRESULT STDMETHODCALLTYPE GetOutputSetting(IWMSyncReader *face, DWORD output, LPCWSTR name,
                                           WMT_ATTR_DATATYPE *type, BYTE *value, WORD *length) {
    return IWMSyncReader_GetOutputSetting(Inner(face), output, name, type, value, length);
}

HRESULT STDMETHODCALLTYPE SetOutputSetting(IWMSyncReader *face, DWORD output, LPCWSTR name,
                                           WMT_ATTR_DATATYPE type, const BYTE *value, WORD length) {
    return IWMSyncReader_SetOutputSetting(Inner(face), output, name, type, value, length);
}

HRESULT STDMETHODCALLTYPE GetOutputCount(IWMSyncReader *face, DWORD *count) {
    return IWMSyncReader_GetOutputCount(Inner(face), count);
}

HRESULT STDMETHODCALLTYPE GetOutputProps(IWMSyncReader *face, DWORD output, IWMOutputMediaProps **props) {
    return IWMSyncReader_GetOutputProps(Inner(face), output, props);
}

HRESULT STDMETHODCALLTYPE SetOutputProps(IWMSyncReader *face, DWORD output, IWMOutputMediaProps *props) {
    return IWMSyncReader_SetOutputProps(Inner(face), output, props);
}

HRESULT STDMETHODCALLTYPE GetOutputFormatCount(IWMSyncReader *face, DWORD output, DWORD *count) {
    return IWMSyncReader_GetOutputFormatCount(Inner(face), output, count);
}

HRESULT STDMETHODCALLTYPE GetOutputFormat(IWMSyncReader *face, DWORD output, DWORD format,
                                          IWMOutputMediaProps **props) {
    return IWMSyncReader_GetOutputFormat(Inner(face), output, format, props);
}

HRESULT STDMETHODCALLTYPE GetOutputNumberForStream(IWMSyncReader *face, WORD stream, DWORD *output) {
    return IWMSyncReader_GetOutputNumberForStream(Inner(face), stream, output);
}

HRESULT STDMETHODCALLTYPE GetStreamNumberForOutput(IWMSyncReader *face, DWORD output, WORD *stream) {
    return IWMSyncReader_GetStreamNumberForOutput(Inner(face), output, stream);
}

HRESULT STDMETHODCALLTYPE GetMaxOutputSampleSize(IWMSyncReader *face, DWORD output, DWORD *size) {
    return IWMSyncReader_GetMaxOutputSampleSize(Inner(face), output, size);
}

HRESULT STDMETHODCALLTYPE GetMaxStreamSampleSize(IWMSyncReader *face, WORD stream, DWORD *size) {
    return IWMSyncReader_GetMaxStreamSampleSize(Inner(face), stream, size);
}

HRESULT STDMETHODCALLTYPE OpenStream(IWMSyncReader *face, IStream *stream) {
    BridgeReader *reader = FromReader(face);
    HRESULT status = IWMSyncReader_OpenStream(reader->inner, stream);
    if (SUCCEEDED(status)) LoadAttributesFromStream(reader, stream);
    return status;
}

const IWMSyncReaderVtbl kReaderTable = {
    QueryInterface,
    AddRef,
    Release,
    Open,
    Close,
    SetRange,
    SetRangeByFrame,
    GetNextSample,
    SetStreamsSelected,
    GetStreamSelected,
    SetReadStreamSamples,
    GetReadStreamSamples,
    GetOutputSetting,
    SetOutputSetting,
    GetOutputCount,
    GetOutputProps,
    SetOutputProps,
    GetOutputFormatCount,
    GetOutputFormat,
    GetOutputNumberForStream,
    GetStreamNumberForOutput,
    GetMaxOutputSampleSize,
    GetMaxStreamSampleSize,
    OpenStream,
};

}  // namespace

IWMSyncReader *WrapSyncReader(IWMSyncReader *inner) {
    BridgeReader *reader = new (std::nothrow) BridgeReader();
    if (!reader) {
        IWMSyncReader_Release(inner);
        return nullptr;
    }
    // The tables are constant; the headers' lpVtbl fields are not.
    reader->readerFace.lpVtbl = const_cast<IWMSyncReaderVtbl *>(&kReaderTable);
    reader->headerFace.lpVtbl = const_cast<IWMHeaderInfoVtbl *>(&kBridgeHeaderTable);
    reader->refs = 1;
    reader->inner = inner;
    void *innerHeader = nullptr;
    if (SUCCEEDED(IWMSyncReader_QueryInterface(inner, kIidHeaderInfo, &innerHeader)))
        reader->innerHeader = static_cast<IWMHeaderInfo *>(innerHeader);
    reader->opened = false;
    InterlockedIncrement(&g_liveReaders);
    return &reader->readerFace;
}
