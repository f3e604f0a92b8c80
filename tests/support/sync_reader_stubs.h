// The reader methods the plug-in never calls, for the test runtimes that
// stand in for the media runtime: each answers E_NOTIMPL.
#pragma once

#include <windows.h>
#include <wmsdkidl.h>

class SyncReaderStubs : public IWMSyncReader {
public:
    HRESULT STDMETHODCALLTYPE SetRangeByFrame(WORD, QWORD, LONGLONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetStreamsSelected(WORD, WORD *, WMT_STREAM_SELECTION *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamSelected(WORD, WMT_STREAM_SELECTION *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetReadStreamSamples(WORD, WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetReadStreamSamples(WORD, WINBOOL *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetOutputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE *, BYTE *, WORD *) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetOutputSetting(DWORD, LPCWSTR, WMT_ATTR_DATATYPE, const BYTE *, WORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetOutputCount(DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetOutputProps(DWORD, IWMOutputMediaProps *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetOutputFormatCount(DWORD, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetOutputFormat(DWORD, DWORD, IWMOutputMediaProps **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetOutputNumberForStream(WORD, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStreamNumberForOutput(DWORD, WORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMaxOutputSampleSize(DWORD, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMaxStreamSampleSize(WORD, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenStream(IStream *) override { return E_NOTIMPL; }
};
