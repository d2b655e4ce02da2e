// The runner's CSV data and dump under hostile input: a file costs about
// its own size however it is cut into rows and fields, running out of memory
// while reading ends in an error line, and a NUL byte in a field ends no
// dump.

#include "child_cost.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

struct Outcome {
    int ExitCode = -1;  // -1 when it did not end by itself
    qint64 PeakKb = 0;
    double Seconds = 0;
    QByteArray Out, Err;
};

class LyrRunDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        exe = QStringLiteral(VELMORA_BINARY_DIR) + QStringLiteral("/bin/lyrrun");
        if (!QFile::exists(exe)) GTEST_SKIP() << "lyrrun not built";
        ASSERT_TRUE(dir.isValid());
    }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        EXPECT_EQ(f.write(bytes), bytes.size());
        return path;
    }
    // The file written by chunks from make(i) until it holds size bytes.
    QString writeGrown(const QString &name, const QByteArray &head, qint64 size,
                       const std::function<QByteArray(int)> &make, const QByteArray &tail = QByteArray())
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(head);
        QByteArray block;
        for (int i = 0; f.size() + block.size() < size; ++i) {
            block += make(i);
            if (block.size() > (1 << 20)) {
                f.write(block);
                block.clear();
            }
        }
        f.write(block);
        f.write(tail);
        return path;
    }
    // Runs lyrrun in a child of its own, with at most addressSpace bytes
    // of address space when given: its exit code, output and peak size.
    Outcome run(const QStringList &args, rlim_t addressSpace = 0)
    {
        std::vector<QByteArray> bytes{exe.toLocal8Bit()};
        for (const QString &a : args) bytes.push_back(a.toLocal8Bit());
        std::vector<char *> argv;
        for (QByteArray &b : bytes) argv.push_back(b.data());
        argv.push_back(nullptr);
        const QByteArray outPath = dir.filePath(QStringLiteral("out.txt")).toLocal8Bit(),
                         errPath = dir.filePath(QStringLiteral("err.txt")).toLocal8Bit();
        const pid_t pid = fork();
        if (pid == 0) {
            if (addressSpace) {
                const rlimit lim{addressSpace, addressSpace};
                setrlimit(RLIMIT_AS, &lim);
            }
            const int out = open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(out, 1);
            dup2(err, 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        Outcome r;
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) != pid) return r;
        // Processor time: a busy machine stretches the clock, not the work.
        r.Seconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                    double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        r.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.PeakKb = usage.ru_maxrss;
        QFile out(QString::fromLocal8Bit(outPath)), err(QString::fromLocal8Bit(errPath));
        if (out.open(QIODevice::ReadOnly)) r.Out = out.readAll();
        if (err.open(QIODevice::ReadOnly)) r.Err = err.readAll();
        return r;
    }
    // A template printing a row per record of Rows, its fields N and Note.
    QString rowsTemplate()
    {
        return write(QStringLiteral("rows.xml"),
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport><TlyrReportPage Name=\"Page1\" "
                     "PaperWidth=\"210\" PaperHeight=\"297\"><TlyrMasterData Name=\"MasterData1\" Left=\"0\" "
                     "Top=\"20\" Width=\"718\" Height=\"20\" DataSet=\"Rows\"><TlyrMemoView Name=\"Memo1\" "
                     "Left=\"0\" Top=\"0\" Width=\"400\" Height=\"20\" "
                     "Text=\"row [Rows.&#34;N&#34;] [Rows.&#34;Note&#34;]\"/></TlyrMasterData>"
                     "</TlyrReportPage></TlyrReport>");
    }
    // A template that prints only the first record's name: its data is read
    // whole but hardly printed.
    QString firstRowTemplate()
    {
        return write(QStringLiteral("first.xml"),
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport><TlyrReportPage Name=\"Page1\" "
                     "PaperWidth=\"210\" PaperHeight=\"297\"><TlyrReportTitle Name=\"ReportTitle1\" Left=\"0\" "
                     "Top=\"0\" Width=\"718\" Height=\"20\"><TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" "
                     "Width=\"200\" Height=\"20\" Text=\"[Rows.&#34;N&#34;]\"/></TlyrReportTitle></TlyrReportPage>"
                     "</TlyrReport>");
    }
    // A page over the dataset "Customers" whose title prints the fields.
    QString statementTemplate(const char *fields)
    {
        return write(
                QStringLiteral("statement.xml"),
                QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<TlyrReport>"
                           "<TlyrReportPage Name=\"Page1\" PaperWidth=\"210\" PaperHeight=\"297\" "
                           "DataSetName=\"Customers\">"
                           "<TlyrReportTitle Name=\"ReportTitle1\" Left=\"0\" Top=\"0\" Width=\"718\" Height=\"20\">"
                           "<TlyrMemoView Name=\"Memo1\" Left=\"0\" Top=\"0\" Width=\"400\" Height=\"20\" Text=\"") +
                        fields + "\"/></TlyrReportTitle></TlyrReportPage></TlyrReport>");
    }
    // The dumped memo texts, in order.
    static QList<QByteArray> memoTexts(const QByteArray &dump)
    {
        QList<QByteArray> out;
        for (const QByteArray &line : dump.split('\n'))
            if (line.startsWith("TlyrMemoView ")) out << line.split(' ').mid(6).join(' ');
        return out;
    }

    QString exe;
    QTemporaryDir dir;
};

// The file's bytes as its records, however cut: rows per line break of any
// kind, quotes doubled or spanning lines, blank lines, a byte order mark,
// short and long rows, a column named twice; also where a quote pair or a
// CR LF falls between two blocks the file is read in.
TEST_F(LyrRunDataTest, CsvRecordsAreReadAsTheyStand)
{
    const QString templ = rowsTemplate();
    const struct {
        const char *Name;
        QByteArray Csv;
        QList<QByteArray> Rows;
    } cases[] = {
            {"line breaks of every kind", "N,Note\rr1,a\r\nr2,b\n\nr3,c\r\r\n", {"row r1 a", "row r2 b", "row r3 c"}},
            {"quotes",
             "\xEF\xBB\xBFN,Note\r\n\"r,1\",\"say \"\"hi\"\"\"\r\n\"\",\"\"\n",
             {"row r,1 say \"hi\"", "row  "}},
            {"short and long rows, a name twice", "N,Note,N\nr1\nr2,b,c,d\n", {"row r1 ", "row r2 b"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        const Outcome r = run({templ, QStringLiteral("--dump"), QStringLiteral("--data"),
                               QStringLiteral("Rows=") + write(QStringLiteral("rows.csv"), c.Csv)});
        EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
        EXPECT_EQ(memoTexts(r.Out), c.Rows) << r.Out.toStdString();
    }
    // The first block ends inside a doubled quote, the second inside CR LF.
    const qsizetype block = 1 << 20;
    QByteArray csv = "N,Note\nr1,\"";
    csv += QByteArray(block - csv.size() - 1, 'x') + "\"\"y\"\nr2,";
    const qsizetype zs = 2 * block - 1 - csv.size();
    csv += QByteArray(zs, 'z') + "\r\nr3,w\n";
    ASSERT_EQ(csv.indexOf('\r'), 2 * block - 1);
    const Outcome r = run({templ, QStringLiteral("--dump"), QStringLiteral("--data"),
                           QStringLiteral("Rows=") + write(QStringLiteral("blocks.csv"), csv)});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    const QList<QByteArray> rows = memoTexts(r.Out);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_TRUE(rows[0].endsWith("xx\"y")) << rows[0].right(20).toStdString();
    EXPECT_EQ(rows[1], "row r2 " + QByteArray(zs, 'z'));
    EXPECT_EQ(rows[2], "row r3 w");
}

// However a file is cut, reading it costs about twice its size: many
// short rows, one row of commas (as data or as the header), one quoted
// field of line breaks; ten times the file, about ten times the time.
TEST_F(LyrRunDataTest, ACsvFileCostsAboutItsSize)
{
    const QString templ = firstRowTemplate();
    const Outcome base = run(
            {templ, QStringLiteral("--data"), QStringLiteral("Rows=") + write(QStringLiteral("base.csv"), "N,Note\n")});
    ASSERT_EQ(base.ExitCode, 0) << base.Err.toStdString();
    const struct {
        const char *Name;
        QByteArray Head;
        std::function<QByteArray(int)> Make;
        QByteArray Tail;
    } cases[] = {
            {"short rows", "N,Note\n", [](int i) { return QByteArray::number(i % 100000) + ",ab\n"; }, {}},
            {"one row of commas", "N,Note\n", [](int) { return QByteArray(4096, ','); }, "\n"},
            {"a header of commas", "N", [](int) { return QByteArray(4096, ','); }, "\n"},
            {"a quoted field of line breaks", "N,Note\nr1,\"", [](int) { return QByteArray(4096, '\n'); }, "\"\n"},
    };
    const qint64 small = 3 << 20, big = 10 * small;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Name);
        double seconds[2] = {};
        for (int k = 0; k < 2; ++k) {
            const qint64 size = k ? big : small;
            const QString csv = writeGrown(QStringLiteral("data.csv"), c.Head, size, c.Make, c.Tail);
            // The faster of two runs: the machine may be busy.
            Outcome r = run({templ, QStringLiteral("--data"), QStringLiteral("Rows=") + csv});
            const Outcome again = run({templ, QStringLiteral("--data"), QStringLiteral("Rows=") + csv});
            ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
            seconds[k] = std::min(r.Seconds, again.Seconds);
            // A sanitizer's own bookkeeping of memory would count too.
            if (k == 1 && !kSanitized) {
                const qint64 fileKb = QFileInfo(csv).size() / 1024;
                EXPECT_LT(std::max(r.PeakKb, again.PeakKb) - base.PeakKb, 2 * fileKb + 8 * 1024)
                        << "file " << fileKb << " KB, base " << base.PeakKb << " KB";
            }
        }
        EXPECT_LT(seconds[1] / std::max(seconds[0], 0.05), 30) << seconds[0] << " s, then " << seconds[1] << " s";
    }
}

// A file that never ends (a device of zeros) fills the memory given: the
// runner ends with an error line naming it, exit 1, not with an abort.
TEST_F(LyrRunDataTest, RunningOutOfMemoryWhileReadingEndsInAnErrorLine)
{
    if (kSanitized) GTEST_SKIP() << "a sanitizer reserves address space of its own";
    const Outcome r =
            run({firstRowTemplate(), QStringLiteral("--data"), QStringLiteral("Rows=/dev/zero")}, rlim_t(1) << 30);
    EXPECT_EQ(r.ExitCode, 1) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(QStringLiteral("内存不足，/dev/zero 未能读完").toUtf8())) << r.Err.toStdString();
}

// A field holding a NUL byte is dumped whole, and the rows after it too.
TEST_F(LyrRunDataTest, ANulByteInAFieldEndsNoDump)
{
    const QString csv = write(QStringLiteral("nul.csv"), QByteArray("N,Note\nr1,a\0b\nr2,c\n", 19));
    const Outcome r =
            run({rowsTemplate(), QStringLiteral("--dump"), QStringLiteral("--data"), QStringLiteral("Rows=") + csv});
    EXPECT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(memoTexts(r.Out), (QList<QByteArray>{QByteArray("row r1 a\0b", 10), "row r2 c"})) << r.Out.toStdString();
}

}  // namespace

// A report page over a CSV file's dataset runs once per record (one
// statement per customer, each on a page of its own).
TEST_F(LyrRunDataTest, APageOverCsvDataRunsOncePerRecord)
{
    QByteArray csv = "Name,Owed\n";
    QList<QByteArray> expected;
    for (int i = 1; i <= 8; ++i) {
        csv += QStringLiteral("c%1,%2\n").arg(i).arg(i * 10).toLatin1();
        expected << QStringLiteral("statement c%1 %2").arg(i).arg(i * 10).toLatin1();
    }
    const Outcome r = run({statementTemplate("statement [Customers.&#34;Name&#34;] [Customers.&#34;Owed&#34;]"),
                           QStringLiteral("--dump"), QStringLiteral("--data"),
                           QStringLiteral("Customers=") + write(QStringLiteral("customers.csv"), csv)});
    ASSERT_EQ(r.ExitCode, 0) << r.Err.toStdString();
    EXPECT_EQ(memoTexts(r.Out), expected) << r.Out.toStdString();
}

// A field the file has no column for (a misspelt name) ends the run with
// an error line naming it, as a query missing the column does.
TEST_F(LyrRunDataTest, AFieldTheFileLacksEndsWithAnErrorNamingIt)
{
    const Outcome r =
            run({statementTemplate("[Customers.&#34;Name&#34;] [Customers.&#34;Owd&#34;]"), QStringLiteral("--data"),
                 QStringLiteral("Customers=") + write(QStringLiteral("customers.csv"), "Name,Owed\nc1,10\n")});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_TRUE(r.Err.contains("Field not found")) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains("Customers.\"Owd\"")) << r.Err.toStdString();
}
