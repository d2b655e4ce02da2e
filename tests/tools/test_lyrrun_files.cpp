// The runner's output files (--lp3, --print-to-file) replace the old file
// only when whole: a file that cannot be written, a full disk or a kill
// leaves the old one, and the runner ends with an error line naming it.

#include "file_traps.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <thread>

namespace {

class LyrRunFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe = QStringLiteral(VELMORA_BINARY_DIR) + QStringLiteral("/bin/lyrrun");
        if (!QFile::exists(exe)) GTEST_SKIP() << "lyrrun not built";
        ASSERT_TRUE(dir.isValid());
        templ = dir.filePath(QStringLiteral("base.xml"));
        ASSERT_TRUE(putFile(templ, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                                   "<TlyrReport><TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\">"
                                   "<TlyrMasterData Name=\"MasterData1\" Left=\"0\" Top=\"20\" Width=\"718\" "
                                   "Height=\"20\" DataSet=\"Rows\"><TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" "
                                   "Width=\"200\" Height=\"20\" Text=\"row [Rows.&#34;N&#34;]\"/></TlyrMasterData>"
                                   "</TlyrReportPage></TlyrReport>"));
        rows(3);
    }
    void rows(int n)
    {
        QByteArray csv("N\n");
        for (int i = 0; i < n; ++i) csv += "r" + QByteArray::number(i) + "\n";
        ASSERT_TRUE(putFile(dir.filePath(QStringLiteral("rows.csv")), csv));
    }
    QStringList args(const QString &option, const QString &out) const
    {
        return {templ, QStringLiteral("--data"), QStringLiteral("Rows=") + dir.filePath(QStringLiteral("rows.csv")),
                option, out};
    }
    struct Run {
        int exitCode = -1;
        QString err;
    };
    // Runs the runner, its files limited to fileLimit bytes when given; as
    // another user than root when asked.
    Run run(const QStringList &a, rlim_t fileLimit = RLIM_INFINITY, bool asAnotherUser = false)
    {
        QProcess p;
        p.setChildProcessModifier([fileLimit, asAnotherUser] {
            rlimit limit{};
            getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = fileLimit;
            setrlimit(RLIMIT_FSIZE, &limit);
            if (asAnotherUser && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(90);
        });
        p.start(exe, a);
        Run r;
        // A runner waiting on a box nobody sees would never end.
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "lyrrun did not end";
            return r;
        }
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    // Starts the runner and kills it at random moments over one whole run,
    // 100 times, each after putting the old file back; check sees the file.
    void killAtRandom(const QStringList &a, const QString &file, const QByteArray &old,
                      const std::function<void(const QByteArray &)> &check)
    {
        QElapsedTimer t;
        t.start();
        ASSERT_EQ(run(a).exitCode, 0);
        const int span = int(t.elapsed()) * 6 / 5 + 1;
        std::mt19937 random(52);
        for (int round = 0; round < 100; ++round) {
            SCOPED_TRACE(round);
            ASSERT_TRUE(putFile(file, old));
            QProcess p;
            p.start(exe, a);
            ASSERT_TRUE(p.waitForStarted());
            std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, span)(random)));
            p.kill();
            p.waitForFinished();
            check(fileBytes(file));
        }
    }

    QString exe, templ;
    QTemporaryDir dir;
    const QByteArray old = QByteArrayLiteral("the user's old file\n");
};

bool wholePdf(const QByteArray &pdf)
{
    const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("startxref\\s+(\\d+)\\s+%%EOF\\s*$")).match(QString::fromLatin1(pdf));
    return pdf.startsWith("%PDF") && m.hasMatch() && pdf.mid(m.captured(1).toLongLong(), 4) == "xref";
}

}  // namespace

TEST_F(LyrRunFilesTest, APrintFileThatCannotBeWrittenEndsWithAnErrorLine)
{
    const QString nowhere = dir.filePath(QStringLiteral("no/such/dir/out.pdf"));
    const Run r = run(args(QStringLiteral("--print-to-file"), nowhere));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(nowhere)) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("QPainter"))) << r.err.toStdString();
    const Run lp3 = run(args(QStringLiteral("--lp3"), nowhere));
    EXPECT_EQ(lp3.exitCode, 1);
    EXPECT_TRUE(lp3.err.contains(nowhere)) << lp3.err.toStdString();
}

TEST_F(LyrRunFilesTest, AFullDiskKeepsTheOldFileAndEndsWithAnErrorLine)
{
    rows(300);
    for (const QString option : {QStringLiteral("--print-to-file"), QStringLiteral("--lp3")}) {
        SCOPED_TRACE(option.toStdString());
        const QString file = dir.filePath(QStringLiteral("out.file"));
        // Under the size of the buffers and beyond it.
        for (rlim_t limit : {rlim_t(512), rlim_t(6000)}) {
            ASSERT_TRUE(putFile(file, old));
            const Run r = run(args(option, file), limit);
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_TRUE(r.err.contains(file)) << r.err.toStdString();
            EXPECT_EQ(fileBytes(file), old);
            EXPECT_EQ(filesIn(dir.path()), (QStringList{"base.xml", "out.file", "rows.csv"}));
        }
        ASSERT_EQ(run(args(option, file)).exitCode, 0);
        EXPECT_GT(fileBytes(file).size(), 6000);
    }
}

TEST_F(LyrRunFilesTest, KilledRunsLeaveTheOldOrTheNewFileWhole)
{
    rows(3000);
    const QString lp3 = dir.filePath(QStringLiteral("out.lp3")), pdf = dir.filePath(QStringLiteral("out.pdf"));
    ASSERT_EQ(run(args(QStringLiteral("--lp3"), lp3)).exitCode, 0);
    const QByteArray newLp3 = fileBytes(lp3);
    killAtRandom(args(QStringLiteral("--lp3"), lp3), lp3, old,
                 [&](const QByteArray &now) { EXPECT_TRUE(now == old || now == newLp3) << now.size(); });
    ASSERT_EQ(run(args(QStringLiteral("--print-to-file"), pdf)).exitCode, 0);
    // Two prints differ only in their creation time.
    const qsizetype newPdfSize = fileBytes(pdf).size();
    killAtRandom(args(QStringLiteral("--print-to-file"), pdf), pdf, old, [&](const QByteArray &now) {
        EXPECT_TRUE(now == old || (now.size() == newPdfSize && wholePdf(now))) << now.size();
    });
}

// A stop signal that comes while the runner saves a file ends the save:
// the old file stays and no part file is left beside it, whether the runner
// ends by itself with its error line (one signal) or at once (two).
TEST_F(LyrRunFilesTest, AStopSignalDuringASaveKeepsTheOldFileAndLeavesNoPart)
{
    rows(40000);
    const QString file = dir.filePath(QStringLiteral("out.file"));
    for (const QString option : {QStringLiteral("--lp3"), QStringLiteral("--print-to-file")})
        for (int signal : {SIGTERM, SIGINT, SIGHUP})
            for (int sent : {1, 2}) {
                SCOPED_TRACE(testing::Message() << option.toStdString() << " " << sent << " x " << signal);
                ASSERT_TRUE(putFile(file, old));
                QProcess p;
                p.start(exe, args(option, file));
                ASSERT_TRUE(p.waitForStarted());
                // The part file is there: the save is under way.
                bool saving = false;
                QElapsedTimer t;
                t.start();
                while (!saving && p.state() == QProcess::Running && t.elapsed() < 60000) {
                    for (const QString &name : filesIn(dir.path())) saving = saving || name.endsWith(u".part");
                    if (!saving) std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                ASSERT_TRUE(saving);
                for (int i = 0; i < sent; ++i) {
                    if (i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
                    ::kill(pid_t(p.processId()), signal);
                }
                if (!p.waitForFinished(60000)) {
                    p.kill();
                    p.waitForFinished();
                    FAIL() << "lyrrun did not stop";
                }
                if (sent == 1) {
                    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
                    EXPECT_EQ(p.exitCode(), 1);
                    const QString name = signal == SIGINT    ? QStringLiteral("SIGINT")
                                         : signal == SIGHUP ? QStringLiteral("SIGHUP")
                                                            : QStringLiteral("SIGTERM");
                    const QString err = QString::fromUtf8(p.readAllStandardError());
                    EXPECT_TRUE(err.contains(QStringLiteral("报表生成已中断（收到 %1）").arg(name))) << err.toStdString();
                }
                EXPECT_EQ(fileBytes(file), old);
                EXPECT_EQ(filesIn(dir.path()), (QStringList{"base.xml", "out.file", "rows.csv"}));
            }
}

// Whatever a shared folder holds, the runner's files replace only the file
// meant, and a refusal is an error line naming the file.
TEST_F(LyrRunFilesTest, OutputFilesReplaceOnlyTheFileMeant)
{
    // The template and its data readable by the other user.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    for (const QString option : {QStringLiteral("--lp3"), QStringLiteral("--print-to-file")}) {
        SCOPED_TRACE(option.toStdString());
        expectNoTrapCatches(option == QLatin1String("--lp3") ? QStringLiteral(".lp3") : QStringLiteral(".pdf"),
                            [&](const QString &target, bool asAnotherUser) {
                                const Run r = run(args(option, target), RLIM_INFINITY, asAnotherUser);
                                return WriteOutcome{r.exitCode == 0, r.err};
                            });
    }
}

// A pipe given as the template or as --data is refused at once, naming it;
// a prepared-pages file given as the template is said to be one.
TEST_F(LyrRunFilesTest, APipeOrAPreparedPagesFileIsNoInputToWaitOnOrToReadAsATemplate)
{
    const QString fifo = dir.filePath(QStringLiteral("pipe.xml"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString out = dir.filePath(QStringLiteral("out.lp3"));
    QStringList asTemplate = args(QStringLiteral("--lp3"), out);
    asTemplate[0] = fifo;
    QStringList asData = args(QStringLiteral("--lp3"), out);
    asData[2] = QStringLiteral("Rows=") + fifo;
    for (const QStringList &a : {asTemplate, asData}) {
        const Run r = run(a);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(fifo) && r.err.contains(QStringLiteral("不是普通文件"))) << r.err.toStdString();
    }
    ASSERT_EQ(run(args(QStringLiteral("--lp3"), out)).exitCode, 0);
    QStringList prepared = args(QStringLiteral("--dump"), QString());
    prepared[0] = out;
    prepared.removeLast();
    const Run r = run(prepared);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(out) && r.err.contains(QStringLiteral("报表页面文件"))) << r.err.toStdString();
}
