// The report runner: dialog pages answered without a user, so it never
// waits; datasets over the program's database; printing to a file.

#include "core/Unit1.h"
#include "child_writes.h"
#include "lyrrun_process.h"
#include "platform/db/db.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>
#include <vector>

namespace {

// A report whose dialog page has an edit, a button that writes into it when
// pressed and a cancel button; the title prints the edit's text. Extra
// attributes go to the first and second button.
QByteArray dialogReport(const char *okButton, const char *cancelButton)
{
    return QByteArray(
                   "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                   "<TlyrReport ScriptLanguage=\"PascalScript\" ScriptText.Text=\""
                   "procedure Button1Click(Sender: TObject);&#13;&#10;begin&#13;&#10;"
                   "  Edit1.Text := 'pressed';&#13;&#10;end;&#13;&#10;begin&#13;&#10;end.\">"
                   "<TlyrDialogPage Name=\"DialogPage1\" Width=\"300\" Height=\"200\">"
                   "<TlyrEditControl Name=\"Edit1\" Left=\"8\" Top=\"8\" Width=\"120\" Height=\"24\" Text=\"typed\"/>"
                   "<TlyrButtonControl Name=\"Button1\" Left=\"8\" Top=\"160\" Width=\"75\" Height=\"25\" "
                   "Caption=\"OK\" OnClick=\"Button1Click\" ") +
           okButton +
           "/>"
           "<TlyrButtonControl Name=\"Button2\" Left=\"90\" Top=\"160\" Width=\"75\" Height=\"25\" "
           "Caption=\"Cancel\" " +
           cancelButton +
           "/>"
           "</TlyrDialogPage>"
           "<TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\" LeftMargin=\"10\" "
           "RightMargin=\"10\" TopMargin=\"10\" BottomMargin=\"10\">"
           "<TlyrReportTitle Name=\"ReportTitle1\" Left=\"0\" Top=\"0\" Width=\"718\" Height=\"20\">"
           "<TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" Text=\"[Edit1.Text]\"/>"
           "</TlyrReportTitle></TlyrReportPage></TlyrReport>";
}

class LyrRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe = QStringLiteral(VELMORA_BINARY_DIR) + QStringLiteral("/bin/lyrrun");
        if (!QFile::exists(exe)) GTEST_SKIP() << "lyrrun not built";
        ASSERT_TRUE(dir.isValid());
    }
    RunResult run(const QByteArray &xml, QStringList args, int waitMs = 120000)
    {
        const QString path = dir.filePath(QStringLiteral("template.xml"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(xml);
        f.close();
        return runLyrrun(exe, QStringList{path, QStringLiteral("--dump")} + args, waitMs);
    }
    QString exe;
    QTemporaryDir dir;
};

TEST_F(LyrRunTest, DialogPagesAreAnsweredWithTheirDefaultOrCancelButton)
{
    const QByteArray xml = dialogReport("Default=\"True\" ModalResult=\"1\"", "Cancel=\"True\" ModalResult=\"2\"");
    for (const QStringList &args : {QStringList{}, QStringList{QStringLiteral("--dialogs"), QStringLiteral("ok")}}) {
        SCOPED_TRACE(args.join(u' ').toStdString());
        const RunResult r = run(xml, args);
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("Memo1")) && r.out.contains(QStringLiteral("pressed")))
                << r.out.toStdString();
    }
    const RunResult cancelled = run(xml, {QStringLiteral("--dialogs"), QStringLiteral("cancel")});
    EXPECT_EQ(cancelled.exitCode, 1);
    EXPECT_FALSE(cancelled.out.contains(QStringLiteral("Memo1")));
    EXPECT_FALSE(run(xml, {QStringLiteral("--dialogs"), QStringLiteral("maybe")}).exitCode == 0);
}

TEST_F(LyrRunTest, APageWithoutDefaultOrCancelButtonStillEnds)
{
    // OK is found by its modal result; no button cancels, so the page is
    // closed as cancelled.
    const QByteArray byResult = dialogReport("ModalResult=\"1\"", "");
    const RunResult ok = run(byResult, {});
    EXPECT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_TRUE(ok.out.contains(QStringLiteral("pressed"))) << ok.out.toStdString();
    EXPECT_EQ(run(byResult, {QStringLiteral("--dialogs"), QStringLiteral("cancel")}).exitCode, 1);
    // No button ends the page: it is closed with the answer.
    const RunResult unanswered = run(dialogReport("", ""), {});
    EXPECT_EQ(unanswered.exitCode, 0) << unanswered.err.toStdString();
    EXPECT_TRUE(unanswered.out.contains(QStringLiteral("typed"))) << unanswered.out.toStdString();
}

TEST_F(LyrRunTest, DatasetsOverTheDatabaseAndAPrintFile)
{
    const QString dbPath = dir.filePath(QStringLiteral("db.edb"));
    {
        auto c = vdb::Connection::create(dbPath, velmora::databaseKey());
        c->execute(QStringLiteral("CREATE TABLE S (theNo VARCHAR(10), theSum MONEY)"));
        c->execute(QStringLiteral("INSERT INTO S VALUES ('D1', 2.5)"));
        c->execute(QStringLiteral("INSERT INTO S VALUES ('D2', 4)"));
    }
    const QByteArray xml("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                         "<TlyrReport><TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\">"
                         "<TlyrMasterData Name=\"MasterData1\" Left=\"0\" Top=\"20\" Width=\"718\" Height=\"20\" "
                         "DataSet=\"Sales\">"
                         "<TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" "
                         "Text=\"sale [Sales.&#34;theNo&#34;]\"/></TlyrMasterData>"
                         "<TlyrReportSummary Name=\"ReportSummary1\" Left=\"0\" Top=\"60\" Width=\"718\" "
                         "Height=\"20\"><TlyrMemoView Name=\"Memo2\" Left=\"0\" Top=\"0\" Width=\"200\" "
                         "Height=\"20\" Text=\"total [SUM(&#60;Sales.&#34;theSum&#34;&#62;,MasterData1)]\"/>"
                         "</TlyrReportSummary></TlyrReportPage></TlyrReport>");
    const QString pdf = dir.filePath(QStringLiteral("out.prn"));
    const RunResult r = run(xml, {QStringLiteral("--db"), dbPath, QStringLiteral("--query"),
                                  QStringLiteral("Sales=select theNo, theSum from S order by theNo"),
                                  QStringLiteral("--print-to-file"), pdf});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QStringList texts;
    for (const QString &line : r.out.split(u'\n'))
        if (line.startsWith(QStringLiteral("TlyrMemoView "))) texts << line.section(u' ', 6);
    EXPECT_EQ(texts, (QStringList{"sale D1", "sale D2", "total 6.5"})) << r.out.toStdString();
    QFile printed(pdf);
    ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
    EXPECT_TRUE(printed.readAll().startsWith("%PDF"));
    // A query that the database refuses ends the run with its error.
    const RunResult bad = run(xml, {QStringLiteral("--db"), dbPath, QStringLiteral("--query"),
                                    QStringLiteral("Sales=select x from Nope")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_FALSE(bad.err.isEmpty());
}

// What the template could not give is printed and fails the run; what it
// could still prints.
TEST_F(LyrRunTest, LoadErrorsArePrintedAndFailTheRun)
{
    const QString csv = dir.filePath(QStringLiteral("rows.csv"));
    QFile f(csv);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("N\nr1\nr2\n");
    f.close();
    const QByteArray head("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                          "<TlyrReport><TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\">\r\n");
    const QByteArray rows("<TlyrMasterData Name=\"MasterData1\" Left=\"0\" Top=\"20\" Width=\"718\" Height=\"20\" "
                          "DataSet=\"Rows\"><TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" Width=\"200\" "
                          "Height=\"20\" Text=\"row [Rows.&#34;N&#34;]\"/></TlyrMasterData>");
    const QByteArray tail("</TlyrReportPage></TlyrReport>");
    const QStringList data{QStringLiteral("--data"), QStringLiteral("Rows=") + csv};
    const RunResult ok = run(head + rows + tail, data);
    ASSERT_EQ(ok.exitCode, 0) << ok.err.toStdString();
    EXPECT_TRUE(ok.out.contains(QStringLiteral("row r2"))) << ok.out.toStdString();

    // An object of a class nobody knows, before the rows.
    const RunResult unknown = run(head + "<TlyrFancyView Name=\"Fancy1\" Left=\"0\" Top=\"0\"/>" + rows + tail, data);
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("Cannot find class TlyrFancyView"))) << unknown.err.toStdString();
    EXPECT_TRUE(unknown.out.contains(QStringLiteral("row r1")) && unknown.out.contains(QStringLiteral("row r2")))
            << unknown.out.toStdString();

    // A height that is no number.
    QByteArray badHeight = rows;
    badHeight.replace("Width=\"718\" Height=\"20\"", "Width=\"718\" Height=\"abc\"");
    const RunResult height = run(head + badHeight + tail, data);
    EXPECT_EQ(height.exitCode, 1);
    EXPECT_TRUE(height.err.contains(QStringLiteral("MasterData1.Height: 'abc' is not a valid floating point value")))
            << height.err.toStdString();

    // A template cut off: the file, the line and the end tag it still needed.
    const RunResult cut = run(head + rows.left(rows.indexOf("<TlyrMemoView")), data);
    EXPECT_EQ(cut.exitCode, 1);
    EXPECT_TRUE(cut.err.contains(dir.filePath(QStringLiteral("template.xml")) +
                                 QStringLiteral(", 第 3 行：应为 </TlyrMasterData>，文件已结束")))
            << cut.err.toStdString();
    EXPECT_FALSE(cut.out.contains(QStringLiteral("row")));

    // A column count no page holds: one error line names the page and the
    // count, the rows still print and the run ends by itself.
    QByteArray columns = head;
    columns.replace("PaperHeight=\"297\"", "PaperHeight=\"297\" Columns=\"100000000\"");
    const RunResult many = run(columns + rows + tail, data);
    EXPECT_EQ(many.exitCode, 1);
    EXPECT_TRUE(many.err.contains(QStringLiteral("Page1.Columns: 100000000 columns"))) << many.err.toStdString();
    EXPECT_TRUE(many.out.contains(QStringLiteral("row r1")) && many.out.contains(QStringLiteral("row r2")))
            << many.out.toStdString();
}

// Whether the process handles the signal itself (its handler is in place).
bool catches(qint64 pid, int signal)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:")) return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signal - 1)) & 1;
    return false;
}

// Ctrl+C or SIGTERM stops a running report as the preview's Esc does: the
// runner ends by itself with an error line instead of being killed.
TEST_F(LyrRunTest, AStopSignalEndsARunningReportWithAnErrorLine)
{
    // A page per row for as many rows as there can be: it runs for hours;
    // also with a memo of 200,000 expressions on each row, the signal
    // coming while one of them is expanded.
    const auto endless = [](const QString &text) {
        return QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                          "<TlyrReport><TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\">"
                          "<TlyrMasterData Name=\"MasterData1\" Left=\"0\" Top=\"20\" Width=\"718\" Height=\"20\" "
                          "RowCount=\"2147483647\" StartNewPage=\"True\"><TlyrMemoView Name=\"Memo1\" Left=\"0\" "
                          "Top=\"0\" Width=\"200\" Height=\"20\" Text=\"") +
               text.toUtf8() + "\"/></TlyrMasterData></TlyrReportPage></TlyrReport>";
    };
    for (const QString &text : {QStringLiteral("row [Line]"), QStringLiteral("[Line]").repeated(200000)})
        for (int signal : {SIGINT, SIGTERM}) {
            SCOPED_TRACE(signal);
            SCOPED_TRACE(text.size());
            const QString path = dir.filePath(QStringLiteral("endless.xml"));
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(endless(text));
            f.close();
            QProcess p;
            p.start(exe, {path});
            ASSERT_TRUE(p.waitForStarted());
            for (int i = 0; i < 600 && !catches(p.processId(), signal); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ASSERT_TRUE(catches(p.processId(), signal));
            // Into the run.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            ::kill(pid_t(p.processId()), signal);
            if (!p.waitForFinished(60000)) {
                p.kill();
                p.waitForFinished();
                FAIL() << "lyrrun did not stop";
            }
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p.exitCode(), 1);
            const QString err = QString::fromUtf8(p.readAllStandardError());
            EXPECT_TRUE(
                    err.contains(QStringLiteral("报表生成已中断（收到 %1）")
                                         .arg(signal == SIGINT ? QLatin1String("SIGINT") : QLatin1String("SIGTERM"))))
                    << err.toStdString();
        }
}

// A stop signal while a long dump is written ends the dump at the next page
// and the run with its error line; a second one ends the runner at once.
// Either way the file asked for is not written: the old one stays whole and
// no part file is left beside it.
TEST_F(LyrRunTest, AStopSignalDuringTheDumpEndsItAndWritesNoFile)
{
    // 20,000 pages, prepared in full before the dump starts.
    const QByteArray xml("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                         "<TlyrReport><TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\">"
                         "<TlyrMasterData Name=\"MasterData1\" Left=\"0\" Top=\"20\" Width=\"718\" Height=\"20\" "
                         "RowCount=\"20000\" StartNewPage=\"True\"><TlyrMemoView Name=\"Memo1\" Left=\"0\" "
                         "Top=\"0\" Width=\"200\" Height=\"20\" Text=\"row [Line]\"/></TlyrMasterData>"
                         "</TlyrReportPage></TlyrReport>");
    const QString path = dir.filePath(QStringLiteral("pages.xml"));
    ASSERT_TRUE(putFile(path, xml));
    const QString out = dir.filePath(QStringLiteral("out.lp3"));
    const QByteArray old("the user's old file\n");
    for (int sent : {1, 2})
        for (int signal : {SIGINT, SIGTERM}) {
            SCOPED_TRACE(testing::Message() << sent << " x " << signal);
            ASSERT_TRUE(putFile(out, old));
            QProcess p;
            p.start(exe, {path, QStringLiteral("--dump"), QStringLiteral("--lp3"), out});
            ASSERT_TRUE(p.waitForStarted());
            // The dump has begun.
            QByteArray dumped;
            while (!dumped.contains("page 2\n") && p.state() == QProcess::Running) {
                p.waitForReadyRead(1000);
                dumped += p.readAllStandardOutput();
            }
            ASSERT_TRUE(dumped.contains("page 2\n"));
            // Apart, so that the second is not merged into the first.
            for (int i = 0; i < sent; ++i) {
                if (i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
                ::kill(pid_t(p.processId()), signal);
            }
            while (p.state() == QProcess::Running && p.waitForReadyRead(60000)) dumped += p.readAllStandardOutput();
            if (p.state() != QProcess::NotRunning && !p.waitForFinished(60000)) {
                p.kill();
                p.waitForFinished();
                FAIL() << "lyrrun did not stop";
            }
            dumped += p.readAllStandardOutput();
            EXPECT_FALSE(dumped.contains("page 20000\n"));
            if (sent == 1) {
                EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
                EXPECT_EQ(p.exitCode(), 1);
                const QString err = QString::fromUtf8(p.readAllStandardError());
                EXPECT_TRUE(err.contains(
                        QStringLiteral("报表生成已中断（收到 %1）")
                                .arg(signal == SIGINT ? QLatin1String("SIGINT") : QLatin1String("SIGTERM"))))
                        << err.toStdString();
            }
            EXPECT_EQ(fileBytes(out), old);
            EXPECT_EQ(filesIn(dir.path()), QStringList({QStringLiteral("out.lp3"), QStringLiteral("pages.xml")}));
        }
}

// What a template or its data could do to the runner: a main script asking
// for the preview, CSV fields over several lines, queries that would write
// the shop's database. Each run ends by itself, prepared or with an error
// line, and the database stays as it was.
TEST_F(LyrRunTest, HostileScriptsDataAndQueriesEndAndChangeNothing)
{
    const QString dbPath = dir.filePath(QStringLiteral("shop.edb"));
    auto writeFile = [&](const QString &name, const QByteArray &bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        return path;
    };
    auto scripted = [](const char *language, const char *script) {
        return QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport ScriptLanguage=\"") + language +
               "\" ScriptText.Text=\"" + script +
               "\"><TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\">"
               "<TlyrReportTitle Name=\"ReportTitle1\" Left=\"0\" Top=\"0\" Width=\"718\" Height=\"20\">"
               "<TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" Text=\"hello\"/>"
               "</TlyrReportTitle></TlyrReportPage></TlyrReport>";
    };
    const QByteArray rows("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport><TlyrReportPage Name=\"Page1\" "
                          "PaperWidth=\"210\" PaperHeight=\"297\"><TlyrMasterData Name=\"MasterData1\" Left=\"0\" "
                          "Top=\"20\" Width=\"718\" Height=\"20\" DataSet=\"Rows\"><TlyrMemoView Name=\"Memo1\" "
                          "Left=\"0\" Top=\"0\" Width=\"400\" Height=\"20\" "
                          "Text=\"row [Rows.&#34;N&#34;] [Rows.&#34;Note&#34;]\"/></TlyrMasterData>"
                          "</TlyrReportPage></TlyrReport>");
    const QString csvAcross =
            writeFile(QStringLiteral("across.csv"), "N,Note\r\nr1,\"two\r\nlines, \"\"quoted\"\"\"\r\n\r\nr2,x\r\n");
    const QString csvOpen = writeFile(QStringLiteral("open.csv"), "N,Note\nr1,ok\nr2,\"never\nclosed\n");
    const QStringList query{QStringLiteral("--db"), dbPath, QStringLiteral("--query")};
    struct Case {
        const char *name;
        QByteArray xml;
        QStringList args;
        int exitCode;
        QStringList outHas;  // lines of the dump
        QString errHas;
    };
    // The main block of each language asks for the preview.
    const char *const mainBlocks[][2] = {
            {"PascalScript", "begin&#13;&#10;  Report.ShowReport;&#13;&#10;end."},
            {"C++Script", "{&#13;&#10;  Report.ShowReport;&#13;&#10;}"},
            {"BasicScript", "Report.ShowReport&#13;&#10;"},
            {"JScript", "Report.ShowReport();&#13;&#10;"},
    };
    std::vector<Case> cases;
    for (const auto &[language, script] : mainBlocks)
        cases.push_back({language,
                         scripted(language, script),
                         {},
                         0,
                         {QStringLiteral("TlyrMemoView Memo1 0.00 0.00 200.00 20.00 hello")},
                         {}});
    cases.insert(
            cases.end(),
            {
                    {"a quoted CSV field over two lines is one record",
                     rows,
                     {QStringLiteral("--data"), QStringLiteral("Rows=") + csvAcross},
                     0,
                     {QStringLiteral("TlyrMemoView Memo1 0.00 0.00 400.00 20.00 row r1 two\\nlines, \"quoted\""),
                      QStringLiteral("TlyrMemoView Memo1 0.00 20.00 400.00 20.00 row r2 x")},
                     {}},
                    {"a quoted CSV field never closed is refused",
                     rows,
                     {QStringLiteral("--data"), QStringLiteral("Rows=") + csvOpen},
                     1,
                     {},
                     csvOpen + QStringLiteral(": line 3: a quoted field is not closed")},
                    {"a query that rekeys the database fails",
                     rows,
                     query + QStringList{QStringLiteral("Rows=PRAGMA rekey='x'")},
                     1,
                     {},
                     QStringLiteral("Rows: ")},
                    {"a query that updates the database fails",
                     rows,
                     query + QStringList{QStringLiteral("Rows=UPDATE S SET theSum = 0")},
                     1,
                     {},
                     QStringLiteral("Rows: ")},
                    {"a statement that switches the guard off is no query",
                     rows,
                     query + QStringList{QStringLiteral("A=PRAGMA query_only=0"), QStringLiteral("Rows=DELETE FROM S")},
                     1,
                     {},
                     QStringLiteral("A: ")},
            });
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(dbPath + suffix);
        {
            auto db = vdb::Connection::create(dbPath, velmora::databaseKey());
            db->execute(QStringLiteral("CREATE TABLE S (theNo VARCHAR(10), theSum MONEY)"));
            db->execute(QStringLiteral("INSERT INTO S VALUES ('D1', 2.5)"));
        }
        const RunResult r = run(c.xml, c.args, 60000);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        const QStringList lines = r.out.split(u'\n');
        for (const QString &line : c.outHas) EXPECT_TRUE(lines.contains(line)) << r.out.toStdString();
        if (!c.outHas.isEmpty())
            EXPECT_EQ(lines.filter(QStringLiteral("TlyrMemoView")).size(), c.outHas.size()) << r.out.toStdString();
        if (!c.errHas.isEmpty()) EXPECT_TRUE(r.err.contains(c.errHas)) << r.err.toStdString();
        // The shop's database still opens with its key and holds its row.
        auto check = vdb::Connection::open(dbPath, velmora::databaseKey());
        vdb::Query q(check.get());
        q.OpenSql(QStringLiteral("select theNo, theSum from S"));
        ASSERT_FALSE(q.Eof());
        EXPECT_EQ(q.value(QStringLiteral("theNo")), QStringLiteral("D1"));
        EXPECT_EQ(q.value(QStringLiteral("theSum")), QStringLiteral("2.5"));
    }
}

// A template's script that nests Variant arrays a million deep, compares two
// such chains, frees one and leaves the other to the end of the run: the
// report prints and the runner ends normally.
TEST_F(LyrRunTest, DeeplyNestedVariantArraysInAScriptEndNormally)
{
    const QByteArray xml(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport ScriptLanguage=\"PascalScript\" "
            "ScriptText.Text=\"var v, w, a: Variant; i: Integer;&#13;&#10;begin&#13;&#10;"
            "  for i := 1 to 1000000 do begin w := VarArrayCreate([0, 0], 12); w[0] := v; v := w; end;&#13;&#10;"
            "  for i := 1 to 1000000 do begin w := VarArrayCreate([0, 0], 12); w[0] := a; a := w; end;&#13;&#10;"
            "  w := 0;&#13;&#10;"
            "  if a = v then Memo1.Text := 'equal';&#13;&#10;"
            "  v := 0;&#13;&#10;"
            "end.\"><TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\">"
            "<TlyrReportTitle Name=\"ReportTitle1\" Left=\"0\" Top=\"0\" Width=\"718\" Height=\"20\">"
            "<TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" Width=\"400\" Height=\"20\" Text=\"hello\"/>"
            "</TlyrReportTitle></TlyrReportPage></TlyrReport>");
    const RunResult r = run(xml, {});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("TlyrMemoView Memo1 0.00 0.00 400.00 20.00 equal\n")))
            << r.out.toStdString();
}

// The shop's sale document names its lines' dataset by the component name in
// the band and by the user name in the fields; data given under either name
// reaches both, and a dataset of the list that nothing prints is not needed.
TEST_F(LyrRunTest, SaleDocumentWithCsvDataPrintsEveryLineOnce)
{
    QFile templ(QStringLiteral(VELMORA_SOURCE_DIR) + QStringLiteral("/resources/reports/xf.xml"));
    ASSERT_TRUE(templ.open(QIODevice::ReadOnly));
    const QByteArray xml = templ.readAll();
    auto csv = [this](const char *name, const char *text) {
        const QString path = dir.filePath(QString::fromLatin1(name) + QStringLiteral(".csv"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return path;
    };
    const QString sale = csv(
            "xf", "theType,MNum,myDate,theNum,theDX,theSum,theZK,theZR,theHJ,theSJ,theYE,theJF,WName,theUser,Remark\n"
                  "会员,2600001,2026-03-07,XF0001,壹佰元,108.25,100,0,108.25,110,0,108,张三,admin,\n");
    const QString lines =
            csv("xfm", "myBH,SNum,theName,theUnit,thePrice,theCount,theZK,theMoney\n"
                       "1,S01,可乐,瓶,12,1,100,12\n2,S02,薯片,袋,9.5,10,95,90.25\n3,S03,饼干,盒,3,2,100,6\n");
    const QString title = csv("dj", "theName\n消费单\n");
    const QString shop = csv("unit", "theName,theAdd,thePhone,theGG\n好邻居,北京路1号,010-1,欢迎\n");
    const QString pdf = dir.filePath(QStringLiteral("xf.pdf"));
    for (const char *linesName : {"lyrDB_XF_M", "lyrDBD_XF_M"}) {
        SCOPED_TRACE(linesName);
        const QStringList data{"--data", "lyrDB_XF=" + sale,  "--data", "lyrDB_DJ=" + title,
                               "--data", "lyrDB_Unit=" + shop};
        const RunResult r = run(xml, data + QStringList{"--data", QString::fromLatin1(linesName) + "=" + lines,
                                                        "--print-to-file", pdf});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        for (const char *goods : {" S01", " 可乐", " S02", " 薯片", " S03", " 饼干"})
            EXPECT_EQ(r.out.count(QString::fromUtf8(goods) + u'\n'), 1) << goods << "\n" << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral(" 90.25\n"))) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral(" 好邻居消费单\n"))) << r.out.toStdString();
        // Without the lines' data the document is not printed as if it had none.
        const RunResult noLines = run(xml, data);
        EXPECT_EQ(noLines.exitCode, 1);
        EXPECT_TRUE(noLines.err.contains(QStringLiteral("\"lyrDB_XF_M\" does not exist"))) << noLines.err.toStdString();
    }
}

// A dataset of the template itself answers to --data by its name or its
// user name wherever it sits; a name nothing answers to is an error line.
TEST_F(LyrRunTest, DataReachesTheTemplatesOwnDatasetsAndUnknownNamesFail)
{
    const QString goods = dir.filePath(QStringLiteral("goods.csv"));
    QFile f(goods);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Code,Name\nG1,apple\nG2,pear\n");
    f.close();
    auto templ = [](const char *band) {
        return QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport>"
                          "<TlyrDataPage Name=\"Data\"><TlyrUserDataSet Name=\"UserDataSet1\" UserName=\"Goods\"/>"
                          "</TlyrDataPage><TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\">"
                          "<TlyrMasterData Name=\"MasterData1\" Left=\"0\" Top=\"20\" Width=\"718\" Height=\"20\" ") +
               band +
               "><TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" Width=\"200\" Height=\"20\" "
               "Text=\"[Goods.&#34;Code&#34;] [Goods.&#34;Name&#34;]\"/></TlyrMasterData></TlyrReportPage></TlyrReport>";
    };
    for (const char *band : {"DataSet=\"UserDataSet1\"", "DataSetName=\"Goods\""})
        for (const char *name : {"Goods", "userdataset1"}) {
            SCOPED_TRACE(std::string(band) + " " + name);
            const RunResult r =
                    run(templ(band), {QStringLiteral("--data"), QString::fromLatin1(name) + QStringLiteral("=") + goods});
            EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
            EXPECT_EQ(r.out.count(QStringLiteral(" G1 apple\n")), 1) << r.out.toStdString();
            EXPECT_EQ(r.out.count(QStringLiteral(" G2 pear\n")), 1) << r.out.toStdString();
        }
    const RunResult unknown =
            run(templ("DataSet=\"UserDataSet1\""), {QStringLiteral("--data"), QStringLiteral("Stock=") + goods});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(QStringLiteral("--data Stock"))) << unknown.err.toStdString();
    EXPECT_FALSE(unknown.out.contains(QStringLiteral("Memo1"))) << unknown.out.toStdString();
    // Fed by nothing and ended by nothing, the dataset stops at the bound a
    // preview puts on a report (its band prints nothing, so no page count
    // would ever stop it).
    QByteArray hidden = templ("DataSet=\"UserDataSet1\" Visible=\"False\"");
    const RunResult endless = run(hidden, {});
    EXPECT_EQ(endless.exitCode, 1);
    EXPECT_TRUE(endless.err.contains(QStringLiteral("数据集 Goods 没有数据来源，也没有结束条件：读到第 1000000 条记录时停止")))
            << endless.err.toStdString();
}

// A report script's run-time error names where it was raised; its
// out-of-memory error is one its try statement catches.
TEST_F(LyrRunTest, ScriptErrorsNameTheirPlaceAndOutOfMemoryIsCatchable)
{
    auto scripted = [](const char *script) {
        return QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport ScriptLanguage=\"PascalScript\" "
                          "ScriptText.Text=\"") +
               script +
               "\"><TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\">"
               "<TlyrReportTitle Name=\"ReportTitle1\" Left=\"0\" Top=\"0\" Width=\"718\" Height=\"20\">"
               "<TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" Width=\"400\" Height=\"20\" Text=\"hello\"/>"
               "</TlyrReportTitle></TlyrReportPage></TlyrReport>";
    };
    const RunResult caught = run(scripted("var a: Variant;&#13;&#10;begin&#13;&#10;  try a := VarArrayCreate([0, 20000000], "
                                          "varVariant);&#13;&#10;  except Memo1.Text := ExceptionClassName; end;&#13;&#10;"
                                          "end."),
                                 {});
    EXPECT_EQ(caught.exitCode, 0) << caught.err.toStdString();
    EXPECT_TRUE(caught.out.contains(QStringLiteral(" EOutOfMemory\n"))) << caught.out.toStdString();
    const RunResult failed =
            run(scripted("var m: TlyrMemoView;&#13;&#10;begin&#13;&#10;  m := nil;&#13;&#10;  m.Text := 'x';&#13;&#10;end."), {});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.err.contains(QStringLiteral("Script error at 4:3: "))) << failed.err.toStdString();
}

}  // namespace
