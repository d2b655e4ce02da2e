#pragma once
// Times a measured part against its baseline by turns, apart from the setup
// of each. In every iteration each side runs once, the order alternating
// from one iteration to the next, so that a change in the machine's load
// falls on both sides alike and neither always runs first (a baseline run
// to the end before the measured side starts drifts apart from it as the
// load changes). Each side runs once untimed before the timed iterations: a
// cold first run (fonts loaded, a font embedded, caches filled, a window's
// first query) would otherwise fall on whichever side runs first. Times are
// the process's processor time (CpuClock), as the machine may be shared;
// work that hands a part to a thread of its own (a list counted in the
// background) is timed on the calling thread alone (ThreadCpuClock), so
// that the other thread's work, which may overlap the measured part more or
// less, never falls on one side only.
//
// Counters: ms_per_op and baseline_ms (means), ratio_vs_baseline (measured
// total / baseline total), ratio_min and ratio_median (ratio.h).
//
// Under valgrind (callgrind with --instr-atstart=no) only the timed loop is
// instrumented, so instruction counts leave out the preparation of the data
// (but count both sides).

#include "cpu_clock.h"
#include "ratio.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define VELMORA_BENCH_COUNT_START() CALLGRIND_START_INSTRUMENTATION
#define VELMORA_BENCH_COUNT_STOP() CALLGRIND_STOP_INSTRUMENTATION
#else
#define VELMORA_BENCH_COUNT_START() ((void)0)
#define VELMORA_BENCH_COUNT_STOP() ((void)0)
#endif

#include <benchmark/benchmark.h>
#include <chrono>
#include <functional>
#include <numeric>
#include <vector>

// One side of a comparison: Measured is timed, Setup (before it) and After
// are not.
struct BenchSide {
    std::function<void()> Measured;
    std::function<void()> Setup = [] {};
    std::function<void()> After = [] {};
};

// Runs the sides by turns, each once per iteration (the first side to run
// moving on by one every iteration), after one untimed run of each. Returns
// each side's times in seconds; the iteration time is the first side's.
template <class Clock = CpuClock>
std::vector<std::vector<double>> timeByTurns(benchmark::State &state, const std::vector<BenchSide> &sides)
{
    for (const BenchSide &s : sides) {
        s.Setup();
        s.Measured();
        s.After();
    }
    std::vector<std::vector<double>> times(sides.size());
    size_t first = 0;
    VELMORA_BENCH_COUNT_START();
    for (auto _ : state) {
        double own = 0;
        for (size_t k = 0; k < sides.size(); ++k) {
            const size_t i = (first + k) % sides.size();
            const BenchSide &s = sides[i];
            s.Setup();
            const auto t0 = Clock::now();
            s.Measured();
            const double t = std::chrono::duration<double>(Clock::now() - t0).count();
            s.After();
            times[i].push_back(t);
            if (i == 0) own = t;
        }
        state.SetIterationTime(own);
        first = (first + 1) % sides.size();
    }
    VELMORA_BENCH_COUNT_STOP();
    return times;
}

// `measured` against `baseline`, by turns (counters: see the head).
template <class Clock = CpuClock>
void measurePair(benchmark::State &state, const BenchSide &measured, const BenchSide &baseline)
{
    const auto times = timeByTurns<Clock>(state, {measured, baseline});
    const double ours = std::accumulate(times[0].begin(), times[0].end(), 0.0);
    const double base = std::accumulate(times[1].begin(), times[1].end(), 0.0);
    const double runs = double(times[0].size());
    if (runs > 0) {
        state.counters["ms_per_op"] = ours / runs * 1000;
        state.counters["baseline_ms"] = base / runs * 1000;
    }
    if (base > 0) state.counters["ratio_vs_baseline"] = ours / base;
    RatioCounters(state, times[0], times[1]);
}

// A running total of times, for a mean.
struct BenchBaseline {
    double seconds = 0;
    double runs = 0;
    double mean() const { return runs > 0 ? seconds / runs : 0; }
};
