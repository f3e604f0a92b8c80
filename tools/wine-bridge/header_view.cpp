// The bridge's header view: the file-level attributes of the open file, read
// from its ASF header when the file is opened. Markers, scripts and writing
// attributes go to Wine's own header view.
#include "bridge_reader.h"

#include <stddef.h>
#include <string.h>

namespace {

// Status codes of the runtime's header interfaces.
const HRESULT kBufferTooSmall = static_cast<HRESULT>(0xC00D07D1);  // ASF_E_BUFFERTOOSMALL
const HRESULT kNotFound = static_cast<HRESULT>(0xC00D07F0);        // ASF_E_NOTFOUND
const HRESULT kInvalidRequest = static_cast<HRESULT>(0xC00D002B);  // NS_E_INVALID_REQUEST

// The header object is read whole; a real one is a few kilobytes, pictures
// included rarely more than a few megabytes.
const uint64_t kMaxHeaderBytes = 64u << 20;

BridgeReader *FromHeader(IWMHeaderInfo *face) {
    return reinterpret_cast<BridgeReader *>(reinterpret_cast<char *>(face) - offsetof(BridgeReader, headerFace));
}

HRESULT STDMETHODCALLTYPE QueryInterface(IWMHeaderInfo *face, REFIID iid, void **out) {
    IWMSyncReader *reader = &FromHeader(face)->readerFace;
    return reader->lpVtbl->QueryInterface(reader, iid, out);
}

ULONG STDMETHODCALLTYPE AddRef(IWMHeaderInfo *face) {
    IWMSyncReader *reader = &FromHeader(face)->readerFace;
    return reader->lpVtbl->AddRef(reader);
}

ULONG STDMETHODCALLTYPE Release(IWMHeaderInfo *face) {
    IWMSyncReader *reader = &FromHeader(face)->readerFace;
    return reader->lpVtbl->Release(reader);
}

// Hands out one attribute: a null buffer asks for its length; a buffer that
// is too small is an error. Name lengths are in characters, terminator
// included; value lengths in bytes.
HRESULT CopyAttribute(const AsfAttribute &attribute, WCHAR *name, WORD *nameLength, WMT_ATTR_DATATYPE *type,
                      BYTE *value, WORD *valueLength) {
    WORD nameNeeded = static_cast<WORD>(attribute.name.size() + 1);
    WORD valueNeeded = static_cast<WORD>(attribute.value.size());
    if (name && nameLength && *nameLength < nameNeeded) return kBufferTooSmall;
    if (value && *valueLength < valueNeeded) return kBufferTooSmall;
    *type = static_cast<WMT_ATTR_DATATYPE>(attribute.type);
    if (name) {
        memcpy(name, attribute.name.data(), attribute.name.size() * sizeof(WCHAR));
        name[attribute.name.size()] = 0;
    }
    if (nameLength) *nameLength = nameNeeded;
    if (value && valueNeeded) memcpy(value, attribute.value.data(), valueNeeded);
    *valueLength = valueNeeded;
    return S_OK;
}

// The header view lists at most 65,535 attributes, and names that fit its
// 16-bit lengths.
WORD Count(const BridgeReader *reader) {
    size_t count = reader->attributes.size();
    return static_cast<WORD>(count < 0xFFFF ? count : 0xFFFF);
}

HRESULT STDMETHODCALLTYPE GetAttributeCount(IWMHeaderInfo *face, WORD stream, WORD *count) {
    BridgeReader *reader = FromHeader(face);
    if (!count) return E_INVALIDARG;
    if (!reader->opened) return kInvalidRequest;
    // Only file-level attributes are known; a stream has none of its own here.
    *count = stream == 0 ? Count(reader) : 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE GetAttributeByIndex(IWMHeaderInfo *face, WORD index, WORD *stream, WCHAR *name,
                                              WORD *nameLength, WMT_ATTR_DATATYPE *type, BYTE *value,
                                              WORD *valueLength) {
    BridgeReader *reader = FromHeader(face);
    if (!stream || !nameLength || !type || !valueLength) return E_INVALIDARG;
    if (!reader->opened) return kInvalidRequest;
    if (*stream != 0 || index >= Count(reader)) return E_INVALIDARG;
    return CopyAttribute(reader->attributes[index], name, nameLength, type, value, valueLength);
}

HRESULT STDMETHODCALLTYPE GetAttributeByName(IWMHeaderInfo *face, WORD *stream, LPCWSTR name,
                                             WMT_ATTR_DATATYPE *type, BYTE *value, WORD *valueLength) {
    BridgeReader *reader = FromHeader(face);
    if (!stream || !name || !type || !valueLength) return E_INVALIDARG;
    if (!reader->opened) return kInvalidRequest;
    if (*stream != 0) return kNotFound;
    for (WORD i = 0; i < Count(reader); ++i) {
        const AsfAttribute &attribute = reader->attributes[i];
        if (attribute.name.size() == wcslen(name) &&
            !memcmp(attribute.name.data(), name, attribute.name.size() * sizeof(WCHAR)))
            return CopyAttribute(attribute, nullptr, nullptr, type, value, valueLength);
    }
    return kNotFound;
}

IWMHeaderInfo *InnerHeader(IWMHeaderInfo *face) { return FromHeader(face)->innerHeader; }

HRESULT STDMETHODCALLTYPE SetAttribute(IWMHeaderInfo *face, WORD stream, LPCWSTR name, WMT_ATTR_DATATYPE type,
                                       const BYTE *value, WORD length) {
    IWMHeaderInfo *inner = InnerHeader(face);
    return inner ? IWMHeaderInfo_SetAttribute(inner, stream, name, type, value, length) : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE GetMarkerCount(IWMHeaderInfo *face, WORD *markers) {
    IWMHeaderInfo *inner = InnerHeader(face);
    return inner ? IWMHeaderInfo_GetMarkerCount(inner, markers) : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE GetMarker(IWMHeaderInfo *face, WORD index, WCHAR *markerName, WORD *markerLength,
                                    QWORD *markerTime) {
    IWMHeaderInfo *inner = InnerHeader(face);
    return inner ? IWMHeaderInfo_GetMarker(inner, index, markerName, markerLength, markerTime) : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE AddMarker(IWMHeaderInfo *face, LPCWSTR_WMSDK_TYPE_SAFE markerName, QWORD markerTime) {
    IWMHeaderInfo *inner = InnerHeader(face);
    return inner ? IWMHeaderInfo_AddMarker(inner, markerName, markerTime) : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RemoveMarker(IWMHeaderInfo *face, WORD index) {
    IWMHeaderInfo *inner = InnerHeader(face);
    return inner ? IWMHeaderInfo_RemoveMarker(inner, index) : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE GetScriptCount(IWMHeaderInfo *face, WORD *scripts) {
    IWMHeaderInfo *inner = InnerHeader(face);
    return inner ? IWMHeaderInfo_GetScriptCount(inner, scripts) : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE GetScript(IWMHeaderInfo *face, WORD index, WCHAR *type, WORD *typeLength,
                                    WCHAR *command, WORD *commandLength, QWORD *scriptTime) {
    IWMHeaderInfo *inner = InnerHeader(face);
    return inner ? IWMHeaderInfo_GetScript(inner, index, type, typeLength, command, commandLength, scriptTime)
                 : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE AddScript(IWMHeaderInfo *face, LPCWSTR_WMSDK_TYPE_SAFE type,
                                    LPCWSTR_WMSDK_TYPE_SAFE command, QWORD scriptTime) {
    IWMHeaderInfo *inner = InnerHeader(face);
    return inner ? IWMHeaderInfo_AddScript(inner, type, command, scriptTime) : E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE RemoveScript(IWMHeaderInfo *face, WORD index) {
    IWMHeaderInfo *inner = InnerHeader(face);
    return inner ? IWMHeaderInfo_RemoveScript(inner, index) : E_NOTIMPL;
}

// Reads the whole Header Object through read(context, offset, buffer, size),
// which gives the number of bytes it read; then parses it.
template <typename ReadFn>
void LoadAttributes(BridgeReader *reader, ReadFn read) {
    reader->attributes.clear();
    reader->opened = true;
    uint8_t start[30];
    if (read(0, start, sizeof(start)) != sizeof(start)) return;
    uint64_t declared = AsfHeaderSize(start, sizeof(start));
    if (declared == 0 || declared > kMaxHeaderBytes) return;
    std::vector<uint8_t> header(static_cast<size_t>(declared));
    size_t got = read(0, header.data(), static_cast<DWORD>(header.size()));
    std::vector<AsfAttribute> attributes;
    ParseAsfHeader(header.data(), got, &attributes);
    // Names must fit the view's 16-bit character counts, terminator included.
    for (AsfAttribute &attribute : attributes)
        if (attribute.name.size() < 0xFFFF) reader->attributes.push_back(std::move(attribute));
}

}  // namespace

const IWMHeaderInfoVtbl kBridgeHeaderTable = {
    QueryInterface, AddRef,       Release,        GetAttributeCount, GetAttributeByIndex,
    GetAttributeByName, SetAttribute, GetMarkerCount, GetMarker,       AddMarker,
    RemoveMarker,   GetScriptCount, GetScript,    AddScript,         RemoveScript,
};

void LoadAttributesFromFile(BridgeReader *reader, const WCHAR *fileName) {
    HANDLE file = CreateFileW(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LoadAttributes(reader, [file](uint64_t offset, void *buffer, DWORD size) -> size_t {
        if (file == INVALID_HANDLE_VALUE) return 0;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD got = 0;
        if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) || !ReadFile(file, buffer, size, &got, nullptr))
            return 0;
        return got;
    });
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void LoadAttributesFromStream(BridgeReader *reader, IStream *stream) {
    // Wine's reader reads the stream on a thread of its own: a clone has a
    // seek position of its own. A stream that cannot be cloned gives no
    // attributes.
    IStream *clone = nullptr;
    if (!stream || FAILED(IStream_Clone(stream, &clone))) clone = nullptr;
    LoadAttributes(reader, [clone](uint64_t offset, void *buffer, DWORD size) -> size_t {
        if (!clone) return 0;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        ULONG got = 0;
        if (FAILED(IStream_Seek(clone, at, STREAM_SEEK_SET, nullptr))) return 0;
        size_t total = 0;
        // A stream may hand out less than asked at a time.
        while (total < size && SUCCEEDED(IStream_Read(clone, static_cast<uint8_t *>(buffer) + total,
                                                      size - static_cast<ULONG>(total), &got)) && got)
            total += got;
        return total;
    });
    if (clone) IStream_Release(clone);
}
