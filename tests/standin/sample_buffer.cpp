// INSSBuffer: one decoded sample, its bytes made when it is handed out.
#include <vector>

#include "objects.h"

namespace {

class SampleBuffer final : public Counted<INSSBuffer> {
  public:
    SampleBuffer(uint32_t index, uint32_t from, uint32_t size) : index_(index), size_(size), bytes_(size + 1) {
        // One spare byte keeps the data pointer non-null for an empty sample.
        for (uint32_t at = 0; at < size; ++at) bytes_[at] = Standin_SampleByte(index, from + at);
        ++Record().buffersAlive;
    }
    ~SampleBuffer() { --Record().buffersAlive; }

    // A sample whose bytes were once handed out keeps handing them out, as a
    // runtime's buffer does; a failure switched on meanwhile is for the
    // samples still to come.
    HRESULT STDMETHODCALLTYPE GetBufferAndLength(BYTE **buffer, DWORD *length) override {
        if (!handedOut_ && BufferFails(index_)) return E_FAIL;
        if (!buffer || !length) return E_POINTER;
        handedOut_ = true;
        *buffer = bytes_.data();
        *length = size_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLength(DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetLength(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetBuffer(BYTE **) override { return E_NOTIMPL; }

  private:
    uint32_t index_;
    uint32_t size_;
    bool handedOut_ = false;
    std::vector<BYTE> bytes_;
};

}  // namespace

INSSBuffer *NewSampleBuffer(uint32_t index, uint32_t from, uint32_t size) {
    return new SampleBuffer(index, from, size);
}
