// The stand-in's COM objects. Each derives from the runtime's interface
// declarations, so its method table has the runtime's order; methods the
// plug-in never calls return E_NOTIMPL.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>
#include <uuids.h>

#include "script.h"

// IUnknown for a stand-in object of one interface: a reference count from
// 1, and QueryInterface answering to IUnknown and the interfaces Answers
// names (the object's own, unless overridden).
template <typename Interface>
class Counted : public Interface {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!IsEqualIID(id, __uuidof(IUnknown)) && !Answers(id)) return E_NOINTERFACE;
        *object = static_cast<Interface *>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

  protected:
    virtual ~Counted() = default;
    virtual bool Answers(REFIID id) const { return IsEqualIID(id, __uuidof(Interface)); }

  private:
    ULONG references_ = 1;
};

// A decoded sample of `size` bytes following Standin_SampleByte(index, ...),
// with a reference count of 1; counted in buffersAlive until released.
INSSBuffer *NewSampleBuffer(uint32_t index, uint32_t size);

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
