// Attributes from the file's own header, for a runtime that cannot list them.
#pragma once

#include <windows.h>

#include "info/tag_set.h"
#include "media/file_source.h"
#include "plugin/abi.h"

// Reads the ASF header of the open file and stores its attributes as the
// runtime's own are stored. False, with nothing stored, for a file that is
// no whole ASF file (or no file at all).
bool StoreHeaderAttributes(const FileSource &source, FileInfo *info, TagSet *tags);
