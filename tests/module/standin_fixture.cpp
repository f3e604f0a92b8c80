#include "standin_fixture.h"

#include <algorithm>

namespace {

// Far more reads than any scripted file needs; a stream that never ends stops here.
const int kMaxReads = 1000;

}  // namespace

::testing::AssertionResult SampleBytesMatch(const uint8_t *data, uint32_t count, uint32_t index, uint32_t offset) {
    if (count && !data) return ::testing::AssertionFailure() << "null data for " << count << " bytes";
    for (uint32_t at = 0; at < count; ++at) {
        if (data[at] != Standin_SampleByte(index, offset + at))
            return ::testing::AssertionFailure() << "sample " << index << " byte " << offset + at << " is "
                                                 << int(data[at]) << ", expected "
                                                 << int(Standin_SampleByte(index, offset + at));
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ReadAll(DecodeStream *stream, const std::vector<ExpectedSample> &samples,
                                   std::vector<Chunk> *chunks) {
    size_t current = 0;
    uint32_t offset = samples.empty() ? 0 : samples[0].from;
    for (int reads = 0; reads < kMaxReads; ++reads) {
        const uint8_t *data = nullptr;
        uint32_t count = stream->ops->Read(stream, &data);
        if (count == 0) {
            if (current == samples.size()) return ::testing::AssertionSuccess();
            return ::testing::AssertionFailure() << "the stream ended at byte " << offset << " of expected sample "
                                                 << current << " (index " << samples[current].index << ")";
        }
        if (current == samples.size())
            return ::testing::AssertionFailure() << "a chunk of " << count << " bytes after the last sample";
        const ExpectedSample &sample = samples[current];
        if (count > sample.size - offset)
            return ::testing::AssertionFailure() << "a chunk of " << count << " bytes at byte " << offset
                                                 << " runs past sample " << sample.index << " (" << sample.size
                                                 << " bytes)";
        ::testing::AssertionResult bytes = SampleBytesMatch(data, count, sample.index, offset);
        if (!bytes) return bytes;
        if (chunks) chunks->push_back(Chunk{static_cast<uint32_t>(current), offset, count});
        offset += count;
        if (offset == sample.size) {
            ++current;
            offset = current < samples.size() ? samples[current].from : 0;
        }
    }
    return ::testing::AssertionFailure() << "no end after " << kMaxReads << " reads";
}

std::vector<uint32_t> Sizes(const std::vector<Chunk> &chunks) {
    std::vector<uint32_t> sizes;
    for (const Chunk &chunk : chunks) sizes.push_back(chunk.size);
    return sizes;
}

std::wstring Wide(const std::string &ascii) { return std::wstring(ascii.begin(), ascii.end()); }

void StandinFixture::SetUp() {
    Standin_Reset();
    readersAtStart_ = Record().readersAlive;
    buffersAtStart_ = Record().buffersAlive;
    propsAtStart_ = Record().propsAlive;
    module_ = Velmor_GetInputModule2(GetModuleHandle(nullptr), nullptr);
    ASSERT_NE(module_, nullptr);
}

void StandinFixture::TearDown() {
    for (DecodeStream *stream : streams_) stream->ops->Close(stream);
    streams_.clear();
    if (module_) module_->ops->Release(module_);
    EXPECT_EQ(LiveReaders(), 0) << "a reader was not released";
    EXPECT_EQ(LiveBuffers(), 0) << "a sample was not released";
    EXPECT_EQ(LiveProps(), 0) << "output properties or a stream's profile were not released";
}

int StandinFixture::DefineFile(const std::string &name, const std::vector<uint32_t> &sampleSizes) {
    int id = Standin_DefineFile(Wide(name).c_str());
    for (uint32_t size : sampleSizes) Standin_AddSample(id, size);
    return id;
}

DecodeStream *StandinFixture::Open(const std::string &name) {
    DecodeStream *stream = module_->ops->OpenStream(module_, name.c_str(), 0);
    if (stream) streams_.push_back(stream);
    return stream;
}

void StandinFixture::Close(DecodeStream *stream) {
    streams_.erase(std::remove(streams_.begin(), streams_.end(), stream), streams_.end());
    stream->ops->Close(stream);
}
