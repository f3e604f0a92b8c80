// The timing runtime: a synchronous reader whose samples cost nothing to
// make (see bench_runtime.h).
#include <windows.h>
#include <wmsdkidl.h>

#include "counted.h"
#include "sync_reader_stubs.h"

#include "bench_runtime.h"

namespace {

const QWORD kSampleSpacing = 100000;  // 10 ms in 100-ns units
const HRESULT kNoMoreSamples = static_cast<HRESULT>(0xC00D0BCF);  // NS_E_NO_MORE_SAMPLES

uint32_t gSampleSize = 8192;
uint32_t gSampleCount = 0;
long gSamplesHeld = 0;
alignas(64) BYTE gSampleBytes[kBenchMaxSample];  // the copy source starts a cache line

// The one buffer behind every sample; references count the holders.
class SharedSample final : public INSSBuffer {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (id != __uuidof(IUnknown) && id != __uuidof(INSSBuffer)) return E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++gSamplesHeld); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--gSamplesHeld); }
    HRESULT STDMETHODCALLTYPE GetLength(DWORD *length) override {
        *length = gSampleSize;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetLength(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMaxLength(DWORD *length) override {
        *length = kBenchMaxSample;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBuffer(BYTE **buffer) override {
        *buffer = gSampleBytes;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBufferAndLength(BYTE **buffer, DWORD *length) override {
        *buffer = gSampleBytes;
        *length = gSampleSize;
        return S_OK;
    }
};

SharedSample gSample;

class BenchReader final : public Counted<IWMSyncReader, SyncReaderStubs> {
  public:
    HRESULT STDMETHODCALLTYPE Open(const WCHAR *) override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetRange(QWORD start, LONGLONG) override {
        next_ = (start + kSampleSpacing - 1) / kSampleSpacing;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetNextSample(WORD, INSSBuffer **sample, QWORD *time, QWORD *duration, DWORD *flags,
                                            DWORD *output, WORD *stream) override {
        if (next_ >= gSampleCount) return kNoMoreSamples;
        gSample.AddRef();
        *sample = &gSample;
        if (time) *time = next_ * kSampleSpacing;
        if (duration) *duration = kSampleSpacing;
        if (flags) *flags = 0;
        if (output) *output = 0;
        if (stream) *stream = 1;
        ++next_;
        return S_OK;
    }

    // Nothing else is asked of a reader while a stream plays.
    HRESULT STDMETHODCALLTYPE GetOutputProps(DWORD, IWMOutputMediaProps **) override { return E_NOTIMPL; }

  private:
    QWORD next_ = 0;
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI WMCreateSyncReader(IUnknown *, DWORD, IWMSyncReader **reader) {
    if (!reader) return E_POINTER;
    *reader = new BenchReader();
    return S_OK;
}

BENCH_RUNTIME_API void BenchRuntime_SetSamples(uint32_t size, uint32_t count) {
    gSampleSize = size < kBenchMaxSample ? size : kBenchMaxSample;
    gSampleCount = count;
    for (uint32_t i = 0; i < kBenchMaxSample; ++i) gSampleBytes[i] = static_cast<BYTE>(i * 7 + 1);
}

BENCH_RUNTIME_API long BenchRuntime_SamplesHeld(void) { return gSamplesHeld; }

BENCH_RUNTIME_API const uint8_t *BenchRuntime_SampleBytes(void) { return gSampleBytes; }
