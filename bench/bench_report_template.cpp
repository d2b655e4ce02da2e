// Template save and load with 5,000 objects, against writing and reading the
// same XML text with the XML layer alone (the serializer's share is the
// difference); and 100,000 Calc calls of a cached expression, against the
// same compiled function called directly through the script.
// Each side and its baseline run by turns (measure.h: the order alternating,
// after one untimed run of each, in processor time); ratio_vs_baseline,
// ratio_min and ratio_median = our time / baseline time (above 1: slower).

#include "measure.h"
#include "report/lyrclass.h"
#include "report/lyrxml.h"
#include "script/ks_iinterpreter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <benchmark/benchmark.h>

namespace {

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
    measurePair(
            state,
            {[] {
                QBuffer b;
                b.open(QIODevice::ReadWrite);
                bigReport().SaveToStream(b);
            }},
            {[&] {
                QBuffer c;
                c.open(QIODevice::ReadWrite);
                doc.SaveToStream(c);
            }});
}

// Loaded and freed on both sides.
void BM_TemplateLoad(benchmark::State &state)
{
    const QByteArray xml = saved();
    QBuffer in;
    in.setData(xml);
    in.open(QIODevice::ReadOnly);
    measurePair(
            state,
            {[&] {
                 TlyrReport r;
                 r.EngineOptions()->SetNewSilentMode(simSilent);
                 r.LoadFromStream(in);
                 if (r.FindObject(QStringLiteral("DS4999")) == nullptr) state.SkipWithError("template did not load");
             },
             [&] { in.seek(0); }},
            {[&] {
                 TlyrXMLDocument doc;
                 doc.LoadFromStream(in);
                 benchmark::DoNotOptimize(doc.Root()->Count());
             },
             [&] { in.seek(0); }});
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
    constexpr int kCalls = 100000;
    measurePair(
            state,
            {[&] {
                for (int i = 0; i < kCalls; ++i) benchmark::DoNotOptimize(r.Calc(expr));
            }},
            {[&] {
                for (int i = 0; i < kCalls; ++i)
                    benchmark::DoNotOptimize(r.Script()->CallFunction(QStringLiteral("Direct")));
            }});
    state.counters["ns_per_calc"] = state.counters["ms_per_op"] * 1e6 / kCalls;
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
