#include "info/asf_header.h"

#include <string.h>

#include "media/asf_probe.h"

namespace {

// An object id in the byte order the file stores it.
typedef uint8_t AsfGuid[16];

const AsfGuid kFileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                 0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const AsfGuid kContentDescription = {0x33, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
const AsfGuid kExtendedContent = {0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                  0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
const AsfGuid kHeaderExtension = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                  0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
const AsfGuid kMetadata = {0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48,
                           0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
const AsfGuid kMetadataLibrary = {0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49,
                                  0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};
const AsfGuid kDataObject = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

enum {
    kObjectHeaderBytes = 24,  // id and 64-bit size
    kHeaderObjectBytes = 30,  // plus object count and two reserved bytes
    kFilePropertiesBodyBytes = 80,
    kDataHeadBytes = 50,  // id, size, file id, packet count, two reserved bytes
    // A packet's head up to its duration, at its longest: error correction
    // flags and 15 bytes of data, the two flag bytes, three 4-byte lengths,
    // send time and duration.
    kMostPacketHeadBytes = 1 + 15 + 2 + 3 * 4 + 4 + 2,
    // The last whole packet, or a packet or two before it, gives the end.
    kPacketsTried = 3,
    kBroadcastFlag = 1,
    kSeekableFlag = 2,
};

// A stretch of the file that reads never leave. A read that would fails and
// breaks the span, and every later read of it fails too.
struct Span {
    uint64_t at, end;
    bool ok;
};

struct Reader {
    AsfHeaderFile *file;
    AsfAttributeFn emit;
    void *emitContext;
};

// Copies count bytes (at most one window) at offset, through the window.
bool Fetch(AsfHeaderFile *file, uint64_t offset, void *out, size_t count) {
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

bool Take(AsfHeaderFile *file, Span *span, void *out, size_t count) {
    if (!span->ok || count > span->end - span->at || !Fetch(file, span->at, out, count)) {
        span->ok = false;
        return false;
    }
    span->at += count;
    return true;
}

void Skip(Span *span, uint64_t count) {
    if (!span->ok || count > span->end - span->at)
        span->ok = false;
    else
        span->at += count;
}

uint64_t Little(const uint8_t *bytes, unsigned count) {
    uint64_t value = 0;
    for (unsigned i = count; i-- > 0;) value = value << 8 | bytes[i];
    return value;
}

uint64_t Number(AsfHeaderFile *file, Span *span, unsigned bytes) {
    uint8_t raw[8];
    return Take(file, span, raw, bytes) ? Little(raw, bytes) : 0;
}

uint16_t U16(AsfHeaderFile *file, Span *span) { return static_cast<uint16_t>(Number(file, span, 2)); }
uint32_t U32(AsfHeaderFile *file, Span *span) { return static_cast<uint32_t>(Number(file, span, 4)); }
uint64_t U64(AsfHeaderFile *file, Span *span) { return Number(file, span, 8); }

// The next child object of a parent's remaining bytes: its id and its body.
// False at the end, when the reading has examined all the objects it may, or
// when the child declares a size below 24 or beyond what its parent has left:
// the rest of the parent cannot be trusted then.
bool NextChild(AsfHeaderFile *file, Span *parent, AsfGuid id, Span *body) {
    if (!parent->ok || parent->end - parent->at < kObjectHeaderBytes || file->objectsLeft == 0) return false;
    --file->objectsLeft;
    Span probe = *parent;
    if (!Take(file, &probe, id, sizeof(AsfGuid))) return false;
    uint64_t size = U64(file, &probe);
    if (!probe.ok || size < kObjectHeaderBytes || size > parent->end - parent->at) return false;
    *body = Span{parent->at + kObjectHeaderBytes, parent->at + size, true};
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

bool Is(const AsfGuid id, const AsfGuid kind) { return memcmp(id, kind, sizeof(AsfGuid)) == 0; }

void FindInExtension(AsfHeaderFile *file, Span body, AttributeObjects *found) {
    Skip(&body, 18);  // reserved id and reserved word
    uint32_t dataBytes = U32(file, &body);
    if (!body.ok || dataBytes > body.end - body.at) return;
    Span data{body.at, body.at + dataBytes, true};
    AsfGuid id;
    Span child;
    while (NextChild(file, &data, id, &child)) {
        if (Is(id, kMetadata)) Keep(&found->metadata, child);
        if (Is(id, kMetadataLibrary)) Keep(&found->metadataLibrary, child);
    }
}

// One walk over the header's objects, and the Header Extension's.
void FindAttributeObjects(AsfHeaderFile *file, Span header, AttributeObjects *found) {
    AsfGuid id;
    Span body;
    while (NextChild(file, &header, id, &body)) {
        if (Is(id, kFileProperties)) Keep(&found->fileProperties, body);
        if (Is(id, kContentDescription)) Keep(&found->contentDescription, body);
        if (Is(id, kExtendedContent)) Keep(&found->extendedContent, body);
        if (Is(id, kHeaderExtension)) FindInExtension(file, body, found);
    }
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

// Every data packet's size, from the File Properties body; 0 where packets
// differ in size and cannot be found by counting.
uint32_t FixedPacketBytes(AsfHeaderFile *file, Span body) {
    Skip(&body, 68);  // up to the smallest packet's size
    uint32_t smallest = U32(file, &body);
    uint32_t largest = U32(file, &body);
    return body.ok && smallest == largest ? smallest : 0;
}

// Where a packet's sound ends, from its head: error correction data where
// its first byte says so, then the payload parsing information, whose
// first byte gives the widths of the packet length, sequence and padding
// that come before the send time and the duration.
bool PacketEnd(const uint8_t *head, size_t size, uint32_t *endMs) {
    static const uint8_t kFieldBytes[4] = {0, 1, 2, 4};
    size_t at = 0;
    if (head[0] & 0x80) {
        if (head[0] & 0x60) return false;  // a length type the format does not define
        at = 1 + (head[0] & 0x0F);
    }
    if (at + 2 > size) return false;
    uint8_t widths = head[at];
    at += 2 + kFieldBytes[widths >> 5 & 3] + kFieldBytes[widths >> 1 & 3] + kFieldBytes[widths >> 3 & 3];
    if (at + 6 > size) return false;
    uint64_t end = Little(head + at, 4) + Little(head + at + 4, 2);
    *endMs = end < UINT32_MAX ? static_cast<uint32_t>(end) : UINT32_MAX;
    return true;
}

// The end of the sound in the whole packets of the Data Object that follows
// the header (no more than that object declares: an index may follow it).
// A file cut within the object's head holds none.
AsfHeld MeasureData(AsfHeaderFile *file, uint64_t headerSize, uint32_t packetBytes) {
    const AsfHeld unknown = {false, 0}, nothing = {true, 0};
    uint64_t rest = file->fileSize - headerSize;
    if (!packetBytes) return unknown;
    if (rest < kObjectHeaderBytes) return nothing;
    uint8_t head[kMostPacketHeadBytes];
    if (!Fetch(file, headerSize, head, kObjectHeaderBytes) || memcmp(head, kDataObject, sizeof(AsfGuid)) != 0)
        return unknown;
    // A size below the head's own is no size: the data runs to the file's end.
    uint64_t declaredBytes = Little(head + 16, 8);
    uint64_t bytes = declaredBytes >= kDataHeadBytes && declaredBytes < rest ? declaredBytes : rest;
    uint64_t whole = bytes > kDataHeadBytes ? (bytes - kDataHeadBytes) / packetBytes : 0;
    if (whole == 0) return nothing;
    size_t headBytes = packetBytes < sizeof(head) ? packetBytes : sizeof(head);
    for (uint64_t packet = whole; packet-- > 0 && whole - packet <= kPacketsTried;) {
        AsfHeld held = {true, 0};
        uint64_t at = headerSize + kDataHeadBytes + packet * packetBytes;
        if (Fetch(file, at, head, headBytes) && PacketEnd(head, headBytes, &held.endMs)) return held;
    }
    return unknown;
}

}  // namespace

bool ReadAsfHeaderAndData(AsfHeaderFile *file, AsfAttributeFn emit, void *emitContext, AsfHeld *held) {
    file->windowStart = file->windowBytes = 0;
    file->objectsLeft = kAsfMostObjects;
    file->fillsLeft = kAsfMostWindowFills;
    *held = AsfHeld{false, 0};
    uint8_t first[kAsfProbeBytes];
    if (!Fetch(file, 0, first, sizeof(first)) || !CanStartAsfFile(first, sizeof(first), file->fileSize))
        return false;
    Reader r{file, emit, emitContext};
    AttributeObjects found = {};
    uint64_t headerSize = Little(first + 16, 8);
    FindAttributeObjects(file, Span{kHeaderObjectBytes, headerSize, true}, &found);
    const Span *properties = ReadFirstWhole(&r, found.fileProperties, ReadFileProperties);
    ReadFirstWhole(&r, found.contentDescription, ReadContentDescription);
    ReadEach(&r, found.extendedContent, ReadExtendedContent);
    ReadEach(&r, found.metadata, ReadMetadataRecords);
    ReadEach(&r, found.metadataLibrary, ReadMetadataRecords);
    if (properties) *held = MeasureData(file, headerSize, FixedPacketBytes(file, *properties));
    return true;
}
