#pragma once
// Ratios of one side's times to an anchor's, taken over the same iterations.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

inline double Median(std::vector<double> v)
{
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Counters <prefix>min and <prefix>median: the fastest and the median of the
// side's repetitions over the same of the anchor's (ours / anchor).
inline void RatioCounters(benchmark::State &state, const std::vector<double> &side, const std::vector<double> &anchor,
                          const std::string &prefix = "ratio_")
{
    if (side.empty() || anchor.empty()) return;
    const double minAnchor = *std::min_element(anchor.begin(), anchor.end());
    const double medianAnchor = Median(anchor);
    if (minAnchor > 0) state.counters[prefix + "min"] = *std::min_element(side.begin(), side.end()) / minAnchor;
    if (medianAnchor > 0) state.counters[prefix + "median"] = Median(side) / medianAnchor;
}
