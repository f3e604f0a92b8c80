// Files Wine's runtime is never asked to open: those whose header its ASF
// demuxer (GStreamer's) refuses while it reads it. A refusal found there
// may be lost and leave the runtime's open waiting for ever (see
// open_deadline.h); answering for such a file here costs a few small reads
// and no wait. Knows nothing of Windows.
#pragma once

#include <stdint.h>

#include "asf/asf_header.h"

// True when the ASF file of `fileSize` bytes read through `read` has a
// header the demuxer refuses: a protection object among the Header
// Object's children (content encryption, extended content encryption,
// digital signature, a PlayReady header), children that run past the
// Header Object or fewer than it counts, or no Data Object right after
// it. False for content that does not start as ASF (the runtime's to play
// or refuse) and for a header with more children than a real one has.
bool AsfHeaderRefused(AsfReadFn read, void *context, uint64_t fileSize);
