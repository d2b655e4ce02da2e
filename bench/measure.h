#pragma once
// Times the measured part of a benchmark apart from its setup, and reports
// it with its ratio to a baseline of the same name run earlier in the same
// process (ratio_vs_baseline).  The baseline's figure is the mean over every
// repetition it ran, so that with --benchmark_repetitions each repetition of
// the measured side is set against all of the baseline's, not its last.
// Each side runs once untimed before its timed runs, in every repetition: a
// cold first run (fonts loaded, a font embedded, caches filled, a window's
// first query) would otherwise fall on whichever side or repetition runs
// first. Times are the process's processor time (CpuClock), as the machine
// may be shared; work that hands a part to a thread of its own (a list
// counted in the background) is timed on the calling thread alone
// (ThreadCpuClock), so that the other thread's work, which may overlap the
// measured part more or less, never falls on one side only.
//
// Under valgrind (callgrind with --instr-atstart=no) only the timed loop is
// instrumented, so instruction counts leave out the setup of the data.

#include "cpu_clock.h"

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
#include <map>
#include <string>

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
template <class Clock = CpuClock, class Setup, class Measured, class After>
void measure(benchmark::State &state, const std::string &name, bool baseline, Setup setup, Measured measured,
             After after)
{
    setup();
    measured();
    after();
    double total = 0;
    VELMORA_BENCH_COUNT_START();
    for (auto _ : state) {
        setup();
        const auto t0 = Clock::now();
        measured();
        const double s = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(s);
        total += s;
        after();
    }
    VELMORA_BENCH_COUNT_STOP();
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

template <class Clock = CpuClock, class Setup, class Measured>
void measure(benchmark::State &state, const std::string &name, bool baseline, Setup setup, Measured measured)
{
    measure<Clock>(state, name, baseline, setup, measured, [] {});
}
