// The prepared pages as they are drawn, printed, built in two passes,
// reloaded as dot-matrix pages, exported and cached.

#include "print_report_util.h"
#include "print_test_util.h"

#include "report/lyrvariables.h"
#include "reportengine/lyroutline.h"
#include "reportengine/lyrpreview.h"

#include <QBuffer>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

// The text of every page of a PDF, pages separated by form feeds.
QString pdfText(const QString &file, const QStringList &options = {})
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), QStringList(options) << file << QStringLiteral("-"));
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The left edge (points) of the first word starting with word on each page.
std::vector<double> wordLefts(const QString &file, const QString &word)
{
    const QString html = pdfText(file, {QStringLiteral("-bbox")});
    std::vector<double> out;
    for (const QString &page : html.split(QStringLiteral("<page "), Qt::SkipEmptyParts).mid(1)) {
        const QRegularExpression re(QStringLiteral("<word xMin=\"([0-9.]+)\"[^>]*>%1").arg(word));
        const QRegularExpressionMatch m = re.match(page);
        out.push_back(m.hasMatch() ? m.captured(1).toDouble() : -1);
    }
    return out;
}

class StoreTest : public PrintReportTest {
protected:
    void TearDown() override
    {
        lyrPrinters().SetPrinters({}, QString());
        PrintReportTest::TearDown();
    }
    // Prints the pages into a PDF file (a queue that does not exist, with a
    // file name, writes the file itself) and returns its name.
    QString printToPdf(const QString &name)
    {
        std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
        list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("NoSuchQueue"), QString()));
        lyrPrinters().SetPrinters(std::move(list), QString());
        const QString file = dir.filePath(name);
        lyrPrinters().Printer()->FileName = file;
        EXPECT_TRUE(pages().Print()) << report->Errors().join(u'\n').toStdString();
        return file;
    }
    // A report page with one memo per record, each record on its own page.
    TlyrMemoView *rows(int count, const QString &text)
    {
        TlyrMasterData *band = pageWithBand<TlyrReportPage>(20, count, true);
        page = static_cast<TlyrReportPage *>(band->Page());
        page->SetLeftMargin(10);
        page->SetRightMargin(10);
        return textView<TlyrMemoView>(band, QStringLiteral("Memo1"), {0, 0, 300, 20}, text);
    }
    // Where each text was drawn on a screen canvas.
    std::vector<TlyrRecordedText> drawn(int index, bool printer = false)
    {
        TlyrRecordingCanvas canvas(96, printer);
        pages().DrawPage(index, canvas, 1, 1, 0, 0);
        return canvas.Texts;
    }
    int leftOf(int index, const QString &text)
    {
        for (const TlyrRecordedText &t : drawn(index))
            if (t.Text.startsWith(text)) return t.X;
        return -1;
    }
    QTemporaryDir dir;
    TlyrReportPage *page = nullptr;
};

// An export filter that writes down what it was given.
class ListingFilter : public TlyrExportFilter {
public:
    bool Start() override
    {
        log << QStringLiteral("start");
        return StartResult;
    }
    void StartPage(TlyrReportPage *page, int index) override
    {
        log << QStringLiteral("page %1 %2x%3").arg(index + 1).arg(page->PaperWidth()).arg(page->PaperHeight());
        if (Preview) log << (Preview->Locked ? QStringLiteral("locked") : QStringLiteral("unlocked"));
    }
    void ExportObject(TlyrComponent *obj) override
    {
        if (obj->Name() == QLatin1String("_pagebackground")) {
            auto *b = qobject_cast<TlyrPictureView *>(obj);
            log << QStringLiteral("background %1").arg(b ? b->Color() : -1);
        } else if (auto *m = qobject_cast<TlyrCustomMemoView *>(obj)) {
            if (FailOn == m->GetText()) throw std::runtime_error("disk full");
            log << m->GetText() + QStringLiteral(" size %1").arg(m->Font()->Size());
        }
    }
    void Finish() override { log << QStringLiteral("finish"); }
    bool StartResult = true;
    QString FailOn;
    TlyrPreview *Preview = nullptr;
    QStringList log;
};

}  // namespace

TEST_F(StoreTest, DrawingMirrorsMarginsLeavesOutPreviewOnlyViewsClipsAndNumbersCopies)
{
    TlyrMemoView *memo = rows(2, QStringLiteral("Page [Line#] [COPYNAME#]"));
    page->SetLeftMargin(30);
    page->SetRightMargin(5);
    page->MirrorMargins = true;
    auto *band = static_cast<TlyrBand *>(memo->Parent());
    textView<TlyrMemoView>(band, QStringLiteral("OnScreen"), {320, 0, 200, 20}, QStringLiteral("Preview only"))
            ->SetPrintable(false);
    // Far beyond the right edge of an A4 sheet, filled red.
    auto *beyond = textView<TlyrMemoView>(band, QStringLiteral("Beyond"), {1000, 0, 200, 20}, QStringLiteral("x"));
    beyond->SetColor(clRed);
    const int copyName = lyrGlobalVariables().Count();
    lyrGlobalVariables().SetVariable(QStringLiteral("CopyName"), QStringLiteral("Copy"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    ASSERT_EQ(pages().Count(), 2);

    // The second page (the back of the sheet) binds on the other side.
    EXPECT_EQ(leftOf(0, QStringLiteral("Page 1")), qRound(30 * lyrUnitsPerMM) + 2);
    EXPECT_EQ(leftOf(1, QStringLiteral("Page 2")), qRound(5 * lyrUnitsPerMM) + 2);
    // The page keeps its own margins afterwards.
    EXPECT_EQ(pages().GetPage(1)->LeftMargin(), 30);

    // A screen shows the preview-only text, a printer does not.
    auto texts = [&](bool printer) {
        QStringList out;
        for (const TlyrRecordedText &t : drawn(0, printer)) out << t.Text;
        return out.join(u' ');
    };
    EXPECT_TRUE(texts(false).contains(QLatin1String("Preview only")));
    EXPECT_FALSE(texts(true).contains(QLatin1String("Preview only")));

    // On screen nothing is painted outside the paper; a printer's canvas
    // is not narrowed.
    auto paint = [&](bool printer) {
        QImage image(1400, 1200, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QPainter painter(&image);
        TlyrCanvas canvas(&painter, 96, 96, printer);
        pages().DrawPage(0, canvas, 1, 1, 0, 0);
        EXPECT_FALSE(canvas.HasClip());
        return image;
    };
    const int paperRight = qRound(210 * lyrUnitsPerMM);
    const QPoint inBeyond(qRound(30 * lyrUnitsPerMM + 1100),
                          qRound(pages().GetPage(0)->TopMargin() * lyrUnitsPerMM) + 10);
    ASSERT_GT(inBeyond.x(), paperRight);
    EXPECT_EQ(paint(false).pixelColor(inBeyond), QColor(Qt::gray));
    EXPECT_EQ(paint(true).pixelColor(inBeyond), QColor(Qt::red));

    // Printed: two collated copies each carry their number; the mirrored
    // margin shows on the second page; the preview-only text is left out.
    report->PrintOptions()->Copies = 2;
    const QString pdf = printToPdf(QStringLiteral("copies.pdf"));
    const QString text = pdfText(pdf);
    const QStringList sheets = text.split(u'\f', Qt::SkipEmptyParts);
    ASSERT_GE(sheets.size(), 4) << text.toStdString();
    EXPECT_TRUE(sheets[0].contains(QLatin1String("Page 1 Copy1"))) << sheets[0].toStdString();
    EXPECT_TRUE(sheets[1].contains(QLatin1String("Page 2 Copy1"))) << sheets[1].toStdString();
    EXPECT_TRUE(sheets[2].contains(QLatin1String("Page 1 Copy2"))) << sheets[2].toStdString();
    EXPECT_TRUE(sheets[3].contains(QLatin1String("Page 2 Copy2"))) << sheets[3].toStdString();
    EXPECT_FALSE(text.contains(QLatin1String("Preview only")));
    const std::vector<double> lefts = wordLefts(pdf, QStringLiteral("Page"));
    ASSERT_EQ(lefts.size(), 4u);
    EXPECT_NEAR(lefts[0] - lefts[1], (30 - 5) * 72 / 25.4, 1.5);
    EXPECT_EQ(pages().CopyNo, 0);
    lyrGlobalVariables().Delete(copyName);
}

TEST_F(StoreTest, ASecondPassStartsTheOutlineAndPagesAfresh)
{
    TlyrMemoView *memo = rows(3, QStringLiteral("Row [Line#]"));
    auto *band = static_cast<TlyrMasterData *>(memo->Parent());
    band->SetOutlineText(QStringLiteral("Line"));
    auto outlineTexts = [&] {
        QStringList out;
        TlyrOutline *outline = pages().GetOutline();
        outline->LevelRoot();
        for (int i = 0; i < outline->Count(); ++i) {
            QString text;
            int pageNo = -1, top = 0;
            outline->GetItem(i, text, pageNo, top);
            out << QStringLiteral("%1@%2").arg(text).arg(pageNo);
        }
        return out;
    };
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    const QStringList onePass = outlineTexts();
    const QString onePassPages = lyrDumpPreparedPages(pages());
    ASSERT_EQ(onePass, (QStringList{"1@0", "2@1", "3@2"}));

    report->EngineOptions()->SetDoublePass(true);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    EXPECT_EQ(outlineTexts(), onePass);
    EXPECT_EQ(pages().Count(), 3);
    EXPECT_EQ(lyrDumpPreparedPages(pages()), onePassPages);
}

TEST_F(StoreTest, DotMatrixPagesStayDotMatrixPagesThroughTheStoreAndAFile)
{
    TlyrMasterData *band = pageWithBand<TlyrDMPPage>(17, 2, true);
    auto *page = static_cast<TlyrDMPPage *>(band->Page());
    page->SetFontStyle(fsxBold);
    auto *m = textView<TlyrDMPMemoView>(band, QStringLiteral("Text"), {9.6, 0, 48, 17}, QStringLiteral("[Line#]"));
    m->SetParentFont(true);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    ASSERT_EQ(pages().Count(), 2);
    auto *built = qobject_cast<TlyrDMPPage *>(pages().GetPage(1));
    ASSERT_NE(built, nullptr);
    EXPECT_EQ(built->FontStyle(), int(fsxBold));

    QBuffer file;
    file.open(QIODevice::ReadWrite);
    pages().SaveToStream(file);
    // A report that knows nothing of the template loads the file.
    TlyrReport other;
    other.EngineOptions()->SetNewSilentMode(simSilent);
    auto &loaded = *static_cast<TlyrPreviewPages *>(other.PreviewPages());
    file.seek(0);
    loaded.LoadFromStream(file);
    ASSERT_EQ(loaded.Count(), 2);
    ASSERT_EQ(loaded.SourcePages.size(), 1u);
    EXPECT_NE(qobject_cast<TlyrDMPPage *>(loaded.SourcePages[0].get()), nullptr);
    auto *reloaded = qobject_cast<TlyrDMPPage *>(loaded.GetPage(0));
    ASSERT_NE(reloaded, nullptr);
    EXPECT_EQ(reloaded->FontStyle(), int(fsxBold));

    // Printed from the file, the pages carry their page style as they do
    // printed from the build.
    QStringList log;
    std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
    list.push_back(std::make_unique<LogPrinter>(log));
    auto *printer = static_cast<LogPrinter *>(list.back().get());
    lyrPrinters().SetPrinters(std::move(list), QString());
    ASSERT_TRUE(pages().Print());
    const QByteArray fromBuild = printer->Raw;
    EXPECT_TRUE(fromBuild.contains("\x1b"
                                   "E"))
            << fromBuild.toHex(' ').toStdString();
    other.PrintOptions()->ShowDialog = false;
    ASSERT_TRUE(loaded.Print());
    EXPECT_EQ(printer->Raw.toHex(' '), fromBuild.toHex(' '));

    // A page written in full keeps its class too.
    loaded.ModifyPage(1, loaded.GetPage(1));
    EXPECT_EQ(loaded.PagesItem()->Items(1)->Name, QStringLiteral("TlyrDMPPage"));
    EXPECT_NE(qobject_cast<TlyrDMPPage *>(loaded.GetPage(1)), nullptr);
}

TEST_F(StoreTest, ExportTakesTheChosenPagesWithTheirBackgroundAndReportsAFailingFilter)
{
    TlyrMemoView *memo = rows(4, QStringLiteral("[Line#]"));
    auto *total = textView<TlyrMemoView>(static_cast<TlyrBand *>(memo->Parent()), QStringLiteral("Total"),
                                         {0, 20, 300, 20}, QStringLiteral("of [TOTALPAGES#]"));
    total->Highlight()->SetCondition(QStringLiteral("2 > 1"));
    total->Highlight()->Font()->SetSize(20);
    page->SetColor(clYellow);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    QStringList events;
    report->OnPrintReport = [&] { events << QStringLiteral("print report"); };
    report->OnAfterPrintReport = [&] { events << QStringLiteral("after print report"); };
    report->OnProgressStart = [&](TlyrReport *, TlyrProgressType t, int) {
        events << QStringLiteral("progress start %1").arg(int(t));
    };
    report->OnProgress = [&](TlyrReport *, TlyrProgressType, int n) { events << QStringLiteral("progress %1").arg(n); };
    TlyrPreview preview;
    report->SetPreview(&preview);

    ListingFilter filter;
    filter.Preview = &preview;
    filter.PageNumbers = QStringLiteral("2-3");
    filter.ShowProgress = true;
    EXPECT_TRUE(pages().Export(filter));
    const int yellow = clYellow;
    EXPECT_EQ(filter.log.join(u';').toStdString(),
              QStringList({"start", "page 2 210x297", "locked", QStringLiteral("background %1").arg(yellow),
                           "2 size 10", "of 4 size 20", "page 3 210x297", "locked",
                           QStringLiteral("background %1").arg(yellow), "3 size 10", "of 4 size 20", "finish"})
                      .join(u';')
                      .toStdString());
    EXPECT_FALSE(preview.Locked);
    EXPECT_EQ(events, (QStringList{"print report", QStringLiteral("progress start %1").arg(int(ptExporting)),
                                   "progress 2", "progress 3", "after print report"}));

    // A filter that refuses to start gets no pages and no finish.
    ListingFilter refusing;
    refusing.StartResult = false;
    EXPECT_FALSE(pages().Export(refusing));
    EXPECT_EQ(refusing.log, QStringList{"start"});

    // A filter's failure becomes an error line and the error box.
    report->EngineOptions()->SetNewSilentMode(simMessageBoxes);
    ListingFilter failing;
    failing.FailOn = QStringLiteral("1");
    events.clear();
    EXPECT_FALSE(pages().Export(failing));
    EXPECT_TRUE(report->Errors().contains(QStringLiteral("disk full")));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QLatin1String("disk full")));
    EXPECT_EQ(events.last(), QStringLiteral("after print report"));
    EXPECT_FALSE(preview.Locked);
    report->SetPreview(nullptr);
}

TEST_F(StoreTest, ThePageCacheHoldsTheOptionsCountAndDroppedPagesGoToTheFileCache)
{
    rows(8, QStringLiteral("Page [Line#]"));
    report->PreviewOptions()->PagesInCache = 3;
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    for (int i = 0; i < 8; ++i) ASSERT_NE(pages().GetPage(i), nullptr);
    EXPECT_EQ(pages().PageCacheCount(), 3);
    // Without the file cache the elements stay in memory.
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(pages().PagesItem()->Items(i)->Loaded) << i;

    report->EngineOptions()->setProperty("UseFileCache", true);
    report->EngineOptions()->setProperty("TempDir", dir.path());
    pages().ClearPageCache();
    for (int i = 0; i < 8; ++i) ASSERT_NE(pages().GetPage(i), nullptr);
    EXPECT_EQ(pages().PageCacheCount(), 3);
    // The first two pages always stay; pages 3 to 5 left the cache.
    EXPECT_TRUE(pages().PagesItem()->Items(0)->Loaded);
    EXPECT_TRUE(pages().PagesItem()->Items(1)->Loaded);
    for (int i = 2; i < 5; ++i) EXPECT_FALSE(pages().PagesItem()->Items(i)->Loaded) << i;
    for (int i = 5; i < 8; ++i) EXPECT_TRUE(pages().PagesItem()->Items(i)->Loaded) << i;
    // A page read back from the file cache is the same page.
    EXPECT_TRUE(lyrDumpPreparedPages(pages()).contains(QLatin1String("Page 3")));
    EXPECT_TRUE(lyrDumpPreparedPages(pages()).contains(QLatin1String("Page 8")));
}
