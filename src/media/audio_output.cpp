#include "media/audio_output.h"

#include <mmreg.h>
#include <stdlib.h>

namespace {

const GUID kAudioMajorType = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
const GUID kWaveFormatExType = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
const GUID kPcmSubFormat = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// An ASF file numbers its streams 1 to 127.
enum { kMostOutputs = 127 };

void ReadPcmFormat(const WM_MEDIA_TYPE *type, AudioOutput *audio) {
    if (type->formattype != kWaveFormatExType || !type->pbFormat || type->cbFormat < sizeof(WAVEFORMATEX)) return;
    const WAVEFORMATEX *wave = reinterpret_cast<const WAVEFORMATEX *>(type->pbFormat);
    bool pcm = wave->wFormatTag == WAVE_FORMAT_PCM;
    if (wave->wFormatTag == WAVE_FORMAT_EXTENSIBLE && type->cbFormat >= sizeof(WAVEFORMATEXTENSIBLE))
        pcm = reinterpret_cast<const WAVEFORMATEXTENSIBLE *>(wave)->SubFormat == kPcmSubFormat;
    if (!pcm || !wave->nSamplesPerSec || !wave->nChannels || !wave->wBitsPerSample) return;
    audio->pcm = true;
    audio->sampleRate = wave->nSamplesPerSec;
    audio->channels = wave->nChannels;
    audio->bitsPerSample = wave->wBitsPerSample;
    // PCM without a frame size of its own has whole bytes per channel.
    audio->blockAlign = wave->nBlockAlign ? wave->nBlockAlign
                                          : static_cast<uint16_t>(wave->nChannels * ((wave->wBitsPerSample + 7) / 8));
}

// True when `output` is audio; then its format is read into *audio.
bool ReadIfAudio(IWMSyncReader *reader, DWORD output, AudioOutput *audio) {
    IWMOutputMediaProps *props = nullptr;
    if (FAILED(reader->GetOutputProps(output, &props)) || !props) return false;
    bool isAudio = false;
    DWORD size = 0;
    if (SUCCEEDED(props->GetMediaType(nullptr, &size)) && size >= sizeof(WM_MEDIA_TYPE)) {
        WM_MEDIA_TYPE *type = static_cast<WM_MEDIA_TYPE *>(malloc(size));
        if (type && SUCCEEDED(props->GetMediaType(type, &size)) && type->majortype == kAudioMajorType) {
            isAudio = true;
            ReadPcmFormat(type, audio);
        }
        free(type);
    }
    props->Release();
    return isAudio;
}

}  // namespace

void FindAudioOutput(IWMSyncReader *reader, AudioOutput *audio) {
    *audio = AudioOutput();
    DWORD count = 0;
    if (FAILED(reader->GetOutputCount(&count)) || count == 0) count = 1;
    audio->outputCount = count;
    for (DWORD output = 0; output < count && output < kMostOutputs; ++output) {
        if (ReadIfAudio(reader, output, audio)) {
            audio->number = output;
            audio->found = true;
            return;
        }
    }
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
