// The short routes of calls and properties give what the general route
// gives: a library function called on its own (its arguments calling it
// again), a property of an object held in a variable (read, written, of an
// object freed or of none), and strings compared where they stand.
#include "script/ks_runner.h"

#include <gtest/gtest.h>

namespace {

QStringList RunText(const char *text, const char *lang = "PascalScript")
{
    const KsRunResult r = ksRunScript(QString::fromUtf8(text), QLatin1String(lang));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    return r.Output;
}

}  // namespace

// The same calls on their own and inside a chain of the general route (as
// an argument of Out through a Variant array element, which walks the chain).
TEST(KsCalls, LibraryFunctionsOnTheirOwnGiveWhatTheChainGives)
{
    const QStringList out = RunText("var a, v, x: Variant; s: String; n: Integer;\nbegin\n"
                                "  s := 'Hello'; a := VarArrayCreate([0, 2], varVariant); v := 65; x := 'x';\n"
                                "  n := Length(IntToStr(Length(IntToStr(123456789)))); Out(n);\n"
                                "  Out(Copy(s, 2, 3) + Copy(s, 1, 100) + Copy(s, 9, 1) + Copy(s, 0, 2) + Copy(s, 3, -1));\n"
                                "  Out(Pos('l', s) * 10 + Pos('lo', Copy(s, 1, 5)) + Pos('', s));\n"
                                "  Out(Ord(s[1]) + Ord('') + Ord(v)); Out(Length(a)); Out(Length(12345));\n"
                                "  a[0] := 'abc'; Out(Length(a[0]) + Pos('c', a[0]));\n"
                                "  Out(Sqrt(16) + Length(s)); v := 7.0; Out(IntToStr(-5) + IntToStr(v));\n"
                                "  try Out(Sqrt(-1)) except Out(ExceptionClassName) end;\n"
                                "  try Out(Copy(s, x, 1)) except Out(ExceptionClassName) end;\n"
                                "end.");
    EXPECT_EQ(out, (QStringList{"1", "ellHelloHe", "34", "137", "3", "5", "6", "9", "-57", "EInvalidOp",
                                "EVariantTypeCastError"}));
}

TEST(KsCalls, PropertiesOfAnObjectInAVariableReadAndWriteAsAChainDoes)
{
    const QStringList out = RunText("var f, g: TFont; L: TStringList; v, w: Variant;\nbegin\n"
                                "  f := TFont.Create; g := TFont.Create;\n"
                                "  v := 12.6; w := '5'; f.Size := 12; f.Name := 'Serif'; f.Size := v; f.Color := w;\n"
                                "  Out(f.Size); Out(f.Name); Out(f.Color); Out(f.Height);\n"
                                "  g.Assign(f); Out(g.Size = f.Size);\n"
                                "  L := TStringList.Create; L.Add('b'); L.Add('a'); L.Sorted := True;\n"
                                "  Out(L.Count); Out(L.Sorted); Out(L[0]); v := 0; L.Sorted := v; Out(L.Sorted);\n"
                                "  L.Free; try Out(L.Count) except Out(ExceptionClassName) end;\n"
                                "  f := nil; try f.Size := 3; Out('none') except Out(ExceptionClassName) end;  // nothing to set\n"
                                "end.");
    EXPECT_EQ(out, (QStringList{"13", "Serif", "5", "-17", "True", "2", "True", "a", "False", "EInvalidObject", "none"}));
}

TEST(KsCalls, StringsCompareWhereTheyStand)
{
    const QStringList out = RunText("var a, b: String; v: Variant;\nbegin\n"
                                "  a := 'abc'; b := 'abd'; v := 'abc';\n"
                                "  Out(a = b); Out(a < b); Out(a = v); Out(a <> 'ABC'); Out('' = a); Out(b > a);\n"
                                "  Out('中文' > '中'); Out(v + 'd' = b + '');\n"
                                "end.");
    EXPECT_EQ(out, (QStringList{"False", "True", "True", "True", "False", "True", "True", "False"}));
}
