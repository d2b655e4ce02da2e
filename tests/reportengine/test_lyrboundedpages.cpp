// Pages built to be printed, dumped or shown leave memory again: whatever
// the page count, the store holds the page elements it held after preparing
// (or loading) and a few more. Counted in page elements, not in bytes.

#include "preview_fixture.h"
#include "print_report_util.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
// Objects made with new, and their bytes: what a step builds.
std::atomic<qint64> newCalls{0}, newBytes{0};
}  // namespace

// Every plain form goes through malloc and free, so that what one form
// makes another may free (a sanitizer checks that the two match).
namespace {
void *counted(std::size_t n)
{
    newCalls.fetch_add(1, std::memory_order_relaxed);
    newBytes.fetch_add(qint64(n), std::memory_order_relaxed);
    return std::malloc(n ? n : 1);
}
}  // namespace

void *operator new(std::size_t n)
{
    if (void *p = counted(n)) return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t n)
{
    if (void *p = counted(n)) return p;
    throw std::bad_alloc();
}
void *operator new(std::size_t n, const std::nothrow_t &) noexcept
{
    return counted(n);
}
void *operator new[](std::size_t n, const std::nothrow_t &) noexcept
{
    return counted(n);
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete[](void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept
{
    std::free(p);
}

namespace {

class BoundedPagesTest : public PrintReportTest {
protected:
    void TearDown() override
    {
        lyrPrinters().SetPrinters({}, QString());
        PrintReportTest::TearDown();
    }
    // n pages of one row each, all but the first few and the last few
    // moved out to the temporary file as they are made.
    void prepare(int n, bool fileCache, int memos = 1)
    {
        TlyrMasterData *band = pageWithBand<TlyrReportPage>(20, n, true);
        textView<TlyrMemoView>(band, QStringLiteral("Memo1"), {0, 0, 300, 20}, QStringLiteral("Page [Line#]"));
        for (int c = 2; c <= memos; ++c)
            textView<TlyrMemoView>(band, QStringLiteral("Memo%1").arg(c), {0, 20.0 * c, 300, 20},
                                   QStringLiteral("[Line#] 行 %1 列").arg(c));
        report->EngineOptions()->setProperty("UseFileCache", fileCache);
        report->EngineOptions()->setProperty("MaxMemSize", 0);
        report->EngineOptions()->setProperty("TempDir", dir.path());
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        ASSERT_EQ(pages().Count(), n);
    }
    void printToPdf(const QString &name)
    {
        std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
        list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("NoSuchQueue"), QString()));
        lyrPrinters().SetPrinters(std::move(list), QString());
        lyrPrinters().Printer()->FileName = dir.filePath(name);
        EXPECT_TRUE(pages().Print()) << report->Errors().join(u'\n').toStdString();
        EXPECT_GT(QFile(dir.filePath(name)).size(), 0);
    }
    // Page elements whose objects are in memory.
    // A report of its own for each case of a test.
    void freshReport()
    {
        report = std::make_unique<TlyrReport>();
        report->setParent(&keeper);
        report->EngineOptions()->SetNewSilentMode(simSilent);
        report->PrintOptions()->ShowDialog = false;
    }
    int held()
    {
        TlyrXMLItem *items = pages().PagesItem();
        int n = 0;
        for (int i = 0; i < items->Count(); ++i) n += items->Items(i)->Loaded && items->Items(i)->Count() > 0;
        return n;
    }
    // Loaded page elements after measuring, dumping and printing every
    // page, beyond what the store held before.
    struct Growth {
        int Measured = 0, Dumped = 0, Printed = 0;
    };
    Growth afterEachUse()
    {
        Growth g;
        const int before = held();
        for (int i = 0; i < pages().Count(); ++i) EXPECT_FALSE(pages().GetPageSize(i).isEmpty()) << i;
        g.Measured = held() - before;
        qint64 lines = 0;
        lyrDumpPreparedPages(pages(), [&lines](const QString &page) { lines += page.count(u'\n'); });
        EXPECT_EQ(lines, 3LL * pages().Count());
        g.Dumped = held() - before;
        printToPdf(QStringLiteral("out.pdf"));
        g.Printed = held() - before;
        return g;
    }
    QTemporaryDir dir;
};

// Prepared in the session, with the file cache or past the memory ceiling:
// measuring reads no page back, a dumped or printed page goes out again.
TEST_F(BoundedPagesTest, PreparedPagesLeaveMemoryOnceMeasuredDumpedOrPrinted)
{
    for (const bool fileCache : {false, true}) {
        SCOPED_TRACE(fileCache ? "file cache" : "memory ceiling");
        freshReport();
        prepare(120, fileCache);
        ASSERT_LE(held(), 4);
        const Growth g = afterEachUse();
        EXPECT_EQ(g.Measured, 0);
        EXPECT_LE(g.Dumped, 1);
        EXPECT_LE(g.Printed, 1);
    }
}

// A saved file opened again reads its pages from the third on only when
// they are built; tenfold pages leave as few in memory.
TEST_F(BoundedPagesTest, TenfoldPagesOfASavedFileHoldNoMoreInMemory)
{
    std::vector<Growth> growth;
    for (const int n : {200, 2000}) {
        SCOPED_TRACE(n);
        freshReport();
        prepare(n, true);
        const QString file = dir.filePath(QStringLiteral("pages%1.lp3").arg(n));
        pages().SaveToFile(file);
        ASSERT_TRUE(pages().LoadFromFile(file));
        ASSERT_EQ(pages().Count(), n);
        ASSERT_LE(held(), 2);
        growth.push_back(afterEachUse());
        EXPECT_LE(growth.back().Dumped, 1);
        EXPECT_LE(growth.back().Printed, 1);
    }
    EXPECT_EQ(growth[0].Measured, 0);
    EXPECT_EQ(growth[1].Measured, 0);
}

// The preview of a report prepared in the session, and of a saved file,
// builds the pages it shows and no others; paging through the whole report
// holds no more than the page cache.
TEST_F(BoundedPagesTest, ThePreviewBuildsOnlyThePagesItShows)
{
    prepare(400, true);
    report->PreviewOptions()->PagesInCache = 1000;
    const QString file = dir.filePath(QStringLiteral("pages.lp3"));
    pages().SaveToFile(file);
    for (const bool loaded : {false, true}) {
        SCOPED_TRACE(loaded ? "a saved file" : "prepared in the session");
        if (loaded) {
            ASSERT_TRUE(pages().LoadFromFile(file));
        }
        pages().ClearPageCache();
        const int before = held();
        auto form = openPreviewForm(*report, QSize(1000, 700));
        ASSERT_EQ(form->Preview->Workspace->PageList.Count(), 400);
        EXPECT_TRUE(form->Preview->DamagedPages.isEmpty());
        // At 100% a few pages are in view.
        EXPECT_LE(pages().PageCacheCount(), 4);
        EXPECT_LE(held() - before, 4);
        report->PreviewOptions()->PagesInCache = 20;
        QImage image(1000, 700, QImage::Format_RGB32);
        for (int n = 1; n <= 400; n += 7) {
            form->Preview->SetPageNo(n);
            QPainter painter(&image);
            form->Preview->Workspace->PaintTo(painter, image.size());
        }
        EXPECT_LE(pages().PageCacheCount(), 21);
        EXPECT_LE(held() - before, 21);
        report->PreviewOptions()->PagesInCache = 1000;
        report->SetPreview(nullptr);
    }
}

// A runaway report stopped by the user after many pages, then dumped: the
// dump holds the pages the stopped run left in memory and one more,
// whether it was stopped after 150 or after 1,500 pages.
TEST_F(BoundedPagesTest, AStoppedRunawayReportDumpsWithinWhatItHeld)
{
    for (const int stopAt : {150, 1500}) {
        SCOPED_TRACE(stopAt);
        freshReport();
        TlyrMasterData *band = pageWithBand<TlyrReportPage>(20, 1000000, true);
        textView<TlyrMemoView>(band, QStringLiteral("Memo1"), {0, 0, 300, 20}, QStringLiteral("Page [Line#]"));
        report->EngineOptions()->setProperty("MaxMemSize", 0);
        report->EngineOptions()->setProperty("TempDir", dir.path());
        // The user's stop, as the runner's signal handler gives it.
        report->OnProgress = [stopAt](TlyrReport *r, TlyrProgressType, int n) {
            if (n >= stopAt) r->SetTerminated(true);
        };
        report->PrepareReport();
        report->OnProgress = nullptr;
        const int count = pages().Count();
        ASSERT_GE(count, stopAt);
        ASSERT_LT(count, stopAt + 10);
        const int before = held();
        ASSERT_LE(before, 4);
        int most = before, dumped = 0;
        lyrDumpPreparedPages(pages(), [&](const QString &page) {
            ++dumped;
            EXPECT_TRUE(page.contains(QStringLiteral("Page %1").arg(dumped))) << dumped;
            most = std::max(most, held());
        });
        EXPECT_EQ(dumped, count);
        EXPECT_LE(most - before, 1);
        EXPECT_LE(held(), before);
    }
}

// A saved file opens at the same cost whatever its length: what showing
// its first page in the preview reads (bytes and page elements) and builds
// (objects made with new, and their bytes) is the same for 600 and for
// 6,000 pages, and the pages not read then are read when needed.
TEST_F(BoundedPagesTest, TenfoldPagesOfASavedFileOpenAtTheSameCost)
{
    struct Work {
        qint64 Bytes = 0;
        int Pages = 0;
        qint64 News = 0, NewBytes = 0;
    };
    std::vector<Work> work;
    qint64 smallerFile = 0;
    for (const int n : {600, 6000}) {
        SCOPED_TRACE(n);
        freshReport();
        prepare(n, true, 8);
        const QString file = dir.filePath(QStringLiteral("wide%1.lp3").arg(n));
        pages().SaveToFile(file);
        pages().Clear();
        if (smallerFile == 0) smallerFile = QFileInfo(file).size();
        // The window made and laid out before: the same for either file.
        auto form = std::make_unique<TlyrPreviewForm>();
        report->PreviewOptions()->Maximized = false;
        form->resize(1000, 700);
        report->SetPreview(form->Preview);
        form->Init(report.get());
        form->show();
        QApplication::processEvents();
        QImage image(form->Preview->Workspace->viewport()->size(), QImage::Format_RGB32);
        // Up to the first page drawn; no events handled, so the pages read
        // later in idle steps are not counted.
        const qint64 before = TlyrXMLReader::BytesRead, calls = newCalls, bytes = newBytes;
        form->Preview->LoadFromFile(file);
        {
            QPainter painter(&image);
            form->Preview->Workspace->PaintTo(painter, image.size());
        }
        work.push_back({TlyrXMLReader::BytesRead - before, pages().PagesRead(), newCalls - calls, newBytes - bytes});
        ASSERT_EQ(form->Preview->PageCount(), n);
        ASSERT_EQ(form->Preview->Workspace->PageList.Count(), n);
        EXPECT_GT(form->Preview->Workspace->PagesPainted, 0);
        EXPECT_TRUE(pages().PagesUnread());
        for (int i = 0; i < n; ++i) ASSERT_FALSE(pages().GetPageSize(i).isEmpty()) << i;
        // The last page, and then every page once more, as a dump reads them.
        TlyrReportPage *last = pages().GetPage(n - 1);
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last->AllObjects().size(), pages().GetPage(0)->AllObjects().size());
        EXPECT_FALSE(pages().PagesUnread());
        int dumped = 0;
        lyrDumpPreparedPages(pages(), [&](const QString &page) {
            ++dumped;
            EXPECT_TRUE(page.contains(QStringLiteral("Page %1\n").arg(dumped))) << dumped;
        });
        EXPECT_EQ(dumped, n);
        EXPECT_TRUE(pages().Errors.isEmpty()) << pages().Errors.join(u'\n').toStdString();
        report->SetPreview(nullptr);
    }
    EXPECT_EQ(work[0].Bytes, work[1].Bytes);
    EXPECT_EQ(work[0].Pages, work[1].Pages);
    EXPECT_LT(work[1].Bytes, smallerFile / 2);
    // 5,400 pages more build nothing a page: fewer objects than one for
    // every hundred of them, fewer bytes than one each.
    EXPECT_LT(work[1].News - work[0].News, 54) << work[0].News << " objects, then " << work[1].News;
    EXPECT_LT(work[1].NewBytes - work[0].NewBytes, 5400) << work[0].NewBytes << " bytes, then " << work[1].NewBytes;
}

// A file saved again after it was opened in parts holds every page: read
// back whole (the index dropped) it gives the same pages.
TEST_F(BoundedPagesTest, AFileOpenedInPartsSavesWhole)
{
    prepare(300, true, 2);
    const QString first = dir.filePath(QStringLiteral("first.lp3")), again = dir.filePath(QStringLiteral("again.lp3"));
    pages().SaveToFile(first);
    const QString before = lyrDumpPreparedPages(pages());
    ASSERT_TRUE(pages().LoadFromFile(first));
    ASSERT_TRUE(pages().PagesUnread());
    pages().SaveToFile(again);
    QFile f(again);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    f.close();
    // Without its index the file is read whole, as a file of an older kind.
    const qsizetype at = bytes.indexOf(" index=\"");
    ASSERT_GT(at, 0);
    bytes.remove(at, bytes.indexOf('"', at + 8) + 1 - at);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    ASSERT_TRUE(pages().LoadFromFile(again));
    EXPECT_FALSE(pages().PagesUnread());
    EXPECT_EQ(pages().PagesRead(), 300);
    EXPECT_EQ(lyrDumpPreparedPages(pages()), before);
}

// An index that promises other pages than the file holds: the pages read
// are the file's own, the count follows them once all are read.
TEST_F(BoundedPagesTest, AnIndexThatDoesNotMatchGivesWayToThePages)
{
    prepare(50, true);
    const QString file = dir.filePath(QStringLiteral("pages.lp3"));
    pages().SaveToFile(file);
    const QString whole = lyrDumpPreparedPages(pages());
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    f.close();
    ASSERT_TRUE(saved.contains("index=\"50 page0 &#10;\""));
    for (const char *index : {"index=\"60 page0 &#10;\"", "index=\"40 page0 &#10;\""}) {
        SCOPED_TRACE(index);
        QByteArray bytes = saved;
        bytes.replace("index=\"50 page0 &#10;\"", index);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        ASSERT_TRUE(pages().LoadFromFile(file));
        pages().ReadAllPages();
        EXPECT_EQ(pages().Count(), 50);
        EXPECT_EQ(lyrDumpPreparedPages(pages()), whole);
    }
}

// Open in the preview reads the file once, and a file that does not open
// leaves the report shown.
TEST_F(BoundedPagesTest, OpenInThePreviewReadsTheFileOnce)
{
    prepare(3000, true);
    const QString file = dir.filePath(QStringLiteral("pages.lp3"));
    pages().SaveToFile(file);
    qint64 once = 0;
    {
        TlyrPreviewPages alone(nullptr);
        const qint64 before = TlyrXMLReader::BytesRead;
        ASSERT_TRUE(alone.LoadFromFile(file));
        once = TlyrXMLReader::BytesRead - before;
    }
    ASSERT_GT(once, 0);
    auto form = openPreviewForm(*report, QSize(1000, 700));
    const qint64 before = TlyrXMLReader::BytesRead;
    form->Preview->LoadFromFile(file);
    EXPECT_EQ(TlyrXMLReader::BytesRead - before, once);
    EXPECT_EQ(form->Preview->PageCount(), 3000);
    EXPECT_EQ(form->Preview->Workspace->PageList.Count(), 3000);
    const QString bad = dir.filePath(QStringLiteral("bad.lp3"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<?xml version=\"1.0\"?><preparedreport><previewpages><page0>");
    f.close();
    EXPECT_ANY_THROW(form->Preview->LoadFromFile(bad));
    EXPECT_EQ(form->Preview->PageCount(), 3000);
    EXPECT_EQ(form->Preview->Workspace->PageList.Count(), 3000);
    ASSERT_NE(pages().GetPage(2999), nullptr);
    report->SetPreview(nullptr);
}

// A page that cannot be built is found when it is drawn: the preview
// marks it and names it, as it does a page whose size cannot be read.
TEST_F(BoundedPagesTest, APageThatCannotBeBuiltIsNamedOnceDrawn)
{
    prepare(6, false);
    const QString file = dir.filePath(QStringLiteral("pages.lp3"));
    pages().SaveToFile(file);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    f.close();
    // The row's key names an object its source page lacks: every page
    // fails when built.
    ASSERT_TRUE(bytes.contains("Page0.Memo1\""));
    bytes.replace("Page0.Memo1\"", "Page0.Missing\"");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    ASSERT_TRUE(pages().LoadFromFile(file));
    auto form = openPreviewForm(*report, QSize(1000, 700));
    form->Preview->SetZoom(0.25);
    QImage image(1000, 700, QImage::Format_RGB32);
    QPainter painter(&image);
    form->Preview->Workspace->PaintTo(painter, image.size());
    EXPECT_EQ(form->Preview->DamagedPages, (QList<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(form->StatusMessage->text().startsWith(QStringLiteral("已损坏未显示的页：1, 2")))
            << form->StatusMessage->text().toStdString();
    report->SetPreview(nullptr);
}

}  // namespace
