// The bridge's reader: Wine's own synchronous reader behind a thin wrapper
// that forwards every reader call unchanged, plus a header view of the
// bridge's own that lists the file-level attributes of the open file.
#pragma once

#define CINTERFACE
#define COBJMACROS
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <wmsdkidl.h>

#include <vector>

#include "asf_header.h"

struct BridgeReader {
    IWMSyncReader readerFace;  // first word: the reader table
    IWMHeaderInfo headerFace;  // the header view of the same object
    LONG refs;                 // shared by both views
    IWMSyncReader *inner;      // Wine's reader; released with the last reference
    IWMHeaderInfo *innerHeader;  // Wine's header view, for markers and scripts; may be null
    bool opened;               // a file or stream is open: attributes are valid
    std::vector<AsfAttribute> attributes;
};

// Wraps inner, taking over its reference. Null when out of memory (inner is
// then released).
IWMSyncReader *WrapSyncReader(IWMSyncReader *inner);

// The header view's table, and the reader's attribute loading on open.
extern const IWMHeaderInfoVtbl kBridgeHeaderTable;
void LoadAttributesFromFile(BridgeReader *reader, const WCHAR *fileName);
void LoadAttributesFromStream(BridgeReader *reader, IStream *stream);

// Readers alive now, for the tests' leak checks.
extern LONG g_liveReaders;

// Interface ids, spelled here so the bridge links against nothing but the
// system DLLs.
extern const IID kIidUnknown;
extern const IID kIidSyncReader;
extern const IID kIidHeaderInfo;
