// Painting prepared pages in the preview: one A4 page of 50 rows x 8 text
// objects at 100 % onto a 96-dpi image (the target is under 16 ms a page,
// so scrolling stays smooth), and scrolling a 1,000-page report from top to
// bottom a screen at a time. Each is timed by turns with drawing the same
// strings at the same places straight with QPainter (ratio_vs_baseline =
// our time / that time).

#include "../tests/reportengine/preview_fixture.h"
#include "gui_main.h"
#include "measure.h"

#include "report/lyrcanvas.h"

#include <QImage>
#include <QPainter>

namespace {

constexpr int kRowsPerPage = 50;
constexpr int kPages = 1000;

// Rows that fill that many pages (the first page tells how many fit).
int rowsFor(int pages)
{
    if (pages == 1) return kRowsPerPage;
    PreviewReport trial(kRowsPerPage * 3, 9, 18);
    trial.prepare();
    int perPage = 0;
    for (TlyrComponent *c : trial.pages().GetPage(0)->AllObjects())
        if (c->Name() == QLatin1String("M0")) ++perPage;
    return std::max(perPage, 1) * pages;
}

struct Prepared {
    PreviewReport report;
    std::unique_ptr<TlyrPreviewForm> form;
    std::vector<TlyrRecordedText> texts;
    explicit Prepared(int pages) : report(rowsFor(pages), 9, 18)
    {
        report.prepare();
        form = report.openForm(QSize(1000, 800));
        TlyrRecordingCanvas c(96);
        report.pages().DrawPage(0, c, 1, 1, 0, 0);
        texts = c.Texts;
    }
    TlyrPreviewWorkspace &workspace() { return *form->Preview->Workspace; }
};

// Made once, kept for every repetition, freed before the application ends
// (a preview window outliving it would crash the exit).
std::unique_ptr<Prepared> gOnePage, gManyPages;

Prepared &onePage()
{
    if (!gOnePage) gOnePage = std::make_unique<Prepared>(1);
    return *gOnePage;
}

Prepared &manyPages()
{
    if (!gManyPages) gManyPages = std::make_unique<Prepared>(kPages);
    return *gManyPages;
}

// The same strings with plain QPainter calls, for every page in view.
void drawDirect(QPainter &painter, Prepared &p, const QRect &view)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(13);
    painter.setFont(font);
    const TlyrPageList &list = p.workspace().PageList;
    for (int i = 0; i < list.Count(); ++i) {
        const TlyrPageItem page = list.Item(i);
        const QRect r(page.Left, page.Top, page.Width, page.Height);
        if (!r.intersects(view)) continue;
        painter.fillRect(r.translated(-view.topLeft()), Qt::white);
        for (const TlyrRecordedText &t : p.texts)
            painter.drawText(page.Left + t.X - view.left(), page.Top + t.Y - view.top() + 13, t.Text);
    }
}

void BM_PreviewPage(benchmark::State &state)
{
    Prepared &p = onePage();
    QImage image(p.workspace().viewport()->size(), QImage::Format_RGB32);
    measurePair(state, {[&] {
                    QPainter painter(&image);
                    p.workspace().PaintTo(painter, image.size());
                }},
                {[&] {
                    QPainter painter(&image);
                    drawDirect(painter, p, QRect(QPoint(0, 0), image.size()));
                }});
    state.counters["rows_on_page"] = double(p.texts.size()) / 8;
}

// Paints screen after screen to the end; the number of screens.
template <class Paint>
int scrollThrough(Prepared &p, QImage &image, Paint paint)
{
    TlyrPreviewWorkspace &w = p.workspace();
    w.SetVertPosition(0);
    for (int screens = 1;; ++screens) {
        QPainter painter(&image);
        paint(painter);
        const int before = w.VertPosition();
        w.SetVertPosition(before + image.height());
        if (w.VertPosition() == before) return screens;
    }
}

void BM_PreviewScroll(benchmark::State &state)
{
    Prepared &p = manyPages();
    QImage image(p.workspace().viewport()->size(), QImage::Format_RGB32);
    measurePair(state, {[&] {
                    scrollThrough(p, image, [&](QPainter &painter) { p.workspace().PaintTo(painter, image.size()); });
                }},
                {[&] {
                    scrollThrough(p, image, [&](QPainter &painter) {
                        drawDirect(painter, p, QRect(QPoint(0, p.workspace().VertPosition()), image.size()));
                    });
                }});
    state.counters["pages"] = p.form->Preview->PageCount();
}

}  // namespace

BENCHMARK(BM_PreviewPage)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewScroll)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char **argv)
{
    return runWindowBenchmarks(argc, argv, [] {
        gOnePage.reset();
        gManyPages.reset();
    });
}
