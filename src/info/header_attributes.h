// What the file's own header says: the attributes, for a runtime that
// cannot list them, and the data packets the file holds, which no runtime
// tells.
#pragma once

#include <windows.h>

#include "asf/asf_header.h"
#include "info/file_info.h"
#include "media/file_source.h"

// Reads the ASF header of the open file and, past it, how long its data
// packets run, into *held; where `into` is not null, stores the header's
// attributes as the runtime's own are stored. False, with nothing stored
// and nothing known held, for a file that is no whole ASF file (or no file
// at all).
bool ReadFileHeader(const FileSource &source, Gathered *into, AsfHeld *held);
