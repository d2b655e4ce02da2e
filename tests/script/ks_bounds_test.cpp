// What library calls and deep object trees may take: widths taken from
// Format's arguments, strings shortened or changed a character at a time,
// chains of owned components and deep XML trees, measured as the process's
// own peak (in a child process) as well as by the engine's count; and text
// that is no real number refused as one.
#include "script/ks_budget.h"
#include "script/ks_limits.h"
#include "script/ks_runner.h"

#include "child_cost.h"
#include "ks_lowered_budget.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Case {
    const char *Lang;
    const char *Text;
};

// Runs the script in a child process; its output, joined by "|", is checked
// there (status 0 when it is `expected`, 1 when not, 2 on an error of the
// run), and its peak resident growth comes back.
Cost RunInChild(const Case &c, const QString &expected)
{
    return inChild([&] {
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        if (r.Code != 0) {
            std::fprintf(stderr, "%s\n", r.Error.toUtf8().constData());
            return 2;
        }
        const QString out = r.Output.join(QLatin1Char('|'));
        if (out != expected) std::fprintf(stderr, "%s\n", out.toUtf8().constData());
        return out == expected ? 0 : 1;
    });
}

}  // namespace

// A width or precision given by `*` is held to the limit of one written in
// digits: refused with EConvertError before anything is made.
TEST(KsBounds, FormatStarWidthsAndPrecisionsMeetTheDigitsLimit)
{
    const Case c{"PascalScript",
                 "var s: String;\nbegin\n"
                 "  try s := Format('%*d', [2000000000, 5]); except Out(ExceptionClassName); end;\n"
                 "  try s := Format('%.*d', [2000000000, 5]); except Out(ExceptionClassName); end;\n"
                 "  try s := Format('%*s', [100000000, 'x']); except Out(ExceptionClassName); end;\n"
                 "  try s := Format('%200000d', [5]); except Out(ExceptionClassName); end;\n"
                 "  Out(Length(Format('%*d', [100000, 5]))); Out(Format('%*d|%.*d', [4, 5, 3, 7]));\n"
                 "end."};
    const Cost cost = RunInChild(c, QStringLiteral("EConvertError|EConvertError|EConvertError|EConvertError|"
                                                   "100000|   5|007"));
    EXPECT_EQ(cost.Status, 0);
    if (!kSanitized) EXPECT_LT(cost.PeakKb, 64 * 1024);
}

// Delete, DeleteStr and a character written into a string copy a text
// another value shares: each copy counts, so keeping many stops at the
// bound, in the process's own memory too.
TEST(KsBounds, ShortenedAndChangedCopiesOfAStringStopAtTheBound)
{
    // s holds 4M characters (8 MB); 40 kept changed copies would be 320 MB
    const Case cases[] = {
            {"PascalScript", "var s, t: String; Keep: Variant; n: Integer;\nbegin\n"
                             "  SetLength(s, 4000000); Keep := VarArrayCreate([0, 99], varVariant); n := 0;\n"
                             "  try while n < 40 do begin t := s; Delete(t, 1, 1); Keep[n] := t; n := n + 1 end;\n"
                             "  except Out(ExceptionClassName); end; Out((n > 0) and (n < 40));\n"
                             "  n := 0; Keep := 0; Keep := VarArrayCreate([0, 99], varVariant);\n"
                             "  try while n < 40 do begin t := s; DeleteStr(t, 2, 3); Keep[n] := t; n := n + 1 end;\n"
                             "  except Out(ExceptionClassName); end; Out((n > 0) and (n < 40));\n"
                             "  n := 0; Keep := 0; Keep := VarArrayCreate([0, 99], varVariant);\n"
                             "  try while n < 40 do begin t := s; t[1] := 'x'; Keep[n] := t; n := n + 1 end;\n"
                             "  except Out(ExceptionClassName); end; Out((n > 0) and (n < 40));\n"
                             "  n := 0; Keep := 0; Keep := VarArrayCreate([0, 99], varVariant);\n"
                             "  try while n < 40 do begin Keep[n] := s; Keep[n][2] := 'y'; n := n + 1 end;\n"
                             "  except Out(ExceptionClassName); end; Out((n > 0) and (n < 40));\n"
                             "end."},
            {"C++Script", "String s, t; Variant Keep; int n;\n{\n"
                          "  SetLength(s, 4000000); Keep = VarArrayCreate([0, 99], varVariant); n = 0;\n"
                          "  try { while (n < 40) { t = s; Delete(t, 1, 1); Keep[n] = t; n++; } }\n"
                          "  except { Out(ExceptionClassName); } Out((n > 0) && (n < 40));\n"
                          "  n = 0; Keep = 0; Keep = VarArrayCreate([0, 99], varVariant);\n"
                          "  try { while (n < 40) { t = s; DeleteStr(t, 2, 3); Keep[n] = t; n++; } }\n"
                          "  except { Out(ExceptionClassName); } Out((n > 0) && (n < 40));\n"
                          "  n = 0; Keep = 0; Keep = VarArrayCreate([0, 99], varVariant);\n"
                          "  try { while (n < 40) { t = s; t[1] = \"x\"; Keep[n] = t; n++; } }\n"
                          "  except { Out(ExceptionClassName); } Out((n > 0) && (n < 40));\n"
                          "  n = 0; Keep = 0; Keep = VarArrayCreate([0, 99], varVariant);\n"
                          "  try { while (n < 40) { Keep[n] = s; Keep[n][2] = \"y\"; n++; } }\n"
                          "  except { Out(ExceptionClassName); } Out((n > 0) && (n < 40));\n"
                          "}"},
            {"BasicScript", "Dim s As String, t As String\n"
                            "SetLength(s, 4000000)\nKeep = VarArrayCreate([0, 99], varVariant)\nn = 0\n"
                            "Try\n  While n < 40\n    t = s\n    DeleteStr(t, 1, 1)\n    Keep[n] = t\n    n = n + 1\n"
                            "  Wend\nCatch\n  Out(ExceptionClassName)\nEnd Try\nOut((n > 0) And (n < 40))\n"
                            "n = 0\nKeep = 0\nKeep = VarArrayCreate([0, 99], varVariant)\n"
                            "Try\n  While n < 40\n    t = s\n    DeleteStr(t, 2, 3)\n    Keep[n] = t\n    n = n + 1\n"
                            "  Wend\nCatch\n  Out(ExceptionClassName)\nEnd Try\nOut((n > 0) And (n < 40))\n"
                            "n = 0\nKeep = 0\nKeep = VarArrayCreate([0, 99], varVariant)\n"
                            "Try\n  While n < 40\n    t = s\n    t[1] = \"x\"\n    Keep[n] = t\n    n = n + 1\n"
                            "  Wend\nCatch\n  Out(ExceptionClassName)\nEnd Try\nOut((n > 0) And (n < 40))\n"
                            "n = 0\nKeep = 0\nKeep = VarArrayCreate([0, 99], varVariant)\n"
                            "Try\n  While n < 40\n    Keep[n] = s\n    Keep[n][2] = \"y\"\n    n = n + 1\n"
                            "  Wend\nCatch\n  Out(ExceptionClassName)\nEnd Try\nOut((n > 0) And (n < 40))\n"},
    };
    const LoweredBudget lowered(64);
    const QString expected = QStringLiteral("EOutOfMemory|True|EOutOfMemory|True|EOutOfMemory|True|EOutOfMemory|True");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Lang);
        const Cost cost = RunInChild(c, expected);
        EXPECT_EQ(cost.Status, 0);
        // the bound, the string itself and the copy being made, and the process's slack
        if (!kSanitized) EXPECT_LT(cost.PeakKb, (64 + 2 * 8 + 48) * 1024);
    }
}

// A chain of components each owning the next is freed without recursion,
// by Free and at the end of the script, and built in time growing with its
// length (its owner's owners are not searched for the new one).
TEST(KsBounds, ADeepChainOfOwnedComponentsIsFreedAndBuiltInLinearTime)
{
    const Case freed{"PascalScript", "var root, c: TComponent; i: Integer;\nbegin\n"
                                     "  root := TComponent.Create(nil); c := root;\n"
                                     "  for i := 1 to 200000 do c := TComponent.Create(c);\n"
                                     "  Out(c.Owner.Owner <> nil); root.Free;\n"
                                     "  root := TComponent.Create(nil); c := root;\n"
                                     "  for i := 1 to 200000 do c := TComponent.Create(c);\n"
                                     "  try root.Create(c) except Out(ExceptionClassName) end;\n"
                                     "  Out('left to the end');\n"
                                     "end."};
    EXPECT_EQ(RunInChild(freed, QStringLiteral("True|EInvalidOperation|left to the end")).Status, 0);
    const GrowthCase chain{"a chain of owners", 20000,
                           [](int n) {
                               const KsRunResult r = ksRunScript(
                                       QStringLiteral("var c: TComponent; i: Integer;\nbegin\n"
                                                      "  c := TComponent.Create(nil);\n"
                                                      "  for i := 1 to %1 do c := TComponent.Create(c);\nend.")
                                               .arg(n),
                                       QStringLiteral("PascalScript"));
                               return r.Code;
                           },
                           2048};
    expectAboutTenfold(chain);
}

// A script XML tree built far deeper than a file may be is freed without
// recursion: by Free, by Clear and with its document at the end.
TEST(KsBounds, ADeepXMLTreeIsFreedWithoutRecursion)
{
    const Case c{"PascalScript", "var doc: TksXMLDocument; it: TksXMLItem; i: Integer;\nbegin\n"
                                 "  doc := TksXMLDocument.Create; it := doc.Root; it.Name := 'a';\n"
                                 "  for i := 1 to 300000 do begin it := it.Add; it.Name := 'b' end;\n"
                                 "  Out(doc.Root.Items[0].Items[0].Name); doc.Free;\n"
                                 "  doc := TksXMLDocument.Create; it := doc.Root;\n"
                                 "  for i := 1 to 300000 do it := it.Add;\n"
                                 "  doc.Root.Clear; Out(doc.Root.Count);\n"
                                 "  for i := 1 to 300000 do it := doc.Root.Add;\n"
                                 "  it := doc.Root.Items[0]; for i := 1 to 300000 do it := it.Add;\n"
                                 "  Out(doc.Root.Count);\n"
                                 "end."};
    EXPECT_EQ(RunInChild(c, QStringLiteral("b|0|300000")).Status, 0);
}

// A "$" number is hexadecimal for integers only: as a real it is no number.
TEST(KsBounds, DollarTextIsNoRealNumber)
{
    const Case c{"PascalScript",
                 "var d: Double; v: Variant;\nbegin\n"
                 "  try Out(StrToFloat('$10')) except Out(ExceptionClassName) end;\n"
                 "  try Out(StrToFloat(' -$1F')) except Out(ExceptionClassName) end;\n"
                 "  Out(ValidFloat('$10')); Out(ValidFloat('16')); Out(StrToFloat('16.5'));\n"
                 "  Out(StrToInt('$10')); Out(ValidInt('$10'));\n"
                 "  v := '$10'; try Out(FormatFloat('0.0', v)) except Out(ExceptionClassName) end;\n"
                 "  try d := 0.5 + StrToFloat(v); Out(d) except Out(ExceptionClassName) end;\n"
                 "end."};
    const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(r.Output, (QStringList{"EConvertError", "EConvertError", "False", "True", "16.5", "16", "True",
                                     "EVariantTypeCastError", "EConvertError"}));
}

// Format passes an element of no format kind (Null, unassigned) as the
// integer 0; Inc and Dec work on a real variable as on an integer one.
TEST(KsBounds, FormatTakesNullAsZeroAndIncCountsReals)
{
    const Case cases[] = {
            {"PascalScript", "var x: Double; i: Integer; v: Variant;\nbegin\n"
                             "  Out(Format('%d|%d|%3d', [Null, v, Null]));\n"
                             "  x := 1.5; Inc(x); Out(x); Dec(x, 3); Out(x); i := 2; Inc(i, 5); Out(i);\n"
                             "end."},
            {"C++Script", "double x; int i; Variant v;\n{\n"
                          "  Out(Format(\"%d|%d|%3d\", [Null, v, Null]));\n"
                          "  x = 1.5; Inc(x); Out(x); Dec(x, 3); Out(x); i = 2; Inc(i, 5); Out(i);\n"
                          "}"},
            {"BasicScript", "Dim x As Double, i As Integer, v\n"
                            "Out(Format(\"%d|%d|%3d\", [Null, v, Null]))\n"
                            "x = 1.5\nInc(x)\nOut(x)\nDec(x, 3)\nOut(x)\ni = 2\nInc(i, 5)\nOut(i)\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Lang);
        const KsRunResult r = ksRunScript(QString::fromUtf8(c.Text), QLatin1String(c.Lang));
        EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
        EXPECT_EQ(r.Output, (QStringList{"0|0|  0", "2.5", "-0.5", "7"}));
    }
}

namespace {

// Runs ksrun with `args` in a process of its own: its exit code, its output
// and its peak resident size.
struct Spawned {
    int Code = -1;
    qint64 PeakKb = 0;
    QString Out;
};

Spawned RunKsrun(const QStringList &args)
{
    Spawned r;
    const QByteArray exe = QByteArray(VELMORA_BINARY_DIR) + "/bin/ksrun";
    std::vector<QByteArray> store{exe};
    for (const QString &a : args) store.push_back(a.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &b : store) argv.push_back(b.data());
    argv.push_back(nullptr);
    int fd[2];
    if (pipe(fd) != 0) return r;
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fd[1], 1);
        close(fd[0]);
        close(fd[1]);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fd[1]);
    QByteArray out;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd[0], buf, sizeof buf)) > 0;) out.append(buf, qsizetype(n));
    close(fd[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.PeakKb = usage.ru_maxrss;
    r.Out = QString::fromUtf8(out);
    return r;
}

}  // namespace

// What compiling takes counts as the process takes it, gaps between freed
// and kept blocks included: a program whose blocks in use fit the bound but
// whose compiling takes the process past it is refused, and the process's
// own peak stays near the bound.
TEST(KsBounds, CompilingStaysWithinTheBoundInTheProcesssOwnMemory)
{
    if (!QFile::exists(QStringLiteral(VELMORA_BINARY_DIR "/bin/ksrun"))) GTEST_SKIP() << "ksrun not built";
    if (kSanitized) GTEST_SKIP() << "a sanitizer's heap is no process's";
    const char *const statements[] = {"i := i + %1 * (k mod 7) - 3;", "f := f * 0.5 + %1.25 / (i + 1.5);",
                                      "s := 'a' + IntToStr(i mod 10) + Copy(s, 1, 3);",
                                      "if i > %1 then k := k + 1 else k := k - 1;", "for j := 1 to 2 do k := k + j;",
                                      "k := Length(s);"};
    QString text = QStringLiteral("var i, j, k: Integer; f: Double; s: String;\nbegin\ni := 0; k := 0; f := 1; s := 'abc';\n");
    constexpr int kLines = 100000;  // some 0.85 KB a line in use at most: 85 MB
    for (int i = 0; i < kLines; ++i) text += QString::fromLatin1(statements[i % 6]).arg(i % 97) + u'\n';
    text += QStringLiteral("Out(k)\nend.\n");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString empty = dir.filePath(QStringLiteral("empty.pas")), large = dir.filePath(QStringLiteral("large.pas"));
    for (const auto &[path, body] : {std::pair{empty, QStringLiteral("begin Out(1) end.\n")}, std::pair{large, text}}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(body.toUtf8());
    }
    const Spawned start = RunKsrun({empty});
    ASSERT_EQ(start.Code, 0) << start.Out.toStdString();
    const Spawned run = RunKsrun({QStringLiteral("--max-mb"), QStringLiteral("96"), large});
    // refused, or compiled and run, within the bound and what the text itself takes
    EXPECT_TRUE(run.Code == 0 || run.Out.contains(QLatin1String("Out of memory: the script holds more than 96 MB")))
            << run.Code << " " << run.Out.toStdString();
    EXPECT_LT(run.PeakKb - start.PeakKb, (96 + 16) * 1024) << start.PeakKb << " KB, then " << run.PeakKb << " KB";
}

// Pos finds what QString::indexOf finds: at the ends, past the 64-character
// steps of its scan, in texts where the first character stands everywhere,
// in Chinese text and for texts longer than the text searched.
TEST(KsBounds, PosFindsWhereTheTextFirstStands)
{
    const QString base = QString(70, u'a') + QStringLiteral("ab") + QString(200, u'b') + QStringLiteral("中文x中");
    QList<std::pair<QString, QString>> cases = {
            {QStringLiteral("a"), base},        {QStringLiteral("ab"), base},    {QStringLiteral("bb"), base},
            {QStringLiteral("中"), base},       {QStringLiteral("x中"), base},   {QStringLiteral("中x"), base},
            {QStringLiteral("aab"), base},      {QStringLiteral("bba"), base},   {base, base},
            {base + u'x', base},                {QStringLiteral("z"), base},     {QStringLiteral("abc"), QString()},
            {QString(40, u'a') + u'c', QString(5000, u'a') + u'c'},              {QStringLiteral("文"), QStringLiteral("文")},
    };
    for (int at : {0, 1, 15, 16, 17, 63, 64, 65, 127, 128, 1000})
        cases.append({QStringLiteral("q!"), QString(at, u'q') + QStringLiteral("q!") + QString(10, u'q')});
    QString text = QStringLiteral("var t: String;\nbegin\n");
    QStringList expected;
    for (const auto &[what, in] : cases) {
        text += QStringLiteral("t := '%1'; Out(Pos('%2', t));\n").arg(in, what);
        expected << QString::number(in.indexOf(what) + 1);
    }
    text += QStringLiteral("end.");
    const KsRunResult r = ksRunScript(text, QStringLiteral("PascalScript"));
    EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    EXPECT_EQ(r.Output, expected);
}
