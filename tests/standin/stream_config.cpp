// IWMStreamConfig: one stream of a reader's profile, its number, its kind
// and, where scripted, its bit rate.
#include "objects.h"

namespace {

class StreamConfig final : public Counted<IWMStreamConfig> {
  public:
    StreamConfig(WORD stream, bool audio, uint32_t bitrate) : stream_(stream), audio_(audio), bitrate_(bitrate) {
        ++Record().propsAlive;
    }
    ~StreamConfig() { --Record().propsAlive; }

    HRESULT STDMETHODCALLTYPE GetStreamType(GUID *type) override {
        if (!type) return E_POINTER;
        *type = audio_ ? WMMEDIATYPE_Audio : WMMEDIATYPE_Video;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStreamNumber(WORD *stream) override {
        if (!stream) return E_POINTER;
        *stream = stream_;
        return S_OK;
    }
    // Unscripted, as Wine's runtime answers.
    HRESULT STDMETHODCALLTYPE GetBitrate(DWORD *bitrate) override {
        if (!bitrate_) return E_NOTIMPL;
        if (!bitrate) return E_POINTER;
        *bitrate = bitrate_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetStreamNumber(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamName(WCHAR *, WORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStreamName(LPCWSTR_WMSDK_TYPE_SAFE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR *, WORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetConnectionName(LPCWSTR_WMSDK_TYPE_SAFE) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBitrate(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBufferWindow(DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetBufferWindow(DWORD) override { return E_NOTIMPL; }

  private:
    WORD stream_;
    bool audio_;
    uint32_t bitrate_;
};

}  // namespace

IWMStreamConfig *NewStreamConfig(WORD stream, bool audio, uint32_t bitrate) {
    return new StreamConfig(stream, audio, bitrate);
}
