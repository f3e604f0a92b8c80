// The file a reader decodes, opened by the plug-in itself.
//
// The runtime is handed an IStream over the plug-in's own handle rather than
// the file's name: a runtime that opens a file by name may keep it open after
// its Open fails, and the user's file would stay locked until the player
// exits. The handle reads and lets others read, rename and delete, so a
// playing file can be moved or deleted as people expect of a player, but
// nobody can start writing it under the decoder. A file some program already
// has open for writing (a download still arriving, a tag editor's) is read
// all the same, sharing writing: then that program, and any other, may go
// on writing it while it plays (sharing cannot be offered to one writer
// alone); the plug-in itself never writes. Each owner's stream is cut off
// from the file when that owner is done, whatever references the runtime
// still holds to it: the stream's calls fail from then on. The handle is
// closed with the last owner's.
#pragma once

#include "asf/asf_header.h"

#include <stdint.h>
#include <windows.h>
#include <objidl.h>

// The read-only stream over the file's handle.
class FileStream;

struct FileSource {
    FileStream *file;  // the plug-in's own reference, or null
};

// A source with no file.
FileSource NoFileSource();

// The stream to hand the runtime; null when there is no file.
IStream *StreamOf(const FileSource &source);

enum FileOpening {
    kFileOpened,
    // The file system has no file by that name: none there, or a name it
    // cannot take, such as an address ("http://...") only the runtime can
    // reach.
    kNoSuchFile,
    // A file that is there would not open for reading (access denied, held
    // by a program that shares no reading, a device not ready), or the
    // stream could not be made.
    kFileRefused,
};

// Opens the file by its UTF-16 name; *source has a file only when the
// answer is kFileOpened.
FileOpening OpenFileSource(const WCHAR *name, FileSource *source);

// A second source over the file `source` has open, with a stream of its
// own that starts at 0, for a second reader of the same file whatever has
// become of its name since. No file where source has none or is closed,
// or out of memory.
FileSource ShareFileSource(const FileSource &source);

// Reads up to `size` bytes at `offset`; gives the count read (0 on an error).
DWORD ReadFileSourceAt(const FileSource &source, uint64_t offset, void *buffer, DWORD size);

// The file's size in bytes; false when there is no file.
bool FileSourceSize(const FileSource &source, uint64_t *size);

// Reads as ReadFileSourceAt does, in the shape the header readers take
// (AsfReadFn); context is the FileSource.
size_t ReadFileSourceFor(void *context, uint64_t offset, void *buffer, size_t size);

// Reads the file's ASF header and past it, as ReadAsfHeaderAndData does
// (asf/asf_header.h), handing its attributes to emit. False, with nothing
// emitted and held unjudged, also where the file's size or the reading's
// memory cannot be had.
bool ReadAsfFile(const FileSource &source, AsfAttributeFn emit, void *emitContext, AsfHeld *held);

// Which file this is, and as it stands now: the same file by another name
// is the same, a file rewritten since is not.
struct FileIdentity {
    DWORD volume, indexHigh, indexLow;
    uint64_t size;
    FILETIME written;
};
bool SameFile(const FileIdentity &a, const FileIdentity &b);
// False when there is no file or the file system cannot tell.
bool IdentifyFileSource(const FileSource &source, FileIdentity *identity);

// Closes the file and gives back the plug-in's reference to the stream; the
// source is left with no file. A source with no file is left alone.
void CloseFileSource(FileSource *source);
