// Readers that may still keep part of a decoded buffer, settled before
// they are sought or closed.
//
// Wine's reader hands decoded audio out in pieces of at most 16,384 bytes
// and keeps the rest of the buffer, with the offset it has handed out,
// between GetNextSample calls. Its SetRange drops the buffer but not the
// offset, so the audio after the seek starts that far late or the decoder
// aborts; its Close frees the decoder's streams before the kept buffer, and
// the process aborts. Only the last piece of a buffer can be shorter, so a
// reader whose last piece was not exactly 16,384 bytes keeps nothing, nor
// does one right after an open, a seek or a failed GetNextSample. Reading
// on, dropping pieces, until one is shorter settles it. Where every buffer
// is a whole multiple of 16,384 bytes (96 kHz WMA Pro in stereo) no piece
// is shorter before the end of the file, so every read-on has a budget.
// This can go once Wine's SetRange and Close drop a kept buffer with its
// offset.
//
// Windows' runtime hands out whole samples, which may well be exactly
// 16,384 bytes: there nothing here reads, waits or starts a thread.
//
// Threads: a retired reader and its file are the worker's (wine_worker.h)
// from RetireReader on, and no other thread touches them again. The worker
// reads each on until it keeps nothing, then closes the reader and then
// its file; one that still keeps a rest kRetiredSettleMs after it was
// retired is kept as a stuck reader instead: never closed, its stream cut
// off from the file (file_source.h) so that it reads nothing more.
#pragma once

#include <stdint.h>

#include "media/reader.h"

enum : uint32_t {
    // How long a seek may read on before it gives up on the reader: what a
    // player's seek can bear.
    kSeekSettleMs = 300,
    // How long a retired reader may read on. A reader settles within a few
    // pieces unless its buffers are whole multiples of a piece; then it
    // would decode the rest of the file.
    kRetiredSettleMs = 3000,
    // How long the module's Release waits for retired readers still being
    // read on; a worker still running keeps the DLL loaded and ends on its
    // own.
    kReleaseWaitMs = 1000,
};

// True when a reader whose last piece was `lastPiece` bytes (0: none since
// an open, a seek or a failed read) may keep the rest of a buffer.
bool MayKeepRest(uint32_t lastPiece);

// Reads on, dropping pieces, until the reader keeps nothing or `budgetMs`
// has passed; *lastPiece follows the pieces. True when it keeps nothing.
bool SettleReader(IWMSyncReader *reader, uint32_t *lastPiece, uint32_t budgetMs);

// Closes what hold holds and leaves it empty: at once where the reader
// keeps nothing; else this thread's COM is undone here, and the worker
// takes the reader and its file over while this returns. Without a worker
// it is read on here, within kRetiredSettleMs.
void RetireReader(ReaderHold *hold, uint32_t lastPiece);

// Returns once every reader retired so far is closed or kept, or after
// kReleaseWaitMs.
void FinishRetiredReaders();
