// What compiling takes: a program of mixed statements (assignments, ifs,
// loops, calls, text and real expressions) takes memory in proportion to its
// lines, in every language, measured by the engine's own accounting of the
// heap (what a compile leaves held, and the run's bound, which a compile
// passing it stops at).
#include "script/ks_budget.h"
#include "script/ks_idesignator.h"
#include "script/ks_iinterpreter.h"
#include "script/ks_limits.h"
#include "script/ks_pool.h"
#include "script/ks_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

struct Language {
    const char *Name;
    // Most a line of such a program may hold compiled, and take at the
    // height of compiling, when the parser has written the whole of its
    // intermediate code (BasicScript writes it in half the statements).
    qint64 HeldBytesPerLine;
    qint64 BytesPerLine;
    const char *Head;  // declarations and a function Twice(x)
    const char *Statements[6];
    const char *Tail;
};

const Language kLanguages[] = {
        {"PascalScript", 850, 890,
         "var i, j, k: Integer; f: Double; s: String;\n"
         "function Twice(x: Integer): Integer; begin Result := x * 2 end;\n"
         "begin\ni := 0; k := 0; f := 1.0; s := 'abc';\n",
         {"i := i + %1 * (k mod 7) - 3;", "f := f * 0.5 + %1.25 / (i + 1.5);",
          "s := 'a' + IntToStr(i mod 10) + Copy(s, 1, 3);", "if i > %1 then k := k + 1 else k := k - 1;",
          "for j := 1 to 2 do k := k + j;", "k := Twice(k mod 100) + Length(s);"},
         "k := k + 1\nend."},
        {"C++Script", 905, 985,
         "int i, j, k; double f; String s;\nint Twice(int x) { return x * 2; }\n"
         "{\ni = 0; k = 0; f = 1.0; s = \"abc\";\n",
         {"i = i + %1 * (k % 7) - 3;", "f = f * 0.5 + %1.25 / (i + 1.5);",
          "s = \"a\" + IntToStr(i % 10) + Copy(s, 1, 3);", "if (i > %1) k = k + 1; else k = k - 1;",
          "for (j = 1; j <= 2; j++) k = k + j;", "k = Twice(k % 100) + Length(s);"},
         "k = k + 1;\n}"},
        {"JScript", 905, 960,
         "var i = 0, j = 0, k = 0, f = 1.0, s = \"abc\";\nfunction Twice(x) { return x * 2; }\n",
         {"i = i + %1 * (k % 7) - 3;", "f = f * 0.5 + %1.25 / (i + 1.5);",
          "s = \"a\" + IntToStr(i % 10) + Copy(s, 1, 3);", "if (i > %1) k = k + 1; else k = k - 1;",
          "for (j = 1; j <= 2; j++) k = k + j;", "k = Twice(k % 100) + Length(s);"},
         "k = k + 1;"},
        {"BasicScript", 425, 480,
         "Dim i As Integer, j As Integer, k As Integer, f As Double, s As String\n"
         "Function Twice(x As Integer) As Integer\n  Return x * 2\nEnd Function\n",
         {"i = i + %1 * (k Mod 7) - 3", "f = f * 0.5 + %1.25 / (i + 1.5)",
          "s = \"a\" & IntToStr(i Mod 10) & Copy(s, 1, 3)", "If i > %1 Then\nk = k + 1\nElse\nk = k - 1\nEnd If",
          "For j = 1 To 2\nk = k + j\nNext", "k = Twice(k Mod 100) + Length(s)"},
         "k = k + 1"},
};

// A program of about `lines` lines.
QString MixedProgram(const Language &lang, int lines)
{
    QString text = QLatin1String(lang.Head);
    for (int n = 0, i = 0; n < lines; ++i) {
        const QString st = QString::fromLatin1(lang.Statements[i % 6]);
        text += (st.contains(QLatin1String("%1")) ? st.arg(i % 97) : st) + u'\n';
        n += int(st.count(u'\n')) + 1;
    }
    return text + QLatin1String(lang.Tail) + u'\n';
}

// What compiling `text` leaves held; fails the test when it does not compile.
qint64 CompiledBytes(const Language &lang, const QString &text)
{
    TksScript s;
    s.AddRTTI();
    s.SyntaxType = QLatin1String(lang.Name);
    s.Lines = ksSplitScriptLines(text);
    EXPECT_TRUE(s.Compile()) << s.ErrorPos.toStdString() << ": " << s.ErrorMsg.toStdString();
    return s.CompiledBytes;
}

struct Budget {
    explicit Budget(qint64 bytes) { ksSetRunBudget(bytes); }
    ~Budget() { ksSetRunBudget(ksMaxRunBytes); }
    Budget(const Budget &) = delete;
    Budget &operator=(const Budget &) = delete;
};

TEST(KsCompileMemory, TenTimesTheLinesTakeAboutTenTimesTheMemory)
{
    constexpr int kSmall = 3000, kLarge = 30000;
    for (const Language &lang : kLanguages) {
        SCOPED_TRACE(lang.Name);
        const QString small = MixedProgram(lang, kSmall), large = MixedProgram(lang, kLarge);
        const qint64 smallBytes = CompiledBytes(lang, small);
        const qint64 largeBytes = CompiledBytes(lang, large);
        ASSERT_GT(smallBytes, 0);
        const double ratio = double(largeBytes) / double(smallBytes);
        EXPECT_GT(ratio, 7.0) << smallBytes << " " << largeBytes;
        EXPECT_LT(ratio, 13.0) << smallBytes << " " << largeBytes;
        EXPECT_LT(largeBytes / kLarge, lang.HeldBytesPerLine) << "bytes held per line";
        RecordProperty(std::string(lang.Name) + "_bytes_per_line", int(largeBytes / kLarge));
        {
            // the peak too: compiling stays within a run's bound of that much a line
            const Budget bound(lang.BytesPerLine * kLarge);
            TksScript s;
            s.AddRTTI();
            s.SyntaxType = QLatin1String(lang.Name);
            s.Lines = ksSplitScriptLines(large);
            EXPECT_TRUE(s.Compile()) << s.ErrorPos.toStdString() << ": " << s.ErrorMsg.toStdString();
        }
        // and the program runs
        const KsRunResult r = ksRunScript(large, QLatin1String(lang.Name));
        EXPECT_EQ(r.Code, 0) << r.Error.toStdString();
    }
}

TEST(KsCompileMemory, EqualLeavesOfOneCompileAreOneNodeThatGoesWithItsLastHolder)
{
    TksScript s;
    auto *x = new TksVariable(QStringLiteral("x"), tcInteger, QStringLiteral("Integer"));
    x->Value = KsValue(5);
    s.Add(QStringLiteral("x"), x);
    // x * c for constants equal in value but not in kind: each its own leaf
    const KsValue constants[] = {KsValue(7), KsValue(7), KsValue(qint64(7)), KsValue(7.0), KsValue(QStringLiteral("7")),
                                 KsValue(7)};
    std::vector<std::unique_ptr<TksExpression>> made;
    {
        TksLeafPool leaves;
        for (const KsValue &c : constants) {
            auto e = std::make_unique<TksExpression>(&s);
            e->AddDesignator(TksDesignator::ForVariable(&s, x));
            e->AddOperator(QStringLiteral("*"));
            e->AddConst(c);
            const QString error = e->Finish(&leaves);
            EXPECT_EQ(error.isEmpty(), !c.IsString());  // a number times a text: typed wrong, still built
            made.push_back(std::move(e));
        }
        for (size_t i = 1; i < made.size(); ++i) EXPECT_EQ(made[i]->Root->Left, made[0]->Root->Left) << i;
        EXPECT_EQ(made[1]->Root->Right, made[0]->Root->Right);
        EXPECT_EQ(made[5]->Root->Right, made[0]->Root->Right);
        for (size_t i = 2; i < 5; ++i)
            for (size_t k = 0; k < i; ++k) EXPECT_NE(made[i]->Root->Right, made[k]->Root->Right) << i << " " << k;
        EXPECT_NE(made[0]->Root, made[1]->Root);  // operators are each expression's own
        // the pool lets go first: the expressions keep their leaves
    }
    x->Value = KsValue(6);
    made.erase(made.begin());
    EXPECT_EQ(made[0]->GetValue().Kind(), KsKind::Integer);
    EXPECT_EQ(made[0]->GetValue().ToInt64(), 42);
    EXPECT_EQ(made[1]->GetValue().Kind(), KsKind::Int64);
    EXPECT_EQ(made[2]->GetValue().Kind(), KsKind::Double);
    EXPECT_EQ(made[2]->GetValue().ToInt64(), 42);
    made.erase(made.begin() + 1, made.begin() + 3);
    EXPECT_EQ(made[1]->GetValue().ToInt64(), 42);
    // a leaf alone is an expression's root, shared too
    TksLeafPool leaves;
    TksExpression a(&s), b(&s);
    a.AddDesignator(TksDesignator::ForVariable(&s, x));
    b.AddDesignator(TksDesignator::ForVariable(&s, x));
    a.Finish(&leaves);
    b.Finish(&leaves);
    EXPECT_EQ(a.Root, b.Root);
    EXPECT_EQ(a.InPlace(), &x->Value);
    b.SetValue(KsValue(9));
    EXPECT_EQ(a.GetValue().ToInt64(), 9);
}

TEST(KsCompileMemory, ALeafReadOnMoreLinesThanItsCountOfHoldersHoldsIsSharedAnew)
{
    // k and the constants are read some 150,000 times: more than one
    // shared node counts, so later readers share a new one.
    constexpr int kLines = 75000;
    QString text = QStringLiteral("var i, k: Integer;\nbegin\ni := 3; k := 0;\n");
    for (int n = 0; n < kLines; ++n) text += QStringLiteral("k := (k + i * 2 + k mod 7) mod 1000;\n");
    text += QStringLiteral("Out(IntToStr(k))\nend.\n");
    qint64 k = 0;
    for (int n = 0; n < kLines; ++n) k = (k + 3 * 2 + k % 7) % 1000;
    const KsRunResult r = ksRunScript(text, QStringLiteral("PascalScript"));
    ASSERT_EQ(r.Code, 0) << r.Error.toStdString();
    ASSERT_EQ(r.Output.size(), 1);
    EXPECT_EQ(r.Output[0], QString::number(k));
}

TEST(KsCompileMemory, AStepOfAPlainVariableTakesWhatItsAssignmentTakes)
{
    // j++ holds a statement of the variable and the shared constant 1, as j = j + 1 does
    constexpr int kLines = 4000;
    for (const char *language : {"C++Script", "JScript"}) {
        SCOPED_TRACE(language);
        const Language &lang = *std::find_if(std::begin(kLanguages), std::end(kLanguages),
                                             [&](const Language &l) { return qstrcmp(l.Name, language) == 0; });
        QString steps = QLatin1String(lang.Head), sums = steps;
        int j = 0;
        for (int n = 0; n < kLines; ++n) {
            steps += QLatin1String(n % 3 ? "j++;\n" : "j--;\n");
            sums += QLatin1String(n % 3 ? "j = j + 1;\n" : "j = j - 1;\n");
            j += n % 3 ? 1 : -1;
        }
        const QString tail = QLatin1String(lang.Tail) + u'\n';
        CompiledBytes(lang, sums + tail);  // the language's first compile loads what all share
        const qint64 stepBytes = CompiledBytes(lang, steps + tail), sumBytes = CompiledBytes(lang, sums + tail);
        EXPECT_LT(stepBytes, sumBytes + sumBytes / 10) << stepBytes << " " << sumBytes;
        const KsRunResult r =
                ksRunScript(steps + QStringLiteral("Out(IntToStr(j));\n") + tail, QLatin1String(language));
        ASSERT_EQ(r.Code, 0) << r.Error.toStdString();
        EXPECT_EQ(r.Output, QStringList{QString::number(j)});
    }
}

TEST(KsCompileMemory, AnOperatorWhoseStepsItsParentHoldsGivesWhatTheGeneralRulesGive)
{
    // The steps of (a * b + c) * d are held by the top operator alone: when
    // they give up (an operand no integer, a result past 64 bits) the lower
    // operators are evaluated one by one, as through temporaries.
    const KsRunResult r =
            ksRunScript(QStringLiteral("var a, b, c, d, t, u: Variant;\n"
                                       "procedure Both;\n"
                                       "begin\n"
                                       "  t := a * b + c; u := t * d;\n"
                                       "  Out(VarToStr((a * b + c) * d) + ' ' + VarToStr(u));\n"
                                       "  t := (a - c) * b - c; u := d - 1; u := t * u;\n"
                                       "  Out(VarToStr(((a - c) * b - c) * (d - 1)) + ' ' + VarToStr(u));\n"
                                       "end;\n"
                                       "begin\n"
                                       "  a := 3; b := 4; c := 5; d := 6; Both;\n"
                                       "  a := 3000000000; b := 3000000000; d := 3000000000; Both;\n"
                                       "  a := '7'; b := 2.5; d := 2; Both;\n"
                                       "  a := '7'; b := '2'; c := '1'; d := '3'; Both;\n"
                                       "end.\n"),
                        QStringLiteral("PascalScript"));
    ASSERT_EQ(r.Code, 0) << r.Error.toStdString();
    ASSERT_EQ(r.Output.size(), 8);
    EXPECT_EQ(r.Output[0], QStringLiteral("102 102"));
    EXPECT_EQ(r.Output[1], QStringLiteral("-65 -65"));
    EXPECT_EQ(r.Output[4], QStringLiteral("45 45"));  // '7' * 2.5 + 5, times 2
    for (const QString &line : r.Output) {
        const QStringList two = line.split(u' ');
        ASSERT_EQ(two.size(), 2) << line.toStdString();
        EXPECT_EQ(two[0], two[1]);
    }
}

TEST(KsCompileMemory, SmallObjectsShareBlocksThatGoBackWithTheirLastObject)
{
#ifdef KS_HEAP_FROM_SANITIZER
    // the sanitizer's heap watches every object, so the pool hands them to it
    constexpr bool pooled = false;
#else
    constexpr bool pooled = true;
#endif
    const size_t before = ksPoolBlockCount();
    // objects of two sizes, each filled: none overlaps another
    std::vector<std::pair<unsigned char *, size_t>> made;
    for (int i = 0; i < 20000; ++i) {
        const size_t bytes = i % 2 ? 40 : 88;
        auto *p = static_cast<unsigned char *>(ksPoolNew(bytes));
        ASSERT_EQ(reinterpret_cast<quintptr>(p) % alignof(void *), 0u);
        std::fill(p, p + bytes, static_cast<unsigned char>(i));
        made.emplace_back(p, bytes);
    }
    // 20000 objects of 40 and 88 bytes take some 1.3 MB: blocks of their own
    if (pooled) EXPECT_GT(ksPoolBlockCount(), before + 40);
    for (size_t i = 0; i < made.size(); ++i)
        for (size_t k = 0; k < made[i].second; ++k) ASSERT_EQ(made[i].first[k], static_cast<unsigned char>(i));
    // freed in another order than made, as a program's objects are
    for (size_t i = 0; i < made.size(); i += 2) ksPoolDelete(made[i].first, made[i].second);
    for (size_t i = 1; i < made.size(); i += 2) ksPoolDelete(made[i].first, made[i].second);
    // each size keeps at most one empty block
    EXPECT_LE(ksPoolBlockCount(), before + 2);
    // larger objects come from the heap
    void *large = ksPoolNew(4096);
    EXPECT_LE(ksPoolBlockCount(), before + 2);
    ksPoolDelete(large, 4096);
}

TEST(KsCompileMemory, EqualTypeNamesShareOneCopyAndReadAsWritten)
{
    // Every node names its type: equal names are held once.
    TksVariable a(QStringLiteral("a"), tcClass, QStringLiteral("TStringList"));
    TksVariable b(QStringLiteral("b"), tcClass, QStringLiteral("TString") + QStringLiteral("List"));
    TksVariable c(QStringLiteral("c"), tcClass, QStringLiteral("tstringlist"));
    EXPECT_EQ(&a.TypeName.str(), &b.TypeName.str());
    EXPECT_NE(&a.TypeName.str(), &c.TypeName.str());
    EXPECT_EQ(a.TypeName, QStringLiteral("TStringList"));
    EXPECT_EQ(c.TypeName, QStringLiteral("tstringlist"));
    EXPECT_EQ(c.TypeName.compare(QStringLiteral("TStringList"), Qt::CaseInsensitive), 0);
    // renamed, and emptied
    b.TypeName = QStringLiteral("Integer");
    EXPECT_EQ(b.TypeName, QStringLiteral("Integer"));
    EXPECT_EQ(a.TypeName, QStringLiteral("TStringList"));
    b.TypeName = QString();
    EXPECT_TRUE(b.TypeName.isEmpty());
    EXPECT_TRUE(TksVariable(QString(), tcVariant, QString()).TypeName.isEmpty());
}

TEST(KsCompileMemory, TheParsingStepsOfALongOrdinaryScriptAreNoLimitOfTheirOwn)
{
    // A million ordinary lines of 36 characters take some 15 steps a
    // character: what stops such a text is the run's memory, not its length.
    for (const qint64 chars : {qint64(1000), qint64(6) << 20, qint64(36000000), qint64(200000000)}) {
        SCOPED_TRACE(chars);
        EXPECT_GE(ksRuleStepBudget(chars), chars * 15 * 10);
        EXPECT_LE(ksRuleStepBudget(chars), chars * ksRuleStepsPerChar + ksRuleStepsBase);
    }
}

}  // namespace
