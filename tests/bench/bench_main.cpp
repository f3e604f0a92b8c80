// vivu-bench MEDIA_DIR: how much the plug-in adds to the media runtime's own
// work. Here, with the runtime Wine provides: first the runtime's bare sample
// loop against itself, the noise floor every ratio here stands on; then
// decoding a 60 s file through the plug-in against that loop. Then it runs
// runtime\vivu-bench-standin.exe (the plug-in's copy and memory use, with a
// runtime that costs nothing) and passes on its verdicts, and last soaks the
// plug-in in thousands of streams and queries on a real file, times its
// seeks against the runtime's own, its header reader on a hostile file, and
// (in a process of its own) a library scan against reading what it needs.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>

#include "bench_common.h"
#include "bench_header.h"
#include "bench_info.h"
#include "bench_seek.h"
#include "bench_soak.h"
#include "child_process.h"
#include "direct_runtime.h"

namespace {

const int kRounds = 30;  // paired runs of the two loops, more where they scatter
const double kBudgetSeconds = 60;  // for each of the two lines

// The runtime alone: the same calls the plug-in makes per sample, no copy.
double BareRuntimeLoop(const std::wstring &file, uint64_t *bytes) {
    double start = NowSeconds();
    if (!DecodeDirectly(file.c_str(), bytes)) return -1;
    return NowSeconds() - start;
}

// Wine's decoder differs a little in the first frames from run to run.
bool Complete(uint64_t bytes, uint64_t fullBytes) {
    return static_cast<double>(bytes) >= 0.98 * static_cast<double>(fullBytes);
}

double PluginLoop(PlayerModule *module, const std::string &file, uint64_t *bytes) {
    double start = NowSeconds();
    PlayerStream *stream = module->table->openStream(module, file.c_str(), 0);
    if (!stream) return -1;
    *bytes = ReadToEnd(stream);
    stream->table->close(stream);
    return NowSeconds() - start;
}

std::wstring WidePath(const std::string &file) {
    std::wstring wide(file.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, &wide[0], static_cast<int>(wide.size())) - 1);
    return wide;
}

// One timed decode of a whole file: its seconds, or -1; *bytes gets what it decoded.
typedef std::function<double(uint64_t *bytes)> DecodeLoop;

// Pairs of two decode loops, each run right next to the other so that both
// meet the same load on the machine.
PairedTimes DecodePairs(const DecodeLoop &first, const DecodeLoop &second, uint64_t fullBytes) {
    return TakePairs(kRounds, kBudgetSeconds, [&](int round, double *firstTime, double *secondTime) {
        // Whichever loop runs second may meet the first one's reader still
        // winding down, so the order alternates.
        uint64_t firstBytes = 0, secondBytes = 0;
        if (round % 2) {
            *secondTime = second(&secondBytes);
            *firstTime = first(&firstBytes);
        } else {
            *firstTime = first(&firstBytes);
            *secondTime = second(&secondBytes);
        }
        // Wine's runtime now and then ends a file early under load.
        return Complete(firstBytes, fullBytes) && Complete(secondBytes, fullBytes);
    });
}

void PrintTooFewDecodes(const char *label, const std::string &file, const PairedTimes &pairs, uint64_t fullBytes) {
    printf("%s %s: too few complete decodes (%d of %d pairs came short; a full decode is %llu bytes)\n", label,
           file.c_str(), pairs.leftOut, pairs.leftOut + static_cast<int>(pairs.ratios.size()),
           static_cast<unsigned long long>(fullBytes));
}

// The noise floor: the runtime's loop against itself, paired as (a) pairs
// it with the plug-in. Nothing differs between the two, so however far this
// interval strays from 1.00 is what the machine alone did to a ratio in this
// run; (a)'s interval means as much as this one is narrow.
int NoiseFloor(const std::string &mediaDir) {
    const std::string file = mediaDir + "\\long60.wma";
    const std::wstring wideFile = WidePath(file);
    if (!RuntimeFactoryFor("(control)")) return kBenchCannotMeasure;
    uint64_t fullBytes = 0;
    BareRuntimeLoop(wideFile, &fullBytes);  // warm-up: the decoder's first start is slow
    DecodeLoop bare = [&](uint64_t *bytes) { return BareRuntimeLoop(wideFile, bytes); };
    PairedTimes pairs = DecodePairs(bare, bare, fullBytes);
    if (fullBytes == 0 || !EnoughPairs(pairs)) {
        PrintTooFewDecodes("(control)", file, pairs, fullBytes);
        return kBenchCannotMeasure;
    }
    printf("(control) noise floor: the runtime GetNextSample loop on long60.wma against itself, paired as in (a), "
           "%.4f s (median)\n    runtime / runtime, ", Median(&pairs.firstTimes));
    PairedSpread(pairs);
    return kBenchAllPass;
}

// (a): returns whether the target was met; false with a message when the
// file cannot be decoded at all.
int DecodeAgainstRuntime(const std::string &mediaDir) {
    const std::string file = mediaDir + "\\long60.wma";
    const std::wstring wideFile = WidePath(file);
    if (!RuntimeFactoryFor("(a)")) return kBenchCannotMeasure;
    LoadedPlugin plugin = LoadBuiltPlugin();
    uint64_t fullBytes = 0;
    PluginLoop(plugin.module, file, &fullBytes);  // warm-up: the decoder's first start is slow
    // The pairs' median ratio counts, with its interval.
    PairedTimes pairs = DecodePairs([&](uint64_t *bytes) { return PluginLoop(plugin.module, file, bytes); },
                                    [&](uint64_t *bytes) { return BareRuntimeLoop(wideFile, bytes); }, fullBytes);
    UnloadPlugin(&plugin);
    if (fullBytes == 0 || !EnoughPairs(pairs)) {
        PrintTooFewDecodes("(a)", file, pairs, fullBytes);
        return kBenchCannotMeasure;
    }
    printf("(a) decoding long60.wma (%llu bytes): plug-in Read loop %.4f s, runtime GetNextSample loop %.4f s "
           "(medians)",
           static_cast<unsigned long long>(fullBytes), Median(&pairs.firstTimes), Median(&pairs.secondTimes));
    if (pairs.leftOut) printf(" (%d pairs with a short decode left out)", pairs.leftOut);
    printf("\n    plug-in / runtime, ");
    return PairedVerdict(pairs, 1.01) ? kBenchAllPass : kBenchSomeMiss;
}

// Runs the stand-in half with the stand-in runtime chosen over Wine's.
int RunStandinHalf() {
    std::string self = OwnProgramPath();
    std::string program = self.substr(0, self.find_last_of("\\/") + 1) + "runtime\\vivu-bench-standin.exe";
    SetEnvironmentVariableA("WINEDLLOVERRIDES", "wmvcore=n");
    ChildRun run = RunChild(CommandLine(program, {}), INFINITE, false);
    SetEnvironmentVariableA("WINEDLLOVERRIDES", nullptr);
    if (run.exitCode < 0) {
        printf("(b, c) cannot run %s\n", program.c_str());
        return kBenchCannotMeasure;
    }
    return run.exitCode;
}

// The library scan in a process of its own, on Wine's runtime: an open
// the plug-in gives up on keeps its threads for good, and under Wine 8 such
// a process may crash at exit; neither is to touch the other lines.
int RunScanHalf(const std::string &mediaDir) {
    SetEnvironmentVariableA("WINEDLLOVERRIDES", "wmvcore=b");
    ChildRun run = RunChild(CommandLine(OwnProgramPath(), {"--scan", mediaDir}), INFINITE, false);
    SetEnvironmentVariableA("WINEDLLOVERRIDES", nullptr);
    if (run.exitCode >= kBenchAllPass && run.exitCode <= kBenchCannotMeasure) return run.exitCode;
    printf("(scan) the scan's process ended with status %d\n", run.exitCode);
    return kBenchCannotMeasure;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::string(argv[1]) == "--scan") {
        CoInitialize(nullptr);
        setvbuf(stdout, nullptr, _IONBF, 0);
        return LibraryScanAgainstReads(argv[2]);
    }
    if (argc != 2) {
        fprintf(stderr, "usage: vivu-bench MEDIA_DIR   (the folder holding long60.wma)\n"
                        "exit status: 0 every target met, 1 some missed, 2 something could not be measured\n");
        return kBenchCannotMeasure;
    }
    CoInitialize(nullptr);
    setvbuf(stdout, nullptr, _IONBF, 0);
    // The noise floor first: it says how far to trust every ratio below.
    int first = NoiseFloor(argv[1]);
    int decode = DecodeAgainstRuntime(argv[1]);
    if (decode > first) first = decode;
    int info = InfoAgainstRuntime(argv[1]);
    if (info > first) first = info;
    int second = RunStandinHalf();
    // VIVU_SOAK_CYCLES shortens the soak; 10,000 by default, half of them on each side.
    const char *cycles = getenv("VIVU_SOAK_CYCLES");
    int third = SoakOnRealFile(argv[1], cycles && atoi(cycles) > 0 ? atoi(cycles) : 10000);
    int fourth = SeekAgainstRuntime(argv[1]);
    int header = HeaderReaderOnHostileFile(argv[1]);
    if (header > fourth) fourth = header;
    int scan = RunScanHalf(argv[1]);
    if (scan > fourth) fourth = scan;
    CoUninitialize();
    int worst = first > second ? first : second;
    worst = worst > third ? worst : third;
    return worst > fourth ? worst : fourth;
}
