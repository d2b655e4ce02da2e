// Cost of one goods label barcode (Code 39, text under the bars) against a
// baseline that only paints the same number of bars.

#include "reportengine/lyrBarcod.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <benchmark/benchmark.h>

#include <chrono>

namespace {

TlyrBarcode label()
{
    TlyrBarcode bc;
    bc.Typ = bcCode39;
    bc.Text = QStringLiteral("6901234567");
    bc.Modul = 2;
    return bc;
}

// Seconds per painting of `bars` plain rectangles into img.
double baselineSeconds(QImage &img, int bars)
{
    const int rounds = 200;
    const auto t0 = std::chrono::steady_clock::now();
    for (int r = 0; r < rounds; ++r) {
        QPainter p(&img);
        p.fillRect(img.rect(), Qt::white);
        for (int i = 0; i < bars; ++i) p.fillRect(QRectF(i * 2, 0, 1, 80), Qt::black);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / rounds;
}

void BM_Code39Label(benchmark::State &state)
{
    TlyrBarcode bc = label();
    const bool text = state.range(0);
    QImage img(bc.Width() + 20, 100, QImage::Format_RGB32);
    const int bars = bc.MakeData().count(QRegularExpression(QStringLiteral("[5-8]")));
    const double base = baselineSeconds(img, bars);
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        QPainter p(&img);
        bc.DrawBarcode(p, QRectF(10, 10, bc.Width(), 80), text);
    }
    const double per =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count() / double(state.iterations());
    state.counters["ratio_vs_baseline"] = per / base;
}
BENCHMARK(BM_Code39Label)->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
