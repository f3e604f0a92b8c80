// What the file's own header says: the attributes, for a runtime that
// cannot list them, and the data packets the file holds, which no runtime
// tells.
#pragma once

#include <windows.h>

#include "info/asf_header.h"
#include "info/file_info.h"
#include "media/file_source.h"

// Reads the ASF header of the open file into *packets and, where `into` is
// not null, stores its attributes as the runtime's own are stored. False,
// with nothing stored and no packets, for a file that is no whole ASF file
// (or no file at all).
bool ReadFileHeader(const FileSource &source, Gathered *into, AsfPackets *packets);
