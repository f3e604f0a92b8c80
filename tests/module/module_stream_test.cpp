// The decoding stream, driven through the module and stream tables against
// the scripted stand-in runtime: the end, landing on a seek's position,
// whole frames, other outputs, closing, COM and what the plug-in asks of the
// runtime. The 40,000-byte split, skipped samples, seeks and what a close
// gives back are checked read by read in the contract scenarios.
#include <string.h>

#include <fstream>
#include <thread>

#include "plugin_drive.h"
#include "process_usage.h"
#include "standin_fixture.h"
#include "test_paths.h"

namespace {

const char kSong[] = "C:\\music\\song.wma";

// ---------------------------------------------------------------- reading

using StreamTest = StandinFixture;

TEST_F(StreamTest, AtTheEndEveryReadReturnsZeroAndAsksTheReaderAgain) {
    DefineFile(kSong, {500});
    DecodeStream *stream = Open(kSong);
    ASSERT_TRUE(ReadAll(stream, {{0, 500}}, nullptr));
    const uint8_t kUntouched = 0;
    for (int read = 0; read < 3; ++read) {
        int callsBefore = Record().getNextSampleCalls;
        const uint8_t *data = &kUntouched;
        EXPECT_EQ(Read(stream, &data), 0u);
        EXPECT_EQ(data, &kUntouched) << "the data pointer is left as it was";
        EXPECT_EQ(Record().getNextSampleCalls, callsBefore + 1);
    }
}

TEST_F(StreamTest, AsksForAnyStreamWithoutAStreamNumberReceiver) {
    DefineFile(kSong, {500});
    DecodeStream *stream = Open(kSong);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), 500u);
    StandinRecord record = Record();
    EXPECT_EQ(record.getNextSampleCalls, 1);
    EXPECT_EQ(record.lastStreamNumberArg, 0);
    EXPECT_EQ(record.lastStreamReceiverNull, 1);
}

// Entries 2 and 3 of the stream table do nothing at all.
TEST_F(StreamTest, EmptyEntriesChangeNothing) {
    DefineFile(kSong, {100000});
    DecodeStream *stream = Open(kSong);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), 40000u);
    std::vector<uint8_t> before(reinterpret_cast<uint8_t *>(stream),
                                reinterpret_cast<uint8_t *>(stream) + sizeof(DecodeStream));
    stream->ops->Empty2();
    stream->ops->Empty3();
    EXPECT_EQ(memcmp(before.data(), stream, sizeof(DecodeStream)), 0);
    ASSERT_EQ(Read(stream, &data), 60000u);
    EXPECT_TRUE(SampleBytesMatch(data, 60000, 0, 40000));
}

// ---------------------------------------------------------------- landing

// 48 kHz 16-bit stereo in samples of 10 ms: 480 frames, 1,920 bytes each.
const uint32_t kSamples = 200, kSampleBytes = 1920, kBytesPerMs = 192;

struct LandingCase {
    const char *runtime;
    int64_t shift;     // where the stand-in lands, in 100-ns units
    uint64_t floor;
    int32_t positionMs;
    uint32_t firstSample, firstByte;  // where the audio must start
    int setRanges;                    // the player's one and the extra ones
    uint32_t rate = 48000;            // 16-bit stereo; samples of 10 ms
};

void PrintTo(const LandingCase &landing, std::ostream *out) { *out << landing.runtime; }

class Landing : public StandinFixture, public ::testing::WithParamInterface<LandingCase> {};

// Whether the runtime lands early (by part of a sample or by whole ones) or
// late, the first byte after Seek(ms) is the frame at ms (rounded down: at
// 44.1 kHz 1,017 ms is frame 44,849.7) and the file follows from there to its
// end; a runtime that cannot land earlier is given a few extra seeks, then
// kept.
TEST_P(Landing, FirstByteIsTheFrameAtThePosition) {
    const LandingCase &landing = GetParam();
    const uint32_t sampleBytes = landing.rate / 100 * 4;
    int id = DefineFile(kSong, std::vector<uint32_t>(kSamples, sampleBytes));
    Standin_SetOutputFormat(id, 1, landing.rate, 2, 16);
    Standin_SetSeekLanding(landing.shift, landing.floor);
    DecodeStream *stream = Open(kSong);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), sampleBytes);
    ASSERT_EQ(Seek(stream, landing.positionMs), landing.positionMs);
    std::vector<ExpectedSample> rest;
    for (uint32_t index = landing.firstSample; index < kSamples; ++index) rest.push_back({index, sampleBytes});
    if (!rest.empty()) rest[0].from = landing.firstByte;
    EXPECT_TRUE(ReadAll(stream, rest, nullptr));
    EXPECT_EQ(Record().setRangeCalls, landing.setRanges);
    EXPECT_EQ(LiveBuffers(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Runtimes, Landing,
    ::testing::Values(LandingCase{"exactly", 0, 0, 1230, 123, 0, 1},
                      LandingCase{"early by part of a sample", -40000, 0, 1234, 123, 4 * kBytesPerMs, 1},
                      LandingCase{"early by whole samples", -500000, 0, 1234, 123, 4 * kBytesPerMs, 1},
                      LandingCase{"late", 200000, 0, 1234, 123, 4 * kBytesPerMs, 2},
                      LandingCase{"past the end", 100000, 0, 1995, 199, 5 * kBytesPerMs, 2},
                      LandingCase{"never before 1.5 s", 0, 15000000, 1234, 150, 0, 4},
                      LandingCase{"early at 44.1 kHz", -100000, 0, 1017, 101, 308 * 4, 1, 44100}));

// A player seeks while it plays, forward, back and forward further, on a
// runtime that lands late: each seek finds its own position afresh, however
// the one before it had to look for its own.
TEST_F(StreamTest, EachSeekWhilePlayingLandsAfresh) {
    int id = DefineFile(kSong, std::vector<uint32_t>(kSamples, kSampleBytes));
    Standin_SetOutputFormat(id, 1, 48000, 2, 16);
    Standin_SetSeekLanding(200000, 0);
    DecodeStream *stream = Open(kSong);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), kSampleBytes);
    for (int32_t ms : {1234, 567, 1789}) {
        SCOPED_TRACE(ms);
        ASSERT_EQ(Seek(stream, ms), ms);
        const uint32_t index = static_cast<uint32_t>(ms) / 10, from = ms % 10 * kBytesPerMs;
        ASSERT_EQ(Read(stream, &data), kSampleBytes - from);
        EXPECT_TRUE(SampleBytesMatch(data, kSampleBytes - from, index, from));
        ASSERT_EQ(Read(stream, &data), kSampleBytes);
        EXPECT_TRUE(SampleBytesMatch(data, kSampleBytes, index + 1, 0));
    }
    std::vector<ExpectedSample> rest;
    for (uint32_t index = 180; index < kSamples; ++index) rest.push_back({index, kSampleBytes});
    EXPECT_TRUE(ReadAll(stream, rest, nullptr));
    EXPECT_EQ(Record().setRangeCalls, 6) << "each seek, and once more earlier";
}

// Windows' runtime stamps whole milliseconds, rounded down: 2,048 frames at
// 48 kHz come stamped 42 ms apart and lasting 42 ms. The sample holding
// 1,017 ms (frame 48,816) is number 23, stamped 981 ms (it starts at
// 981.33), so the audio starts 16 frames late: well within the millisecond
// the stamps carry.
TEST_F(StreamTest, WholeMillisecondStampsLandWithinAMillisecond) {
    const uint32_t kFrames = 2048, kBytes = kFrames * 4;
    int id = DefineFile(kSong, std::vector<uint32_t>(60, kBytes));
    Standin_SetOutputFormat(id, 1, 48000, 2, 16);
    Standin_SetStamps(kStampsWholeMs);
    DecodeStream *stream = Open(kSong);
    ASSERT_EQ(Seek(stream, 1017), 1017);
    std::vector<ExpectedSample> rest;
    for (uint32_t index = 23; index < 60; ++index) rest.push_back({index, kBytes});
    rest[0].from = (48816 + 16 - 23 * kFrames) * 4;
    EXPECT_TRUE(ReadAll(stream, rest, nullptr));
    EXPECT_EQ(Record().setRangeCalls, 1);
}

// A runtime whose sample times do not fit its samples (10 ms of half as many
// bytes) is
// not second-guessed: the audio starts where it landed, as it always did.
TEST_F(StreamTest, SampleTimesThatDoNotFitTheBytesAreTakenAsTheyCome) {
    int id = DefineFile(kSong, std::vector<uint32_t>(kSamples, kSampleBytes / 2));
    Standin_SetOutputFormat(id, 1, 48000, 2, 16);
    Standin_SetSeekLanding(-500000, 0);
    DecodeStream *stream = Open(kSong);
    ASSERT_EQ(Seek(stream, 1234), 1234);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), kSampleBytes / 2);
    EXPECT_TRUE(SampleBytesMatch(data, kSampleBytes / 2, 119, 0));
    EXPECT_EQ(Record().setRangeCalls, 1);
}

// 24-bit stereo frames are 6 bytes: every chunk ends on a whole frame, the
// first at 39,996 bytes, the rest of a sample within 127,998.
TEST_F(StreamTest, ChunksEndOnWholeFrames) {
    int id = DefineFile(kSong, {100000, 300000});
    Standin_SetOutputFormat(id, 1, 44100, 2, 24);
    DecodeStream *stream = Open(kSong);
    std::vector<Chunk> chunks;
    ASSERT_TRUE(ReadAll(stream, {{0, 100000}, {1, 300000}}, &chunks));
    EXPECT_EQ(Sizes(chunks), (std::vector<uint32_t>{39996, 60004, 39996, 88002, 127998, 44004}));
}

// ---------------------------------------------------------------- outputs

class OtherOutputs : public StandinFixture, public ::testing::WithParamInterface<bool> {};

// Windows' runtime numbers outputs apart from streams: here the video is
// output 0 on stream 4 and the audio output 1 on stream 3. Only the audio's
// samples reach the player, whether the runtime switches the video's stream
// off (then it never hands out a video sample) or refuses to.
TEST_P(OtherOutputs, OnlyTheAudioOutputIsHeard) {
    const bool refused = GetParam();
    int id = Standin_DefineFile(Wide(kSong).c_str());
    Standin_SetOutput(id, 0, 0, 1, 0, 0, 0);
    Standin_SetOutput(id, 1, 1, 1, 22050, 1, 16);
    Standin_SetOutputStream(id, 0, 4, 0);
    Standin_SetOutputStream(id, 1, 3, 0);
    for (int round = 0; round < 3; ++round) {
        Standin_AddSampleOn(id, 0, 9216);
        Standin_AddSampleOn(id, 1, 882);
    }
    if (refused) Standin_SetFailures(kFailSetStreamsSelected);

    FileInfo info;
    module_->ops->GetFileInfo(module_, kSong, 0, &info);
    EXPECT_EQ(info.sampleRate, 22050);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.bitsPerSample, 16);

    DecodeStream *stream = Open(kSong);
    EXPECT_TRUE(ReadAll(stream, {{1, 882}, {3, 882}, {5, 882}}, nullptr));
    if (!refused) {
        EXPECT_EQ(Record().getNextSampleCalls, 4) << "the video's stream was left on";
    }
}

INSTANTIATE_TEST_SUITE_P(SelectionRefusedOrNot, OtherOutputs, ::testing::Bool());

class TwoAudioStreams : public StandinFixture, public ::testing::WithParamInterface<bool> {};

// How the runtime gives the 8 kHz output. Windows' gives an output whose
// decoder is missing in the codec's own type, with no PCM to ask for.
enum EightKhzForm { kEightPcm, kEightCompressedOfferingPcm, kEightWithoutDecoder };

// Two audio outputs, 16 kHz and 8 kHz mono, on streams 3 and 2.
struct TwoOutputs {
    const char *what;
    uint32_t sixteenBitrate, eightBitrate;  // 0: the runtime gives none, as Wine's
    uint32_t passedOver;  // the bit rate of stream 1, in one group with the 16 kHz one and not chosen (0: none)
    EightKhzForm eightForm;
    uint32_t heard;  // the sample rate played
    bool sixteenCompressed = false;  // the 16 kHz output in the codec's own form, offering PCM
    bool accepts = true;             // SetOutputProps takes PCM
};

const TwoOutputs kTwoOutputs[] = {
    {"no bit rates", 0, 0, 0, kEightPcm, 16000},
    {"the 8 kHz stream has the higher bit rate", 20000, 32000, 0, kEightPcm, 8000},
    {"the 16 kHz output shows a bit-rate group", 40000, 32000, 16000, kEightPcm, 16000},
    {"the 8 kHz stream, at the higher bit rate, becomes PCM", 20000, 32000, 0, kEightCompressedOfferingPcm, 8000},
    {"the 8 kHz stream, at the higher bit rate, has no decoder", 20000, 32000, 0, kEightWithoutDecoder, 16000},
    {"the 16 kHz output becomes PCM", 0, 0, 0, kEightPcm, 16000, true},
    {"the 16 kHz output, at the higher bit rate, cannot be set", 32000, 20000, 0, kEightPcm, 8000, true, false},
};

// Two separate audio streams in either order (Wine's runtime lists them in
// another order at each open): the query and the stream take the same one
// both ways. An output that cannot become PCM never wins over one that
// can; then the higher bit rate the runtime gives for the stream an output
// carries decides, found among all the profile's streams; where it gives
// none, the higher sample rate of the PCM it will deliver. One whose PCM
// the runtime will not set gives way to the other.
TEST_P(TwoAudioStreams, TheSameIsHeardWhateverTheOrder) {
    const bool eightFirst = GetParam();
    for (const TwoOutputs &file : kTwoOutputs) {
        SCOPED_TRACE(file.what);
        Standin_Reset();
        int id = Standin_DefineFile(Wide(kSong).c_str());
        const uint32_t sixteen = eightFirst ? 1 : 0, eight = 1 - sixteen;
        Standin_SetOutput(id, sixteen, 1, file.sixteenCompressed ? 0x161 : 1, 16000, 1, 16);
        if (file.sixteenCompressed) Standin_OfferOutputFormat(id, sixteen, 1, 16000, 1, 16);
        Standin_SetOutput(id, eight, 1, file.eightForm == kEightPcm ? 1 : 0x161, 8000, 1, 16);
        if (file.eightForm == kEightCompressedOfferingPcm) Standin_OfferOutputFormat(id, eight, 1, 8000, 1, 16);
        Standin_AcceptOutputProps(id, file.accepts);
        Standin_SetOutputStream(id, sixteen, 3, file.sixteenBitrate);
        Standin_SetOutputStream(id, eight, 2, file.eightBitrate);
        if (file.passedOver) Standin_AddGroupStream(id, sixteen, 1, file.passedOver);
        for (int round = 0; round < 2; ++round) {
            Standin_AddSampleOn(id, 0, 640);
            Standin_AddSampleOn(id, 1, 640);
        }
        const uint32_t heard = file.heard == 8000 ? eight : sixteen;
        FileInfo info = {};
        module_->ops->GetFileInfo(module_, kSong, 0, &info);
        EXPECT_EQ(info.sampleRate, static_cast<int32_t>(file.heard));
        DecodeStream *stream = Open(kSong);
        EXPECT_TRUE(ReadAll(stream, {{heard, 640}, {heard + 2, 640}}, nullptr));
        Close(stream);
    }
}

INSTANTIATE_TEST_SUITE_P(EitherOrder, TwoAudioStreams, ::testing::Bool());

FileInfo QueryFormat(InputModule *module) {
    FileInfo info = {};
    module->ops->GetFileInfo(module, kSong, 0, &info);
    return info;
}

// Float or compressed audio would play as noise: it becomes a PCM format the
// runtime offers, or the stream gives nothing at all.
TEST_F(StreamTest, AudioThatIsNotPcmBecomesPcmOrNothing) {
    for (uint16_t tag : {3, 0x161}) {  // IEEE float, and a WMA codec's own
        for (bool offersPcm : {false, true}) {
            SCOPED_TRACE(::testing::Message() << "format " << tag << (offersPcm ? ", PCM offered" : ""));
            Standin_Reset();
            int id = DefineFile(kSong, {1764, 1764});
            Standin_SetOutputFormat(id, tag, 44100, 2, 32);
            Standin_OfferOutputFormat(id, 0, tag, 44100, 2, 32);
            if (offersPcm) Standin_OfferOutputFormat(id, 0, 1, 44100, 2, 16);
            Standin_AcceptOutputProps(id, 1);
            FileInfo info = QueryFormat(module_);
            EXPECT_EQ(info.bitsPerSample, 16);
            DecodeStream *stream = Open(kSong);
            if (offersPcm) {
                EXPECT_TRUE(ReadAll(stream, {{0, 1764}, {1, 1764}}, nullptr));
                EXPECT_EQ(Record().lastSetFormatTag, 1);
            } else {
                const uint8_t *data;
                EXPECT_EQ(Read(stream, &data), 0u);
                EXPECT_EQ(Record().getNextSampleCalls, 0);
            }
            Close(stream);
        }
    }
}

// Windows' runtime delivers 16-bit stereo unless asked otherwise, and the
// plug-in asks any runtime for it; a runtime that refuses keeps its format,
// and the query reports what the stream delivers either way.
TEST_F(StreamTest, MoreThanStereoOrSixteenBitsIsAskedForAsSixteenBitStereo) {
    const struct {
        uint16_t channels, bits;
    } formats[] = {{6, 16}, {2, 24}};
    for (const auto &format : formats) {
        for (bool accepted : {false, true}) {
            SCOPED_TRACE(::testing::Message() << format.channels << " channels, " << format.bits << " bits"
                                              << (accepted ? ", accepted" : ""));
            Standin_Reset();
            int id = DefineFile(kSong, {500});
            Standin_SetOutputFormat(id, 0xFFFE, 48000, format.channels, format.bits);
            Standin_AcceptOutputProps(id, accepted);
            FileInfo info = QueryFormat(module_);
            StandinRecord asked = Record();
            EXPECT_EQ(asked.lastSetFormatTag, 1);
            EXPECT_EQ(asked.lastSetRate, 48000u);
            EXPECT_EQ(asked.lastSetChannels, 2);
            EXPECT_EQ(asked.lastSetBits, 16);
            EXPECT_EQ(info.sampleRate, 48000);
            EXPECT_EQ(info.channels, accepted ? 2 : format.channels);
            EXPECT_EQ(info.bitsPerSample, accepted ? 16 : format.bits);
            DecodeStream *stream = Open(kSong);
            EXPECT_EQ(Record().setOutputPropsCalls, 2) << "the stream asks as the query did";
            const uint8_t *data;
            EXPECT_GT(Read(stream, &data), 0u);
            Close(stream);
        }
    }
}

// ---------------------------------------------------------------- closing

using CloseTest = StandinFixture;

TEST_F(CloseTest, NullStreamIsIgnored) {
    DefineFile(kSong, {100000});
    DecodeStream *stream = Open(kSong);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), 40000u);
    StandinRecord before = Record();
    stream->ops->Close(nullptr);
    StandinRecord after = Record();
    EXPECT_EQ(memcmp(&before, &after, sizeof(before)), 0);
    ASSERT_EQ(Read(stream, &data), 60000u);
    EXPECT_TRUE(SampleBytesMatch(data, 60000, 0, 40000));
}

// With a runtime that keeps nothing of its own, thousands of streams (held
// oversize tails, remainders, seeks) and queries leave the heaps' live bytes
// and the handles where they were: a forgotten media type, name or value
// buffer of even 50 bytes a cycle would show.
TEST_F(CloseTest, ThousandsOfStreamsAndQueriesLeaveNoMemoryBehind) {
    // Four reads leave 16,000 bytes of the first sample held at the seek.
    int id = DefineFile(kSong, {400000, 50000, 500});
    Standin_AddAttribute(id, L"Title", WMT_TYPE_STRING, L"Song", 10);
    Standin_AddAttribute(id, L"Author", WMT_TYPE_STRING, L"Band", 10);
    auto cycle = [this] { ASSERT_TRUE(SoakCycle(module_, kSong)); };
    for (int warm = 0; warm < 200; ++warm) cycle();
    ProcessUsage before = MeasureProcessUsage();
    size_t liveBefore = LiveHeapBytes();
    const int kCycles = 1000;
    for (int round = 0; round < kCycles; ++round) cycle();
    double grown = static_cast<double>(LiveHeapBytes()) - static_cast<double>(liveBefore);
    ProcessUsage after = MeasureProcessUsage();
    EXPECT_LE(after.handles, before.handles + 2);
    EXPECT_GT(liveBefore, 0u) << "the heaps could not be walked";
    EXPECT_LT(grown, 50.0 * kCycles) << "live heap bytes grew by " << grown;
}

// ---------------------------------------------------------------- Wine's pieces

// Wine's reader hands out at most 16,384 bytes at a time and keeps the rest
// of the sample: a SetRange or Close that meets the rest skips audio or
// aborts the player (the stand-in counts it). A sample of 40,000 bytes comes
// as 16,384, 16,384 and 7,232.
using WinePiecesTest = StandinFixture;

std::vector<ExpectedSample> SamplesFrom(uint32_t first, uint32_t count, uint32_t size) {
    std::vector<ExpectedSample> samples;
    for (uint32_t index = first; index < count; ++index) samples.push_back({index, size});
    return samples;
}

TEST_F(WinePiecesTest, ASeekMidSampleLandsExactlyWithNothingKept) {
    DefineFile(kSong, std::vector<uint32_t>(20, 40000));
    Standin_SetFailures(kWinePieces);
    DecodeStream *stream = Open(kSong);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), 16384u);
    ASSERT_EQ(Seek(stream, 120), 120);
    EXPECT_TRUE(ReadAll(stream, SamplesFrom(12, 20, 40000), nullptr));
    EXPECT_EQ(Record().keptRestsMet, 0);
    EXPECT_EQ(Record().readersCreated, 1);
}

// Samples of exactly 32,768 bytes come as two pieces of 16,384: no piece
// shows where a sample ends, and at 20 ms a piece the reader cannot be read
// on to the end within a seek. A fresh reader goes on from the position;
// the old one is read on and closed meanwhile on another thread.
TEST_F(WinePiecesTest, ASeekThatCannotSettleInTimeGoesOnFromAFreshReader) {
    std::string path = ScratchPath("fresh.wma");
    std::ofstream(path, std::ios::binary) << "ID3" << std::string(200, 'f');
    DefineFile(path, std::vector<uint32_t>(40, 32768));
    Standin_SetFailures(kWinePieces | kSlowSamples);
    DecodeStream *stream = Open(path);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), 16384u);
    ASSERT_EQ(Seek(stream, 300), 300);
    ReleaseModule();
    for (int wait = 0; wait < 500 && LiveReaders() > 1; ++wait) Sleep(10);
    EXPECT_EQ(LiveReaders(), 1);
    EXPECT_EQ(Record().readersCreated, 2);
    Standin_SetFailures(kWinePieces);
    EXPECT_TRUE(ReadAll(stream, SamplesFrom(30, 40, 32768), nullptr));
    EXPECT_EQ(Record().keptRestsMet, 0);
}

// The fresh reader reads the file the stream holds, never its name: the
// file renamed meanwhile plays on from the position.
TEST_F(WinePiecesTest, ASeeksFreshReaderReadsTheFileRenamedSincePlayStarted) {
    std::string path = ScratchPath("before.wma"), renamed = ScratchPath("after.wma");
    std::ofstream(path, std::ios::binary) << "ID3" << std::string(200, 'm');
    DeleteFileA(renamed.c_str());
    DefineFile(path, std::vector<uint32_t>(40, 32768));
    DefineFile(renamed, std::vector<uint32_t>(40, 32768));  // where the stand-in finds the bytes now
    Standin_SetFailures(kWinePieces | kSlowSamples);
    DecodeStream *stream = Open(path);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), 16384u);
    ASSERT_TRUE(MoveFileA(path.c_str(), renamed.c_str()));
    ASSERT_EQ(Seek(stream, 300), 300);
    Standin_SetFailures(kWinePieces);
    EXPECT_TRUE(ReadAll(stream, SamplesFrom(30, 40, 32768), nullptr));
    EXPECT_EQ(Record().streamOpens, 2);
    EXPECT_EQ(Record().opens, 0) << "the fresh reader opened the file by name";
}

// Where no fresh reader can be had (here the runtime refuses a second
// open), a seek that cannot settle ends the stream there rather than
// decode the rest of the file.
TEST_F(WinePiecesTest, ASeekWithNoWayOnEndsTheStreamWithoutDecodingTheFile) {
    DefineFile(kSong, std::vector<uint32_t>(1000, 32768));  // 2,000 pieces of 20 ms
    Standin_SetFailures(kWinePieces | kSlowSamples);
    DecodeStream *stream = Open(kSong);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), 16384u);
    Standin_SetFailures(kWinePieces | kSlowSamples | kFailOpen);
    DWORD start = GetTickCount();
    EXPECT_EQ(Seek(stream, 3000), 0);
    EXPECT_LT(GetTickCount() - start, 3000u);
    EXPECT_EQ(Read(stream, &data), 0u);
    Standin_SetFailures(kWinePieces);
}

// Buffers of whole pieces never show that the reader keeps nothing: a long
// file stopped early is kept past its budget, never closed, its file let go.
TEST_F(WinePiecesTest, ReleaseReturnsWhileAStoppedLongFileIsReadOn) {
    std::string path = ScratchPath("long.wma");
    std::ofstream(path, std::ios::binary) << "ID3" << std::string(200, 'l');
    DefineFile(path, std::vector<uint32_t>(1000, 32768));  // 2,000 pieces of 20 ms
    Standin_SetFailures(kWinePieces | kSlowSamples);
    DecodeStream *stream = Open(path);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), 16384u);
    Close(stream);
    DWORD start = GetTickCount();
    ReleaseModule();
    EXPECT_LT(GetTickCount() - start, 3000u) << "Release waited for the file's decode";
    for (int wait = 0; wait < 1000 && !NobodyHasOpen(path); ++wait) Sleep(10);
    EXPECT_TRUE(NobodyHasOpen(path));
    EXPECT_EQ(Record().closes + Record().keptRestsMet, 0);
    ++readersAtStart_;  // the kept reader is the runtime's for the process's life
    Standin_SetFailures(0);
}

// A player stops mid-sample: the reader is read on before its Close, by
// then on another thread, done before the module's Release returns.
TEST_F(WinePiecesTest, AStreamClosedMidSampleIsClosedWithNothingKept) {
    DefineFile(kSong, {40000, 40000, 500});
    Standin_SetFailures(kWinePieces | kSlowSamples);
    DecodeStream *stream = Open(kSong);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), 16384u);
    Close(stream);
    ReleaseModule();
    EXPECT_EQ(LiveReaders(), 0);
    EXPECT_EQ(Record().closes, 1);
    EXPECT_EQ(Record().keptRestsMet, 0);
}

// ---------------------------------------------------------------- COM on the player's threads

// This thread's COM, asked without changing it: "none", "single" (an
// apartment of its own) or "multi".
std::string Apartment() {
    HRESULT probe = CoInitialize(nullptr);
    if (probe == RPC_E_CHANGED_MODE) return "multi";
    if (SUCCEEDED(probe)) CoUninitialize();
    return probe == S_OK ? "none" : "single";
}

using ComTest = StandinFixture;

// A player may open on its playback thread and close from its window
// thread: the window thread's apartment must survive the close.
TEST_F(ComTest, ClosingOnAnotherThreadLeavesThatThreadsApartment) {
    DefineFile(kSong, {500});
    ASSERT_EQ(CoInitialize(nullptr), S_OK) << "this thread starts without COM";
    DecodeStream *stream = nullptr;
    std::thread playback([&] { stream = Open(kSong); });
    playback.join();
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(ReadAll(stream, {{0, 500}}, nullptr));
    Close(stream);
    EXPECT_EQ(Apartment(), "single") << "the close took this thread's apartment";
    CoUninitialize();
    EXPECT_EQ(Apartment(), "none");
}

// A thread that starts after another ended may get that thread's id. A
// stream opened on the ended thread and closed on the new one leaves the
// new thread's apartment alone.
TEST_F(ComTest, ClosingOnAThreadThatInheritedTheOpenersIdLeavesItsApartment) {
    DefineFile(kSong, {500});
    DecodeStream *stream = nullptr;
    DWORD openerId = 0;
    std::thread([&] {
        openerId = GetCurrentThreadId();
        stream = Open(kSong);
    }).join();
    ASSERT_NE(stream, nullptr);
    std::string after;
    bool inherited = false;
    for (int tries = 0; tries < 20000 && !inherited; ++tries) {
        std::thread([&] {
            if (GetCurrentThreadId() != openerId) return;
            inherited = true;
            CoInitialize(nullptr);
            Close(stream);
            after = Apartment();
            CoUninitialize();
        }).join();
    }
    ASSERT_TRUE(inherited) << "no new thread got the opener's id";
    EXPECT_EQ(after, "single") << "the close took the new thread's apartment";
}

// Opened and closed on one thread, COM is as it was: nothing left behind,
// and a thread in the multithreaded apartment stays there.
TEST_F(ComTest, StreamsAndQueriesLeaveTheirThreadAsTheyFoundIt) {
    DefineFile(kSong, {500});
    auto streamAndQuery = [this] {
        DecodeStream *stream = Open(kSong);
        ReadAll(stream, {{0, 500}}, nullptr);
        Close(stream);
        FileInfo info;
        module_->ops->GetFileInfo(module_, kSong, 0, &info);
    };
    std::string bare, multi, single;
    std::thread([&] {
        streamAndQuery();
        bare = Apartment();
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        streamAndQuery();
        multi = Apartment();
        CoUninitialize();
        CoInitialize(nullptr);
        streamAndQuery();
        single = Apartment();
        CoUninitialize();
    }).join();
    EXPECT_EQ(bare, "none");
    EXPECT_EQ(multi, "multi");
    EXPECT_EQ(single, "single");
    EXPECT_EQ(Record().opens, 6);
}

// ---------------------------------------------------------------- the runtime

using RuntimeTest = StandinFixture;

TEST_F(RuntimeTest, ReaderIsMadeForPlaybackWithoutCertificate) {
    DefineFile(kSong, {500});
    Open(kSong);
    StandinRecord record = Record();
    EXPECT_EQ(record.readersCreated, 1);
    EXPECT_EQ(record.lastCertificateNull, 1);
    EXPECT_EQ(record.lastRights, 1u);  // WMT_RIGHT_PLAYBACK
    EXPECT_EQ(record.opens, 1);
}

TEST_F(RuntimeTest, OpenGetsTheNameInUtf16) {
    Open(kSong);
    EXPECT_STREQ(Record().lastOpenName, L"C:\\music\\song.wma");

    // A byte above 127 goes through the ANSI code page.
    const char accented[] = "C:\\music\\caf\xE9.wma";
    wchar_t expected[64];
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, accented, -1, expected, 64), 0);
    Open(accented);
    EXPECT_STREQ(Record().lastOpenName, expected);
}

TEST_F(RuntimeTest, FileThatDoesNotOpenReadsZeroAndClosesCleanly) {
    DefineFile(kSong, {500});
    DecodeStream *missing = Open("C:\\music\\other.wma");
    const uint8_t *data;
    EXPECT_EQ(Read(missing, &data), 0u);
    EXPECT_EQ(Read(missing, &data), 0u);
    Close(missing);

    Standin_SetFailures(kFailOpen);
    DecodeStream *refused = Open(kSong);
    EXPECT_EQ(Read(refused, &data), 0u);
    Close(refused);
    StandinRecord record = Record();
    EXPECT_EQ(record.opens, 2);
    EXPECT_EQ(record.closes, 2);
}

// The file's first bytes decide before the runtime is asked: a file that
// starts as ASF but is shorter than its header never reaches it; other
// content does (a WAV named .wma may well play), through the plug-in's own
// stream over the file.
TEST_F(RuntimeTest, OnlyAFileCutInsideItsHeaderIsKeptFromTheRuntime) {
    const char kHeaderId[] = "\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C";
    std::string whole = std::string(kHeaderId, 16) + std::string("\x1E\0\0\0\0\0\0\0", 8);  // 30 bytes
    std::string cut = std::string(kHeaderId, 16) + std::string("\x88\x13\0\0\0\0\0\0", 8);  // 5,000 bytes
    std::string wave = ScratchPath("wave.wma"), asf = ScratchPath("asf.wma"), shortAsf = ScratchPath("cut.wma");
    std::ofstream(wave, std::ios::binary) << "RIFF" << std::string(96, 'w');
    std::ofstream(asf, std::ios::binary) << whole << std::string(76, 'a');
    std::ofstream(shortAsf, std::ios::binary) << cut << std::string(76, 'a');
    for (const std::string &name : {wave, asf, shortAsf}) DefineFile(name, {500});

    const uint8_t *data;
    EXPECT_EQ(Read(Open(shortAsf), &data), 0u);
    FileInfo info;
    module_->ops->GetFileInfo(module_, shortAsf.c_str(), 0, &info);
    EXPECT_EQ(Record().streamOpens, 0);

    EXPECT_TRUE(ReadAll(Open(wave), {{0, 500}}, nullptr));
    EXPECT_TRUE(ReadAll(Open(asf), {{0, 500}}, nullptr));
    EXPECT_EQ(Record().streamOpens, 2);
    EXPECT_EQ(Record().opens, 0) << "a file the plug-in can open is never opened by name";
}

// A runtime may keep a reference to the stream it was given past its own
// Close: the file is closed with the plug-in's stream all the same, and the
// runtime's later reads fail rather than reach a closed handle.
TEST_F(RuntimeTest, TheFileClosesWithTheStreamWhateverTheRuntimeKeeps) {
    std::string path = ScratchPath("kept.wma");
    std::ofstream(path, std::ios::binary) << "ID3" << std::string(200, 'k');
    DefineFile(path, {500, 600});
    Standin_SetFailures(kKeepStream);
    DecodeStream *stream = Open(path);
    const uint8_t *data;
    ASSERT_EQ(Read(stream, &data), 500u);
    EXPECT_FALSE(NobodyHasOpen(path)) << "the plug-in reads the file itself";
    Close(stream);
    EXPECT_TRUE(NobodyHasOpen(path));
    EXPECT_TRUE(FAILED(Standin_ReadKeptStream()));
    Standin_SetFailures(0);
}

// A file the runtime refuses is given back at once: another program may
// write it while the player still holds the silent stream.
TEST_F(RuntimeTest, AFileTheRuntimeRefusesIsFreeBeforeTheStreamCloses) {
    std::string path = ScratchPath("refused.wma");
    std::ofstream(path, std::ios::binary) << "ID3" << std::string(200, 'r');
    DefineFile(path, {500});
    Standin_SetFailures(kFailOpen);
    DecodeStream *stream = Open(path);
    const uint8_t *data;
    EXPECT_EQ(Read(stream, &data), 0u);
    EXPECT_TRUE(NobodyHasOpen(path));
    Standin_SetFailures(0);
}

// An open that never returns, as Wine's may not: given up after its
// deadline, the file let go and answering as a refused file, not asked
// again by the stream, and the next file plays.
TEST_F(RuntimeTest, AnOpenThatNeverReturnsIsGivenUpAndTheNextFilePlays) {
    std::string stuck = ScratchPath("stuck.wma"), next = ScratchPath("next.wma");
    std::ofstream(stuck, std::ios::binary) << "ID3" << std::string(200, 's');
    std::ofstream(next, std::ios::binary) << "ID3" << std::string(200, 'n');
    DefineFile(stuck, {500});
    DefineFile(next, {700});
    EXPECT_TRUE(ReadAll(Open(next), {{0, 700}}, nullptr));
    Standin_SetFailures(kHangOpen);
    FileInfo info;
    EXPECT_EQ(module_->ops->GetFileInfo(module_, stuck.c_str(), 0, &info), 1);
    const uint8_t *data;
    EXPECT_EQ(Read(Open(stuck), &data), 0u);
    EXPECT_EQ(Record().streamOpens, 2) << "the stream asked again";
    EXPECT_TRUE(NobodyHasOpen(stuck));
    Standin_SetFailures(0);  // the stuck open goes on, reads a closed file, and its reader is let go
    EXPECT_TRUE(ReadAll(Open(next), {{0, 700}}, nullptr));
    for (int wait = 0; wait < 500 && LiveReaders() > 2; ++wait) Sleep(10);  // past the two streams on `next`
}

// A file that is there but refuses the plug-in (held by a program that
// shares nothing) is never handed to the runtime by name, which may keep
// it; a name with no file behind it (an address) is.
TEST_F(RuntimeTest, OnlyANameWithNoFileBehindItIsOpenedByName) {
    std::string path = ScratchPath("held.wma");
    std::ofstream(path, std::ios::binary) << "ID3" << std::string(200, 'h');
    DefineFile(path, {500});
    HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const uint8_t *data;
    EXPECT_EQ(Read(Open(path), &data), 0u);
    FileInfo info;
    module_->ops->GetFileInfo(module_, path.c_str(), 0, &info);
    CloseHandle(holder);
    EXPECT_EQ(Record().opens, 0) << "a refused file was opened by name";

    const char address[] = "http://music.example/song.wma";
    DefineFile(address, {500});
    EXPECT_TRUE(ReadAll(Open(address), {{0, 500}}, nullptr));
    EXPECT_EQ(Record().opens, 1);
}

// The name is converted into 1024 UTF-16 units, its terminator included.
TEST_F(RuntimeTest, NameThatDoesNotFit1024UnitsNeverReachesOpen) {
    std::string tooLong = std::string(1100, 'a') + ".wma";
    DefineFile(tooLong, {500});
    DecodeStream *stream = Open(tooLong);
    ASSERT_NE(stream, nullptr);
    const uint8_t *data;
    EXPECT_EQ(Read(stream, &data), 0u);
    EXPECT_EQ(Record().opens, 0);
}

TEST_F(RuntimeTest, NameOf1023CharactersStillOpens) {
    std::string longest = std::string(1019, 'a') + ".wma";
    DefineFile(longest, {500});
    DecodeStream *stream = Open(longest);
    EXPECT_EQ(Record().opens, 1);
    EXPECT_EQ(Record().lastOpenName, Wide(longest));
    std::vector<Chunk> chunks;
    EXPECT_TRUE(ReadAll(stream, {{0, 500}}, &chunks));
}

}  // namespace
