// Report objects a report script makes with Create(AOwner), in every
// language: they belong to their owner, print with it and go with it; a
// run-time error that ends a build names where it was raised; and a build
// is one run for the script's memory budget.
#include "engine_fixture.h"

#include "report/lyrdbset.h"
#include "script/ks_budget.h"

#include <QPointer>

namespace {

struct LangScript {
    const char *Lang;
    const char *Text;
};

// A memo on the title, a master band of two rows with a memo on the page,
// a user dataset on the report; enumeration constants and published
// properties set as a template's objects take them.
const LangScript kMakers[] = {
        {"PascalScript",
         "var m, r: TlyrMemoView; b: TlyrMasterData; d: TlyrUserDataSet;\n"
         "begin\n"
         "  m := TlyrMemoView.Create(ReportTitle1);\n"
         "  m.SetBounds(0, 0, 200, 20); m.Text := 'made'; m.HAlign := haRight;\n"
         "  b := TlyrMasterData.Create(Page1);\n"
         "  b.SetBounds(0, 40, 718, 20); b.RowCount := 2;\n"
         "  r := TlyrMemoView.Create(b);\n"
         "  r.SetBounds(0, 0, 100, 20); r.Text := 'row'; r.Name := 'Made2';\n"
         "  d := TlyrUserDataSet.Create(Report); d.UserName := 'Extra';\n"
         "  if m.Owner <> ReportTitle1 then m.Text := 'wrong owner';\n"
         "end."},
        {"C++Script",
         "TlyrMemoView m, r; TlyrMasterData b; TlyrUserDataSet d;\n"
         "{\n"
         "  m = TlyrMemoView.Create(ReportTitle1);\n"
         "  m.SetBounds(0, 0, 200, 20); m.Text = \"made\"; m.HAlign = haRight;\n"
         "  b = new TlyrMasterData(Page1);\n"
         "  b.SetBounds(0, 40, 718, 20); b.RowCount = 2;\n"
         "  r = TlyrMemoView.Create(b);\n"
         "  r.SetBounds(0, 0, 100, 20); r.Text = \"row\"; r.Name = \"Made2\";\n"
         "  d = TlyrUserDataSet.Create(Report); d.UserName = \"Extra\";\n"
         "  if (m.Owner != ReportTitle1) m.Text = \"wrong owner\";\n"
         "}"},
        {"BasicScript",
         "Dim m, r, b, d\n"
         "m = TlyrMemoView.Create(ReportTitle1)\n"
         "m.SetBounds(0, 0, 200, 20)\nm.Text = \"made\"\nm.HAlign = haRight\n"
         "b = New TlyrMasterData(Page1)\n"
         "b.SetBounds(0, 40, 718, 20)\nb.RowCount = 2\n"
         "r = TlyrMemoView.Create(b)\n"
         "r.SetBounds(0, 0, 100, 20)\nr.Text = \"row\"\nr.Name = \"Made2\"\n"
         "d = TlyrUserDataSet.Create(Report)\nd.UserName = \"Extra\"\n"
         "If m.Owner <> ReportTitle1 Then m.Text = \"wrong owner\"\n"},
        {"JScript",
         "var m = TlyrMemoView.Create(ReportTitle1);\n"
         "m.SetBounds(0, 0, 200, 20); m.Text = \"made\"; m.HAlign = haRight;\n"
         "var b = new TlyrMasterData(Page1);\n"
         "b.SetBounds(0, 40, 718, 20); b.RowCount = 2;\n"
         "var r = TlyrMemoView.Create(b);\n"
         "r.SetBounds(0, 0, 100, 20); r.Text = \"row\"; r.Name = \"Made2\";\n"
         "var d = TlyrUserDataSet.Create(Report); d.UserName = \"Extra\";\n"
         "if (m.Owner != ReportTitle1) m.Text = \"wrong owner\";\n"},
};

class ScriptObjectsTest : public EngineFixture {
protected:
    void prepare(const char *lang, const QString &text)
    {
        newReport();
        band<TlyrReportTitle>(QStringLiteral("ReportTitle1"), 0, 20);
        report->SetScriptLanguage(QString::fromLatin1(lang));
        report->SetScriptText(text.split(u'\n'));
        // The template comes back after each run: what the script made is
        // seen while the run is on.
        report->EngineOptions()->SetRestoreTemplate(false);
    }
};

TEST_F(ScriptObjectsTest, ObjectsMadeByAScriptBelongToTheirOwnerInEveryLanguage)
{
    for (const LangScript &l : kMakers) {
        SCOPED_TRACE(l.Lang);
        prepare(l.Lang, QString::fromLatin1(l.Text));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        EXPECT_EQ(texts(0), (QStringList{"made", "row", "row"}));
        auto *title = report->FindObject(QStringLiteral("ReportTitle1"));
        ASSERT_NE(title, nullptr);
        ASSERT_EQ(title->Objects().size(), 1);
        auto *made = qobject_cast<TlyrMemoView *>(title->Objects().first());
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->HAlign(), int(haRight));
        QPointer<TlyrComponent> row = report->FindObject(QStringLiteral("Made2"));
        ASSERT_FALSE(row.isNull());
        auto *rows = qobject_cast<TlyrMasterData *>(row->Parent());
        ASSERT_NE(rows, nullptr);
        EXPECT_EQ(rows->Parent(), page);
        QPointer<TlyrDataSet> extra;
        for (TlyrComponent *c : report->Objects())
            if (auto *ds = qobject_cast<TlyrDataSet *>(c); ds && ds->UserName() == QLatin1String("Extra")) extra = ds;
        EXPECT_FALSE(extra.isNull());
        // Freed with the owner.
        delete rows;
        EXPECT_TRUE(row.isNull());
        newReport();
        EXPECT_TRUE(extra.isNull());
    }
}

TEST_F(ScriptObjectsTest, AnObjectMadeWhileTheReportIsBuiltPrintsWithItsBand)
{
    for (const char *lang : {"PascalScript", "JScript"}) {
        SCOPED_TRACE(lang);
        prepare(lang, QString::fromLatin1(qstrcmp(lang, "JScript") == 0
                                                  ? "function Title(Sender) {\n"
                                                    "  var m = TlyrMemoView.Create(Sender);\n"
                                                    "  m.SetBounds(0, 0, 100, 20); m.Text = \"late\";\n"
                                                    "}\n"
                                                  : "procedure Title(Sender: TObject);\nvar m: TlyrMemoView;\n"
                                                    "begin\n  m := TlyrMemoView.Create(ReportTitle1);\n"
                                                    "  m.SetBounds(0, 0, 100, 20); m.Text := 'late';\nend;\n"
                                                    "begin\nend."));
        report->EngineOptions()->SetRestoreTemplate(true);
        report->FindObject(QStringLiteral("ReportTitle1"))->setProperty("OnBeforePrint", QStringLiteral("Title"));
        ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
        EXPECT_EQ(texts(0), QStringList{QStringLiteral("late")});
        // The template is put back as it was.
        EXPECT_TRUE(report->FindObject(QStringLiteral("ReportTitle1"))->Objects().isEmpty());
    }
}

TEST_F(ScriptObjectsTest, ANilOwnerLeavesTheObjectToTheRun)
{
    prepare("PascalScript", QStringLiteral("var m: TlyrMemoView;\nbegin\n  m := TlyrMemoView.Create(nil);\n"
                                           "  m.Text := 'loose';\nend."));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    EXPECT_TRUE(texts(0).isEmpty());
    EXPECT_EQ(report->FindObject(QStringLiteral("ReportTitle1"))->Objects().size(), 0);
}

TEST_F(ScriptObjectsTest, ARunTimeErrorThatEndsTheBuildNamesItsLineAndColumn)
{
    // In the main block, and in an event the engine runs.
    prepare("PascalScript", QStringLiteral("var m: TlyrMemoView;\nbegin\n  m := nil;\n  m.Text := 'x';\nend."));
    EXPECT_FALSE(report->PrepareReport());
    ASSERT_EQ(report->Errors().size(), 1);
    EXPECT_TRUE(report->Errors().first().contains(QStringLiteral("4:3"))) << report->Errors().first().toStdString();

    prepare("PascalScript", QStringLiteral("procedure Title(Sender: TObject);\nvar L: TStringList;\nbegin\n"
                                           "  L := TStringList.Create;\n  L.Free;\n  L.Add('x');\nend;\nbegin\nend."));
    report->FindObject(QStringLiteral("ReportTitle1"))->setProperty("OnBeforePrint", QStringLiteral("Title"));
    EXPECT_FALSE(report->PrepareReport());
    ASSERT_FALSE(report->Errors().isEmpty());
    EXPECT_TRUE(report->Errors().join(u'\n').contains(QStringLiteral("6:3"))) << report->Errors().join(u'\n').toStdString();
}

TEST_F(ScriptObjectsTest, ABuildIsOneRunForTheMemoryBudget)
{
    struct Lowered {
        Lowered() { ksSetRunBudget(qint64(48) << 20); }
        ~Lowered() { ksSetRunBudget(ksMaxRunBytes); }
    } lowered;
    // The main block keeps 32 MB; the title's event asks 32 MB more.
    prepare("PascalScript",
            QStringLiteral("var Keep, More: Variant;\n"
                           "procedure Title(Sender: TObject);\n"
                           "begin\n"
                           "  try More := VarArrayCreate([0, 999999], varVariant); Memo1.Text := 'room';\n"
                           "  except Memo1.Text := ExceptionClassName; end;\n"
                           "end;\n"
                           "begin\n"
                           "  Keep := VarArrayCreate([0, 999999], varVariant);\n"
                           "end."));
    auto *title = qobject_cast<TlyrBand *>(report->FindObject(QStringLiteral("ReportTitle1")));
    ASSERT_NE(title, nullptr);
    memo(title, QStringLiteral("Memo1"), QStringLiteral("none"));
    title->setProperty("OnBeforePrint", QStringLiteral("Title"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    EXPECT_EQ(texts(0), QStringList{QStringLiteral("EOutOfMemory")});
}

// An object a band's event makes stays in the band: every later output of
// the band prints it too, and those printed copies are the build's memory,
// so that a script adding one per record stops at the run's budget with an
// error line instead of growing without end.
TEST_F(ScriptObjectsTest, PrintedCopiesOfObjectsMadePerRecordCountTowardsTheBudget)
{
    const QString text = QStringLiteral("procedure Rec(Sender: TObject);\nvar m: TlyrMemoView;\nbegin\n"
                                        "  m := TlyrMemoView.Create(MasterData1);\n"
                                        "  m.SetBounds(0, 0, 100, 20); m.Text := 'made';\nend;\nbegin\nend.");
    auto rows = [&](int count) {
        prepare("PascalScript", text);
        auto *master = band<TlyrMasterData>(QStringLiteral("MasterData1"), 40, 20);
        master->SetRowCount(count);
        master->setProperty("OnBeforePrint", QStringLiteral("Rec"));
    };
    rows(3);
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    EXPECT_EQ(texts(0), QStringList(6, QStringLiteral("made")));

    struct Lowered {
        Lowered() { ksSetRunBudget(qint64(8) << 20); }
        ~Lowered() { ksSetRunBudget(ksMaxRunBytes); }
    } lowered;
    // 300 records would print 45,150 copies.
    rows(300);
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_TRUE(report->Errors().join(u'\n').contains(QStringLiteral("Out of memory: the script holds more than 8 MB")))
            << report->Errors().join(u'\n').toStdString();
}

}  // namespace
