// IWMOutputMediaProps: the decoded format of output 0, as a WM_MEDIA_TYPE
// followed by its WAVEFORMATEX (or WAVEFORMATEXTENSIBLE).
#include "objects.h"

#include <mmreg.h>
#include <string.h>
#include <uuids.h>

namespace {

class OutputProps final : public Counted<IWMOutputMediaProps> {
  public:
    explicit OutputProps(const OutputFormat &format) : format_(format) { ++Record().propsAlive; }
    ~OutputProps() { --Record().propsAlive; }

    HRESULT STDMETHODCALLTYPE GetType(GUID *type) override {
        if (!type) return E_POINTER;
        *type = format_.audio ? WMMEDIATYPE_Audio : WMMEDIATYPE_Video;
        return S_OK;
    }

    // With a null type only the size is reported; a size too small is refused.
    // There is always room for a whole extensible format after the type, so
    // that a block shorter than claimed still has its rest behind it.
    HRESULT STDMETHODCALLTYPE GetMediaType(WM_MEDIA_TYPE *type, DWORD *size) override {
        if (!size) return E_POINTER;
        bool extensible = format_.formatTag == WAVE_FORMAT_EXTENSIBLE;
        DWORD formatSize = extensible ? sizeof(WAVEFORMATEXTENSIBLE) : sizeof(WAVEFORMATEX);
        DWORD needed = sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEXTENSIBLE);
        if (!type) {
            *size = needed;
            return S_OK;
        }
        if (*size < needed) return E_INVALIDARG;
        *size = needed;

        WAVEFORMATEXTENSIBLE wave;
        memset(&wave, 0, sizeof(wave));
        wave.Format.wFormatTag = format_.formatTag;
        wave.Format.nChannels = format_.channels;
        wave.Format.nSamplesPerSec = format_.sampleRate;
        wave.Format.wBitsPerSample = format_.bitsPerSample;
        wave.Format.nBlockAlign = static_cast<WORD>(format_.channels * (format_.bitsPerSample / 8));
        wave.Format.nAvgBytesPerSec = format_.sampleRate * wave.Format.nBlockAlign;
        if (extensible) {
            wave.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
            wave.Samples.wValidBitsPerSample = format_.bitsPerSample;
            // The base media subtype; its first field carries a wave format tag.
            wave.SubFormat = WMMEDIASUBTYPE_Base;
            wave.SubFormat.Data1 = format_.block == kBlockFloatSubFormat ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
        }

        memset(type, 0, sizeof(*type));
        type->majortype = format_.audio ? WMMEDIATYPE_Audio : WMMEDIATYPE_Video;
        type->subtype = WMMEDIASUBTYPE_Base;
        type->subtype.Data1 = format_.formatTag;
        type->bFixedSizeSamples = TRUE;
        type->lSampleSize = wave.Format.nBlockAlign;
        type->formattype = FORMAT_WaveFormatEx;
        type->cbFormat = format_.block == kBlockShorterThanClaimed ? sizeof(WAVEFORMATEX) : formatSize;
        memcpy(type + 1, &wave, sizeof(wave));
        type->pbFormat = format_.block == kBlockMissing ? nullptr : reinterpret_cast<BYTE *>(type + 1);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMediaType(WM_MEDIA_TYPE *type) override {
        if (!type) return E_POINTER;
        return FormatOfType(type, &format_) ? S_OK : E_INVALIDARG;
    }
    HRESULT STDMETHODCALLTYPE GetStreamGroupName(WCHAR *, WORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionName(WCHAR *, WORD *) override { return E_NOTIMPL; }

  private:
    // Also the media properties it extends.
    bool Answers(REFIID id) const override {
        return IsEqualIID(id, __uuidof(IWMOutputMediaProps)) || IsEqualIID(id, __uuidof(IWMMediaProps));
    }

    OutputFormat format_;
};

}  // namespace

IWMOutputMediaProps *NewOutputProps(const OutputFormat &format) { return new OutputProps(format); }

bool FormatOfType(const WM_MEDIA_TYPE *type, OutputFormat *format) {
    if (!IsEqualGUID(type->formattype, FORMAT_WaveFormatEx) || !type->pbFormat || type->cbFormat < sizeof(WAVEFORMATEX)) return false;
    const WAVEFORMATEX *wave = reinterpret_cast<const WAVEFORMATEX *>(type->pbFormat);
    format->formatTag = wave->wFormatTag;
    format->sampleRate = wave->nSamplesPerSec;
    format->channels = wave->nChannels;
    format->bitsPerSample = wave->wBitsPerSample;
    format->block = kBlockAsDescribed;
    return true;
}
