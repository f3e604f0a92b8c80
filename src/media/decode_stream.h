// A decoding stream: the player pulls decoded PCM from it chunk by chunk.
//
// Each decoded sample is copied once into the stream's staging buffer and
// handed out from there: the first 40,000 bytes in one read, the rest of the
// sample in the next. A sample larger than the buffer is held and its tail
// handed out in further reads of up to 128,000 bytes, so no byte is lost.
#pragma once

#include <stdint.h>

#include "media/reader.h"
#include "plugin/abi.h"

enum : uint32_t {
    kFirstChunkBytes = 40000,
    kStagingBytes = 128000,
};

struct DecodeStream {
    const StreamOps *ops;     // first word: the player calls through it
    ReaderHold reader;        // the stream's own reader
    INSSBuffer *sample;       // the sample being copied; held only for an oversize sample's tail
    QWORD sampleTime;         // receivers for GetNextSample, not used further
    QWORD sampleDuration;
    DWORD sampleFlags;
    DWORD outputNumber;
    HRESULT lastStatus;       // status of the latest reader call
    uint8_t remainderPending; // 1 while staging + 40,000 holds undelivered bytes
    uint32_t remainderLength;
    alignas(64) uint8_t staging[kStagingBytes];  // cache-line aligned: copies run at memcpy speed
    // An oversize sample's tail: bytes [heldOffset, heldLength) of sample.
    const uint8_t *heldBytes;
    uint32_t heldOffset;
    uint32_t heldLength;
};

// Module entry 1: a new stream on fileName, or null when out of memory. It
// does not report whether the file opened; such a stream just reads 0.
DecodeStream *VIVU_CDECL OpenStream(InputModule *module, const char *fileName, int32_t reserved);
