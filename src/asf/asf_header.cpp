#include "asf/asf_header.h"

#include <string.h>

#include "asf/asf_bytes.h"
#include "asf/asf_data.h"
#include "asf/asf_probe.h"

using namespace asf;

// Copies count bytes (at most one window) at offset, through the window.
bool asf::Fetch(AsfHeaderFile *file, uint64_t offset, void *out, size_t count) {
    bool inWindow = offset >= file->windowStart && count <= file->windowBytes &&
                    offset - file->windowStart <= file->windowBytes - count;
    if (!inWindow) {
        if (count > kAsfWindowBytes || offset >= file->fileSize || file->fillsLeft == 0) return false;
        --file->fillsLeft;
        uint64_t left = file->fileSize - offset;
        size_t wanted = left < kAsfWindowBytes ? static_cast<size_t>(left) : static_cast<size_t>(kAsfWindowBytes);
        file->windowStart = offset;
        file->windowBytes = file->read(file->readContext, offset, file->window, wanted);
        if (file->windowBytes > wanted) file->windowBytes = 0;  // a reader that overstates is not believed
        if (file->windowBytes < count) return false;
    }
    memcpy(out, file->window + (offset - file->windowStart), count);
    return true;
}

namespace {

const Guid kFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                              0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Guid kContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                  0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const Guid kExtendedContent = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                               0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
const Guid kHeaderExtension = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                               0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Guid kMetadata = {0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48,
                        0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
const Guid kMetadataLibrary = {0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49,
                               0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};
const Guid kStreamProperties = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const Guid kExtendedStreamProperties = {0xCB, 0xA5, 0xE6, 0x14, 0x72, 0xC6, 0x32, 0x43,
                                        0x83, 0x99, 0xA9, 0x69, 0x52, 0x06, 0x5B, 0x5A};
const Guid kAudioMedia = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                          0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
// 2211B3FB-BD23-11D2-B4B7-00A0C955FC6E, 298AE614-2622-4C17-B935-DAE07EE9289C,
// 2211B3FC-BD23-11D2-B4B7-00A0C955FC6E, 9A04F079-9840-4286-AB92-E65BE0885F95.
const Guid kProtection[] = {
    {0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11, 0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E},
    {0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C, 0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C},
    {0xFC, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11, 0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E},
    {0x79, 0xF0, 0x04, 0x9A, 0x40, 0x98, 0x86, 0x42, 0xAB, 0x92, 0xE6, 0x5B, 0xE0, 0x88, 0x5F, 0x95},
};

enum {
    kFilePropertiesBodyBytes = 80,
    kWaveFormatBytes = 16,  // a WAVEFORMATEX up to its bits per sample
    // Extended stream properties up to the stream name count.
    kExtendedStreamFixedBytes = 60,
    kBroadcastFlag = 1,
    kSeekableFlag = 2,
};

struct Reader {
    AsfHeaderFile *file;
    AsfAttributeFn emit;
    void *emitContext;
};

// The next child object of a parent's remaining bytes: its id and its body.
// False at the end, when the reading has examined all the objects it may, or
// when the child declares a size below 24 or beyond what its parent has left:
// the rest of the parent cannot be trusted then.
bool NextChild(AsfHeaderFile *file, Span *parent, Guid id, Span *body) {
    if (!parent->ok || parent->end - parent->at < kObjectHeadBytes || file->objectsLeft == 0) return false;
    --file->objectsLeft;
    Span probe = *parent;
    if (!Take(file, &probe, id, sizeof(Guid))) return false;
    uint64_t size = U64(file, &probe);
    if (!probe.ok || size < kObjectHeadBytes || size > parent->end - parent->at) return false;
    *body = Span{parent->at + kObjectHeadBytes, parent->at + size, true};
    parent->at += size;
    return true;
}

void Emit(Reader *r, const char16_t *name, AsfValueType type, uint32_t valueBytes) {
    r->emit(r->emitContext, AsfAttribute{name, type, r->file->value, valueBytes});
}

void EmitNumber(Reader *r, const char16_t *name, AsfValueType type, uint64_t number, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) r->file->value[i] = static_cast<uint8_t>(number >> (8 * i));
    Emit(r, name, type, bytes);
}

// Reads a stored name of nameBytes into file->name, up to its first zero
// unit. False, with the name stepped over, when it is empty or too long.
bool TakeName(AsfHeaderFile *file, Span *span, uint64_t nameBytes) {
    uint8_t raw[kAsfMaxNameUnits * 2 + 2];
    if (nameBytes > sizeof(raw)) {
        Skip(span, nameBytes);
        return false;
    }
    if (!Take(file, span, raw, static_cast<size_t>(nameBytes))) return false;
    size_t units = 0;
    while (units < kAsfMaxNameUnits && (units + 1) * 2 <= nameBytes) {
        char16_t unit = static_cast<char16_t>(Little(raw + units * 2, 2));
        if (unit == 0) break;
        file->name[units++] = unit;
    }
    file->name[units] = 0;
    return units > 0;
}

// Reads a value of one of the stored types into file->value, in the form the
// runtime hands it out, and emits it under file->name. A value whose length
// does not fit its type is skipped. boolBytes: how wide the object stores a
// BOOL (32 bits in the Extended Content Description, 16 in the Metadata
// objects); it is handed out in 32.
void TakeValue(Reader *r, Span *span, uint16_t storedType, uint64_t length, unsigned boolBytes) {
    AsfHeaderFile *file = r->file;
    static const struct {
        AsfValueType type;
        uint32_t length;  // 0: any
    } kStored[] = {{kAsfString, 0}, {kAsfBinary, 0}, {kAsfBool, 0}, {kAsfDword, 4},
                   {kAsfQword, 8},  {kAsfWord, 2},   {kAsfGuid, 16}};
    bool known = storedType < sizeof(kStored) / sizeof(kStored[0]);
    uint32_t fixed = known ? (storedType == 2 ? boolBytes : kStored[storedType].length) : 0;
    if (!known || length > kAsfMaxValueBytes || (fixed && length != fixed)) {
        Skip(span, length);
        return;
    }
    uint32_t kept = static_cast<uint32_t>(length < kAsfValuePrefixBytes ? length : uint64_t{kAsfValuePrefixBytes});
    if (!Take(file, span, file->value, kept)) return;
    Skip(span, length - kept);
    if (!span->ok) return;
    if (kStored[storedType].type == kAsfBool)
        EmitNumber(r, file->name, kAsfBool, Little(file->value, boolBytes) != 0, 4);
    else
        Emit(r, file->name, kStored[storedType].type, kept);
}

bool ReadFileProperties(Reader *r, Span body) {
    AsfHeaderFile *file = r->file;
    if (body.end - body.at < kFilePropertiesBodyBytes) return false;
    Skip(&body, 16);  // file id
    uint64_t fileSize = U64(file, &body);
    Skip(&body, 16);  // creation date, packet count
    uint64_t playDuration = U64(file, &body);
    Skip(&body, 8);  // send duration
    uint64_t prerollMs = U64(file, &body);
    uint32_t flags = U32(file, &body);
    Skip(&body, 8);  // smallest and largest packet
    uint32_t maxBitrate = U32(file, &body);
    if (!body.ok) return false;

    // A broadcast's duration and size are not known while it is written.
    bool broadcast = flags & kBroadcastFlag;
    if (!broadcast) {
        // The play duration counts the preroll (milliseconds); the listener
        // hears the rest.
        uint64_t preroll = prerollMs <= playDuration / 10000 ? prerollMs * 10000 : playDuration;
        EmitNumber(r, u"Duration", kAsfQword, playDuration - preroll, 8);
    }
    EmitNumber(r, u"Bitrate", kAsfDword, maxBitrate, 4);
    EmitNumber(r, u"Seekable", kAsfBool, (flags & kSeekableFlag) ? 1 : 0, 4);
    EmitNumber(r, u"Broadcast", kAsfBool, broadcast ? 1 : 0, 4);
    if (!broadcast) EmitNumber(r, u"FileSize", kAsfQword, fileSize, 8);
    return true;
}

bool ReadContentDescription(Reader *r, Span body) {
    static const char16_t *const kNames[5] = {u"Title", u"Author", u"Copyright", u"Description", u"Rating"};
    uint16_t lengths[5];
    for (uint16_t &length : lengths) length = U16(r->file, &body);
    for (int i = 0; i < 5 && body.ok; ++i) {
        if (lengths[i] < 2) {  // an empty text is no attribute
            Skip(&body, lengths[i]);
            continue;
        }
        size_t at = 0;
        while ((r->file->name[at] = kNames[i][at]) != 0) ++at;
        TakeValue(r, &body, 0, lengths[i], 0);
    }
    return body.ok;
}

void ReadExtendedContent(Reader *r, Span body) {
    uint16_t count = U16(r->file, &body);
    for (uint16_t i = 0; i < count && body.ok; ++i) {
        bool named = TakeName(r->file, &body, U16(r->file, &body));
        uint16_t type = U16(r->file, &body);
        uint16_t valueBytes = U16(r->file, &body);
        if (named)
            TakeValue(r, &body, type, valueBytes, 4);
        else
            Skip(&body, valueBytes);
    }
}

// The Metadata and Metadata Library Objects share one record layout; only
// the file-level records (stream 0) are the file's attributes.
void ReadMetadataRecords(Reader *r, Span body) {
    uint16_t count = U16(r->file, &body);
    for (uint16_t i = 0; i < count && body.ok; ++i) {
        U16(r->file, &body);  // reserved, or the language list index
        uint16_t stream = U16(r->file, &body);
        uint16_t nameBytes = U16(r->file, &body);
        uint16_t type = U16(r->file, &body);
        uint32_t valueBytes = U32(r->file, &body);
        if (!body.ok) return;
        if (TakeName(r->file, &body, nameBytes) && stream == 0)
            TakeValue(r, &body, type, valueBytes, 2);
        else
            Skip(&body, valueBytes);
    }
}

// Where the objects that hold attributes lie. A real file has one of each;
// past kMostOfAKind of one kind the rest are not read.
enum { kMostOfAKind = 8 };

struct Spans {
    Span at[kMostOfAKind];
    unsigned count;
};

struct AttributeObjects {
    Spans fileProperties, contentDescription, extendedContent, metadata, metadataLibrary;
};

void Keep(Spans *spans, const Span &body) {
    if (spans->count < kMostOfAKind) spans->at[spans->count++] = body;
}

// What the header tells of the streams and the packets.
struct Streams {
    AsfDataLayout layout;
    bool audio[kAsfMostStreams];  // declared as audio
    AsfAudio format[kAsfMostStreams];
};

bool IsProtection(const Guid id) {
    for (const Guid &protection : kProtection)
        if (Is(id, protection)) return true;
    return false;
}

// A stream the header declares; where it is audio, its format.
void ReadStreamProperties(AsfHeaderFile *file, Span body, Streams *streams) {
    Guid type;
    Take(file, &body, type, sizeof(type));
    Skip(&body, 16 + 8);  // error correction type, time offset
    uint32_t formatBytes = U32(file, &body);
    Skip(&body, 4);  // error correction data length
    unsigned stream = U16(file, &body) & 0x7F;
    if (!body.ok || stream == 0) return;
    streams->layout.declared[stream] = true;
    if (!Is(type, kAudioMedia) || formatBytes < kWaveFormatBytes) return;
    Skip(&body, 4);  // reserved
    AsfAudio format;
    format.formatTag = U16(file, &body);
    format.channels = U16(file, &body);
    format.sampleRate = U32(file, &body);
    uint32_t perSecond = U32(file, &body);
    Skip(&body, 2);  // block align
    format.bitsPerSample = U16(file, &body);
    if (!body.ok) return;
    streams->audio[stream] = true;
    streams->format[stream] = format;
    streams->layout.audioBytesPerSecond[stream] = perSecond;
}

// A stream declared in the header extension: by its number, and by the
// stream properties it may carry after its names and payload extensions.
void ReadExtendedStreamProperties(AsfHeaderFile *file, Span body, Streams *streams) {
    Skip(&body, kExtendedStreamFixedBytes - 12);
    unsigned stream = U16(file, &body) & 0x7F;
    Skip(&body, 2 + 8);  // language, time per frame
    uint16_t names = U16(file, &body);
    uint16_t extensions = U16(file, &body);
    if (!body.ok || stream == 0) return;
    streams->layout.declared[stream] = true;
    for (uint16_t i = 0; i < names && body.ok; ++i) {
        Skip(&body, 2);  // language
        Skip(&body, U16(file, &body));
    }
    for (uint16_t i = 0; i < extensions && body.ok; ++i) {
        Skip(&body, 16 + 2);  // system id, data size
        Skip(&body, U32(file, &body));
    }
    Guid id;
    Span properties;
    if (NextChild(file, &body, id, &properties) && Is(id, kStreamProperties))
        ReadStreamProperties(file, properties, streams);
}

void FindInExtension(AsfHeaderFile *file, Span body, AttributeObjects *found, Streams *streams) {
    Skip(&body, 18);  // reserved id and reserved word
    uint32_t dataBytes = U32(file, &body);
    if (!body.ok || dataBytes > body.end - body.at) return;
    Span data{body.at, body.at + dataBytes, true};
    Guid id;
    Span child;
    while (NextChild(file, &data, id, &child)) {
        if (Is(id, kMetadata)) Keep(&found->metadata, child);
        if (Is(id, kMetadataLibrary)) Keep(&found->metadataLibrary, child);
        if (Is(id, kExtendedStreamProperties)) ReadExtendedStreamProperties(file, child, streams);
    }
}

// How the walk over the Header Object's children went.
struct HeaderWalk {
    bool whole;       // the children it counts fill it, none running past it
    bool protection;  // one of those children is a protection object
    bool cutShort;    // the reading examined all the objects it may first
};

// One walk over the header's objects, and the Header Extension's; the
// streams are read on the way.
HeaderWalk FindAttributeObjects(AsfHeaderFile *file, Span header, uint32_t counted, AttributeObjects *found,
                                Streams *streams) {
    HeaderWalk walk = {false, false, false};
    Guid id;
    Span body;
    uint32_t children = 0;
    for (; NextChild(file, &header, id, &body); ++children) {
        if (children < counted && IsProtection(id)) walk.protection = true;
        if (Is(id, kFileProperties)) Keep(&found->fileProperties, body);
        if (Is(id, kContentDescription)) Keep(&found->contentDescription, body);
        if (Is(id, kExtendedContent)) Keep(&found->extendedContent, body);
        if (Is(id, kHeaderExtension)) FindInExtension(file, body, found, streams);
        if (Is(id, kStreamProperties)) ReadStreamProperties(file, body, streams);
    }
    walk.cutShort = file->objectsLeft == 0;
    walk.whole = header.ok && header.at == header.end && children >= counted;
    return walk;
}

// The first object of the kind that reads whole; null when none does.
const Span *ReadFirstWhole(Reader *r, const Spans &spans, bool (*read)(Reader *, Span)) {
    for (unsigned i = 0; i < spans.count; ++i)
        if (read(r, spans.at[i])) return &spans.at[i];
    return nullptr;
}

void ReadEach(Reader *r, const Spans &spans, void (*read)(Reader *, Span)) {
    for (unsigned i = 0; i < spans.count; ++i) read(r, spans.at[i]);
}

// Every data packet's size and the preroll, from the File Properties body;
// the size 0 where packets differ in size and cannot be found by counting.
void ReadPacketing(AsfHeaderFile *file, Span body, AsfDataLayout *layout) {
    Skip(&body, 40);  // up to the play duration
    layout->playMs = U64(file, &body) / 10000;
    Skip(&body, 8);  // send duration
    layout->prerollMs = U64(file, &body);
    Skip(&body, 4);  // flags
    uint32_t smallest = U32(file, &body);
    uint32_t largest = U32(file, &body);
    layout->packetBytes = body.ok && smallest == largest ? smallest : 0;
}

// The audio streams, by stream number.
void DescribeAudio(const Streams &streams, AsfHeld *held) {
    for (unsigned stream = 1; stream < kAsfMostStreams && held->audioCount < kAsfMostAudio; ++stream)
        if (streams.audio[stream]) held->audio[held->audioCount++] = streams.format[stream];
}

// What a runtime can play of the file, from the walk and what the packets
// hold (see AsfContent).
AsfContent Judge(const HeaderWalk &walk, const Span *properties, const AsfDataLayout &layout, const AsfHeld &held) {
    if (walk.cutShort) return kAsfUnjudged;
    if (!walk.whole || !properties || !layout.packetBytes || held.audioCount == 0) return kAsfSilent;
    return held.content;
}

}  // namespace

bool ReadAsfHeaderAndData(AsfHeaderFile *file, AsfAttributeFn emit, void *emitContext, AsfHeld *held) {
    file->windowStart = file->windowBytes = 0;
    file->objectsLeft = kAsfMostObjects;
    file->fillsLeft = kAsfMostWindowFills;
    *held = AsfHeld();
    uint8_t first[kHeaderHeadBytes];
    size_t got = file->fileSize < kHeaderHeadBytes ? static_cast<size_t>(file->fileSize) : size_t{kHeaderHeadBytes};
    if (!Fetch(file, 0, first, got)) got = 0;
    if (got < kHeaderHeadBytes || !CanStartAsfFile(first, kAsfProbeBytes, file->fileSize)) {
        held->content = StartsAsAsf(first, got) ? kAsfSilent : kAsfUnjudged;
        return false;
    }
    Reader r{file, emit, emitContext};
    AttributeObjects found = {};
    Streams streams = {};
    AsfDataLayout &layout = streams.layout;
    layout.dataAt = Little(first + 16, 8);
    uint32_t counted = static_cast<uint32_t>(Little(first + 24, 4));
    HeaderWalk walk = FindAttributeObjects(file, Span{kHeaderHeadBytes, layout.dataAt, true}, counted, &found,
                                           &streams);
    const Span *properties = ReadFirstWhole(&r, found.fileProperties, ReadFileProperties);
    ReadFirstWhole(&r, found.contentDescription, ReadContentDescription);
    ReadEach(&r, found.extendedContent, ReadExtendedContent);
    ReadEach(&r, found.metadata, ReadMetadataRecords);
    ReadEach(&r, found.metadataLibrary, ReadMetadataRecords);
    if (properties) {
        ReadPacketing(file, *properties, &layout);
        *held = MeasureDataPackets(file, layout);
    }
    held->protectedContent = walk.protection;
    DescribeAudio(streams, held);
    held->content = Judge(walk, properties, layout, *held);
    return true;
}
