// Objects held in array elements: an element of a typed array or of a
// Variant array that holds a program object answers its methods and
// properties as a variable holding the object does, in every language; a
// Variant holding no program object still makes an automation call.
#include "script/ks_runner.h"

#include <gtest/gtest.h>

namespace {

struct Language {
    const char *Name;
    const char *Text;  // `$` stands for the place that holds the string list
};

// Adds, counts, reads and writes indexed and plain properties, finds with a
// var parameter, frees, and uses the freed object.
const Language kLanguages[] = {
        {"PascalScript",
         "var l: array[0..1] of TStringList; v: Variant; p: TStringList; i: Integer;\n"
         "begin\n"
         "  l[0] := TStringList.Create; p := TStringList.Create;\n"
         "  v := VarArrayCreate([0, 1], varVariant); v[1] := TStringList.Create;\n"
         "  $.Add('b'); $.Add('a'); Out($.Count); Out($.Strings[1]); $.Strings[1] := 'c'; Out($[1]);\n"
         "  $.Sorted := True; if $.Find('c', i) then Out(i); Out($.IndexOf('b'));\n"
         "  $.Text := 'x'; Out(Trim($.Text)); Out($.Count);\n"
         "  $.Free;\n"
         "  try $.Add('y'); except Out(ExceptionClassName); end;\n"
         "end."},
        {"C++Script",
         "TStringList l[2]; Variant v; TStringList p; int i;\n"
         "{\n"
         "  l[0] = new TStringList; p = new TStringList;\n"
         "  v = VarArrayCreate([0, 1], varVariant); v[1] = new TStringList;\n"
         "  $.Add(\"b\"); $.Add(\"a\"); Out($.Count); Out($.Strings[1]); $.Strings[1] = \"c\"; Out($[1]);\n"
         "  $.Sorted = true; if ($.Find(\"c\", i)) Out(i); Out($.IndexOf(\"b\"));\n"
         "  $.Text = \"x\"; Out(Trim($.Text)); Out($.Count);\n"
         "  delete $;\n"
         "  try { $.Add(\"y\"); } except { Out(ExceptionClassName); }\n"
         "}"},
        {"BasicScript",
         "Dim l[2], v, p, i\n"
         "l[0] = New TStringList : p = New TStringList\n"
         "v = VarArrayCreate([0, 1], varVariant) : v[1] = New TStringList\n"
         "$.Add(\"b\") : $.Add(\"a\") : Out($.Count) : Out($.Strings[1]) : $.Strings[1] = \"c\" : Out($[1])\n"
         "$.Sorted = True\n"
         "If $.Find(\"c\", i) Then Out(i)\n"
         "Out($.IndexOf(\"b\"))\n"
         "$.Text = \"x\" : Out(Trim($.Text)) : Out($.Count)\n"
         "$.Free\n"
         "Try\n"
         "  $.Add(\"y\")\n"
         "Catch\n"
         "  Out(ExceptionClassName)\n"
         "End Try\n"},
        {"JScript",
         "var l[2], v, p, i;\n"
         "l[0] = new TStringList; p = new TStringList;\n"
         "v = VarArrayCreate([0, 1], varVariant); v[1] = new TStringList;\n"
         "$.Add(\"b\"); $.Add(\"a\"); Out($.Count); Out($.Strings[1]); $.Strings[1] = \"c\"; Out($[1]);\n"
         "$.Sorted = true; if ($.Find(\"c\", i)) Out(i); Out($.IndexOf(\"b\"));\n"
         "$.Text = \"x\"; Out(Trim($.Text)); Out($.Count);\n"
         "$.Free();\n"
         "try { $.Add(\"y\"); } except { Out(ExceptionClassName); }\n"},
};

KsRunResult RunWith(const Language &lang, const char *place)
{
    return ksRunScript(QString::fromUtf8(lang.Text).replace(QLatin1Char('$'), QLatin1String(place)),
                       QLatin1String(lang.Name));
}

TEST(KsElements, AnObjectInAnElementAnswersAsInAVariable)
{
    for (const Language &lang : kLanguages) {
        SCOPED_TRACE(lang.Name);
        const KsRunResult plain = RunWith(lang, "p");
        ASSERT_EQ(plain.Code, 0) << plain.Error.toStdString();
        ASSERT_EQ(plain.Output.size(), 8) << plain.Output.join(u'|').toStdString();
        EXPECT_EQ(plain.Output[0], QStringLiteral("2"));
        EXPECT_EQ(plain.Output[5], QStringLiteral("x"));
        EXPECT_EQ(plain.Output[7], QStringLiteral("EInvalidObject"));
        for (const char *element : {"l[0]", "v[1]"}) {
            SCOPED_TRACE(element);
            const KsRunResult r = RunWith(lang, element);
            EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
            EXPECT_EQ(r.Output, plain.Output);
        }
    }
}

// A function's result and an element of an element: the object is found when
// the call runs, whatever way led to it; a name the class lacks is an error.
TEST(KsElements, ObjectsReachedThroughCallsAndNestedElements)
{
    const KsRunResult r = ksRunScript(QStringLiteral("var v, w: Variant;\n"
                                                     "function Make: Variant; begin Result := TStringList.Create end;\n"
                                                     "begin\n"
                                                     "  w := VarArrayCreate([0, 0], varVariant); w[0] := Make;\n"
                                                     "  v := VarArrayCreate([0, 0], varVariant); v[0] := w;\n"
                                                     "  v[0][0].Add('a'); v[0][0].CommaText := v[0][0].CommaText + ',b';\n"
                                                     "  Out(w[0].Count); Out(Make.Count);\n"
                                                     "  try v[0][0].Nothing; except Out(ExceptionMessage); end;\n"
                                                     "  try v[0][0].Add; except Out(ExceptionMessage); end;\n"
                                                     "end."),
                                      QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    ASSERT_EQ(r.Output.size(), 4) << r.Output.join(u'|').toStdString();
    EXPECT_EQ(r.Output[0], QStringLiteral("2"));
    EXPECT_EQ(r.Output[1], QStringLiteral("0"));
    EXPECT_TRUE(r.Output[2].contains(QStringLiteral("Nothing"))) << r.Output[2].toStdString();
    EXPECT_FALSE(r.Output[2].startsWith(QStringLiteral("OLE error"))) << r.Output[2].toStdString();
    EXPECT_FALSE(r.Output[3].startsWith(QStringLiteral("OLE error"))) << r.Output[3].toStdString();
}

// What holds no program object keeps the automation call and its error.
TEST(KsElements, ElementsWithoutAnObjectStillMakeAutomationCalls)
{
    const struct {
        const char *Lang, *Text;
    } cases[] = {
            {"PascalScript",
             "var l: array[0..1] of TStringList; v: Variant;\n"
             "begin\n"
             "  v := VarArrayCreate([0, 1], varVariant); v[0] := 5;\n"
             "  try l[1].Add('a'); except Out(ExceptionMessage); end;\n"
             "  try v[0].Count; except Out(ExceptionMessage); end;\n"
             "  try v[1].Text := 'x'; except Out(ExceptionMessage); end;\n"
             "end."},
            {"JScript",
             "var l[2], v = VarArrayCreate([0, 1], varVariant); v[0] = 5;\n"
             "try { l[1].Add(\"a\"); } except { Out(ExceptionMessage); }\n"
             "try { v[0].Count; } except { Out(ExceptionMessage); }\n"
             "try { v[1].Text = \"x\"; } except { Out(ExceptionMessage); }\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Lang);
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
        ASSERT_EQ(r.Output.size(), 3) << r.Output.join(u'|').toStdString();
        const char *members[] = {"Add", "Count", "Text"};
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(r.Output[i].startsWith(QStringLiteral("OLE error 80004001: %1: ").arg(QLatin1String(members[i]))))
                    << r.Output[i].toStdString();
    }
}

}  // namespace
