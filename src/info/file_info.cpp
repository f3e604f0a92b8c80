#include "info/file_info.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "info/header_attributes.h"
#include "info/text_limit.h"
#include "info/title.h"
#include "media/audio_output.h"
#include "media/reader.h"
#include "plugin/module.h"
#include "wine/wine_runtime.h"

namespace {

enum { kOutOfMemory = static_cast<HRESULT>(0x8007000E) };

// 512 UTF-16 units always fill a tag; a unit becomes at most three bytes in
// any ANSI code page.
enum { kTextUnitsConverted = 512, kTextBytes = kTextUnitsConverted * 3 };

template <typename T>
bool ReadNumber(const BYTE *value, WORD length, T *number) {
    if (length < sizeof(T)) return false;
    memcpy(number, value, sizeof(T));
    return true;
}

// Numbers give their decimal text; everything else is UTF-16 up to its first
// zero unit or its end. False when the value is empty or unreadable.
bool ValueText(WMT_ATTR_DATATYPE type, const BYTE *value, WORD length, char *text, size_t *textLength) {
    unsigned long long number;
    WORD word;
    DWORD dword;
    switch (type) {
        case WMT_TYPE_WORD:
            if (!ReadNumber(value, length, &word)) return false;
            number = word;
            break;
        case WMT_TYPE_DWORD:
            if (!ReadNumber(value, length, &dword)) return false;
            number = dword;
            break;
        case WMT_TYPE_QWORD:
            if (!ReadNumber(value, length, &number)) return false;
            break;
        default: {
            WCHAR units[kTextUnitsConverted];
            int count = 0;
            for (; count < kTextUnitsConverted && (count + 1) * 2 <= length; ++count) {
                memcpy(&units[count], value + count * 2, 2);
                if (units[count] == 0) break;
            }
            if (count == 0) return false;
            int bytes = WideCharToMultiByte(CP_ACP, 0, units, count, text, kTextBytes, nullptr,
                                            nullptr);
            *textLength = bytes > 0 ? static_cast<size_t>(bytes) : 0;
            return *textLength > 0;
        }
    }
    *textLength = static_cast<size_t>(sprintf(text, "%llu", number));
    return true;
}

void StoreText(WMT_ATTR_DATATYPE type, const BYTE *value, WORD length, char *field) {
    char text[kTextBytes];
    size_t textLength;
    if (ValueText(type, value, length, text, &textLength))  // an empty value keeps the field
        CopyToField(field, kTagTextSize, text, textLength, AnsiCharWidth);
}

// Reads every file-level attribute the runtime lists, in its order. False
// when the runtime cannot list them at all.
bool ReadAttributes(IWMHeaderInfo *header, HRESULT *lastStatus, Gathered *into) {
    WORD count = 0;
    WORD stream = 0;
    *lastStatus = header->GetAttributeCount(stream, &count);
    if (FAILED(*lastStatus)) return false;

    for (WORD index = 0; index < count; ++index) {
        WORD nameLength = 0, valueLength = 0;
        WMT_ATTR_DATATYPE type;
        stream = 0;
        *lastStatus = header->GetAttributeByIndex(index, &stream, nullptr, &nameLength, &type, nullptr, &valueLength);
        if (FAILED(*lastStatus) || nameLength == 0) continue;

        // One unit more than asked for, so a name sent without its
        // terminator still ends within the buffer.
        WCHAR *name = static_cast<WCHAR *>(malloc((nameLength + 1) * sizeof(WCHAR)));
        BYTE *value = static_cast<BYTE *>(malloc(valueLength ? valueLength : 1));
        if (!name || !value) {
            free(name);
            free(value);
            *lastStatus = kOutOfMemory;
            return true;
        }
        WORD nameRoom = nameLength, valueRoom = valueLength;
        stream = 0;
        *lastStatus = header->GetAttributeByIndex(index, &stream, name, &nameRoom, &type, value, &valueRoom);
        // The runtime may report less than it first said, never trust more.
        if (SUCCEEDED(*lastStatus) && nameRoom <= nameLength && valueRoom <= valueLength) {
            name[nameRoom] = 0;
            StoreAttribute(name, type, value, valueRoom, into);
        }
        free(name);
        free(value);
    }
    return true;
}

// The reader's header view, or null.
IWMHeaderInfo *HeaderViewOf(IWMSyncReader *reader, HRESULT *lastStatus) {
    IWMHeaderInfo *header = nullptr;
    *lastStatus = reader->QueryInterface(__uuidof(IWMHeaderInfo), reinterpret_cast<void **>(&header));
    return SUCCEEDED(*lastStatus) ? header : nullptr;
}

// A runtime that lists no attributes may still answer for the length by
// name: content that is no ASF file then gets its length all the same.
void StoreDurationByName(IWMHeaderInfo *header, HRESULT *lastStatus, Gathered *into) {
    WORD stream = 0;
    WMT_ATTR_DATATYPE type;
    BYTE value[8];
    WORD length = sizeof(value);
    *lastStatus = header->GetAttributeByName(&stream, L"Duration", &type, value, &length);
    if (SUCCEEDED(*lastStatus) && type == WMT_TYPE_QWORD) StoreAttribute(L"Duration", type, value, length, into);
}

// A whole file's sound may end a little before or after its header's
// length (the encoder's last frame, an object's length reckoned from the
// stream's average bit rate): within this much of it the header stands.
enum { kHeldLengthSlackMs = 1000 };

// A header states the length and size of the whole file, and Windows'
// runtime passes them on as they stand; a download cut off or zero-filled,
// a file a tag editor rewrote, an old encoder's file may hold something
// else. Where the plug-in has the file open, the size is the file's own,
// and the length is where the sound its data packets carry ends when that
// is more than the slack away from the stated length, when no length is
// stated, or when no packet there is whole and readable.
void MeasureWhatTheFileHolds(const FileSource &source, const AsfHeld &held, Gathered *into) {
    uint64_t size;
    if (FileSourceSize(source, &size)) into->info->fileSize = static_cast<uint32_t>(size);
    if (!held.known) return;
    uint32_t stated = into->durationStored ? into->info->durationMs : 0;
    uint32_t apart = held.endMs > stated ? held.endMs - stated : stated - held.endMs;
    if (held.endMs == 0 || stated == 0 || apart > kHeldLengthSlackMs) into->info->durationMs = held.endMs;
}

// One query's file while the query runs: the reader and its header view,
// and where what is learnt of the file goes.
struct Query {
    ReaderHold hold;
    IWMHeaderInfo *header;  // null where the runtime gave none
    Gathered into;
    AsfHeld held;           // what the data packets hold, once asked
    HRESULT status;         // of the last call to the runtime, once asked
    bool asked;
};

// The format a stream on the file will deliver; the default where none is
// known.
void WriteFormat(const AudioOutput &audio, FileInfo *info) {
    info->seekable = 1;
    info->reserved = 0;
    info->sampleRate = kDefaultSampleRate;
    info->channels = kDefaultChannels;
    info->bitsPerSample = kDefaultBitsPerSample;
    if (!audio.pcm) return;
    info->sampleRate = static_cast<int32_t>(audio.sampleRate);
    info->channels = audio.channels;
    info->bitsPerSample = audio.bitsPerSample;
}

// The tags, stated length, bit rate and size the runtime lists, or where it
// cannot list them (or is missing, or could not open the file) the file's
// own header's. The header is read in any case, for how long the data
// packets run, which no runtime tells.
AsfHeld ReadAttributesAndData(Query *query, HRESULT *lastStatus) {
    bool listed = query->header && ReadAttributes(query->header, lastStatus, &query->into);
    AsfHeld held;
    bool asf = ReadFileHeader(query->hold.source, listed ? nullptr : &query->into, &held);
    if (!listed && !asf && query->header) StoreDurationByName(query->header, lastStatus, &query->into);
    return held;
}

// All a query asks of the runtime (null: of a file it did not open), run
// as soon as the reader is open: nothing uses the reader after it, and
// keeping the reader would keep the user's file open.
void AskRuntime(void *context, IWMSyncReader *reader) {
    Query *query = static_cast<Query *>(context);
    query->status = S_OK;
    query->header = reader ? HeaderViewOf(reader, &query->status) : nullptr;
    AudioOutput audio = AudioOutput();
    if (reader) ChooseAudioOutput(reader, &audio);  // as the stream asks for it
    WriteFormat(audio, query->into.info);
    query->held = ReadAttributesAndData(query, &query->status);
    if (query->header) query->header->Release();
    query->header = nullptr;
    ReleaseReader(&query->hold);
    query->asked = true;
}

// Under Wine the runtime lists no attributes, and its outputs tell nothing
// the header of an ASF file the plug-in reads whole does not: such a file
// is answered from the file alone, the format as Wine will deliver it
// (DeclaredPcm), or the default where it holds nothing Wine plays. True
// when it was; otherwise the file is closed again and nothing but what
// its header holds (nothing, where it is no ASF) is stored.
bool AnswerFromFile(const char *fileName, Query *query) {
    WCHAR wide[kFileNameUnits];
    if (!WideFileName(fileName, wide) || !RuntimeIsWinesOwn()) return false;
    if (OpenFileSource(wide, &query->hold.source) != kFileOpened) {
        CloseFileSource(&query->hold.source);
        return false;
    }
    ReadFileHeader(query->hold.source, &query->into, &query->held);
    RuntimeAsk ask = AskOfWine(query->held);
    AudioOutput audio = AudioOutput();
    bool declared = ask == kAskRuntimeVouched && DeclaredPcm(query->held, &audio);
    if (ask != kAskNothing && !declared) {
        CloseFileSource(&query->hold.source);
        return false;
    }
    WriteFormat(audio, query->into.info);
    return true;
}

void WriteTitle(const ModuleSettings &settings, const TagSet &tags, FileInfo *info) {
    char title[256];
    if (BuildTitle(settings, tags, title)) strcpy(info->title, title);
}

}  // namespace

void StoreAttribute(const WCHAR *name, WMT_ATTR_DATATYPE type, const BYTE *value, WORD length, Gathered *into) {
    FileInfo *info = into->info;
    TagSet *tags = into->tags;
    unsigned long long duration;
    DWORD number;
    if (!wcscmp(name, L"Duration")) {
        if (!ReadNumber(value, length, &duration)) return;
        info->durationMs = static_cast<uint32_t>(duration / 10000);
        into->durationStored = true;
    } else if (!wcscmp(name, L"Bitrate")) {
        if (ReadNumber(value, length, &number)) info->bitrate = number;
    } else if (!wcscmp(name, L"FileSize")) {
        if (ReadNumber(value, length, &number)) info->fileSize = number;
    } else if (!wcscmp(name, L"Title")) {
        StoreText(type, value, length, tags->title);
    } else if (!wcscmp(name, L"Author") || !wcscmp(name, L"WM/Composer")) {
        StoreText(type, value, length, tags->artist);
    } else if (!wcscmp(name, L"WM/Genre")) {
        StoreText(type, value, length, tags->genre);
    } else if (!wcscmp(name, L"WM/AlbumTitle")) {
        StoreText(type, value, length, tags->album);
    } else if (!wcscmp(name, L"WM/Year")) {
        StoreText(type, value, length, tags->date);
    } else if (!wcscmp(name, L"WM/TrackNumber")) {
        StoreText(type, value, length, tags->trackNumber);
    }
}

int32_t VIVU_CDECL GetFileInfo(InputModule *module, const char *fileName, int32_t, FileInfo *info) {
    TagSet tags;
    memset(&tags, 0, sizeof(tags));
    // The query's reader and header view stay its own, so queries that
    // overlap on one module cannot release each other's.
    module->reader = nullptr;
    module->headerInfo = nullptr;

    Query query = {};
    query.into = Gathered{info, &tags, false};
    if (AnswerFromFile(fileName, &query)) {
        module->lastStatus = S_OK;
    } else {
        const ReaderVisit ask = {AskRuntime, &query};
        OpenReader(fileName, &query.hold, &module->lastStatus, &ask);
        if (query.asked)
            module->lastStatus = query.status;
        else
            AskRuntime(&query, nullptr);  // no reader: the file's own header answers
    }
    MeasureWhatTheFileHolds(query.hold.source, query.held, &query.into);
    CloseReader(&query.hold);
    WriteTitle(module->settings, tags, info);
    return 1;
}
