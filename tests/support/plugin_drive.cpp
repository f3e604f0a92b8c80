#include "plugin_drive.h"

namespace {

const StreamOps *OpsOf(DecodeStream *stream) { return *reinterpret_cast<const StreamOps *const *>(stream); }
const ModuleOps *OpsOf(InputModule *module) { return *reinterpret_cast<const ModuleOps *const *>(module); }

}  // namespace

StreamTotals ReadStreamToEnd(DecodeStream *stream) {
    StreamTotals totals;
    const uint8_t *data = nullptr;
    while (uint32_t count = OpsOf(stream)->Read(stream, &data)) {
        totals.nullChunks += data == nullptr;
        totals.bytes += count;
        totals.chunks++;
        if (count > totals.largestChunk) totals.largestChunk = count;
        if (totals.chunks > 10000000) return totals;
    }
    totals.endStays = OpsOf(stream)->Read(stream, &data) == 0;
    return totals;
}

bool SoakCycle(InputModule *module, const char *path) {
    DecodeStream *stream = OpsOf(module)->OpenStream(module, path, 0);
    bool played = stream != nullptr;
    if (stream) {
        const uint8_t *data;
        for (int chunk = 0; chunk < 4; ++chunk) played = OpsOf(stream)->Read(stream, &data) > 0 && played;
        OpsOf(stream)->Seek(stream, 1000);
        OpsOf(stream)->Read(stream, &data);
        OpsOf(stream)->Close(stream);
    }
    FileInfo info;
    OpsOf(module)->GetFileInfo(module, path, 0, &info);
    return played;
}
