// Cost of one goods label barcode (Code 39, text under the bars) against a
// baseline that only paints the same number of bars, timed by turns
// (measure.h); ms_per_op is a round of 200 labels.

#include "measure.h"
#include "reportengine/lyrBarcod.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <benchmark/benchmark.h>

namespace {

TlyrBarcode label()
{
    TlyrBarcode bc;
    bc.Typ = bcCode39;
    bc.Text = QStringLiteral("6901234567");
    bc.Modul = 2;
    return bc;
}

// The baseline: the same number of plain bars into the same image.
void paintBars(QImage &img, int bars)
{
    QPainter p(&img);
    p.fillRect(img.rect(), Qt::white);
    for (int i = 0; i < bars; ++i) p.fillRect(QRectF(i * 2, 0, 1, 80), Qt::black);
}

// Both sides by turns in every iteration, each a round of kRounds paintings
// onto a white image, in processor time.
constexpr int kRounds = 200;

void BM_Code39Label(benchmark::State &state)
{
    TlyrBarcode bc = label();
    const bool text = state.range(0);
    QImage img(bc.Width() + 20, 100, QImage::Format_RGB32);
    const int bars = bc.MakeData().count(QRegularExpression(QStringLiteral("[5-8]")));
    measurePair(state, {[&] {
                    for (int r = 0; r < kRounds; ++r) {
                        QPainter p(&img);
                        p.fillRect(img.rect(), Qt::white);
                        bc.DrawBarcode(p, QRectF(10, 10, bc.Width(), 80), text);
                    }
                }},
                {[&] {
                    for (int r = 0; r < kRounds; ++r) paintBars(img, bars);
                }});
}
BENCHMARK(BM_Code39Label)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

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
