// Shared ground for the tests that drive the plug-in against the scripted
// stand-in runtime: a fresh module and script per test, streams opened
// through the module table, and byte-exact checks of what the streams hand
// out.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "media/decode_stream.h"
#include "plugin/module.h"
#include "standin_control.h"

// A sample the test expects to hear: its index in its file and its size,
// from byte `from` on.
struct ExpectedSample {
    uint32_t index;
    uint32_t size;
    uint32_t from = 0;
};

// One chunk a read handed out: which expected sample, where in it, how long.
struct Chunk {
    uint32_t sample;
    uint32_t offset;
    uint32_t size;
};

// True when the `count` bytes at `data` are bytes offset.. of sample `index`.
::testing::AssertionResult SampleBytesMatch(const uint8_t *data, uint32_t count, uint32_t index, uint32_t offset);

// Reads until a read returns 0 (or a generous number of reads has passed),
// checking that the chunks are exactly the expected samples' bytes, in
// order, no chunk crossing from one sample into the next, and nothing more.
::testing::AssertionResult ReadAll(DecodeStream *stream, const std::vector<ExpectedSample> &samples,
                                   std::vector<Chunk> *chunks);

// The sizes of the chunks, in order.
std::vector<uint32_t> Sizes(const std::vector<Chunk> &chunks);

// The UTF-16 form of an ASCII name.
std::wstring Wide(const std::string &ascii);

class StandinFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    // Closes what the test left open, releases the module, and checks that
    // the plug-in gave back every reader, sample and description.
    void TearDown() override;

    // Scripts a file under an ASCII name with samples of these sizes.
    int DefineFile(const std::string &name, const std::vector<uint32_t> &sampleSizes);
    DecodeStream *Open(const std::string &name);
    void Close(DecodeStream *stream);
    static uint32_t Read(DecodeStream *stream, const uint8_t **data) { return stream->ops->Read(stream, data); }
    static int32_t Seek(DecodeStream *stream, int32_t positionMs) { return stream->ops->Seek(stream, positionMs); }
    static StandinRecord Record() { return Standin_Record(); }
    // Releases the module before the test ends (its streams stay usable).
    void ReleaseModule() {
        module_->ops->Release(module_);
        module_ = nullptr;
    }
    // Readers and samples the plug-in holds that this test gave it (a leak
    // of an earlier test is counted there, not here).
    int LiveReaders() const { return Record().readersAlive - readersAtStart_; }
    int LiveBuffers() const { return Record().buffersAlive - buffersAtStart_; }
    int LiveProps() const { return Record().propsAlive - propsAtStart_; }

    InputModule *module_ = nullptr;
    int readersAtStart_ = 0;
    int buffersAtStart_ = 0;
    int propsAtStart_ = 0;
    std::vector<DecodeStream *> streams_;
};
