// The sweeps over every registered report class, with the engine's classes
// (the barcode view among them) registered too.
#include "report/lyrclassrtti.h"
#include "report/lyrdbset.h"
#include "report/lyrdmpclass.h"
#include "engine_fixture.h"
#include "report_sweeps.h"
#include "reportengine/lyrBarcode.h"
#include "reportengine/lyrengine.h"

#include <gtest/gtest.h>

namespace {

void registerAll()
{
    lyrRegisterClassRTTI();
    lyrRegisterDMPClasses();
    lyrInstallEngine();
    lyrRegisterBarcodeView();
}

TEST(LyrEngineClassSweeps, EveryPublishedEnumerationTakesItsConstantsInEveryLanguage)
{
    registerAll();
    QStringList paths;
    const QStringList failures = lyrsweep::lyrEnumConstantFailures(paths);
    for (const char *p : {"BarType", "BorderStyle", "WindowState"})
        EXPECT_TRUE(paths.contains(QLatin1String(p))) << p << ": " << paths.join(u' ').toStdString();
    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'\n').toStdString();
}

TEST(LyrEngineClassSweeps, EveryRegisteredClassLoadsBackTheSame)
{
    registerAll();
    lyrsweep::expectTemplatesLoadBackTheSame("TlyrBarCodeView");
}

// A report script limits a dataset of the program's to a count of records
// by the range constants, in every language.
class LyrScriptRangeTest : public EngineFixture {};

TEST_F(LyrScriptRangeTest, ARangeSetByConstantsLimitsTheRecords)
{
    for (const lyrsweep::ScriptDialect &d : lyrsweep::kDialects) {
        SCOPED_TRACE(d.Lang);
        newReport();
        auto *ds = new TlyrUserDataSet(report.get());
        ds->SetName(QStringLiteral("Rows"));
        ds->SetFields({QStringLiteral("N")});
        // Ten records of its own; the range may end it sooner.
        int asked = 0;
        ds->OnCheckEOF = [&asked](TlyrDataSet *set, bool &eof) { eof = eof || set->RecNo() >= 10 || ++asked > 100; };
        ds->OnGetValue = [ds](const QString &, KsValue &v) { v = KsValue(ds->RecNo()); };
        report->Datasets()->Add(ds);
        auto *master = band<TlyrMasterData>(QStringLiteral("MasterData1"), 0, 20);
        master->SetDataSet(ds);
        memo(master, QStringLiteral("M"), QStringLiteral("[Rows.\"N\"]"));
        QString text = QString::fromLatin1(d.Begin);
        text += QString::fromLatin1(d.Assign).arg(QStringLiteral("Rows.RangeBegin"), QStringLiteral("rbFirst"));
        text += QString::fromLatin1(d.Assign).arg(QStringLiteral("Rows.RangeEnd"), QStringLiteral("reCount"));
        text += QString::fromLatin1(d.Assign).arg(QStringLiteral("Rows.RangeEndCount"), QStringLiteral("3"));
        text += QString::fromLatin1(d.End);
        report->SetScriptLanguage(QString::fromLatin1(d.Lang));
        report->SetScriptText(text.split(u'\n'));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        QStringList printed;
        for (TlyrComponent *c : pages().GetPage(0)->AllObjects())
            if (auto *m = qobject_cast<TlyrCustomMemoView *>(c)) printed << m->GetText();
        EXPECT_EQ(printed, (QStringList{"0", "1", "2"}));
    }
}

}  // namespace
