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
// is given up after a deadline; AskOfWine (wine_runtime.h) keeps the files
// the demuxer refuses, and those with no packet that parses, from reaching
// it at all. Both can go once Wine's
// wait has a timeout or decodebin passes the demuxer's error on.
//
// An open given up may never come back; its reader is kept as a stuck
// reader (wine_worker.h), never touched again. The same file, unchanged, is
// not asked again in this process. While kMostOpensGivenUp stuck readers
// are kept, content the plug-in cannot vouch for (not ASF, or more than its
// reading examines) is not asked either; an ASF file it reads whole with
// sound still is, until kMostOpensOutstanding are kept: that bounds what
// stuck readers cost a 32-bit process (some 4 threads and 12 to 14 MB of
// address space each), and a session that gave up on some opens goes on
// playing the files that play.
//
// Threads: an open runs on a worker (wine_worker.h) that then waits
// kWorkerIdleMs (open_deadline.cpp) for the next open before it ends. The
// caller waits for its own open up to the deadline and for nothing else;
// no one ever waits for a worker.
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
// that opened it (the worker under Wine, the caller on Windows) as soon as
// the open returns, while the caller waits in OpenBeforeDeadline. It may
// close and release the reader. An open given up never runs it, so the
// visit and its context need outlive only OpenBeforeDeadline. Not given
// up on once it has started, so it must not wait on the runtime's
// decoding. Wine's runtime starts decoding as its open returns and loses
// some 10 KB (Wine 8, GStreamer 1.22) when a reader is closed after its
// first audio is decoded and before any is read; a query that closes its
// reader here is done well before that, while handed back to the caller's
// thread it is not (the hand-over alone takes about half a millisecond).
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
// the plug-in's own reading found sound in the file (see above). The open
// holds a reference to the stream and a copy of the name of its own. After
// kOpenGivenUp the reader belongs to the worker, which releases it should
// the open ever come back: the caller must forget it (never use or release
// it) and close the file, so that the stuck open reads nothing more.
OpenOutcome OpenBeforeDeadline(IWMSyncReader *reader, const FileSource *file, const WCHAR *name, bool vouched,
                               const ReaderVisit *visit, HRESULT *status);
