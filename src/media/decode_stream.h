// A decoding stream: the player pulls decoded PCM from it chunk by chunk,
// as StreamOps::Read (plugin/abi.h) says.
//
// Each decoded sample is copied once into the stream's staging buffer and
// handed out from there. A sample larger than the buffer is held, and its
// tail copied in on the reads that hand it out.
//
// Only the file's audio output reaches the player, only as PCM, and after a
// seek the first byte handed out is the frame at the position asked for.
// A reader that may still keep part of a decoded buffer is settled before
// it is sought, and retired rather than closed (retired_readers.h).
#pragma once

#include <stdint.h>

#include "media/audio_output.h"
#include "media/reader.h"
#include "media/seek_landing.h"
#include "plugin/abi.h"

enum : uint32_t {
    kFirstChunkBytes = 40000,
    kStagingBytes = 128000,
};

struct DecodeStream {
    const StreamOps *ops;     // first word: the player calls through it
    ReaderHold reader;        // the stream's own reader
    INSSBuffer *sample;       // the sample being copied; held only for an oversize sample's tail
    QWORD sampleTime;         // receivers for GetNextSample; the time and duration land a seek
    QWORD sampleDuration;
    DWORD sampleFlags;
    DWORD outputNumber;
    HRESULT lastStatus;       // status of the latest reader call
    uint32_t lastPiece;       // bytes of the latest sample taken; 0 after an open, a seek or a failed read
    uint32_t remainderLength; // bytes at staging + firstChunkBytes still to hand out; 0: none
    alignas(64) uint8_t staging[kStagingBytes];  // cache-line aligned: copies run at memcpy speed
    uint32_t heldOffset;      // the next byte of the held sample's tail
    // The file's audio: its output and format, and the chunk sizes in whole frames.
    AudioOutput audio;
    uint32_t firstChunkBytes;  // 40,000 bytes in whole frames
    uint32_t mostChunkBytes;   // 128,000 bytes in whole frames
    // A seek still finding its position: set by Seek, done at the first
    // sample that holds the position.
    bool landing;
    SeekLanding seek;
};

// Module entry 1: a new stream on fileName, or null when out of memory. It
// does not report whether the file opened; such a stream just reads 0.
DecodeStream *VIVU_CDECL OpenStream(InputModule *module, const char *fileName, int32_t reserved);
