// Seeking real files under Wine's own runtime, which lands late near the end
// of low-rate files: after Seek(ms) the audio is the full decode from frame
// ms * rate / 1000 on, to the end. Positions are found by sample values
// (the decoder may round the first frames after a seek differently), and
// allowed a millisecond: the runtime's sample times are whole milliseconds.
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "real_files.h"
#include "test_paths.h"

namespace {

struct SeekCase {
    const char *file;
    std::vector<int32_t> positionsMs;
};

void PrintTo(const SeekCase &seek, std::ostream *out) { *out << seek.file; }

// Channel 0 of the PCM a stream hands out, its frames counted.
struct Audio {
    std::vector<int16_t> first;  // channel 0 of the first frames, up to `keep`
    uint64_t frames = 0;
    // Channel 0 around chosen frames of the whole, where `around` asks.
    std::vector<uint64_t> windowStarts;
    std::vector<std::vector<int16_t>> windows;
};

const uint32_t kWindowFrames = 8192;
const uint32_t kCompared = 1024;

// Reads the stream to its end, or only until `most` frames have come, as a
// player that seeks soon after. Bytes are kept only where asked: a 30-minute
// file is too much to hold whole.
Audio ReadAudio(DecodeStream *stream, const FileInfo &info, uint32_t keep, const std::vector<uint64_t> &around,
                uint64_t most = UINT64_MAX) {
    Audio audio;
    audio.windowStarts = around;
    audio.windows.resize(around.size());
    const uint32_t frameBytes = static_cast<uint32_t>(info.channels * (info.bitsPerSample / 8));
    std::vector<uint8_t> partial;  // a frame split across two chunks
    const uint8_t *data = nullptr;
    while (audio.frames < most) {
        const uint32_t count = OpsOf(stream)->Read(stream, &data);
        if (count == 0) break;
        partial.insert(partial.end(), data, data + count);
        size_t whole = partial.size() / frameBytes;
        for (size_t at = 0; at < whole; ++at) {
            int16_t value;
            memcpy(&value, &partial[at * frameBytes], sizeof(value));
            uint64_t frame = audio.frames + at;
            if (frame < keep) audio.first.push_back(value);
            for (size_t w = 0; w < around.size(); ++w)
                if (frame >= around[w] && frame < around[w] + kWindowFrames) audio.windows[w].push_back(value);
        }
        audio.frames += whole;
        partial.erase(partial.begin(), partial.begin() + static_cast<ptrdiff_t>(whole * frameBytes));
    }
    EXPECT_TRUE(partial.empty()) << "the audio ends inside a frame";
    return audio;
}

// Where in `whole` (frame numbers from `start`) the frames of `part` from
// `skipMs` on fit best, as a shift from `expected`; searched 10 ms either way.
int BestShift(const std::vector<int16_t> &whole, uint64_t start, const std::vector<int16_t> &part,
              uint64_t expected, uint32_t rate, uint32_t skipMs, double *meanDifference) {
    const int search = static_cast<int>(rate / 100), skip = static_cast<int>(rate * skipMs / 1000);
    // The last frames of a file may be fewer.
    const size_t compared = part.size() > skip + kCompared ? kCompared : part.size() - std::min<size_t>(part.size(), skip);
    int best = 0;
    double bestSum = -1;
    for (int shift = -search; shift <= search && compared > 0; ++shift) {
        int64_t at = static_cast<int64_t>(expected) + shift + skip - static_cast<int64_t>(start);
        if (at < 0 || at + compared > whole.size()) continue;
        double sum = 0;
        for (size_t i = 0; i < compared; ++i) sum += abs(whole[at + i] - part[skip + i]);
        if (bestSum < 0 || sum < bestSum) {
            bestSum = sum;
            best = shift;
        }
    }
    *meanDifference = bestSum < 0 ? 1e9 : bestSum / compared;
    return best;
}

// Where the whole decode keeps its windows: from 20 ms before each position.
std::vector<uint64_t> WindowStarts(const std::vector<int32_t> &positionsMs, uint32_t rate) {
    std::vector<uint64_t> around;
    for (int32_t ms : positionsMs) around.push_back(static_cast<uint64_t>(ms) * rate / 1000 - rate / 50);
    return around;
}

// A millisecond in frames, and one more: the runtime's sample times are
// whole milliseconds.
double OneMs(uint32_t rate) { return rate / 1000.0 + 1; }

// The audio read after a seek (its first frames in `after`) starts at
// `position` of the whole decode, whose window `at` lies around it. The
// first `skipMs` are not compared: the decoder may round them differently.
void ExpectStartsAt(const Audio &whole, size_t at, const Audio &after, uint64_t position, uint32_t rate,
                    uint32_t skipMs = 20) {
    double difference;
    int shift = BestShift(whole.windows[at], whole.windowStarts[at], after.first, position, rate, skipMs, &difference);
    EXPECT_LE(abs(shift), OneMs(rate)) << "the audio starts " << shift << " frames from the position";
    EXPECT_LT(difference, 16) << "no part of the file around the position sounds like it";
}

class RealSeek : public ::testing::TestWithParam<SeekCase> {
  protected:
    void SetUp() override { module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr); }
    void TearDown() override { module->ops->Release(module); }
    InputModule *module = nullptr;
};

TEST_P(RealSeek, AudioAfterSeekIsTheFileFromThePosition) {
    const std::string path = MediaPath(GetParam().file);
    const FileInfo info = Describe(module, path);
    const uint32_t rate = static_cast<uint32_t>(info.sampleRate);

    DecodeStream *stream = module->ops->OpenStream(module, path.c_str(), 0);
    Audio whole = ReadAudio(stream, info, 0, WindowStarts(GetParam().positionsMs, rate));
    OpsOf(stream)->Close(stream);
    ASSERT_GT(whole.frames, rate);

    for (size_t at = 0; at < GetParam().positionsMs.size(); ++at) {
        const int32_t ms = GetParam().positionsMs[at];
        SCOPED_TRACE(ms);
        const uint64_t position = static_cast<uint64_t>(ms) * rate / 1000;
        stream = module->ops->OpenStream(module, path.c_str(), 0);
        ASSERT_EQ(OpsOf(stream)->Seek(stream, ms), ms);
        Audio rest = ReadAudio(stream, info, kWindowFrames, {});
        OpsOf(stream)->Close(stream);

        EXPECT_NEAR(static_cast<double>(rest.frames), static_cast<double>(whole.frames - position), OneMs(rate));
        ExpectStartsAt(whole, at, rest, position, rate);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, RealSeek,
    ::testing::Values(SeekCase{"m-wmav1-8000-1-24k.wma", {1500, 2400, 2700, 2950}},
                      SeekCase{"m-wmav2-8000-2-32k.wma", {1500, 2700}},
                      SeekCase{"m-wmav2-16000-1-24k.wma", {1500, 2500}},
                      SeekCase{"m-wmav1-11025-2-32k.wma", {2500}}, SeekCase{"mono22.wma", {4500}},
                      SeekCase{"long1800.wma", {900000, 1799500}}, SeekCase{"av.wma", {1500, 2500}}));

// A file whose first stream is video: only its audio reaches the player,
// in the format the record gives.
TEST_F(RealSeek, OnlyTheAudioOfAFileWithVideoIsHeard) {
    const FileInfo info = Describe(module, MediaPath("av.wma"));
    EXPECT_EQ(info.sampleRate, 22050);
    EXPECT_EQ(info.channels, 1);
    Decoded whole = DecodeFile(module, MediaPath("av.wma"));
    EXPECT_NEAR(static_cast<double>(whole.bytes), 3.0 * 22050 * 2, 2048 * 2);
}

// A player seeks while it plays: two and a half seconds from the start,
// then forward, back and forward further, two and a half seconds after each.
// After each seek the audio is the whole decode from the position, and the
// stream still ends where the file does. Wine's decoder fades in the first
// block it decodes after a seek, up to 2,048 frames (46 ms) at 44.1 kHz, so
// the comparison starts 50 ms after the position. The tone is the same every
// second but for a beep at its start: the positions lie 60 ms before one, so
// that the frames compared hold its start, and a seek that went unheeded
// would leave the audio half a second off the beat.
TEST_F(RealSeek, SeeksWhilePlayingLandWhereAsked) {
    const std::string path = MediaPath("long60.wma");
    const FileInfo info = Describe(module, path);
    const uint32_t rate = static_cast<uint32_t>(info.sampleRate);
    const std::vector<int32_t> positionsMs = {40940, 10940, 50940};

    DecodeStream *stream = module->ops->OpenStream(module, path.c_str(), 0);
    const Audio whole = ReadAudio(stream, info, 0, WindowStarts(positionsMs, rate));
    OpsOf(stream)->Close(stream);
    ASSERT_GT(whole.frames, 55ull * rate);

    const uint64_t aWhile = rate * 5ull / 2;
    stream = module->ops->OpenStream(module, path.c_str(), 0);
    ASSERT_GE(ReadAudio(stream, info, 0, {}, aWhile).frames, aWhile);
    for (size_t at = 0; at < positionsMs.size(); ++at) {
        const int32_t ms = positionsMs[at];
        SCOPED_TRACE(ms);
        const uint64_t position = static_cast<uint64_t>(ms) * rate / 1000;
        ASSERT_EQ(OpsOf(stream)->Seek(stream, ms), ms);
        const bool last = at + 1 == positionsMs.size();
        const Audio played = ReadAudio(stream, info, kWindowFrames, {}, last ? UINT64_MAX : aWhile);
        ExpectStartsAt(whole, at, played, position, rate, 50);
        if (last)
            EXPECT_NEAR(static_cast<double>(played.frames), static_cast<double>(whole.frames - position), OneMs(rate));
        else
            EXPECT_GE(played.frames, aWhile) << "the file ended early";
    }
    const uint8_t *data = nullptr;
    EXPECT_EQ(OpsOf(stream)->Read(stream, &data), 0u) << "the end stays the end";
    OpsOf(stream)->Close(stream);
}

}  // namespace
