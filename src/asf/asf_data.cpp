#include "asf/asf_data.h"

#include "asf/asf_bytes.h"

using namespace asf;

const Guid asf::kDataObject = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                               0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

namespace {

enum {
    // Window fills the packet walk may make, apart from the header's: the
    // halving takes one a packet, some 30 for a billion packets.
    kMostDataFills = 64,
    // Packets looked at before the last that parses, for another audio
    // stream's last object; interleaving keeps streams a few packets apart.
    kMostPacketsBefore = 16,
    // Packets looked at from the first on before a file is said to hold none
    // that parses: the halving, which looks for the last, may step over a
    // few good ones after a damaged first.
    kMostFirstPackets = 16,
};

// The widths a 2-bit length type gives a field.
unsigned Width(unsigned lengthType) {
    static const unsigned kWidths[4] = {0, 1, 2, 4};
    return kWidths[lengthType & 3];
}

// What the payloads of some packets tell of the sound.
struct Sound {
    bool timed;  // a payload of an audio stream carried a presentation time
    uint64_t startMs, endMs;  // presentation times, the preroll included
    bool seen[kAsfMostStreams];  // audio streams with a timed payload
};

void NoteObject(const AsfDataLayout &layout, unsigned stream, uint64_t presentationMs, uint64_t objectBytes,
                Sound *sound) {
    uint32_t perSecond = layout.audioBytesPerSecond[stream];
    if (!perSecond) return;
    sound->seen[stream] = true;
    uint64_t end = presentationMs + objectBytes * 1000 / perSecond;
    if (!sound->timed || end > sound->endMs) sound->endMs = end;
    if (!sound->timed || presentationMs < sound->startMs) sound->startMs = presentationMs;
    sound->timed = true;
}

// A compressed payload: whole small objects one after another, each a byte
// of length and its data, the first at `presentationMs`, each next one
// `deltaMs` later.
bool ReadSubPayloads(AsfHeaderFile *file, const AsfDataLayout &layout, Span data, unsigned stream,
                     uint64_t presentationMs, uint8_t deltaMs, Sound *sound) {
    for (uint64_t index = 0; data.at < data.end; ++index) {
        uint64_t bytes = Number(file, &data, 1);
        Skip(&data, bytes);
        if (!data.ok || bytes == 0) return false;
        NoteObject(layout, stream, presentationMs + index * deltaMs, bytes, sound);
    }
    return true;
}

// One payload, from its stream number on; its data ends at most at `end`.
// lengthWidth: the width of its own length field (multiple payloads), or 0
// where its data runs to `end`.
bool ReadPayload(AsfHeaderFile *file, const AsfDataLayout &layout, Span *packet, uint8_t properties,
                 unsigned lengthWidth, uint64_t end, Sound *sound) {
    unsigned stream = Number(file, packet, 1) & 0x7F;
    Number(file, packet, Width(properties >> 4));  // media object number
    uint64_t offset = Number(file, packet, Width(properties >> 2));
    uint64_t replicated = Number(file, packet, Width(properties));
    if (!packet->ok || !layout.declared[stream]) return false;
    bool compressed = replicated == 1;
    uint64_t objectBytes = 0, presentationMs = offset;
    uint8_t deltaMs = 0;
    if (compressed) {
        deltaMs = static_cast<uint8_t>(Number(file, packet, 1));
    } else if (replicated >= 8) {
        objectBytes = U32(file, packet);
        presentationMs = U32(file, packet);
        Skip(packet, replicated - 8);
    } else {
        Skip(packet, replicated);  // no presentation time
    }
    uint64_t dataBytes = lengthWidth ? Number(file, packet, lengthWidth) : end - packet->at;
    if (!packet->ok || packet->at > end || dataBytes > end - packet->at) return false;
    Span data{packet->at, packet->at + dataBytes, true};
    packet->at = data.end;
    if (compressed) return ReadSubPayloads(file, layout, data, stream, presentationMs, deltaMs, sound);
    if (replicated < 8) return true;
    if (offset > objectBytes || dataBytes > objectBytes - offset) return false;  // a fragment past its object
    NoteObject(layout, stream, presentationMs, objectBytes, sound);
    return true;
}

// Reads packet `index`; false, with *sound as it was, when it does not parse.
bool ReadPacket(AsfHeaderFile *file, const AsfDataLayout &layout, uint64_t index, Sound *sound) {
    uint64_t start = layout.dataAt + kDataHeadBytes + index * layout.packetBytes;
    Span packet{start, start + layout.packetBytes, true};
    uint8_t flags = static_cast<uint8_t>(Number(file, &packet, 1));
    if (flags & 0x80) {
        // Error correction data first: as long as the flags say where their
        // length type is 0, else the two bytes of the only kind there is.
        // The opaque data bit (0x10) changes nothing of the layout.
        Skip(&packet, (flags & 0x60) ? 2 : flags & 0x0F);
        flags = static_cast<uint8_t>(Number(file, &packet, 1));
    }
    uint8_t properties = static_cast<uint8_t>(Number(file, &packet, 1));
    // A packet's stream numbers are one byte; error correction comes only first.
    if (!packet.ok || (flags & 0x80) || (properties >> 6) != 1) return false;
    uint64_t length = Number(file, &packet, Width(flags >> 5));
    Number(file, &packet, Width(flags >> 1));  // sequence
    uint64_t padding = Number(file, &packet, Width(flags >> 3));
    Skip(&packet, 6);  // send time and duration
    if (Width(flags >> 5)) {
        if (length > layout.packetBytes || length < packet.at - start) return false;
        packet.end = start + length;
    }
    if (!packet.ok || padding > packet.end - packet.at) return false;
    uint64_t end = packet.end - padding;
    Sound read = *sound;
    if (!(flags & 1)) return ReadPayload(file, layout, &packet, properties, 0, end, &read) && (*sound = read, true);
    uint8_t payloads = static_cast<uint8_t>(Number(file, &packet, 1));
    unsigned lengthWidth = Width(payloads >> 6);
    if (!packet.ok || (payloads & 0x3F) == 0 || lengthWidth == 0) return false;
    for (unsigned i = 0; i < (payloads & 0x3FU); ++i)
        if (!ReadPayload(file, layout, &packet, properties, lengthWidth, end, &read)) return false;
    if (packet.at != end) return false;  // payloads and padding fill the packet
    *sound = read;
    return true;
}

// The last of the first `count` packets that parses, or -1; packet
// count - 1 first, then halving, on the understanding that the packets that
// parse come before those that do not.
int64_t LastParsing(AsfHeaderFile *file, const AsfDataLayout &layout, uint64_t count, Sound *sound) {
    if (ReadPacket(file, layout, count - 1, sound)) return static_cast<int64_t>(count - 1);
    int64_t parses = -1, fails = static_cast<int64_t>(count - 1);
    Sound last = *sound;
    while (fails - parses > 1) {
        int64_t middle = parses + (fails - parses) / 2;
        Sound probe = *sound;
        if (ReadPacket(file, layout, static_cast<uint64_t>(middle), &probe)) {
            parses = middle;
            last = probe;
        } else {
            fails = middle;
        }
    }
    *sound = last;
    return parses;
}

// The first of the first few packets that parses, or -1.
int64_t FirstParsing(AsfHeaderFile *file, const AsfDataLayout &layout, uint64_t count, Sound *sound) {
    for (uint64_t packet = 0; packet < count && packet < kMostFirstPackets; ++packet)
        if (ReadPacket(file, layout, packet, sound)) return static_cast<int64_t>(packet);
    return -1;
}

// The whole packets of the Data Object that follows the header (no more
// than that object declares: an index may follow it).
uint64_t WholePackets(AsfHeaderFile *file, const AsfDataLayout &layout, bool *found) {
    uint64_t rest = file->fileSize - layout.dataAt;
    *found = true;
    if (rest < kObjectHeadBytes) return 0;
    uint8_t head[kObjectHeadBytes];
    *found = Fetch(file, layout.dataAt, head, sizeof(head)) && Is(head, kDataObject);
    if (!*found) return 0;
    // A size below the head's own is no size: the data runs to the file's end.
    uint64_t declaredBytes = Little(head + 16, 8);
    uint64_t bytes = declaredBytes >= kDataHeadBytes && declaredBytes < rest ? declaredBytes : rest;
    return bytes > kDataHeadBytes ? (bytes - kDataHeadBytes) / layout.packetBytes : 0;
}

bool HasStreams(const AsfDataLayout &layout) {
    for (bool declared : layout.declared)
        if (declared) return true;
    return false;
}

bool EveryAudioStreamSeen(const AsfDataLayout &layout, const Sound &sound) {
    for (unsigned stream = 1; stream < kAsfMostStreams; ++stream)
        if (layout.audioBytesPerSecond[stream] && !sound.seen[stream]) return false;
    return true;
}

}  // namespace

AsfHeld MeasureDataPackets(AsfHeaderFile *file, const AsfDataLayout &layout) {
    AsfHeld unknown = {}, nothing = {};
    unknown.content = nothing.content = kAsfSilent;
    nothing.known = true;
    if (!layout.packetBytes || layout.dataAt > file->fileSize) return unknown;
    file->fillsLeft = kMostDataFills;
    bool found;
    uint64_t count = WholePackets(file, layout, &found);
    if (!found) return unknown;
    if (count == 0) return nothing;  // a download cut off before its first whole packet
    Sound sound = {};
    int64_t last = LastParsing(file, layout, count, &sound);
    if (last < 0) last = FirstParsing(file, layout, count, &sound);
    // With its streams known and none of its packets readable, a file holds
    // no sound to play; with none known, the header was what failed.
    if (last < 0) return HasStreams(layout) ? nothing : unknown;
    for (int64_t packet = last - 1; packet >= 0 && last - packet <= kMostPacketsBefore; --packet) {
        if (EveryAudioStreamSeen(layout, sound)) break;
        ReadPacket(file, layout, static_cast<uint64_t>(packet), &sound);
    }
    AsfHeld held = {};
    held.content = kAsfSound;
    if (!sound.timed) return held;
    uint64_t origin = layout.prerollMs;
    Sound first = {};
    bool prerollBelieved = layout.prerollMs <= layout.playMs;
    if (!prerollBelieved && ReadPacket(file, layout, 0, &first) && first.timed) origin = first.startMs;
    uint64_t end = sound.endMs > origin ? sound.endMs - origin : 0;
    held.known = true;
    held.endMs = end < UINT32_MAX ? static_cast<uint32_t>(end) : UINT32_MAX;
    return held;
}
