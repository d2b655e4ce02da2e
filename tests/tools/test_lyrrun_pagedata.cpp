// A report page that runs once per record of a CSV file given with --data
// (one statement per customer), and a template reading a field the file has
// no column for: that ends with an error line naming the field, as a query
// missing the column does.

#include "lyrrun_process.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class LyrRunPageDataTest : public ::testing::Test {
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
        f.write(bytes);
        return path;
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
    QString exe;
    QTemporaryDir dir;
};

}  // namespace

TEST_F(LyrRunPageDataTest, APageOverCsvDataRunsOncePerRecord)
{
    QByteArray csv = "Name,Owed\n";
    QStringList expected;
    for (int i = 1; i <= 8; ++i) {
        csv += QStringLiteral("c%1,%2\n").arg(i).arg(i * 10).toLatin1();
        expected << QStringLiteral(" statement c%1 %2\n").arg(i).arg(i * 10);
    }
    const QString data = write(QStringLiteral("customers.csv"), csv);
    const RunResult r =
            runLyrrun(exe,
                      {statementTemplate("statement [Customers.&#34;Name&#34;] [Customers.&#34;Owed&#34;]"),
                       QStringLiteral("--dump"), QStringLiteral("--data"), QStringLiteral("Customers=") + data},
                      120000);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Every customer's statement once, each on a page of its own.
    for (const QString &line : std::as_const(expected)) EXPECT_EQ(r.out.count(line), 1) << r.out.toStdString();
    EXPECT_EQ(r.out.count(QStringLiteral(" statement ")), expected.size()) << r.out.toStdString();
}

TEST_F(LyrRunPageDataTest, AFieldTheFileLacksEndsWithAnErrorNamingIt)
{
    const QString data = write(QStringLiteral("customers.csv"), "Name,Owed\nc1,10\nc2,20\n");
    const RunResult r = runLyrrun(exe,
                                  {statementTemplate("[Customers.&#34;Name&#34;] [Customers.&#34;Owd&#34;]"),
                                   QStringLiteral("--data"), QStringLiteral("Customers=") + data},
                                  120000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Field not found"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Customers.\"Owd\""))) << r.err.toStdString();
}
