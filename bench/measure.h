#pragma once
// Times the measured part of a benchmark apart from its setup, and reports
// it with its ratio to a baseline of the same name run earlier in the same
// process (ratio_vs_baseline).  The baseline's figure is the mean over every
// repetition it ran, so that with --benchmark_repetitions each repetition of
// the measured side is set against all of the baseline's, not its last.
// Each side runs once untimed before its first timed run: a cold first run
// (fonts loaded, a font embedded, caches filled) would otherwise fall on
// whichever side runs first and flatter the ratio. Times are the process's
// processor time (CpuClock): the machine may be shared.

#include "cpu_clock.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <utility>

struct BenchBaseline {
    double seconds = 0;
    double runs = 0;
    double mean() const { return runs > 0 ? seconds / runs : 0; }
};

inline std::map<std::string, BenchBaseline> &benchBaselines()
{
    static std::map<std::string, BenchBaseline> b;
    return b;
}

// Runs setup, then measured under the clock, then after, once per iteration.
template <class Setup, class Measured, class After>
void measure(benchmark::State &state, const std::string &name, bool baseline, Setup setup, Measured measured,
             After after)
{
    static std::set<std::pair<std::string, bool>> warmed;
    if (warmed.insert({name, baseline}).second) {
        setup();
        measured();
        after();
    }
    double total = 0;
    for (auto _ : state) {
        setup();
        const auto t0 = CpuClock::now();
        measured();
        const double s = std::chrono::duration<double>(CpuClock::now() - t0).count();
        state.SetIterationTime(s);
        total += s;
        after();
    }
    const double runs = double(state.iterations());
    const double mean = runs > 0 ? total / runs : 0;
    if (baseline) {
        BenchBaseline &b = benchBaselines()[name];
        b.seconds += total;
        b.runs += runs;
    } else if (auto it = benchBaselines().find(name); it != benchBaselines().end() && it->second.mean() > 0) {
        state.counters["ratio_vs_baseline"] = mean / it->second.mean();
    }
    state.counters["ms_per_op"] = mean * 1000;
}

template <class Setup, class Measured>
void measure(benchmark::State &state, const std::string &name, bool baseline, Setup setup, Measured measured)
{
    measure(state, name, baseline, setup, measured, [] {});
}
