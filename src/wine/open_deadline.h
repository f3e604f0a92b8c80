// The runtime's open of a file, run against the clock where the runtime is
// Wine's; on Windows it runs on the calling thread as it always did.
//
// Wine's runtime (8.0 and 10.0 over GStreamer 1.22, and later sources
// alike) can wait for ever inside Open. Its wg_parser_connect sets the
// pipeline to PAUSED and waits in gst_element_get_state with no timeout,
// counting on the ASF demuxer's error to end the wait when a file is
// refused. But decodebin adds the demuxer inside its "error filter"
// window and drops the errors it collected there when the window closes:
// a demuxer that refuses the header before that posts an error nobody
// sees, no pad ever appears, and Wine waits. It is a race, lost more often
// on a loaded machine. So under Wine the open runs on a worker thread and
// is given up after a deadline; asf_refusal.h keeps the files the demuxer
// refuses at the header from reaching it at all. Both can go once Wine's
// wait has a timeout or decodebin passes the demuxer's error on.
//
// An open given up may never come back (the runtime keeps some 4 threads
// and 12 to 14 MB of address space for it), and its reader is never touched
// again. The same file, unchanged, is not asked again in this process.
// While kMostOpensGivenUp opens are outstanding, content the plug-in cannot
// vouch for (not ASF, or more than its reading examines) is not asked
// either; an ASF file it reads whole with sound still is, up to
// kMostOpensOutstanding in all: that bounds what stuck opens cost a 32-bit
// process, and a session that gave up on some opens goes on playing the
// files that play.
// A worker waits 30 s for the next open before it ends, and keeps the DLL
// loaded meanwhile. Nothing here ever waits for a worker but the open that
// handed it work.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#include "media/file_source.h"

enum {
    // Long enough for a good file's open on a machine under load.
    kOpenDeadlineMs = 10000,
    // Until one open has come back in this process: the first ones also
    // load GStreamer and may build its registry.
    kFirstOpenDeadlineMs = 60000,
    kMostOpensGivenUp = 8,
    kMostOpensOutstanding = 16,
};

// What a caller does with a reader whose open succeeded, run on the thread
// that opened it as soon as the open returns, before OpenBeforeDeadline
// does. Wine's runtime starts decoding as its open returns and loses some
// 10 KB (Wine 8, GStreamer 1.22) when a reader is closed after its first
// audio is decoded and before any is read; a query that closes its reader
// here is done well before that, while handed back to the caller's thread
// it is not (the hand-over alone takes about half a millisecond). Not
// given up on once it has started, so it must not wait on the runtime's
// decoding.
struct ReaderVisit {
    void (*run)(void *context, IWMSyncReader *reader);
    void *context;
};

enum OpenOutcome {
    kOpenReturned,  // the runtime answered; *status holds its answer
    kOpenGivenUp,   // the deadline passed: the reader now belongs to the worker
    kOpenNotAsked,  // given up on before, or too many given up: the reader was not used
};

// Opens `reader` on the stream over `file`, or by `name` where file is
// null; then runs `visit`, where not null, if the open succeeded. `vouched`:
// the plug-in's own reading found sound in the file (see above). After
// kOpenGivenUp the caller must forget the reader (never use or release it)
// and close the file so that nothing keeps it open.
OpenOutcome OpenBeforeDeadline(IWMSyncReader *reader, const FileSource *file, const WCHAR *name, bool vouched,
                               const ReaderVisit *visit, HRESULT *status);
