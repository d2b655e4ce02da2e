// Speed of the lunar conversion and of the pinyin code, each against a
// baseline by turns in the same iterations (measure.h: the order alternating,
// after one untimed run of each, in processor time), with the heap
// allocations per call.
#include "measure.h"

#include "core/DateCn.h"
#include "core/IMCode.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace {
std::atomic<long> allocations{0};
}

void *operator new(std::size_t n)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

std::vector<QDate> sampleDates()
{
    std::vector<QDate> dates;
    for (QDate d(1901, 1, 1); d <= QDate(2050, 12, 31); d = d.addDays(37)) dates.push_back(d);
    return dates;
}

// Runs `round` (which makes `callsPerRound` calls) and `baseline` by turns
// and sets the counters: the rate of `unitsPerCall` units, the ratios to the
// baseline and the heap allocations per call.
template <class Round, class Baseline>
void measure(benchmark::State &state, const char *rateName, long callsPerRound, double unitsPerCall, Round &&round,
             Baseline &&baseline)
{
    long allocs = 0, rounds = 0;
    measurePair(
            state,
            {[&] {
                const long before = allocations.load();
                round();
                allocs += allocations.load() - before;
                ++rounds;
            }},
            {[&] { baseline(); }});
    const double calls = double(rounds) * double(callsPerRound);
    state.counters[rateName] =
            benchmark::Counter(double(state.iterations()) * double(callsPerRound) * unitsPerCall, benchmark::Counter::kIsRate);
    state.counters["allocs_per_call"] = calls > 0 ? double(allocs) / calls : 0;
}

void BM_GetLunarDate(benchmark::State &state)
{
    const std::vector<QDate> dates = sampleDates();
    measure(
            state, "conversions_per_s", long(dates.size()), 1.0,
            [&] {
                for (const QDate &d : dates) benchmark::DoNotOptimize(GetLunarDate(d));
            },
            // The day of the year alone, the least a conversion must do.
            [&] {
                for (const QDate &d : dates) benchmark::DoNotOptimize(d.dayOfYear());
            });
}
BENCHMARK(BM_GetLunarDate)->UseManualTime();

const QString &sampleText()
{
    static const QString text = QStringLiteral("张三丰会员卡中国王府井百货有限公司ABC-123 李四");
    return text;
}

void BM_MakePYCode(benchmark::State &state)
{
    const QString &text = sampleText();
    const int options = int(state.range(0));
    QString result;
    MakePYCode(text, options, 255, result);  // the result buffer is reused from here on
    measure(
            state, "chars_per_s", 100, double(text.size()),
            [&] {
                for (int i = 0; i < 100; ++i) {
                    MakePYCode(text, options, 255, result);
                    benchmark::DoNotOptimize(result.data());
                }
            },
            // Converting the same text to UTF-8, a plain per-character pass.
            [&] {
                for (int i = 0; i < 100; ++i) benchmark::DoNotOptimize(text.toUtf8());
            });
}
BENCHMARK(BM_MakePYCode)->Arg(PYMarkUnknown)->Arg(PYMarkUnknown | PYFullSyllables)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
