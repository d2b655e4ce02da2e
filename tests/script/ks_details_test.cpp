// Language details every grammar shares: an element inside an element read
// and written through a chain of indexes, the index count of a declared
// array checked when compiling, and FormatFloat's grouping comma.
#include "script/ks_runner.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char *Lang;
    const char *Text;
    int Code;
    const char *Expected;  // the output lines joined with "|", or the start of the error
};

// Runs each case and checks its output or its error.
template <size_t N>
void expectAll(const Case (&cases)[N])
{
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.Lang) + "\n" + c.Text);
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        EXPECT_EQ(r.Code, c.Code) << r.Error.toStdString();
        if (c.Code == 0)
            EXPECT_EQ(r.Output.join(QLatin1Char('|')), QLatin1String(c.Expected));
        else
            EXPECT_EQ(r.Error, QLatin1String(c.Expected));
    }
}

TEST(KsDetails, IndexesElementsAndFormatFloatGrouping)
{
    const Case cases[] = {
            // v[0] holds an array: v[0][1] is its element, for reading and writing.
            {"PascalScript",
             "var v, w: Variant;\n"
             "begin\n"
             "  v := VarArrayCreate([0, 1], varVariant); w := VarArrayCreate([0, 2], varVariant);\n"
             "  w[1] := 5; v[0] := w; v[1] := 'abc';\n"
             "  Out(v[0][1]); v[0][2] := 9; Out(v[0][2]); Out(VarType(w[2])); Out(v[1][2]);\n"
             "end.",
             0, "5|9|0|b"},
            {"C++Script",
             "Variant v, w;\n"
             "{\n"
             "  v = VarArrayCreate([0, 1], varVariant); w = VarArrayCreate([0, 2], varVariant);\n"
             "  w[1] = 5; v[0] = w; v[1] = \"abc\";\n"
             "  Out(v[0][1]); v[0][2] = 9; Out(v[0][2]); Out(VarType(w[2])); Out(v[1][2]);\n"
             "}",
             0, "5|9|0|b"},
            {"JScript",
             "var v = VarArrayCreate([0, 1], varVariant), w = VarArrayCreate([0, 2], varVariant);\n"
             "w[1] = 5; v[0] = w; v[1] = \"abc\";\n"
             "Out(v[0][1]); v[0][2] = 9; Out(v[0][2]); Out(VarType(w[2])); Out(v[1][2]);",
             0, "5|9|0|b"},
            {"BasicScript",
             "v = VarArrayCreate([0, 1], varVariant) : w = VarArrayCreate([0, 2], varVariant)\n"
             "w[1] = 5 : v[0] = w : v[1] = \"abc\"\n"
             "Out(v[0][1]) : v[0][2] = 9 : Out(v[0][2]) : Out(VarType(w[2])) : Out(v[1][2])",
             0, "5|9|0|b"},
            // three deep, through a declared array of Variants
            {"PascalScript",
             "var a: array[2] of Variant; w: Variant;\n"
             "begin\n"
             "  w := VarArrayCreate([0, 1], varVariant); w[1] := VarArrayCreate([0, 1], varVariant);\n"
             "  a[1] := w; a[1][1][0] := 'x'; Out(a[1][1][0]); Out(VarType(w[1][0]));\n"
             "end.",
             0, "x|0"},
            // A declared two-dimensional array takes exactly two indexes.
            {"PascalScript", "var a: array[3, 3] of Integer;\nbegin\n  a[1][1] := 2;\nend.", 1,
             "3:3: Not enough actual parameters"},
            {"PascalScript", "var a: array[3, 3] of Integer;\nbegin\n  Out(a[1][1]);\nend.", 1,
             "3:7: Not enough actual parameters"},
            {"PascalScript", "var a: array[3, 3] of Integer;\nbegin\n  a[1, 1, 1] := 2;\nend.", 1,
             "3:3: Too many actual parameters"},
            {"JScript", "var a[3, 3];\na[1][2] = 7;", 1, "2:1: Not enough actual parameters"},
            {"BasicScript", "Dim a[3, 3]\na[1][2] = 7", 1, "2:1: Not enough actual parameters"},
            {"C++Script", "int a[3][3];\n{ a[1][2] = 7; Out(a[1][2]); a[1] = 5; }", 1,
             "2:30: Not enough actual parameters"},
            // A comma before the first digit placeholder only switches grouping on.
            {"PascalScript",
             "begin Out(FormatFloat(',0', 1234567)); Out(FormatFloat(',0.00', -1234.5)); "
             "Out(FormatFloat('#,##0', 1234567)); Out(FormatFloat('''x'',0', 1234)) end.",
             0, "1,234,567|-1,234.50|1,234,567|x1,234"},
            {"C++Script", "{ Out(FormatFloat(\",0\", 1234567)); }", 0, "1,234,567"},
            {"JScript", "Out(FormatFloat(\",0\", 1234567));", 0, "1,234,567"},
            {"BasicScript", "Out(FormatFloat(\",0\", 1234567))", 0, "1,234,567"},
    };
    expectAll(cases);
}

// C++Script writes a[i][j] as one index list: indexes past what the array
// takes index its element. An element that is an object takes the next
// indexes through its default indexed property, in every language.
TEST(KsDetails, ChainedIndexesReachElementsAndDefaultProperties)
{
    const Case cases[] = {
            {"C++Script", "variant a[2];\n{ a[0] = [1, 2]; Out(a[0][1]); a[0][1] = 5; Out(a[0][1]); Out(a[0][0]); }", 0,
             "2|5|1"},
            {"C++Script", "variant a[2][2];\n{ a[1][0] = [3, [4, 6]]; Out(a[1][0][1][1]); a[1][0][1][0] = 7; "
                          "Out(a[1][0][1][0]); }",
             0, "6|7"},
            {"C++Script", "int k[2][3];\n{ k[1][2] = 7; Out(k[1][2]); }", 0, "7"},
            {"C++Script", "int k[2][3];\n{ k[1] = 7; }", 1, "2:3: Not enough actual parameters"},
            {"PascalScript", "var a: array[2] of Variant;\nbegin a[0] := [1, 2]; Out(a[0][1]) end.", 0, "2"},
            {"PascalScript", "var a: array[3, 3] of Integer;\nbegin\n  a[1, 1, 1] := 2;\nend.", 1,
             "3:3: Too many actual parameters"},
            {"PascalScript",
             "var v: Variant; L: TStringList;\n"
             "begin\n"
             "  L := TStringList.Create; L.Add('ab'); L.Add('cd');\n"
             "  v := VarArrayCreate([0, 0], varVariant); v[0] := L;\n"
             "  Out(v[0][1]); v[0][0] := 'x'; Out(L[0]); Out(v[0][1][2]); L.Free;\n"
             "end.",
             0, "cd|x|d"},
            {"C++Script",
             "Variant v; TStringList L;\n"
             "{\n"
             "  L = new TStringList; L.Add(\"ab\"); L.Add(\"cd\");\n"
             "  v = VarArrayCreate([0, 0], varVariant); v[0] = L;\n"
             "  Out(v[0][1]); v[0][0] = \"x\"; Out(L[0]); L.Free;\n"
             "}",
             0, "cd|x"},
            {"JScript",
             "var L = new TStringList; L.Add(\"ab\"); L.Add(\"cd\");\n"
             "var v = VarArrayCreate([0, 0], varVariant); v[0] = L;\n"
             "Out(v[0][1]); v[0][0] = \"x\"; Out(L[0]); L.Free;",
             0, "cd|x"},
            {"BasicScript",
             "L = New TStringList : L.Add(\"ab\") : L.Add(\"cd\")\n"
             "v = VarArrayCreate([0, 0], varVariant) : v[0] = L\n"
             "Out(v[0][1]) : v[0][0] = \"x\" : Out(L[0]) : L.Free",
             0, "cd|x"},
            // An object without a default property is still no array.
            {"PascalScript",
             "var v: Variant; S: TMemoryStream;\n"
             "begin\n"
             "  S := TMemoryStream.Create; v := VarArrayCreate([0, 0], varVariant); v[0] := S;\n"
             "  try Out(v[0][1]) except Out('caught') end; S.Free;\n"
             "end.",
             0, "caught"},
    };
    expectAll(cases);
}

}  // namespace
