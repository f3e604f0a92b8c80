// The media runtime driven straight, without the plug-in: what the runtime
// itself costs, to set the plug-in's share against.
#pragma once

#include <stdint.h>
#include <windows.h>
#include <wmsdkidl.h>

typedef HRESULT(WINAPI *CreateSyncReaderFn)(IUnknown *, DWORD, IWMSyncReader **);

// WMCreateSyncReader of the runtime loaded by name, as the plug-in loads it
// (wmvcore.dll, as this process's overrides choose it); null where there is none.
CreateSyncReaderFn RuntimeFactory();

// One reader on path read to its end with the calls the plug-in makes per
// sample, and no copy; *bytes gets the decoded bytes. False when there is no
// runtime, it made no reader or the file did not open.
bool DecodeDirectly(const wchar_t *path, uint64_t *bytes);

// The runtime calls one soak cycle (SoakCycle) makes through the plug-in (a
// stream: output format, four samples, a seek, one more sample; then a query: header view,
// attribute count, output format), made straight on the runtime. Each reader
// is opened as the plug-in opens it, with OpenStream over a read-only stream
// of the file rather than by name, so that what the runtime keeps of it is
// what it keeps of the plug-in's. Wine's own reader keeps a few kilobytes
// for every reader, seek and format query, which is not the plug-in's: this
// measures that share. False as above.
bool RunRuntimeCycle(const wchar_t *path);
