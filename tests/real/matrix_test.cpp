// The codec matrix that ./vivu makes with ffmpeg (matrix.txt: name, seconds,
// rate, channels): each file reports its true format, decodes to its length
// at that format's byte rate, and seeks to several points.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "real_files.h"
#include "test_paths.h"

namespace {

struct MatrixFile {
    std::string name;
    double seconds;
    int rate;
    int channels;
};

std::vector<MatrixFile> ReadMatrix() {
    std::vector<MatrixFile> files;
    std::ifstream list(MediaPath("matrix.txt"));
    MatrixFile file;
    while (list >> file.name >> file.seconds >> file.rate >> file.channels) files.push_back(file);
    return files;
}

// WMA decodes in frames of up to 2,048 samples: allow 2% or one frame.
double Tolerance(double expected, const FileInfo &info) {
    return std::max(expected * 0.02, 2048.0 * info.channels * 2 + 1);
}

class CodecMatrix : public ::testing::Test {
protected:
    void SetUp() override {
        module = Velmor_GetInputModule2(GetModuleHandleA(nullptr), nullptr);
        files = ReadMatrix();
        ASSERT_GE(files.size(), 10u) << "matrix.txt missing in " << MediaPath("");
    }
    void TearDown() override { module->ops->Release(module); }

    InputModule *module = nullptr;
    std::vector<MatrixFile> files;
};

TEST_F(CodecMatrix, EveryFileDecodesToItsLengthInItsOwnFormat) {
    for (const MatrixFile &file : files) {
        SCOPED_TRACE(file.name);
        FileInfo info = Describe(module, MediaPath(file.name));
        EXPECT_EQ(info.sampleRate, file.rate);
        EXPECT_EQ(info.channels, file.channels);
        EXPECT_EQ(info.bitsPerSample, 16);
        double expected = file.seconds * ByteRate(info);
        Decoded whole = DecodeFileNear(module, MediaPath(file.name), -1, expected, Tolerance(expected, info));
        EXPECT_NEAR(static_cast<double>(whole.bytes), expected, Tolerance(expected, info));
        EXPECT_LE(whole.largestChunk, 128000u);
    }
}

TEST_F(CodecMatrix, SeekingGivesTheRemainingLength) {
    for (const MatrixFile &file : files) {
        SCOPED_TRACE(file.name);
        FileInfo info = Describe(module, MediaPath(file.name));
        for (double fraction : {0.25, 0.5, 0.9}) {
            SCOPED_TRACE(fraction);
            int32_t positionMs = static_cast<int32_t>(file.seconds * 1000 * fraction);
            double expected = (file.seconds - positionMs / 1000.0) * ByteRate(info);
            Decoded rest =
                DecodeFileNear(module, MediaPath(file.name), positionMs, expected, Tolerance(expected, info));
            EXPECT_NEAR(static_cast<double>(rest.bytes), expected, Tolerance(expected, info));
        }
    }
}

}  // namespace
