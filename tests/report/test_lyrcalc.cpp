// Expressions through the script compiler.
#include "platform/db/db.h"
#include "report/lyrclass.h"
#include "report_test_objects.h"
#include "script/ks_iinterpreter.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class CalcTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestObjects();
        ASSERT_TRUE(dir.isValid());
        conn = vdb::Connection::create(dir.filePath(QStringLiteral("db.edb")), "k");
        conn->execute(QStringLiteral("CREATE TABLE L (theName VARCHAR(20), theCount MONEY, thePrice MONEY)"));
        conn->execute(QStringLiteral("INSERT INTO L (theName, theCount, thePrice) VALUES ('可乐', 2, 3.5)"));
        query = std::make_unique<vdb::Query>(conn.get());
        query->OpenSql(QStringLiteral("select * from L"));
        report.EngineOptions()->SetNewSilentMode(simSilent);
        auto *ds = new TlyrDBDataset(&report);
        ds->SetName(QStringLiteral("lyrDB_L"));
        ds->SetDataSet(query.get());
        report.Datasets()->Add(ds);
        report.Datasets()->Initialize();
        ds->First();
    }
    KsValue calc(const QString &language, const QString &expr)
    {
        report.SetScriptLanguage(language);
        if (!report.PrepareScript()) ADD_FAILURE() << report.Errors().join(QLatin1Char('\n')).toStdString();
        return report.Calc(expr);
    }
    QTemporaryDir dir;
    std::unique_ptr<vdb::Connection> conn;
    std::unique_ptr<vdb::Query> query;
    TlyrReport report;
};

}  // namespace

TEST_F(CalcTest, Table)
{
    struct Row {
        const char *expr;
        const char *text;
    };
    const Row rows[] = {
            {"lyrDB_L.\"theName\"", "可乐"},
            {"<lyrDB_L.\"theCount\"> + <lyrDB_L.\"thePrice\">", "5.5"},
            {"Format('%2.2n', [1234.5])", "1,234.50"},
            {"IIF(<lyrDB_L.\"theCount\"> > 1, 'many', 'one')", "many"},
            {"<Total> * 2", "6"},
            {"IIF(1 > 2, 'a', 'b')", "b"},
    };
    report.Variables()->SetVariable(QStringLiteral("Total"), QStringLiteral("1+2"));
    for (const Row &r : rows) {
        KsValue v;
        try {
            v = calc(QStringLiteral("PascalScript"), QString::fromUtf8(r.expr));
        } catch (const ElyrError &e) {
            ADD_FAILURE() << r.expr << ": " << e.Message().toStdString();
            continue;
        }
        EXPECT_EQ(v.ToText(), QString::fromUtf8(r.text)) << r.expr;
    }
    EXPECT_TRUE(report.Errors().isEmpty()) << report.Errors().join(QLatin1Char('\n')).toStdString();
}

TEST_F(CalcTest, WorksBeforeTheFirstPreparation)
{
    report.SetScriptLanguage(QStringLiteral("JScript"));
    EXPECT_EQ(report.Calc(QStringLiteral("1 + 1")).ToInt(), 2);
}

TEST_F(CalcTest, DateAndTime)
{
    ASSERT_TRUE(report.PrepareScript());
    ASSERT_EQ(report.Engine(), nullptr);  // no engine: Date and Time are Null
    EXPECT_TRUE(report.Calc(QStringLiteral("<Date>")).IsNull());
}

TEST_F(CalcTest, FourLanguagesEachCompiledOnce)
{
    const std::pair<const char *, QStringList> languages[] = {
            {"PascalScript", {QStringLiteral("begin"), QStringLiteral("end.")}},
            {"C++Script", {QStringLiteral("{"), QStringLiteral("}")}},
            {"BasicScript", {}},
            {"JScript", {}},
    };
    for (const auto &[lang, text] : languages) {
        report.SetScriptLanguage(QString::fromLatin1(lang));
        report.SetScriptText(text);
        ASSERT_TRUE(report.PrepareScript()) << lang << report.Errors().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(report.Calc(QStringLiteral("1 + 2 * 3")).ToInt(), 7) << lang;
        EXPECT_EQ(report.Calc(QStringLiteral("1 + 2 * 3")).ToInt(), 7) << lang;
        EXPECT_EQ(report.Calc(QStringLiteral("<lyrDB_L.\"theCount\"> * 10")).ToDouble(), 20) << lang;
        EXPECT_EQ(report.ExpressionCache()->CompileCount(), 2) << lang;
    }
}

TEST_F(CalcTest, ScriptErrorsAndEvents)
{
    report.SetScriptText({QStringLiteral("var Hits: Integer;"), QStringLiteral("procedure Hit(Sender: Variant);"),
                          QStringLiteral("begin"), QStringLiteral("  Hits := Hits + 1;"),
                          QStringLiteral("  Set('Who', 'x');"), QStringLiteral("end;"), QStringLiteral("begin"),
                          QStringLiteral("end.")});
    ASSERT_TRUE(report.PrepareScript()) << report.Errors().join(QLatin1Char('\n')).toStdString();
    report.DoNotifyEvent(&report, QStringLiteral("Hit"), true);
    report.DoNotifyEvent(&report, QStringLiteral("Hit"));  // not running: ignored
    EXPECT_EQ(report.Calc(QStringLiteral("Hits")).ToInt(), 1);
    EXPECT_EQ(report.Variables()->Variables(QStringLiteral("Who")).toString(), QStringLiteral("x"));

    EXPECT_THROW(report.Calc(QStringLiteral("1 +")), ElyrError);
    ASSERT_EQ(report.Errors().size(), 1);
    EXPECT_TRUE(report.Errors().first().startsWith(QStringLiteral("Error in expression '1 +': ")));

    // An error while it runs names the object and the expression too, once
    // also when it comes from an expression inside it.
    report.ClearErrors();
    report.CurObject = QStringLiteral("Memo12");
    EXPECT_THROW(report.Calc(QStringLiteral("1 div 0")), ElyrError);
    report.Variables()->SetVariable(QStringLiteral("Broken"), QStringLiteral("2 div 0"));
    EXPECT_THROW(report.Calc(QStringLiteral("Get('Broken') + 1")), ElyrError);
    EXPECT_EQ(report.Errors(), (QStringList{QStringLiteral("Memo12: Error in expression '1 div 0': Division by zero"),
                                            QStringLiteral("Memo12: Error in expression '2 div 0': Division by zero")}));
    report.CurObject.clear();
    report.ClearErrors();

    report.SetScriptText({QStringLiteral("begin"), QStringLiteral("  x := ;"), QStringLiteral("end.")});
    EXPECT_FALSE(report.PrepareScript());
    EXPECT_TRUE(report.Errors().last().startsWith(QStringLiteral("Script error at 2:")))
            << report.Errors().join(QLatin1Char('\n')).toStdString();
}

// A report's script and expression errors read the resource table's texts.
TEST_F(CalcTest, CompilerErrorsUseTheResourceTexts)
{
    report.SetScriptText({QStringLiteral("var s: String;"), QStringLiteral("begin"), QStringLiteral("  s.Size := 1;"),
                          QStringLiteral("end.")});
    EXPECT_FALSE(report.PrepareScript());
    EXPECT_EQ(report.Errors().last(), QStringLiteral("Script error at 3:3: Strings do not have properties or methods"));
    report.ClearErrors();
    report.SetScriptText({QStringLiteral("begin"), QStringLiteral("end.")});
    ASSERT_TRUE(report.PrepareScript());
    EXPECT_THROW(report.Calc(QStringLiteral("Nope + 1")), ElyrError);
    EXPECT_EQ(report.Errors(),
              QStringList{QStringLiteral("Error in expression 'Nope + 1': Undeclared identifier: 'Nope'")});
}

TEST_F(CalcTest, ExpressionsFollowTheReportLanguageBeforePreparation)
{
    EXPECT_EQ(report.Calc(QStringLiteral("7 + 4")).ToInt(), 11);  // PascalScript
    QBuffer b;
    b.setData("<?xml version=\"1.0\"?><TlyrReport ScriptLanguage=\"JScript\"/>");
    b.open(QIODevice::ReadOnly);
    report.LoadFromStream(b);
    ASSERT_EQ(report.ScriptLanguage(), QStringLiteral("JScript"));
    EXPECT_EQ(report.Calc(QStringLiteral("7 % 4")).ToInt(), 3);
    report.SetScriptLanguage(QStringLiteral("PascalScript"));
    EXPECT_EQ(report.Calc(QStringLiteral("7 mod 4")).ToInt(), 3);
    EXPECT_THROW(report.Calc(QStringLiteral("7 % 4")), ElyrError);
}
