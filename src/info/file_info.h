// The file-information query (module entry 2) and its attribute reading.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

#include "info/tag_set.h"
#include "plugin/abi.h"

// The audio format the player is told to expect when the runtime gives none.
enum { kDefaultSampleRate = 44100, kDefaultChannels = 2, kDefaultBitsPerSample = 16 };

// Where one query stores what it learns of a file.
struct Gathered {
    FileInfo *info;
    TagSet *tags;
    bool durationStored;  // this query stored a length in info
};

// Stores one header attribute into the record or the tags when its name is
// one the module knows (compared exactly, letter case included). Numbers
// shorter than their type are skipped; texts are bounded by the value's
// length.
void StoreAttribute(const WCHAR *name, WMT_ATTR_DATATYPE type, const BYTE *value, WORD length, Gathered *into);
