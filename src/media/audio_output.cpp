#include "media/audio_output.h"

#include <mmreg.h>
#include <stdlib.h>
#include <uuids.h>

namespace {

// An ASF file numbers its streams 1 to 127.
enum { kMostOutputs = 127 };
// Formats looked at among those a runtime offers for one output.
enum { kMostOfferedFormats = 64 };

void ReadPcmFormat(const WM_MEDIA_TYPE *type, AudioOutput *audio) {
    if (!IsEqualGUID(type->formattype, FORMAT_WaveFormatEx) || !type->pbFormat ||
        type->cbFormat < sizeof(WAVEFORMATEX))
        return;
    const WAVEFORMATEX *wave = reinterpret_cast<const WAVEFORMATEX *>(type->pbFormat);
    bool pcm = wave->wFormatTag == WAVE_FORMAT_PCM;
    // An extensible format's PCM sub-format is the PCM media subtype's GUID.
    if (wave->wFormatTag == WAVE_FORMAT_EXTENSIBLE && type->cbFormat >= sizeof(WAVEFORMATEXTENSIBLE))
        pcm = IsEqualGUID(reinterpret_cast<const WAVEFORMATEXTENSIBLE *>(wave)->SubFormat, WMMEDIASUBTYPE_PCM);
    if (!pcm || !wave->nSamplesPerSec || !wave->nChannels || !wave->wBitsPerSample) return;
    audio->pcm = true;
    audio->sampleRate = wave->nSamplesPerSec;
    audio->channels = wave->nChannels;
    audio->bitsPerSample = wave->wBitsPerSample;
    // PCM without a frame size of its own has whole bytes per channel.
    audio->blockAlign = wave->nBlockAlign ? wave->nBlockAlign
                                          : static_cast<uint16_t>(wave->nChannels * ((wave->wBitsPerSample + 7) / 8));
}

// The media type the properties describe, in memory of the caller's to
// free; null when there is none.
WM_MEDIA_TYPE *MediaTypeOf(IWMMediaProps *props) {
    DWORD size = 0;
    if (FAILED(props->GetMediaType(nullptr, &size)) || size < sizeof(WM_MEDIA_TYPE)) return nullptr;
    WM_MEDIA_TYPE *type = static_cast<WM_MEDIA_TYPE *>(malloc(size));
    if (type && FAILED(props->GetMediaType(type, &size))) {
        free(type);
        type = nullptr;
    }
    return type;
}

// True when the properties describe audio; then its format is read into
// *audio. Any description at all marks *audio described.
bool ReadIfAudio(IWMMediaProps *props, AudioOutput *audio) {
    WM_MEDIA_TYPE *type = MediaTypeOf(props);
    bool isAudio = type && IsEqualGUID(type->majortype, WMMEDIATYPE_Audio);
    if (type) audio->described = true;
    if (isAudio) ReadPcmFormat(type, audio);
    free(type);
    return isAudio;
}

// The same for the reader's output `output`.
bool ReadIfAudio(IWMSyncReader *reader, DWORD output, AudioOutput *audio) {
    IWMOutputMediaProps *props = nullptr;
    if (FAILED(reader->GetOutputProps(output, &props)) || !props) return false;
    bool isAudio = ReadIfAudio(props, audio);
    props->Release();
    return isAudio;
}

// Reads the audio output's format again, after a change of it.
void RereadFormat(IWMSyncReader *reader, AudioOutput *audio) {
    audio->pcm = false;
    audio->sampleRate = audio->channels = audio->bitsPerSample = audio->blockAlign = 0;
    ReadIfAudio(reader, audio->number, audio);
}

// True when the runtime took these properties for the audio output.
bool SetAudioProps(IWMSyncReader *reader, AudioOutput *audio, IWMOutputMediaProps *props) {
    if (FAILED(reader->SetOutputProps(audio->number, props))) return false;
    RereadFormat(reader, audio);
    return true;
}

// The formats the runtime offers for `output` that are to be looked at.
DWORD OfferedFormatCount(IWMSyncReader *reader, DWORD output) {
    DWORD count = 0;
    if (FAILED(reader->GetOutputFormatCount(output, &count))) return 0;
    return count < kMostOfferedFormats ? count : static_cast<DWORD>(kMostOfferedFormats);
}

// The format offered at `index` for `output` when it is PCM audio, for the
// caller to release, read into *offered; null otherwise.
IWMOutputMediaProps *OfferedPcm(IWMSyncReader *reader, DWORD output, DWORD index, AudioOutput *offered) {
    IWMOutputMediaProps *props = nullptr;
    if (FAILED(reader->GetOutputFormat(output, index, &props)) || !props) return nullptr;
    *offered = AudioOutput();
    if (ReadIfAudio(props, offered) && offered->pcm) return props;
    props->Release();
    return nullptr;
}

// True when the runtime offers a PCM format for `output`, whose first one
// is then read into *offered. Windows' offers none for an output whose
// decoder is missing.
bool OffersPcm(IWMSyncReader *reader, DWORD output, AudioOutput *offered) {
    DWORD count = OfferedFormatCount(reader, output);
    for (DWORD index = 0; index < count; ++index) {
        IWMOutputMediaProps *props = OfferedPcm(reader, output, index, offered);
        if (!props) continue;
        props->Release();
        return true;
    }
    return false;
}

// The first PCM format among those the runtime offers for the audio output
// that the runtime takes.
void AskForOfferedPcm(IWMSyncReader *reader, AudioOutput *audio) {
    DWORD count = OfferedFormatCount(reader, audio->number);
    for (DWORD index = 0; index < count && !audio->pcm; ++index) {
        AudioOutput offered;
        IWMOutputMediaProps *props = OfferedPcm(reader, audio->number, index, &offered);
        if (!props) continue;
        SetAudioProps(reader, audio, props);
        props->Release();
    }
}

// 16-bit PCM in at most two channels at the output's rate.
void AskForStereo16(IWMSyncReader *reader, AudioOutput *audio) {
    IWMOutputMediaProps *props = nullptr;
    if (FAILED(reader->GetOutputProps(audio->number, &props)) || !props) return;
    WAVEFORMATEX wave = {};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = audio->channels > 2 ? 2 : audio->channels;
    wave.nSamplesPerSec = audio->sampleRate;
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = static_cast<WORD>(wave.nChannels * 2);
    wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
    WM_MEDIA_TYPE type = {};
    type.majortype = WMMEDIATYPE_Audio;
    type.subtype = WMMEDIASUBTYPE_PCM;
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = wave.nBlockAlign;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof(wave);
    type.pbFormat = reinterpret_cast<BYTE *>(&wave);
    if (SUCCEEDED(props->SetMediaType(&type))) SetAudioProps(reader, audio, props);
    props->Release();
}

IWMProfile *ProfileOf(IWMSyncReader *reader) {
    IWMProfile *profile = nullptr;
    if (FAILED(reader->QueryInterface(__uuidof(IWMProfile), reinterpret_cast<void **>(&profile)))) profile = nullptr;
    return profile;
}

// The bit rate the reader's profile gives for the stream of `output`; 0
// where the runtime cannot say (Wine's cannot). Looked up by the stream's
// number: the profile lists every stream, those of a group the runtime
// shows as one output among them.
DWORD StreamBitrate(IWMSyncReader *reader, IWMProfile *profile, DWORD output) {
    WORD stream = 0;
    DWORD count = 0, bitrate = 0;
    if (!profile || FAILED(reader->GetStreamNumberForOutput(output, &stream)) || FAILED(profile->GetStreamCount(&count)))
        return 0;
    for (DWORD index = 0; index < count && index < kMostOutputs; ++index) {
        IWMStreamConfig *config = nullptr;
        if (FAILED(profile->GetStream(index, &config)) || !config) continue;
        WORD number = 0;
        bool found = SUCCEEDED(config->GetStreamNumber(&number)) && number == stream;
        if (found && FAILED(config->GetBitrate(&bitrate))) bitrate = 0;
        config->Release();
        if (found) break;
    }
    return bitrate;
}

// What ranks an audio output among others: its bit rate, whether it can
// become PCM at all, and the rate and channels it will deliver: those of
// the first PCM format offered for an output that is not PCM.
void LearnRank(IWMSyncReader *reader, IWMProfile *profile, AudioOutput *audio) {
    audio->bitrate = StreamBitrate(reader, profile, audio->number);
    AudioOutput offered;
    audio->pcmOffered = !audio->pcm && OffersPcm(reader, audio->number, &offered);
    if (!audio->pcmOffered) return;
    audio->sampleRate = offered.sampleRate;
    audio->channels = offered.channels;
}

bool BecomesPcm(const AudioOutput &audio) { return audio.pcm || audio.pcmOffered; }

// True when `a` is to be heard rather than `b`. An output the player could
// not hear never wins over one it could, however high its bit rate.
bool Outranks(const AudioOutput &a, const AudioOutput &b) {
    if (BecomesPcm(a) != BecomesPcm(b)) return BecomesPcm(a);
    if (a.bitrate != b.bitrate) return a.bitrate > b.bitrate;
    if (a.sampleRate != b.sampleRate) return a.sampleRate > b.sampleRate;
    return a.channels > b.channels;
}

}  // namespace

void FindAudioOutput(IWMSyncReader *reader, AudioOutput *audio, const bool *passedOver) {
    *audio = AudioOutput();
    DWORD count = 0;
    if (FAILED(reader->GetOutputCount(&count)) || count == 0) count = 1;
    audio->outputCount = count;
    // The rank is asked for only once a second output is audio.
    IWMProfile *profile = nullptr;
    bool ranked = false;
    for (DWORD output = 0; output < count && output < kMostOutputs; ++output) {
        if (passedOver && passedOver[output]) continue;
        AudioOutput candidate = AudioOutput();
        bool isAudio = ReadIfAudio(reader, output, &candidate);
        audio->described = audio->described || candidate.described;
        if (!isAudio) continue;
        candidate.number = output;
        candidate.outputCount = count;
        candidate.described = candidate.found = true;
        if (!audio->found) {
            *audio = candidate;
            continue;
        }
        if (!ranked) {
            profile = ProfileOf(reader);
            LearnRank(reader, profile, audio);
            ranked = true;
        }
        LearnRank(reader, profile, &candidate);
        if (Outranks(candidate, *audio)) *audio = candidate;
    }
    if (profile) profile->Release();
}

bool SelectOnlyAudio(IWMSyncReader *reader, const AudioOutput &audio) {
    if (!audio.found || audio.outputCount > kMostOutputs) return false;
    WORD streams[kMostOutputs];
    WMT_STREAM_SELECTION selections[kMostOutputs];
    WORD count = static_cast<WORD>(audio.outputCount);
    for (WORD output = 0; output < count; ++output) {
        if (FAILED(reader->GetStreamNumberForOutput(output, &streams[output]))) return false;
        selections[output] = output == audio.number ? WMT_ON : WMT_OFF;
    }
    return SUCCEEDED(reader->SetStreamsSelected(count, streams, selections));
}

void ChooseAudioOutput(IWMSyncReader *reader, AudioOutput *audio) {
    FindAudioOutput(reader, audio);
    // An output whose PCM formats the runtime all refuses is passed over
    // for the next best; where none is left, it stays, and plays nothing.
    bool passedOver[kMostOutputs] = {};
    while (audio->found && !audio->pcm) {
        AskForOfferedPcm(reader, audio);
        if (audio->pcm) break;
        passedOver[audio->number] = true;
        AudioOutput next;
        FindAudioOutput(reader, &next, passedOver);
        if (!next.found) break;
        *audio = next;
    }
    if (audio->pcm && (audio->channels > 2 || audio->bitsPerSample > 16)) AskForStereo16(reader, audio);
}

bool DeclaredPcm(const AsfHeld &held, AudioOutput *audio) {
    static const uint16_t kDecodedTo16Bits[] = {0x000A, 0x0160, 0x0161, 0x0162, 0x0163};
    *audio = AudioOutput();
    for (unsigned i = 0; i < held.audioCount; ++i) {
        const AsfAudio &stream = held.audio[i];
        bool known = false;
        for (uint16_t tag : kDecodedTo16Bits) known = known || stream.formatTag == tag;
        if (!known || !stream.sampleRate || !stream.channels) return false;
        AudioOutput candidate = AudioOutput();
        candidate.found = candidate.pcm = candidate.described = true;
        candidate.sampleRate = stream.sampleRate;
        candidate.channels = stream.channels;
        if (!audio->found || Outranks(candidate, *audio)) *audio = candidate;
    }
    if (!audio->found) return false;
    if (audio->channels > 2) audio->channels = 2;
    audio->bitsPerSample = 16;
    audio->blockAlign = static_cast<uint16_t>(audio->channels * 2);
    return true;
}

bool DeliversPcm(const AudioOutput &audio) { return audio.pcm || !audio.described; }
