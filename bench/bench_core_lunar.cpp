// Speed of the lunar conversion and of the pinyin code, each against a
// baseline run in the same process, with the heap allocations per call.
#include "core/DateCn.h"
#include "core/IMCode.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <vector>

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t n)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Clock = std::chrono::steady_clock;

std::vector<QDate> sampleDates()
{
    std::vector<QDate> dates;
    for (QDate d(1901, 1, 1); d <= QDate(2050, 12, 31); d = d.addDays(37))
        dates.push_back(d);
    return dates;
}

template <class F>
double seconds(F&& f)
{
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

void BM_GetLunarDate(benchmark::State& state)
{
    const std::vector<QDate> dates = sampleDates();
    long calls = 0;
    long allocs = 0;
    double own = 0;
    for (auto _ : state) {
        const long before = allocations.load();
        own += seconds([&] {
            for (const QDate& d : dates)
                benchmark::DoNotOptimize(GetLunarDate(d));
        });
        allocs += allocations.load() - before;
        calls += long(dates.size());
    }
    // Baseline: the day of the year alone, the least a conversion must do.
    const long rounds = state.iterations();
    const double base = seconds([&] {
        for (long r = 0; r < rounds; ++r)
            for (const QDate& d : dates)
                benchmark::DoNotOptimize(d.dayOfYear());
    });
    state.counters["conversions_per_s"] = benchmark::Counter(double(calls), benchmark::Counter::kIsRate);
    state.counters["ratio_vs_baseline"] = base > 0 ? own / base : 0;
    state.counters["allocs_per_call"] = double(allocs) / double(calls);
}
BENCHMARK(BM_GetLunarDate);

const QString& sampleText()
{
    static const QString text = QStringLiteral("张三丰会员卡中国王府井百货有限公司ABC-123 李四");
    return text;
}

void BM_MakePYCode(benchmark::State& state)
{
    const QString& text = sampleText();
    const int options = int(state.range(0));
    QString result;
    MakePYCode(text, options, 255, result); // the result buffer is reused from here on
    long calls = 0;
    long allocs = 0;
    double own = 0;
    for (auto _ : state) {
        const long before = allocations.load();
        own += seconds([&] {
            for (int i = 0; i < 100; ++i) {
                MakePYCode(text, options, 255, result);
                benchmark::DoNotOptimize(result.data());
            }
        });
        allocs += allocations.load() - before;
        calls += 100;
    }
    // Baseline: converting the same text to UTF-8, a plain per-character pass.
    const long rounds = state.iterations() * 100;
    const double base = seconds([&] {
        for (long r = 0; r < rounds; ++r)
            benchmark::DoNotOptimize(text.toUtf8());
    });
    state.counters["chars_per_s"] =
        benchmark::Counter(double(calls) * double(text.size()), benchmark::Counter::kIsRate);
    state.counters["ratio_vs_baseline"] = base > 0 ? own / base : 0;
    state.counters["allocs_per_call"] = double(allocs) / double(calls);
}
BENCHMARK(BM_MakePYCode)->Arg(PYMarkUnknown)->Arg(PYMarkUnknown | PYFullSyllables);

} // namespace

BENCHMARK_MAIN();
