// The stand-in's COM objects. Each derives from the runtime's interface
// declarations, so its method table has the runtime's order; methods the
// plug-in never calls return E_NOTIMPL.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>
#include <uuids.h>

#include "counted.h"
#include "script.h"

// A decoded sample of `size` bytes following Standin_SampleByte(index, from + ...),
// with a reference count of 1; counted in buffersAlive until released.
INSSBuffer *NewSampleBuffer(uint32_t index, uint32_t from, uint32_t size);

// Output properties describing `format`, with a reference count of 1;
// counted in propsAlive until released.
IWMOutputMediaProps *NewOutputProps(const OutputFormat &format);

// The profile's word on one stream, with a reference count of 1; counted
// in propsAlive until released. bitrate 0: GetBitrate is not implemented.
IWMStreamConfig *NewStreamConfig(WORD stream, bool audio, uint32_t bitrate);

// The format a media type describes (audio is left as it was); false when
// it holds no WAVEFORMATEX.
bool FormatOfType(const WM_MEDIA_TYPE *type, OutputFormat *format);

// Takes the reference a kKeepStream reader keeps past its Close.
void KeepStream(IStream *stream);

// Error codes of the runtime the stand-in gives.
enum : HRESULT {
    kNoMoreSamples = static_cast<HRESULT>(0xC00D0BCF),   // NS_E_NO_MORE_SAMPLES
    kFileNotFound = static_cast<HRESULT>(0xC00D001A),    // NS_E_FILE_NOT_FOUND
    kInvalidRequest = static_cast<HRESULT>(0xC00D002B),  // NS_E_INVALID_REQUEST
    kInvalidOutputFormat = static_cast<HRESULT>(0xC00D0BC2),  // NS_E_INVALID_OUTPUT_FORMAT
    kNoStream = static_cast<HRESULT>(0xC00D0033),             // NS_E_NO_STREAM
};
