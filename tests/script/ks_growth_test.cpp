// Scripts that grow without end: a doubling string and a string list filled
// in a loop stop at the engine's limits with an error the script's own try
// statement catches; long declaration lists and many procedures compile to
// the same program as declarations one by one.
#include "script/ks_budget.h"
#include "script/ks_iinterpreter.h"
#include "script/ks_limits.h"
#include "script/ks_runner.h"

#include "ks_lowered_budget.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char *Lang;
    const char *Text;
};

// Runs `grow`, a statement that keeps more each time, at most `steps` times
// after `setUp`, under a budget of 64 MB: the run stops before with its
// catchable error, and the script goes on.
void ExpectKeepingStopsAtTheBudget(const char *setUp, const char *grow, int steps)
{
    SCOPED_TRACE(grow);
    const LoweredBudget lowered(64);
    const QString text =
            QStringLiteral("var Keep, a: Variant; Objects: TList; L, C: TStringList; M: TMemoryStream; s: String;\n"
                           "  n, i: Integer;\n"
                           "begin\n"
                           "  %1\n"
                           "  Keep := VarArrayCreate([0, %3], varVariant); Objects := TList.Create; n := 0;\n"
                           "  try\n"
                           "    while n < %3 do begin %2; n := n + 1 end;\n"
                           "  except Out(ExceptionClassName + ': ' + ExceptionMessage); end;\n"
                           "  Out((n > 0) and (n < %3)); Keep := 0; Out('goes on');\n"
                           "end.")
                    .arg(QLatin1String(setUp), QLatin1String(grow), QString::number(steps));
    const KsRunResult r = ksRunScript(text, QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(r.Output, (QStringList{QStringLiteral("EOutOfMemory: Out of memory: the script holds more than 64 MB"),
                                     QStringLiteral("True"), QStringLiteral("goes on")}));
}

// Prints the class and message of each caught error, the string's length,
// and whether the list stopped at its limit.
TEST(KsGrowth, StringsAndListsStopWithACatchableError)
{
    const Case cases[] = {
            {"PascalScript",
             "var s, t: String; L: TStringList; i: Integer;\n"
             "begin\n"
             "  s := 'x';\n"
             "  try while True do s := s + s; except Out(ExceptionClassName + ': ' + ExceptionMessage); end;\n"
             "  Out(Length(s));\n"
             "  L := TStringList.Create; i := 0; t := Format('%100s', ['']);\n"
             "  try while True do begin L.Add(t + IntToStr(i)); i := i + 1; end;\n"
             "  except Out(ExceptionClassName + ': ' + ExceptionMessage); end;\n"
             "  Out(L.Count = i); Out(L.Count > 100000); L.Free;\n"
             "end."},
            {"C++Script",
             "String s, t; TStringList L; int i;\n"
             "{\n"
             "  s = \"x\";\n"
             "  try { while (true) s = s + s; } except { Out(ExceptionClassName + \": \" + ExceptionMessage); }\n"
             "  Out(Length(s));\n"
             "  L = new TStringList; i = 0; t = Format(\"%100s\", [\"\"]);\n"
             "  try { while (true) { L.Add(t + IntToStr(i)); i++; } }\n"
             "  except { Out(ExceptionClassName + \": \" + ExceptionMessage); }\n"
             "  Out(L.Count == i); Out(L.Count > 100000); L.Free;\n"
             "}"},
            {"JScript", "var s = \"x\", L, i = 0;\n"
                        "try { while (true) s += s; } except { Out(ExceptionClassName + \": \" + ExceptionMessage); }\n"
                        "Out(Length(s));\n"
                        "L = new TStringList; var t = Format(\"%100s\", [\"\"]);\n"
                        "try { while (true) { L.Add(t + IntToStr(i)); i++; } }\n"
                        "except { Out(ExceptionClassName + \": \" + ExceptionMessage); }\n"
                        "Out(L.Count == i); Out(L.Count > 100000); L.Free;"},
            {"BasicScript", "s = \"x\"\n"
                            "Try\n"
                            "  While True\n"
                            "    s = s & s\n"
                            "  Wend\n"
                            "Catch\n"
                            "  Out(ExceptionClassName & \": \" & ExceptionMessage)\n"
                            "End Try\n"
                            "Out(Length(s))\n"
                            "L = New TStringList\n"
                            "t = Format(\"%100s\", [\"\"])\n"
                            "i = 0\n"
                            "Try\n"
                            "  While True\n"
                            "    L.Add(t + IntToStr(i))\n"
                            "    i = i + 1\n"
                            "  Wend\n"
                            "Catch\n"
                            "  Out(ExceptionClassName & \": \" & ExceptionMessage)\n"
                            "End Try\n"
                            "Out(L.Count = i)\n"
                            "Out(L.Count > 100000)\n"
                            "L.Free"},
    };
    const QStringList expected = {
            QStringLiteral("EOutOfMemory: String too long: more than %1 characters").arg(ksMaxStringLength),
            QString::number(ksMaxStringLength),
            QStringLiteral("EOutOfMemory: List too large: more than %1 MB").arg(ksMaxListBytes >> 20),
            QStringLiteral("True"), QStringLiteral("True")};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Lang);
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
        EXPECT_EQ(r.Output, expected);
    }
    // The other ways a text or a list grows meet the same limits.
    const Case others[] = {
            {"PascalScript", "var s: String; begin SetLength(s, 100000000) end."},
            {"PascalScript", "var s, t: String; begin SetLength(s, 40000000); t := s; Insert(s, t, 1) end."},
            {"PascalScript", "var s: String; L: TStringList; begin SetLength(s, 40000000); L := TStringList.Create;\n"
                             "  L.Add(s); L.Add(s) end."},
            {"PascalScript",
             "var m: TMemoryStream; begin m := TMemoryStream.Create; m.Position := 200000000; m.Write('x', 1) end."},
            {"PascalScript", "var m, n: TMemoryStream; begin m := TMemoryStream.Create; n := TMemoryStream.Create;\n"
                             "  n.CopyFrom(m, 2000000000) end."},
            {"PascalScript",
             "var a: Variant; begin a := VarArrayCreate([0, 1], varVariant); SetLength(a, 100000000) end."},
    };
    for (const Case &c : others) {
        SCOPED_TRACE(c.Text);
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        EXPECT_EQ(r.Code, 2) << r.Error.toStdString();
        EXPECT_TRUE(r.Error.contains(QLatin1String("EOutOfMemory")) ||
                    r.Error.contains(QLatin1String("Invalid array bounds")))
                << r.Error.toStdString();
    }
}

// A Variant array past its element limit is too large, not badly bounded:
// the same catchable out-of-memory error in every language.
TEST(KsGrowth, AnArrayPastItsElementLimitRaisesOutOfMemory)
{
    const Case cases[] = {
            {"PascalScript", "var a: Variant;\nbegin\n  try a := VarArrayCreate([0, 20000000], varVariant);\n"
                             "  except Out(ExceptionClassName + ': ' + ExceptionMessage); end;\nend."},
            {"C++Script", "Variant a;\n{\n  try { a = VarArrayCreate([0, 20000000], varVariant); }\n"
                          "  except { Out(ExceptionClassName + \": \" + ExceptionMessage); }\n}"},
            {"JScript", "var a;\ntry { a = VarArrayCreate([0, 20000000], varVariant); }\n"
                        "except { Out(ExceptionClassName + \": \" + ExceptionMessage); }"},
            {"BasicScript", "Try\n  a = VarArrayCreate([0, 20000000], varVariant)\nCatch\n"
                            "  Out(ExceptionClassName & \": \" & ExceptionMessage)\nEnd Try\n"},
    };
    const QString expected =
            QStringLiteral("EOutOfMemory: Variant array too large: more than %1 elements").arg(ksMaxArrayElements);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Lang);
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
        EXPECT_EQ(r.Output, QStringList{expected});
    }
    const KsRunResult uncaught = ksRunScript(QStringLiteral("var a: Variant;\nbegin\n  a := VarArrayCreate([0, 1], "
                                                            "varVariant); SetLength(a, 20000000)\nend."),
                                             QStringLiteral("PascalScript"));
    EXPECT_EQ(uncaught.Code, 2);
    EXPECT_EQ(uncaught.Error, QStringLiteral("3:44: EOutOfMemory: Variant array too large: more than %1 elements")
                                      .arg(ksMaxArrayElements));
}

// What one run holds is bounded as a whole: arrays, strings, lists and
// stream objects, each well inside its own limit, together stop at the
// run's budget with a catchable error, and the run goes on. (Objects by the
// hundred thousand would stay in the handle table the other tests count.)
TEST(KsGrowth, ArraysStringsListsAndObjectsTogetherStopAtTheRunsBudget)
{
    EXPECT_EQ(ksRunBudget(), qint64(1) << 30);
    const char *const kept[] = {
            // arrays of 16 MB each
            "Keep[n] := VarArrayCreate([0, 499999], varVariant)",
            // strings of 8 MB each
            "begin SetLength(s, 4000000); Keep[n] := s + IntToStr(n) end",
            // lists of about 1 MB each
            "begin L := TStringList.Create; for i := 1 to 4000 do L.Add(Format('%200d', [i])); Keep[n] := L end",
            // stream objects of 2 MB each, kept in a list
            "begin M := TMemoryStream.Create; M.Position := 2000000; M.Write('x', 1); Objects.Add(M) end",
    };
    for (const char *grow : kept) ExpectKeepingStopsAtTheBudget("", grow, 100000);
}

// Strings made by library functions, lists copied by Assign and arrays
// copied when one of two holders changes are the run's too: kept one after
// another they stop at the run's budget like the script's own, with the
// same catchable error, in every language.
TEST(KsGrowth, LibraryStringsAndCopiedListsStopAtTheRunsBudget)
{
    // s holds 2M characters (4 MB), L 100,000 lines of 20, a 131,072
    // elements; each step keeps about 4 MB more, 40 steps would keep 160 MB.
    const char *const setUp = "s := 'a'; while Length(s) < 2000000 do s := s + s;\n"
                              "  L := TStringList.Create; for i := 1 to 100000 do L.Add('abcdefghijklmnopqrst');\n"
                              "  a := VarArrayCreate([0, 131071], varVariant);";
    const char *const kept[] = {
            "Keep[n] := UpperCase(s)",
            "Keep[n] := Copy(s, 2, Length(s) - 1)",
            "Keep[n] := Format('%s.', [s])",
            "Keep[n] := L.Text",
            "begin C := TStringList.Create; C.Assign(L); Objects.Add(C) end",
            "begin Keep[n] := a; a[0] := n end",
    };
    for (const char *grow : kept) ExpectKeepingStopsAtTheBudget(setUp, grow, 40);
    const LoweredBudget lowered(64);
    const Case others[] = {
            {"C++Script", "Variant Keep; String s; int n;\n{\n  s = \"a\"; while (Length(s) < 2000000) s = s + s;\n"
                          "  Keep = VarArrayCreate([0, 99], varVariant);\n"
                          "  for (n = 0; n < 40; n++) Keep[n] = UpperCase(s);\n}"},
            {"JScript", "var s = \"a\", Keep = VarArrayCreate([0, 99], varVariant), n;\n"
                        "while (Length(s) < 2000000) s = s + s;\n"
                        "for (n = 0; n < 40; n++) Keep[n] = LowerCase(UpperCase(s));"},
            {"BasicScript", "s = \"a\"\nWhile Length(s) < 2000000\n  s = s & s\nWend\n"
                            "Keep = VarArrayCreate([0, 99], varVariant)\n"
                            "For n = 0 To 39\n  Keep[n] = Trim(\" \" & s)\nNext"},
    };
    for (const Case &c : others) {
        SCOPED_TRACE(c.Lang);
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        EXPECT_EQ(r.Code, 2);
        EXPECT_TRUE(r.Error.contains(QLatin1String("EOutOfMemory: Out of memory: the script holds more than 64 MB")))
                << r.Error.toStdString();
    }
}

// A text too large to compile within the run's budget is refused with a
// message naming that limit; the program a text compiled to counts towards
// the memory of its runs.
TEST(KsGrowth, CompilingIsBoundedByTheRunsBudgetAndCountsTowardsIt)
{
    const LoweredBudget lowered(16);
    QString text = QStringLiteral("var s, k, i: Integer;\nbegin\n");
    for (int n = 0; n < 40000; ++n) text += QStringLiteral("s := s + k * 3 - (i mod 7);\n");
    KsRunResult r = ksRunScript(text + QStringLiteral("Out(s)\nend."), QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Code, 1);
    EXPECT_TRUE(r.Error.endsWith(QStringLiteral(": Out of memory: the script holds more than 16 MB")))
            << r.Error.toStdString();

    ksSetRunBudget(ksMaxRunBytes);
    TksScript s;
    s.AddRTTI();
    text = QStringLiteral("var a: Variant; s, k, i: Integer;\nbegin\n");
    for (int n = 0; n < 4000; ++n) text += QStringLiteral("s := s + k * 3 - (i mod 7);\n");
    s.Lines = ksSplitScriptLines(text + QStringLiteral("a := VarArrayCreate([0, 131071], varVariant)\nend."));
    ASSERT_TRUE(s.Compile()) << s.ErrorPos.toStdString() << ": " << s.ErrorMsg.toStdString();
    ASSERT_GT(s.CompiledBytes, 0);
    // Room for the array's 4 MB, not for the program besides.
    ksSetRunBudget(std::max<qint64>(s.CompiledBytes / 2, qint64(1) << 20) + (qint64(4) << 20));
    EXPECT_THROW(s.Execute(), KsError);
    ksSetRunBudget(s.CompiledBytes + (qint64(16) << 20));
    EXPECT_NO_THROW(s.Execute());
}

// Reading more than a stream holds reads what it holds.
TEST(KsGrowth, AStreamReadAsksNoMoreThanTheStreamHolds)
{
    const KsRunResult r =
            ksRunScript(QStringLiteral("var m: TMemoryStream; s: String;\n"
                                       "begin m := TMemoryStream.Create; m.Write('abc', 3); m.Position := 1;\n"
                                       "  Out(m.Read(s, 2000000000)); Out(s); m.Free end."),
                        QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Output, (QStringList{QStringLiteral("2"), QStringLiteral("bc")})) << r.Error.toStdString();
}

// A list of names takes its type, array and initialiser for every name; a
// C++Script declaration gives each name its own. Many procedures are each
// found by name.
TEST(KsGrowth, LongDeclarationListsAndManyProceduresCompileAsBefore)
{
    QStringList names;
    for (int i = 0; i < 3000; ++i) names << QStringLiteral("a%1").arg(i);
    QString text = QStringLiteral("var ") + names.join(QStringLiteral(", ")) +
                   QStringLiteral(": Integer = 3;\nvar b, c: array[2] of Integer;\nbegin\n  b[1] := a0; c[1] := 4;\n"
                                  "  Out(a0 + a1500 + a2999 + b[1] + c[1]);\nend.");
    KsRunResult r = ksRunScript(text, QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Output, QStringList{QStringLiteral("16")}) << r.Error.toStdString();
    r = ksRunScript(QStringLiteral("int a[3], b = 2, c, d = 5;\n{ a[2] = 1; Out(a[2] + b); Out(VarType(c)); "
                                   "Out(d); Out(VarType(a)); }"),
                    QStringLiteral("C++Script"));
    EXPECT_EQ(r.Output,
              (QStringList{QStringLiteral("3"), QStringLiteral("3"), QStringLiteral("5"), QStringLiteral("8204")}))
            << r.Error.toStdString();

    QString procs;
    for (int i = 0; i < 3000; ++i)
        procs += QStringLiteral("function f%1(x: Integer): Integer; begin Result := x + %1 end;\n").arg(i);
    r = ksRunScript(procs + QStringLiteral("begin Out(f0(1) + f1234(0) + f2999(1)) end."),
                    QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Output, QStringList{QStringLiteral("4235")}) << r.Error.toStdString();
    // a name declared twice is still refused
    r = ksRunScript(QStringLiteral("var a, b, a: Integer; begin end."), QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Error, QStringLiteral("1:5: Identifier redeclared: 'a'"));
}

// Many statements fill the compiler's intermediate code across many of its
// blocks: all of them run, and an error after them is placed on its line.
TEST(KsGrowth, ManyAssignmentLinesCompileAndRun)
{
    QString text = QStringLiteral("var s, k: Integer;\nbegin\ns := 0; k := 1;\n");
    for (int i = 0; i < 20000; ++i) text += QStringLiteral("s := s + k;\n");
    KsRunResult r = ksRunScript(text + QStringLiteral("Out(s)\nend."), QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Output, QStringList{QStringLiteral("20000")}) << r.Error.toStdString();
    r = ksRunScript(text + QStringLiteral("s := s +;\nend."), QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Error, QStringLiteral("20004:8: ';' expected"));
}

// A store into a Variant array held by one variable changes that array in
// place (its elements stay where they are), so that filling an array costs
// as much as its stores; a copy taken before keeps its own values.
TEST(KsGrowth, AStoreIntoAVariantArrayChangesItInPlace)
{
    TksScript s;
    s.AddRTTI();
    s.Lines = ksSplitScriptLines(QStringLiteral("var a, b: Variant; i: Integer;\n"
                                                "procedure Fill; begin for i := 0 to 99 do a[i] := i * 2 end;\n"
                                                "procedure Store; begin a[99] := 1 end;\n"
                                                "procedure Change; begin b := a; a[1] := -1; a[2] := a[2] + 1 end;\n"
                                                "begin a := VarArrayCreate([0, 99], varVariant) end."));
    ASSERT_TRUE(s.Compile()) << s.ErrorPos.toStdString() << ": " << s.ErrorMsg.toStdString();
    s.Execute();
    TksCustomVariable *a = s.Find(QStringLiteral("a"));
    ASSERT_TRUE(a && a->Value.IsArray());
    const KsValue *first = &a->Value.Element(0);
    s.CallFunction(QStringLiteral("Fill"));
    EXPECT_EQ(a->Value.Element(99).ToInt(), 198);
    s.CallFunction(QStringLiteral("Store"));
    EXPECT_EQ(&a->Value.Element(0), first);
    EXPECT_EQ(a->Value.Element(99).ToInt(), 1);
    s.CallFunction(QStringLiteral("Change"));
    const KsValue &b = s.Find(QStringLiteral("b"))->Value;
    EXPECT_EQ(b.Element(1).ToInt(), 2);
    EXPECT_EQ(b.Element(2).ToInt(), 4);
    EXPECT_EQ(a->Value.Element(1).ToInt(), -1);
    EXPECT_EQ(a->Value.Element(2).ToInt(), 5);
    // the copy was made once, by the first store after it
    first = &a->Value.Element(0);
    s.CallFunction(QStringLiteral("Store"));
    EXPECT_EQ(&a->Value.Element(0), first);
    EXPECT_EQ(b.Element(1).ToInt(), 2);
}

}  // namespace
