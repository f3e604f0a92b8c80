// Native checks of the ASF header reader: headers built by hand, damaged
// headers, and one real file written by ffmpeg; and of what any runtime can
// play of a file.
#include "asf/asf_header.h"

#include <gtest/gtest.h>
#include <stdio.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

typedef std::vector<uint8_t> Bytes;

void Put(Bytes *b, uint64_t value, unsigned bytes) {
    for (unsigned i = 0; i < bytes; ++i) b->push_back(i < 8 ? static_cast<uint8_t>(value >> (8 * i)) : 0);
}

// An object id from its text form, in file byte order.
Bytes Guid(const char *text) {
    unsigned a, b, c, d[8];
    sscanf(text, "%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x", &a, &b, &c, &d[0], &d[1], &d[2], &d[3], &d[4], &d[5],
           &d[6], &d[7]);
    Bytes out;
    Put(&out, a, 4);
    Put(&out, b, 2);
    Put(&out, c, 2);
    for (unsigned x : d) out.push_back(static_cast<uint8_t>(x));
    return out;
}

const char kHeader[] = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
const char kFileProps[] = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
const char kContent[] = "75B22633-668E-11CF-A6D9-00AA0062CE6C";
const char kExtended[] = "D2D0A440-E307-11D2-97F0-00A0C95EA850";
const char kExtension[] = "5FBF03B5-A92E-11CF-8EE3-00C00C205365";
const char kMetadata[] = "C5F8CBEA-5BAF-4877-8467-AA8C44FA4CCA";
const char kLibrary[] = "44231C94-9498-49D1-A141-1D134E457054";
const char kPadding[] = "1806D474-CADF-4509-A4BA-9AABCB96AAE8";
const char kData[] = "75B22636-668E-11CF-A6D9-00AA0062CE6C";

Bytes Object(const char *id, const Bytes &body) {
    Bytes out = Guid(id);
    Put(&out, body.size() + 24, 8);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes Header(const std::vector<Bytes> &children) {
    Bytes body;
    Put(&body, children.size(), 4);
    body.push_back(1);
    body.push_back(2);
    for (const Bytes &child : children) body.insert(body.end(), child.begin(), child.end());
    return Object(kHeader, body);
}

Bytes Utf16(const std::u16string &text, bool terminated = true) {
    Bytes out;
    for (char16_t unit : text) Put(&out, unit, 2);
    if (terminated) Put(&out, 0, 2);
    return out;
}

Bytes FileProperties(uint64_t fileSize, uint64_t playDuration, uint64_t prerollMs, uint32_t flags,
                     uint32_t bitrate) {
    Bytes body(16, 0xAB);  // file id
    Put(&body, fileSize, 8);
    Put(&body, 0, 8);  // creation date
    Put(&body, 7, 8);  // packets
    Put(&body, playDuration, 8);
    Put(&body, playDuration, 8);  // send duration
    Put(&body, prerollMs, 8);
    Put(&body, flags, 4);
    Put(&body, 3200, 4);
    Put(&body, 3200, 4);
    Put(&body, bitrate, 4);
    return Object(kFileProps, body);
}

Bytes ContentDescription(const std::vector<std::u16string> &texts) {
    Bytes body, strings;
    for (const std::u16string &text : texts) {
        Bytes encoded = text.empty() ? Bytes() : Utf16(text);
        Put(&body, encoded.size(), 2);
        strings.insert(strings.end(), encoded.begin(), encoded.end());
    }
    body.insert(body.end(), strings.begin(), strings.end());
    return Object(kContent, body);
}

struct Descriptor {
    std::u16string name;
    uint16_t type;
    Bytes value;
};

Bytes ExtendedContent(const std::vector<Descriptor> &descriptors) {
    Bytes body;
    Put(&body, descriptors.size(), 2);
    for (const Descriptor &d : descriptors) {
        Bytes name = Utf16(d.name);
        Put(&body, name.size(), 2);
        body.insert(body.end(), name.begin(), name.end());
        Put(&body, d.type, 2);
        Put(&body, d.value.size(), 2);
        body.insert(body.end(), d.value.begin(), d.value.end());
    }
    return Object(kExtended, body);
}

struct Record {
    uint16_t stream;
    std::u16string name;
    uint16_t type;
    Bytes value;
};

Bytes MetadataObject(const char *id, const std::vector<Record> &records) {
    Bytes body;
    Put(&body, records.size(), 2);
    for (const Record &r : records) {
        Bytes name = Utf16(r.name);
        Put(&body, 0, 2);
        Put(&body, r.stream, 2);
        Put(&body, name.size(), 2);
        Put(&body, r.type, 2);
        Put(&body, r.value.size(), 4);
        body.insert(body.end(), name.begin(), name.end());
        body.insert(body.end(), r.value.begin(), r.value.end());
    }
    return Object(id, body);
}

Bytes HeaderExtension(const std::vector<Bytes> &children) {
    Bytes data;
    for (const Bytes &child : children) data.insert(data.end(), child.begin(), child.end());
    Bytes body = Guid("ABD3D211-A9BA-11CF-8EE6-00C00C205365");
    Put(&body, 6, 2);
    Put(&body, data.size(), 4);
    body.insert(body.end(), data.begin(), data.end());
    return Object(kExtension, body);
}

Bytes Number(uint64_t value, unsigned bytes) {
    Bytes out;
    Put(&out, value, bytes);
    return out;
}

// One attribute as handed out, kept beyond the call.
struct Attr {
    std::u16string name;
    AsfValueType type;
    Bytes value;
};

// A file in memory that counts what is read of it.
struct MemoryFile {
    const Bytes *bytes;
    uint64_t bytesRead = 0;
};

size_t ReadMemory(void *context, uint64_t offset, void *buffer, size_t size) {
    MemoryFile *file = static_cast<MemoryFile *>(context);
    if (offset >= file->bytes->size()) return 0;
    size_t count = std::min<uint64_t>(size, file->bytes->size() - offset);
    memcpy(buffer, file->bytes->data() + offset, count);
    file->bytesRead += count;
    return count;
}

void Collect(void *context, const AsfAttribute &a) {
    static_cast<std::vector<Attr> *>(context)->push_back(Attr{a.name, a.type, Bytes(a.value, a.value + a.valueBytes)});
}

std::vector<Attr> Parse(const Bytes &bytes, bool *ok = nullptr, uint64_t *bytesRead = nullptr,
                        AsfHeld *held = nullptr) {
    std::vector<Attr> attributes;
    MemoryFile memory{&bytes};
    std::unique_ptr<AsfHeaderFile> file(new AsfHeaderFile);
    file->read = ReadMemory;
    file->readContext = &memory;
    file->fileSize = bytes.size();
    AsfHeld measured;
    bool parsed = ReadAsfHeaderAndData(file.get(), Collect, &attributes, &measured);
    if (ok) *ok = parsed;
    if (bytesRead) *bytesRead = memory.bytesRead;
    if (held) *held = measured;
    return attributes;
}

const Attr *Find(const std::vector<Attr> &list, const std::u16string &name) {
    for (const Attr &a : list)
        if (a.name == name) return &a;
    return nullptr;
}

// A missing attribute fails the case that asked, not the whole program.
uint64_t NumberOf(const Attr *a) {
    if (!a) {
        ADD_FAILURE() << "no such attribute";
        return ~0ull;
    }
    uint64_t value = 0;
    for (size_t i = a->value.size(); i-- > 0;) value = value << 8 | a->value[i];
    return value;
}

std::u16string TextOf(const Attr *a) {
    std::u16string text;
    if (!a) {
        ADD_FAILURE() << "no such attribute";
        return u"(missing)";
    }
    for (size_t i = 0; i + 1 < a->value.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(a->value[i] | a->value[i + 1] << 8);
        if (!unit) break;
        text.push_back(unit);
    }
    return text;
}

std::vector<std::u16string> Names(const std::vector<Attr> &list) {
    std::vector<std::u16string> names;
    for (const Attr &a : list) names.push_back(a.name);
    return names;
}

TEST(AsfHeader, FilePropertiesGiveDurationWithoutPrerollBitrateSizeAndFlags) {
    // 8 minutes of sound after a 3.1 s preroll.
    Bytes h = Header({FileProperties(123456789012ull, 4800000000ull + 31000000, 3100, 2, 128000)});
    auto list = Parse(h);
    ASSERT_EQ(Names(list), (std::vector<std::u16string>{u"Duration", u"Bitrate", u"Seekable", u"Broadcast",
                                                         u"FileSize"}));
    EXPECT_EQ(list[0].type, kAsfQword);
    EXPECT_EQ(NumberOf(&list[0]), 4800000000ull);
    EXPECT_EQ(list[1].type, kAsfDword);
    EXPECT_EQ(NumberOf(&list[1]), 128000u);
    EXPECT_EQ(list[2].type, kAsfBool);
    EXPECT_EQ(list[2].value.size(), 4u);
    EXPECT_EQ(NumberOf(&list[2]), 1u);
    EXPECT_EQ(NumberOf(&list[3]), 0u);
    EXPECT_EQ(list[4].type, kAsfQword);
    EXPECT_EQ(NumberOf(&list[4]), 123456789012ull);
}

TEST(AsfHeader, BroadcastHasNoDurationOrSizeAndPrerollNeverUnderflows) {
    auto broadcast = Parse(Header({FileProperties(999, 50000000, 0, 1, 64000)}));
    EXPECT_EQ(Names(broadcast), (std::vector<std::u16string>{u"Bitrate", u"Seekable", u"Broadcast"}));
    EXPECT_EQ(NumberOf(Find(broadcast, u"Broadcast")), 1u);
    // A preroll longer than the whole play duration, and one so large that
    // converting it to 100-ns units would overflow.
    EXPECT_EQ(NumberOf(Find(Parse(Header({FileProperties(1, 10000, 5, 0, 1)})), u"Duration")), 0u);
    EXPECT_EQ(NumberOf(Find(Parse(Header({FileProperties(1, 10000, ~0ull, 0, 1)})), u"Duration")), 0u);
}

TEST(AsfHeader, ContentDescriptionGivesItsNonEmptyTexts) {
    auto list = Parse(Header({ContentDescription({u"Caf\u00e9 \u00dcberschall", u"M\u00fcller", u"", u"Notes",
                                                  u"\u041a\u0438\u043d\u043e"})}));
    ASSERT_EQ(Names(list), (std::vector<std::u16string>{u"Title", u"Author", u"Description", u"Rating"}));
    EXPECT_EQ(list[0].type, kAsfString);
    EXPECT_EQ(TextOf(&list[0]), u"Caf\u00e9 \u00dcberschall");
    // Texts are handed out with exactly one terminating zero unit.
    EXPECT_EQ(list[0].value.size(), (15u + 1) * 2);
    EXPECT_EQ(TextOf(&list[1]), u"M\u00fcller");
    EXPECT_EQ(TextOf(&list[3]), u"\u041a\u0438\u043d\u043e");
}

TEST(AsfHeader, ExtendedDescriptorsKeepTheirNamesTypesAndOrder) {
    auto list = Parse(Header({ExtendedContent({
        {u"WM/AlbumTitle", 0, Utf16(u"Album")},
        {u"WM/TrackNumber", 3, Number(5, 4)},
        {u"WM/Picture", 1, Bytes{1, 2, 3}},
        {u"IsVBR", 2, Number(1, 4)},
        {u"WM/Big", 4, Number(0x1122334455667788ull, 8)},
        {u"WM/Small", 5, Number(0xBEEF, 2)},
        {u"WM/Year", 0, Utf16(u"2001", false)},  // stored without its terminator
    })}));
    ASSERT_EQ(Names(list), (std::vector<std::u16string>{u"WM/AlbumTitle", u"WM/TrackNumber", u"WM/Picture",
                                                         u"IsVBR", u"WM/Big", u"WM/Small", u"WM/Year"}));
    EXPECT_EQ(TextOf(&list[0]), u"Album");
    EXPECT_EQ(list[1].type, kAsfDword);
    EXPECT_EQ(NumberOf(&list[1]), 5u);
    EXPECT_EQ(list[2].type, kAsfBinary);
    EXPECT_EQ(list[2].value, (Bytes{1, 2, 3}));
    EXPECT_EQ(list[3].type, kAsfBool);
    EXPECT_EQ(list[4].type, kAsfQword);
    EXPECT_EQ(NumberOf(&list[4]), 0x1122334455667788ull);
    EXPECT_EQ(list[5].type, kAsfWord);
    EXPECT_EQ(NumberOf(&list[5]), 0xBEEFu);
    EXPECT_EQ(TextOf(&list[6]), u"2001");
}

TEST(AsfHeader, DescriptorsWhoseLengthDoesNotFitTheirTypeAreSkipped) {
    auto list = Parse(Header({ExtendedContent({
        {u"ShortDword", 3, Number(5, 2)},
        {u"LongQword", 4, Number(5, 9)},
        {u"UnknownType", 9, Number(5, 4)},
        {u"", 0, Utf16(u"nameless")},
        {u"Kept", 5, Number(7, 2)},
    })}));
    EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"Kept"}));
}

TEST(AsfHeader, MetadataObjectsGiveOnlyFileLevelRecords) {
    auto list = Parse(Header({HeaderExtension({
        MetadataObject(kMetadata, {{0, u"WM/Mood", 0, Utf16(u"calm")}, {1, u"StreamOnly", 3, Number(1, 4)}}),
        Object(kPadding, Bytes(10, 0)),
        MetadataObject(kLibrary, {{2, u"Other", 0, Utf16(u"x")},
                                  {0, u"WM/Flag", 2, Number(1, 2)},
                                  {0, u"WM/MediaClassPrimaryID", 6, Bytes(16, 0x5A)}}),
    })}));
    ASSERT_EQ(Names(list), (std::vector<std::u16string>{u"WM/Mood", u"WM/Flag", u"WM/MediaClassPrimaryID"}));
    EXPECT_EQ(TextOf(&list[0]), u"calm");
    // The Metadata objects store a BOOL in 16 bits; it is handed out in 32.
    EXPECT_EQ(list[1].type, kAsfBool);
    EXPECT_EQ(list[1].value, Number(1, 4));
    EXPECT_EQ(list[2].type, kAsfGuid);
    EXPECT_EQ(list[2].value, Bytes(16, 0x5A));
}

TEST(AsfHeader, AttributesComeInObjectOrderWhateverTheFileOrder) {
    auto list = Parse(Header({
        HeaderExtension({MetadataObject(kMetadata, {{0, u"M", 0, Utf16(u"m")}})}),
        ExtendedContent({{u"E", 0, Utf16(u"e")}}),
        ContentDescription({u"T", u"", u"", u"", u""}),
        FileProperties(1, 0, 0, 0, 1),
    }));
    EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"Duration", u"Bitrate", u"Seekable", u"Broadcast",
                                                         u"FileSize", u"Title", u"E", u"M"}));
}

TEST(AsfHeader, NotAWholeAsfFile) {
    bool ok = true;
    Parse(Bytes(), &ok);
    EXPECT_FALSE(ok);
    Parse(Object(kContent, Bytes(30, 0)), &ok);
    EXPECT_FALSE(ok);
    Bytes tiny = Header({});
    tiny[16] = 29;  // declares less than its own fixed part
    Parse(tiny, &ok);
    EXPECT_FALSE(ok);
    // A header longer than the file is a file cut short: nothing of it is read.
    Bytes h = Header({FileProperties(1, 0, 0, 0, 1), ContentDescription({u"Title", u"", u"", u"", u""})});
    Bytes cut(h.begin(), h.end() - 4);
    EXPECT_TRUE(Parse(cut, &ok).empty());
    EXPECT_FALSE(ok);
    Parse(h, &ok);
    EXPECT_TRUE(ok);
}

// An audio stream's properties: a WAVEFORMATEX whose average is given.
Bytes AudioStream(unsigned number, uint32_t bytesPerSecond) {
    Bytes body = Guid("F8699E40-5B4D-11CF-A8FD-00805F5C442B");
    Bytes noCorrection = Guid("20FB5700-5B55-11CF-A8FD-00805F5C442B");
    body.insert(body.end(), noCorrection.begin(), noCorrection.end());
    Put(&body, 0, 8);   // time offset
    Put(&body, 18, 4);  // format bytes
    Put(&body, 0, 4);   // error correction bytes
    Put(&body, number, 2);
    Put(&body, 0, 4);
    for (uint64_t field : {0x161, 1, 8000}) Put(&body, field, field == 8000 ? 4 : 2);
    Put(&body, bytesPerSecond, 4);
    Put(&body, 0, 6);  // block align, bits, extra bytes
    return Object("B7DC0791-A9B7-11CF-8EE6-00C00C205365", body);
}

// A stream declared in the header extension, with a name and a payload
// extension system before its stream properties.
Bytes ExtendedStream(unsigned number, const Bytes &properties) {
    Bytes body(48, 0);  // times, rates, buffers, largest object, flags
    Put(&body, number, 2);
    Put(&body, 0, 10);  // language, time per frame
    for (uint64_t field : {1, 1, 0, 2, 0x53}) Put(&body, field, 2);  // counts; the name "S"
    Bytes system = Guid("399595EC-8667-4E2D-8FDB-98814CE76C1E");
    body.insert(body.end(), system.begin(), system.end());
    for (uint64_t field : {2, 1}) Put(&body, field, field == 1 ? 4 : 2);
    body.push_back(0x77);
    body.insert(body.end(), properties.begin(), properties.end());
    return Object("14E6A5CB-C672-4332-8399-A96952065B5A", body);
}

// One payload: of an object of `objectBytes`, `dataBytes` at `offset`;
// with `deltaMs`, compressed: dataBytes / (objectBytes + 1) whole objects.
struct Payload {
    unsigned stream;
    uint32_t presentationMs, objectBytes, offset, dataBytes, deltaMs;
};

// A 3,200-byte packet sent at 0 (as a server may send long before the
// sound plays): with `timed`, replicated data of 8 bytes; two bytes of error correction data; packet length and
// padding in 2 bytes each; replicated data length, object offset and
// object number in 1, 4 and 1 bytes; payload lengths in 2.
Bytes Packet(const std::vector<Payload> &payloads, bool timed) {
    Bytes p = {0x82, 0, 0, 0x51, 0x5D};
    Put(&p, 3200, 2);
    size_t padding = p.size();
    Put(&p, 0, 2 + 4 + 2);
    p.push_back(static_cast<uint8_t>(0x80 | payloads.size()));
    for (const Payload &x : payloads) {
        p.push_back(static_cast<uint8_t>(x.stream));
        Put(&p, 0, 1);
        Put(&p, x.deltaMs ? x.presentationMs : x.offset, 4);
        Put(&p, x.deltaMs ? 1 : timed ? 8 : 0, 1);
        if (x.deltaMs) Put(&p, x.deltaMs, 1);
        if (!x.deltaMs && timed) for (uint32_t field : {x.objectBytes, x.presentationMs}) Put(&p, field, 4);
        Put(&p, x.dataBytes, 2);
        for (uint32_t at = 0; at < x.dataBytes; ++at) p.push_back(x.deltaMs && at % (x.objectBytes + 1) == 0 ? x.objectBytes : 0x3C);
    }
    p[padding] = static_cast<uint8_t>((3200 - p.size()) & 0xFF);
    p[padding + 1] = static_cast<uint8_t>((3200 - p.size()) >> 8);
    p.resize(3200, 0);
    return p;
}

// Six packets after a preroll of 1 s. Stream 1 (1,000 bytes a second)
// has an object of 1 s in each, packet k's sound ending at (k + 1) s;
// packet 2's as four compressed objects of 250 bytes. Stream 2 (500 bytes
// a second, declared in the header extension) has one object of 0.5 s in
// packet 4, ending at 6.5 s, after everything in packet 5. `touch` may
// change each packet k once it is built; `extra` children follow the
// header's own.
Bytes FileOfSixPackets(uint32_t flags = 0, bool timed = true,
                       const std::function<void(uint32_t k, Bytes *packet)> &touch = nullptr,
                       const std::vector<Bytes> &extra = {}) {
    std::vector<Bytes> children = {FileProperties(1, 70000000, 1000, flags, 1), AudioStream(1, 1000),
                                   HeaderExtension({ExtendedStream(2, AudioStream(2, 500))})};
    children.insert(children.end(), extra.begin(), extra.end());
    Bytes file = Header(children);
    Bytes data = Guid(kData);
    Put(&data, 50 + 6 * 3200, 8);
    data.resize(data.size() + 16, 0xCD);  // file id
    Put(&data, 6, 8);
    Put(&data, 0x0101, 2);
    for (uint32_t k = 0; k < 6; ++k) {
        std::vector<Payload> payloads = {{1, 1000 + 1000 * k, 1000, 0, 1000, 0}};
        if (k == 2 && timed) payloads = {{1, 3000, 250, 0, 4 * 251, 250}};
        if (k == 4) payloads.push_back({2, 7000, 250, 0, 250, 0});
        Bytes packet = Packet(payloads, timed);
        if (touch) touch(k, &packet);
        data.insert(data.end(), packet.begin(), packet.end());
    }
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

AsfHeld HeldBy(const Bytes &file) {
    AsfHeld held = {};
    held.endMs = ~0u;
    Parse(file, nullptr, nullptr, &held);
    return held;
}

// Where the sound the payloads carry ends, less the preroll; a packet that
// does not parse (cut, zeros, bytes shifted, an unknown stream) never
// counts. Packets of varying size, no Data Object after the header, or no
// presentation time: not known.
TEST(AsfHeader, HeldUntilTheLastObjectThatParsesEnds) {
    const Bytes whole = FileOfSixPackets();
    const size_t data = whole.size() - 6 * 3200;
    const struct {
        size_t size;
        uint32_t endMs;
    } cuts[] = {{whole.size(), 6500}, {data + 4 * 3200 + 100, 4000}, {data + 2 * 3200, 2000}, {data + 100, 0},
                {data - 50, 0}};
    for (const auto &cut : cuts) {
        AsfHeld held = HeldBy(Bytes(whole.begin(), whole.begin() + cut.size));
        EXPECT_TRUE(held.known) << cut.size;
        EXPECT_EQ(held.endMs, cut.endMs) << cut.size;
    }
    Bytes zeroTail = whole;
    std::fill(zeroTail.begin() + data + 3 * 3200, zeroTail.end(), 0);
    EXPECT_EQ(HeldBy(zeroTail).endMs, 3000u);
    Bytes shifted = whole;
    shifted.erase(shifted.begin() + data + 1200, shifted.begin() + data + 1300);  // in packet 0's data
    EXPECT_EQ(HeldBy(shifted).endMs, 1000u);
    Bytes foreign = whole;
    foreign[data + 4 * 3200 + 16] = 3;  // packet 4: a stream the header does not declare
    EXPECT_EQ(HeldBy(foreign).endMs, 6000u);
    Bytes noneParse = whole;
    std::fill(noneParse.begin() + data, noneParse.end(), 0);
    EXPECT_TRUE(HeldBy(noneParse).known);
    EXPECT_EQ(HeldBy(noneParse).endMs, 0u);
    EXPECT_EQ(HeldBy(FileOfSixPackets(1)).endMs, 6500u);

    EXPECT_FALSE(HeldBy(FileOfSixPackets(0, false)).known);  // no presentation time anywhere
    Bytes varying = whole;
    varying[30 + 24 + 72] ^= 1;  // the largest packet's size
    EXPECT_FALSE(HeldBy(varying).known);
    Bytes other = whole;
    other[data - 50] ^= 0xFF;
    EXPECT_FALSE(HeldBy(other).known);
    EXPECT_FALSE(HeldBy(Header({ContentDescription({u"T", u"", u"", u"", u""})})).known);
}

// Sets the 64-bit size field of the object that starts at offset.
void SetSize(Bytes *b, size_t offset, uint64_t size) {
    for (int i = 0; i < 8; ++i) (*b)[offset + 16 + i] = static_cast<uint8_t>(size >> (8 * i));
}

TEST(AsfHeader, DamagedObjectSizesStopTheWalkAndKeepWhatCameBefore) {
    Bytes content = ContentDescription({u"Before", u"", u"", u"", u""});
    Bytes extended = ExtendedContent({{u"After", 0, Utf16(u"x")}});
    const size_t second = 30 + content.size();
    for (uint64_t size : {0ull, 23ull, extended.size() + 1ull, ~0ull, ~0ull - 10}) {
        Bytes h = Header({content, extended});
        SetSize(&h, second, size);
        EXPECT_EQ(Names(Parse(h)), (std::vector<std::u16string>{u"Title"})) << "declared size " << size;
    }
}

TEST(AsfHeader, CountsAndLengthsBeyondTheirObjectAreNeverRead) {
    // A descriptor count larger than the descriptors present.
    Bytes h = Header({ExtendedContent({{u"One", 0, Utf16(u"1")}})});
    h[30 + 24] = 200;
    EXPECT_EQ(Names(Parse(h)), (std::vector<std::u16string>{u"One"}));

    // A text length that runs past the Content Description Object.
    Bytes c = Header({ContentDescription({u"T", u"A", u"", u"", u""})});
    c[30 + 24 + 2] = 0xFF;
    EXPECT_EQ(Names(Parse(c)), (std::vector<std::u16string>{u"Title"}));

    // A header extension whose data size exceeds the object.
    Bytes e = Header({HeaderExtension({MetadataObject(kMetadata, {{0, u"M", 0, Utf16(u"m")}})})});
    e[30 + 24 + 18] = 0xFF;
    EXPECT_TRUE(Parse(e).empty());

    // A metadata record whose 32-bit value length points far past the end.
    Bytes m = Header({HeaderExtension({MetadataObject(kMetadata, {{0, u"M", 0, Utf16(u"m")}})})});
    const size_t record = 30 + 46 + 24 + 2;
    m[record + 8] = 0xF0;
    m[record + 11] = 0x7F;
    EXPECT_TRUE(Parse(m).empty());

    // A File Properties Object too short for its fields.
    EXPECT_TRUE(Parse(Header({Object(kFileProps, Bytes(79, 0))})).empty());
}

TEST(AsfHeader, LargeValuesAreSteppedOverNotRead) {
    // A 2 MB picture, a 64 KB blob and a long text: only the text's first
    // kilobyte, enough for any tag field, is handed out.
    std::u16string longText(3000, u'x');
    Bytes h = Header({HeaderExtension({MetadataObject(
                          kLibrary, {{0, u"WM/Picture", 1, Bytes(2 << 20, 7)}, {0, u"Fits", 1, Bytes(0xFFFF, 7)}})}),
                      ContentDescription({longText, u"", u"", u"", u""})});
    uint64_t bytesRead = 0;
    auto list = Parse(h, nullptr, &bytesRead);
    ASSERT_EQ(Names(list), (std::vector<std::u16string>{u"Title", u"Fits"}));
    EXPECT_EQ(list[0].value.size(), static_cast<size_t>(kAsfValuePrefixBytes));
    EXPECT_EQ(TextOf(&list[0]), longText.substr(0, kAsfValuePrefixBytes / 2));
    EXPECT_EQ(list[1].value.size(), static_cast<size_t>(kAsfValuePrefixBytes));
    EXPECT_LT(bytesRead, 200000u) << "the picture was read";
}

TEST(AsfHeader, AHundredThousandDescriptors) {
    // Two objects of 50,000 copies of one descriptor each.
    Bytes one = ExtendedContent({{u"WM/Track", 5, Number(9, 2)}});
    Bytes body;
    Put(&body, 50000, 2);
    for (int i = 0; i < 50000; ++i) body.insert(body.end(), one.begin() + 26, one.end());
    Bytes half = Object(kExtended, body);
    auto list = Parse(Header({half, half}));
    ASSERT_EQ(list.size(), 100000u);
    EXPECT_EQ(list[99999].name, u"WM/Track");
    EXPECT_EQ(NumberOf(&list[99999]), 9u);
}

// A header that claims a whole 64 MB file as 24-byte objects of no known
// kind, made up as it is read.
size_t ReadTinyObjects(void *context, uint64_t offset, void *buffer, size_t size) {
    uint64_t *bytesRead = static_cast<uint64_t *>(context);
    Bytes head = Header({});
    Put(&head, 0, 8);  // the fixed part is 30 bytes: align the objects on 24 from here
    uint8_t *out = static_cast<uint8_t *>(buffer);
    for (size_t i = 0; i < size; ++i) {
        uint64_t at = offset + i;
        if (at < 30) {
            out[i] = head[at];
            if (at >= 16 && at < 24) out[i] = static_cast<uint8_t>((64ull << 20) >> (8 * (at - 16)));
        } else {
            uint64_t within = (at - 30) % 24;
            out[i] = within < 16 ? 0x11 : within == 16 ? 24 : 0;
        }
    }
    *bytesRead += size;
    return size;
}

TEST(AsfHeader, AHeaderOfCountlessTinyObjectsIsReadOnlyInPart) {
    uint64_t bytesRead = 0;
    std::unique_ptr<AsfHeaderFile> file(new AsfHeaderFile);
    file->read = ReadTinyObjects;
    file->readContext = &bytesRead;
    file->fileSize = 64ull << 20;
    std::vector<Attr> attributes;
    AsfHeld held;
    EXPECT_TRUE(ReadAsfHeaderAndData(file.get(), Collect, &attributes, &held));
    EXPECT_TRUE(attributes.empty());
    // The objects it may examine lie within the first window or two.
    EXPECT_LE(bytesRead, 2u * kAsfWindowBytes);
}

// Packet 4 as the format allows it to be laid out, and damaged: its sound
// (stream 2's, ending at 6.5 s) counts only where it parses whole; without
// it the file's ends at 6 s. Offsets in the packet: flags at 0, packet
// length at 5, padding at 7; the second payload's object offset at 1035.
TEST(AsfHeader, PacketsParseInEveryLayoutTheFormatAllowsAndNotWhenDamaged) {
    auto endWith = [](const std::function<void(Bytes *)> &change) {
        return HeldBy(FileOfSixPackets(0, true, [&](uint32_t k, Bytes *p) { if (k == 4) change(p); })).endMs;
    };
    auto set16 = [](Bytes *p, size_t at, unsigned value) {
        (*p)[at] = static_cast<uint8_t>(value);
        (*p)[at + 1] = static_cast<uint8_t>(value >> 8);
    };
    auto get16 = [](const Bytes &p, size_t at) { return static_cast<unsigned>(p[at] | p[at + 1] << 8); };
    EXPECT_EQ(endWith([](Bytes *) {}), 6500u);
    EXPECT_EQ(endWith([](Bytes *p) { (*p)[0] = 0x92; }), 6500u) << "opaque data bit";
    EXPECT_EQ(endWith([](Bytes *p) { (*p)[0] = 0xA0; }), 6500u) << "error correction of the two-byte kind";
    EXPECT_EQ(endWith([&](Bytes *p) {  // a packet shorter than the packet size: the rest is padding
        set16(p, 5, 3100);
        set16(p, 7, get16(*p, 7) - 100);
    }), 6500u);
    EXPECT_EQ(endWith([&](Bytes *p) {  // consistent in itself, but longer than the packet size
        set16(p, 5, 3201);
        set16(p, 7, get16(*p, 7) + 1);
    }), 6000u);
    EXPECT_EQ(endWith([&](Bytes *p) { set16(p, 7, get16(*p, 7) - 1); }), 6000u) << "payloads and padding leave a byte";
    EXPECT_EQ(endWith([&](Bytes *p) { set16(p, 7, get16(*p, 7) + 1); }), 6000u) << "padding overlaps a payload";
    EXPECT_EQ(endWith([](Bytes *p) { (*p)[1035] = 1; }), 6000u) << "a fragment that runs past its object";
}

AsfContent ContentOf(const Bytes &file) { return HeldBy(file).content; }

// Sound takes a header that reads whole, an audio stream and a packet that
// parses; a file that is no ASF is left to the runtime.
TEST(AsfHeader, WhatAnyRuntimeCanPlayOfTheFile) {
    const Bytes whole = FileOfSixPackets();
    const size_t data = whole.size() - 6 * 3200;
    EXPECT_EQ(ContentOf(whole), kAsfSound);
    EXPECT_FALSE(HeldBy(whole).protectedContent);
    EXPECT_EQ(ContentOf(Bytes(whole.begin(), whole.begin() + data + 3199)), kAsfSilent) << "no whole packet";
    Bytes zeros = whole;
    std::fill(zeros.begin() + data, zeros.end(), 0);
    EXPECT_EQ(ContentOf(zeros), kAsfSilent);
    Bytes onlyPacket1 = zeros;  // the halving from the last packet steps over it
    std::copy(whole.begin() + data + 3200, whole.begin() + data + 6400, onlyPacket1.begin() + data + 3200);
    EXPECT_EQ(ContentOf(onlyPacket1), kAsfSound);
    EXPECT_EQ(HeldBy(onlyPacket1).endMs, 2000u);

    Bytes absurdCount = whole, fewerCounted = whole;
    absurdCount[24] = absurdCount[25] = absurdCount[26] = absurdCount[27] = 0xFF;
    fewerCounted[24] = 2;
    EXPECT_EQ(ContentOf(absurdCount), kAsfSilent);
    EXPECT_EQ(ContentOf(fewerCounted), kAsfSound);
    Bytes noData = whole, varying = whole, noAudio = whole;
    noData[data - 50] ^= 0xFF;
    varying[30 + 24 + 72] ^= 1;  // the largest packet's size
    const Bytes audio = Guid("F8699E40-5B4D-11CF-A8FD-00805F5C442B");
    for (auto at = noAudio.begin(); (at = std::search(at, noAudio.end(), audio.begin(), audio.end())) != noAudio.end();)
        *at ^= 0xFF;  // streams 1 and 2 of another media type
    const size_t stream1 = 30 + 104;  // after the File Properties Object
    EXPECT_EQ(ContentOf(noData), kAsfSilent);
    EXPECT_EQ(ContentOf(varying), kAsfSilent);
    EXPECT_EQ(ContentOf(noAudio), kAsfSilent);
    EXPECT_EQ(ContentOf(Bytes(whole.begin(), whole.begin() + data - 1)), kAsfSilent) << "header past the file";
    EXPECT_EQ(ContentOf(Bytes{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0}), kAsfUnjudged);

    // What Wine's demuxer refuses while reading the header: a child running
    // past it, a protection object among the children it counts.
    Bytes past = whole;
    past[stream1 + 16] += 1;
    EXPECT_EQ(ContentOf(past), kAsfSilent);
    Bytes encryption = Object("2211B3FB-BD23-11D2-B4B7-00A0C955FC6E", Bytes(16, 0));
    Bytes guarded = FileOfSixPackets(0, true, nullptr, {encryption});
    EXPECT_TRUE(HeldBy(guarded).protectedContent);
    EXPECT_EQ(ContentOf(guarded), kAsfSound);
    guarded[24] = 3;  // the protection object lies past the count: never read
    EXPECT_FALSE(HeldBy(guarded).protectedContent);
}

#ifdef ASF_SAMPLE_FILE
// A file written by ffmpeg with known tags (see native.cmake).
TEST(AsfHeader, RealFileWrittenByFfmpeg) {
    FILE *f = fopen(ASF_SAMPLE_FILE, "rb");
    ASSERT_NE(f, nullptr) << ASF_SAMPLE_FILE;
    Bytes file;
    int ch;
    while ((ch = fgetc(f)) != EOF) file.push_back(static_cast<uint8_t>(ch));
    fclose(f);

    bool ok = false;
    std::vector<Attr> list = Parse(file, &ok);
    ASSERT_TRUE(ok);

    ASSERT_NE(Find(list, u"FileSize"), nullptr);
    EXPECT_EQ(NumberOf(Find(list, u"FileSize")), file.size());
    ASSERT_NE(Find(list, u"Duration"), nullptr);
    // Two seconds of sound; the encoder's last frame may run a little over.
    uint64_t duration = NumberOf(Find(list, u"Duration"));
    EXPECT_GE(duration, 20000000u);
    EXPECT_LE(duration, 20500000u);
    EXPECT_EQ(NumberOf(Find(list, u"Bitrate")), 64000u);
    ASSERT_NE(Find(list, u"Title"), nullptr);
    EXPECT_EQ(TextOf(Find(list, u"Title")), u"Caf\u00e9 \u00dcberschall");
    EXPECT_EQ(TextOf(Find(list, u"Author")), u"M\u00fcller");
    ASSERT_NE(Find(list, u"WM/AlbumTitle"), nullptr);
    EXPECT_EQ(TextOf(Find(list, u"WM/AlbumTitle")), u"\u041a\u0438\u043d\u043e");
    ASSERT_NE(Find(list, u"WM/TrackNumber"), nullptr);
    EXPECT_EQ(TextOf(Find(list, u"WM/TrackNumber")), u"5");
    // Its last packet ends where its sound does; its one audio stream is
    // as ffmpeg was asked to write it.
    AsfHeld held = HeldBy(file);
    EXPECT_EQ(held.content, kAsfSound);
    ASSERT_EQ(held.audioCount, 1u);
    EXPECT_EQ(held.audio[0].formatTag, 0x161u);
    EXPECT_EQ(held.audio[0].sampleRate, 22050u);
    EXPECT_EQ(held.audio[0].channels, 1u);
    EXPECT_TRUE(held.known);
    EXPECT_NEAR(held.endMs, duration / 10000.0, 200);
}
#endif

}  // namespace
