// The file-level attributes of an ASF file, read from its Header Object.
//
// Used when the media runtime cannot list a file's attributes itself (a
// runtime with no header view, or none at all). It hands out the attributes
// the runtime would have listed, with the runtime's value types, so that the
// caller stores them exactly as it stores the runtime's own.
//
// Plain C++ with no Windows headers, so the same code is unit tested and
// fuzzed natively. It allocates nothing and throws nothing: the caller gives
// it one AsfHeaderFile, whose fixed buffers are all the memory it uses, and a
// function that reads the file at an offset. Every read is bounded by the
// declared size of the object it lies in; a damaged object ends its walk and
// keeps what came before it. Large values (pictures) are stepped over, never
// read. Whatever a header claims, one reading examines at most
// kAsfMostObjects objects and fills its window at most kAsfMostWindowFills
// times (4 MB): a header that claims a whole large file as tiny objects
// costs no more than an ordinary one.
#pragma once

#include <stddef.h>
#include <stdint.h>

// The value types, numbered as the media runtime numbers them.
enum AsfValueType : uint16_t {
    kAsfDword = 0,
    kAsfString = 1,  // UTF-16LE; may lack its terminating zero unit when cut
    kAsfBinary = 2,
    kAsfBool = 3,    // 32 bits, 0 or 1
    kAsfQword = 4,
    kAsfWord = 5,
    kAsfGuid = 6,
};

enum {
    // The runtime's header view gives value lengths in 16 bits: longer values
    // are not attributes it can list, and are skipped.
    kAsfMaxValueBytes = 0xFFFF,
    // Of a longer value only its first bytes are handed out: 512 UTF-16 units
    // are more than any 255-byte text field can take.
    kAsfValuePrefixBytes = 1024,
    // No attribute a player reads has a longer name; longer ones are skipped.
    kAsfMaxNameUnits = 255,
    // The file is read through one window of this size.
    kAsfWindowBytes = 16384,
    // A real header holds a dozen objects or so, one stream's worth each at
    // most; objects past this many, at any level, are not looked at.
    kAsfMostObjects = 256,
    // Enough for every tag of a real header, pictures stepped over, with
    // room for some hundred thousand small descriptors.
    kAsfMostWindowFills = 256,
};

struct AsfAttribute {
    const char16_t *name;  // zero-terminated, never empty
    AsfValueType type;
    const uint8_t *value;  // little-endian, as the runtime hands it out
    uint32_t valueBytes;   // at most kAsfValuePrefixBytes: a longer text is cut
};

// Reads up to `size` bytes at `offset` into `buffer`; gives the count read
// (fewer at the end of the file or on an error).
typedef size_t (*AsfReadFn)(void *context, uint64_t offset, void *buffer, size_t size);
// Receives one attribute; its pointers are valid only during the call.
typedef void (*AsfAttributeFn)(void *context, const AsfAttribute &attribute);

// An audio stream the header declares, as its WAVEFORMATEX states it.
struct AsfAudio {
    uint16_t formatTag;  // the codec, numbered as WAVEFORMATEX numbers it
    uint16_t channels;
    uint32_t sampleRate;
    uint16_t bitsPerSample;
};

// What the file's own bytes say any runtime can play of it.
enum AsfContent : uint8_t {
    // Not ASF (an MP3 named .wma), or more objects than one reading
    // examines: only a runtime can tell.
    kAsfUnjudged,
    // ASF with nothing any runtime can play: a header that does not read
    // whole (children that run past it or fewer than it counts, no File
    // Properties Object, packets of no one size, no Data Object right after
    // it), no audio stream, or no whole data packet that parses.
    kAsfSilent,
    // A header that reads whole, an audio stream, and data packets that parse.
    kAsfSound,
};

enum { kAsfMostAudio = 8 };  // audio streams described; a real file has one or a few

// What the file holds, past its attributes. `known` and `endMs` tell how
// long the sound its data packets hold runs: where the sound of the objects
// in the last packets that parse ends (see asf_data.h), whatever the header
// claims. A download cut off or zero-filled holds less than the header
// promised, an old encoder's header may claim a minute for seven seconds, a
// broadcast's claims nothing. Not known where the packets cannot be found
// or tell no presentation time.
struct AsfHeld {
    bool known;
    uint32_t endMs;  // 0 when the file holds no whole packet that parses
    AsfContent content;
    // A protection object among the children the Header Object counts
    // (content encryption, extended content encryption, digital signature,
    // a PlayReady header): only a runtime holding a licence plays it.
    bool protectedContent;
    uint8_t audioCount;  // the first kAsfMostAudio audio streams, in header order
    AsfAudio audio[kAsfMostAudio];
};

// One file being read, and every byte of memory the reading needs.
struct AsfHeaderFile {
    AsfReadFn read;
    void *readContext;
    uint64_t fileSize;
    // Below: the reader's own.
    uint64_t windowStart;
    size_t windowBytes;
    uint32_t objectsLeft;  // the reading's budget
    uint32_t fillsLeft;
    uint8_t window[kAsfWindowBytes];
    uint8_t value[kAsfValuePrefixBytes];
    char16_t name[kAsfMaxNameUnits + 1];
};

// Hands the attributes of the Header Object at the start of the file to
// `emit`, in this order: from the File Properties Object "Duration" (play
// duration less the preroll, 100-ns units), "Bitrate", "Seekable",
// "Broadcast" and "FileSize"; from the Content Description Object "Title",
// "Author", "Copyright", "Description" and "Rating" (the non-empty ones);
// every descriptor of the Extended Content Description Objects as stored;
// then the stream-0 records of the Metadata and the Metadata Library Objects
// inside the Header Extension Object. The header is walked once; the order
// above holds whatever the order of the objects in the file.
//
// Then reads past the header: the head of the Data Object that follows it
// and a few of its packets, into *held, within limits of its own (64 more
// window fills at most).
// False, with nothing emitted and nothing known held, when the file cannot
// be a whole ASF file (no Header Object at its start, or one longer than
// the file); held->content then says kAsfSilent for a file that starts as
// ASF, kAsfUnjudged for any other.
bool ReadAsfHeaderAndData(AsfHeaderFile *file, AsfAttributeFn emit, void *emitContext, AsfHeld *held);
