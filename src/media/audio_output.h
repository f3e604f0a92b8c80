// Which of a reader's outputs carries the file's audio, and the PCM format
// the reader decodes it to. A file may hold video, image or script streams,
// or a second audio stream, besides the one the player is to hear; the
// first output whose media type is audio is the one.
#pragma once

#include <stdint.h>
#include <windows.h>
#include <wmsdkidl.h>

struct AudioOutput {
    DWORD number;       // the output GetNextSample names for the audio's samples
    DWORD outputCount;  // outputs the reader lists (1 when it cannot tell)
    bool found;         // `number`'s media type is audio
    bool pcm;           // the format below is known and plain PCM
    uint32_t sampleRate;
    uint16_t channels;
    uint16_t bitsPerSample;
    uint16_t blockAlign;  // bytes a frame
};

// Looks through the reader's outputs for the first audio one. Where none is
// audio, or the reader cannot count its outputs, output 0 stands: found is
// then false unless output 0 itself is audio, and pcm false unless its
// format is PCM.
void FindAudioOutput(IWMSyncReader *reader, AudioOutput *audio);

// Switches every other output's stream off, so that the runtime neither
// decodes nor hands out what the player does not hear. False when the
// runtime could not say a stream's number or refused the selection.
bool SelectOnlyAudio(IWMSyncReader *reader, const AudioOutput &audio);
