// 10,000 memos of one line of mixed Chinese and Latin text laid out and
// drawn through the text layout, against plain Qt doing the same work on the
// same strings in the same run.  Recording only: QPainter recording the
// strings into a QPicture.  Also painted: QPainter drawing the strings onto
// a QImage.  Both sides run once untimed first.
// ratio_vs_baseline = our time / baseline time (above 1: slower than it;
// the target is at most 3).

#include "cpu_clock.h"
#include "gui_main.h"
#include "report/lyrclass.h"
#include "report/lyrdrawtext.h"
#include "report/lyrmemo.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPicture>
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace {

using Clock = CpuClock;
double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

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

// The strings drawn straight with QPainter on device; seconds taken.
double drawnBy(QPaintDevice &device)
{
    const auto t0 = Clock::now();
    QPainter p(&device);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(Qt::black);
    for (int i = 0; i < kMemos; ++i) p.drawText(QPointF(4, 20 + (i % 60) * 16), texts()[i]);
    p.end();
    return seconds(Clock::now() - t0);
}

// The anchor of the benchmarks that also paint: rasterised on an image.
double direct(QImage &img)
{
    img.fill(Qt::white);
    return drawnBy(img);
}

// The anchor of the benchmarks that record without painting: the same
// strings at the same places recorded by QPainter into a QPicture, the
// plain way of keeping drawing to replay or search later.
double recordedPlainly()
{
    QPicture picture;
    return drawnBy(picture);
}

double memos(TlyrCanvas &canvas)
{
    const auto t0 = Clock::now();
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
    return seconds(Clock::now() - t0);
}

// ours (timed, recording into a canvas of its own each run) beside
// recordedPlainly(), both run once untimed first.
template <class Ours>
void againstRecordedPlainly(benchmark::State &state, Ours ours)
{
    {
        TlyrRecordingCanvas warm(96);
        ours(warm);
        recordedPlainly();
    }
    double mine = 0, base = 0;
    for (auto _ : state) {
        TlyrRecordingCanvas canvas(96);
        const double t = ours(canvas);
        mine += t;
        base += recordedPlainly();
        state.SetIterationTime(t);
    }
    state.counters["ratio_vs_baseline"] = mine / base;
}

// Laid out and recorded by the recording canvas, against the same strings
// recorded into a QPicture; neither rasterises.
void BM_MemosOnRecordingCanvas(benchmark::State &state)
{
    againstRecordedPlainly(state, memos);
}

// The same, the recording canvas also painting onto an image, against
// QPainter drawing the strings onto an image.
void BM_MemosPaintedOnImage(benchmark::State &state)
{
    QImage img(800, 1000, QImage::Format_RGB32), mine(800, 1000, QImage::Format_RGB32);
    double ours = 0, base = 0;
    {
        QPainter p(&mine);
        TlyrRecordingCanvas warm(96, false, &p);
        memos(warm);
        p.end();
        direct(img);
    }
    for (auto _ : state) {
        mine.fill(Qt::white);
        QPainter p(&mine);
        TlyrRecordingCanvas canvas(96, false, &p);
        const double t = memos(canvas);
        p.end();
        ours += t;
        base += direct(img);
        state.SetIterationTime(t);
    }
    state.counters["ratio_vs_baseline"] = ours / base;
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
        const auto t0 = Clock::now();
        for (int i = 0; i < kMemos; ++i) {
            memo->SetBounds(4, (i % 60) * 16, 700, 16);
            memo->SetText(texts()[i]);
            memo->Draw(canvas, 1, 1, 0, 0);
        }
        return seconds(Clock::now() - t0);
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
