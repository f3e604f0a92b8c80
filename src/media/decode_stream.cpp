#include "media/decode_stream.h"

#include <malloc.h>
#include <string.h>

#include "wine/retired_readers.h"

namespace {

void ReleaseSample(DecodeStream *stream) {
    if (stream->sample) stream->sample->Release();
    stream->sample = nullptr;
    stream->heldOffset = 0;
    stream->sampleTime = stream->sampleDuration = 0;
    stream->sampleFlags = stream->outputNumber = 0;
}

// Copies the next piece of the held sample into staging and hands it out.
// Its bytes are asked for again: a runtime hands out the same ones. 0, with
// the sample given back, should it no longer give them.
uint32_t DeliverHeldTail(DecodeStream *stream, const uint8_t **data) {
    BYTE *bytes = nullptr;
    DWORD length = 0;
    stream->lastStatus = stream->sample->GetBufferAndLength(&bytes, &length);
    if (FAILED(stream->lastStatus) || !bytes || length <= stream->heldOffset) {
        ReleaseSample(stream);
        return 0;
    }
    uint32_t count = length - stream->heldOffset;
    if (count > stream->mostChunkBytes) count = stream->mostChunkBytes;
    memcpy(stream->staging, bytes + stream->heldOffset, count);
    stream->heldOffset += count;
    if (stream->heldOffset == length) ReleaseSample(stream);
    *data = stream->staging;
    return count;
}

// A file with outputs besides the audio's may hand out their samples, which
// are dropped.
bool MayMeetOtherOutputs(const AudioOutput &audio) { return audio.found && audio.outputCount > 1; }

PcmLayout LayoutOf(const AudioOutput &audio) {
    PcmLayout layout = {0, 0};
    if (audio.pcm) {
        layout.rate = audio.sampleRate;
        layout.blockAlign = audio.blockAlign;
    }
    return layout;
}

bool SameFormat(const AudioOutput &a, const AudioOutput &b) {
    return a.pcm == b.pcm && a.sampleRate == b.sampleRate && a.channels == b.channels &&
           a.bitsPerSample == b.bitsPerSample && a.blockAlign == b.blockAlign;
}

// Finds the audio among the reader's outputs, in a format the player can
// take, and keeps the runtime to it; where the runtime will not switch the
// others off, their samples are dropped as they come.
void TuneToAudio(IWMSyncReader *reader, AudioOutput *audio) {
    ChooseAudioOutput(reader, audio);
    if (DeliversPcm(*audio) && MayMeetOtherOutputs(*audio)) SelectOnlyAudio(reader, *audio);
}

// A fresh reader on the stream's file at `start`, its audio in the format
// the player was told, in place of the stream's own, which is retired.
// False, with the stream as it was, when none could be had.
bool SwitchToFreshReader(DecodeStream *stream, QWORD start) {
    ReaderHold fresh;
    HRESULT status;
    OpenSecondReader(stream->reader.source, &fresh, &status);
    AudioOutput audio = AudioOutput();
    if (fresh.reader) TuneToAudio(fresh.reader, &audio);
    if (!fresh.reader || !SameFormat(audio, stream->audio) || FAILED(fresh.reader->SetRange(start, 0))) {
        CloseReader(&fresh);
        return false;
    }
    RetireReader(&stream->reader, stream->lastPiece);
    stream->reader = fresh;
    stream->audio = audio;
    return true;
}

// Every SetRange the stream makes: Wine's reader must keep nothing when it
// is sought. It is read on first, within what a player's seek can bear;
// past that a fresh reader takes over. Where none can be had the old one is
// retired and the stream ends here: sought, it would skip audio or abort.
HRESULT SetRangeSettled(DecodeStream *stream, QWORD start) {
    HRESULT status = S_OK;
    if (SettleReader(stream->reader.reader, &stream->lastPiece, kSeekSettleMs)) {
        status = stream->reader.reader->SetRange(start, 0);
    } else if (!SwitchToFreshReader(stream, start)) {
        RetireReader(&stream->reader, stream->lastPiece);
        status = HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    }
    stream->lastPiece = 0;
    return status;
}

// Sends the reader back to an earlier start; true when it went.
bool SeekEarlier(DecodeStream *stream, uint64_t start) {
    stream->seek.asked = start;
    ++stream->seek.earlierSeeks;
    stream->lastStatus = SetRangeSettled(stream, start);
    return SUCCEEDED(stream->lastStatus);
}

// The reader has no sample while a seek is landing: true when it was sent
// back earlier to look again, false when this is the end.
bool LandAtTheEnd(DecodeStream *stream) {
    LandingStep step = LandingAtTheEnd(stream->seek);
    if (step.action == kSeekEarlier && SeekEarlier(stream, step.seekStart)) return true;
    stream->landing = false;
    return false;
}

// Decides what becomes of a sample fetched while a seek is landing: true
// when it is to be delivered, from *bytes on (moved past what lies before
// the position). False when it is to be given back and the next one looked
// at, the reader perhaps sent back earlier first.
bool Land(DecodeStream *stream, BYTE **bytes, DWORD *length) {
    LandingStep step =
        NextLandingStep(stream->seek, LayoutOf(stream->audio), stream->sampleTime, stream->sampleDuration, *length);
    switch (step.action) {
        case kDropSample:
            stream->seek.droppedAny = true;
            return false;
        case kCutFront:
            stream->landing = false;
            *bytes += step.cutBytes;
            *length -= step.cutBytes;
            return *length > 0;
        case kSeekEarlier:
            // A reader that refuses stays where it landed: this sample plays.
            if (SeekEarlier(stream, step.seekStart)) return false;
            stream->landing = false;
            return true;
        case kSeekTargetAgain: {
            // Back to the runtime's own landing, as if no extra seek was made;
            // a reader that refuses that too leaves this sample to be heard.
            stream->landing = false;
            stream->lastStatus = SetRangeSettled(stream, stream->seek.target);
            bool deliverThisSample = FAILED(stream->lastStatus);
            return deliverThisSample;
        }
        case kTakeAsItIs:
        default:
            stream->landing = false;
            return true;
    }
}

// Fetches the next sample to deliver. Samples whose data cannot be had are
// given back and skipped, and so are empty ones, which would otherwise read
// as the end of the stream, samples of outputs other than the audio's, and
// samples before a seek's position. False at the end or on a reader error.
bool FetchSample(DecodeStream *stream, BYTE **bytes, DWORD *length) {
    for (;;) {
        if (!stream->reader.reader) return false;  // retired by a seek that found no way on
        stream->lastStatus = stream->reader.reader->GetNextSample(
            0, &stream->sample, &stream->sampleTime, &stream->sampleDuration, &stream->sampleFlags,
            &stream->outputNumber, nullptr);
        if (FAILED(stream->lastStatus) || !stream->sample) {
            stream->sample = nullptr;
            stream->lastPiece = 0;
            if (stream->landing && LandAtTheEnd(stream)) continue;
            return false;
        }
        stream->lastStatus = stream->sample->GetBufferAndLength(bytes, length);
        stream->lastPiece = SUCCEEDED(stream->lastStatus) ? *length : 0;
        bool audio = !MayMeetOtherOutputs(stream->audio) || stream->outputNumber == stream->audio.number;
        if (SUCCEEDED(stream->lastStatus) && *bytes && *length > 0 && audio &&
            (!stream->landing || Land(stream, bytes, length)))
            return true;
        ReleaseSample(stream);
    }
}

// The contract is StreamOps::Read's (plugin/abi.h).
uint32_t VIVU_CDECL Read(DecodeStream *stream, const uint8_t **data) {
    if (stream->remainderLength) {
        uint32_t remainder = stream->remainderLength;
        stream->remainderLength = 0;
        *data = stream->staging + stream->firstChunkBytes;
        return remainder;
    }
    if (stream->sample) {
        uint32_t tail = DeliverHeldTail(stream, data);
        if (tail) return tail;
    }
    if (!stream->reader.reader) return 0;

    BYTE *bytes;
    DWORD length;
    if (!FetchSample(stream, &bytes, &length)) return 0;

    uint32_t staged = length < stream->mostChunkBytes ? length : stream->mostChunkBytes;
    memcpy(stream->staging, bytes, staged);
    uint32_t result = staged;
    if (staged > stream->firstChunkBytes) {
        result = stream->firstChunkBytes;
        stream->remainderLength = staged - stream->firstChunkBytes;
    }
    if (length > staged)
        stream->heldOffset = staged;
    else
        ReleaseSample(stream);
    *data = stream->staging;
    return result;
}

// Whatever the stream still held of a sample belongs to the old position and
// is dropped. Reading then finds the position exactly where the format and
// the runtime's sample times allow it.
int32_t VIVU_CDECL Seek(DecodeStream *stream, int32_t positionMs) {
    if (!stream->reader.reader) return 0;
    // A position before the start (a player's "back 5 s" pressed at 2 s) is the start.
    if (positionMs < 0) positionMs = 0;
    QWORD start = static_cast<QWORD>(static_cast<int64_t>(positionMs) * 10000);
    stream->lastStatus = SetRangeSettled(stream, start);
    if (FAILED(stream->lastStatus)) return 0;
    if (stream->sample) ReleaseSample(stream);
    stream->remainderLength = 0;
    stream->landing = stream->audio.pcm;
    stream->seek = SeekLanding{start, start, 0, false};
    return positionMs;
}

void VIVU_CDECL Close(DecodeStream *stream) {
    if (!stream) return;
    ReleaseSample(stream);
    RetireReader(&stream->reader, stream->lastPiece);
    _aligned_free(stream);
}

void VIVU_CDECL DoNothing(void) {}

const StreamOps kStreamOps = {Read, Seek, DoNothing, DoNothing, Close};

// A file the runtime refused, or with nothing the player can hear, gives
// its reader and file back at once (a player may hold the stream long
// after), and every read then returns 0.
void ChooseAudio(DecodeStream *stream) {
    IWMSyncReader *reader = stream->reader.reader;
    if (reader) TuneToAudio(reader, &stream->audio);
    if (!reader || !DeliversPcm(stream->audio)) CloseReader(&stream->reader);
    PcmLayout layout = LayoutOf(stream->audio);
    stream->firstChunkBytes = WholeFramesWithin(kFirstChunkBytes, layout.blockAlign);
    stream->mostChunkBytes = WholeFramesWithin(kStagingBytes, layout.blockAlign);
}

}  // namespace

DecodeStream *VIVU_CDECL OpenStream(InputModule *, const char *fileName, int32_t) {
    // Too large for a stack: the staging buffer is part of the object.
    DecodeStream *stream = static_cast<DecodeStream *>(_aligned_malloc(sizeof(DecodeStream), alignof(DecodeStream)));
    if (!stream) return nullptr;
    stream->ops = &kStreamOps;
    stream->sample = nullptr;
    stream->heldOffset = 0;
    stream->sampleTime = stream->sampleDuration = 0;
    stream->sampleFlags = stream->outputNumber = 0;
    stream->remainderLength = 0;
    stream->audio = AudioOutput();
    stream->landing = false;
    stream->seek = SeekLanding();
    stream->lastPiece = 0;
    OpenReader(fileName, &stream->reader, &stream->lastStatus);
    ChooseAudio(stream);
    return stream;
}
