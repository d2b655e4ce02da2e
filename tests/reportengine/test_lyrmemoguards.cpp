// Memos that could run long or lose text: many expressions in one memo or
// tag cost in proportion to their number and give way to a stop; a FlowTo
// chain that comes back to itself is refused with an error line and every
// memo keeps its text.

#include "child_cost.h"
#include "print_report_util.h"

#include "report/lyrview.h"

#include <QTimer>

namespace {

using MemoGuardTest = PrintReportTest;

// A title band on a page of its own report.
TlyrReportTitle *titleBand(TlyrReport &report)
{
    auto *page = new TlyrReportPage(&report);
    page->SetName(QStringLiteral("Page1"));
    page->SetParent(&report);
    auto *band = new TlyrReportTitle(&report);
    band->SetName(QStringLiteral("ReportTitle1"));
    band->SetParent(page);
    band->SetHeight(40);
    return band;
}

template <class View>
View *viewOn(TlyrBand *band, const QString &name)
{
    auto *v = new View(band->Report());
    v->SetName(name);
    v->SetParent(band);
    v->SetBounds(0, 0, 200, 20);
    return v;
}

// An object of the first prepared page.
template <class T>
T *preparedObject(TlyrReport &report, const QString &name)
{
    TlyrReportPage *page = static_cast<TlyrPreviewPages *>(report.PreviewPages())->GetPage(0);
    return page ? qobject_cast<T *>(page->FindObject(name)) : nullptr;
}

// The printed text of a memo on the first prepared page.
QString printed(TlyrReport &report, const QString &name)
{
    auto *memo = preparedObject<TlyrCustomMemoView>(report, name);
    return memo ? memo->GetText() : QStringLiteral("<none>");
}

// A memo of n expressions, each printed as "x2".
int runMemoOfExpressions(int n)
{
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    viewOn<TlyrMemoView>(titleBand(report), QStringLiteral("Memo1"))->SetText(QStringLiteral("x[1+1]").repeated(n));
    if (!report.PrepareReport()) return 1;
    return printed(report, QStringLiteral("Memo1")) == QStringLiteral("x2").repeated(n) ? 0 : 2;
}

// A shape whose tag holds n expressions.
int runTagOfExpressions(int n)
{
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    viewOn<TlyrShapeView>(titleBand(report), QStringLiteral("Shape1"))->SetTagStr(QStringLiteral("[1+1],").repeated(n));
    if (!report.PrepareReport()) return 1;
    auto *shape = preparedObject<TlyrShapeView>(report, QStringLiteral("Shape1"));
    return shape && shape->TagStr() == QStringLiteral("2,").repeated(n) ? 0 : 2;
}

// A chain of n memos where the last flows back to the first.
int runFlowCycle(int n)
{
    TlyrReport report;
    report.EngineOptions()->SetNewSilentMode(simSilent);
    TlyrReportTitle *band = titleBand(report);
    std::vector<TlyrMemoView *> memos;
    for (int i = 0; i < n; ++i) {
        memos.push_back(viewOn<TlyrMemoView>(band, QStringLiteral("M%1").arg(i)));
        memos.back()->SetText(QStringLiteral("w%1").arg(i));
        if (i > 0) memos[size_t(i) - 1]->SetFlowTo(memos.back());
    }
    memos.back()->SetFlowTo(memos.front());
    report.PrepareReport();
    return report.Errors().size() == 1 &&
                           printed(report, QStringLiteral("M%1").arg(n - 1)) == QStringLiteral("w%1").arg(n - 1)
                   ? 0
                   : 1;
}

TEST_F(MemoGuardTest, TenfoldExpressionsOrLinksCostAboutTenfold)
{
    const GrowthCase cases[] = {
            {"a memo of n expressions", 20000, runMemoOfExpressions, 400},
            {"a tag of n expressions", 20000, runTagOfExpressions, 400},
            {"a FlowTo cycle of n memos", 100, runFlowCycle, 40000},
    };
    for (const GrowthCase &c : cases) expectAboutTenfold(c);
}

// Esc in the preview, or a stop signal to the runner, reaches a memo of
// many expressions while it is expanded: it stops there, and so does the run.
TEST_F(MemoGuardTest, AStopEndsTheExpansionOfALongMemo)
{
    const int n = 30000;
    int asked = 0;
    report->OnGetValue = [&](const QString &name, KsValue &v) {
        if (name != QLatin1String("Tick")) return;
        // The stop comes by the event loop, as a key press or a signal does.
        if (++asked == 1) QTimer::singleShot(0, report.get(), [this] { report->SetTerminated(true); });
        v = KsValue(1);
    };
    viewOn<TlyrMemoView>(titleBand(*report), QStringLiteral("Memo1"))->SetText(QStringLiteral("[Tick]").repeated(n));
    report->PrepareReport();
    EXPECT_TRUE(report->Terminated());
    EXPECT_GE(asked, 1);
    EXPECT_LT(asked, 1000);
    // The same for the expressions of a view's tag.
    report->Clear();
    asked = 0;
    viewOn<TlyrShapeView>(titleBand(*report), QStringLiteral("Shape1"))
            ->SetTagStr(QStringLiteral("[Tick]").repeated(n));
    report->PrepareReport();
    EXPECT_TRUE(report->Terminated());
    EXPECT_GE(asked, 1);
    EXPECT_LT(asked, 1000);
}

// Expressions keep what they printed before: the text between them, an
// unclosed delimiter and other delimiters.
TEST_F(MemoGuardTest, ExpandingInOnePassPrintsWhatItDidBefore)
{
    TlyrReportTitle *band = titleBand(*report);
    const struct {
        const char *Text, *Delimiters, *Printed;
    } cases[] = {
            {"a[1+1]b[2*3]c", "[,]", "a2b6c"},
            {"[1][2] [3", "[,]", "12 [3"},
            {"no expressions", "[,]", "no expressions"},
            {"<%1+1%> and [1]", "<%,%>", "2 and [1]"},
            {"[ '[x]' ]", "[,]", "[x]"},
    };
    std::vector<TlyrMemoView *> memos;
    for (const auto &c : cases) {
        memos.push_back(viewOn<TlyrMemoView>(band, QStringLiteral("Memo%1").arg(memos.size() + 1)));
        memos.back()->SetText(QString::fromUtf8(c.Text));
        memos.back()->SetExpressionDelimiters(QString::fromUtf8(c.Delimiters));
    }
    // A run restores the template: the names stay, the objects may not.
    QStringList names;
    for (TlyrMemoView *m : memos) names << m->Name();
    ASSERT_TRUE(report->PrepareReport()) << report->Errors().join(u'\n').toStdString();
    for (size_t i = 0; i < memos.size(); ++i)
        EXPECT_EQ(printed(*report, names[qsizetype(i)]), QString::fromUtf8(cases[i].Printed)) << cases[i].Text;
}

// MA, too narrow for its words, and MB of that width beside it.
std::pair<TlyrMemoView *, TlyrMemoView *> twoMemos(TlyrReport &report, const QString &words, const QString &b,
                                                   double widthB)
{
    TlyrReportTitle *band = titleBand(report);
    auto *ma = viewOn<TlyrMemoView>(band, QStringLiteral("MA"));
    ma->SetBounds(0, 0, 40, 20);
    ma->SetText(words);
    auto *mb = viewOn<TlyrMemoView>(band, QStringLiteral("MB"));
    mb->SetBounds(50, 0, widthB, 20);
    mb->SetText(b);
    return {ma, mb};
}

// A cycle of FlowTo links (two memos, or one flowing into itself) is
// refused: an error line names the memos, each prints its own text whole.
TEST_F(MemoGuardTest, AFlowToCycleIsRefusedAndLosesNoText)
{
    const QString words = QStringLiteral("w0 w1 w2 w3 w4 w5 w6 w7 w8 w9 w10 w11 w12 w13 w14 w15");
    for (bool self : {false, true}) {
        SCOPED_TRACE(self ? "a memo flowing into itself" : "two memos flowing into each other");
        report->Clear();
        const auto [ma, mb] = twoMemos(*report, words, QStringLiteral("b0 b1"), 40);
        ma->SetFlowTo(self ? ma : mb);
        if (!self) mb->SetFlowTo(ma);
        EXPECT_FALSE(report->PrepareReport());
        const QString line = self ? QStringLiteral("文本续接（FlowTo）构成循环：MA → MA，未续接")
                                  : QStringLiteral("文本续接（FlowTo）构成循环：MA → MB → MA，未续接");
        EXPECT_EQ(report->Errors(), QStringList{line});
        EXPECT_EQ(printed(*report, QStringLiteral("MA")), words);
        EXPECT_EQ(printed(*report, QStringLiteral("MB")), QStringLiteral("b0 b1"));
    }
    // A chain that ends still flows; once its last link closes a cycle it
    // no longer does, and once that link is gone it flows again.
    report->Clear();
    const auto [ma, mb] = twoMemos(*report, words, QString(), 400);
    ma->SetFlowTo(mb);
    // A run restores the template: its objects are found again by name.
    auto memo = [&](const char *name) { return qobject_cast<TlyrCustomMemoView *>(report->FindObject(name)); };
    for (bool closed : {true, false}) {
        TlyrCustomMemoView *back = closed ? memo("MA") : nullptr;
        ASSERT_NE(memo("MB"), nullptr);
        memo("MB")->SetFlowTo(back);
        const bool prepared = report->PrepareReport();
        EXPECT_EQ(prepared, back == nullptr) << report->Errors().join(u'\n').toStdString();
        const QString a = printed(*report, QStringLiteral("MA")), b = printed(*report, QStringLiteral("MB"));
        if (back) {
            EXPECT_EQ(a, words);
        } else {
            EXPECT_NE(a, words);
            EXPECT_FALSE(b.isEmpty());
            EXPECT_EQ(QString(a + u' ' + b).simplified(), words);
        }
    }
}

}  // namespace
