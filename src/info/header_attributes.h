// Attributes from the file's own header, for a runtime that cannot list them.
#pragma once

#include <windows.h>

#include "info/tag_set.h"
#include "plugin/abi.h"

// Reads the ASF header of the file and stores its attributes as the runtime's
// own are stored. The file is opened for reading, shared with every other
// opener, and closed before this returns. Does nothing for a file that cannot
// be opened or is no whole ASF file.
void StoreHeaderAttributes(const WCHAR *fileName, FileInfo *info, TagSet *tags);
