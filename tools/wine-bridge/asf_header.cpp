#include "asf_header.h"

#include <string.h>

namespace {

// An object id in the byte order the file stores it (the first three fields
// little-endian), compared field by field with the id's text form.
struct AsfGuid {
    uint32_t data1;
    uint16_t data2, data3;
    uint8_t data4[8];
};

const AsfGuid kHeaderObject = {0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
const AsfGuid kFileProperties = {0x8CABDCA1, 0xA947, 0x11CF, {0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
const AsfGuid kContentDescription = {0x75B22633, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
const AsfGuid kExtendedContent = {0xD2D0A440, 0xE307, 0x11D2, {0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50}};
const AsfGuid kHeaderExtension = {0x5FBF03B5, 0xA92E, 0x11CF, {0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
const AsfGuid kMetadata = {0xC5F8CBEA, 0x5BAF, 0x4877, {0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA}};
const AsfGuid kMetadataLibrary = {0x44231C94, 0x9498, 0x49D1, {0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54}};

enum {
    kObjectHeaderBytes = 24,   // id and 64-bit size
    kHeaderObjectBytes = 30,   // plus object count and two reserved bytes
    kFilePropertiesBytes = 104,
    kBroadcastFlag = 1,
    kSeekableFlag = 2,
};

// A cursor over a span that never moves past its end; a read that would
// fails and marks the cursor broken, and every later read fails too.
struct Cursor {
    const uint8_t *at;
    size_t left;
    bool ok;
};

Cursor MakeCursor(const uint8_t *data, size_t size) { return Cursor{data, size, true}; }

const uint8_t *Take(Cursor *c, uint64_t count) {
    if (!c->ok || count > c->left) {
        c->ok = false;
        return nullptr;
    }
    const uint8_t *start = c->at;
    c->at += count;
    c->left -= static_cast<size_t>(count);
    return start;
}

uint64_t ReadLittle(Cursor *c, unsigned bytes) {
    const uint8_t *p = Take(c, bytes);
    uint64_t value = 0;
    if (p)
        for (unsigned i = bytes; i-- > 0;) value = value << 8 | p[i];
    return value;
}

uint16_t U16(Cursor *c) { return static_cast<uint16_t>(ReadLittle(c, 2)); }
uint32_t U32(Cursor *c) { return static_cast<uint32_t>(ReadLittle(c, 4)); }
uint64_t U64(Cursor *c) { return ReadLittle(c, 8); }

bool ReadGuid(Cursor *c, AsfGuid *guid) {
    guid->data1 = U32(c);
    guid->data2 = U16(c);
    guid->data3 = U16(c);
    const uint8_t *tail = Take(c, 8);
    if (tail) memcpy(guid->data4, tail, 8);
    return c->ok;
}

bool SameGuid(const AsfGuid &a, const AsfGuid &b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 && !memcmp(a.data4, b.data4, 8);
}

// One child object: its id and a cursor over its body (after the 24 bytes).
struct Child {
    AsfGuid id;
    Cursor body;
};

// The next child of a parent's remaining bytes. False at the end, or when the
// child declares a size below 24 or beyond what its parent has left: the rest
// of the parent cannot be trusted then.
bool NextChild(Cursor *parent, Child *child) {
    if (!parent->ok || parent->left < kObjectHeaderBytes) return false;
    Cursor probe = *parent;
    ReadGuid(&probe, &child->id);
    uint64_t size = U64(&probe);
    if (size < kObjectHeaderBytes || size > parent->left) return false;
    const uint8_t *start = Take(parent, size);
    child->body = MakeCursor(start + kObjectHeaderBytes, static_cast<size_t>(size) - kObjectHeaderBytes);
    return true;
}

// UTF-16LE bytes up to the first zero unit; an odd last byte is dropped.
std::u16string Utf16(const uint8_t *bytes, size_t count) {
    std::u16string text;
    for (size_t i = 0; i + 1 < count; i += 2) {
        char16_t unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
        if (unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

std::vector<uint8_t> StringValue(const std::u16string &text) {
    std::vector<uint8_t> value;
    value.reserve((text.size() + 1) * 2);
    for (char16_t unit : text) {
        value.push_back(static_cast<uint8_t>(unit & 0xFF));
        value.push_back(static_cast<uint8_t>(unit >> 8));
    }
    value.push_back(0);
    value.push_back(0);
    return value;
}

std::vector<uint8_t> NumberValue(uint64_t number, unsigned bytes) {
    std::vector<uint8_t> value(bytes);
    for (unsigned i = 0; i < bytes; ++i) value[i] = static_cast<uint8_t>(number >> (8 * i));
    return value;
}

void Add(std::vector<AsfAttribute> *list, const char16_t *name, AsfValueType type, std::vector<uint8_t> value) {
    list->push_back(AsfAttribute{name, type, std::move(value)});
}

void ReadFileProperties(Cursor body, std::vector<AsfAttribute> *out) {
    if (body.left < kFilePropertiesBytes - kObjectHeaderBytes) return;
    Take(&body, 16);  // file id
    uint64_t fileSize = U64(&body);
    Take(&body, 16);  // creation date, data packet count
    uint64_t playDuration = U64(&body);
    U64(&body);  // send duration
    uint64_t prerollMs = U64(&body);
    uint32_t flags = U32(&body);
    Take(&body, 8);  // smallest and largest packet
    uint32_t maxBitrate = U32(&body);

    // A broadcast's duration and size are not known while it is written.
    bool broadcast = flags & kBroadcastFlag;
    if (!broadcast) {
        // The play duration counts the preroll (milliseconds); the listener
        // hears the rest.
        uint64_t preroll = prerollMs <= playDuration / 10000 ? prerollMs * 10000 : playDuration;
        Add(out, u"Duration", kAsfQword, NumberValue(playDuration - preroll, 8));
    }
    Add(out, u"Bitrate", kAsfDword, NumberValue(maxBitrate, 4));
    Add(out, u"Seekable", kAsfBool, NumberValue((flags & kSeekableFlag) ? 1 : 0, 4));
    Add(out, u"Broadcast", kAsfBool, NumberValue(broadcast ? 1 : 0, 4));
    if (!broadcast) Add(out, u"FileSize", kAsfQword, NumberValue(fileSize, 8));
}

void ReadContentDescription(Cursor body, std::vector<AsfAttribute> *out) {
    static const char16_t *const kNames[5] = {u"Title", u"Author", u"Copyright", u"Description", u"Rating"};
    uint16_t lengths[5];
    for (uint16_t &length : lengths) length = U16(&body);
    for (int i = 0; i < 5 && body.ok; ++i) {
        const uint8_t *text = Take(&body, lengths[i]);
        if (!text) return;
        std::u16string value = Utf16(text, lengths[i]);
        if (!value.empty()) Add(out, kNames[i], kAsfString, StringValue(value));
    }
}

// A value of one of the stored types, in the form the runtime hands it out;
// false when its length does not fit its type. boolBytes: how wide the object
// stores a BOOL (32 bits in the Extended Content Description, 16 in the
// Metadata objects).
bool MakeValue(uint16_t storedType, const uint8_t *bytes, uint64_t length, unsigned boolBytes,
               AsfAttribute *attribute) {
    if (length > kAsfMaxValueBytes) return false;
    Cursor c = MakeCursor(bytes, static_cast<size_t>(length));
    switch (storedType) {
        case 0:
            attribute->type = kAsfString;
            attribute->value = StringValue(Utf16(bytes, static_cast<size_t>(length)));
            return true;
        case 1:
            attribute->type = kAsfBinary;
            attribute->value.assign(bytes, bytes + length);
            return true;
        case 2:
            if (length != boolBytes) return false;
            attribute->type = kAsfBool;
            attribute->value = NumberValue(ReadLittle(&c, boolBytes) != 0, 4);
            return true;
        case 3:
            if (length != 4) return false;
            attribute->type = kAsfDword;
            break;
        case 4:
            if (length != 8) return false;
            attribute->type = kAsfQword;
            break;
        case 5:
            if (length != 2) return false;
            attribute->type = kAsfWord;
            break;
        case 6:
            if (length != 16) return false;
            attribute->type = kAsfGuid;
            break;
        default:
            return false;
    }
    attribute->value.assign(bytes, bytes + length);
    return true;
}

void ReadExtendedContent(Cursor body, std::vector<AsfAttribute> *out) {
    uint16_t count = U16(&body);
    for (uint16_t i = 0; i < count && body.ok; ++i) {
        uint16_t nameBytes = U16(&body);
        const uint8_t *name = Take(&body, nameBytes);
        uint16_t type = U16(&body);
        uint16_t valueBytes = U16(&body);
        const uint8_t *value = Take(&body, valueBytes);
        if (!body.ok) return;
        AsfAttribute attribute{Utf16(name, nameBytes), kAsfBinary, {}};
        if (!attribute.name.empty() && MakeValue(type, value, valueBytes, 4, &attribute))
            out->push_back(std::move(attribute));
    }
}

// The Metadata and Metadata Library Objects share one record layout; only
// the file-level records (stream 0) are the file's attributes.
void ReadMetadataRecords(Cursor body, std::vector<AsfAttribute> *out) {
    uint16_t count = U16(&body);
    for (uint16_t i = 0; i < count && body.ok; ++i) {
        U16(&body);  // reserved, or the language list index
        uint16_t stream = U16(&body);
        uint16_t nameBytes = U16(&body);
        uint16_t type = U16(&body);
        uint32_t valueBytes = U32(&body);
        const uint8_t *name = Take(&body, nameBytes);
        const uint8_t *value = Take(&body, valueBytes);
        if (!body.ok) return;
        AsfAttribute attribute{Utf16(name, nameBytes), kAsfBinary, {}};
        if (stream == 0 && !attribute.name.empty() && MakeValue(type, value, valueBytes, 2, &attribute))
            out->push_back(std::move(attribute));
    }
}

void ReadHeaderExtension(Cursor body, std::vector<AsfAttribute> *metadata, std::vector<AsfAttribute> *library) {
    Take(&body, 18);  // reserved id and reserved word
    uint32_t dataBytes = U32(&body);
    const uint8_t *data = Take(&body, dataBytes);
    if (!data) return;
    Cursor children = MakeCursor(data, dataBytes);
    Child child;
    while (NextChild(&children, &child)) {
        if (SameGuid(child.id, kMetadata))
            ReadMetadataRecords(child.body, metadata);
        else if (SameGuid(child.id, kMetadataLibrary))
            ReadMetadataRecords(child.body, library);
    }
}

void Append(std::vector<AsfAttribute> *to, std::vector<AsfAttribute> *from) {
    for (AsfAttribute &attribute : *from) to->push_back(std::move(attribute));
}

}  // namespace

uint64_t AsfHeaderSize(const uint8_t *data, size_t size) {
    Cursor c = MakeCursor(data, size);
    AsfGuid id;
    if (size < kHeaderObjectBytes || !ReadGuid(&c, &id) || !SameGuid(id, kHeaderObject)) return 0;
    uint64_t declared = U64(&c);
    return declared >= kHeaderObjectBytes ? declared : 0;
}

bool ParseAsfHeader(const uint8_t *data, size_t size, std::vector<AsfAttribute> *attributes) {
    uint64_t declared = AsfHeaderSize(data, size);
    if (declared == 0) return false;
    // A header cut short by the end of the file still gives what it holds.
    size_t headerBytes = declared < size ? static_cast<size_t>(declared) : size;
    Cursor children = MakeCursor(data + kHeaderObjectBytes, headerBytes - kHeaderObjectBytes);

    std::vector<AsfAttribute> file, description, extended, metadata, library;
    Child child;
    while (NextChild(&children, &child)) {
        if (SameGuid(child.id, kFileProperties)) {
            if (file.empty()) ReadFileProperties(child.body, &file);
        } else if (SameGuid(child.id, kContentDescription)) {
            if (description.empty()) ReadContentDescription(child.body, &description);
        } else if (SameGuid(child.id, kExtendedContent)) {
            ReadExtendedContent(child.body, &extended);
        } else if (SameGuid(child.id, kHeaderExtension)) {
            ReadHeaderExtension(child.body, &metadata, &library);
        }
    }
    Append(attributes, &file);
    Append(attributes, &description);
    Append(attributes, &extended);
    Append(attributes, &metadata);
    Append(attributes, &library);
    return true;
}
