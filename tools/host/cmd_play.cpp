// vivu-host play: what the player does with a file, from the filter test
// to the last chunk, with the audio written into a WAV file.
#include <stdio.h>
#include <string.h>

#include <chrono>

#include "commands.h"
#include "module_report.h"
#include "player_registry.h"
#include "plugin_loader.h"
#include "wav_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

// The progress line is redrawn at most this often.
const auto kProgressInterval = std::chrono::milliseconds(250);
// A WAV file cannot describe more; a stream that goes on is cut here.
const uint64_t kMaxDataBytes = 0xffffffffull - 36;

double Seconds(Clock::duration span) { return std::chrono::duration<double>(span).count(); }

// The record's format, or CD format for any field it leaves at 0.
WavFormat FormatFrom(const PlayerFileInfo &info) {
    WavFormat format;
    format.sampleRate = info.sampleRate > 0 ? static_cast<uint32_t>(info.sampleRate) : 44100;
    format.channels = info.channels > 0 ? static_cast<uint16_t>(info.channels) : 2;
    format.bitsPerSample = info.bitsPerSample > 0 ? static_cast<uint16_t>(info.bitsPerSample) : 16;
    return format;
}

struct Progress {
    Clock::time_point lastDraw;
    bool drawn;
    double totalSeconds;  // from the record; 0 when unknown
};

void DrawProgress(Progress *progress, double audioSeconds, bool force) {
    Clock::time_point now = Clock::now();
    if (!force && now - progress->lastDraw < kProgressInterval) return;
    progress->lastDraw = now;
    progress->drawn = true;
    if (progress->totalSeconds > 0)
        fprintf(stderr, "\rdecoding: %8.1f s of %.1f s (%3.0f%%)  ", audioSeconds, progress->totalSeconds,
                100.0 * audioSeconds / progress->totalSeconds);
    else
        fprintf(stderr, "\rdecoding: %8.1f s  ", audioSeconds);
    fflush(stderr);
}

void EraseProgress(const Progress &progress) {
    if (progress.drawn) fprintf(stderr, "\r%60s\r", "");
}

// Reads the stream to its end into `wav`; the result is the chunk count.
uint64_t PullAll(PlayerStream *stream, WavWriter *wav, double totalSeconds) {
    const uint32_t byteRate = WavByteRate(wav->format) ? WavByteRate(wav->format) : 1;  // 1: a format under 8 bits
    Progress progress = {Clock::now(), false, totalSeconds};
    uint64_t chunks = 0;
    for (;;) {
        const uint8_t *data = nullptr;
        uint32_t count = stream->table->read(stream, &data);
        if (count == 0) break;
        if (!data) {
            fprintf(stderr, "\nvivu-host: Read gave %lu bytes at a null pointer; stopping\n",
                    static_cast<unsigned long>(count));
            break;
        }
        if (wav->dataBytes + count > kMaxDataBytes) {
            fprintf(stderr, "\nvivu-host: more audio than a WAV file holds; stopping\n");
            break;
        }
        WavAppend(wav, data, count);
        ++chunks;
        DrawProgress(&progress, static_cast<double>(wav->dataBytes) / byteRate, false);
    }
    EraseProgress(progress);
    return chunks;
}

}  // namespace

int RunPlay(const HostOptions &options) {
    if (options.hasPlayerTemplate && !StorePlayerTemplate(options.playerTemplate)) return kExitUsage;
    LoadedPlugin plugin;
    if (!LoadPlugin(options.dllPath.empty() ? DefaultPluginPath() : options.dllPath, &plugin)) return kExitNoModule;
    PlayerModule *module = plugin.module;
    const char *file = options.file.c_str();
    PrintModuleSummary(module);

    long canHandle = module->table->canHandle(module, file);
    printf("CanHandle: %ld\n", canHandle);
    if (canHandle == 0) {
        fprintf(stderr, "vivu-host: the module refuses %s: CanHandle gave 0 (it plays %s)\n", file,
                FirstFilterPattern(module));
        UnloadPlugin(&plugin);
        return kExitRefused;
    }

    // The player asks for the information first and sets up its output
    // from the record's format.
    PlayerFileInfo info;
    memset(&info, 0, sizeof(info));
    printf("GetFileInfo: %ld\n", static_cast<long>(module->table->getFileInfo(module, file, 0, &info)));
    PrintFileInfo(info);
    const WavFormat format = FormatFrom(info);

    PlayerStream *stream = module->table->openStream(module, file, 0);
    if (!stream) {
        fprintf(stderr, "vivu-host: the module opened no stream on %s\n", file);
        UnloadPlugin(&plugin);
        return kExitNoAudio;
    }
    if (options.hasSeek)
        printf("Seek(%d): %ld\n", options.seekMs, static_cast<long>(stream->table->seek(stream, options.seekMs)));

    WavWriter wav;
    if (!WavOpen(&wav, options.output.c_str(), format)) {
        fprintf(stderr, "vivu-host: cannot write %s\n", options.output.c_str());
        stream->table->close(stream);
        UnloadPlugin(&plugin);
        return kExitUsage;
    }
    Clock::time_point start = Clock::now();
    uint64_t chunks = PullAll(stream, &wav, info.durationMs / 1000.0);
    double wallSeconds = Seconds(Clock::now() - start);
    stream->table->close(stream);
    UnloadPlugin(&plugin);
    const uint64_t bytes = wav.dataBytes;
    if (!WavFinish(&wav)) {
        fprintf(stderr, "vivu-host: writing %s failed\n", options.output.c_str());
        return kExitUsage;
    }

    double audioSeconds = WavByteRate(format) ? static_cast<double>(bytes) / WavByteRate(format) : 0;
    printf("wrote: %s (%lu Hz, %u channels, %u bits)\n", options.output.c_str(),
           static_cast<unsigned long>(format.sampleRate), format.channels, format.bitsPerSample);
    printf("chunks: %llu\n", static_cast<unsigned long long>(chunks));
    printf("bytes: %llu\n", static_cast<unsigned long long>(bytes));
    printf("audio: %.3f s\n", audioSeconds);
    if (wallSeconds > 0) printf("speed: %.1fx real time (%.3f s)\n", audioSeconds / wallSeconds, wallSeconds);
    if (bytes == 0) {
        fprintf(stderr, "vivu-host: the stream on %s read 0 bytes\n", file);
        return kExitNoAudio;
    }
    return kExitOk;
}
