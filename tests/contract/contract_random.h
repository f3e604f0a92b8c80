// What the contract scenarios share: a small generator that gives the same
// sequence on every machine from a 64-bit seed, and the record of one
// scenario's steps and first broken promise.
#pragma once

#include <stdint.h>

#include <sstream>
#include <string>
#include <vector>

// splitmix64: tiny, fast, and every seed (0 included) gives a good sequence.
class Rng {
  public:
    explicit Rng(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1 (0 when n is 0).
    uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }
    // lo .. hi, both included.
    uint32_t Between(uint32_t lo, uint32_t hi) { return lo + Below(hi - lo + 1); }
    bool Percent(uint32_t percent) { return Below(100) < percent; }
    template <typename T, size_t N>
    const T &Pick(const T (&items)[N]) {
        return items[Below(N)];
    }

  private:
    uint64_t state_;
};

// The seed of scenario `index` of a run: scenarios replay one by one.
inline uint64_t ScenarioSeed(uint64_t runSeed, uint64_t index) {
    Rng mix(runSeed ^ (index * 0xD1B54A32D192ED03ull));
    return mix.Next();
}

// One scenario's steps and the first check that failed. The steps are kept
// only to explain a failure, so they are short.
class Verdict {
  public:
    void Step(const std::string &what) { steps_.push_back(what); }
    // Records the first failure; later ones follow from it and are dropped.
    bool Check(bool held, const std::string &what) {
        if (!held && failure_.empty()) failure_ = what.empty() ? "a check failed" : what;
        return held;
    }
    bool Failed() const { return !failure_.empty(); }
    // The failure and the steps that led to it (the last `tail` of them).
    std::string Report(size_t tail = 25) const {
        std::ostringstream out;
        out << failure_ << "\n  steps (last " << tail << "):";
        size_t from = steps_.size() > tail ? steps_.size() - tail : 0;
        if (from) out << "\n    ...";
        for (size_t at = from; at < steps_.size(); ++at) out << "\n    " << at << ": " << steps_[at];
        return out.str();
    }

  private:
    std::vector<std::string> steps_;
    std::string failure_;
};

// Formats anything streamable: Say("read ", 40000) -> "read 40000".
template <typename... Parts>
std::string Say(const Parts &...parts) {
    std::ostringstream out;
    (out << ... << parts);
    return out.str();
}

// A scenario: everything it does follows from its seed. The result is empty
// when every promise held, else the report of the first that did not.
std::string RunStreamScenario(uint64_t seed);
std::string RunInfoScenario(uint64_t seed);

// What the scenarios so far have exercised, for the run's summary line.
std::string StreamCoverage();
std::string InfoCoverage();
