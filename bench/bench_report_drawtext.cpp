// 10,000 memos of one line of mixed Chinese and Latin text laid out and
// drawn through the text layout, against plain Qt doing the same work on the
// same strings in the same run.  Recording only: QPainter recording the
// strings into a QPicture.  Also painted: QPainter drawing the strings onto
// a QImage.  Both sides run by turns (measure.h: the order alternating,
// after one untimed run of each, in processor time); ratio_vs_baseline,
// ratio_min and ratio_median = our time / baseline time (above 1: slower
// than it; the target is at most 3).

#include "gui_main.h"
#include "measure.h"
#include "report/lyrclass.h"
#include "report/lyrdrawtext.h"
#include "report/lyrmemo.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

constexpr int kMemos = 10000;

const QStringList &texts()
{
    static const QStringList t = [] {
        QStringList l;
        for (int i = 0; i < kMemos; ++i)
            l << QStringLiteral("会员 %1 积分 Points %2 合计 ¥%3.50").arg(i).arg(i * 7 % 1000).arg(i % 977);
        return l;
    }();
    return t;
}

// The strings drawn straight with QPainter on device.
void drawnBy(QPaintDevice &device)
{
    QPainter p(&device);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(Qt::black);
    for (int i = 0; i < kMemos; ++i) p.drawText(QPointF(4, 20 + (i % 60) * 16), texts()[i]);
    p.end();
}

// The anchor of the benchmarks that record without painting: the same
// strings at the same places recorded by QPainter into a QPicture, the
// plain way of keeping drawing to replay or search later.
BenchSide recordedPlainly()
{
    return {[] {
        QPicture picture;
        drawnBy(picture);
    }};
}

void memos(TlyrCanvas &canvas)
{
    for (int i = 0; i < kMemos; ++i) {
        TlyrDrawTextUser dt(lyrDrawText());
        dt->SetFont(QStringLiteral("Arial"), 10, 0, clBlack);
        dt->SetOptions(true, true, false, false, false, true, 0);
        dt->SetGaps(0, 0, 0);
        const int top = (i % 60) * 16;
        const TlyrRect r = lyrRect(4, top, 700, top + 16);
        dt->SetDimensions(r, r, 1, 1, 1);
        dt->SetText({texts()[i]});
        dt->DrawText(canvas, haLeft, vaTop);
    }
}

// ours, recording into a canvas of its own each run (made untimed), against
// recordedPlainly() by turns.
template <class Ours>
void againstRecordedPlainly(benchmark::State &state, Ours ours)
{
    std::unique_ptr<TlyrRecordingCanvas> canvas;
    measurePair(state, {[&] { ours(*canvas); }, [&] { canvas = std::make_unique<TlyrRecordingCanvas>(96); }},
                recordedPlainly());
}

// Laid out and recorded by the recording canvas, against the same strings
// recorded into a QPicture; neither rasterises.
void BM_MemosOnRecordingCanvas(benchmark::State &state)
{
    againstRecordedPlainly(state, memos);
}

// The same, the recording canvas also painting onto an image, against
// QPainter drawing the strings onto an image (each image cleared untimed).
void BM_MemosPaintedOnImage(benchmark::State &state)
{
    QImage img(800, 1000, QImage::Format_RGB32), mine(800, 1000, QImage::Format_RGB32);
    measurePair(
            state,
            {[&] {
                 QPainter p(&mine);
                 TlyrRecordingCanvas canvas(96, false, &p);
                 memos(canvas);
                 p.end();
             },
             [&] { mine.fill(Qt::white); }},
            {[&] { drawnBy(img); }, [&] { img.fill(Qt::white); }});
}

// Memo view objects (text, frame insets, layout lock, drawing) rather than
// the text layout alone, recorded without rasterising, against the same
// strings recorded into a QPicture.
void BM_MemoViewsOnRecordingCanvas(benchmark::State &state)
{
    TlyrReport report;
    auto *page = new TlyrPage(&report);
    auto *memo = new TlyrMemoView(page);
    const auto views = [&](TlyrCanvas &canvas) {
        for (int i = 0; i < kMemos; ++i) {
            memo->SetBounds(4, (i % 60) * 16, 700, 16);
            memo->SetText(texts()[i]);
            memo->Draw(canvas, 1, 1, 0, 0);
        }
    };
    againstRecordedPlainly(state, views);
}

}  // namespace

BENCHMARK(BM_MemoViewsOnRecordingCanvas)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemosOnRecordingCanvas)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemosPaintedOnImage)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
