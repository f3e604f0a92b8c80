// Contract fuzzing of the plug-in against the scripted stand-in runtime:
// thousands of random scenarios of streams and information queries, each
// checked against a model of the plug-in's promises (stream_contract.cpp,
// info_contract.cpp). Everything follows from one seed:
//
//   VIVU_CONTRACT_SEED       the run's seed (default below)
//   VIVU_CONTRACT_SCENARIOS  scenarios of each kind (default below)
//   VIVU_CONTRACT_REPLAY     one scenario's seed: run only that scenario
//
// A failure names the scenario's seed and the steps that led to it.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "contract_random.h"

namespace {

const uint64_t kDefaultSeed = 0x5EED0C0A7AC7ull;
const uint64_t kDefaultScenarios = 3000;
// Further failures of a run are most often the same fault again.
const int kMostReportedFailures = 3;

bool EnvNumber(const char *name, uint64_t *number) {
    const char *text = getenv(name);
    if (!text || !*text) return false;
    *number = strtoull(text, nullptr, 0);
    return true;
}

// The scenario running now, named if the plug-in brings the program down.
const char *runningKind = "";
volatile uint64_t runningSeed;

LONG WINAPI NameTheScenario(EXCEPTION_POINTERS *exception) {
    fprintf(stderr, "\n%s scenario with seed 0x%016llx crashed (exception 0x%08lx); replay it with "
                    "VIVU_CONTRACT_REPLAY=0x%016llx\n",
            runningKind, static_cast<unsigned long long>(runningSeed),
            static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode),
            static_cast<unsigned long long>(runningSeed));
    fflush(stderr);
    return EXCEPTION_CONTINUE_SEARCH;
}

void RunScenarios(const char *kind, const char *testName, std::string (*run)(uint64_t),
                  std::string (*coverage)()) {
    SetUnhandledExceptionFilter(NameTheScenario);
    runningKind = kind;
    uint64_t seed = kDefaultSeed, count = kDefaultScenarios, replay = 0;
    EnvNumber("VIVU_CONTRACT_SEED", &seed);
    EnvNumber("VIVU_CONTRACT_SCENARIOS", &count);
    bool replaying = EnvNumber("VIVU_CONTRACT_REPLAY", &replay);
    if (replaying) {
        count = 1;
        printf("%s: replaying the scenario with seed 0x%016llx\n", kind, static_cast<unsigned long long>(replay));
    } else {
        printf("%s: seed 0x%016llx, %llu scenarios\n", kind, static_cast<unsigned long long>(seed),
               static_cast<unsigned long long>(count));
    }
    fflush(stdout);

    int failures = 0;
    for (uint64_t index = 0; index < count; ++index) {
        runningSeed = replaying ? replay : ScenarioSeed(seed, index);
        std::string report = run(runningSeed);
        if (report.empty()) continue;
        ADD_FAILURE() << kind << " scenario " << index << " (seed 0x" << std::hex << runningSeed << std::dec
                      << ") broke a promise: " << report << "\n  replay: VIVU_CONTRACT_REPLAY=0x" << std::hex
                      << runningSeed << std::dec << " contract_fuzz.exe --gtest_filter=ContractFuzz." << testName;
        if (++failures == kMostReportedFailures) break;
    }
    printf("%s: %s\n", kind, coverage().c_str());
}

}  // namespace

TEST(ContractFuzz, StreamsKeepTheirPromises) {
    RunScenarios("stream", "StreamsKeepTheirPromises", RunStreamScenario, StreamCoverage);
}

TEST(ContractFuzz, FileInfoKeepsItsPromises) {
    RunScenarios("info", "FileInfoKeepsItsPromises", RunInfoScenario, InfoCoverage);
}
