// Variant arrays nested a million deep: freeing, comparing, copying and
// converting them neither recurse through the levels nor crash.
#include "script/ks_runner.h"
#include "script/ksvalue.h"

#include <gtest/gtest.h>

namespace {

// An array of one element holding the next level, `depth` levels over `bottom`.
KsValue Chain(int depth, const KsValue &bottom)
{
    KsValue v = bottom;
    for (int i = 0; i < depth; ++i) {
        KsValue w = KsValue::MakeArray({KsBounds{0, 1}});
        w.ElementMut(0) = std::move(v);
        v = std::move(w);
    }
    return v;
}

TEST(KsDeep, ChainsAMillionDeepAreFreedAndCompared)
{
    KsValue v = Chain(1000000, KsValue(0));
    KsValue copy = v;  // shares the levels
    EXPECT_TRUE(ksEquals(v, copy));
    v = KsValue(0);  // the copy still holds every level
    EXPECT_EQ(copy.DimCount(), 1);
    copy.Clear();

    const KsValue a = Chain(300000, KsValue(1)), b = Chain(300000, KsValue(1));
    const KsValue c = Chain(300000, KsValue(2)), d = Chain(299999, KsValue(1));
    EXPECT_TRUE(ksEquals(a, b));
    EXPECT_FALSE(ksEquals(a, c));  // differ at the bottom only
    EXPECT_FALSE(ksEquals(a, d));  // one level short
    EXPECT_FALSE(ksEquals(d, a));
    EXPECT_THROW(ksCompare(a, b), KsError);

    // an array whose elements hold chains, and one holding many small arrays
    KsValue wide = KsValue::MakeArray({KsBounds{0, 3}});
    for (qint64 i = 0; i < 3; ++i) wide.ElementMut(i) = Chain(200000, KsValue(int(i)));
    KsValue many = KsValue::MakeArray({KsBounds{0, 100000}});
    for (qint64 i = 0; i < 100000; ++i) many.ElementMut(i) = Chain(2, KsValue(QStringLiteral("x")));
    EXPECT_TRUE(ksEquals(many, KsValue(many)));
    wide.Clear();
    many.Clear();
}

// w[0] := w; w[1] := w at every level: 2^200 paths through 200 levels, each
// level held twice. Two such values built apart compare in time.
TEST(KsDeep, LevelsHeldTwiceAreComparedOnce)
{
    auto doubled = [](int levels, int bottom) {
        KsValue w = KsValue::MakeArray({KsBounds{0, 2}});
        w.ElementMut(0) = KsValue(bottom);
        w.ElementMut(1) = KsValue(bottom);
        for (int i = 0; i < levels; ++i) {
            KsValue next = KsValue::MakeArray({KsBounds{0, 2}});
            next.ElementMut(0) = w;
            next.ElementMut(1) = w;
            w = std::move(next);
        }
        return w;
    };
    const KsValue a = doubled(200, 1), b = doubled(200, 1), c = doubled(200, 2);
    EXPECT_TRUE(ksEquals(a, b));
    EXPECT_FALSE(ksEquals(a, c));
    EXPECT_TRUE(ksEquals(a, a));
}

// The same through a script, in each language: built in a loop, compared,
// copied, shown, and let go; what does not apply to arrays raises an error
// the script catches.
TEST(KsDeep, ScriptsBuildCompareAndFreeDeepChains)
{
    const struct {
        const char *Lang, *Text;
    } cases[] = {
            {"PascalScript",
             "var v, w, a, b: Variant; i: Integer;\n"
             "begin\n"
             "  v := 0; a := 0; b := 0;\n"
             "  for i := 1 to 1000000 do begin w := VarArrayCreate([0, 0], 12); w[0] := v; v := w; end;\n"
             "  for i := 1 to 300000 do begin\n"
             "    w := VarArrayCreate([0, 0], 12); w[0] := a; a := w;\n"
             "    w := VarArrayCreate([0, 0], 12); w[0] := b; b := w;\n"
             "  end;\n"
             "  w := 0;\n"
             "  Out(a = b); Out(a <> v); w := a; Out(w = a);\n"
             "  try Out(VarToStr(a)); except Out(ExceptionClassName); end;\n"
             "  try Out(a); except Out(ExceptionClassName); end;\n"
             "  try Out(a < b); except Out(ExceptionClassName); end;\n"
             "  v := 0; a := 0; b := 0; w := 0;\n"
             "  Out('freed');\n"
             "end."},
            {"C++Script",
             "Variant v, w, a, b; int i;\n"
             "{\n"
             "  v = 0; a = 0; b = 0;\n"
             "  for (i = 1; i <= 1000000; i++) { w = VarArrayCreate([0, 0], 12); w[0] = v; v = w; }\n"
             "  for (i = 1; i <= 300000; i++) {\n"
             "    w = VarArrayCreate([0, 0], 12); w[0] = a; a = w;\n"
             "    w = VarArrayCreate([0, 0], 12); w[0] = b; b = w;\n"
             "  }\n"
             "  w = 0;\n"
             "  Out(a == b); Out(a != v); w = a; Out(w == a);\n"
             "  try { Out(VarToStr(a)); } except { Out(ExceptionClassName); }\n"
             "  try { Out(a); } except { Out(ExceptionClassName); }\n"
             "  try { Out(a < b); } except { Out(ExceptionClassName); }\n"
             "  v = 0; a = 0; b = 0; w = 0;\n"
             "  Out(\"freed\");\n"
             "}"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Lang);
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
        ASSERT_EQ(r.Output.size(), 7) << r.Output.join(u'|').toStdString();
        EXPECT_EQ(r.Output.mid(0, 3), QStringList({QStringLiteral("True"), QStringLiteral("True"), QStringLiteral("True")}));
        EXPECT_EQ(r.Output[3], QStringLiteral("EVariantTypeCastError"));
        EXPECT_EQ(r.Output[4], QStringLiteral("EVariantTypeCastError"));
        EXPECT_EQ(r.Output[5], QStringLiteral("EVariantInvalidOpError"));
        EXPECT_EQ(r.Output[6], QStringLiteral("freed"));
    }
}

// A chain left in a variable when the script ends is freed with it.
TEST(KsDeep, AChainLeftWhenTheScriptEndsIsFreed)
{
    const KsRunResult r = ksRunScript(QStringLiteral("var v, w: Variant; i: Integer;\n"
                                                     "begin\n"
                                                     "  for i := 1 to 1000000 do begin w := VarArrayCreate([0, 0], 12); "
                                                     "w[0] := v; v := w; end;\n"
                                                     "  Out(VarType(v));\n"
                                                     "end."),
                                      QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(r.Output, QStringList{QString::number(8192 + ksVarVariant)});
}

}  // namespace
