#include "fake_compiler.h"
#include "platform/db/db.h"
#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrvariables.h"
#include "report/lyrres.h"
#include "report_test_objects.h"
#include "script/ks_iinterpreter.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QMetaClassInfo>
#include <QMetaProperty>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class FakeOutline : public TlyrCustomOutline {
public:
    using TlyrCustomOutline::TlyrCustomOutline;
    int Count() override { return 0; }
};

class FakePages : public TlyrCustomPreviewPages {
public:
    explicit FakePages(TlyrReport *r) : TlyrCustomPreviewPages(r) { Outline = new FakeOutline(this); }
    int Count() override { return pages; }
    void Clear() override
    {
        pages = 0;
        ++clears;
    }
    int GetLogicalPageNo() override { return 7; }
    int GetLogicalTotalPages() override { return 9; }
    int pages = 0;
    int clears = 0;
};

class FakeEngine : public NullEngine {
public:
    using NullEngine::NullEngine;
    KsValue GetAggregateValue(const QString &name, const QString &expr, TlyrComponent *, int flags) override
    {
        lastAggregate = name + QLatin1Char('|') + expr + QLatin1Char('|') + QString::number(flags);
        return KsValue(42);
    }
    bool Run() override
    {
        ++runs;
        Running = true;
        bool ok = body ? body() : true;
        Running = false;
        if (ok) static_cast<FakePages *>(PreviewPages)->pages = 1;
        return ok;
    }
    std::function<bool()> body;
    int runs = 0;
    QString lastAggregate;
};

class FakePreview : public TlyrCustomPreview {
public:
    void Init() override { ++inits; }
    int inits = 0;
};

// A modal window: while it is "shown" the event loop runs until the report's
// build timer, when started, has fired and built.
class FakeForm : public TlyrCustomPreviewForm {
public:
    TlyrCustomPreview *Preview() override { return &preview; }
    void InitFromReport(TlyrReport *) override {}
    void ShowModal() override
    {
        ++*shown;
        runsAtShow = engine ? engine->runs : -1;
        const QTimer *timer = engine && engine->Report ? engine->Report->Timer() : nullptr;
        while (timer && timer->isActive()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    void Show() override { ++*shown; }
    void Close() override { ++*closed; }
    FakePreview preview;
    FakeEngine *engine = nullptr;
    int *shown = nullptr;
    int *closed = nullptr;
    int runsAtShow = -1;
};

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterTestObjects();
        fakecompiler::Install();
        TlyrEngineFactories &f = lyrEngineFactories();
        f.Engine = [](TlyrReport *r) { return new FakeEngine(r); };
        f.PreviewPages = [](TlyrReport *r) { return new FakePages(r); };
        f.PreviewForm = [this](TlyrReport *r) {
            auto *form = new FakeForm;
            form->engine = static_cast<FakeEngine *>(r->Engine());
            form->shown = &shown;
            form->closed = &closed;
            return form;
        };
        previous = lyrSetErrorMsgHandler([this](const QString &t) { boxes << t; });
        report = std::make_unique<TlyrReport>();
        engine = static_cast<FakeEngine *>(report->Engine());
        pages = static_cast<FakePages *>(report->PreviewPages());
    }
    void TearDown() override
    {
        report.reset();
        lyrEngineFactories() = TlyrEngineFactories();
        lyrSetErrorMsgHandler(previous);
        fakecompiler::Uninstall();
    }
    TlyrUserDataSet *addDataset()
    {
        auto *ds = new TlyrUserDataSet(report.get());
        ds->SetName(QStringLiteral("lyrDB_TM"));
        ds->SetFields({QStringLiteral("thePrice"), QStringLiteral("theName")});
        ds->OnGetValue = [](const QString &f, KsValue &v) {
            if (f == QLatin1String("thePrice")) v = KsValue(12.5);
        };
        report->Datasets()->Add(ds);
        return ds;
    }
    std::unique_ptr<TlyrReport> report;
    FakeEngine *engine = nullptr;
    FakePages *pages = nullptr;
    QStringList boxes;
    int shown = 0, closed = 0;
    TlyrErrorMsgHandler previous;
};

}  // namespace

TEST_F(ReportTest, ClearedState)
{
    EXPECT_EQ(report->Version(), QStringLiteral("4.3"));
    report->SetVersion(QStringLiteral("9.9"));
    EXPECT_EQ(report->Version(), QStringLiteral("4.3"));
    EXPECT_EQ(report->ScriptText(), (QStringList{QStringLiteral("begin"), QString(), QStringLiteral("end.")}));
    EXPECT_EQ(report->SysVariables().size(), 9);
    EXPECT_EQ(report->PrintOptions()->Printer, QStringLiteral("Default"));
    EXPECT_EQ(report->IniFile(), QStringLiteral("\\Software\\Lyrane"));
    EXPECT_EQ(engine->PreviewPages, pages);
    EXPECT_EQ(pages->Engine, engine);
    report->EngineOptions()->SetSilentMode(true);
    EXPECT_EQ(report->EngineOptions()->NewSilentMode(), simSilent);
}

TEST_F(ReportTest, CalcLooksNamesUpWithoutCompiling)
{
    auto *ds = addDataset();
    ASSERT_TRUE(report->PrepareScript());
    const int afterPrepare = fakecompiler::Compiles();
    EXPECT_DOUBLE_EQ(report->Calc(QStringLiteral("lyrDB_TM.\"thePrice\"")).ToDouble(), 12.5);
    // A Null field becomes 0 or '' by its type; without ConvertNulls it stays Null.
    EXPECT_EQ(report->Calc(QStringLiteral("lyrDB_TM.\"theName\"")).Kind(), KsKind::Integer);
    report->EngineOptions()->SetConvertNulls(false);
    EXPECT_TRUE(report->Calc(QStringLiteral("lyrDB_TM.\"theName\"")).IsNull());

    engine->StartDate = 46000;
    pages->CurPage = 2;
    engine->TotalPages = 5;
    lyrGlobalVariables().SetVariable(QStringLiteral("CopyName0"), QStringLiteral("第一联"));
    EXPECT_EQ(report->Calc(QStringLiteral("Date")).Kind(), KsKind::Date);
    EXPECT_DOUBLE_EQ(report->Calc(QStringLiteral("Date")).ToDouble(), 46000);
    EXPECT_EQ(report->Calc(QStringLiteral("Page#")).ToInt(), 3);
    EXPECT_EQ(report->Calc(QStringLiteral("Page")).ToInt(), 7);
    EXPECT_EQ(report->Calc(QStringLiteral("TotalPages")).ToInt(), 9);
    EXPECT_EQ(report->Calc(QStringLiteral("TotalPages#")).ToInt(), 5);
    EXPECT_EQ(report->Calc(QStringLiteral("CopyName#")).ToText(), QStringLiteral("第一联"));
    // System variables are names like the others: any case finds them.
    EXPECT_EQ(report->Calc(QStringLiteral("page#")).ToInt(), 3);
    EXPECT_EQ(report->Calc(QStringLiteral("PAGE")).ToInt(), 7);
    EXPECT_EQ(report->Calc(QStringLiteral("totalpages")).ToInt(), 9);
    EXPECT_EQ(report->Calc(QStringLiteral("TOTALPAGES#")).ToInt(), 5);
    EXPECT_DOUBLE_EQ(report->Calc(QStringLiteral("DATE")).ToDouble(), 46000);
    EXPECT_EQ(report->Calc(QStringLiteral("copyname#")).ToText(), QStringLiteral("第一联"));
    lyrGlobalVariables().Clear();

    report->Variables()->SetVariable(QStringLiteral("Lines"), QStringLiteral("a\r\nb"));
    EXPECT_EQ(report->Calc(QStringLiteral("Lines")).ToText(), QStringLiteral("a\r\nb"));
    report->Variables()->SetVariable(QStringLiteral("N"), 5);
    EXPECT_EQ(report->Calc(QStringLiteral("N")).ToInt(), 5);
    EXPECT_EQ(fakecompiler::Compiles(), afterPrepare);
    (void)ds;
}

TEST_F(ReportTest, ExpressionsCompileOncePerText)
{
    ASSERT_TRUE(report->PrepareScript());
    const int base = fakecompiler::Compiles();
    EXPECT_EQ(report->Calc(QStringLiteral("1+2")).ToInt(), 3);
    EXPECT_EQ(report->Calc(QStringLiteral("1+2")).ToInt(), 3);
    EXPECT_EQ(report->Calc(QStringLiteral("2+3")).ToInt(), 5);
    EXPECT_EQ(fakecompiler::Compiles() - base, 2);
    EXPECT_EQ(report->ExpressionCache()->Count(), 2);

    // A variable holding an expression evaluates it; Get reaches it too.
    report->Variables()->SetVariable(QStringLiteral("Total"), QStringLiteral("1+2"));
    EXPECT_EQ(report->Calc(QStringLiteral("Total")).ToInt(), 3);
    EXPECT_EQ(report->Calc(QStringLiteral("Get('Total') + 10")).ToInt(), 13);
    EXPECT_TRUE(report->Errors().isEmpty());

    // An unknown name in Get: Null and one line, no exception.
    EXPECT_TRUE(report->Calc(QStringLiteral("Get('nope')")).IsNull());
    EXPECT_EQ(report->Errors(), QStringList{QStringLiteral("Unknown variable or datafield: nope")});

    // The next preparation empties the cache.
    ASSERT_TRUE(report->PrepareScript());
    EXPECT_EQ(report->ExpressionCache()->Count(), 0);
}

TEST_F(ReportTest, ExpressionErrorIsRecordedAndRaised)
{
    ASSERT_TRUE(report->PrepareScript());
    report->CurObject = QStringLiteral("Memo1");
    try {
        report->Calc(QStringLiteral("1 +* 2"));
        FAIL();
    } catch (const ElyrError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Memo1: Error in expression '1 +* 2': Syntax error"));
    }
    EXPECT_EQ(report->Errors(), QStringList{QStringLiteral("Memo1: Error in expression '1 +* 2': Syntax error")});
}

TEST_F(ReportTest, SelfReferringVariablesEndAsNull)
{
    ASSERT_TRUE(report->PrepareScript());
    report->Variables()->SetVariable(QStringLiteral("A"), QStringLiteral("A"));
    EXPECT_TRUE(report->Calc(QStringLiteral("A")).IsNull());
    EXPECT_EQ(report->Errors().size(), 1);

    report->ClearErrors();
    report->Variables()->SetVariable(QStringLiteral("A"), QStringLiteral("Get('B')"));
    report->Variables()->SetVariable(QStringLiteral("B"), QStringLiteral("Get('A') + 1"));
    EXPECT_TRUE(report->Calc(QStringLiteral("B")).IsNull());
    EXPECT_EQ(report->Errors().size(), 1);
    // A variable that only uses others is fine.
    report->Variables()->SetVariable(QStringLiteral("C"), QStringLiteral("Get('D') + 1"));
    report->Variables()->SetVariable(QStringLiteral("D"), QStringLiteral("4"));
    EXPECT_EQ(report->Calc(QStringLiteral("C")).ToInt(), 5);
}

TEST_F(ReportTest, ScriptHoldsTheReportObjectsAndMacros)
{
    auto *page = new TtestPage(report.get());
    page->SetName(QStringLiteral("Page1"));
    auto *memo = new TlyrTestMemoView(page);
    memo->SetName(QStringLiteral("Memo1"));
    memo->SetDesigning(true);
    ASSERT_TRUE(report->PrepareScript());
    EXPECT_FALSE(memo->IsDesigning());
    TksScript *s = report->Script();
    ASSERT_NE(s->FindLocal(QStringLiteral("Memo1")), nullptr);
    EXPECT_EQ(s->FindLocal(QStringLiteral("Memo1"))->Value.ToObject(), memo);
    EXPECT_EQ(s->FindLocal(QStringLiteral("Report"))->Value.ToObject(), report.get());
    EXPECT_EQ(s->FindLocal(QStringLiteral("Engine"))->Value.ToObject(), engine);
    ASSERT_NE(report->ValueVariable(), nullptr);
    for (const char *m : {"Get", "Set", "IIF", "SUM", "AVG", "MIN", "MAX", "COUNT"})
        EXPECT_NE(s->FindLocal(QString::fromLatin1(m)), nullptr) << m;
    EXPECT_TRUE(s->FindLocal(QStringLiteral("SUM"))->IsMacro);

    // Preparing twice leaves one entry per object.
    const int count = s->Count();
    ASSERT_TRUE(report->PrepareScript());
    EXPECT_EQ(s->Count(), count);

    // Macro functions receive their arguments as text.
    auto *sum = dynamic_cast<TksMethodHelper *>(s->FindLocal(QStringLiteral("SUM")));
    ASSERT_NE(sum, nullptr);
    sum->Prog = s;
    sum->SetParam(0, KsValue(QStringLiteral("<lyrDB.\"x\">")));
    sum->SetParam(1, KsValue(QString()));
    sum->SetParam(2, KsValue(QStringLiteral("1+2")));
    EXPECT_EQ(sum->GetValue().ToInt(), 42);
    EXPECT_EQ(engine->lastAggregate, QStringLiteral("SUM|<lyrDB.\"x\">|3"));

    // Set creates a report variable.
    auto *set = dynamic_cast<TksMethodHelper *>(s->FindLocal(QStringLiteral("Set")));
    ASSERT_NE(set, nullptr);
    set->SetParam(0, KsValue(QStringLiteral("Made")));
    set->SetParam(1, KsValue(8));
    set->GetValue();
    EXPECT_EQ(report->Variables()->Variables(QStringLiteral("made")).toInt(), 8);

    report->SetScriptText({QStringLiteral("begin"), QStringLiteral("  error here"), QStringLiteral("end.")});
    EXPECT_FALSE(report->PrepareScript());
    EXPECT_TRUE(report->Errors().contains(QStringLiteral("Script error at 2:3: Unknown identifier")));
}

TEST_F(ReportTest, PrepareReportChecksDatasetsAndRestoresTheTemplate)
{
    report->EngineOptions()->SetNewSilentMode(simSilent);
    TlyrDataSetItem *gone = report->Datasets()->Add();
    gone->SetDataSetName(QStringLiteral("Gone"), report.get());
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_EQ(report->Errors(), QStringList{QStringLiteral("Dataset \"Gone\" does not exist")});
    EXPECT_EQ(engine->runs, 0);
    report->Datasets()->Clear();

    auto *page = new TtestPage(report.get());
    page->SetName(QStringLiteral("Page1"));
    auto *memo = new TlyrTestMemoView(page);
    memo->SetName(QStringLiteral("Memo1"));
    memo->SetLeft(5);
    report->ReportOptions()->Password = QStringLiteral("pw");
    report->ReportOptions()->EnteredPassword = QStringLiteral("pw");
    engine->body = [&] {
        // The script and the engine change the template while building.
        static_cast<TlyrTestMemoView *>(report->FindObject(QStringLiteral("Memo1")))->SetLeft(999);
        return true;
    };
    EXPECT_TRUE(report->PrepareReport());
    EXPECT_EQ(engine->runs, 1);
    auto *restored = qobject_cast<TlyrTestMemoView *>(report->FindObject(QStringLiteral("Memo1")));
    ASSERT_NE(restored, nullptr);
    EXPECT_DOUBLE_EQ(restored->Left(), 5);
    EXPECT_EQ(report->ReportOptions()->Password, QStringLiteral("pw"));
    // The script's object variables name the recreated objects.
    TksCustomVariable *v = report->Script()->FindLocal(QStringLiteral("Memo1"));
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Value.ToObject(), restored);
    EXPECT_EQ(report->Script()->FindLocal(QStringLiteral("Report"))->Value.ToObject(), report.get());

    // A build that fails is reported once.
    report->EngineOptions()->SetNewSilentMode(simMessageBoxes);
    engine->body = [&] {
        throw ElyrError(QStringLiteral("引擎失败"));
        return true;
    };
    EXPECT_FALSE(report->PrepareReport());
    EXPECT_EQ(report->Errors(), QStringList{QStringLiteral("引擎失败")});
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes.first(), QStringLiteral("The following error(s) have occured:\r\n引擎失败"));
}

TEST_F(ReportTest, ShowReportShowsFirstAndBuildsFromTheTimer)
{
    pages->pages = 3;
    report->ShowReport();
    EXPECT_EQ(pages->clears, 1);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(engine->runs, 1);             // built while the window was up
    EXPECT_EQ(report->Preview(), nullptr);  // the modal window is gone

    // Old-style: built first; a failed build shows nothing.
    report->SetOldStyleProgress(true);
    report->EngineOptions()->SetNewSilentMode(simSilent);
    engine->body = [] { return false; };
    report->ShowReport();
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(engine->runs, 2);
    engine->body = nullptr;
    report->ShowReport();
    EXPECT_EQ(shown, 2);

    // An attached preview control is used instead of a window.
    FakePreview control;
    report->SetPreview(&control);
    EXPECT_EQ(control.Report, report.get());
    report->ShowPreparedReport();
    EXPECT_EQ(control.inits, 2);
    EXPECT_EQ(shown, 2);
    report->SetPreview(nullptr);
    EXPECT_EQ(control.Report, nullptr);
}

TEST(TlyrReportNoEngine, BuildsNothingAndSaysWhy)
{
    lyrEngineFactories() = TlyrEngineFactories();
    fakecompiler::Install();
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    EXPECT_EQ(r.Engine(), nullptr);
    EXPECT_FALSE(r.PrepareReport());
    EXPECT_EQ(r.Errors().size(), 1);
    r.ShowReport();  // no window factory: nothing happens, nothing crashes
    fakecompiler::Uninstall();
}

TEST_F(ReportTest, DateAndTimeAddUpThroughTheCompiler)
{
    fakecompiler::Uninstall();
    engine->StartDate = 46000;
    engine->StartTime = 0.5;
    ASSERT_TRUE(report->PrepareScript()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    const KsValue v = report->Calc(QStringLiteral("<Date> + <Time>"));
    EXPECT_EQ(v.Kind(), KsKind::Date);
    EXPECT_DOUBLE_EQ(v.ToDouble(), 46000.5);
}

TEST_F(ReportTest, ScriptReachesOnlyLiveObjectsAfterARun)
{
    fakecompiler::Uninstall();
    report->EngineOptions()->SetNewSilentMode(simSilent);
    auto *page = new TtestPage(report.get());
    page->SetName(QStringLiteral("Page1"));
    auto *memo = new TlyrTestMemoView(page);
    memo->SetName(QStringLiteral("Memo1"));
    report->SetScriptText({QStringLiteral("procedure Mark(Sender: Variant);"), QStringLiteral("begin"),
                           QStringLiteral("  Memo1.Tag := Memo1.Tag + 1;"), QStringLiteral("end;"),
                           QStringLiteral("begin"), QStringLiteral("end.")});
    // The bindings of the report classes come later; this one is enough here.
    report->Script()->AddClass(ksFindClassInfo(QStringLiteral("TlyrTestMemoView")), QStringLiteral("TObject"));
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(QLatin1Char('\n')).toStdString();
    // The run rebuilt the template: the old memo is gone, the new one answers.
    auto *now = qobject_cast<TlyrTestMemoView *>(report->FindObject(QStringLiteral("Memo1")));
    ASSERT_NE(now, nullptr);
    report->DoNotifyEvent(report.get(), QStringLiteral("Mark"), true);
    EXPECT_EQ(now->Tag(), 1);
}

TEST_F(ReportTest, SettingsStoreFollowsIniFile)
{
    QTemporaryDir dir;
    report->SetIniFile(dir.filePath(QStringLiteral("lyr.ini")));
    {
        auto ini = report->GetIniFile();
        EXPECT_EQ(ini->format(), QSettings::IniFormat);
        ini->setValue(QStringLiteral("Form.TlyrDesignerForm/Units"), 1);
    }
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("lyr.ini"))));
    report->SetIniFile(QStringLiteral("\\Software\\Lyrane"));
    EXPECT_EQ(report->GetIniFile()->format(), QSettings::NativeFormat);
}

namespace {

// Every "Default:" class info of an option class names what a fresh object
// holds, so the written defaults and the members cannot drift apart.
void expectDeclaredDefaults(const QObject &fresh)
{
    const QMetaObject *meta = fresh.metaObject();
    int checked = 0;
    for (int i = meta->classInfoOffset(); i < meta->classInfoCount(); ++i) {
        const QMetaClassInfo info = meta->classInfo(i);
        const QByteArray key(info.name());
        if (!key.startsWith("Default:")) continue;
        const QMetaProperty p = meta->property(meta->indexOfProperty(key.mid(8).constData()));
        ASSERT_TRUE(p.isValid()) << key.constData();
        const QVariant v = p.read(&fresh);
        const QString text = p.isEnumType() ? QString::fromLatin1(p.enumerator().valueToKey(v.toInt())) : v.toString();
        EXPECT_EQ(text, QString::fromLatin1(info.value())) << meta->className() << ' ' << key.constData();
        ++checked;
    }
    EXPECT_GT(checked, 0) << meta->className();
}

}  // namespace

TEST(TlyrOptions, DefaultsAssignAndClear)
{
    expectDeclaredDefaults(TlyrEngineOptions());
    expectDeclaredDefaults(TlyrPreviewOptions());
    expectDeclaredDefaults(TlyrPrintOptions());
    expectDeclaredDefaults(TlyrReportOptions());

    TlyrPreviewOptions p;
    p.AllowEdit = false;
    p.Zoom = 2.5;
    p.ZoomMode = TlyrPreviewOptions::zmManyPages;
    p.OutlineWidth = 300;
    p.ThumbnailVisible = true;
    TlyrPreviewOptions q;
    q.Assign(p);
    EXPECT_FALSE(q.AllowEdit);
    EXPECT_DOUBLE_EQ(q.Zoom, 2.5);
    EXPECT_EQ(q.ZoomMode, TlyrPreviewOptions::zmManyPages);
    EXPECT_EQ(q.OutlineWidth, 300);
    q.Clear();  // only the outline, cache and thumbnail settings
    EXPECT_EQ(q.OutlineWidth, 120);
    EXPECT_FALSE(q.ThumbnailVisible);
    EXPECT_FALSE(q.AllowEdit);
    EXPECT_DOUBLE_EQ(q.Zoom, 2.5);

    TlyrEngineOptions e;
    e.SetNewSilentMode(simReThrow);
    e.SetConvertNulls(false);
    e.SetThreadSafeMode(true);
    TlyrEngineOptions f;
    f.Assign(e);
    EXPECT_EQ(f.NewSilentMode(), simReThrow);  // not undone by the computed SilentMode
    EXPECT_FALSE(f.ConvertNulls());
    EXPECT_FALSE(f.ThreadSafeMode());  // the unpublished flags stay
    f.Clear();
    EXPECT_TRUE(f.ConvertNulls());
    EXPECT_EQ(f.NewSilentMode(), simReThrow);

    TlyrPrintOptions o;
    o.Copies = 3;
    o.Printer = QStringLiteral("LPT1");
    o.Hidden = 9;
    TlyrPrintOptions c;
    c.Assign(o);
    EXPECT_EQ(c.Copies, 3);
    EXPECT_EQ(c.Printer, QStringLiteral("LPT1"));
    EXPECT_EQ(c.Hidden, 0);
    o.Clear();
    EXPECT_EQ(o.Copies, 1);
    EXPECT_EQ(o.Printer, QStringLiteral("Default"));
    EXPECT_EQ(o.Hidden, 0);

    lyrSetNowFunction([] { return 45000.5; });
    TlyrReportOptions r;
    r.Author = QStringLiteral("店长");
    r.Description = {QStringLiteral("x")};
    r.EnteredPassword = QStringLiteral("k");
    r.Clear();
    EXPECT_TRUE(r.Author.isEmpty());
    EXPECT_TRUE(r.Description.isEmpty());
    EXPECT_TRUE(r.EnteredPassword.isEmpty());
    EXPECT_DOUBLE_EQ(r.CreateDate, 45000.5);
    EXPECT_DOUBLE_EQ(r.LastChange, 45000.5);
    lyrSetNowFunction({});
}

namespace {

// Host functions: declared by the program, called by expressions in every
// script language and by the script, answered by OnUserFunction.
TEST(LyrReportHost, UserFunctionsAnswerExpressionsAndScripts)
{
    const std::pair<const char *, QStringList> langs[] = {
            {"PascalScript", {QStringLiteral("begin"), QStringLiteral("end.")}},
            {"C++Script", {QStringLiteral("{"), QStringLiteral("}")}},
            {"BasicScript", {}},
            {"JScript", {}}};
    for (const auto &[lang, text] : langs) {
        SCOPED_TRACE(lang);
        TlyrReport r;
        r.EngineOptions()->SetNewSilentMode(simSilent);
        r.SetScriptLanguage(QString::fromLatin1(lang));
        r.SetScriptText(text);
        r.AddFunction(QStringLiteral("function Tax(Amount: Extended): Extended"), QStringLiteral("ctOther"));
        QStringList calls;
        r.OnUserFunction = [&](const QString &name, QList<KsValue> &params) {
            calls << name;
            return KsValue(params[0].ToDouble() * 0.1);
        };
        ASSERT_TRUE(r.PrepareScript()) << r.Errors().join(u'\n').toStdString();
        EXPECT_DOUBLE_EQ(r.Calc(QStringLiteral("Tax(200) + 1")).ToDouble(), 21);
        EXPECT_EQ(calls, QStringList({QStringLiteral("TAX")}));
    }
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    r.AddFunction(QStringLiteral("function Tax(Amount: Extended): Extended"));
    r.AddFunction(QStringLiteral("function Mark(var Note: String): Boolean"));
    r.SetScriptText({QStringLiteral("var n: String;"), QStringLiteral("begin"),
                     QStringLiteral("  n := 'x';"),
                     QStringLiteral("  if Mark(n) then lyrGlobalVariables['N'] := n;"), QStringLiteral("end.")});
    // Without a handler a host function answers Null.
    ASSERT_TRUE(r.PrepareScript()) << r.Errors().join(u'\n').toStdString();
    EXPECT_TRUE(r.Calc(QStringLiteral("Tax(1)")).IsNull());
    r.OnUserFunction = [](const QString &name, QList<KsValue> &params) {
        EXPECT_EQ(name, QStringLiteral("MARK"));
        params[0] = KsValue(params[0].ToText() + QStringLiteral("-marked"));
        return KsValue(true);
    };
    ASSERT_TRUE(r.PrepareScript());
    r.Script()->Execute();
    EXPECT_EQ(lyrGlobalVariables().Variables(QStringLiteral("N")).toString(), QStringLiteral("x-marked"));
    lyrGlobalVariables().Clear();
}

class ProbeDatabase : public TlyrCustomDatabase {
public:
    using TlyrCustomDatabase::TlyrCustomDatabase;
    void SetConnected(bool v) override { connected = v; ++sets; }
    bool Connected() override { return connected; }
    bool connected = false;
    int sets = 0;
};

// A database of the report asks the report's OnBeforeConnect before it connects.
TEST(LyrReportHost, BeforeConnectMayKeepADatabaseClosed)
{
    TlyrReport r;
    auto *data = new TlyrDataPage(&r);
    auto *db = new ProbeDatabase(data);
    db->Connect();
    EXPECT_TRUE(db->connected);
    TlyrCustomDatabase *asked = nullptr;
    r.OnBeforeConnect = [&](TlyrCustomDatabase *d, bool &connected) {
        asked = d;
        connected = false;
    };
    db->Connect();
    EXPECT_EQ(asked, db);
    EXPECT_FALSE(db->connected);
    EXPECT_EQ(db->sets, 2);
}

}  // namespace

