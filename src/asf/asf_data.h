// How long the sound in an ASF file's data packets runs, from what the
// packets carry. Every payload of a media object states the object's size
// and its presentation time (milliseconds, the file's preroll included);
// the object's sound lasts its size over its stream's average bytes a
// second, so each payload tells where its object's sound ends. A packet's
// own send time says when a server is to send it, not when it plays, and is
// not used.
//
// A packet counts only when it parses whole: error correction and payload
// parsing fields of kinds the format defines, payloads of the streams the
// header declares, every length inside the packet, each fragment inside its
// object. Zeros, foreign or shifted bytes and a packet cut short never do.
// Plain C++ with no Windows headers, bounded as the header reading is.
#pragma once

#include <stdint.h>

#include "asf/asf_header.h"

enum { kAsfMostStreams = 128 };  // stream numbers are 1 to 127

// What the header tells of the data packets.
struct AsfDataLayout {
    uint64_t dataAt;       // where the Data Object should start: the header's end
    uint32_t packetBytes;  // every packet's size; 0 where they vary
    // Presentation times count the preroll; one longer than the whole play
    // is not believed, and the first packet's earliest time stands for it.
    uint64_t prerollMs;
    uint64_t playMs;
    bool declared[kAsfMostStreams];
    // Of an audio stream whose format states it; 0 for any other stream.
    uint32_t audioBytesPerSecond[kAsfMostStreams];
};

// Where the sound of the last packets that parse ends (see AsfHeld): the
// last packet first; where it does not parse, the last that does, found by
// halving the packets present, as a tail cut off or zero-filled leaves
// every packet after some point unreadable; then the few packets before it
// that may hold a later-ending object of another audio stream. 0 where no
// whole packet is there, or none parses; not known where the packets cannot
// be found, the header declares no stream, or no packet that parses carries
// a presentation time of an audio stream: the header's length stands then.
// Also says whether any whole packet parses: content is kAsfSound where
// one does, kAsfSilent where none is there or none parses (the first
// packets are looked at too before that is said) or no Data Object follows
// the header.
AsfHeld MeasureDataPackets(AsfHeaderFile *file, const AsfDataLayout &layout);
