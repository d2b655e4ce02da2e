// Damaged prepared files and extreme geometry: each ends in an error line or
// a bounded result that still draws and prints.

#include "prepared_text_util.h"
#include "print_report_util.h"

#include "report/lyrcanvas.h"
#include "report/lyrframe.h"
#include "report/lyrview.h"
#include "reportengine/lyrBarcode.h"
#include "reportengine/lyrdmpprint.h"
#include "reportengine/lyrpreview.h"
#include "script/ks_props.h"

#include <QBuffer>
#include <QChildEvent>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <limits>

namespace {

using HostileTest = PrintReportTest;

// A page column count no sheet holds, in a source page and in a page written
// in full: an error line names the page and the value, the page keeps no
// columns, and the rest of the file loads and builds.
TEST_F(HostileTest, APreparedFileWithAColumnCountNoPageHoldsLoadsWithAnErrorLine)
{
    for (const char *count : {"5000", "100000000", "2147483647"}) {
        SCOPED_TRACE(count);
        report->ClearErrors();
        const QByteArray n(count);
        loadText(pages(), preparedText("<page0><b1 t=\"0\"><m1 u=\"kept\"/></b1></page0><TlyrReportPage Name=\"P2\" "
                                       "Columns=\"" + n + "\" LeftMargin=\"5\"/>",
                                       " Columns=\"" + n + "\""));
        ASSERT_EQ(pages().Count(), 2);
        const QString line = QStringLiteral("Page1.Columns: ");
        auto named = [&](const QStringList &lines, const QString &start) {
            for (const QString &l : lines)
                if (l.startsWith(start) && l.contains(QLatin1String(count))) return true;
            return false;
        };
        EXPECT_TRUE(named(pages().Errors, line)) << pages().Errors.join(u'\n').toStdString();
        EXPECT_TRUE(named(report->Errors(), line)) << report->Errors().join(u'\n').toStdString();
        TlyrReportPage *first = pages().GetPage(0);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->Columns(), 0);
        EXPECT_TRUE(first->ColumnPositions().isEmpty());
        auto *memo = qobject_cast<TlyrMemoView *>(first->FindObject(QStringLiteral("Memo1")));
        ASSERT_NE(memo, nullptr);
        EXPECT_EQ(memo->GetText(), QStringLiteral("kept"));
        TlyrReportPage *second = pages().GetPage(1);
        ASSERT_NE(second, nullptr);
        EXPECT_EQ(second->Columns(), 0);
        EXPECT_EQ(second->LeftMargin(), 5);
        EXPECT_TRUE(named(pages().Errors, QStringLiteral("P2.Columns: "))) << pages().Errors.join(u'\n').toStdString();
        // The source page saves without the count (a page written in full
        // keeps its element as it came).
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        pages().SaveToStream(out);
        const QByteArray saved = out.data();
        const qsizetype from = saved.indexOf("<sourcepages>"), to = saved.indexOf("</sourcepages>");
        ASSERT_GT(to, from);
        ASSERT_GE(from, 0);
        EXPECT_FALSE(saved.mid(from, to - from).contains("Columns=\"" + n + "\""));
    }
}

// Records the children a page lets go, in order.
class ChildWatch : public QObject {
public:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::ChildRemoved)
            if (QObject *c = static_cast<QChildEvent *>(e)->child(); qobject_cast<TlyrComponent *>(c))
                left << reinterpret_cast<quintptr>(c);
        return QObject::eventFilter(watched, e);
    }
    QList<quintptr> left;
};

// A page of 100,000 objects side by side: built whole, then freed with each
// child leaving its parent's child list from the front, where it is found at
// once (from the back every one was searched for through all the others).
TEST_F(HostileTest, APageOfManyObjectsIsBuiltAndFreedInOnePass)
{
    constexpr int n = 100000;
    QByteArray page = "<page0>";
    for (int i = 0; i < n; ++i) page += "<b1 t=\"" + QByteArray::number(i % 1000 * 20) + "\"/>";
    page += "</page0>";
    loadText(pages(), preparedText(page, QByteArray()));
    TlyrReportPage *built = pages().GetPage(0);
    ASSERT_NE(built, nullptr);
    ASSERT_EQ(built->Objects().size(), n);
    EXPECT_EQ(built->Objects().constLast()->Top(), (n - 1) % 1000 * 20);
    QList<quintptr> order;
    for (QObject *c : built->children())
        if (qobject_cast<TlyrComponent *>(c)) order << reinterpret_cast<quintptr>(c);
    ASSERT_EQ(order.size(), n);
    ChildWatch watch;
    built->installEventFilter(&watch);
    pages().ClearPageCache();
    EXPECT_EQ(watch.left.size(), n);
    EXPECT_TRUE(watch.left == order) << "first left: " << (watch.left.isEmpty() ? 0 : watch.left.indexOf(order[0]));
    // Built again, it is the same page.
    built = pages().GetPage(0);
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(built->Objects().size(), n);
}

struct Box {
    double Left, Top, Width, Height;
};

constexpr double kMaxInt = std::numeric_limits<int>::max();

// Positions, sizes and extents at the ends of int and far past them.
const Box kBoxes[] = {
        {-kMaxInt, -kMaxInt, 2 * kMaxInt, 2 * kMaxInt},
        {kMaxInt, kMaxInt, kMaxInt, kMaxInt},
        {-kMaxInt, 0, kMaxInt, -kMaxInt},
        {1e300, 1e300, 1e300, 1e300},
        {-1e300, -1e300, 1e300, 1e300},
        {0, 0, -1e300, 1e300},
        {10, 10, 1e300, 20},
};

// Every kind of view, with frames, gaps and arrows as large as the boxes.
std::vector<TlyrView *> hostileViews(TlyrComponent *parent, double big)
{
    std::vector<TlyrView *> out;
    auto frame = [&](TlyrView *v, int style) {
        v->Frame()->SetTyp(ftLeft | ftRight | ftTop | ftBottom);
        v->Frame()->SetWidth(big);
        v->Frame()->SetStyle(style);
        v->Frame()->SetDropShadow(true);
        v->Frame()->SetShadowWidth(big);
        v->SetColor(clYellow);
        out.push_back(v);
    };
    const QString longLine = QStringLiteral("word ").repeated(400);
    for (int style : {int(fsSolid), int(fsDouble), 1}) {
        for (int align : {int(haLeft), int(haRight), int(haCenter), int(haBlock)}) {
            auto *m = new TlyrMemoView(parent);
            m->SetText(QStringLiteral("one\r\ntwo\r\n") + longLine);
            m->SetUnderlines(true);
            m->SetGapX(style == 1 ? -big : big);
            m->SetGapY(big);
            m->SetHAlign(align);
            m->SetWordWrap(align != haCenter);
            m->SetCharSpacing(align == haLeft ? big : align == haRight ? -big : 0);
            m->SetParagraphGap(big);
            m->SetLineSpacing(style == 1 ? -big : style == fsDouble ? -15.99999999 : 2);
            if (align == haBlock) m->Font()->SetSize(std::numeric_limits<int>::max());
            frame(m, style);
        }
    }
    for (int kind = skRectangle; kind <= skDiagonal2; ++kind) {
        auto *s = new TlyrShapeView(parent);
        s->SetShape(kind);
        s->SetCurve(std::numeric_limits<int>::max());
        s->SetBrushStyle(2);
        frame(s, fsDouble);
    }
    for (bool diagonal : {false, true}) {
        auto *l = new TlyrLineView(parent);
        l->SetDiagonal(diagonal);
        l->SetArrowStart(true);
        l->SetArrowEnd(true);
        l->SetArrowSolid(diagonal);
        l->SetArrowLength(std::numeric_limits<int>::max());
        l->SetArrowWidth(std::numeric_limits<int>::min() + 1);
        frame(l, diagonal ? 1 : fsSolid);
    }
    auto *p = new TlyrPictureView(parent);
    QImage dot(4, 3, QImage::Format_RGB32);
    dot.fill(Qt::red);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    dot.save(&png, "BMP");
    p->LoadPictureFromStream(png.data());
    frame(p, fsSolid);
    auto *b = new TlyrBarCodeView(parent);
    b->SetText(QStringLiteral("12345678"));
    frame(b, fsSolid);
    return out;
}

// Objects at the ends of int and past them draw clamped (no int of the
// drawing overflows, the pixel box never turns inside out) or not at all,
// and the page with them and with such margins still prints.
TEST_F(HostileTest, ExtremeGeometryDrawsClampedAndStillPrints)
{
    build(1);
    QTemporaryDir dir;
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("NoSuchQueue"), QString()));
    lyrPrinters().SetPrinters(std::move(list), QString());
    int printedFiles = 0;
    for (const Box &box : kBoxes) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3 %4").arg(box.Left).arg(box.Top).arg(box.Width).arg(box.Height).toStdString());
        const double big = std::max(std::fabs(box.Width), std::fabs(box.Left));
        auto page = std::make_unique<TlyrReportPage>();
        page->SetLeftMargin(box.Left);
        page->SetTopMargin(-box.Top);
        page->SetPaperWidth(box.Width);
        page->SetPaperHeight(box.Height);
        auto *band = new TlyrMasterData(page.get());
        band->SetName(QStringLiteral("MasterData1"));
        band->SetBounds(0, box.Top, box.Width, box.Height);
        const std::vector<TlyrView *> views = hostileViews(band, big);
        int n = 0;
        for (TlyrView *v : views) {
            v->SetName(QStringLiteral("V%1").arg(++n));
            v->SetBounds(box.Left, box.Top, box.Width, box.Height);
        }
        QImage image(120, 160, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            TlyrCanvas canvas(&painter, 96, 96, false);
            for (TlyrView *v : views) {
                SCOPED_TRACE(ksClassNameOf(v).toStdString());
                if (auto *m = qobject_cast<TlyrMemoView *>(v)) {
                    // Measured and split with no int leaving its range.
                    m->CalcHeight();
                    m->CalcWidth();
                    const QString text = m->GetText();
                    m->InitPart();
                    m->DrawPart();
                    m->SetText(text);
                }
                for (double scale : {1.0, 6.25}) {
                    v->Draw(canvas, scale, scale, 0, 0);
                    EXPECT_EQ(qint64(v->X1) - v->X, qint64(v->DX));
                    EXPECT_EQ(qint64(v->Y1) - v->Y, qint64(v->DY));
                    // Held near the coordinate limit (a shadow or a second
                    // frame moves an edge by at most as much again).
                    for (int c : {v->X, v->Y, v->X1, v->Y1, v->FrameWidth}) {
                        EXPECT_LE(c, 2 * lyrMaxCoord);
                        EXPECT_GE(c, -2 * lyrMaxCoord);
                    }
                }
            }
        }
        // The same objects on a prepared page: drawn by the store and printed.
        const QString file = dir.filePath(QStringLiteral("p%1.pdf").arg(++printedFiles));
        lyrPrinters().Printer()->FileName = file;
        pages().ModifyPage(0, page.get());
        {
            QPainter painter(&image);
            TlyrCanvas canvas(&painter, 96, 96, false);
            pages().DrawPage(0, canvas, 0.5, 0.5, 0, 0);
        }
        const QSize size = pages().GetPageSize(0);
        EXPECT_LE(std::abs(size.width()), lyrMaxCoord);
        EXPECT_LE(std::abs(size.height()), lyrMaxCoord);
        ASSERT_TRUE(pages().Print()) << report->Errors().join(u'\n').toStdString();
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.read(5) == "%PDF-");
    }
    lyrPrinters().SetPrinters({}, QString());
}

// The same boxes in a template (objects, a band, the page's margins): the
// build ends with pages or error lines, and what it made prints.
TEST_F(HostileTest, ExtremeGeometryInATemplateBuildsAndPrints)
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("NoSuchQueue"), QString()));
    lyrPrinters().SetPrinters(std::move(list), QString());
    int run = 0;
    for (const Box &box : kBoxes) {
        for (int what = 0; what < 3; ++what) {
            SCOPED_TRACE(QStringLiteral("%1 %2 %3 %4 / %5")
                                 .arg(box.Left)
                                 .arg(box.Top)
                                 .arg(box.Width)
                                 .arg(box.Height)
                                 .arg(what)
                                 .toStdString());
            report = std::make_unique<TlyrReport>();
            report->setParent(&keeper);
            report->EngineOptions()->SetNewSilentMode(simSilent);
            report->PrintOptions()->ShowDialog = false;
            TlyrMasterData *band = pageWithBand<TlyrReportPage>(20, 3, false);
            auto *page = static_cast<TlyrReportPage *>(band->Page());
            if (what == 0) {
                const std::vector<TlyrView *> views = hostileViews(band, std::fabs(box.Width));
                int n = 0;
                for (TlyrView *v : views) {
                    v->SetName(QStringLiteral("V%1").arg(++n));
                    v->SetBounds(box.Left, box.Top, box.Width, box.Height);
                }
            } else if (what == 1) {
                band->SetBounds(box.Left, box.Top, box.Width, box.Height);
                textView<TlyrMemoView>(band, QStringLiteral("Memo1"), {0, 0, 100, 20}, QStringLiteral("row [Line#]"));
            } else {
                page->SetLeftMargin(box.Left);
                page->SetTopMargin(box.Top);
                page->SetRightMargin(box.Width);
                page->SetBottomMargin(box.Height);
                textView<TlyrMemoView>(band, QStringLiteral("Memo1"), {0, 0, 100, 20}, QStringLiteral("row [Line#]"));
            }
            report->PrepareReport();
            EXPECT_LE(pages().Count(), 10);
            if (pages().Count() == 0) continue;
            const QString file = dir.filePath(QStringLiteral("t%1.pdf").arg(++run));
            lyrPrinters().Printer()->FileName = file;
            report->ClearErrors();
            EXPECT_TRUE(pages().Print()) << report->Errors().join(u'\n').toStdString();
        }
    }
    lyrPrinters().SetPrinters({}, QString());
}

// Split and joined printing of a page of such a size takes a bounded number
// of sheets, never fewer than one.
TEST(HostileSheets, SplitAndJoinOfExtremePagesStayBounded)
{
    for (double page : {kMaxInt, 2 * kMaxInt, 1e300, -1e300, 1e-300, -kMaxInt, 0.0}) {
        SCOPED_TRACE(page);
        const int count = TlyrPrintJob::SheetCount(page, 210);
        EXPECT_GE(count, 1);
        EXPECT_LE(count, 100);
        int nx = 0, ny = 0;
        bool turned = false;
        TlyrPrintJob::SplitLayout(page, page, 210, 297, nx, ny, turned);
        EXPECT_TRUE(nx >= 1 && nx <= 100 && ny >= 1 && ny <= 100) << nx << " " << ny;
        TlyrPrintJob::JoinLayout(210, 297, page, page, nx, ny, turned);
        EXPECT_TRUE(nx >= 1 && nx <= 100 && ny >= 1 && ny <= 100) << nx << " " << ny;
    }
}

// The preview's list of many pages of the largest size: every page's place
// stays inside int and the pages never go back up.
TEST(HostilePageList, PagesOfTheLargestSizeKeepTheirOrder)
{
    TlyrPageList list;
    for (int i = 0; i < 100; ++i) list.AddPage(QSize(lyrMaxCoord, lyrMaxCoord), 5);
    list.CalcBounds(800);
    ASSERT_EQ(list.Count(), 100);
    for (int i = 1; i < list.Count(); ++i) {
        const TlyrPageItem &p = list.Items[size_t(i)];
        EXPECT_GE(p.Top, list.Items[size_t(i) - 1].Top);
        EXPECT_GE(qint64(p.Top) + p.Height, p.Top);
        EXPECT_LE(qint64(p.Top) + p.Height, std::numeric_limits<int>::max());
    }
    EXPECT_EQ(list.FindPage(std::numeric_limits<int>::max() - 1), list.Count() - 1);
}

// On a dot-matrix page the same boxes make no grid of their size: the page's
// text stays small and the object placed normally is on it.
TEST_F(HostileTest, ExtremeGeometryOnADotMatrixPageMakesNoGridOfItsSize)
{
    for (const Box &box : kBoxes) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3 %4").arg(box.Left).arg(box.Top).arg(box.Width).arg(box.Height).toStdString());
        TlyrReportPage page;
        page.SetLeftMargin(box.Left);
        page.SetTopMargin(0);
        auto *band = new TlyrMasterData(&page);
        band->SetBounds(0, 0, 700, 400);
        auto *normal = new TlyrDMPMemoView(band);
        normal->SetBounds(0, 0, 96, 17);
        normal->SetText(QStringLiteral("plain"));
        auto *memo = new TlyrDMPMemoView(band);
        memo->SetBounds(box.Left, box.Top, box.Width, box.Height);
        memo->SetText(QStringLiteral("far"));
        memo->Frame()->SetTyp(ftLeft | ftRight | ftTop | ftBottom);
        for (bool across : {false, true}) {
            auto *line = new TlyrDMPLineView(band);
            line->SetBounds(box.Left, box.Top, across ? box.Width : 1, across ? 1 : box.Height);
        }
        auto *command = new TlyrDMPCommand(band);
        command->SetBounds(box.Left, box.Top, 10, 10);
        command->SetCommand(QStringLiteral("X"));
        const QByteArray bytes = lyrDMPPageBytes(page, 0);
        EXPECT_LT(bytes.size(), 4 << 20);
        EXPECT_TRUE(bytes.endsWith('\f'));
        if (std::fabs(box.Left) < 1e6) EXPECT_TRUE(bytes.contains("plain"));
    }
}

// A report page (or a subreport's page) named Name, with a master of rows
// records printing "Text [Line]" and, when sub is set, a subreport object
// below it showing that page.
TlyrReportPage *rowsPage(TlyrReport *report, const QString &name, int rows, const QString &text,
                         TlyrReportPage *sub = nullptr, const QString &subName = {})
{
    auto *page = new TlyrReportPage(report);
    page->SetName(name);
    page->SetParent(report);
    auto *band = new TlyrMasterData(report);
    band->SetName(name + QStringLiteral("Data"));
    band->SetParent(page);
    band->SetBounds(0, 20, 700, 40);
    band->SetRowCount(rows);
    auto *m = new TlyrMemoView(report);
    m->SetName(name + QStringLiteral("Memo"));
    m->SetParent(band);
    m->SetBounds(0, 0, 200, 20);
    m->SetText(text + QStringLiteral(" [Line]"));
    if (sub) {
        auto *s = new TlyrSubreport(report);
        s->SetName(subName);
        s->SetParent(band);
        s->SetBounds(0, 20, 200, 20);
        s->SetSubPage(sub);
    }
    return page;
}

// A subreport that shows its own page, or subreports whose pages show each
// other: the one that closes the cycle is left out with an error line naming
// it, the rest of the report prepares; the template is then freed whole.
TEST_F(HostileTest, SubreportCyclesAreLeftOutWithAnErrorLine)
{
    for (bool mutual : {false, true}) {
        SCOPED_TRACE(mutual ? "mutual" : "self");
        report = std::make_unique<TlyrReport>();
        report->setParent(&keeper);
        report->EngineOptions()->SetNewSilentMode(simSilent);
        TlyrReportPage *main = rowsPage(report.get(), QStringLiteral("Main"), 3, QStringLiteral("row"));
        TlyrReportPage *a = rowsPage(report.get(), QStringLiteral("A"), 2, QStringLiteral("a"));
        auto *title = new TlyrReportTitle(report.get());
        title->SetName(QStringLiteral("Title1"));
        title->SetParent(main);
        title->SetBounds(0, 0, 700, 40);
        auto *toA = new TlyrSubreport(report.get());
        toA->SetName(QStringLiteral("ToA"));
        toA->SetParent(title);
        toA->SetBounds(0, 0, 200, 20);
        toA->SetSubPage(a);
        TlyrReportPage *b = mutual ? rowsPage(report.get(), QStringLiteral("B"), 2, QStringLiteral("b")) : a;
        auto *back = new TlyrSubreport(report.get());
        back->SetName(QStringLiteral("Back"));
        back->SetParent(b->Objects().first());
        back->SetBounds(0, 20, 200, 20);
        back->SetSubPage(a);
        if (mutual) {
            auto *toB = new TlyrSubreport(report.get());
            toB->SetName(QStringLiteral("ToB"));
            toB->SetParent(a->Objects().first());
            toB->SetBounds(0, 20, 200, 20);
            toB->SetSubPage(b);
        }
        EXPECT_FALSE(report->PrepareReport());
        const QString errors = report->Errors().join(u'\n');
        EXPECT_TRUE(errors.contains(QStringLiteral("子报表 Back "))) << errors.toStdString();
        EXPECT_FALSE(errors.contains(QStringLiteral("子报表 To"))) << errors.toStdString();
        QStringList printed;
        for (int i = 0; i < pages().Count(); ++i)
            for (TlyrComponent *c : pages().GetPage(i)->AllObjects())
                if (auto *m = qobject_cast<TlyrCustomMemoView *>(c)) printed << m->GetText();
        for (const char *row : {"row 1", "row 2", "row 3"}) EXPECT_EQ(printed.count(QLatin1String(row)), 1) << row;
        // Each record of A (and of B under each of them) once per subreport run.
        EXPECT_EQ(printed.count(QStringLiteral("a 1")), 1) << printed.join(u',').toStdString();
        EXPECT_EQ(printed.count(QStringLiteral("a 2")), 1) << printed.join(u',').toStdString();
        EXPECT_EQ(printed.count(QStringLiteral("b 1")), mutual ? 2 : 0) << printed.join(u',').toStdString();
        report->setParent(nullptr);
        report.reset();
    }
    report = std::make_unique<TlyrReport>();
    report->setParent(&keeper);
}

// Bands of no height never fill their page: a page takes as many objects
// as a page may be built with, then the build stops with an error line, at
// once and however many rows the band was given.
TEST_F(HostileTest, BandsOfNoHeightStopAtWhatOnePageHolds)
{
    const int saved = TlyrPreviewPages::MaxPageObjects;
    TlyrPreviewPages::MaxPageObjects = 1000;
    TlyrMasterData *band = pageWithBand<TlyrReportPage>(0, 2147483647, false);
    textView<TlyrMemoView>(band, QStringLiteral("Memo1"), {0, 0, 100, 0}, QStringLiteral("[Line]"));
    // Without a bound the rows would go on for ever: a watchdog stops them.
    int shown = 0;
    report->OnBeforePrintEvent = [&](TlyrComponent *c) {
        if (qobject_cast<TlyrMasterData *>(c) && ++shown > 100000) report->SetTerminated(true);
    };
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_LE(shown, 501);
    EXPECT_TRUE(report->Errors().join(u'\n').contains(QStringLiteral("单页对象数超过 1000")))
            << report->Errors().join(u'\n').toStdString();
    ASSERT_EQ(pages().Count(), 1);
    // A band and its text each: the page still builds.
    TlyrReportPage *page = pages().GetPage(0);
    TlyrPreviewPages::MaxPageObjects = saved;
    ASSERT_NE(page, nullptr);
    const QList<TlyrComponent *> bands = page->Objects();
    ASSERT_EQ(bands.size(), 500);
    EXPECT_EQ(qobject_cast<TlyrCustomMemoView *>(bands.last()->Objects().first())->GetText(), QStringLiteral("500"));
}

}  // namespace
