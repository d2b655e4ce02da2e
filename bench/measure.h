#pragma once
// Times the measured part of a benchmark apart from its setup, and reports
// it with its ratio to a baseline of the same name run earlier in the same
// process (ratio_vs_baseline).

#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <string>

inline std::map<std::string, double> &benchBaselines()
{
    static std::map<std::string, double> b;
    return b;
}

template <class Setup, class Measured>
void measure(benchmark::State &state, const std::string &name, bool baseline, Setup setup, Measured measured)
{
    double total = 0;
    for (auto _ : state) {
        setup();
        const auto t0 = std::chrono::steady_clock::now();
        measured();
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.SetIterationTime(s);
        total += s;
    }
    const double mean = total / double(state.iterations());
    if (baseline)
        benchBaselines()[name] = mean;
    else if (benchBaselines().count(name))
        state.counters["ratio_vs_baseline"] = mean / benchBaselines()[name];
    state.counters["ms_per_op"] = mean * 1000;
}
