// Compound assignments: x op= y is checked and run as x = x op y is, and
// x := y op x, which the compiler runs as a compound assignment, still
// joins text in the order written. Besides the cases by hand, generated
// programs compare each form with the one written out.
#include "script/ks_runner.h"

#include <gtest/gtest.h>

#include <random>

namespace {

QStringList Lines(std::initializer_list<const char *> lines)
{
    QStringList out;
    for (const char *l : lines) out << QString::fromUtf8(l);
    return out;
}

// The message of a compile or run error without its place ("3:9: ").
QString WithoutPlace(const QString &error)
{
    const qsizetype at = error.indexOf(QLatin1String(": "));
    return at < 0 ? error : error.mid(at + 2);
}

// y + x on text is y's text then x's, whether x is a Char, a number variable
// given text through a Variant, or an Integer function's text; numbers still
// add. The operand before x is a variable (run without an expression) or
// anything else (run through one).
TEST(KsCompound, TextJoinsInTheOrderWritten)
{
    const struct {
        const char *Lang, *Text;
    } cases[] = {
            {"PascalScript",
             "var ch, c2: Char; i, j: Integer; k: Variant;\n"
             "function F: Integer; begin Result := k end;\n"
             "begin\n"
             "  ch := 'a'; ch := 'b' + ch; Out(ch);\n"
             "  ch := 'a'; c2 := 'c'; ch := c2 + ch; Out(ch);\n"
             "  k := 'x'; i := k; k := 'y'; i := k + i; Out(i);\n"
             "  k := 'q'; i := k; k := 'w'; j := k; i := j + i; Out(i);\n"
             "  k := 'e'; i := k; k := 'r'; i := F + i; Out(i);\n"
             "  i := 3; j := 4; i := j + i; Out(i); i := j * i; Out(i);\n"
             "end."},
            {"C++Script",
             "char ch, c2; int i, j; Variant k;\n"
             "int F() { return k; }\n"
             "{\n"
             "  ch = \"a\"; ch = \"b\" + ch; Out(ch);\n"
             "  ch = \"a\"; c2 = \"c\"; ch = c2 + ch; Out(ch);\n"
             "  k = \"x\"; i = k; k = \"y\"; i = k + i; Out(i);\n"
             "  k = \"q\"; i = k; k = \"w\"; j = k; i = j + i; Out(i);\n"
             "  k = \"e\"; i = k; k = \"r\"; i = F() + i; Out(i);\n"
             "  i = 3; j = 4; i = j + i; Out(i); i = j * i; Out(i);\n"
             "}"},
            {"BasicScript",
             "Dim ch As Char, c2 As Char, i As Integer, j As Integer, k\n"
             "Function F As Integer\n"
             "  Return k\n"
             "End Function\n"
             "ch = \"a\" : ch = \"b\" + ch : Out(ch)\n"
             "ch = \"a\" : c2 = \"c\" : ch = c2 + ch : Out(ch)\n"
             "k = \"x\" : i = k : k = \"y\" : i = k + i : Out(i)\n"
             "k = \"q\" : i = k : k = \"w\" : j = k : i = j + i : Out(i)\n"
             "k = \"e\" : i = k : k = \"r\" : i = F() + i : Out(i)\n"
             "i = 3 : j = 4 : i = j + i : Out(i) : i = j * i : Out(i)\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Lang);
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
        EXPECT_EQ(r.Output, Lines({"ba", "ca", "yx", "wq", "re", "7", "28"}));
    }
}

// A short form and the assignment it stands for, which is refused when compiling.
struct ShortForm {
    const char *Lang, *Short, *Expanded;
};

// Each short form is refused with the expanded form's message.
void ExpectRefusedAsExpanded(std::initializer_list<ShortForm> cases)
{
    for (const ShortForm &c : cases) {
        SCOPED_TRACE(c.Short);
        const KsRunResult expanded = ksRunScript(QString::fromUtf8(c.Expanded), QLatin1String(c.Lang));
        ASSERT_EQ(expanded.Code, 1) << "the written-out form compiles";
        const KsRunResult shortForm = ksRunScript(QString::fromUtf8(c.Short), QLatin1String(c.Lang));
        EXPECT_EQ(shortForm.Code, 1) << shortForm.Output.join(u'|').toStdString() << shortForm.Error.toStdString();
        EXPECT_EQ(WithoutPlace(shortForm.Error), WithoutPlace(expanded.Error));
    }
}

// What x = x op y refuses when compiling, x op= y refuses too.
// The same literal in many statements (x := 'ab', x := x + 'ab', y := 'ab')
// is one constant of the program: what a statement does to the variable it
// was copied into, in place or in a loop, never reaches the others.
TEST(KsCompound, ALiteralRepeatedInManyStatementsKeepsItsValue)
{
    const struct {
        const char *Lang, *Text;
    } cases[] = {
            {"PascalScript",
             "var x, y: String; v: Variant; a, b, k: Integer;\n"
             "begin\n"
             "  for k := 1 to 2 do begin x := 'ab'; x := x + 'ab'; x := x + 'c'; Out(x) end;\n"
             "  v := 'ab'; v := v + 'q'; y := 'ab'; Out(v); Out(y);\n"
             "  a := 5; a := a * 5; a := a + 5; b := 5; Out(a); Out(b)\n"
             "end."},
            {"C++Script",
             "String x, y; Variant v; int a, b, k;\n"
             "{ for (k = 1; k <= 2; k++) { x = \"ab\"; x += \"ab\"; x = x + \"c\"; Out(x); }\n"
             "  v = \"ab\"; v = v + \"q\"; y = \"ab\"; Out(v); Out(y);\n"
             "  a = 5; a = a * 5; a += 5; b = 5; Out(a); Out(b); }"},
            {"JScript",
             "var x, y, v, a, b, k;\n"
             "for (k = 1; k <= 2; k++) { x = \"ab\"; x += \"ab\"; x = x + \"c\"; Out(x); }\n"
             "v = \"ab\"; v = v + \"q\"; y = \"ab\"; Out(v); Out(y);\n"
             "a = 5; a = a * 5; a += 5; b = 5; Out(a); Out(b);"},
            {"BasicScript",
             "Dim x As String, y As String, v, a As Integer, b As Integer, k As Integer\n"
             "For k = 1 To 2\nx = \"ab\"\nx = x & \"ab\"\nx = x + \"c\"\nOut(x)\nNext\n"
             "v = \"ab\"\nv = v + \"q\"\ny = \"ab\"\nOut(v)\nOut(y)\n"
             "a = 5\na = a * 5\na = a + 5\nb = 5\nOut(a)\nOut(b)"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Lang);
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        ASSERT_EQ(r.Code, 0) << r.Error.toStdString();
        EXPECT_EQ(r.Output, Lines({"ababc", "ababc", "abq", "ab", "30", "5"}));
    }
}

TEST(KsCompound, CompoundOperatorsAreCheckedAsTheExpandedForm)
{
    ExpectRefusedAsExpanded({
            {"C++Script", "bool b; { b = true; b /= false; }", "bool b; { b = true; b = b / false; }"},
            {"C++Script", "String s; { s = \"15\"; s -= \"12\"; Out(s); }",
             "String s; { s = \"15\"; s = s - \"12\"; Out(s); }"},
            {"C++Script", "int i; { i = 4; i /= 2; }", "int i; { i = 4; i = i / 2; }"},
            {"C++Script", "int i; { i = 4; i += \"1\"; }", "int i; { i = 4; i = i + \"1\"; }"},
            {"BasicScript", "Dim b As Boolean\nb = True\nb /= False\n", "Dim b As Boolean\nb = True\nb = b / False\n"},
            {"BasicScript", "Dim s As String\ns = \"15\"\ns -= \"12\"\nOut(s)\n",
             "Dim s As String\ns = \"15\"\ns = s - \"12\"\nOut(s)\n"},
            {"BasicScript", "Dim s As String\ns = \"1\"\ns *= 2\n", "Dim s As String\ns = \"1\"\ns = s * 2\n"},
    });
    // what the expanded form allows still runs
    const KsRunResult r = ksRunScript(QStringLiteral("String s; float d; { s = \"a\"; s += \"b\"; d = 3; d /= 2; "
                                                     "Out(s); Out(d); }"),
                                      QStringLiteral("C++Script"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(r.Output, Lines({"ab", "1.5"}));
}

// x++ and x-- are checked as x = x + 1 and x = x - 1 are (JScript's variables
// are Variants, which take both).
TEST(KsCompound, IncrementAndDecrementAreCheckedAsTheExpandedForm)
{
    ExpectRefusedAsExpanded({
            {"C++Script", "bool b; { b = true; b++; }", "bool b; { b = true; b = b + 1; }"},
            {"C++Script", "String s; { s = \"12\"; s++; Out(s); }", "String s; { s = \"12\"; s = s + 1; Out(s); }"},
            {"C++Script", "char c; { c = \"a\"; c--; }", "char c; { c = \"a\"; c = c - 1; }"},
            {"C++Script", "TStringList l; { l = new TStringList; l.Text++; }",
             "TStringList l; { l = new TStringList; l.Text = l.Text + 1; }"},
    });
    // what the expanded form allows still runs
    const KsRunResult r = ksRunScript(QStringLiteral("int i; float d; Variant v;\n"
                                                     "{ i = 1; i++; i++; d = 1.5; d--; v = 4; v--; Out(i); Out(d); Out(v); }"),
                                      QStringLiteral("C++Script"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(r.Output, Lines({"3", "0.5", "3"}));
    const KsRunResult js = ksRunScript(QStringLiteral("var i = 1, s = \"5\"; i++; i--; s++; Out(i); Out(s);"),
                                       QStringLiteral("JScript"));
    EXPECT_EQ(js.Code, 0) << js.Error.toStdString();
    EXPECT_EQ(js.Output, Lines({"1", "6"}));
}

// ---- generated programs ------------------------------------------------------------------------

struct Syntax {
    const char *Name;
    bool Compound;                   // has x op= y
    const char *Types[6];            // Integer, Double, String, Char, Boolean, Variant; nullptr: none
    QString (*Declare)(const QStringList &names, const QStringList &types);
    const char *Assign;              // " := " or " = "
    const char *End;                 // after a statement
    const char *True, *False;
    QString (*Program)(const QString &decls, const QString &body);
    QString (*Guard)(const QString &body);  // body in a try that prints the error's class
};

QString PascalDeclare(const QStringList &names, const QStringList &types)
{
    QString s = QStringLiteral("var t: Variant;");
    for (qsizetype i = 0; i < names.size(); ++i) s += QStringLiteral(" %1: %2;").arg(names[i], types[i]);
    return s + u'\n';
}
QString CppDeclare(const QStringList &names, const QStringList &types)
{
    QString s = QStringLiteral("Variant t;");
    for (qsizetype i = 0; i < names.size(); ++i) s += QStringLiteral(" %1 %2;").arg(types[i], names[i]);
    return s + u'\n';
}
QString BasicDeclare(const QStringList &names, const QStringList &types)
{
    QString s = QStringLiteral("Dim t");
    for (qsizetype i = 0; i < names.size(); ++i)
        s += types[i].isEmpty() ? QStringLiteral(", %1").arg(names[i]) : QStringLiteral(", %1 As %2").arg(names[i], types[i]);
    return s + u'\n';
}
QString JsDeclare(const QStringList &names, const QStringList &)
{
    return QStringLiteral("var t, %1;\n").arg(names.join(QStringLiteral(", ")));
}

const Syntax kSyntaxes[] = {
        {"PascalScript", false, {"Integer", "Double", "String", "Char", "Boolean", "Variant"}, PascalDeclare, " := ",
         "; ", "True", "False",
         [](const QString &d, const QString &b) { return d + QStringLiteral("begin\n") + b + QStringLiteral("end.\n"); },
         [](const QString &b) {
             return QStringLiteral("try\n") + b + QStringLiteral("except Out(ExceptionClassName); end;\n");
         }},
        {"C++Script", true, {"int", "float", "String", "char", "bool", "Variant"}, CppDeclare, " = ", "; ", "true",
         "false", [](const QString &d, const QString &b) { return d + QStringLiteral("{\n") + b + QStringLiteral("}\n"); },
         [](const QString &b) {
             return QStringLiteral("try {\n") + b + QStringLiteral("} except { Out(ExceptionClassName); }\n");
         }},
        {"BasicScript", true, {"Integer", "Double", "String", "Char", "Boolean", ""}, BasicDeclare, " = ", "\n", "True",
         "False", [](const QString &d, const QString &b) { return d + b; },
         [](const QString &b) {
             return QStringLiteral("Try\n") + b + QStringLiteral("Catch\nOut(ExceptionClassName)\nEnd Try\n");
         }},
        {"JScript", true, {nullptr, nullptr, nullptr, nullptr, nullptr, ""}, JsDeclare, " = ", "; ", "true", "false",
         [](const QString &d, const QString &b) { return d + b; },
         [](const QString &b) {
             return QStringLiteral("try {\n") + b + QStringLiteral("} except { Out(ExceptionClassName); }\n");
         }},
};

enum class Form { Compound, Swapped };

// A generated program in two forms that must agree: the subject (x op= y,
// or x := y op x) and its reference written out (x := x op y, or the value
// of y op x taken through a Variant first).
struct Generated {
    QString Subject, Reference;
};

class Generator {
public:
    Generator(const Syntax &s, unsigned seed) : S(s), Rnd(seed) {}

    Generated Make(Form form)
    {
        QStringList names, types;
        std::vector<int> kinds;
        const int n = Pick(2, 4);
        for (int i = 0; i < n; ++i) {
            int kind;
            do kind = Pick(0, 5);
            while (!S.Types[kind]);
            kinds.push_back(kind);
            names << QStringLiteral("v%1").arg(i);
            types << QString::fromLatin1(S.Types[kind]);
        }
        const QString decls = S.Declare(names, types);
        QString init;
        for (int i = 0; i < n; ++i) {
            // now and then a number variable takes a text through a Variant
            if (Pick(0, 4) == 0) {
                init += Stmt(QStringLiteral("t"), Literal(Pick(0, 5)));
                init += Stmt(names[i], QStringLiteral("t"));
            } else {
                init += Stmt(names[i], Literal(kinds[size_t(i)]));
            }
        }
        static const char *const ops[] = {"+", "-", "*", "/"};
        QString subject, reference;
        const int count = Pick(1, 3);
        for (int k = 0; k < count; ++k) {
            const QString x = names[Pick(0, n - 1)];
            const QString y = Pick(0, 2) == 0 ? Literal(Pick(0, 5)) : names[Pick(0, n - 1)];
            const QString op = QLatin1String(form == Form::Swapped && Pick(0, 3) > 0 ? "+" : ops[Pick(0, 3)]);
            if (form == Form::Compound) {
                subject += QStringLiteral("%1 %2= %3").arg(x, op, y) + QLatin1String(S.End);
                reference += Stmt(x, QStringLiteral("%1 %2 %3").arg(x, op, y));
            } else {
                subject += Stmt(x, QStringLiteral("%1 %2 %3").arg(y, op, x));
                reference += Stmt(QStringLiteral("t"), QStringLiteral("%1 %2 %3").arg(y, op, x)) + Stmt(x, QStringLiteral("t"));
            }
        }
        QString show;
        for (const QString &name : names)
            show += QStringLiteral("Out(VarType(%1))").arg(name) + QLatin1String(S.End) +
                    QStringLiteral("Out(VarToStr(%1))").arg(name) + QLatin1String(S.End);
        auto program = [&](const QString &body) {
            return S.Program(decls, S.Guard(init + body + show));
        };
        return {program(subject), program(reference)};
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(Rnd); }
    QString Stmt(const QString &x, const QString &e) const { return x + QLatin1String(S.Assign) + e + QLatin1String(S.End); }
    QString Text(const char *t) const
    {
        const bool pascal = QLatin1String(S.Name) == QLatin1String("PascalScript");
        return pascal ? QStringLiteral("'%1'").arg(QLatin1String(t)) : QStringLiteral("\"%1\"").arg(QLatin1String(t));
    }
    // A value of the kind (Integer, Double, String, Char, Boolean, any).
    QString Literal(int kind)
    {
        static const char *const ints[] = {"0", "3", "7", "12"};
        static const char *const floats[] = {"1.5", "0.25", "2.0"};
        static const char *const texts[] = {"12", "ab", "", "2.5"};
        static const char *const chars[] = {"a", "7", "z"};
        switch (kind) {
        case 0:
            return QLatin1String(ints[Pick(0, 3)]);
        case 1:
            return QLatin1String(floats[Pick(0, 2)]);
        case 2:
            return Text(texts[Pick(0, 3)]);
        case 3:
            return Text(chars[Pick(0, 2)]);
        case 4:
            return QLatin1String(Pick(0, 1) ? S.True : S.False);
        default:
            return Literal(Pick(0, 4));
        }
    }

    const Syntax &S;
    std::mt19937 Rnd;
};

// x op= y in every language that has it, against x = x op y: both compile
// or both are refused with the same message, and both leave the same values.
TEST(KsCompound, GeneratedCompoundAssignmentsMatchTheExpandedForm)
{
    for (const Syntax &s : kSyntaxes) {
        if (!s.Compound) continue;
        SCOPED_TRACE(s.Name);
        Generator gen(s, 63);
        int refused = 0, ran = 0;
        for (int p = 0; p < 150; ++p) {
            const Generated g = gen.Make(Form::Compound);
            const KsRunResult a = ksRunScript(g.Subject, QLatin1String(s.Name));
            const KsRunResult b = ksRunScript(g.Reference, QLatin1String(s.Name));
            ASSERT_EQ(a.Code, b.Code) << g.Subject.toStdString() << a.Error.toStdString() << "\n---\n"
                                      << g.Reference.toStdString() << b.Error.toStdString();
            if (a.Code == 1) {
                EXPECT_EQ(WithoutPlace(a.Error), WithoutPlace(b.Error)) << g.Subject.toStdString();
                ++refused;
            } else {
                EXPECT_EQ(a.Output, b.Output) << g.Subject.toStdString();
                ++ran;
            }
        }
        // the programs try both ways (where variables have types)
        if (s.Types[0]) EXPECT_GT(refused, 10);
        EXPECT_GT(ran, 10);
    }
}

// x := y op x in every language, against y op x taken through a Variant
// first: wherever it compiles it leaves the same values.
TEST(KsCompound, GeneratedReversedOperandsMatchTheWrittenOrder)
{
    for (const Syntax &s : kSyntaxes) {
        SCOPED_TRACE(s.Name);
        Generator gen(s, 122);
        int ran = 0;
        for (int p = 0; p < 150; ++p) {
            const Generated g = gen.Make(Form::Swapped);
            const KsRunResult a = ksRunScript(g.Subject, QLatin1String(s.Name));
            if (a.Code == 1) continue;
            const KsRunResult b = ksRunScript(g.Reference, QLatin1String(s.Name));
            ASSERT_EQ(b.Code, 0) << g.Reference.toStdString() << b.Error.toStdString();
            EXPECT_EQ(a.Output, b.Output) << g.Subject.toStdString();
            ++ran;
        }
        EXPECT_GT(ran, 30);
    }
}

}  // namespace
