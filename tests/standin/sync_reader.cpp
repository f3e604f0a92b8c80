// IWMSyncReader with its header view IWMHeaderInfo and its profile
// IWMProfile, one object with one reference count, and the runtime's
// factory WMCreateSyncReader.
#include <string.h>

#include <algorithm>

#include "objects.h"
#include "sync_reader_stubs.h"

namespace {

class SyncReader final : public SyncReaderStubs, public IWMHeaderInfo, public IWMProfile {
  public:
    SyncReader() {
        ++Record().readersCreated;
        ++Record().readersAlive;
    }
    ~SyncReader() {
        if (stream_) stream_->Release();
        --Record().readersAlive;
    }

    // IUnknown, shared by both interfaces.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void **object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (IsEqualIID(id, __uuidof(IUnknown)) || IsEqualIID(id, __uuidof(IWMSyncReader))) {
            *object = static_cast<IWMSyncReader *>(this);
        } else if (IsEqualIID(id, __uuidof(IWMHeaderInfo))) {
            if (Failing(kFailQueryHeaderInfo)) return E_FAIL;
            *object = static_cast<IWMHeaderInfo *>(this);
        } else if (IsEqualIID(id, __uuidof(IWMProfile))) {
            *object = static_cast<IWMProfile *>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IWMSyncReader: the calls the plug-in makes.
    HRESULT STDMETHODCALLTYPE Open(const WCHAR *name) override {
        StandinRecord &record = Record();
        ++record.opens;
        if (!name) return E_INVALIDARG;
        wcsncpy(record.lastOpenName, name, 2047);
        record.lastOpenName[2047] = 0;
        if (Failing(kFailOpen)) return E_FAIL;
        const ScriptedFile *file = FindFile(name);
        if (!file) return kFileNotFound;
        OpenScripted(file);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE OpenStream(IStream *stream) override {
        ++Record().streamOpens;
        while (Failing(kHangOpen)) Sleep(10);
        if (!stream) return E_INVALIDARG;
        std::vector<uint8_t> bytes;
        HRESULT status = ReadWholeStream(stream, &bytes);
        if (FAILED(status)) return status;
        const ScriptedFile *file = FindFileHolding(bytes);
        if (file) {
            wcsncpy(Record().lastOpenName, file->name.c_str(), 2047);
            Record().lastOpenName[2047] = 0;
        }
        if (Failing(kFailOpen)) return E_FAIL;
        if (!file) return kFileNotFound;
        OpenScripted(file);
        stream->AddRef();
        stream_ = stream;
        keepStream_ = Failing(kKeepStream);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Close() override {
        ++Record().closes;
        if (!open_) return kInvalidRequest;
        Record().keptRestsMet += restFrom_ != 0;
        restFrom_ = staleFrom_ = 0;
        open_ = false;
        file_ = ScriptedFile();
        if (stream_ && keepStream_) KeepStream(stream_);
        else if (stream_) stream_->Release();
        stream_ = nullptr;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetRange(QWORD start, LONGLONG duration) override {
        StandinRecord &record = Record();
        ++record.setRangeCalls;
        record.lastRangeStart = start;
        record.lastRangeDuration = static_cast<uint64_t>(duration);
        if (Failing(kFailSetRange)) return E_FAIL;
        if (!open_) return kInvalidRequest;
        Record().keptRestsMet += restFrom_ != 0;
        staleFrom_ = restFrom_;
        restFrom_ = 0;
        // The first sample starting at or after the landing time.
        SeekLanding landing = Landing();
        int64_t at = static_cast<int64_t>(start) + landing.shift;
        QWORD landed = at < 0 ? 0 : static_cast<QWORD>(at);
        if (landed < landing.floor) landed = landing.floor;
        if (Stamps() == kStampsWholeMs) {
            nextSample_ = 0;
            while (nextSample_ < file_.sampleSizes.size() && ExactEnd(nextSample_) <= landed) ++nextSample_;
            return S_OK;
        }
        QWORD first = (landed + kSampleSpacing - 1) / kSampleSpacing;
        nextSample_ = first < file_.sampleSizes.size() ? static_cast<size_t>(first) : file_.sampleSizes.size();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetNextSample(WORD stream, INSSBuffer **sample, QWORD *time, QWORD *duration,
                                            DWORD *flags, DWORD *output, WORD *streamOut) override {
        StandinRecord &record = Record();
        ++record.getNextSampleCalls;
        record.lastStreamNumberArg = stream;
        record.lastStreamReceiverNull = streamOut == nullptr;
        if (Failing(kFailGetNextSample)) return E_FAIL;
        if (!open_) return kInvalidRequest;
        if (!sample) return E_POINTER;
        if (Failing(kSlowSamples)) Sleep(20);
        uint32_t index = static_cast<uint32_t>(restSample_), from = restFrom_;
        if (!restFrom_) {
            while (nextSample_ < file_.sampleSizes.size() && !Selected(file_.sampleOutputs[nextSample_])) ++nextSample_;
            if (nextSample_ >= file_.sampleSizes.size()) return kNoMoreSamples;
            index = static_cast<uint32_t>(nextSample_++);
            from = std::min(staleFrom_, file_.sampleSizes[index]);
            staleFrom_ = 0;
        }
        uint32_t size = file_.sampleSizes[index] - from;
        restFrom_ = Failing(kWinePieces) && size > kWinePiece ? from + kWinePiece : 0;
        restSample_ = index;
        *sample = NewSampleBuffer(index, from, restFrom_ ? kWinePiece : size);
        bool wholeMs = Stamps() == kStampsWholeMs;
        if (time) *time = wholeMs ? WholeMs(BytesBefore(index), index) : static_cast<QWORD>(index) * kSampleSpacing;
        if (duration) *duration = wholeMs ? WholeMs(file_.sampleSizes[index], index) : QWORD{kSampleSpacing};
        if (flags) *flags = 0;
        if (output) *output = file_.sampleOutputs[index];
        if (streamOut) *streamOut = file_.streams.at(file_.sampleOutputs[index]);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetOutputCount(DWORD *count) override {
        if (!count) return E_POINTER;
        if (!open_) return kInvalidRequest;
        *count = static_cast<DWORD>(file_.outputs.size());
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetStreamNumberForOutput(DWORD output, WORD *stream) override {
        if (!stream) return E_POINTER;
        if (!open_) return kInvalidRequest;
        if (output >= file_.outputs.size()) return E_INVALIDARG;
        *stream = file_.streams[output];
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE SetStreamsSelected(WORD count, WORD *streams, WMT_STREAM_SELECTION *selections) override {
        if (Failing(kFailSetStreamsSelected)) return E_FAIL;
        if (!open_) return kInvalidRequest;
        if (!count || !streams || !selections) return E_INVALIDARG;
        for (WORD at = 0; at < count; ++at)
            if (OutputOf(streams[at]) == file_.outputs.size()) return kInvalidRequest;
        for (WORD at = 0; at < count; ++at) selected_[OutputOf(streams[at])] = selections[at] != WMT_OFF;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetOutputFormatCount(DWORD output, DWORD *count) override {
        if (!count) return E_POINTER;
        if (!open_) return kInvalidRequest;
        if (output >= file_.outputs.size()) return E_INVALIDARG;
        *count = output < file_.offered.size() ? static_cast<DWORD>(file_.offered[output].size()) : 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetOutputFormat(DWORD output, DWORD index, IWMOutputMediaProps **props) override {
        if (!props) return E_POINTER;
        if (!open_) return kInvalidRequest;
        if (output >= file_.offered.size() || index >= file_.offered[output].size()) return E_INVALIDARG;
        *props = NewOutputProps(file_.offered[output][index]);
        return S_OK;
    }

    // Takes plain PCM where the script says so; the output reports it from then on.
    HRESULT STDMETHODCALLTYPE SetOutputProps(DWORD output, IWMOutputMediaProps *props) override {
        StandinRecord &record = Record();
        ++record.setOutputPropsCalls;
        if (!open_) return kInvalidRequest;
        if (!props || output >= file_.outputs.size()) return E_INVALIDARG;
        DWORD size = 0;
        if (FAILED(props->GetMediaType(nullptr, &size))) return E_INVALIDARG;
        std::vector<uint8_t> bytes(size);
        WM_MEDIA_TYPE *type = reinterpret_cast<WM_MEDIA_TYPE *>(bytes.data());
        OutputFormat format = file_.outputs[output];
        if (size < sizeof(WM_MEDIA_TYPE) || FAILED(props->GetMediaType(type, &size)) || !FormatOfType(type, &format))
            return E_INVALIDARG;
        record.lastSetFormatTag = format.formatTag;
        record.lastSetRate = format.sampleRate;
        record.lastSetChannels = format.channels;
        record.lastSetBits = format.bitsPerSample;
        if (!file_.acceptsProps || format.formatTag != WAVE_FORMAT_PCM) return kInvalidOutputFormat;
        file_.outputs[output] = format;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetOutputProps(DWORD output, IWMOutputMediaProps **props) override {
        if (!props) return E_POINTER;
        if (!open_) return kInvalidRequest;
        if (output >= file_.outputs.size()) return E_INVALIDARG;
        if (file_.outputs[output].formatTag == 0) return E_FAIL;
        *props = NewOutputProps(file_.outputs[output]);
        return S_OK;
    }

    // IWMHeaderInfo: the calls the plug-in makes. Only stream 0 (the file
    // level) has attributes.
    HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD stream, WORD *count) override {
        StandinRecord &record = Record();
        ++record.attributeCountCalls;
        record.lastAttributeStreamArg = stream;
        if (Failing(kFailGetAttributeCount)) return E_FAIL;
        if (!open_) return kInvalidRequest;
        if (!count) return E_POINTER;
        *count = stream == 0 ? static_cast<WORD>(file_.attributes.size()) : 0;
        return S_OK;
    }

    // Null buffers ask for the lengths: the name in units (terminator
    // included when it has one) and the value in bytes.
    HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD index, WORD *stream, WCHAR *name, WORD *nameLength,
                                                  WMT_ATTR_DATATYPE *type, BYTE *value, WORD *length) override {
        StandinRecord &record = Record();
        ++record.attributeByIndexCalls;
        record.lastIndexStreamArg = stream ? *stream : -1;
        if (!open_) return kInvalidRequest;
        if (!stream || !nameLength || !type || !length) return E_INVALIDARG;
        if (*stream != 0 || index >= file_.attributes.size()) return E_INVALIDARG;
        if ((name || value) && Failing(kFailGetAttributeByIndex)) return E_FAIL;

        const ScriptedAttribute &attribute = file_.attributes[index];
        WORD units = static_cast<WORD>(attribute.name.size());
        WORD bytes = static_cast<WORD>(attribute.value.size());
        *type = static_cast<WMT_ATTR_DATATYPE>(attribute.type);
        bool grows = Failing(kGrowBetweenCalls);
        if (!name && !value) {
            *nameLength = grows && units ? units - 1 : units;
            *length = grows && bytes ? bytes - 1 : bytes;
            return S_OK;
        }
        if (!grows && ((name && *nameLength < units) || (value && *length < bytes))) return E_INVALIDARG;
        if (name) memcpy(name, attribute.name.data(), (units < *nameLength ? units : *nameLength) * sizeof(WCHAR));
        if (value) memcpy(value, attribute.value.data(), bytes < *length ? bytes : *length);
        *nameLength = units;
        *length = bytes;
        return S_OK;
    }

    // Everything else of the header view.
    HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD *, LPCWSTR, WMT_ATTR_DATATYPE *, BYTE *, WORD *) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetAttribute(WORD, LPCWSTR, WMT_ATTR_DATATYPE, const BYTE *, WORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMarker(WORD, WCHAR *, WORD *, QWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddMarker(LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMarker(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScriptCount(WORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScript(WORD, WCHAR *, WORD *, WCHAR *, WORD *, QWORD *) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddScript(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveScript(WORD) override { return E_NOTIMPL; }

    // IWMProfile: every stream of the file, those no output shows among
    // them, in the order of their numbers.
    HRESULT STDMETHODCALLTYPE GetStreamCount(DWORD *count) override {
        if (!count) return E_POINTER;
        if (!open_) return kInvalidRequest;
        *count = static_cast<DWORD>(file_.outputs.size() + file_.grouped.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetStream(DWORD index, IWMStreamConfig **config) override {
        if (!config) return E_POINTER;
        if (!open_) return kInvalidRequest;
        std::vector<WORD> numbers(file_.streams.begin(), file_.streams.end());
        for (const GroupStream &member : file_.grouped) numbers.push_back(member.stream);
        if (index >= numbers.size()) return E_INVALIDARG;
        std::sort(numbers.begin(), numbers.end());
        return GetStreamByNumber(numbers[index], config);
    }
    HRESULT STDMETHODCALLTYPE GetStreamByNumber(WORD stream, IWMStreamConfig **config) override {
        if (!config) return E_POINTER;
        if (!open_) return kInvalidRequest;
        size_t output = OutputOf(stream);
        if (output < file_.outputs.size()) {
            *config = NewStreamConfig(stream, file_.outputs[output].audio, file_.bitrates[output]);
            return S_OK;
        }
        for (const GroupStream &member : file_.grouped) {
            if (member.stream != stream) continue;
            *config = NewStreamConfig(stream, file_.outputs[member.output].audio, member.bitrate);
            return S_OK;
        }
        return kNoStream;
    }
    HRESULT STDMETHODCALLTYPE GetVersion(WMT_VERSION *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetName(WCHAR *, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetName(const WCHAR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDescription(WCHAR *, DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetDescription(const WCHAR *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveStream(IWMStreamConfig *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveStreamByNumber(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddStream(IWMStreamConfig *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ReconfigStream(IWMStreamConfig *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateNewStream(REFGUID, IWMStreamConfig **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMutualExclusionCount(DWORD *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMutualExclusion(DWORD, IWMMutualExclusion **) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMutualExclusion(IWMMutualExclusion *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE AddMutualExclusion(IWMMutualExclusion *) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateNewMutualExclusion(IWMMutualExclusion **) override { return E_NOTIMPL; }

  private:
    bool Selected(uint32_t output) const { return output >= selected_.size() || selected_[output]; }

    // The output carrying stream `stream`; the output count when none does.
    size_t OutputOf(WORD stream) const {
        size_t output = 0;
        while (output < file_.streams.size() && file_.streams[output] != stream) ++output;
        return output;
    }

    // Bytes a second of the output sample `index` is on, at its format now.
    uint64_t ByteRate(size_t index) const {
        const OutputFormat &format = file_.outputs.at(file_.sampleOutputs[index]);
        return static_cast<uint64_t>(format.sampleRate) * format.channels * (format.bitsPerSample / 8);
    }
    // The bytes of the same output before sample `index`.
    uint64_t BytesBefore(size_t index) const {
        uint64_t bytes = 0;
        for (size_t at = 0; at < index; ++at)
            if (file_.sampleOutputs[at] == file_.sampleOutputs[index]) bytes += file_.sampleSizes[at];
        return bytes;
    }
    // `bytes` of sample `index`'s output as a time in whole milliseconds, rounded down.
    QWORD WholeMs(uint64_t bytes, size_t index) const {
        uint64_t rate = ByteRate(index);
        return rate ? bytes * 1000 / rate * 10000 : 0;
    }
    // Where sample `index` truly ends, in 100-ns units.
    QWORD ExactEnd(size_t index) const {
        uint64_t rate = ByteRate(index);
        return rate ? (BytesBefore(index) + file_.sampleSizes[index]) * 10000000 / rate : 0;
    }

    void OpenScripted(const ScriptedFile *file) {
        file_ = *file;  // a copy: Standin_Reset may forget the script meanwhile
        open_ = true;
        nextSample_ = 0;
        restFrom_ = staleFrom_ = 0;
        selected_.assign(file_.outputs.size(), true);
    }

    static HRESULT ReadWholeStream(IStream *stream, std::vector<uint8_t> *bytes) {
        STATSTG stat;
        HRESULT status = stream->Stat(&stat, STATFLAG_NONAME);
        if (FAILED(status)) return status;
        if (stat.cbSize.QuadPart > (64u << 20)) return E_OUTOFMEMORY;
        bytes->resize(static_cast<size_t>(stat.cbSize.QuadPart));
        LARGE_INTEGER start = {};
        ULONG read = 0;
        if (FAILED(status = stream->Seek(start, STREAM_SEEK_SET, nullptr))) return status;
        if (!bytes->empty() && FAILED(status = stream->Read(bytes->data(), static_cast<ULONG>(bytes->size()), &read)))
            return status;
        bytes->resize(read);
        return S_OK;
    }

    ULONG references_ = 1;
    bool open_ = false;
    ScriptedFile file_;
    size_t nextSample_ = 0;
    static const uint32_t kWinePiece = 16384;
    size_t restSample_ = 0;    // kWinePieces: the sample whose rest is kept,
    uint32_t restFrom_ = 0;    // from this byte on (0: none kept)
    uint32_t staleFrom_ = 0;   // where the next sample starts after a SetRange met a kept rest
    std::vector<bool> selected_;  // by output
    IStream *stream_ = nullptr;   // the stream OpenStream opened on
    bool keepStream_ = false;
};

}  // namespace

// Exported by its plain name through the .def file (stdcall, like the runtime's).
extern "C" HRESULT WINAPI WMCreateSyncReader(IUnknown *certificate, DWORD rights, IWMSyncReader **reader) {
    StandinRecord &record = Record();
    record.lastRights = rights;
    record.lastCertificateNull = certificate == nullptr;
    if (Failing(kFailCreate)) return E_FAIL;
    if (!reader) return E_POINTER;
    *reader = new SyncReader();
    return S_OK;
}
