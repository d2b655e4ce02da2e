// Statement, literal and declaration rules that every language shares: the
// finally part under break and continue, array bounds, units read from files,
// number literals, function results, the string-joining operator, arithmetic
// of plain operands, assignments between variables and increments.
#include "script/ks_iconst.h"
#include "script/ks_iinterpreter.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QStringList Lines(std::initializer_list<const char *> lines)
{
    QStringList out;
    for (const char *l : lines) out << QString::fromUtf8(l);
    return out;
}

KsRunResult RunText(const char *language, const char *text)
{
    return ksRunScript(QString::fromUtf8(text), QLatin1String(language));
}

// break and continue leave a try-finally only after its whole finally part.
TEST(KsSemantics, BreakAndContinueRunTheWholeFinallyPart)
{
    struct Case {
        const char *Lang;
        const char *Text;
    } cases[] = {
            {"PascalScript", "var i: Integer;\n"
                             "begin\n"
                             "  for i := 1 to 3 do\n"
                             "  begin\n"
                             "    try\n"
                             "      if i = 1 then continue;\n"
                             "      if i = 2 then break;\n"
                             "    finally\n"
                             "      Out(i);\n"
                             "      Out(-i);\n"
                             "    end;\n"
                             "  end;\n"
                             "  Out('end');\n"
                             "end."},
            {"C++Script", "{\n"
                          "  int i;\n"
                          "  for (i = 1; i <= 3; i++) {\n"
                          "    try { if (i == 1) continue; if (i == 2) break; } finally { Out(i); Out(-i); }\n"
                          "  }\n"
                          "  Out(\"end\");\n"
                          "}"},
            {"JScript", "var i;\n"
                        "for (i = 1; i <= 3; i++) {\n"
                        "  try { if (i == 1) continue; if (i == 2) break; } finally { Out(i); Out(-i); }\n"
                        "}\n"
                        "Out(\"end\");"},
            {"BasicScript", "Dim i\n"
                            "For i = 1 To 3\n"
                            "  Try\n"
                            "    If i = 1 Then Continue\n"
                            "    If i = 2 Then Break\n"
                            "  Finally\n"
                            "    Out(i)\n"
                            "    Out(-i)\n"
                            "  End Try\n"
                            "Next\n"
                            "Out(\"end\")"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Lang);
        const KsRunResult r = RunText(c.Lang, c.Text);
        EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
        EXPECT_EQ(r.Output, Lines({"1", "-1", "2", "-2", "end"}));
    }
    // the same in a while loop, with break and continue in nested blocks
    const KsRunResult r = RunText("PascalScript", "var i: Integer;\n"
                                                  "begin\n"
                                                  "  i := 0;\n"
                                                  "  while i < 5 do\n"
                                                  "  begin\n"
                                                  "    i := i + 1;\n"
                                                  "    try\n"
                                                  "      begin if i < 3 then continue else break; end;\n"
                                                  "    finally\n"
                                                  "      Out(i); Out(i * 10);\n"
                                                  "    end;\n"
                                                  "    Out('after');\n"
                                                  "  end;\n"
                                                  "end.");
    EXPECT_EQ(r.Output, Lines({"1", "10", "2", "20", "3", "30"}));
}

// array[n] holds n elements, 0 to n - 1, as in the other languages.
TEST(KsSemantics, PascalArrayOfOneBoundCountsFromZero)
{
    KsRunResult r = RunText("PascalScript", "var a: array[3] of Integer; i: Integer;\n"
                                            "begin\n"
                                            "  for i := 0 to 2 do a[i] := i * 10;\n"
                                            "  Out(a[0] + a[2]);\n"
                                            "end.");
    EXPECT_EQ(r.Output, Lines({"20"})) << r.Error.toStdString();
    r = RunText("PascalScript", "var a: array[3] of Integer;\nbegin a[3] := 1 end.");
    EXPECT_EQ(r.Code, 2);
    // ranges stay as they were
    r = RunText("PascalScript",
                "var a: array[2..4, 3] of Integer;\nbegin a[2, 0] := 1; a[4, 2] := 2; Out(a[2, 0] + a[4, 2]) end.");
    EXPECT_EQ(r.Output, Lines({"3"})) << r.Error.toStdString();
    for (const char *outside : {"a[1, 0]", "a[5, 0]", "a[2, 3]"}) {
        SCOPED_TRACE(outside);
        r = RunText("PascalScript",
                    ("var a: array[2..4, 3] of Integer;\nbegin Out(" + std::string(outside) + ") end.").c_str());
        EXPECT_EQ(r.Code, 2);
    }
}

// Bounds near the ends of the integer range are refused, not wrapped around.
TEST(KsSemantics, ArrayBoundsAtTheEndsOfTheIntegerRangeAreRefused)
{
    const char *texts[] = {
            "var a: array[-9223372036854775807 - 1 .. 9223372036854775807] of Integer; begin end.",
            "var a: array[0 .. 9223372036854775807] of Integer; begin end.",
            "var a: array[-9223372036854775807 - 1 .. 0] of Integer; begin end.",
            "var a: array[9223372036854775807 .. -9223372036854775807 - 1] of Integer; begin end.",
    };
    for (const char *t : texts) {
        SCOPED_TRACE(t);
        const KsRunResult r = RunText("PascalScript", t);
        EXPECT_EQ(r.Code, 1);
        EXPECT_TRUE(r.Error.endsWith(SArrayBoundsError)) << r.Error.toStdString();
    }
}

// A unit named by file is read with a limit; what cannot be read as a file
// is a compile error that names it.
TEST(KsSemantics, UnitFilesThatCannotBeReadAreCompileErrors)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString good = dir.filePath(QStringLiteral("good.pas"));
    {
        QFile f(good);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("var FromFile: Integer;\nbegin end.\n");
    }
    const QString big = dir.filePath(QStringLiteral("big.pas"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray line(1023, ' ');
        line += '\n';
        for (qint64 written = 0; written <= ksMaxUnitBytes; written += line.size()) f.write(line);
    }
    auto compile = [](const QString &unit, QString &error) {
        TksScript s;
        s.AddRTTI();
        s.Lines << QStringLiteral("uses '%1';").arg(unit) << QStringLiteral("begin end.");
        const bool ok = s.Compile();
        error = s.ErrorMsg;
        return ok;
    };
    QString error;
    EXPECT_TRUE(compile(good, error)) << error.toStdString();
    for (const QString &bad :
         {dir.filePath(QStringLiteral("missing.pas")), dir.path(), QStringLiteral("/dev/zero"), big}) {
        SCOPED_TRACE(bad.toStdString());
        EXPECT_FALSE(compile(bad, error));
        EXPECT_TRUE(error.contains(QLatin1Char('\'') + bad + QLatin1Char('\''))) << error.toStdString();
    }
}

// A number that no value can hold is a compile error.
TEST(KsSemantics, NumbersOutOfRangeAreCompileErrors)
{
    const char *texts[] = {"var x: Extended; begin x := 1e400 end.",
                           "var x: Integer; begin x := $FFFFFFFFFFFFFFFFFF end.", "const Big = 2e999; begin end."};
    for (const char *t : texts) {
        SCOPED_TRACE(t);
        const KsRunResult r = RunText("PascalScript", t);
        EXPECT_EQ(r.Code, 1);
        EXPECT_TRUE(r.Error.endsWith(SNumberOutOfRange)) << r.Error.toStdString();
    }
    EXPECT_EQ(RunText("JScript", "var x = 1e400;").Code, 1);
    // the largest ones still read
    const KsRunResult r = RunText("PascalScript", "begin Out($FFFFFFFF); Out(1e300 > 1e299); Out(1e-400 = 0) end.");
    EXPECT_EQ(r.Output, Lines({"4294967295", "True", "True"})) << r.Error.toStdString();
}

// A function that ends without setting its result gives no value, whatever
// an earlier call returned.
TEST(KsSemantics, FunctionResultStartsUnassignedAtEveryCall)
{
    KsRunResult r = RunText("JScript", "function g(x) { if (x > 0) return x; }\n"
                                       "Out(g(5)); Out(VarType(g(-1))); Out(g(7));");
    EXPECT_EQ(r.Output, Lines({"5", "0", "7"})) << r.Error.toStdString();
    r = RunText("PascalScript", "function f(x: Integer): Variant;\n"
                                "begin if x > 0 then Result := x end;\n"
                                "function depth(n: Integer): Variant;\n"
                                "begin if n > 0 then begin Result := n; depth(n - 1) end end;\n"
                                "begin Out(f(5)); Out(VarType(f(-1))); Out(depth(3)) end.");
    EXPECT_EQ(r.Output, Lines({"5", "0", "3"})) << r.Error.toStdString();
}

// & joins texts only when its left value is a text; otherwise it adds.
// Only a lower-case \x starts a character code.
TEST(KsSemantics, StringJoinOperatorAndCharacterCodes)
{
    KsRunResult r = RunText("BasicScript", "Out(1 & 2)\n"
                                           "Out(\"a\" & 2)\n"
                                           "Out(\"1\" & 2)\n"
                                           "Dim s\n"
                                           "s = \"x\"\n"
                                           "Out(s & 1 & 2)\n"
                                           "Out(1.5 & 2)");
    EXPECT_EQ(r.Output, Lines({"3", "a2", "12", "x12", "3.5"})) << r.Error.toStdString();
    for (const char *lang : {"JScript", "C++Script"}) {
        SCOPED_TRACE(lang);
        r = RunText(lang, std::string(lang) == "JScript"
                                  ? "Out(\"\\X41\"); Out(\"\\x41\"); Out(\"\\N\" == \"\\n\");"
                                  : "{ Out(\"\\X41\"); Out(\"\\x41\"); Out(\"\\N\" == \"\\n\"); }");
        EXPECT_EQ(r.Output, Lines({"X41", "A", "True"})) << r.Error.toStdString();
    }
}

// Appending to a variable in place gives what the operators give: the left
// operand is read first, a part that is no text joins by the operator's
// rule, and a right side that changes the variable does not lose it.
TEST(KsSemantics, AppendingToAVariableKeepsTheOperatorRules)
{
    KsRunResult r = RunText("PascalScript", "var s, t: String; v: Variant;\n"
                                            "function F: String; begin s := 'zz'; Result := 'b' end;\n"
                                            "begin\n"
                                            "  s := 'a'; s := s + F + 'c'; Out(s);\n"
                                            "  v := '1'; v := v + '2' + 3; Out(v);\n"
                                            "  s := 'ab'; s := s + s + s; Out(s); s := s + s; Out(s);\n"
                                            "  v := 'x'; t := v + 'y' + 'z'; v := v + t + v; Out(v + t);\n"
                                            "  v := 5; v := v + 1 + 2; Out(v);\n"
                                            "end.");
    EXPECT_EQ(r.Output, Lines({"abc", "15", "ababab", "abababababab", "xxyzxxyz", "8"})) << r.Error.toStdString();
    r = RunText("BasicScript", "Dim s\ns = \"a\"\ns = s & 1 & \"b\" & 2.5\nOut(s)\ns = s + \"!\"\nOut(s)");
    EXPECT_EQ(r.Output, Lines({"a1b2.5", "a1b2.5!"})) << r.Error.toStdString();
}

// Basic's Set statement is an assignment like the plain one, objects and
// compound forms included; a Set without a value is a compile error.
TEST(KsSemantics, BasicSetStatementAssigns)
{
    KsRunResult r = RunText("BasicScript", "x = 1 : Set x = 5 : Out(x)\n"
                                           "Set L = New TStringList\n"
                                           "L.Add(\"a\")\n"
                                           "Out(L.Count)\n"
                                           "Set M = L\n"
                                           "M.Add(\"b\")\n"
                                           "Out(L.Count)\n"
                                           "Set x += 2\n"
                                           "Out(x)\n"
                                           "If x > 6 Then Set x = x * 10\n"
                                           "Out(x)\n"
                                           "L.Free");
    EXPECT_EQ(r.Output, Lines({"5", "1", "2", "7", "70"})) << r.Error.toStdString();
    EXPECT_EQ(r.Code, 0);
    r = RunText("BasicScript", "Dim n As Integer\nSet n = \"a\" + 1");
    EXPECT_EQ(r.Code, 1) << r.Error.toStdString();
    r = RunText("BasicScript", "Out(1)\nSet y\nOut(2)");
    EXPECT_EQ(r.Code, 1) << r.Error.toStdString();
    EXPECT_TRUE(r.Error.startsWith(QStringLiteral("2:"))) << r.Error.toStdString();
}

// VarArrayCreate makes elements of the type it is given: they start at the
// type's zero and what is stored converts to the type.
TEST(KsSemantics, VarArrayCreateMakesElementsOfTheType)
{
    const struct {
        const char *Lang;
        const char *Text;
    } cases[] = {{"PascalScript", "var a, d, s, v: Variant;\n"
                                  "begin\n"
                                  "  a := VarArrayCreate([0, 2], varInteger); Out(VarType(a)); Out(a[1] + 1);\n"
                                  "  a[0] := '7'; Out(a[0] + 1); a[2] := 2.6; Out(a[2]); Out(VarType(a[2]));\n"
                                  "  d := VarArrayCreate([1, 2], varDouble); Out(VarType(d)); d[1] := '1.5'; Out(d[1] * 2);\n"
                                  "  s := VarArrayCreate([0, 1], varOleStr); Out(VarType(s)); s[0] := 12; Out(s[0] + s[0]);\n"
                                  "  v := VarArrayCreate([0, 1], varVariant); Out(VarType(v)); Out(VarType(v[0]));\n"
                                  "  SetLength(a, 5); Out(a[4]);\n"
                                  "end."},
                 {"C++Script", "Variant a, d, s, v;\n"
                               "{\n"
                               "  a = VarArrayCreate([0, 2], varInteger); Out(VarType(a)); Out(a[1] + 1);\n"
                               "  a[0] = \"7\"; Out(a[0] + 1); a[2] = 2.6; Out(a[2]); Out(VarType(a[2]));\n"
                               "  d = VarArrayCreate([1, 2], varDouble); Out(VarType(d)); d[1] = \"1.5\"; Out(d[1] * 2);\n"
                               "  s = VarArrayCreate([0, 1], varOleStr); Out(VarType(s)); s[0] = 12; Out(s[0] + s[0]);\n"
                               "  v = VarArrayCreate([0, 1], varVariant); Out(VarType(v)); Out(VarType(v[0]));\n"
                               "  SetLength(a, 5); Out(a[4]);\n"
                               "}"},
                 {"BasicScript", "a = VarArrayCreate([0, 2], varInteger) : Out(VarType(a)) : Out(a[1] + 1)\n"
                                 "a[0] = \"7\" : Out(a[0] + 1) : a[2] = 2.6 : Out(a[2]) : Out(VarType(a[2]))\n"
                                 "d = VarArrayCreate([1, 2], varDouble) : Out(VarType(d)) : d[1] = \"1.5\" : Out(d[1] * 2)\n"
                                 "s = VarArrayCreate([0, 1], varOleStr) : Out(VarType(s)) : s[0] = 12 : Out(s[0] + s[0])\n"
                                 "v = VarArrayCreate([0, 1], varVariant) : Out(VarType(v)) : Out(VarType(v[0]))\n"
                                 "SetLength(a, 5) : Out(a[4])"},
                 {"JScript", "var a = VarArrayCreate([0, 2], varInteger); Out(VarType(a)); Out(a[1] + 1);\n"
                             "a[0] = \"7\"; Out(a[0] + 1); a[2] = 2.6; Out(a[2]); Out(VarType(a[2]));\n"
                             "var d = VarArrayCreate([1, 2], varDouble); Out(VarType(d)); d[1] = \"1.5\"; Out(d[1] * 2);\n"
                             "var s = VarArrayCreate([0, 1], varOleStr); Out(VarType(s)); s[0] = 12; Out(s[0] + s[0]);\n"
                             "var v = VarArrayCreate([0, 1], varVariant); Out(VarType(v)); Out(VarType(v[0]));\n"
                             "SetLength(a, 5); Out(a[4]);"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Lang);
        const KsRunResult r = RunText(c.Lang, c.Text);
        EXPECT_EQ(r.Output, Lines({"8195", "1", "8", "3", "3", "8197", "3", "8200", "1212", "8204", "0", "0"}))
                << r.Error.toStdString();
    }
    // A value the element type cannot hold, and a type no array is made of.
    KsRunResult r = RunText("PascalScript", "var a: Variant; begin a := VarArrayCreate([0, 1], varByte); a[0] := 300 end.");
    EXPECT_EQ(r.Code, 2);
    EXPECT_TRUE(r.Error.contains(QStringLiteral("EVariantOverflowError"))) << r.Error.toStdString();
    r = RunText("JScript", "var a = VarArrayCreate([0, 1], varNull);");
    EXPECT_EQ(r.Code, 2);
    EXPECT_TRUE(r.Error.contains(QStringLiteral("Invalid variant type"))) << r.Error.toStdString();
}

}  // namespace

// Arithmetic over constants and plain variables gives what the operators
// give one by one: each expression is set against the same one with its
// first operand read through a call, and kinds and values must agree.
TEST(KsSemantics, ArithmeticOfPlainOperandsKeepsTheOperatorRules)
{
    const char *exprs[] = {"x + i * 0.5 - x / 1000", "i * 2 + x",         "i + 1 - 1",       "i * i - i",
                           "(k - 10) div 3 + k",     "(k - 10) mod 3 * k", "w div 7 + k",     "w * 4 - x",
                           "v * 2 + x",              "v - k * 2.5",        "k * 3 + e",       "x / (k - k) + 1",
                           "(k - k) div (k - k) * 2", "d - 1 + k",         "k * 1.5 / 2 - k", "k / 2 + k / 4"};
    QString text = QStringLiteral("var i, k: Integer; x: Double; w, v, e, d: Variant;\n"
                                  "function Id(a: Variant): Variant; begin Result := a end;\n"
                                  "procedure Show(a: Variant); begin Out(IntToStr(VarType(a)) + ' ' + VarToStr(a)) end;\n"
                                  "begin i := 2147483647; k := 3; x := 2.5; w := 3000000000; v := '4';\n"
                                  "  d := EncodeDate(2026, 1, 5);\n");
    for (const char *e : exprs) {
        const QString fast = QString::fromLatin1(e);
        QString slow = fast;
        const int at = slow.indexOf(QRegularExpression(QStringLiteral("[a-z]")));
        slow.replace(at, 1, QStringLiteral("Id(%1)").arg(slow[at]));
        for (const QString &form : {fast, slow})
            text += QStringLiteral("  try Show(%1) except Out(ExceptionMessage) end;\n").arg(form);
    }
    text += QStringLiteral("end.");
    const KsRunResult r = ksRunScript(text, QStringLiteral("PascalScript"));
    ASSERT_TRUE(r.Error.isEmpty()) << r.Error.toStdString();
    ASSERT_EQ(r.Output.size(), 2 * qsizetype(std::size(exprs)));
    for (qsizetype n = 0; n < qsizetype(std::size(exprs)); ++n)
        EXPECT_EQ(r.Output[2 * n], r.Output[2 * n + 1]) << exprs[n];
    EXPECT_EQ(r.Output[0], QStringLiteral("5 1073741825.9975"));
    EXPECT_EQ(r.Output[2], QStringLiteral("5 4294967296.5"));
    EXPECT_EQ(r.Output[4], QStringLiteral("20 2147483647"));
    EXPECT_EQ(r.Output[6], QStringLiteral("20 4611686011984936962"));
    EXPECT_EQ(r.Output[8], QStringLiteral("3 1"));
    EXPECT_EQ(r.Output[16], QStringLiteral("5 10.5"));
    EXPECT_EQ(r.Output[22], QStringLiteral("Floating point division by zero"));
    EXPECT_EQ(r.Output[26], QStringLiteral("7 2026-01-07"));
}

// x := y, x := x op y and x := y op x between plain variables, x := c and
// x := x op c of a number or text c (built straight into their statement)
// give what the same statement gives written with brackets (built through
// the expression), and the errors of the general rules at the same places.
TEST(KsSemantics, AssignmentsBetweenVariablesKeepTheGeneralRules)
{
    const QStringList stmts =
            QStringLiteral("i := k; i := i + k; i := k + i; i := i - k; i := k - i; i := i * k; i := k * i; "
                           "x := i; x := x / k; x := k / x; x := x * i; x := i - x; s := t; s := s + t; "
                           "s := t + s; v := v + s; v := s + v; v := v * k; w := v; w := w - v; w := i * w; "
                           "i := i + w; s := s + v; x := x + w; i := 5; i := i + 1; i := i - $10; i := i * 3; "
                           "x := x / 4; x := 1.5; x := x + 0.25; s := 'z'; s := s + 'z'; v := v + 1; v := 'q'; "
                           "w := w * 2; x := x - 99999999999999999999")
                    .split(QStringLiteral("; "));
    QString text =
            QStringLiteral("var i, k: Integer; x: Double; s, t: String; v, w: Variant;\n"
                           "procedure Show(a: Variant); begin Out(IntToStr(VarType(a)) + ' ' + VarToStr(a)) end;\n"
                           "procedure Reset; begin i := 2147483000; k := 700; x := 2.5; s := 'ab'; t := '12';\n"
                           "  v := '3'; w := 3000000000 end;\n"
                           "begin\n");
    for (const QString &direct : stmts) {
        QString bracketed = direct;
        bracketed.replace(QStringLiteral(":= "), QStringLiteral(":= (")).append(QLatin1Char(')'));
        const QString target = direct.left(1);
        for (const QString &form : {direct, bracketed})
            text += QStringLiteral("  Reset; try %1; Show(%2) except Out(ExceptionMessage) end;\n").arg(form, target);
    }
    text += QStringLiteral("end.");
    const KsRunResult r = ksRunScript(text, QStringLiteral("PascalScript"));
    ASSERT_TRUE(r.Error.isEmpty()) << r.Error.toStdString();
    ASSERT_EQ(r.Output.size(), 2 * stmts.size());
    for (qsizetype n = 0; n < stmts.size(); ++n)
        EXPECT_EQ(r.Output[2 * n], r.Output[2 * n + 1]) << stmts[n].toStdString();
    EXPECT_EQ(r.Output[2], QStringLiteral("20 2147483700"));
    EXPECT_EQ(r.Output[26], QStringLiteral("256 ab12"));
    EXPECT_EQ(r.Output[28], QStringLiteral("256 12ab"));

    struct Case {
        const char *Text, *Error;
    } errors[] = {
            {"var i: Integer; begin i := i / i end.", "1:23: Incompatible types: 'Integer', 'Extended'"},
            {"var s: String; begin s := s - s end.", "1:27: Incompatible types"},
            {"const c = 1; var i: Integer; begin c := i end.", "1:36: Left side cannot be assigned to"},
            {"var b: Boolean; i: Integer; begin b := b + i end.", "1:40: Incompatible types"},
            {"var i: Integer; begin i := i + x end.", "1:32: Undeclared identifier: 'x'"},
            {"var i: Integer; d: Double; begin i := d end.", "1:34: Incompatible types: 'Integer', 'Extended'"},
            {"var i: Integer; d: Double; begin i := d * i end.", "1:34: Incompatible types: 'Integer', 'Extended'"},
            {"var i: Integer; d: Double; begin d := i; d := d / i end.",
             "1:42: EZeroDivide: Floating point division by zero"},
            {"var i: Integer; begin i := 1.5 end.", "1:23: Incompatible types: 'Integer', 'Extended'"},
            {"var i: Integer; begin i := i / 2 end.", "1:23: Incompatible types: 'Integer', 'Extended'"},
            {"var i: Integer; begin i := 'a' end.", "1:23: Incompatible types: 'Integer', 'String'"},
            {"var b: Boolean; begin b := b + 1 end.", "1:28: Incompatible types"},
            {"var s: String; begin s := 'a'; s := s + 1 end.", "1:37: Incompatible types"},
    };
    for (const Case &c : errors) EXPECT_EQ(RunText("PascalScript", c.Text).Error, QString::fromUtf8(c.Error)) << c.Text;
}

// ++ and -- step a variable by the operator rules: past the 32-bit range
// it becomes a 64-bit integer, a text that is a number held by a Variant is
// converted (a String variable is refused, as s = s + 1 is), and an element
// steps like a variable.
TEST(KsSemantics, IncrementsFollowTheAdditionRules)
{
    const char *steps = "i++; Out(i); Out(VarType(i)); i--; i--; Out(i); Out(VarType(i));\n"
                        "s++; Out(s); d--; Out(d); a[1]++; Out(a[1]);";
    const std::string cpp = std::string("{ int i = 2147483647; Variant s = \"5\"; float d = 1.5; int a[2]; a[1] = 2;\n") +
                            steps + " }";
    const std::string js = std::string("var i = 2147483647, s = \"5\", d = 1.5, a[2]; a[1] = 2;\n") + steps;
    for (const auto &[lang, text] : {std::pair{"C++Script", cpp}, std::pair{"JScript", js}}) {
        SCOPED_TRACE(lang);
        const KsRunResult r = RunText(lang, text.c_str());
        EXPECT_EQ(r.Output, Lines({"2147483648", "20", "2147483646", "20", "6", "0.5", "3"})) << r.Error.toStdString();
    }
}

// A loop of one statement (and a C-like loop with one step) stops on break
// and exit as any loop does, and an error in it names the statement.
TEST(KsSemantics, LoopsOfOneStatementStopAndReportLikeAnyLoop)
{
    KsRunResult r = RunText("C++Script", "{ int i, s = 0;\n"
                                         "  for (i = 0; i < 10; i++) if (i == 4) break; else s = s + i;\n"
                                         "  Out(i); Out(s);\n"
                                         "  for (i = 0; i < 3; i++)\n"
                                         "    s = s div (2 - i);\n"
                                         "}");
    EXPECT_EQ(r.Code, 2);
    EXPECT_EQ(r.Output.mid(0, 2), Lines({"4", "6"}));
    EXPECT_TRUE(r.Error.startsWith(QStringLiteral("5:"))) << r.Error.toStdString();
    r = RunText("PascalScript", "var i, k: Integer;\n"
                                "procedure P; begin for i := 1 to 10 do if i = 3 then exit; Out('not here') end;\n"
                                "begin P; Out(i); k := 0;\n"
                                "  while k < 5 do k := k + 2; Out(k);\n"
                                "  for i := 1 to 3 do\n"
                                "    k := k div (2 - i)\n"
                                "end.");
    EXPECT_EQ(r.Output.mid(0, 2), Lines({"3", "6"}));
    EXPECT_TRUE(r.Error.startsWith(QStringLiteral("6:"))) << r.Error.toStdString();
}
