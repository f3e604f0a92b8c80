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
// on, dropping pieces, until one is shorter settles it.
//
// Windows' runtime hands out whole samples, which may well be exactly
// 16,384 bytes: there nothing here reads, waits or starts a thread.
#pragma once

#include <stdint.h>

#include "media/reader.h"

// How long a seek may read on before it gives up on the reader.
enum : uint32_t { kSeekSettleMs = 300 };

// True when a reader whose last piece was `lastPiece` bytes (0: none since
// an open, a seek or a failed read) may keep the rest of a buffer.
bool MayKeepRest(uint32_t lastPiece);

// Reads on, dropping pieces, until the reader keeps nothing or `budgetMs`
// has passed (INFINITE: until it keeps nothing); *lastPiece follows the
// pieces. True when it keeps nothing.
bool SettleReader(IWMSyncReader *reader, uint32_t *lastPiece, uint32_t budgetMs);

// Closes what hold holds and leaves it empty: at once where the reader
// keeps nothing; else this thread's COM is undone here, and a worker thread
// settles the reader, then closes it and its file, while this returns.
void RetireReader(ReaderHold *hold, uint32_t lastPiece);

// Returns once every reader retired so far is closed.
void FinishRetiredReaders();
