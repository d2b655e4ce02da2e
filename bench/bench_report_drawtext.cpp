// 10,000 memos of one line of mixed Chinese and Latin text laid out and
// drawn through the text layout, against plain Qt doing the same work on the
// same strings in the same run.  Recording only: each string's character
// advances taken from Qt's font metrics and stored plainly with the string,
// font and position (what the recording canvas keeps; a QPicture would also
// shape the text and serialise fonts, work the recording canvas does not
// do).  Also painted: QPainter drawing the strings onto a QImage.  Both
// sides run once untimed first.
// ratio_vs_baseline = baseline time / our time (below 1: slower than it;
// the target is at least 1/3).

#include "gui_main.h"
#include "report/lyrclass.h"
#include "report/lyrdrawtext.h"
#include "report/lyrmemo.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QFontMetrics>
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
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
// strings with their character advances (from the font's metrics), font
// and position stored in a plain list, as the recording canvas keeps them.
double storedPlainly()
{
    struct Record {
        QString Text;
        QFont Font;
        int X = 0, Y = 0;
        std::vector<int> Advances;
    };
    const auto t0 = Clock::now();
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(13);
    const QFontMetrics metrics(f);
    std::vector<Record> records;
    records.reserve(kMemos);
    for (int i = 0; i < kMemos; ++i) {
        Record r{texts()[i], f, 4, 20 + (i % 60) * 16, {}};
        r.Advances.reserve(size_t(r.Text.size()));
        for (QChar c : r.Text) r.Advances.push_back(metrics.horizontalAdvance(c));
        records.push_back(std::move(r));
    }
    benchmark::DoNotOptimize(records.data());
    return seconds(Clock::now() - t0);
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
// storedPlainly(), both run once untimed first.
template <class Ours>
void againstStoredPlainly(benchmark::State &state, Ours ours)
{
    {
        TlyrRecordingCanvas warm(96);
        ours(warm);
        storedPlainly();
    }
    double mine = 0, base = 0;
    for (auto _ : state) {
        TlyrRecordingCanvas canvas(96);
        const double t = ours(canvas);
        mine += t;
        base += storedPlainly();
        state.SetIterationTime(t);
    }
    state.counters["ratio_vs_baseline"] = base / mine;
}

// Laid out and recorded by the recording canvas, against the same strings'
// advances stored plainly; neither rasterises.
void BM_MemosOnRecordingCanvas(benchmark::State &state)
{
    againstStoredPlainly(state, memos);
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
    state.counters["ratio_vs_baseline"] = base / ours;
}

// Memo view objects (text, frame insets, layout lock, drawing) rather than
// the text layout alone, recorded without rasterising, against the same
// strings' advances stored plainly.
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
    againstStoredPlainly(state, views);
}

}  // namespace

BENCHMARK(BM_MemoViewsOnRecordingCanvas)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemosOnRecordingCanvas)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemosPaintedOnImage)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv);
}
