// Report classes as report scripts see them.
#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrclassrtti.h"
#include "report/lyrcontracts.h"
#include "report/lyrdbset.h"
#include "report/lyrdialogpage.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"
#include "report/lyrview.h"
#include "drawing_test_helpers.h"
#include "report_sweeps.h"
#include "report_test_objects.h"
#include "script/ks_iinterpreter.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

class ClassRTTITest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lyrRegisterClassRTTI();
        report = std::make_unique<TlyrReport>();
        report->EngineOptions()->SetNewSilentMode(simSilent);
        auto *data = new TlyrDataPage(report.get());
        data->SetName(QStringLiteral("Data"));
        ds = new TlyrUserDataSet(data);
        ds->SetName(QStringLiteral("Goods"));
        ds->SetFields({QStringLiteral("GoodsCode"), QStringLiteral("Price")});
        report->Datasets()->Add(ds);
        auto *page = new TlyrReportPage(report.get());
        page->SetName(QStringLiteral("Page1"));
        memo = new TlyrMemoView(page);
        memo->SetName(QStringLiteral("Memo1"));
        memo->SetMemo({QStringLiteral("one"), QStringLiteral("two")});
        TlyrStyleItem *style = report->Styles()->Add();
        report->Styles()->SetName(style, QStringLiteral("Title"));
        lyrGlobalVariables().Clear();
    }
    void TearDown() override { lyrGlobalVariables().Clear(); }

    KsValue calc(const QString &expr)
    {
        if (!prepared) {
            EXPECT_TRUE(report->PrepareScript()) << report->Errors().join(u'\n').toStdString();
            prepared = true;
        }
        return report->Calc(expr);
    }

    // Runs a PascalScript program on the report's objects; the error text
    // of a run that raised, else empty.
    QString run(const QStringList &lines)
    {
        TksScript s;
        s.AddRTTI();
        s.AddObject(QStringLiteral("Report"), report.get());
        s.AddObject(QStringLiteral("Memo1"), memo);
        s.AddObject(QStringLiteral("Goods"), ds);
        s.Lines = lines;
        return lyrsweep::compileAndRun(s);
    }

    std::unique_ptr<TlyrReport> report;
    TlyrUserDataSet *ds = nullptr;
    TlyrMemoView *memo = nullptr;
    bool prepared = false;
};

TEST_F(ClassRTTITest, ConstantsAndEnumerationsTakeTheModelsValues)
{
    EXPECT_EQ(calc(QStringLiteral("ftLeft + ftBottom")).ToInt(), 9);
    EXPECT_EQ(calc(QStringLiteral("smMaxHeight")).ToInt(), 2);
    const KsValue in = calc(QStringLiteral("ly1in"));
    EXPECT_EQ(in.Kind(), KsKind::Integer);
    EXPECT_EQ(in.ToInt(), 96);
    EXPECT_EQ(calc(QStringLiteral("ly1CharY")).Kind(), KsKind::Integer);
    EXPECT_EQ(calc(QStringLiteral("ly1CharY")).ToInt(), 17);
    EXPECT_EQ(calc(QStringLiteral("clTransparent")).ToInt(), clNone);
    // Set by name, a property is what the name says.
    EXPECT_EQ(calc(QStringLiteral("skDiagonal1")).ToInt(), int(skDiagonal1));
    EXPECT_EQ(calc(QStringLiteral("skDiamond")).ToInt(), int(skDiamond));
    EXPECT_EQ(calc(QStringLiteral("baClient")).ToInt(), int(baClient));
    EXPECT_EQ(calc(QStringLiteral("rfDontEdit")).ToInt(), int(rfDontEdit));
    EXPECT_EQ(calc(QStringLiteral("pbExportQuick")).ToInt(), int(TlyrPreviewOptions::pbExportQuick));
    EXPECT_EQ(calc(QStringLiteral("pbTree")).ToInt(), int(TlyrPreviewOptions::pbOutline));
    EXPECT_EQ(calc(QStringLiteral("pbRefresh")).ToInt(), 0);
}

TEST_F(ClassRTTITest, GlobalFunctions)
{
    EXPECT_EQ(calc(QStringLiteral("YearOf(0)")).ToInt(), 1899);
    EXPECT_EQ(calc(QStringLiteral("MonthOf(0)")).ToInt(), 12);
    EXPECT_EQ(calc(QStringLiteral("DayOf(0)")).ToInt(), 30);
    // Without a report's macro functions the declarations answer 0.
    TksScript s;
    s.AddRTTI();
    s.Lines = {QStringLiteral("var x: Variant;"), QStringLiteral("begin"), QStringLiteral("  x := SUM(5);"),
               QStringLiteral("end.")};
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    s.Execute();
    EXPECT_EQ(s.CallFunction(QStringLiteral("SUM"), KsValue(5)).ToInt(), 0);
}

TEST_F(ClassRTTITest, GlobalVariablesAreSharedAndUnknownOnesAreNull)
{
    EXPECT_TRUE(calc(QStringLiteral("lyrGlobalVariables['Nope']")).IsNull());
    EXPECT_EQ(run({QStringLiteral("begin"), QStringLiteral("  lyrGlobalVariables['A'] := 1;"), QStringLiteral("end.")}),
              QString());
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("A")).toInt(), 1);
    // Another report sees the same collection.
    TlyrReport other;
    ASSERT_TRUE(other.PrepareScript());
    EXPECT_EQ(other.Calc(QStringLiteral("lyrGlobalVariables['A'] + 1")).ToInt(), 2);
}

TEST_F(ClassRTTITest, ReportVariablesStylesAndDataSetsAreTheReportsOwn)
{
    report->Variables()->SetVariable(QStringLiteral("Total"), 5);
    EXPECT_EQ(run({QStringLiteral("begin"),
                   QStringLiteral("  Report.Variables['Total'] := Report.Variables['Total'] * 2;"),
                   QStringLiteral("  Report.Variables['New'] := 'x';"), QStringLiteral("end.")}),
              QString());
    EXPECT_EQ(report->Variables()->Variables(QStringLiteral("Total")).toInt(), 10);
    EXPECT_EQ(report->Variables()->Variables(QStringLiteral("New")).toString(), QStringLiteral("x"));
    EXPECT_EQ(calc(QStringLiteral("Report.Styles.Count")).ToInt(), 1);
    EXPECT_EQ(calc(QStringLiteral("Report.Styles.Names[0]")).ToText(), QStringLiteral("Title"));
    EXPECT_EQ(calc(QStringLiteral("Report.DataSets.Count")).ToInt(), 1);
    EXPECT_EQ(calc(QStringLiteral("Report.DataSets[0].UserName")).ToText(), QStringLiteral("Goods"));
    EXPECT_EQ(calc(QStringLiteral("Report.DataSets.Find('goods').UserName")).ToText(), QStringLiteral("Goods"));
    // A script's own collection.
    EXPECT_EQ(run({QStringLiteral("var v: TlyrVariables;"), QStringLiteral("begin"),
                   QStringLiteral("  v := TlyrVariables.Create;"), QStringLiteral("  v['k'] := 3;"),
                   QStringLiteral("  lyrGlobalVariables['K'] := v['k'];"), QStringLiteral("  v.Free;"),
                   QStringLiteral("end.")}),
              QString());
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("K")).toInt(), 3);
}

// A script filling a memo's lines without end stops at the engine's bound
// for a list, with an error its try statement catches.
TEST_F(ClassRTTITest, MemoLinesFilledWithoutEndStopWithACatchableError)
{
    EXPECT_EQ(run({QStringLiteral("var s: String; i: Integer;"), QStringLiteral("begin"),
                   QStringLiteral("  SetLength(s, 1000000); i := 0;"),
                   QStringLiteral("  try while True do begin Memo1.Lines.Add(s + IntToStr(i)); i := i + 1; end;"),
                   QStringLiteral("  except Report.Variables['Caught'] := ExceptionClassName; end;"),
                   QStringLiteral("  Report.Variables['Count'] := Memo1.Lines.Count; Memo1.Lines.Clear;"),
                   QStringLiteral("end.")}),
              QString());
    EXPECT_EQ(report->Variables()->Variables(QStringLiteral("Caught")).toString(), QStringLiteral("EOutOfMemory"));
    const int count = report->Variables()->Variables(QStringLiteral("Count")).toInt();
    EXPECT_GT(count, 10);
    EXPECT_LT(count, 100);
}

TEST_F(ClassRTTITest, MemoLinesAreTheMemosOwnAndAssigningCopies)
{
    EXPECT_EQ(run({QStringLiteral("begin"), QStringLiteral("  Memo1.Lines.Add('three');"),
                   QStringLiteral("  Memo1.Lines[0] := 'ONE';"), QStringLiteral("end.")}),
              QString());
    EXPECT_EQ(memo->Memo(), QStringList({QStringLiteral("ONE"), QStringLiteral("two"), QStringLiteral("three")}));
    EXPECT_EQ(calc(QStringLiteral("Memo1.Lines.Count")).ToInt(), 3);
    EXPECT_EQ(calc(QStringLiteral("Memo1.Lines = Memo1.Lines")).ToBool(), true);
    auto *other = new TlyrMemoView(memo->Page());
    other->SetName(QStringLiteral("Memo2"));
    other->SetMemo({QStringLiteral("a")});
    TksScript copy;
    copy.AddRTTI();
    copy.AddObject(QStringLiteral("Memo1"), memo);
    copy.AddObject(QStringLiteral("Memo2"), other);
    copy.Lines = {QStringLiteral("begin"), QStringLiteral("  Memo1.Lines := Memo2.Lines;"),
                  QStringLiteral("  Memo2.Lines.Add('b');"), QStringLiteral("end.")};
    ASSERT_TRUE(copy.Compile()) << copy.ErrorMsg.toStdString();
    copy.Execute();
    EXPECT_EQ(other->Memo(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(memo->Memo(), QStringList({QStringLiteral("a")}));
    EXPECT_EQ(run({QStringLiteral("begin"), QStringLiteral("  Memo1.Text := 'x' + #13#10 + 'y';"),
                   QStringLiteral("end.")}),
              QString());
    EXPECT_EQ(memo->Memo(), QStringList({QStringLiteral("x"), QStringLiteral("y")}));
}

TEST_F(ClassRTTITest, DataSetAndReportMembers)
{
    EXPECT_TRUE(calc(QStringLiteral("Goods.HasField('goodscode')")).ToBool());
    EXPECT_FALSE(calc(QStringLiteral("Goods.HasField('Nope')")).ToBool());
    EXPECT_TRUE(calc(QStringLiteral("Report.FindObject('Memo1') = Memo1")).ToBool());
    EXPECT_TRUE(calc(QStringLiteral("Memo1.Page = Page1")).ToBool());
    EXPECT_DOUBLE_EQ(calc(QStringLiteral("Memo1.AbsLeft")).ToDouble(), memo->AbsLeft());
    // A missing file answers False, raises nothing and leaves the template.
    EXPECT_FALSE(calc(QStringLiteral("Report.LoadFromFile('/no/such/file.yl3')")).ToBool());
    EXPECT_EQ(report->FindObject(QStringLiteral("Memo1")), memo);
    EXPECT_EQ(report->Datasets()->Count(), 1);
}

TEST_F(ClassRTTITest, WrongObjectArgumentsAreCatchableErrors)
{
    const QString caught = run(
            {QStringLiteral("var v: Variant;"), QStringLiteral("begin"), QStringLiteral("  v := Report;"),
             QStringLiteral("  try"), QStringLiteral("    Memo1.Lines := v;"), QStringLiteral("  except"),
             QStringLiteral("    lyrGlobalVariables['E'] := 1;"), QStringLiteral("  end;"), QStringLiteral("  try"),
             QStringLiteral("    Goods.GetFieldList(v);"), QStringLiteral("  except"),
             QStringLiteral("    lyrGlobalVariables['F'] := 1;"), QStringLiteral("  end;"), QStringLiteral("end.")});
    EXPECT_EQ(caught, QString());
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("E")).toInt(), 1);
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("F")).toInt(), 1);
    EXPECT_EQ(memo->Memo(), QStringList({QStringLiteral("one"), QStringLiteral("two")}));
}

}  // namespace

namespace {

TEST_F(ClassRTTITest, DialogPageModalResultAndFocusOfControls)
{
    auto *dialog = new TlyrDialogPage(report.get());
    dialog->SetName(QStringLiteral("Dialog1"));
    auto *control = new TlyrDialogControl(dialog);
    control->SetName(QStringLiteral("Label1"));
    auto *label = new QLabel;
    control->SetControl(label);
    TksScript s;
    s.AddRTTI();
    s.AddObject(QStringLiteral("Dialog1"), dialog);
    s.AddObject(QStringLiteral("Label1"), control);
    s.Lines = {QStringLiteral("begin"), QStringLiteral("  Label1.SetFocus;"),
               QStringLiteral("  Dialog1.ModalResult := mrOk;"), QStringLiteral("end.")};
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    s.Execute();
    EXPECT_EQ(dialog->ModalResult(), 1);
    EXPECT_FALSE(label->hasFocus());
}

}  // namespace

namespace {

// Objects and AllObjects are one list each, refilled on every read: reading
// them in a loop does not pile lists up under the object.
TEST_F(ClassRTTITest, ObjectListsAreRefilledNotMadeAgain)
{
    TlyrComponent *page = memo->Page();
    const int children = page->children().size();
    EXPECT_EQ(run({QStringLiteral("var i, n: Integer; L: TList;"), QStringLiteral("begin"),
                   QStringLiteral(
                           "  for i := 1 to 1000 do n := Memo1.Parent.Objects.Count + Memo1.Parent.AllObjects.Count;"),
                   QStringLiteral("  L := Memo1.Parent.Objects; lyrGlobalVariables['N'] := n + L.Count;"),
                   QStringLiteral("end.")}),
              QString());
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("N")).toInt(), 3);
    EXPECT_EQ(page->children().size(), children + 2);
}

TEST_F(ClassRTTITest, LinesAndObjectsGoThroughScriptStreams)
{
    auto *other = new TlyrMemoView(memo->Page());
    other->SetName(QStringLiteral("Memo2"));
    TksScript s;
    s.AddRTTI();
    s.AddObject(QStringLiteral("Memo1"), memo);
    s.AddObject(QStringLiteral("Memo2"), other);
    s.Lines = {QStringLiteral("var m: TMemoryStream;"),
               QStringLiteral("begin"),
               QStringLiteral("  m := TMemoryStream.Create;"),
               QStringLiteral("  Memo1.Lines.SaveToStream(m);"),
               QStringLiteral("  m.Position := 0;"),
               QStringLiteral("  Memo2.Lines.LoadFromStream(m);"),
               QStringLiteral("  m.Free;"),
               QStringLiteral("  m := TMemoryStream.Create;"),
               QStringLiteral("  Memo1.SaveToStream(m);"),
               QStringLiteral("  lyrGlobalVariables['Size'] := m.Size;"),
               QStringLiteral("  m.Free;"),
               QStringLiteral("end.")};
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    s.Execute();
    EXPECT_EQ(other->Memo(), memo->Memo());
    EXPECT_GT(lyrGlobalVariables().Variables(QStringLiteral("Size")).toInt(), 0);
}

}  // namespace

namespace {

class ProbeOutline : public TlyrCustomOutline {
    Q_OBJECT
public:
    using TlyrCustomOutline::TlyrCustomOutline;
    int Count() override { return int(Items.size()); }
    Q_INVOKABLE void AddItem(const QString &text, int top) { Items << qMakePair(text, top); }
    Q_INVOKABLE void LevelRoot() override { ++Roots; }
    QList<QPair<QString, int>> Items;
    int Roots = 0;
};

class ProbePages : public TlyrCustomPreviewPages {
public:
    using TlyrCustomPreviewPages::TlyrCustomPreviewPages;
    int Count() override { return 0; }
    void Clear() override {}
    int GetLogicalPageNo() override { return 1; }
    int GetLogicalTotalPages() override { return 1; }
    void AddAnchor(const QString &text) override { Anchors << text; }
    int GetAnchorPage(const QString &text) override { return int(Anchors.indexOf(text)) + 7; }
    QStringList Anchors;
};

using ProbeEngine = NullEngine;

TEST(LyrOutlineScript, ItemsTakeTheEnginesPositionRoundedHalfToEven)
{
    lyrRegisterClassRTTI();
    TlyrReport report;
    ProbePages pages(&report);
    ProbeEngine engine(&report);
    pages.Engine = &engine;
    auto *outline = new ProbeOutline(&pages);
    pages.Outline = outline;
    TksScript s;
    s.AddRTTI();
    s.AddObject(QStringLiteral("Outline"), outline);
    s.AddObject(QStringLiteral("Engine"), &engine);
    s.Lines = {QStringLiteral("begin"),
               QStringLiteral("  Engine.CurY := 2.5;"),
               QStringLiteral("  Outline.AddItem('a');"),
               QStringLiteral("  Engine.CurY := 3.5;"),
               QStringLiteral("  Outline.AddItem('b');"),
               QStringLiteral("  Engine.CurY := 3.4;"),
               QStringLiteral("  Outline.AddItem('c');"),
               QStringLiteral("  Outline.LevelRoot;"),
               QStringLiteral("  try"),
               QStringLiteral("    Outline.LevelUp;"),
               QStringLiteral("  except"),
               QStringLiteral("    lyrGlobalVariables['NoLevelUp'] := 1;"),
               QStringLiteral("  end;"),
               QStringLiteral("end.")};
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    s.Execute();
    ASSERT_EQ(outline->Items.size(), 3);
    EXPECT_EQ(outline->Items[0].second, 2);
    EXPECT_EQ(outline->Items[1].second, 4);
    EXPECT_EQ(outline->Items[2].second, 3);
    EXPECT_EQ(outline->Roots, 1);
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("NoLevelUp")).toInt(), 1);
    lyrGlobalVariables().Clear();
}

TEST(LyrEngineScript, AnchorsGoToTheEnginesPreparedPages)
{
    lyrRegisterClassRTTI();
    TlyrReport report;
    ProbePages pages(&report);
    ProbeEngine engine(&report);
    pages.Engine = &engine;
    TksScript s;
    s.AddRTTI();
    s.AddObject(QStringLiteral("Engine"), &engine);
    s.Lines = {QStringLiteral("begin"), QStringLiteral("  Engine.AddAnchor('first');"),
               QStringLiteral("  Engine.AddAnchor('second');"),
               QStringLiteral("  lyrGlobalVariables['Page'] := Engine.GetAnchorPage('second');"),
               QStringLiteral("end.")};
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    // Without prepared pages the call is a catchable error, not a crash.
    EXPECT_ANY_THROW(s.Execute());
    EXPECT_TRUE(pages.Anchors.isEmpty());
    engine.PreviewPages = &pages;
    s.Execute();
    EXPECT_EQ(pages.Anchors, (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("Page")).toInt(), pages.GetAnchorPage("second"));
    lyrGlobalVariables().Clear();
}

TEST(LyrJPEGImageScript, ScriptsMakeJPEGPicturesWhateverTheFileName)
{
    lyrRegisterClassRTTI();
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("in.png"));
    QImage source(40, 30, QImage::Format_RGB32);
    source.fill(Qt::red);
    ASSERT_TRUE(source.save(png));
    const QString out = dir.filePath(QStringLiteral("out.bmp"));
    TksScript s;
    s.AddRTTI();
    s.Lines = {QStringLiteral("var j: TJPEGImage;"),
               QStringLiteral("begin"),
               QStringLiteral("  j := TJPEGImage.Create;"),
               QStringLiteral("  j.LoadFromFile('%1');").arg(png),
               QStringLiteral("  j.CompressionQuality := 500;"),
               QStringLiteral("  lyrGlobalVariables['Quality'] := j.CompressionQuality;"),
               QStringLiteral("  lyrGlobalVariables['Width'] := j.Width;"),
               QStringLiteral("  j.SaveToFile('%1');").arg(out),
               QStringLiteral("  j.Free;"),
               QStringLiteral("end.")};
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    s.Execute();
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("Quality")).toInt(), 100);
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("Width")).toInt(), source.width());
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(3) == QByteArray("\xFF\xD8\xFF", 3));
    f.close();
    const QImage back(out, "JPEG");
    EXPECT_EQ(back.size(), source.size());
    lyrGlobalVariables().Clear();
}

}  // namespace

#include "test_lyrclassrtti.moc"

namespace {

// Fonts, string lists, variables and pictures of report objects as the four
// script languages reach them.
struct LangText {
    const char *Lang;
    const char *Text;
};

const LangText kObjectModel[] = {
        {"PascalScript",
         "begin\n"
         "  Memo1.Font.Size := 12; Memo1.Font.Color := clRed; Memo1.Font.Style := fsBold + fsItalic;\n"
         "  Memo1.Highlight.Font.Color := clBlue; Band1.Font.Name := 'Tahoma'; Page1.Font.Size := 9;\n"
         "  Memo1.Memo.Add('three');\n"
         "  Memo1.Lines.AddObject('four', Band1);\n"
         "  if Memo1.Lines.Objects[3] = Band1 then Memo1.Lines.Objects[0] := Page1;\n"
         "  if Memo1.Lines.Objects[0] = Page1 then lyrGlobalVariables['O'] := Memo1.Lines.Count;\n"
         "  Page1.HGuides.Add('10'); Page1.VGuides.Text := 'a';\n"
         "  Page1.ColumnPositions.Add(IntToStr(Page1.ColumnPositions.Count + 5));\n"
         "  Report.Variables['A'] := 5;\n"
         "  Report.Variables.Items[0].Value := Report.Variables.Items[0].Value + 1;\n"
         "  Memo1.TagStr := Report.Variables.Items[0].Name;\n"
         "  Picture1.Picture.LoadFromFile(PicFile); Page1.BackPicture.LoadFromFile(PicFile);\n"
         "  Report.ReportOptions.Picture.LoadFromFile(PicFile);\n"
         "  lyrGlobalVariables['W'] := Picture1.Picture.Width + Page1.BackPicture.Height;\n"
         "end."},
        {"C++Script",
         "{\n"
         "  Memo1.Font.Size = 12; Memo1.Font.Color = clRed; Memo1.Font.Style = fsBold + fsItalic;\n"
         "  Memo1.Highlight.Font.Color = clBlue; Band1.Font.Name = \"Tahoma\"; Page1.Font.Size = 9;\n"
         "  Memo1.Memo.Add(\"three\");\n"
         "  Memo1.Lines.AddObject(\"four\", Band1);\n"
         "  if (Memo1.Lines.Objects[3] == Band1) Memo1.Lines.Objects[0] = Page1;\n"
         "  if (Memo1.Lines.Objects[0] == Page1) lyrGlobalVariables[\"O\"] = Memo1.Lines.Count;\n"
         "  Page1.HGuides.Add(\"10\"); Page1.VGuides.Text = \"a\";\n"
         "  Page1.ColumnPositions.Add(IntToStr(Page1.ColumnPositions.Count + 5));\n"
         "  Report.Variables[\"A\"] = 5;\n"
         "  Report.Variables.Items[0].Value = Report.Variables.Items[0].Value + 1;\n"
         "  Memo1.TagStr = Report.Variables.Items[0].Name;\n"
         "  Picture1.Picture.LoadFromFile(PicFile); Page1.BackPicture.LoadFromFile(PicFile);\n"
         "  Report.ReportOptions.Picture.LoadFromFile(PicFile);\n"
         "  lyrGlobalVariables[\"W\"] = Picture1.Picture.Width + Page1.BackPicture.Height;\n"
         "}\n"},
        {"JScript",
         "Memo1.Font.Size = 12; Memo1.Font.Color = clRed; Memo1.Font.Style = fsBold + fsItalic;\n"
         "Memo1.Highlight.Font.Color = clBlue; Band1.Font.Name = \"Tahoma\"; Page1.Font.Size = 9;\n"
         "Memo1.Memo.Add(\"three\");\n"
         "Memo1.Lines.AddObject(\"four\", Band1);\n"
         "if (Memo1.Lines.Objects[3] == Band1) Memo1.Lines.Objects[0] = Page1;\n"
         "if (Memo1.Lines.Objects[0] == Page1) lyrGlobalVariables[\"O\"] = Memo1.Lines.Count;\n"
         "Page1.HGuides.Add(\"10\"); Page1.VGuides.Text = \"a\";\n"
         "Page1.ColumnPositions.Add(IntToStr(Page1.ColumnPositions.Count + 5));\n"
         "Report.Variables[\"A\"] = 5;\n"
         "Report.Variables.Items[0].Value = Report.Variables.Items[0].Value + 1;\n"
         "Memo1.TagStr = Report.Variables.Items[0].Name;\n"
         "Picture1.Picture.LoadFromFile(PicFile); Page1.BackPicture.LoadFromFile(PicFile);\n"
         "Report.ReportOptions.Picture.LoadFromFile(PicFile);\n"
         "lyrGlobalVariables[\"W\"] = Picture1.Picture.Width + Page1.BackPicture.Height;\n"},
        {"BasicScript",
         "Memo1.Font.Size = 12\n"
         "Memo1.Font.Color = clRed\n"
         "Memo1.Font.Style = fsBold + fsItalic\n"
         "Memo1.Highlight.Font.Color = clBlue\n"
         "Band1.Font.Name = \"Tahoma\"\n"
         "Page1.Font.Size = 9\n"
         "Memo1.Memo.Add(\"three\")\n"
         "Memo1.Lines.AddObject(\"four\", Band1)\n"
         "If Memo1.Lines.Objects(3) = Band1 Then\n"
         "  Memo1.Lines.Objects(0) = Page1\n"
         "End If\n"
         "If Memo1.Lines.Objects(0) = Page1 Then\n"
         "  lyrGlobalVariables(\"O\") = Memo1.Lines.Count\n"
         "End If\n"
         "Page1.HGuides.Add(\"10\")\n"
         "Page1.VGuides.Text = \"a\"\n"
         "Page1.ColumnPositions.Add(IntToStr(Page1.ColumnPositions.Count + 5))\n"
         "Report.Variables(\"A\") = 5\n"
         "Report.Variables.Items(0).Value = Report.Variables.Items(0).Value + 1\n"
         "Memo1.TagStr = Report.Variables.Items(0).Name\n"
         "Picture1.Picture.LoadFromFile(PicFile)\n"
         "Page1.BackPicture.LoadFromFile(PicFile)\n"
         "Report.ReportOptions.Picture.LoadFromFile(PicFile)\n"
         "lyrGlobalVariables(\"W\") = Picture1.Picture.Width + Page1.BackPicture.Height\n"
         "lyrGlobalVariables(\"W\") = lyrGlobalVariables(\"W\") + Report.Variables(\"A\") - 6\n"}};

TEST_F(ClassRTTITest, FontsListsVariablesAndPicturesInEveryLanguage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("p.bmp"));
    QImage img(7, 5, QImage::Format_RGB32);
    img.fill(Qt::red);
    ASSERT_TRUE(img.save(file, "BMP"));
    for (const LangText &l : kObjectModel) {
        SCOPED_TRACE(l.Lang);
        SetUp();
        auto *page = qobject_cast<TlyrReportPage *>(memo->Page());
        ASSERT_NE(page, nullptr);
        auto *band = new TlyrMasterData(page);
        band->SetName(QStringLiteral("Band1"));
        auto *picture = new TlyrPictureView(band);
        picture->SetName(QStringLiteral("Picture1"));
        page->SetColumnPositions({QStringLiteral("0")});
        TksScript s;
        s.SyntaxType = QString::fromLatin1(l.Lang);
        s.AddRTTI();
        s.AddObject(QStringLiteral("Report"), report.get());
        s.AddObject(QStringLiteral("Memo1"), memo);
        s.AddObject(QStringLiteral("Page1"), page);
        s.AddObject(QStringLiteral("Band1"), band);
        s.AddObject(QStringLiteral("Picture1"), picture);
        s.AddConst(QStringLiteral("PicFile"), QStringLiteral("String"), KsValue(file));
        s.Lines = QString::fromLatin1(l.Text).split(u'\n');
        ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString() << " at " << s.ErrorPos.toStdString();
        try {
            s.Execute();
        } catch (const std::exception &e) {
            ADD_FAILURE() << e.what();
        }
        EXPECT_EQ(memo->Font()->Size(), 12);
        EXPECT_EQ(memo->Font()->Color(), 0x0000FF);
        EXPECT_EQ(memo->Font()->Style(), TlyrFont::fsBold | TlyrFont::fsItalic);
        EXPECT_FALSE(memo->ParentFont());
        EXPECT_EQ(memo->Highlight()->Font()->Color(), 0xFF0000);
        EXPECT_EQ(band->Font()->Name(), QStringLiteral("Tahoma"));
        EXPECT_EQ(page->Font()->Size(), 9);
        EXPECT_EQ(memo->Memo(), QStringList({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three"),
                                             QStringLiteral("four")}));
        EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("O")).toInt(), 4);
        EXPECT_EQ(page->HGuides, QStringList({QStringLiteral("10")}));
        EXPECT_EQ(page->VGuides, QStringList({QStringLiteral("a")}));
        EXPECT_EQ(page->ColumnPositions(), QStringList({QStringLiteral("0"), QStringLiteral("6")}));
        EXPECT_EQ(report->Variables()->Variables(QStringLiteral("A")).toInt(), 6);
        EXPECT_EQ(memo->TagStr(), QStringLiteral("A"));
        EXPECT_EQ(picture->Picture().size(), QSize(7, 5));
        EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("W")).toInt(), 12);
        EXPECT_FALSE(report->ReportOptions()->Picture()->Picture().isNull());
        TearDown();
    }
}

// The report options' picture travels with the template.
TEST_F(ClassRTTITest, ReportOptionsPictureIsSavedAndLoaded)
{
    QImage img(3, 2, QImage::Format_RGB32);
    img.fill(Qt::blue);
    ASSERT_EQ(report->ReportOptions()->Picture()->LoadPictureFromStream(pngBytes(img)), 0);
    TlyrReport again;
    loadTemplate(again, saveTemplate(*report));
    EXPECT_EQ(again.ReportOptions()->Picture()->Picture().size(), QSize(3, 2));
    again.Clear();
    EXPECT_TRUE(again.ReportOptions()->Picture()->Picture().isNull());
}

}  // namespace

TEST(LyrScriptEnumerations, EveryPublishedEnumerationTakesItsConstantsInEveryLanguage)
{
    lyrRegisterClassRTTI();
    QStringList paths;
    const QStringList failures = lyrsweep::lyrEnumConstantFailures(paths);
    // The report's own options and its datasets' ranges are among them.
    for (const char *p : {"RangeBegin", "RangeEnd", "PrintOptions.PrintPages", "PreviewOptions.ZoomMode", "Align",
                          "Duplex", "StretchMode", "HAlign"})
        EXPECT_TRUE(paths.contains(QLatin1String(p))) << p;
    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'\n').toStdString();
}

namespace {

// The wide string list's IndexOf tells letter case apart, as the class does.
TEST_F(ClassRTTITest, LinesIndexOfIsCaseSensitiveInEveryLanguage)
{
    for (const lyrsweep::ScriptDialect &d : lyrsweep::kDialects) {
        SCOPED_TRACE(d.Lang);
        lyrGlobalVariables().Clear();
        QString text;
        text += QString::fromLatin1(d.Keep).arg(QStringLiteral("Upper"), QStringLiteral("O.Lines.IndexOf('ONE')"));
        text += QString::fromLatin1(d.Keep).arg(QStringLiteral("Same"), QStringLiteral("O.Lines.IndexOf('two')"));
        if (QLatin1String(d.Lang) != QLatin1String("PascalScript")) text.replace(u'\'', u'"');
        EXPECT_EQ(lyrsweep::runOn(d, memo, text), QString());
        EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("Upper")).toInt(), -1);
        EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("Same")).toInt(), 1);
    }
}

}  // namespace
