#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrxmlserializer.h"
#include "report/lyrres.h"
#include "report_test_objects.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override { RegisterTestObjects(); }
};

TlyrTestMemoView *view(TlyrComponent *parent, const char *name)
{
    auto *v = new TlyrTestMemoView(parent);
    v->SetName(QString::fromLatin1(name));
    return v;
}

}  // namespace

TEST_F(ComponentTest, TreeOrderAndLookup)
{
    TlyrReport report;
    auto *page = new TtestPage(&report);
    page->SetName(QStringLiteral("Page1"));
    auto *band = new TtestBand(page);
    band->SetName(QStringLiteral("Band1"));
    auto *a = view(band, "A");
    auto *b = view(page, "B");
    EXPECT_EQ(report.AllObjects(), (QList<TlyrComponent *>{page, band, a, b}));
    EXPECT_EQ(report.FindObject(QStringLiteral("band1")), band);
    EXPECT_EQ(report.FindObject(QStringLiteral("none")), nullptr);
    EXPECT_EQ(a->Report(), &report);
    EXPECT_EQ(a->Page(), page);

    // Reparenting moves the object to the end of the new parent's list.
    a->SetParent(page);
    EXPECT_EQ(page->Objects(), (QList<TlyrComponent *>{band, b, a}));
    EXPECT_TRUE(band->Objects().isEmpty());
    // A parent cannot become its own descendant.
    page->SetParent(band);
    EXPECT_EQ(page->Parent(), &report);

    b->SetBounds(10, 20, 30, 40);
    band->SetBounds(1, 2, 3, 4);
    b->SetParent(band);
    EXPECT_DOUBLE_EQ(b->AbsLeft(), 11);
    EXPECT_DOUBLE_EQ(b->AbsTop(), 22);

    delete band;  // frees b and leaves the page's list
    EXPECT_EQ(page->Objects(), (QList<TlyrComponent *>{a}));
}

TEST_F(ComponentTest, FontFollowsParentChain)
{
    TlyrReport report;
    auto *page = new TtestPage(&report);
    auto *band = new TtestBand(page);
    auto *inner = view(band, "Inner");
    auto *own = view(band, "Own");
    TlyrFont custom;
    custom.SetName(QStringLiteral("宋体"));
    own->SetFont(&custom);
    EXPECT_FALSE(own->ParentFont());

    band->Font()->SetSize(14);
    EXPECT_FALSE(band->ParentFont());  // its own font changed
    EXPECT_EQ(inner->Font()->Size(), 14);
    EXPECT_TRUE(inner->ParentFont());
    EXPECT_EQ(own->Font()->Size(), 10);
    EXPECT_EQ(own->Font()->Name(), QStringLiteral("宋体"));

    page->Font()->SetStyle(TlyrFont::fsBold);
    EXPECT_EQ(band->Font()->Style(), 0);  // the band left the chain

    // A new child takes its parent's font.
    auto *late = view(band, "Late");
    EXPECT_EQ(late->Font()->Size(), 14);
}

TEST_F(ComponentTest, NamesAreUniqueInTheReport)
{
    TlyrReport report;
    auto *page = new TtestPage(&report);
    view(page, "TestMemo1");
    view(page, "TestMemo3");
    auto *fresh = new TlyrTestMemoView(page);
    EXPECT_EQ(fresh->BaseName(), QStringLiteral("TestMemo"));
    fresh->CreateUniqueName();
    EXPECT_EQ(fresh->Name(), QStringLiteral("TestMemo2"));

    EXPECT_THROW(fresh->SetName(QStringLiteral("testmemo1")), ElyrError);
    EXPECT_EQ(fresh->Name(), QStringLiteral("TestMemo2"));
    fresh->SetName(QStringLiteral("TESTMEMO2"));  // only the case changes
    EXPECT_EQ(fresh->Name(), QStringLiteral("TESTMEMO2"));

    fresh->SetAncestor(true);
    try {
        fresh->SetName(QStringLiteral("Other"));
        FAIL();
    } catch (const ElyrError &e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Could not rename TESTMEMO2, it was introduced in the ancestor report"));
    }
}

TEST_F(ComponentTest, RestrictionsHoldOnlyWhileDesigning)
{
    TlyrTestMemoView v;
    v.SetRestrictions(rfDontMove | rfDontSize);
    v.SetBounds(1, 2, 3, 4);
    EXPECT_DOUBLE_EQ(v.Left(), 1);
    v.SetDesigning(true);
    v.SetBounds(10, 20, 30, 40);
    EXPECT_DOUBLE_EQ(v.Left(), 1);
    EXPECT_DOUBLE_EQ(v.Height(), 4);
    v.SetRestrictions(rfDontSize);
    v.SetBounds(10, 20, 30, 40);
    EXPECT_DOUBLE_EQ(v.Top(), 20);
    EXPECT_DOUBLE_EQ(v.Width(), 3);
}

TEST_F(ComponentTest, ClearKeepsInheritedChildren)
{
    TlyrReport report;
    auto *page = new TtestPage(&report);
    auto *inherited = new TtestBand(page);
    inherited->SetAncestor(true);
    view(inherited, "Added");
    view(page, "Other");
    page->Clear();
    ASSERT_EQ(page->Objects().size(), 1);
    EXPECT_EQ(page->Objects().first(), inherited);
    EXPECT_TRUE(inherited->Objects().isEmpty());
}

TEST_F(ComponentTest, DiffListsOnlyDifferences)
{
    TlyrTestMemoView a, b;
    EXPECT_TRUE(a.Diff(&b).isEmpty());
    a.SetBounds(1.5, 0, 0, 2);
    a.SetVisible(false);
    a.SetTag(7);
    TlyrFont f;
    f.SetName(QStringLiteral("A\"B"));
    f.SetStyle(TlyrFont::fsBold | TlyrFont::fsUnderline);
    a.SetFont(&f);
    EXPECT_EQ(a.Diff(&b), QStringLiteral(" l=\"1.5\" h=\"2\" Visible=\"0\" Font.Name=\"A&#34;B\" Font.Style=\"5\""
                                         " ParentFont=\"0\" Tag=\"7\""));
    TtestBand x, y;
    EXPECT_EQ(x.Diff(&y), QStringLiteral(" t=\"0\""));
}

TEST_F(ComponentTest, PrintBracketRestoresBounds)
{
    TlyrTestMemoView v;
    v.SetBounds(1, 2, 3, 4);
    v.BeforePrint();
    v.SetBounds(5, 6, 7, 8);
    v.AfterPrint();
    double l, t, r, b;
    v.GetRealBounds(l, t, r, b);
    EXPECT_DOUBLE_EQ(l, 1);
    EXPECT_DOUBLE_EQ(b, 6);
}

TEST_F(ComponentTest, AssignCopiesValuesAndAssignAllTheChildren)
{
    TlyrReport report;
    auto *page = new TtestPage(&report);
    page->SetName(QStringLiteral("P"));
    page->SetColumns(3);
    auto *v = view(page, "V");
    v->SetComponentText(QStringLiteral("合计"));

    TtestPage copy;
    copy.Assign(page);
    EXPECT_EQ(copy.Columns(), 3);
    EXPECT_TRUE(copy.Objects().isEmpty());
    copy.AssignAll(page);
    ASSERT_EQ(copy.Objects().size(), 1);
    auto *cv = qobject_cast<TlyrTestMemoView *>(copy.Objects().first());
    ASSERT_NE(cv, nullptr);
    EXPECT_EQ(cv->ComponentText(), QStringLiteral("合计"));
}

// Assign gives the values that writing the object and reading its text back
// gives: rounded fractions, escaped text, nested objects, references.
TEST_F(ComponentTest, AssignGivesWhatTheTextGives)
{
    TlyrReport report;
    auto *page = new TtestPage(&report);
    page->SetName(QStringLiteral("P"));
    auto *next = new TlyrMemoView(&report);
    next->SetName(QStringLiteral("Next"));
    next->SetParent(page);
    auto *m = new TlyrMemoView(&report);
    m->SetName(QStringLiteral("M"));
    m->SetParent(page);
    m->SetBounds(1.0 / 3, 2.5, 1e17 / 3, 4);
    m->SetText(QStringLiteral("a &quot; & b\r\n\"x\" 合计\r\n"));
    m->setProperty("TagStr", QStringLiteral("&#38; <t>"));
    m->setProperty("GapX", 0.1 + 0.2);
    m->setProperty("GapY", -0.0);
    m->setProperty("HAlign", 2);
    m->setProperty("FlowTo", QVariant::fromValue(static_cast<TlyrCustomMemoView *>(next)));
    m->SetParentFont(false);
    m->Font()->SetName(QStringLiteral("宋体 & Sans"));
    m->Font()->SetSize(11);
    TlyrXMLSerializer ser(nullptr);
    ser.Owner = &report;
    const QByteArray text = ser.WriteComponentStr(m);

    auto *viaText = ser.ReadComponentStr(page, text);
    ASSERT_NE(viaText, nullptr);
    auto *copy = new TlyrMemoView(page);
    copy->Assign(m);
    EXPECT_EQ(ser.WriteComponentStr(copy), ser.WriteComponentStr(viaText));
    EXPECT_EQ(copy->Left(), viaText->Left());
    EXPECT_NE(copy->Left(), m->Left());
    EXPECT_EQ(copy->Width(), viaText->Width());
    EXPECT_EQ(copy->property("GapX").toDouble(), viaText->property("GapX").toDouble());
    EXPECT_EQ(std::signbit(copy->property("GapY").toDouble()), std::signbit(viaText->property("GapY").toDouble()));
    EXPECT_EQ(copy->FlowTo(), next);
    EXPECT_EQ(copy->GetText(), qobject_cast<TlyrMemoView *>(viaText)->GetText());
}

TEST_F(ComponentTest, AlignChildrenPlacesViewsAgainstTheirNeighbours)
{
    TtestBand band;
    band.SetBounds(0, 0, 500, 100);
    auto place = [&](const char *name, double l, double t, double w, double h, TlyrAlign a) {
        auto *v = view(&band, name);
        v->SetBounds(l, t, w, h);
        v->SetAlign(a);
        return v;
    };
    auto *b = place("B", 300, 0, 50, 20, baLeft);
    auto *a = place("A", 100, 5, 40, 20, baLeft);
    auto *below = place("Below", 200, 50, 30, 20, baLeft);  // no vertical overlap with A or B
    auto *r = place("R", 400, 0, 60, 20, baRight);
    auto *w = place("W", 360, 10, 10, 20, baWidth);
    auto *c = place("C", 480, 80, 100, 20, baCenter);
    auto *bottom = place("Bot", 495, 75, 10, 5, baBottom);
    band.AlignChildren();
    EXPECT_DOUBLE_EQ(a->Left(), 0);
    EXPECT_DOUBLE_EQ(b->Left(), 40);  // stacked after A
    EXPECT_DOUBLE_EQ(below->Left(), 0);
    EXPECT_DOUBLE_EQ(r->Left(), 440);   // against the container's right edge
    EXPECT_DOUBLE_EQ(w->Left(), 90);    // after B (40 + 50)
    EXPECT_DOUBLE_EQ(w->Width(), 350);  // up to R
    EXPECT_DOUBLE_EQ(c->Left(), 200);
    EXPECT_DOUBLE_EQ(bottom->Top(), 95);
}

TEST_F(ComponentTest, AllDiffHoldsThePropertiesThenTheDifferences)
{
    TlyrTestMemoView a, ref;
    a.SetBounds(5, 6, 7, 8);
    a.SetComponentText(QStringLiteral("x"));
    // String lists are written even when empty.
    const std::string all = "Left=\"5\" Top=\"6\" Width=\"7\" Height=\"8\" Lines.Text=\"\" Text=\"x\"";
    EXPECT_EQ(a.AllDiff(nullptr).toStdString(), all);
    EXPECT_EQ(a.AllDiff(&ref).toStdString(), all + "  l=\"5\" t=\"6\" w=\"7\" h=\"8\"");
}

// A text shared by many objects, worked out once, gives each object what the
// whole text read in one go gives, a bad value's error line included.
TEST_F(ComponentTest, SharedAttributeTextGivesWhatTheWholeTextGives)
{
    TlyrReport report;
    auto *page = new TtestPage(&report);
    page->SetName(QStringLiteral("P"));
    auto *m = new TlyrMemoView(&report);
    m->SetName(QStringLiteral("M"));
    m->SetParent(page);
    m->SetBounds(1.0 / 3, 2.5, 40, 4);
    m->setProperty("HAlign", 2);
    m->setProperty("GapX", 0.1 + 0.2);
    m->SetParentFont(false);
    m->Font()->SetName(QStringLiteral("宋体 & Sans"));
    m->Font()->SetSize(11);
    m->Frame()->SetTyp(15);
    TlyrXMLSerializer whole(nullptr), parts(nullptr);
    const QByteArray shared = whole.WriteComponentStr(m) + " WordWrap=\"maybe\"";
    const QByteArray owns[] = {QByteArray("l=\"7\" x=\"a\""), QByteArray("t=\"9\" HAlign=\"0\""), QByteArray()};
    for (const QByteArray &own : owns) {
        auto *a = whole.ReadComponentStr(page, shared + ' ' + own, true);
        auto *b = parts.ReadComponentParts(page, shared, own);
        ASSERT_NE(a, nullptr);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(whole.WriteComponentStr(a), whole.WriteComponentStr(b));
        EXPECT_EQ(qobject_cast<TlyrMemoView *>(b)->Frame()->Typ(), 15);
        EXPECT_EQ(b->Font()->Size(), 11);
    }
    EXPECT_EQ(parts.Errors, whole.Errors);
    EXPECT_EQ(parts.Errors.size(), 3);
    EXPECT_EQ(parts.ReadComponentParts(page, QByteArray("TlyrNoSuchView l=\"1\""), {}), nullptr);
}
