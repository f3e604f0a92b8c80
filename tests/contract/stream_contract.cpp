// Random decoding-stream scenarios against the scripted stand-in runtime,
// each checked read by read against a model of the stream's promises:
//   - a sample of up to 40,000 bytes comes in one read; up to 128,000 bytes
//     as 40,000 then the rest; a larger one as 40,000, then 88,000, then
//     reads of at most 128,000 until it is done;
//   - empty samples and samples whose data cannot be had are skipped;
//   - Seek(ms) asks for SetRange(ms * 10,000, 0) and returns ms (a position
//     before the start is 0), or 0 when that fails; when it succeeds, neither a pending second part nor the
//     rest of an oversize sample survives it. (The files give no output
//     format, so the stream does not look for the exact position: the
//     landing has tests of its own.)
//   - at the end every read returns 0; Close gives back the reader and any
//     sample held; releasing the module leaves its streams working.
// Every byte handed out is compared with the stand-in's sample bytes.
#include <windows.h>

#include <string.h>

#include <algorithm>
#include <vector>

#include "contract_random.h"
#include "media/decode_stream.h"
#include "plugin/module.h"
#include "standin_control.h"

namespace {

enum : uint32_t {
    kFirstPart = 40000,       // the first read of a split sample
    kStaged = 128000,         // the most one read hands out
    kLargestSample = 300000,  // the largest sample a scenario scripts
    kMostSamples = 10,        // samples in one scripted file, at most
    kSampleSpacingMs = 10,    // the stand-in's samples start 10 ms apart
};

struct Coverage {
    uint64_t scenarios, reads, chunks, bytes, seeks, failedSeeks, skippedSamples, oversizeSamples;
    uint64_t closesMidRemainder, closesMidOversize, moduleReleasesWithStreams, queriesBesideStreams;
} coverage;

// The bytes of sample `index` of any scripted file, fetched once from the
// stand-in (they depend on the index and the offset only).
const uint8_t *SampleBytes(uint32_t index) {
    static std::vector<std::vector<uint8_t>> table(kMostSamples);
    std::vector<uint8_t> &bytes = table.at(index);
    if (bytes.empty()) {
        bytes.resize(kLargestSample);
        for (uint32_t at = 0; at < kLargestSample; ++at) bytes[at] = Standin_SampleByte(index, at);
    }
    return bytes.data();
}

struct File {
    std::string name;
    std::vector<uint32_t> sizes;
    bool scripted;  // false: Open fails with "file not found"
    bool fits;      // the name and its terminator fit the reader's 1024 UTF-16 units
};

// What a stream must do next, as the model knows it.
struct StreamModel {
    int number;  // in the order the scenario opened them, for its steps
    DecodeStream *stream;
    const File *file;
    bool hasReader;  // the open succeeded, so the stream holds a reader
    size_t next;     // the reader's next sample
    bool pending;    // the second part of a split sample waits
    uint32_t pendingSample, pendingLength;
    bool oversize;   // an oversize sample's rest is held (and so is its buffer)
    uint32_t oversizeSample, oversizeOffset, oversizeLength;
};

// The failure switches in force, mirrored from what was told to the stand-in.
struct Switches {
    uint32_t failures = 0;
    int failBufferOf = -1;
};

uint32_t SampleSize(Rng &rng) {
    static const uint32_t kEdges[] = {0, 1, 39999, 40000, 40001, 127999, 128000, 128001};
    static const uint32_t kOversize[] = {128001, 168000, 168001, 255999, 256000, 256001, 296000, 300000};
    uint32_t roll = rng.Below(100);
    if (roll < 55) return rng.Pick(kEdges);
    if (roll < 67) return rng.Pick(kOversize);
    if (roll < 77) return rng.Between(1, 2000);
    return rng.Between(0, kLargestSample);
}

// The chunk a read must hand out. A flexible chunk is the rest of an
// oversize sample: any size from 1 to `size` keeps the promise.
struct Expected {
    uint32_t sample, offset, size;
    bool flexible;
};

Expected NextChunk(StreamModel &m, const Switches &switches) {
    if (m.pending) {
        m.pending = false;
        return {m.pendingSample, kFirstPart, m.pendingLength, false};
    }
    if (m.oversize) {
        uint32_t rest = m.oversizeLength - m.oversizeOffset;
        return {m.oversizeSample, m.oversizeOffset, rest < kStaged ? rest : kStaged, true};
    }
    if (!m.hasReader) return {0, 0, 0, false};
    for (;;) {
        if (switches.failures & kFailGetNextSample) return {0, 0, 0, false};
        if (m.next >= m.file->sizes.size()) return {0, 0, 0, false};
        uint32_t index = static_cast<uint32_t>(m.next++);
        uint32_t size = m.file->sizes[index];
        bool unreadable = (switches.failures & kFailGetBufferAndLength) || switches.failBufferOf == int(index);
        if (unreadable || size == 0) {
            ++coverage.skippedSamples;
            continue;
        }
        uint32_t staged = size < kStaged ? size : kStaged;
        if (size > kStaged) {
            ++coverage.oversizeSamples;
            m.oversize = true;
            m.oversizeSample = index;
            m.oversizeOffset = kStaged;
            m.oversizeLength = size;
        }
        if (staged <= kFirstPart) return {index, 0, staged, false};
        m.pending = true;
        m.pendingSample = index;
        m.pendingLength = staged - kFirstPart;
        return {index, 0, kFirstPart, false};
    }
}

class StreamScenario {
  public:
    explicit StreamScenario(uint64_t seed) : rng_(seed) {}
    std::string Run();

  private:
    void DefineFiles();
    void OpenOne();
    void ReadOne(StreamModel &m);
    void SeekOne(StreamModel &m);
    void CloseOne(size_t at);
    void ChangeSwitches();
    void QueryBesideStreams();
    void CheckHoldings(const char *after);
    InputModule *Module();
    StreamModel &AnyStream() { return streams_[rng_.Below(static_cast<uint32_t>(streams_.size()))]; }

    Rng rng_;
    Verdict verdict_;
    StandinRecord start_;
    Switches switches_;
    std::vector<File> files_;
    std::vector<StreamModel> streams_;
    int opened_ = 0;
    InputModule *module_ = nullptr;
};

void StreamScenario::DefineFiles() {
    files_.resize(rng_.Between(1, 3));
    for (size_t at = 0; at < files_.size(); ++at) {
        File &file = files_[at];
        file.name = Say("C:\\contract\\song", at, ".wma");
        if (rng_.Percent(10)) {
            // Names about as long as the reader takes: 1,023 characters and the terminator fit.
            static const uint32_t kLengths[] = {1022, 1023, 1024, 1025};
            uint32_t length = rng_.Percent(70) ? rng_.Pick(kLengths) : rng_.Between(1000, 1100);
            file.name.insert(file.name.size() - 4, length - file.name.size(), 'x');
        }
        file.fits = file.name.size() + 1 <= 1024;
        file.scripted = !rng_.Percent(5);
        uint32_t count = rng_.Below(100) < 10 ? 0 : rng_.Between(1, kMostSamples);
        for (uint32_t n = 0; n < count; ++n) file.sizes.push_back(SampleSize(rng_));
        if (!file.scripted) continue;
        std::wstring wide(file.name.begin(), file.name.end());
        int id = Standin_DefineFile(wide.c_str());
        Standin_SetOutputFormat(id, 0, 0, 0, 0);
        for (uint32_t size : file.sizes) Standin_AddSample(id, size);
        std::string sizes;
        for (uint32_t size : file.sizes) sizes += Say(size, " ");
        verdict_.Step(Say("file ", at, " (name of ", file.name.size(), " characters): samples ", sizes));
    }
}

InputModule *StreamScenario::Module() {
    if (!module_) module_ = Velmor_GetInputModule2(GetModuleHandle(nullptr), nullptr);
    return module_;
}

// The stand-in's live readers and samples are exactly the ones the model's
// streams hold: no leak and no early release.
void StreamScenario::CheckHoldings(const char *after) {
    int readers = 0, buffers = 0;
    for (const StreamModel &m : streams_) {
        readers += m.hasReader;
        buffers += m.oversize;
    }
    StandinRecord now = Standin_Record();
    verdict_.Check(now.readersAlive - start_.readersAlive == readers,
                   Say("after ", after, ": ", now.readersAlive - start_.readersAlive, " readers alive, expected ",
                       readers));
    verdict_.Check(now.buffersAlive - start_.buffersAlive == buffers,
                   Say("after ", after, ": ", now.buffersAlive - start_.buffersAlive, " samples held, expected ",
                       buffers));
}

void StreamScenario::OpenOne() {
    size_t which = rng_.Below(static_cast<uint32_t>(files_.size()));
    const File &file = files_[which];
    InputModule *module = Module();
    if (!verdict_.Check(module != nullptr, "no module")) return;
    DecodeStream *stream = module->ops->OpenStream(module, file.name.c_str(), 0);
    verdict_.Step(Say("open file ", which, " -> stream ", opened_));
    if (!verdict_.Check(stream != nullptr, "OpenStream gave no stream")) return;
    bool opens = file.scripted && file.fits && !(switches_.failures & (kFailCreate | kFailOpen));
    streams_.push_back(StreamModel{opened_++, stream, &file, opens, 0, false, 0, 0, false, 0, 0, 0});
    CheckHoldings("open");
}

void StreamScenario::ReadOne(StreamModel &m) {
    static const uint8_t kUntouched = 0;
    const uint8_t *data = &kUntouched;
    uint32_t count = m.stream->ops->Read(m.stream, &data);
    Expected expected = NextChunk(m, switches_);
    ++coverage.reads;
    if (expected.size)
        verdict_.Step(Say("stream ", m.number, ": read -> ", count, " (expected ", expected.flexible ? "up to " : "",
                          expected.size, " from sample ", expected.sample, " byte ", expected.offset, ")"));
    else
        verdict_.Step(Say("stream ", m.number, ": read -> ", count, " (expected 0)"));
    if (expected.flexible) {
        if (!verdict_.Check(count >= 1 && count <= expected.size,
                            Say("the rest of oversize sample ", expected.sample, " from byte ", expected.offset,
                                " came as a read of ", count, " bytes, expected 1 to ", expected.size)))
            return;
        m.oversizeOffset += count;
        if (m.oversizeOffset == m.oversizeLength) m.oversize = false;
    } else if (!verdict_.Check(count == expected.size,
                               Say("read returned ", count, ", expected ", expected.size, " (sample ",
                                   expected.sample, " from byte ", expected.offset, ")"))) {
        return;
    }
    if (count) {
        ++coverage.chunks;
        coverage.bytes += count;
        verdict_.Check(count <= kStaged, Say("a chunk of ", count, " bytes"));
        if (verdict_.Check(data != nullptr && data != &kUntouched, "a chunk without its data pointer"))
            verdict_.Check(memcmp(data, SampleBytes(expected.sample) + expected.offset, count) == 0,
                           Say("the ", count, " bytes handed out are not bytes ", expected.offset, ".. of sample ",
                               expected.sample));
    }
    CheckHoldings("read");
}

int32_t SeekTarget(Rng &rng, const File &file) {
    uint32_t samples = static_cast<uint32_t>(file.sizes.size());
    switch (rng.Below(7)) {
        case 0: return 0;
        case 6: return -static_cast<int32_t>(rng.Between(1, 5000));  // "back 5 s" near the start
        case 1: return static_cast<int32_t>(rng.Below(samples + 1) * kSampleSpacingMs);
        case 2: return static_cast<int32_t>(rng.Below(samples + 1) * kSampleSpacingMs + rng.Between(1, 9));
        case 3: return static_cast<int32_t>(samples * kSampleSpacingMs + rng.Below(1000));
        case 4: return rng.Percent(50) ? 600000 : 0x7FFFFFFF;
        default: return static_cast<int32_t>(rng.Below(samples * kSampleSpacingMs + 20));
    }
}

void StreamScenario::SeekOne(StreamModel &m) {
    int32_t target = SeekTarget(rng_, *m.file);
    StandinRecord before = Standin_Record();
    int32_t got = m.stream->ops->Seek(m.stream, target);
    StandinRecord after = Standin_Record();
    ++coverage.seeks;
    verdict_.Step(Say("stream ", m.number, ": seek ", target, " ms -> ", got));
    if (!m.hasReader) {
        verdict_.Check(got == 0, Say("a stream without a reader seeked to ", target, " and returned ", got));
        verdict_.Check(after.setRangeCalls == before.setRangeCalls, "a stream without a reader called SetRange");
        return;
    }
    // A position before the start is the start.
    const int32_t position = target < 0 ? 0 : target;
    uint64_t start = static_cast<uint64_t>(static_cast<int64_t>(position) * 10000);
    verdict_.Check(after.setRangeCalls == before.setRangeCalls + 1,
                   Say("Seek made ", after.setRangeCalls - before.setRangeCalls, " SetRange calls"));
    verdict_.Check(after.lastRangeStart == start && after.lastRangeDuration == 0,
                   Say("Seek(", target, ") asked SetRange(", after.lastRangeStart, ", ", after.lastRangeDuration,
                       "), expected (", start, ", 0)"));
    if (switches_.failures & kFailSetRange) {
        ++coverage.failedSeeks;
        verdict_.Check(got == 0, Say("a failed seek to ", target, " returned ", got));
    } else {
        verdict_.Check(got == position, Say("a seek to ", target, " returned ", got));
        uint64_t first = (start + 99999) / 100000;
        m.next = first < m.file->sizes.size() ? static_cast<size_t>(first) : m.file->sizes.size();
        m.oversize = false;
        m.pending = false;
    }
    CheckHoldings("seek");
}

void StreamScenario::CloseOne(size_t at) {
    StreamModel m = streams_[at];
    coverage.closesMidRemainder += m.pending;
    coverage.closesMidOversize += m.oversize;
    verdict_.Step(Say("close stream ", m.number, m.pending ? " (second part pending)" : "",
                      m.oversize ? " (oversize rest held)" : ""));
    streams_.erase(streams_.begin() + static_cast<ptrdiff_t>(at));
    m.stream->ops->Close(m.stream);
    CheckHoldings("close");
}

void StreamScenario::ChangeSwitches() {
    switches_ = Switches();
    if (rng_.Percent(50)) {
        if (rng_.Percent(15)) switches_.failures |= kFailCreate;
        if (rng_.Percent(15)) switches_.failures |= kFailOpen;
        if (rng_.Percent(20)) switches_.failures |= kFailGetNextSample;
        if (rng_.Percent(25)) switches_.failures |= kFailSetRange;
        if (rng_.Percent(8)) switches_.failures |= kFailGetBufferAndLength;
    }
    if (rng_.Percent(30)) switches_.failBufferOf = static_cast<int>(rng_.Below(kMostSamples));
    Standin_SetFailures(switches_.failures);
    Standin_FailBufferOf(switches_.failBufferOf);
    verdict_.Step(Say("failures 0x", std::hex, switches_.failures, std::dec, ", buffer of sample ",
                      switches_.failBufferOf, " fails"));
}

// An information query on the module while streams are open: it gives back
// its own reader and leaves the streams' alone.
void StreamScenario::QueryBesideStreams() {
    InputModule *module = Module();
    if (!verdict_.Check(module != nullptr, "no module")) return;
    const File &file = files_[rng_.Below(static_cast<uint32_t>(files_.size()))];
    FileInfo info;
    memset(&info, 0, sizeof(info));
    int32_t result = module->ops->GetFileInfo(module, file.name.c_str(), 0, &info);
    ++coverage.queriesBesideStreams;
    verdict_.Step(Say("query ", file.name, " -> ", result));
    verdict_.Check(result == 1, Say("GetFileInfo returned ", result));
    CheckHoldings("a query");
}

std::string StreamScenario::Run() {
    Standin_Reset();
    start_ = Standin_Record();
    DefineFiles();
    if (rng_.Percent(40)) ChangeSwitches();
    uint32_t steps = rng_.Between(1, 60);
    for (uint32_t step = 0; step < steps && !verdict_.Failed(); ++step) {
        uint32_t roll = rng_.Below(100);
        if (streams_.empty() || (roll < 6 && streams_.size() < 3)) {
            OpenOne();
        } else if (roll < 55) {
            ReadOne(AnyStream());
        } else if (roll < 65) {
            SeekOne(AnyStream());
        } else if (roll < 74) {
            ChangeSwitches();
        } else if (roll < 80) {
            // Closing is most telling in the middle of a sample.
            size_t at = rng_.Below(static_cast<uint32_t>(streams_.size()));
            for (size_t i = 0; i < streams_.size(); ++i)
                if (streams_[i].pending || streams_[i].oversize) at = i;
            CloseOne(at);
        } else if (roll < 83) {
            if (module_) {
                coverage.moduleReleasesWithStreams += !streams_.empty();
                verdict_.Step("release the module");
                module_->ops->Release(module_);
                module_ = nullptr;
            }
        } else if (roll < 86) {
            QueryBesideStreams();
        } else {
            // Read on until the end, as a player does.
            StreamModel &m = AnyStream();
            for (int reads = 0; reads < 12 && !verdict_.Failed(); ++reads) {
                bool more = m.pending || m.oversize || m.next < m.file->sizes.size();
                ReadOne(m);
                if (!more) break;
            }
        }
    }
    while (!streams_.empty()) CloseOne(streams_.size() - 1);
    if (module_) module_->ops->Release(module_);
    Standin_SetFailures(0);
    Standin_FailBufferOf(-1);
    StandinRecord end = Standin_Record();
    verdict_.Check(end.readersAlive == start_.readersAlive && end.buffersAlive == start_.buffersAlive,
                   Say("after closing everything ", end.readersAlive - start_.readersAlive, " readers and ",
                       end.buffersAlive - start_.buffersAlive, " samples are still alive"));
    ++coverage.scenarios;
    return verdict_.Failed() ? verdict_.Report() : std::string();
}

}  // namespace

std::string RunStreamScenario(uint64_t seed) { return StreamScenario(seed).Run(); }

std::string StreamCoverage() {
    const Coverage &c = coverage;
    return Say(c.scenarios, " scenarios, ", c.reads, " reads, ", c.chunks, " chunks, ", c.bytes, " bytes, ", c.seeks,
               " seeks (", c.failedSeeks, " failing), ", c.skippedSamples, " samples skipped, ", c.oversizeSamples,
               " oversize samples, closes mid-remainder ", c.closesMidRemainder, ", mid-oversize ",
               c.closesMidOversize, ", module releases with open streams ", c.moduleReleasesWithStreams,
               ", queries beside streams ", c.queriesBesideStreams);
}
