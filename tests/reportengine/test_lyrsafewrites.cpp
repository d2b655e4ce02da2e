// Files the report engine writes for the user (a saved prepared report, a
// print to file) replace the old file only when whole: a full disk, a
// cancel or a kill leaves the old file, and a failure is reported once,
// naming the file.

#include "file_traps.h"
#include "preview_fixture.h"
#include "print_report_util.h"

#include "report/lyrdmpclass.h"
#include "report/lyrxml.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <QTemporaryDir>

#include <random>

namespace {

// A PDF that was written to its end: the trailer's cross-reference offset
// points at the table, which a cut or a gap in the file would move.
bool wholePdf(const QByteArray &pdf)
{
    if (!pdf.startsWith("%PDF") || !pdf.trimmed().endsWith("%%EOF")) return false;
    const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("startxref\\s+(\\d+)\\s+%%EOF\\s*$")).match(QString::fromLatin1(pdf));
    if (!m.hasMatch()) return false;
    const qsizetype at = m.captured(1).toLongLong();
    return pdf.mid(at, 4) == "xref";
}

class SafeWritesTest : public PrintReportTest {
protected:
    void SetUp() override
    {
        PrintReportTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        std::vector<std::unique_ptr<TlyrCustomPrinter>> list;
        list.push_back(std::make_unique<TlyrPrinter>(QStringLiteral("NoSuchQueue"), QString()));
        lyrPrinters().SetPrinters(std::move(list), QString());
    }
    void TearDown() override
    {
        lyrPrinters().SetPrinters({}, QString());
        PrintReportTest::TearDown();
    }
    // Prints the prepared pages to file: 0 when printed, 1 when refused
    // with one message naming the file, 2 otherwise.
    int printTo(const QString &file)
    {
        messages.clear();
        lyrPrinters().Printer()->FileName = file;
        if (pages().Print()) return 0;
        return messages.size() == 1 && messages[0].contains(file) && report->Errors().join(u'\n').contains(file) ? 1
                                                                                                             : 2;
    }
    // Printing to a file as a trap test writes it.
    TrapWriter printing()
    {
        return inProcess([this](const QString &target) {
            const int printed = printTo(target);
            return WriteOutcome{printed == 0, messages.join(u'\n')};
        });
    }
    void dotMatrix(int rows)
    {
        TlyrMasterData *band = pageWithBand<TlyrDMPPage>(17, rows, false);
        textView<TlyrDMPMemoView>(band, QStringLiteral("Text"), {9.6, 0, 96, 17}, QStringLiteral("品[Line#]"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    }
    QTemporaryDir dir;
    const QByteArray old = QByteArrayLiteral("the user's old file, 3 pages\n");
};

}  // namespace

TEST_F(SafeWritesTest, APreparedReportSavedOnAFullDiskKeepsTheOldFileAndNamesIt)
{
    build(400);
    const QString path = dir.filePath(QStringLiteral("report.lp3"));
    pages().SaveToFile(path);
    const qint64 size = QFileInfo(path).size();
    ASSERT_GT(size, 16 * 1024);
    // Small output stays in a buffer until the close; larger output fails on
    // the way.
    for (rlim_t limit : {rlim_t(100), rlim_t(size / 2)}) {
        SCOPED_TRACE(limit);
        ASSERT_TRUE(putFile(path, old));
        const int status = onFullDisk(limit, [&] {
            try {
                pages().SaveToFile(path);
            } catch (const ElyrError &e) {
                // The file being saved is named, never the page store's.
                const QString store = pages().XMLDoc.TempFileName();
                return e.Message().contains(path) && (store.isEmpty() || !e.Message().contains(store)) ? 0 : 2;
            }
            return 1;
        });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(fileBytes(path), old);
        EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("report.lp3")});
    }
    // With room the new file replaces the old one.
    pages().SaveToFile(path);
    TlyrReport other;
    TlyrPreviewPages back(&other);
    back.LoadFromFile(path);
    EXPECT_EQ(back.Count(), 400);
}

TEST_F(SafeWritesTest, PrintingToAFileThatCannotBeWrittenFailsOnceNamingIt)
{
    build(2);
    const QString nowhere = dir.filePath(QStringLiteral("no/such/dir/out.pdf"));
    EXPECT_EQ(printTo(nowhere), 1) << messages.join(u'\n').toStdString();
    EXPECT_FALSE(QFileInfo::exists(nowhere));
    // The same pages print again once the file can be written.
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    EXPECT_EQ(printTo(file), 0) << messages.join(u'\n').toStdString();
    EXPECT_TRUE(wholePdf(fileBytes(file)));
}

TEST_F(SafeWritesTest, PrintingToAFileOnAFullDiskKeepsTheOldFile)
{
    build(30);
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    for (rlim_t limit : {rlim_t(100), rlim_t(8 * 1024)}) {
        SCOPED_TRACE(limit);
        ASSERT_TRUE(putFile(file, old));
        EXPECT_EQ(onFullDisk(limit, [&] { return printTo(file); }), 1);
        EXPECT_EQ(fileBytes(file), old);
        EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("out.pdf")});
    }
}

TEST_F(SafeWritesTest, DotMatrixPrintingToAFileOnAFullDiskKeepsTheOldFile)
{
    dotMatrix(200);
    const QString file = dir.filePath(QStringLiteral("slip.prn"));
    ASSERT_TRUE(putFile(file, old));
    EXPECT_EQ(onFullDisk(1024, [&] { return printTo(file); }), 1);
    EXPECT_EQ(fileBytes(file), old);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("slip.prn")});
    EXPECT_EQ(printTo(file), 0);
    EXPECT_TRUE(fileBytes(file).startsWith("\x1b@"));
}

TEST_F(SafeWritesTest, CancelWhilePrintingToAFileKeepsTheOldFile)
{
    build(30);
    const QString file = dir.filePath(QStringLiteral("out.pdf"));
    ASSERT_TRUE(putFile(file, old));
    int printed = 0;
    report->OnPrintPage = [&](TlyrReportPage *, int) {
        if (++printed == 5) report->SetTerminated(true);
    };
    printTo(file);
    EXPECT_EQ(printed, 5);
    EXPECT_EQ(fileBytes(file), old);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("out.pdf")});
    report->OnPrintPage = nullptr;
    EXPECT_EQ(printTo(file), 0);
    EXPECT_TRUE(wholePdf(fileBytes(file)));
}

// Saved and printed files replace only the file meant, whatever a shared
// folder holds.
TEST_F(SafeWritesTest, SavesAndPrintsToFileReplaceOnlyTheFileMeant)
{
    build(3);
    {
        SCOPED_TRACE("prepared pages");
        expectNoTrapCatches(QStringLiteral(".lp3"), inProcess([&](const QString &target) {
                                try {
                                    pages().SaveToFile(target);
                                    return WriteOutcome{true, {}};
                                } catch (const ElyrError &e) {
                                    return WriteOutcome{false, e.Message()};
                                }
                            }));
    }
    SCOPED_TRACE("print to PDF");
    expectNoTrapCatches(QStringLiteral(".pdf"), printing());
}

TEST_F(SafeWritesTest, DotMatrixPrintsToFileReplaceOnlyTheFileMeant)
{
    dotMatrix(3);
    expectNoTrapCatches(QStringLiteral(".prn"), printing());
}

// Kills write at random moments, 100 times, each after putting the old
// file back; check sees the file after each kill.
void killAtRandom(const QString &file, const QByteArray &old, const std::function<void()> &write,
                  const std::function<void(const QByteArray &)> &check)
{
    // The moments spread over one whole write and a little beyond.
    QElapsedTimer t;
    t.start();
    write();
    const int span = int(t.nsecsElapsed() / 1000) * 6 / 5 + 1;
    std::mt19937 random(57);
    for (int round = 0; round < 100; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(putFile(file, old));
        killedDuring(write, std::uniform_int_distribution<int>(0, span)(random));
        check(fileBytes(file));
    }
}

TEST_F(SafeWritesTest, KilledSavesAndPrintsLeaveTheOldOrTheNewFileWhole)
{
    build(150);
    const QString lp3 = dir.filePath(QStringLiteral("report.lp3")), pdf = dir.filePath(QStringLiteral("out.pdf"));
    pages().SaveToFile(lp3);
    const QByteArray newLp3 = fileBytes(lp3);
    killAtRandom(lp3, old, [&] { pages().SaveToFile(lp3); },
                 [&](const QByteArray &now) { EXPECT_TRUE(now == old || now == newLp3) << now.size(); });

    ASSERT_EQ(printTo(pdf), 0);
    // Only the creation time differs between two prints.
    const qsizetype newPdfSize = fileBytes(pdf).size();
    killAtRandom(pdf, old, [&] { printTo(pdf); }, [&](const QByteArray &now) {
        EXPECT_TRUE(now == old || (now.size() == newPdfSize && wholePdf(now))) << now.size();
    });
}

TEST(SafeWritesPreview, KilledSavesOfThePreviewLeaveTheOldOrTheNewFileWhole)
{
    PreviewReport r(2000);
    QPointer<TlyrPreviewForm> form = r.showWithoutWaiting();
    ASSERT_TRUE(form);
    r.report->Timer()->stop();
    r.report->PrepareReport(false);
    ASSERT_GT(form->Preview->PageCount(), 10);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("saved.lp3"));
    form->Preview->SaveToFile(file);
    const QByteArray saved = fileBytes(file);
    ASSERT_TRUE(saved.contains("</preparedreport>"));
    const QByteArray old("old");
    killAtRandom(file, old, [&] { form->Preview->SaveToFile(file); },
                 [&](const QByteArray &now) { EXPECT_TRUE(now == old || now == saved) << now.size(); });
    // A file that cannot be written: the error names it and the preview
    // goes on.
    const QString nowhere = dir.filePath(QStringLiteral("no/such/dir/saved.lp3"));
    try {
        form->Preview->SaveToFile(nowhere);
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const ElyrError &e) {
        EXPECT_TRUE(e.Message().contains(nowhere)) << e.Message().toStdString();
    }
    EXPECT_FALSE(form->Preview->Locked);
    EXPECT_FALSE(form->Preview->MessagePanel->isVisible());
    form->close();
}

// The page store's temporary file has no name in its folder: a killed
// program leaves nothing behind.
TEST_F(SafeWritesTest, ThePageStoreLeavesNoFileWhenKilled)
{
    TlyrEngineOptions *o = report->EngineOptions();
    o->setProperty("TempDir", dir.path());
    o->setProperty("UseFileCache", true);
    o->setProperty("MaxMemSize", 0);
    build(60);
    TlyrXMLDocument &doc = pages().XMLDoc;
    EXPECT_GT(doc.TempFileSize(), 0);
    EXPECT_TRUE(filesIn(dir.path()).isEmpty()) << filesIn(dir.path()).join(u' ').toStdString();
    EXPECT_TRUE(killedDuring([] { pause(); }, 0));
    EXPECT_TRUE(filesIn(dir.path()).isEmpty());
    // Pages stored there still come back.
    EXPECT_TRUE(pages().GetPage(5) != nullptr);
}
