// The evaluator's short ways give what the general rules give: arithmetic on
// numbers of every kind, operands read in place, Boolean and/or of
// comparisons, and elements of Variant arrays reached directly.
#include "script/ks_idesignator.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

struct Outcome {
    bool Raised = false;
    QString Text;  // class and message when raised, else kind and text
};

Outcome Describe(const std::function<KsValue()> &f)
{
    Outcome o;
    try {
        const KsValue v = f();
        o.Text = v.KindName() + QLatin1Char(' ') + v.ToText();
    } catch (const KsError &e) {
        o.Raised = true;
        o.Text = e.ClassName + QStringLiteral(": ") + e.Message;
    }
    return o;
}

// x op y for every pair of a set of numbers (and a few values that are no
// numbers), with both operands variables, with a constant on either side,
// and inside a larger tree: the same kind and value as the general rules,
// or the same error.
TEST(KsPaths, ArithmeticGivesWhatTheGeneralRulesGive)
{
    const std::vector<KsValue> values = {KsValue(0),
                                         KsValue(1),
                                         KsValue(-1),
                                         KsValue(7),
                                         KsValue(-7),
                                         KsValue(std::numeric_limits<int>::max()),
                                         KsValue(std::numeric_limits<int>::min()),
                                         KsValue(qint64(5)),
                                         KsValue(qint64(-9000000000000000LL)),
                                         KsValue(std::numeric_limits<qint64>::max()),
                                         KsValue(std::numeric_limits<qint64>::min()),
                                         KsValue(2.5),
                                         KsValue(-0.5),
                                         KsValue(0.0),
                                         KsValue(1e300),
                                         KsValue(QStringLiteral("3")),
                                         KsValue(true),
                                         KsValue(),
                                         KsValue::Null(),
                                         KsValue::FromDate(46000.25)};
    const std::pair<const char *, KsOp> ops[] = {{"+", KsOp::Add},    {"-", KsOp::Sub},     {"*", KsOp::Mul},
                                                 {"/", KsOp::DivFloat}, {"div", KsOp::DivInt}, {"mod", KsOp::Mod}};
    TksScript s;
    auto *x = new TksVariable(QStringLiteral("x"), tcVariant, QStringLiteral("Variant"));
    auto *y = new TksVariable(QStringLiteral("y"), tcVariant, QStringLiteral("Variant"));
    s.Add(x->Name, x);
    s.Add(y->Name, y);
    auto build = [&](const char *op, bool constLeft, bool constRight, const KsValue &a, const KsValue &b) {
        auto e = std::make_unique<TksExpression>(&s);
        if (constLeft)
            e->AddConst(a);
        else
            e->AddDesignator(TksDesignator::ForVariable(&s, x));
        e->AddOperator(QLatin1String(op));
        if (constRight)
            e->AddConst(b);
        else
            e->AddDesignator(TksDesignator::ForVariable(&s, y));
        e->Finish();
        return e;
    };
    int compared = 0;
    for (const auto &entry : ops) {
        // Named apart: a lambda may not capture a structured binding (clang).
        const auto &op = entry.first;
        const auto code = entry.second;
        for (const KsValue &a : values)
            for (const KsValue &b : values) {
                x->Value = a;
                y->Value = b;
                const Outcome expected = Describe([&] { return ksBinarySlow(code, a, b); });
                for (int form = 0; form < 3; ++form) {
                    auto e = build(op, form == 1, form == 2, a, b);
                    const Outcome got = Describe([&] { return e->GetValue(); });
                    SCOPED_TRACE(QStringLiteral("%1 %2 %3 (form %4)")
                                         .arg(a.ToText(), QLatin1String(op), b.ToText())
                                         .arg(form)
                                         .toStdString());
                    EXPECT_EQ(got.Raised, expected.Raised);
                    EXPECT_EQ(got.Text, expected.Text);
                    ++compared;
                }
                // (x op y) + 0 - 0: the same value when the node is an operand of another
                if (!expected.Raised && (a.IsNumeric() && b.IsNumeric())) {
                    auto e = std::make_unique<TksExpression>(&s);
                    e->AddOperator(QStringLiteral("("));
                    e->AddDesignator(TksDesignator::ForVariable(&s, x));
                    e->AddOperator(QLatin1String(op));
                    e->AddDesignator(TksDesignator::ForVariable(&s, y));
                    e->AddOperator(QStringLiteral(")"));
                    e->AddOperator(QStringLiteral("*"));
                    e->AddConst(KsValue(1));
                    e->Finish();
                    const Outcome nested = Describe([&] { return e->GetValue(); });
                    const Outcome direct =
                            Describe([&] { return ksBinarySlow(KsOp::Mul, ksBinarySlow(code, a, b), KsValue(1)); });
                    EXPECT_EQ(nested.Text, direct.Text);
                }
            }
    }
    EXPECT_EQ(compared, 6 * 20 * 20 * 3);
}

QStringList Output(const char *language, const char *text)
{
    return ksRunScript(QString::fromUtf8(text), QLatin1String(language)).Output;
}

// An operand read in place is read before what follows it runs: a call on
// the right that changes the left variable does not change the left value.
TEST(KsPaths, TheLeftOperandIsReadBeforeACallOnTheRight)
{
    EXPECT_EQ(Output("PascalScript", "var x, n: Integer;\n"
                                  "function f: Integer; begin x := 100; n := n + 1; Result := 1 end;\n"
                                  "begin\n"
                                  "  x := 5; Out(x + f());\n"
                                  "  x := 5; Out(x - f() * 2);\n"
                                  "  x := 5; Out(x - (x + 1) * 2);\n"
                                  "  x := 5; Out((x + f()) mod 7);\n"
                                  "  Out(n)\n"
                                  "end."),
              (QStringList{QStringLiteral("6"), QStringLiteral("3"), QStringLiteral("-7"), QStringLiteral("6"),
                           QStringLiteral("3")}));
}

// and / or of two comparisons stop at the left one when it decides, as
// and / or of Booleans always do; other operands keep their own rules.
TEST(KsPaths, AndOrOfComparisonsStopWhenTheLeftDecides)
{
    EXPECT_EQ(Output("PascalScript", "var n, i: Integer; b: Boolean;\n"
                                  "function f: Integer; begin n := n + 1; Result := n end;\n"
                                  "begin\n"
                                  "  n := 0; i := 3;\n"
                                  "  Out((i > 2) or (f() > 0)); Out(n);\n"
                                  "  Out((i > 5) or (f() > 0)); Out(n);\n"
                                  "  Out((i > 5) and (f() > 0)); Out(n);\n"
                                  "  Out((i > 2) and (f() > 5)); Out(n);\n"
                                  "  if (i < 0) or (i = 3) then Out('then') else Out('else');\n"
                                  "  b := (i > 2) and (i < 4); Out(b);\n"
                                  "  Out(6 and 3); Out(i or 4)\n"
                                  "end."),
              (QStringList{QStringLiteral("True"), QStringLiteral("0"), QStringLiteral("True"), QStringLiteral("1"),
                           QStringLiteral("False"), QStringLiteral("1"), QStringLiteral("False"), QStringLiteral("2"),
                           QStringLiteral("then"), QStringLiteral("True"), QStringLiteral("2"), QStringLiteral("7")}));
}

// v[i] and v[i, j] of a Variant variable read and write the element; a
// string in the Variant gives its character, an index that changes the
// variable reads the array the variable held first, and a wrong index is
// the same error as before.
TEST(KsPaths, VariantElementsAsTheChainReachesThem)
{
    const char *pascal = "var v, w: Variant; i: Integer;\n"
                         "function g: Integer; begin v := VarArrayCreate([0, 2], varVariant); Result := 1 end;\n"
                         "begin\n"
                         "  v := VarArrayCreate([0, 2], varVariant);\n"
                         "  for i := 0 to 2 do v[i] := i * 10;\n"
                         "  Out(v[2] + v[1]);\n"
                         "  Out(v[g()]); Out(VarType(v[1]));\n"
                         "  w := VarArrayCreate([0, 1, 0, 2], varVariant); w[1, 2] := 'x'; Out(w[1, 2]); Out(w[0, 2]);\n"
                         "  v := 'abc'; Out(v[2]);\n"
                         "  v := VarArrayCreate([0, 2], varVariant);\n"
                         "  try Out(v[3]) except Out(ExceptionClassName + ': ' + ExceptionMessage) end;\n"
                         "  try v[-1] := 1 except Out(ExceptionClassName + ': ' + ExceptionMessage) end\n"
                         "end.";
    const QStringList out = Output("PascalScript", pascal);
    ASSERT_EQ(out.size(), 8) << out.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(out.mid(0, 6), (QStringList{QStringLiteral("30"), QStringLiteral("10"), QStringLiteral("0"),
                                         QStringLiteral("x"), QString(), QStringLiteral("b")}));
    EXPECT_TRUE(out[6].startsWith(QLatin1String("ERangeError")) || out[6].startsWith(QLatin1String("EVariantError")))
            << out[6].toStdString();
    EXPECT_EQ(out[6].section(QLatin1Char(':'), 0, 0), out[7].section(QLatin1Char(':'), 0, 0));
    EXPECT_EQ(Output("C++Script", "Variant v; int i;\n"
                               "{ v = VarArrayCreate([1, 3], varVariant); for (i = 1; i <= 3; i++) v[i] = i * i;\n"
                               "  Out(v[1] + v[2] + v[3]); }"),
              QStringList{QStringLiteral("14")});
}

}  // namespace

// The inline ways of + - * and of comparisons (reals among them, and a
// target changed in place) give what the general rules give for every pair
// of a set of values of every kind.
TEST(KsPaths, InlineOperatorsGiveWhatTheGeneralRulesGive)
{
    const std::vector<KsValue> values = {KsValue(0),       KsValue(3),
                                         KsValue(-2),      KsValue(std::numeric_limits<int>::max()),
                                         KsValue(qint64(-9000000000000000LL)),
                                         KsValue(std::numeric_limits<qint64>::max()),
                                         KsValue(2.5),     KsValue(-0.0),
                                         KsValue(3.0),     KsValue(1e308),
                                         KsValue(std::numeric_limits<double>::infinity()),
                                         KsValue(QStringLiteral("3")),
                                         KsValue(QStringLiteral("x")),
                                         KsValue(true),    KsValue(),
                                         KsValue::Null(),  KsValue::FromDate(46000.25)};
    const std::pair<KsOp, KsValue (*)(const KsValue &, const KsValue &)> ops[] = {
            {KsOp::Add, ksAdd}, {KsOp::Sub, ksSub}, {KsOp::Mul, ksMul}};
    int compared = 0;
    for (const KsValue &a : values)
        for (const KsValue &b : values) {
            SCOPED_TRACE((a.KindName() + QLatin1Char(' ') + a.ToText() + QStringLiteral(", ") + b.KindName() +
                          QLatin1Char(' ') + b.ToText())
                                 .toStdString());
            for (const auto &[op, inlined] : ops) {
                const Outcome expected = Describe([&, op = op] { return ksBinarySlow(op, a, b); });
                EXPECT_EQ(Describe([&, f = inlined] { return f(a, b); }).Text, expected.Text);
                const Outcome inPlace = Describe([&, op = op] {
                    KsValue t = a;
                    ksBinaryInPlace(op, t, b);
                    return t;
                });
                EXPECT_EQ(inPlace.Raised, expected.Raised);
                EXPECT_EQ(inPlace.Text, expected.Text);
                ++compared;
            }
            const Outcome order = Describe([&] { return KsValue(ksCompareSlow(a, b)); });
            EXPECT_EQ(Describe([&] { return KsValue(ksCompare(a, b)); }).Text, order.Text);
            EXPECT_EQ(ksEquals(a, b), ksEqualsSlow(a, b));
        }
    EXPECT_EQ(compared, 17 * 17 * 3);
}

// Elements of arrays inside arithmetic and comparisons read what the same
// element read into a variable first gives, of every kind an element may
// hold; an index that is no integer, an index that calls a routine (once)
// and a wrong index keep their rules.
TEST(KsPaths, ArrayElementsInTreesGiveWhatTheirValuesGive)
{
    const char *pascal =
            "var a: array[1..4] of Integer; d: array[0..1, 0..2] of Double; v, t, k: Variant; i, s, n: Integer;\n"
            "function f: Integer; begin n := n + 1; Result := 2 end;\n"
            "begin\n"
            "  for i := 1 to 4 do a[i] := i * 7;\n"
            "  d[1, 2] := 0.25; d[0, 1] := -3;\n"
            "  v := VarArrayCreate([0, 4], varVariant);\n"
            "  v[0] := 5; v[1] := 2.5; v[2] := '12'; v[3] := 9000000000; v[4] := True;\n"
            "  s := 10; i := 2;\n"
            "  Out((s + a[i] * 3) mod 11); t := a[i]; Out((s + t * 3) mod 11);\n"
            "  Out(a[i + 1] - a[i - 1] * 2); Out(a[3] - a[1] * 2);\n"
            "  Out(d[1, i] * 4 + d[0, 1]); t := d[1, 2]; k := d[0, 1]; Out(t * 4 + k);\n"
            "  for i := 0 to 4 do begin t := v[i]; Out(v[i] * 2 + 1); Out(t * 2 + 1); Out(v[i] > 3); Out(t > 3) end;\n"
            "  Out(v[0] + v[2]); t := v[2]; Out(v[0] + t);\n"
            "  k := 2.5; Out(v[k]); Out(v[2]);\n"
            "  n := 0; Out(a[f()] * 2); Out(n);\n"
            "  try Out(a[i + 1] * 2) except Out(ExceptionClassName) end;\n"
            "  try Out(a[5]) except Out(ExceptionClassName) end;\n"
            "  try Out(v[5] * 2) except Out(ExceptionClassName) end;\n"
            "  try Out(v[-1]) except Out(ExceptionClassName) end\n"
            "end.";
    const QStringList out = Output("PascalScript", pascal);
    ASSERT_EQ(out.size(), 36) << out.join(QLatin1Char('|')).toStdString();
    // (10 + 14 * 3) mod 11 = 8; 21 - 7 * 2 = 7; 0.25 * 4 - 3 = -2
    EXPECT_EQ(out.mid(0, 6), (QStringList{QStringLiteral("8"), QStringLiteral("8"), QStringLiteral("7"),
                                         QStringLiteral("7"), QStringLiteral("-2"), QStringLiteral("-2")}));
    for (int e = 0; e < 5; ++e) {
        SCOPED_TRACE(e);
        EXPECT_EQ(out[6 + e * 4], out[7 + e * 4]);
        EXPECT_EQ(out[8 + e * 4], out[9 + e * 4]);
    }
    EXPECT_EQ(out[6], QStringLiteral("11"));           // 5 * 2 + 1
    EXPECT_EQ(out[18], QStringLiteral("18000000001"));  // an Int64 element stays one
    EXPECT_EQ(out[26], out[27]);
    // The index 2.5 rounds to 2 (half to even), as an index always did.
    EXPECT_EQ(out[28], out[29]);
    EXPECT_EQ(out[29], QStringLiteral("12"));
    EXPECT_EQ(out.mid(30, 2), (QStringList{QStringLiteral("28"), QStringLiteral("1")}));
    // i is 4 after the loop over v: a[i + 1] is outside the array, as a[5] is.
    EXPECT_EQ(out[32], out[33]);
    EXPECT_EQ(out[34], out[35]);
    EXPECT_TRUE(out[32].startsWith(QLatin1String("E"))) << out[32].toStdString();
    EXPECT_TRUE(out[34].startsWith(QLatin1String("E"))) << out[34].toStdString();
}

// A chain a + b + c gives what adding one operand after the other gives,
// whether its operands are numbers, texts or both; & after a text joins.
TEST(KsPaths, ChainsOfPlusGiveWhatEachStepGives)
{
    const char *pascal = "var a, b, c, t: Variant; x, y: Double; i, j: Integer; k: Integer;\n"
                         "begin\n"
                         "  x := 1.5; y := 0.25; i := 2; j := 3;\n"
                         "  Out(x * x + y * y + i); t := x * x; t := t + y * y; t := t + i; Out(t);\n"
                         "  Out(i + j + i * j); Out(2147483647 + i + j);\n"
                         "  for k := 0 to 4 do begin\n"
                         "    if k = 0 then begin a := 1; b := 2.5; c := 3 end;\n"
                         "    if k = 1 then begin a := '1'; b := '2'; c := '3' end;\n"
                         "    if k = 2 then begin a := '1'; b := 2; c := 3 end;\n"
                         "    if k = 3 then begin a := 1; b := 2; c := 'x' end;\n"
                         "    if k = 4 then begin a := 9000000000; b := 1; c := 0.5 end;\n"
                         "    try Out(a + b + c) except Out(ExceptionClassName) end;\n"
                         "    try t := a + b; t := t + c; Out(t) except Out(ExceptionClassName) end\n"
                         "  end\n"
                         "end.";
    const QStringList out = Output("PascalScript", pascal);
    ASSERT_EQ(out.size(), 14) << out.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(out[0], QStringLiteral("4.3125"));  // 2.25 + 0.0625 + 2
    EXPECT_EQ(out[1], out[0]);
    EXPECT_EQ(out[2], QStringLiteral("11"));
    EXPECT_EQ(out[3], QStringLiteral("2147483652"));
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(out[4 + 2 * k], out[5 + 2 * k]);
    }
    EXPECT_EQ(out[6], QStringLiteral("123"));
    EXPECT_EQ(Output("BasicScript", "dim a, b\na = \"1\"\nb = 2\nOut(a & b & 3)\nOut(b + b + 3)"),
              (QStringList{QStringLiteral("123"), QStringLiteral("7")}));
}
