// The compiler: the conformance corpus of the four languages, golden
// intermediate code, the report's expression wrapper, units, host objects
// and the faults the compiler must handle soundly.
#include "ks_print.h"
#include "script/ks_grammars.h"
#include "script/ks_iconst.h"
#include "script/ks_iilparser.h"
#include "script/ks_istatements.h"
#include "script/ks_itools.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

class TksTestPart : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Qty READ Qty WRITE SetQty)
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
public:
    Q_INVOKABLE explicit TksTestPart(QObject *parent = nullptr) : QObject(parent) {}
    int Qty() const { return FQty; }
    void SetQty(int v) { FQty = v; }
    QString Title() const { return FTitle; }
    void SetTitle(const QString &v) { FTitle = v; }

private:
    int FQty = 1;
    QString FTitle;
};

namespace {

QString ReadText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.readAll());
}

// A host routine of the script given by its declaration.
void AddFunction(TksScript &s, const char *declaration, std::function<KsValue(TksMethodHelper *)> fn)
{
    s.AddMethod(QLatin1String(declaration),
                [fn](QObject *, const KsClassInfo *, const QString &, TksMethodHelper *h) { return fn(h); });
}

QString SourceDir()
{
    return QStringLiteral(VELMORA_SOURCE_DIR);
}
QString CorpusDir()
{
    return SourceDir() + QStringLiteral("/tests/script/corpus/");
}

struct Lang {
    const char *Dir;
    const char *Ext;
    const char *Name;
};
const Lang kLangs[] = {{"pascal", "*.pas", "PascalScript"},
                       {"cpp", "*.cpps", "C++Script"},
                       {"basic", "*.bas", "BasicScript"},
                       {"js", "*.js", "JScript"}};

// Each script of tests/script/corpus/<language>/ runs and prints exactly its
// .out file: Out lines, or the compile or run-time error line.
void RunCorpus(const Lang &lang, int minimumFiles)
{
    QDir dir(CorpusDir() + QLatin1String(lang.Dir));
    const QStringList files = dir.entryList({QLatin1String(lang.Ext)}, QDir::Files, QDir::Name);
    EXPECT_GE(files.size(), minimumFiles);
    for (const QString &f : files) {
        SCOPED_TRACE(f.toStdString());
        const QString base = dir.filePath(f.section(QLatin1Char('.'), 0, 0));
        const QStringList expected = ksSplitScriptLines(ReadText(base + QStringLiteral(".out")));
        const KsRunResult r = ksRunScript(ReadText(dir.filePath(f)), QLatin1String(lang.Name));
        EXPECT_EQ(r.Output, expected);
        const bool wantsError = f.startsWith(QLatin1String("err_"));
        EXPECT_EQ(r.Code == 1, wantsError) << r.Error.toStdString();
    }
}

TEST(KsCorpus, PascalScript)
{
    RunCorpus(kLangs[0], 20);
}
TEST(KsCorpus, CppScript)
{
    RunCorpus(kLangs[1], 6);
}
TEST(KsCorpus, BasicScript)
{
    RunCorpus(kLangs[2], 10);
}
TEST(KsCorpus, JScript)
{
    RunCorpus(kLangs[3], 10);
}

// The runner used from the command line behaves as the in-process one.
TEST(KsRunner, ExitCodesAndOutput)
{
    const QString exe = QStringLiteral(VELMORA_BINARY_DIR) + QStringLiteral("/bin/ksrun");
    if (!QFile::exists(exe)) GTEST_SKIP() << "ksrun not built";
    auto run = [&](const QStringList &args, QString &out) {
        QProcess p;
        p.start(exe, args);
        EXPECT_TRUE(p.waitForFinished(30000));
        out = QString::fromUtf8(p.readAllStandardOutput());
        return p.exitCode();
    };
    QString out;
    EXPECT_EQ(run({CorpusDir() + QStringLiteral("pascal/routines.pas")}, out), 0);
    EXPECT_TRUE(out.startsWith(QStringLiteral("3628800\n")));
    EXPECT_EQ(run({CorpusDir() + QStringLiteral("pascal/err_undeclared.pas")}, out), 1);
    EXPECT_EQ(out, QStringLiteral("2:3: Undeclared identifier: 'x'\n"));
    EXPECT_EQ(run({QStringLiteral("--language"), QStringLiteral("JScript"), CorpusDir() + QStringLiteral("js/ops.js")},
                  out),
              0);
    EXPECT_EQ(run({CorpusDir() + QStringLiteral("pascal/exceptions.pas")}, out), 2);
    EXPECT_TRUE(out.endsWith(QStringLiteral("4:3: Exception: uncaught\n")));
    EXPECT_EQ(run({QStringLiteral("/nonexistent/x.pas")}, out), 3);
}

// A file's text splits at LF; a CR just before it goes with it, any other CR stays.
TEST(KsRunner, LinesSplitAtLineFeeds)
{
    const QStringList none;
    EXPECT_EQ(ksSplitScriptLines(QString()), none);
    EXPECT_EQ(ksSplitScriptLines(QStringLiteral("a\r\nb\nc")), QStringList({"a", "b", "c"}));
    EXPECT_EQ(ksSplitScriptLines(QStringLiteral("a\r\n\r\nb\n")), QStringList({"a", "", "b"}));
    EXPECT_EQ(ksSplitScriptLines(QStringLiteral("a\rb\r\r\n\r")), QStringList({"a\rb\r", "\r"}));
    EXPECT_EQ(ksSplitScriptLines(QStringLiteral("\n\n")), QStringList({"", ""}));
}

// ---- grammars and pass 1 ---------------------------------------------------------------

TEST(KsGrammars, EmbeddedTextsAreTheResourceFiles)
{
    const char *files[] = {"pascal", "cpp", "basic", "js"};
    int i = 0;
    for (; ksBuiltinGrammars[i]; ++i) {
        ASSERT_LT(i, 4);
        const QString path =
                SourceDir() + QStringLiteral("/resources/grammars/") + QLatin1String(files[i]) + QStringLiteral(".xml");
        EXPECT_EQ(QString::fromUtf8(ksBuiltinGrammars[i]), ReadText(path)) << "regenerate with grammars_regen";
    }
    EXPECT_EQ(i, 4);
    const QStringList names = ksLanguageNames();
    for (const char *n : {"PascalScript", "C++Script", "BasicScript", "JScript"})
        EXPECT_TRUE(names.contains(QLatin1String(n))) << n;
}

// Every rule reference of the four grammars names a rule (no
// "Invalid language definition" hides in a rarely used branch), and every
// err id has a text.
TEST(KsGrammars, ReferencesAndErrorIdsResolve)
{
    static const QStringList groups = {"char",     "keyword", "ident",       "number", "string",
                                       "lystring", "eol",     "sequence",    "switch", "optionalswitch",
                                       "optional", "loop",    "optionalloop"};
    for (const char *lang : {"PascalScript", "C++Script", "BasicScript", "JScript"}) {
        SCOPED_TRACE(lang);
        TksXMLDocument doc;
        doc.LoadFromString(ksLanguageGrammar(QLatin1String(lang)));
        TksXMLItem *root = doc.Root();
        QStringList rules, errors;
        for (int i = 0; i < root->Count(); ++i) rules << root->Items(i)->Name.toLower();
        TksXMLItem *errs = root->FindItem(QStringLiteral("parser"))->FindItem(QStringLiteral("errors"));
        for (int i = 0; i < errs->Count(); ++i) errors << errs->Items(i)->Name;
        std::function<void(TksXMLItem *)> walk = [&](TksXMLItem *x) {
            const QString n = x->Name.toLower();
            if (!groups.contains(n)) EXPECT_TRUE(rules.contains(n)) << n.toStdString();
            const QString err = x->Prop(QStringLiteral("err"));
            if (!err.isEmpty()) EXPECT_TRUE(errors.contains(err)) << err.toStdString();
            for (int i = 0; i < x->Count(); ++i) walk(x->Items(i));
        };
        for (int i = 0; i < root->Count(); ++i) {
            const QString n = root->Items(i)->Name.toLower();
            if (n == QLatin1String("parser") || n == QLatin1String("types")) continue;
            for (int j = 0; j < root->Items(i)->Count(); ++j) walk(root->Items(i)->Items(j));
        }
    }
}

// The keyword lists, error tables and aliases of the four languages.
TEST(KsGrammars, KeywordsErrorsAndAliases)
{
    struct Expect {
        const char *Lang;
        int Keywords;
        int Errors;
        const char *Aliases;
    } expect[] = {{"PascalScript", 40, 20, ""},
                  {"C++Script", 19, 18, "int=integer long=integer void=integer bool=boolean float=extended"},
                  {"BasicScript", 40, 28, "decimal=extended"},
                  {"JScript", 22, 17, ""}};
    for (const Expect &e : expect) {
        SCOPED_TRACE(e.Lang);
        TksXMLDocument doc;
        doc.LoadFromString(ksLanguageGrammar(QLatin1String(e.Lang)));
        TksXMLItem *parser = doc.Root()->FindItem(QStringLiteral("parser"));
        EXPECT_EQ(parser->FindItem(QStringLiteral("keywords"))->Count(), e.Keywords);
        EXPECT_EQ(parser->FindItem(QStringLiteral("errors"))->Count(), e.Errors);
        QStringList aliases;
        TksXMLItem *types = doc.Root()->FindItem(QStringLiteral("types"));
        for (int i = 0; i < types->Count(); ++i)
            aliases << types->Items(i)->Name + QLatin1Char('=') + types->Items(i)->Prop(QStringLiteral("type"));
        EXPECT_EQ(aliases.join(QLatin1Char(' ')), QLatin1String(e.Aliases));
        // the children of the root in the order every grammar keeps
        EXPECT_EQ(doc.Root()->Items(0)->Name, QStringLiteral("parser"));
        EXPECT_EQ(doc.Root()->Items(1)->Name, QStringLiteral("types"));
        EXPECT_EQ(doc.Root()->Items(2)->Name, QStringLiteral("empty"));
        EXPECT_EQ(doc.Root()->Items(3)->Name, QStringLiteral("program"));
    }
}

TEST(KsPass1, AssignmentBecomesCompoundAssignDesignatorAndExpression)
{
    TksXMLDocument doc;
    QString err;
    doc.LoadFromString(ksMakeIL(QStringLiteral("begin x := 1 end."), QStringLiteral("PascalScript"), &err));
    TksXMLItem *program = doc.Root();
    ASSERT_EQ(program->Name, QStringLiteral("program"));
    TksXMLItem *compound = program->Items(0);
    EXPECT_EQ(compound->Name, QStringLiteral("compoundstmt"));
    ASSERT_EQ(compound->Count(), 1);
    TksXMLItem *assign = compound->Items(0);
    EXPECT_EQ(assign->Name, QStringLiteral("assignstmt"));
    EXPECT_EQ(assign->Prop(QStringLiteral("pos")), QStringLiteral("1:7"));
    ASSERT_EQ(assign->Count(), 2);
    EXPECT_EQ(assign->Items(0)->Name, QStringLiteral("dsgn"));
    EXPECT_EQ(assign->Items(0)->Items(0)->Prop(QStringLiteral("text")), QStringLiteral("x"));
    TksXMLItem *expr = assign->Items(1);
    EXPECT_EQ(expr->Name, QStringLiteral("expr"));
    EXPECT_EQ(expr->Prop(QStringLiteral("pos1")), QStringLiteral("1:13"));
    EXPECT_EQ(expr->Items(0)->Name, QStringLiteral("number"));
    EXPECT_EQ(program->Items(program->Count() - 1)->Name, QStringLiteral("types"));
}

TEST(KsPass1, GreaterEqualOnlyWithoutBlank)
{
    TksXMLDocument doc;
    doc.LoadFromString(ksMakeIL(QStringLiteral("begin a := b >= c end."), QStringLiteral("PascalScript")));
    TksXMLItem *expr = doc.Root()->Items(0)->Items(0)->Items(1);
    ASSERT_EQ(expr->Count(), 3);
    EXPECT_EQ(expr->Items(1)->Name, QStringLiteral("op"));
    EXPECT_EQ(expr->Items(1)->Prop(QStringLiteral("text")), QStringLiteral(">="));
    QString err;
    EXPECT_TRUE(ksMakeIL(QStringLiteral("begin a := b > = c end."), QStringLiteral("PascalScript"), &err).isEmpty());
    EXPECT_EQ(err, QStringLiteral("1:14: ';' expected"));
}

// A few scripts per language against their stored intermediate code.
TEST(KsPass1, GoldenIntermediateCode)
{
    QDir dir(SourceDir() + QStringLiteral("/tests/script/golden"));
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    int checked = 0;
    for (const QString &f : files) {
        if (f.endsWith(QLatin1String(".il"))) continue;
        SCOPED_TRACE(f.toStdString());
        const QString ext = f.section(QLatin1Char('.'), -1);
        const QString lang = ext == QLatin1String("pas")    ? QStringLiteral("PascalScript")
                             : ext == QLatin1String("cpps") ? QStringLiteral("C++Script")
                             : ext == QLatin1String("bas")  ? QStringLiteral("BasicScript")
                                                            : QStringLiteral("JScript");
        QString text = ReadText(dir.filePath(f));
        text = ksSplitScriptLines(text).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
        QString err;
        const QString il = ksMakeIL(text, lang, &err);
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
        EXPECT_EQ(il, ReadText(dir.filePath(f + QStringLiteral(".il"))));
        ++checked;
    }
    EXPECT_GE(checked, 8);
}

TEST(KsPass1, NoErrorLeavesMessageAndPositionEmpty)
{
    TksScript s;
    s.AddRTTI();
    s.ErrorMsg = QStringLiteral("old");
    s.ErrorPos = QStringLiteral("9:9");
    s.Lines << QStringLiteral("begin end.");
    EXPECT_TRUE(s.Compile());
    EXPECT_TRUE(s.ErrorMsg.isEmpty());
    EXPECT_TRUE(s.ErrorPos.isEmpty());
}

// ---- languages ----------------------------------------------------------------------------

TEST(KsLanguages, UnknownAndBrokenLanguagesAreCompileErrors)
{
    TksScript s;
    s.SyntaxType = QStringLiteral("Klingon");
    s.Lines << QStringLiteral("begin end.");
    bool ok = true;
    EXPECT_NO_THROW(ok = s.Compile());
    EXPECT_FALSE(ok);
    EXPECT_EQ(s.ErrorMsg, QStringLiteral("Language 'Klingon' not found"));
    // a grammar whose start rule names a rule it does not define
    ksAddLanguage(QStringLiteral("BrokenLang"),
                  QStringLiteral("<?xml version=\"1.0\"?><language text=\"BrokenLang\"><parser/><types/>"
                                 "<program><nowhere/></program></language>"));
    s.SyntaxType = QStringLiteral("brokenlang");
    EXPECT_NO_THROW(ok = s.Compile());
    EXPECT_FALSE(ok);
    EXPECT_EQ(s.ErrorMsg, QStringLiteral("Invalid language definition"));
    // a grammar text that is no XML at all
    ksAddLanguage(QStringLiteral("BrokenLang"), QStringLiteral("not xml"));
    EXPECT_NO_THROW(ok = s.Compile());
    EXPECT_EQ(s.ErrorMsg, QStringLiteral("Invalid language definition"));
}

TEST(KsLanguages, RegisteringAgainReplacesTheGrammar)
{
    const QString pascal = ksLanguageGrammar(QStringLiteral("PascalScript"));
    QString tiny = QStringLiteral(
            "<?xml version=\"1.0\"?><language text=\"Tiny\"><parser><errors><err1 text=\"Number please\"/></errors>"
            "</parser><types/><program><number add=\"number\" err=\"err1\"/></program></language>");
    ksAddLanguage(QStringLiteral("Tiny"), tiny);
    QString err;
    EXPECT_TRUE(ksMakeIL(QStringLiteral("x"), QStringLiteral("TINY"), &err).isEmpty());
    EXPECT_EQ(err, QStringLiteral("1:1: Number please"));
    ksAddLanguage(QStringLiteral("tiny"), pascal);
    EXPECT_FALSE(ksMakeIL(QStringLiteral("begin end."), QStringLiteral("Tiny")).isEmpty());
    EXPECT_EQ(ksLanguageNames()
                      .filter(QRegularExpression(QStringLiteral("^tiny$"), QRegularExpression::CaseInsensitiveOption))
                      .size(),
              1);
}

TEST(KsLanguages, LanguageLineReplacesSyntaxTypeOnlyAtTheFirstCharacter)
{
    TksScript s;
    s.AddRTTI();
    s.SyntaxType = QStringLiteral("PascalScript");
    s.Lines << QStringLiteral("#language BasicScript") << QStringLiteral("x = 1");
    EXPECT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    s.Clear();
    s.Lines.prepend(QString());
    EXPECT_FALSE(s.Compile());
    EXPECT_EQ(s.ErrorPos, QStringLiteral("2:1"));
}

// ---- pass 2 ------------------------------------------------------------------------------

TEST(KsPass2, ErrorsInUnitsCarryTheUnitNameAndUnitsAreIncludedOnce)
{
    TksScript s;
    s.AddRTTI();
    int loads = 0;
    s.OnGetUnit = [&](TksScript *, const QString &name, QString &text) {
        ++loads;
        if (name == QLatin1String("a.pas"))
            text = QStringLiteral("uses 'b.pas';\nvar FromA: Integer;\nbegin end.");
        else if (name == QLatin1String("b.pas"))
            text = QStringLiteral("var FromB: Integer;\nbegin end.");
        else if (name == QLatin1String("bad.pas"))
            text = QStringLiteral("var q: Integer;\nbegin\n  q := ;\nend.");
    };
    s.Lines << QStringLiteral("uses 'a.pas', 'b.pas';") << QStringLiteral("begin FromA := 1; FromB := 2 end.");
    EXPECT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    EXPECT_EQ(loads, 2);
    s.Clear();
    s.Lines = QStringList{QStringLiteral("uses 'bad.pas';"), QStringLiteral("begin end.")};
    EXPECT_FALSE(s.Compile());
    EXPECT_EQ(s.ErrorMsg, QStringLiteral("Expression expected"));
    EXPECT_EQ(s.ErrorPos, QStringLiteral("3:8"));
    EXPECT_EQ(s.ErrorUnit, QStringLiteral("bad.pas"));
}

TEST(KsPass2, ExecutableLinesAndRunLinePositions)
{
    TksScript s;
    s.AddRTTI();
    s.Lines << QStringLiteral("var i: Integer;") << QStringLiteral("begin") << QStringLiteral("  i := 1;")
            << QStringLiteral("  if i = 1 then") << QStringLiteral("    i := 2;") << QStringLiteral("end.");
    ASSERT_TRUE(s.Compile());
    EXPECT_EQ(s.ExecutableLines, QStringList({QStringLiteral("=,3,4,5")}));
    QStringList seen;
    s.OnRunLine = [&](TksScript *, const QString &, const QString &pos) { seen << pos; };
    s.Execute();
    EXPECT_EQ(seen, QStringList({"3:3", "4:3", "5:5"}));
}

// A script remembers that no line handler is up its chain; a handler set on a
// parent after the child was compiled and run, a new Parent, or a removed
// handler must all be seen by the next run.
TEST(KsPass2, LineHandlersChangedAfterARunAreSeen)
{
    TksScript base, report, other;
    report.Parent = &base;
    TksScript cache;
    cache.AddRTTI();
    cache.Parent = &report;
    cache.SyntaxType = QStringLiteral("JScript");
    cache.Lines = QStringList{QStringLiteral("function f(n) {"),
                              QStringLiteral("  var s = 0, i;"),
                              QStringLiteral("  for (i = 1; i <= n; i++)"),
                              QStringLiteral("    s = s + i;"),
                              QStringLiteral("  return s;"),
                              QStringLiteral("}")};
    ASSERT_TRUE(cache.Compile()) << cache.ErrorPos.toStdString() << " " << cache.ErrorMsg.toStdString();
    auto f = [&](int n) { return cache.CallFunction(QStringLiteral("f"), KsValue::MakeList({KsValue(n)})); };
    EXPECT_EQ(f(10).ToInt(), 55);  // no handler anywhere yet

    QStringList seen;
    TksScript *sender = nullptr;
    auto record = [&](TksScript *s, const QString &, const QString &pos) {
        sender = s;
        seen << pos.section(QLatin1Char(':'), 0, 0);  // the line
    };
    base.OnRunLine = record;  // on the grandparent
    EXPECT_EQ(f(2).ToInt(), 3);
    // s = 0, the for, i = 1, two passes of the body and of i++, the return
    // (its result and its exit)
    EXPECT_EQ(seen, QStringList({"2", "3", "3", "4", "3", "4", "3", "5", "5"}));
    ASSERT_NE(sender, nullptr);
    EXPECT_EQ(sender->Parent, &cache);  // the function's own script

    // Terminate from a parent's handler: the statement that fired does not run,
    // nor does anything after it
    int lines = 0;
    KsValue sumAtStop;
    TksCustomVariable *s = nullptr;
    report.OnRunLine = [&](TksScript *sender, const QString &, const QString &) {
        if (!s) s = sender->FindLocal(QStringLiteral("s"));
        if (++lines == 6) {
            sumAtStop = s->Value;
            cache.Terminate();
        }
    };
    f(100);
    EXPECT_EQ(lines, 6);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Value.ToInt(), sumAtStop.ToInt());
    EXPECT_LT(s->Value.ToInt(), 5050);

    // the handlers removed: the next run is whole and silent
    report.OnRunLine = nullptr;
    base.OnRunLine = nullptr;
    lines = 0;
    seen.clear();
    EXPECT_EQ(f(100).ToInt(), 5050);
    EXPECT_EQ(lines, 0);
    EXPECT_TRUE(seen.isEmpty());

    // moved under a parent that has a handler (copied from another script)
    base.OnRunLine = record;
    other.OnRunLine = base.OnRunLine;
    base.OnRunLine = nullptr;
    cache.Parent = &other;
    EXPECT_EQ(f(1).ToInt(), 1);
    EXPECT_EQ(seen, QStringList({"2", "3", "3", "4", "3", "5", "5"}));
}

// A run-time error names the statement that raised it.
TEST(KsPass2, RunTimeErrorsCarryTheStatementPosition)
{
    const KsRunResult r = ksRunScript(QStringLiteral("var a: Integer;\nbegin\n  a := 0;\n  a := 5 div a;\nend."),
                                      QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Code, 2);
    EXPECT_TRUE(r.Error.startsWith(QStringLiteral("4:3: "))) << r.Error.toStdString();
}

// The report compiles each bracketed expression into a function of the
// report's language; a <...> text inside is a call of Get.
TEST(KsPass2, ReportExpressionWrapperInAllLanguages)
{
    const QString expr = QStringLiteral("<Price> * 2 + 1");
    const QStringList texts = {QStringLiteral("function ly3f0: Variant; begin Result := ") + expr +
                                       QStringLiteral(" end; begin end."),
                               QStringLiteral("Variant ly3f0() { return ") + expr + QStringLiteral("; } {}"),
                               QStringLiteral("function ly3f0\r\nreturn ") + expr + QStringLiteral("\r\nend function"),
                               QStringLiteral("function ly3f0() { return ") + expr + QStringLiteral("; }")};
    const char *langs[] = {"PascalScript", "C++Script", "BasicScript", "JScript"};
    TksScript report;
    report.AddRTTI();
    QStringList asked;
    AddFunction(report, "function Get(Name: String): Variant", [&](TksMethodHelper *h) {
        asked << h->GetParam(0).ToText();
        return KsValue(20);
    });
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(langs[i]);
        TksScript cache;
        cache.Parent = &report;
        cache.SyntaxType = QLatin1String(langs[i]);
        cache.Lines = QStringList{texts[i]};
        ASSERT_TRUE(cache.Compile()) << cache.ErrorPos.toStdString() << " " << cache.ErrorMsg.toStdString();
        EXPECT_EQ(cache.CallFunction(QStringLiteral("ly3f0")).ToInt(), 41);
    }
    EXPECT_EQ(asked, QStringList(4, QStringLiteral("Price")));
    // a compile error of an expression is reported, not raised
    TksScript cache;
    cache.Parent = &report;
    cache.Lines = QStringList{QStringLiteral("function ly3f1: Variant; begin Result := 1 + end; begin end.")};
    EXPECT_FALSE(cache.Compile());
    EXPECT_EQ(cache.ErrorMsg, QStringLiteral("';' expected"));
}

// Macro functions receive their arguments as source text.
TEST(KsPass2, MacroArgumentsArriveAsText)
{
    TksScript s;
    s.AddRTTI();
    AddFunction(s, "macrofunction SUM(Expr: Variant; Band: Variant = 0): Variant", [](TksMethodHelper *h) {
        return KsValue(h->GetParam(0).ToText() + QLatin1Char('|') + h->GetParam(1).ToText());
    });
    s.Lines << QStringLiteral("var r: String; begin r := SUM(a.b + 1, Band1) end.");
    s.AddVariable(QStringLiteral("a"), QStringLiteral("Variant"), KsValue());
    s.AddVariable(QStringLiteral("Band1"), QStringLiteral("Variant"), KsValue());
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    s.Execute();
    EXPECT_EQ(s.Find(QStringLiteral("r"))->Value.ToText(), QStringLiteral("a.b + 1|Band1"));
}

class KsHostCompile : public ::testing::Test {
protected:
    void SetUp() override
    {
        S.AddRTTI();
        Part.setObjectName(QStringLiteral("Part1"));
        auto *child = new TksTestPart(&Part);
        child->setObjectName(QStringLiteral("Inner"));
        child->SetQty(9);
    }
    KsRunResult Run(const QString &lang, const QString &text)
    {
        S.Clear();
        Cls = S.AddClass(ksRegisterClass<TksTestPart>(), QStringLiteral("TObject"));
        S.AddObject(QStringLiteral("Part1"), &Part);
        S.SyntaxType = lang;
        S.Lines = ksSplitScriptLines(text);
        KsRunResult r;
        if (!S.Compile()) {
            r.Code = 1;
            r.Error = S.ErrorPos + QStringLiteral(": ") + S.ErrorMsg;
            return r;
        }
        try {
            S.Execute();
        } catch (const KsError &e) {
            r.Code = 2;
            r.Error = e.Message;
        }
        return r;
    }
    TksScript S;
    TksClassVariable *Cls = nullptr;
    TksTestPart Part;
};

TEST_F(KsHostCompile, PropertiesWithAndChildComponents)
{
    KsRunResult r = Run(QStringLiteral("PascalScript"),
                        QStringLiteral("begin Part1.Qty := Part1.Qty + 4; with Part1 do Title := 'w' + IntToStr(Qty);"
                                       " Part1.Title := Part1.Title + IntToStr(Part1.Inner.Qty) end."));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(Part.Qty(), 5);
    EXPECT_EQ(Part.Title(), QStringLiteral("w59"));
    r = Run(QStringLiteral("PascalScript"), QStringLiteral("begin Part1.Nothing := 1 end."));
    EXPECT_EQ(r.Error, QStringLiteral("1:7: Undeclared identifier: 'Nothing'"));
    r = Run(QStringLiteral("PascalScript"), QStringLiteral("var i: Integer; begin with i do ; end."));
    EXPECT_EQ(r.Error, QStringLiteral("1:23: Class type required"));
}

TEST_F(KsHostCompile, WithInBasicAndJScript)
{
    KsRunResult r = Run(QStringLiteral("BasicScript"),
                        QStringLiteral("With Part1\n  Qty = 40\n  Title = \"b\" & Qty\nEnd With\n"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(Part.Title(), QStringLiteral("b40"));
    r = Run(QStringLiteral("JScript"), QStringLiteral("with (Part1) { Qty = Qty + 2; Title = \"j\"; }"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(Part.Qty(), 42);
    EXPECT_EQ(Part.Title(), QStringLiteral("j"));
    // with on a variant that holds the object only at run time
    r = Run(QStringLiteral("JScript"),
            QStringLiteral("var p; p = Part1; with (p) { Qty = 7; Title = \"v\"; Qty = Qty * 2; }"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(Part.Title(), QStringLiteral("v"));
    EXPECT_EQ(Part.Qty(), 14);
}

// A variant that holds no object at compile time resolves its members when
// it runs; unassigned counts like Null.
TEST_F(KsHostCompile, UnassignedVariantsAreLateBound)
{
    KsRunResult r = Run(QStringLiteral("JScript"), QStringLiteral("var p; p = Part1; p.Qty = 12; Out = p.Qty;"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(Part.Qty(), 12);
    r = Run(QStringLiteral("PascalScript"), QStringLiteral("var v: Variant; begin v := Part1; v.Title := 'late' end."));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(Part.Title(), QStringLiteral("late"));
    // still nothing in it when it runs: a catchable error
    r = Run(QStringLiteral("PascalScript"),
            QStringLiteral("var v: Variant; s: String; begin try v.Title := 'x' except s := 'caught' end; "
                           "Part1.Title := s end."));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(Part.Title(), QStringLiteral("caught"));
}

// Parentheses serve both calls and indexes: after an object whose class has
// a default property, an array or an indexed property they are the index,
// read and written, and a member may follow them.
TEST_F(KsHostCompile, ParenthesesIndexDefaultAndIndexedProperties)
{
    struct Case {
        const char *Lang;
        const char *Text;
    };
    const Case cases[] = {
            {"BasicScript",
             "Dim l As TStringList\nl = New TStringList\nl.Add(\"a\")\nl.Add(\"b\")\n"
             "l(1) = \"B\"\nDim x As TksXMLItem\nx = New TksXMLItem\nx.Add\nx.Add\nx.Items(0).Add\n"
             "x.Items(1).Name = \"n\"\nx.Items(1).Prop(\"k\") = \"v\"\nx.Items(0).Items(0).Name = \"d\"\n"
             "Dim a[3]\na(2) = 4\na[1] = a(2) * 2\n"
             "Part1.Title = l(0) & l(1) & x.Items(1).Name & x.Items(1).Prop(\"k\") & x.Items(0).Items(0).Name\n"
             "Part1.Qty = a(1) + x.Items(0).Count\n"},
            // variants holding the objects only when they run
            {"BasicScript",
             "Dim l, x\nl = New TStringList\nl.Add(\"a\")\nl.Add(\"b\")\nl(1) = \"B\"\n"
             "x = New TksXMLItem\nx.Add\nx.Add\nx.Items(0).Add\n"
             "x.Items(1).Name = \"n\"\nx.Items(1).Prop(\"k\") = \"v\"\nx.Items(0).Items(0).Name = \"d\"\n"
             "Part1.Title = l(0) & l(1) & x.Items(1).Name & x.Items(1).Prop(\"k\") & x.Items(0).Items(0).Name\n"
             "Part1.Qty = 8 + x.Items(0).Count\n"},
            {"PascalScript",
             "var l: TStringList; x: TksXMLItem; a: array[3] of Integer;\n"
             "begin l := TStringList.Create; l.Add('a'); l.Add('b'); l[1] := 'B';\n"
             "x := TksXMLItem.Create; x.Add; x.Add; x.Items[0].Add; x.Items(1).Name := 'n';\n"
             "x.Items[1].Prop['k'] := 'v'; x.Items(0).Items(0).Name := 'd'; a[2] := 4; a[1] := a[2] * 2;\n"
             "Part1.Title := l[0] + l(1) + x.Items[1].Name + x.Items(1).Prop('k') + x.Items[0].Items[0].Name;\n"
             "Part1.Qty := a[1] + x.Items(0).Count end."},
            {"C++Script",
             "{ TStringList l = new TStringList; l.Add(\"a\"); l.Add(\"b\"); l(1) = \"B\";\n"
             "TksXMLItem x = new TksXMLItem; x.Add; x.Add; x.Items[0].Add; x.Items(1).Name = \"n\";\n"
             "x.Items[1].Prop[\"k\"] = \"v\"; x.Items(0).Items(0).Name = \"d\"; int a[3]; a[2] = 4; a[1] = a[2] * 2;\n"
             "Part1.Title = l[0] + l[1] + x.Items[1].Name + x.Items(1).Prop(\"k\") + x.Items[0].Items[0].Name;\n"
             "Part1.Qty = a[1] + x.Items(0).Count; }"},
            {"JScript",
             "var l = new TStringList; l.Add(\"a\"); l.Add(\"b\"); l(1) = \"B\";\n"
             "var x = new TksXMLItem; x.Add; x.Add; x.Items[0].Add; x.Items(1).Name = \"n\";\n"
             "x.Items[1].Prop[\"k\"] = \"v\"; x.Items(0).Items(0).Name = \"d\";\n"
             "Part1.Title = l[0] + l(1) + x.Items[1].Name + x.Items(1).Prop(\"k\") + x.Items[0].Items[0].Name;\n"
             "Part1.Qty = 8 + x.Items(0).Count;"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Text);
        Part.SetTitle(QString());
        Part.SetQty(0);
        const KsRunResult r = Run(QLatin1String(c.Lang), QLatin1String(c.Text));
        EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
        EXPECT_EQ(Part.Title(), QStringLiteral("aBnvd"));
        EXPECT_EQ(Part.Qty(), 9);
    }
    // what takes no index still refuses one
    KsRunResult r = Run(QStringLiteral("BasicScript"), QStringLiteral("Dim s As String\ns = \"ab\"\nOut(s(1))\n"));
    EXPECT_EQ(r.Error, QStringLiteral("3:5: Too many actual parameters"));
    r = Run(QStringLiteral("BasicScript"), QStringLiteral("Nowhere(1)\n"));
    EXPECT_EQ(r.Error, QStringLiteral("1:1: Too many actual parameters"));
    r = Run(QStringLiteral("BasicScript"), QStringLiteral("Part1(1) = 2\n"));
    EXPECT_EQ(r.Error, QStringLiteral("1:1: Too many actual parameters"));
    r = Run(QStringLiteral("BasicScript"),
            QStringLiteral("Dim x As TksXMLItem\nx = New TksXMLItem\nx.Items.Name = \"n\"\n"));
    EXPECT_EQ(r.Error, QStringLiteral("3:1: Index required"));
    // a variant that holds no object when it runs: a catchable error
    r = Run(QStringLiteral("BasicScript"),
            QStringLiteral("Dim u\nu = 5\nTry\n  u(1) = 3\nCatch\n  Part1.Title = \"caught\"\nEnd Try\n"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(Part.Title(), QStringLiteral("caught"));
}

TEST_F(KsHostCompile, NewAndTypeNames)
{
    KsRunResult r = Run(QStringLiteral("PascalScript"),
                        QStringLiteral("var p: TksTestPart; begin p := TksTestPart.Create(nil); p.Qty := 3; "
                                       "Part1.Qty := p.Qty * 2; end."));
    // the class has no Create of its own: TObject's takes no owner
    EXPECT_EQ(r.Error, QStringLiteral("1:32: Too many actual parameters"));
    r = Run(QStringLiteral("PascalScript"),
            QStringLiteral("var p: TksTestPart; begin p := TksTestPart.Create; p.Qty := 4; Part1.Qty := p.Qty * 2; "
                           "p.Free end."));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(Part.Qty(), 8);
    r = Run(QStringLiteral("PascalScript"),
            QStringLiteral("var p: TksTestPart; begin p := TksTestPart; p.Qty := 3; Part1.Qty := p.Qty * 2; end."));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(Part.Qty(), 6);
    r = Run(QStringLiteral("PascalScript"), QStringLiteral("var p: TksTestPart; i: Integer; begin i := p end."));
    EXPECT_EQ(r.Error, QStringLiteral("1:39: Incompatible types: 'Integer', 'TksTestPart'"));
}

// The uses clauses of the other three languages.
TEST(KsPass2, IncludeImportAndImports)
{
    struct Case {
        const char *Lang;
        const char *Main;
        const char *Unit;
    } cases[] = {{"C++Script", "#include \"u\"\n{ Out(Twice(4)); }", "int Twice(int x) { return x * 2; }\n{ }"},
                 {"JScript", "import \"u\";\nOut(Twice(4));", "function Twice(x) { return x * 2; }"},
                 {"BasicScript", "Imports \"u\"\nOut(Twice(4))", "Function Twice(x)\n  Return x * 2\nEnd Function"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Lang);
        TksScript s;
        s.AddRTTI();
        QStringList out;
        AddFunction(s, "procedure Out(V: Variant)", [&](TksMethodHelper *h) {
            out << h->GetParam(0).ToText();
            return KsValue();
        });
        const QString unit = QString::fromLatin1(c.Unit);
        s.OnGetUnit = [&](TksScript *, const QString &name, QString &text) {
            if (name == QLatin1String("u")) text = unit;
        };
        s.SyntaxType = QLatin1String(c.Lang);
        s.Lines = ksSplitScriptLines(QString::fromLatin1(c.Main));
        ASSERT_TRUE(s.Compile()) << s.ErrorPos.toStdString() << " " << s.ErrorMsg.toStdString();
        s.Execute();
        EXPECT_EQ(out, QStringList({QStringLiteral("8")}));
    }
}

// A failed compile leaves nothing half-built that could run.
TEST(KsPass2, FailedCompileLeavesNoHalfBuiltStatements)
{
    const char *texts[] = {"begin if x then ; end.",        "begin while 1 < y do ; end.",
                           "begin repeat until z; end.",    "var i: Integer; begin for i := 1 to q do ; end.",
                           "begin case w of 1: ; end end.", "begin try except end; Out(u) end."};
    for (const char *t : texts) {
        SCOPED_TRACE(t);
        TksScript s;
        s.AddRTTI();
        s.Lines << QLatin1String(t);
        EXPECT_FALSE(s.Compile());
        EXPECT_TRUE(s.ErrorMsg.startsWith(QStringLiteral("Undeclared identifier"))) << s.ErrorMsg.toStdString();
        EXPECT_NO_THROW(s.Execute());
    }
}

// An assignment between plain variables keeps neither its designator nor its
// expression once built; one that reads through them keeps what it reads.
TEST(KsPass2, PlainAssignmentsKeepOnlyTheirVariables)
{
    TksScript s;
    s.AddRTTI();
    s.Lines << QStringLiteral("var s, k: Integer; a: array[0..2] of Integer;")
            << QStringLiteral("begin k := 2; s := 1; s := s + k; s := k; s := s + k * 3; a[1] := s;")
            << QStringLiteral("s := s + a[1]; a[1] := a[1] + k; k := s end.");
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    auto st = [&](int i) { return static_cast<TksAssignmentStmt *>(s.MainBlock->Items(i)); };
    ASSERT_EQ(s.MainBlock->Count(), 9);
    EXPECT_EQ(st(2)->Designator, nullptr);  // s := s + k
    EXPECT_EQ(st(2)->Expression, nullptr);
    EXPECT_EQ(st(3)->Expression, nullptr);  // s := k
    EXPECT_EQ(st(4)->Designator, nullptr);  // s := s + k * 3: the product is read
    EXPECT_NE(st(4)->Expression, nullptr);
    EXPECT_NE(st(5)->Designator, nullptr);  // a[1] := s
    EXPECT_NE(st(6)->Expression, nullptr);  // s := s + a[1]
    EXPECT_NE(st(7)->Designator, nullptr);
    EXPECT_EQ(st(8)->Designator, nullptr);  // k := s
    EXPECT_EQ(st(8)->Expression, nullptr);
    s.Execute();
    // s: 3, 2, 8, a[1] = 8, s = 16, a[1] = 10, k = 16
    EXPECT_EQ(s.Find(QStringLiteral("s"))->Value.ToInt64(), 16);
    EXPECT_EQ(s.Find(QStringLiteral("k"))->Value.ToInt64(), 16);
}

// Identifiers in national letters when the script asks for them.
TEST(KsPass2, ExtendedIdentifierCharacters)
{
    TksScript s;
    s.AddRTTI();
    s.Lines << QStringLiteral("var 金额: Integer; begin 金额 := 5; 金额 := 金额 * 2 end.");
    EXPECT_FALSE(s.Compile());
    s.Clear();
    s.ExtendedIdentChars = true;
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    s.Execute();
    EXPECT_EQ(s.Find(QStringLiteral("金额"))->Value.ToInt(), 10);
}

// A host may hand over a unit's intermediate code instead of its text.
TEST(KsPass2, UnitIntermediateCodeFromTheHost)
{
    TksScript s;
    s.AddRTTI();
    s.OnGetUnit = [](TksScript *, const QString &, QString &text) { text = QStringLiteral("begin end."); };
    s.OnGetILUnit = [](TksScript *, const QString &name, QString &il) {
        if (name == QLatin1String("pre.pas"))
            il = ksMakeIL(QStringLiteral("var FromIL: Integer = 4;\r\nbegin end.\r\n"), QStringLiteral("PascalScript"));
    };
    s.Lines << QStringLiteral("uses 'pre.pas';") << QStringLiteral("begin FromIL := FromIL + 1 end.");
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
    s.Execute();
    EXPECT_EQ(s.Find(QStringLiteral("FromIL"))->Value.ToInt(), 5);
}

// Host code that names its own unit again is built once, not endlessly.
TEST(KsPass2, SelfIncludingUnitCodeIsBuiltOnce)
{
    TksScript s;
    s.AddRTTI();
    s.OnGetUnit = [](TksScript *, const QString &, QString &text) { text = QStringLiteral("begin end."); };
    s.OnGetILUnit = [](TksScript *, const QString &, QString &il) {
        il = QStringLiteral("<?xml version=\"1.0\"?><program><uses unit=\"loop.pas\"/>"
                            "<var pos=\"1:1\"><ident text=\"Once\"/></var></program>");
    };
    s.Lines << QStringLiteral("uses 'loop.pas';") << QStringLiteral("begin Once := 1 end.");
    ASSERT_TRUE(s.Compile()) << s.ErrorMsg.toStdString();
}

// ---- limits -------------------------------------------------------------------------------

TEST(KsLimits, DeepNestingIsACompileErrorNotACrash)
{
    QString deep = QStringLiteral("var x: Integer; begin x := ");
    for (int i = 0; i < 5000; ++i) deep += QLatin1Char('(');
    deep += QLatin1Char('1');
    for (int i = 0; i < 5000; ++i) deep += QLatin1Char(')');
    deep += QStringLiteral(" end.");
    KsRunResult r = ksRunScript(deep, QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Code, 1);
    EXPECT_TRUE(r.Error.endsWith(QStringLiteral("Program too complex: nested more than %1 deep").arg(ksMaxRuleDepth)))
            << r.Error.toStdString();
    QString blocks;
    for (int i = 0; i < 3000; ++i) blocks += QStringLiteral("{ ");
    r = ksRunScript(blocks, QStringLiteral("JScript"));
    EXPECT_EQ(r.Code, 1);
    // calls nested in calls at statement level make the rules backtrack a
    // lot: refused in bounded time
    QString calls;
    for (int i = 0; i < 60; ++i) calls += QStringLiteral("f(");
    r = ksRunScript(calls, QStringLiteral("JScript"));
    EXPECT_EQ(r.Code, 1);
    // moderate nesting is fine
    QString ok = QStringLiteral("var x: Integer; begin x := ");
    for (int i = 0; i < 50; ++i) ok += QLatin1Char('(');
    ok += QLatin1Char('7');
    for (int i = 0; i < 50; ++i) ok += QLatin1Char(')');
    ok += QStringLiteral("; Out(x) end.");
    r = ksRunScript(ok, QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Output, QStringList({QStringLiteral("7")}));
}

}  // namespace

#include "ks_compiler_test.moc"
