// Template save and load with 5,000 objects, against writing and reading the
// same XML text with the XML layer alone (the serializer's share is the
// difference); and 100,000 Calc calls of a cached expression, against the
// same compiled function called directly through the script.
// ratio_vs_baseline = our time / baseline time (above 1: slower than it).

#include "cpu_clock.h"
#include "report/lyrclass.h"
#include "report/lyrxml.h"
#include "script/ks_iinterpreter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <chrono>

namespace {

using Clock = CpuClock;
double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

constexpr int kObjects = 5000;

TlyrReport &bigReport()
{
    static TlyrReport *r = [] {
        auto *rep = new TlyrReport;
        auto *page = new TlyrDataPage(rep);
        page->SetName(QStringLiteral("Data"));
        for (int i = 0; i < kObjects; ++i) {
            auto *ds = new TlyrUserDataSet(page);
            ds->SetName(QStringLiteral("DS%1").arg(i));
            ds->SetFields({QStringLiteral("theNum"), QStringLiteral("theName"), QStringLiteral("theSum")});
            ds->SetRangeEnd(TlyrDataSet::reCount);
            ds->SetRangeEndCount(i % 40);
            ds->SetLeft(60 + i % 50 * 64);
            ds->SetTop(20);
        }
        return rep;
    }();
    return *r;
}

QByteArray saved()
{
    QBuffer b;
    b.open(QIODevice::ReadWrite);
    bigReport().SaveToStream(b);
    return b.data();
}

void BM_TemplateSave(benchmark::State &state)
{
    TlyrXMLDocument doc;
    {
        QBuffer in;
        in.setData(saved());
        in.open(QIODevice::ReadOnly);
        doc.LoadFromStream(in);
    }
    doc.AutoIndent = true;
    double ours = 0, base = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        QBuffer b;
        b.open(QIODevice::ReadWrite);
        bigReport().SaveToStream(b);
        const auto t1 = Clock::now();
        QBuffer c;
        c.open(QIODevice::ReadWrite);
        doc.SaveToStream(c);
        const auto t2 = Clock::now();
        ours += seconds(t1 - t0);
        base += seconds(t2 - t1);
        state.SetIterationTime(seconds(t1 - t0));
    }
    state.counters["ms_per_save"] = ours * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio_vs_baseline"] = ours / base;
}

void BM_TemplateLoad(benchmark::State &state)
{
    const QByteArray xml = saved();
    double ours = 0, base = 0;
    for (auto _ : state) {
        QBuffer in;
        in.setData(xml);
        in.open(QIODevice::ReadOnly);
        const auto t0 = Clock::now();
        {
            TlyrReport r;
            r.EngineOptions()->SetNewSilentMode(simSilent);
            r.LoadFromStream(in);
            if (r.FindObject(QStringLiteral("DS4999")) == nullptr) state.SkipWithError("template did not load");
        }
        const auto t1 = Clock::now();
        in.seek(0);
        TlyrXMLDocument doc;
        doc.LoadFromStream(in);
        const auto t2 = Clock::now();
        ours += seconds(t1 - t0);
        base += seconds(t2 - t1);
        state.SetIterationTime(seconds(t1 - t0));
    }
    state.counters["ms_per_load"] = ours * 1000 / static_cast<double>(state.iterations());
    state.counters["ratio_vs_baseline"] = ours / base;
}

void BM_CalcCached(benchmark::State &state)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    r.Variables()->SetVariable(QStringLiteral("Rate"), 3);
    r.SetScriptText({QStringLiteral("function Direct: Variant; begin Result := Get('Rate') * 2 + 1 end;"),
                     QStringLiteral("begin"), QStringLiteral("end.")});
    if (!r.PrepareScript()) {
        state.SkipWithError("script did not compile");
        return;
    }
    const QString expr = QStringLiteral("<Rate> * 2 + 1");
    r.Calc(expr);
    constexpr int kCalls = 100000;
    double ours = 0, base = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(r.Calc(expr));
        const auto t1 = Clock::now();
        for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(r.Script()->CallFunction(QStringLiteral("Direct")));
        const auto t2 = Clock::now();
        ours += seconds(t1 - t0);
        base += seconds(t2 - t1);
        state.SetIterationTime(seconds(t1 - t0));
    }
    state.counters["ns_per_calc"] = ours * 1e9 / kCalls / static_cast<double>(state.iterations());
    state.counters["ratio_vs_baseline"] = ours / base;
}

}  // namespace

BENCHMARK(BM_TemplateSave)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TemplateLoad)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CalcCached)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
