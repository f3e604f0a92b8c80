// Which of a reader's outputs carries the file's audio, and the PCM format
// the reader decodes it to. A file may hold video, image or script streams
// besides the one the player is to hear, or several audio streams.
//
// Where a file holds the same audio at several bit rates, or in several
// languages, Windows' runtime shows the group as one output and chooses its
// stream itself. Among separate audio outputs the plug-in chooses: one that
// can become PCM over one that cannot (Windows' runtime gives an output
// whose decoder is missing in the codec's own form), then the highest bit
// rate where the runtime gives it, then the highest sample rate, then the
// most channels, of the PCM each will deliver (for a compressed output,
// the first PCM format offered for it); one whose PCM the runtime will not
// set gives way to the next. Wine's runtime gives no bit rates and lists the outputs
// in a new order at each open: of streams that differ in format the same
// one is chosen every time, by rate and channels; of streams in one format,
// whichever Wine happens to list first at that open. The query and the
// stream choose alike, and the player is told the format it gets.
//
// The player takes every byte as PCM in the format the query reported, so
// a stream hands out nothing it cannot vouch for: an output that is not
// audio, or audio in float or compressed form, would play as noise.
#pragma once

#include <stdint.h>
#include <windows.h>
#include <wmsdkidl.h>

#include "asf/asf_header.h"

struct AudioOutput {
    DWORD number;       // the output GetNextSample names for the audio's samples
    DWORD outputCount;  // outputs the reader lists (1 when it cannot tell)
    bool described;     // the runtime gave the media type of at least one output
    bool found;         // `number`'s media type is audio
    bool pcm;           // the format below is known and plain PCM
    DWORD bitrate;      // the file's bit rate for the stream; 0 unknown, or not asked (one audio output)
    bool pcmOffered;    // not PCM, but a PCM format is offered for it; asked as the bit rate is
    uint32_t sampleRate;
    uint16_t channels;
    uint16_t bitsPerSample;
    uint16_t blockAlign;  // bytes a frame
};

// Looks through the reader's outputs for the audio one to hear (see above).
// Where none is audio, or the reader cannot count its outputs, output 0
// stands: found is then false unless output 0 itself is audio, and pcm
// false unless its format is PCM. Outputs marked in passedOver (indexed by
// output number, 127 of them) are not looked at.
void FindAudioOutput(IWMSyncReader *reader, AudioOutput *audio, const bool *passedOver = nullptr);

// FindAudioOutput, then the format Windows' runtime delivers by default:
// where the audio output is not PCM, the first PCM format the runtime offers
// for it that it takes (where it takes none, the next output in rank that
// can be set goes in its place); where it has more than 2 channels or more
// than 16 bits, 16-bit PCM in at most 2 channels at the same rate. A
// runtime that refuses keeps its own format, and *audio always says what
// the reader will deliver.
void ChooseAudioOutput(IWMSyncReader *reader, AudioOutput *audio);

// The format Wine's runtime delivers of a file whose header declares
// these audio streams, as a stream asks for it: of the stream
// ChooseAudioOutput chooses where no bit rate is given (the highest sample
// rate, then the most channels), 16-bit PCM in at most 2 channels. False
// where a declared stream's codec is none that Wine decodes to 16-bit PCM
// at the stream's own rate (WMA 1, 2, Pro, Lossless and Voice): only the
// runtime can tell then.
bool DeclaredPcm(const AsfHeld &held, AudioOutput *audio);

// True when the reader's samples may reach the player as PCM: the audio
// output delivers PCM, or the runtime describes none of its outputs (a
// runtime that says nothing delivers its default, 16-bit PCM).
bool DeliversPcm(const AudioOutput &audio);

// Switches every other output's stream off, so that the runtime neither
// decodes nor hands out what the player does not hear. False when the
// runtime could not say a stream's number or refused the selection.
bool SelectOnlyAudio(IWMSyncReader *reader, const AudioOutput &audio);
