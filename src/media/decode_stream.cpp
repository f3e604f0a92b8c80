#include "media/decode_stream.h"

#include <malloc.h>
#include <stdlib.h>
#include <string.h>

namespace {

void ReleaseSample(DecodeStream *stream) {
    if (stream->sample) stream->sample->Release();
    stream->sample = nullptr;
    stream->heldBytes = nullptr;
    stream->heldOffset = stream->heldLength = 0;
    stream->sampleTime = stream->sampleDuration = 0;
    stream->sampleFlags = stream->outputNumber = 0;
}

// Copies the next piece of the held sample into staging and hands it out.
uint32_t DeliverHeldTail(DecodeStream *stream, const uint8_t **data) {
    uint32_t count = stream->heldLength - stream->heldOffset;
    if (count > kStagingBytes) count = kStagingBytes;
    memcpy(stream->staging, stream->heldBytes + stream->heldOffset, count);
    stream->heldOffset += count;
    if (stream->heldOffset == stream->heldLength) ReleaseSample(stream);
    *data = stream->staging;
    return count;
}

// Fetches the next sample that has data. Samples whose data cannot be had
// are given back and skipped, and so are empty ones, which would otherwise
// read as the end of the stream. False at the end or on a reader error.
bool FetchSample(DecodeStream *stream, BYTE **bytes, DWORD *length) {
    for (;;) {
        stream->lastStatus = stream->reader.reader->GetNextSample(
            0, &stream->sample, &stream->sampleTime, &stream->sampleDuration, &stream->sampleFlags,
            &stream->outputNumber, nullptr);
        if (FAILED(stream->lastStatus) || !stream->sample) {
            stream->sample = nullptr;
            return false;
        }
        stream->lastStatus = stream->sample->GetBufferAndLength(bytes, length);
        if (SUCCEEDED(stream->lastStatus) && *bytes && *length > 0) return true;
        ReleaseSample(stream);
    }
}

uint32_t VIVU_CDECL Read(DecodeStream *stream, const uint8_t **data) {
    if (stream->remainderPending) {
        stream->remainderPending = 0;
        *data = stream->staging + kFirstChunkBytes;
        return stream->remainderLength;
    }
    if (stream->sample) return DeliverHeldTail(stream, data);
    if (!stream->reader.reader) return 0;

    BYTE *bytes;
    DWORD length;
    if (!FetchSample(stream, &bytes, &length)) return 0;

    uint32_t staged = length < kStagingBytes ? length : static_cast<uint32_t>(kStagingBytes);
    memcpy(stream->staging, bytes, staged);
    uint32_t result = staged;
    if (staged > kFirstChunkBytes) {
        result = kFirstChunkBytes;
        stream->remainderLength = staged - kFirstChunkBytes;
        stream->remainderPending = 1;
    }
    if (length > kStagingBytes) {
        stream->heldBytes = bytes;
        stream->heldOffset = staged;
        stream->heldLength = length;
    } else {
        ReleaseSample(stream);
    }
    *data = stream->staging;
    return result;
}

// A pending remainder survives a seek (the next read still delivers it), but
// the tail of an oversize sample belongs to the old position and is dropped.
int32_t VIVU_CDECL Seek(DecodeStream *stream, int32_t positionMs) {
    if (!stream->reader.reader) return 0;
    QWORD start = static_cast<QWORD>(static_cast<int64_t>(positionMs) * 10000);
    stream->lastStatus = stream->reader.reader->SetRange(start, 0);
    if (FAILED(stream->lastStatus)) return 0;
    if (stream->sample) ReleaseSample(stream);
    return positionMs;
}

void VIVU_CDECL Close(DecodeStream *stream) {
    if (!stream) return;
    ReleaseSample(stream);
    CloseReader(&stream->reader);
    _aligned_free(stream);
}

void VIVU_CDECL DoNothing(void) {}

const StreamOps kStreamOps = {Read, Seek, DoNothing, DoNothing, Close};

}  // namespace

DecodeStream *VIVU_CDECL OpenStream(InputModule *, const char *fileName, int32_t) {
    // Too large for a stack: the staging buffer is part of the object.
    DecodeStream *stream = static_cast<DecodeStream *>(_aligned_malloc(sizeof(DecodeStream), alignof(DecodeStream)));
    if (!stream) return nullptr;
    stream->ops = &kStreamOps;
    stream->sample = nullptr;
    stream->heldBytes = nullptr;
    stream->heldOffset = stream->heldLength = 0;
    stream->sampleTime = stream->sampleDuration = 0;
    stream->sampleFlags = stream->outputNumber = 0;
    stream->remainderPending = 0;
    stream->remainderLength = 0;
    OpenReader(fileName, &stream->reader, &stream->lastStatus);
    return stream;
}
