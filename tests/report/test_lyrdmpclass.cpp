// Dot-matrix page and objects on their character grid.
#include "report/lyrband.h"
#include "report/lyrcanvas.h"
#include "report/lyrclass.h"
#include "report/lyrdmpclass.h"
#include "drawing_test_helpers.h"

#include <gtest/gtest.h>

namespace {

struct DmpScene {
    TlyrReport report;
    TlyrDMPPage *page;
    DmpScene()
    {
        report.EngineOptions()->SetNewSilentMode(simSilent);
        (new TlyrDataPage(&report))->SetName(QStringLiteral("Data"));
        page = new TlyrDMPPage(&report);
        page->SetName(QStringLiteral("Page1"));
    }
};

TEST(LyrDMP, MemoSnapsToTheGridAndRightAlignedLeftGoesDown)
{
    TlyrDMPMemoView m;
    m.SetLeft(14);
    EXPECT_DOUBLE_EQ(m.Left(), 9.6);
    m.SetLeft(19);
    EXPECT_DOUBLE_EQ(m.Left(), 19.2);
    m.SetAlign(baRight);
    m.SetLeft(14);
    EXPECT_DOUBLE_EQ(m.Left(), 9.6);
    m.SetLeft(19);
    EXPECT_DOUBLE_EQ(m.Left(), 9.6);
    // A value on the grid stays there.
    m.SetLeft(28.8);
    EXPECT_DOUBLE_EQ(m.Left(), 28.8);
    m.SetTop(26);
    EXPECT_DOUBLE_EQ(m.Top(), 34);
    m.SetWidth(50);
    EXPECT_DOUBLE_EQ(m.Width(), 48);
    m.SetHeight(9);
    EXPECT_DOUBLE_EQ(m.Height(), 17);
    EXPECT_DOUBLE_EQ(m.GapX(), 0);
    EXPECT_DOUBLE_EQ(m.CharSpacing(), 0);
}

TEST(LyrDMP, LinesRunThroughTheMiddleOfTheCells)
{
    TlyrDMPLineView l;
    l.SetTop(20);
    EXPECT_DOUBLE_EQ(l.Top(), 25.5);
    l.SetTop(l.Top());
    EXPECT_DOUBLE_EQ(l.Top(), 25.5);
    l.SetLeft(10);
    EXPECT_DOUBLE_EQ(l.Left(), 14.4);
    l.SetLeft(-10);
    EXPECT_DOUBLE_EQ(l.Left(), -14.4);
    l.SetAlign(baRight);
    l.SetLeft(15);
    EXPECT_DOUBLE_EQ(l.Left(), 14.4);
    l.SetWidth(14);
    EXPECT_DOUBLE_EQ(l.Width(), 9.6);
    l.SetAlign(baWidth);
    l.SetWidth(18);
    EXPECT_DOUBLE_EQ(l.Width(), 9.6);
    l.SetHeight(5);
    EXPECT_DOUBLE_EQ(l.Height(), 5);

    TlyrDMPCommand c;
    c.SetLeft(14);
    c.SetTop(26);
    c.SetWidth(5);
    EXPECT_DOUBLE_EQ(c.Left(), 9.6);
    EXPECT_DOUBLE_EQ(c.Top(), 34);
    EXPECT_DOUBLE_EQ(c.Width(), 5);
}

TEST(LyrDMP, FontStyleIsWrittenAsTheSumOfItsBits)
{
    TlyrDMPMemoView m, ref;
    m.SetFontStyle(fsxBold | fsx15cpi);
    EXPECT_TRUE(m.Diff(&ref).contains(QStringLiteral(" FontStyle=\"257\"")));
    m.SetFontStyle(fsxItalic | fsx12cpi);
    EXPECT_TRUE(m.Diff(&ref).contains(QStringLiteral(" FontStyle=\"130\"")));
    EXPECT_EQ(m.Font()->Name(), QStringLiteral("Courier New"));
    EXPECT_EQ(m.Font()->Size(), 12);
    EXPECT_EQ(m.Font()->Style(), int(TlyrFont::fsItalic));
    TlyrDMPCommand c, cref;
    c.SetCommand(QStringLiteral("\x1b"
                                "E"));
    EXPECT_TRUE(c.Diff(&cref).contains(QStringLiteral(" Command=\"")));
}

TEST(LyrDMP, PageFontStyleReachesObjectsThatTakeTheParentsFont)
{
    DmpScene s;
    auto *band = new TlyrMasterData(s.page);
    auto *own = new TlyrDMPMemoView(band);
    auto *taking = new TlyrDMPMemoView(band);
    taking->SetParentFont(true);
    own->SetParentFont(false);
    own->SetFontStyle(fsxItalic);
    s.page->SetFontStyle(fsxBold | fsxUnderline);
    EXPECT_EQ(taking->FontStyle(), fsxBold | fsxUnderline);
    EXPECT_EQ(taking->Font()->Style(), int(TlyrFont::fsBold | TlyrFont::fsUnderline));
    EXPECT_EQ(own->FontStyle(), int(fsxItalic));
    EXPECT_FALSE(taking->IsPropertyStored(QStringLiteral("FontStyle")));
    EXPECT_TRUE(own->IsPropertyStored(QStringLiteral("FontStyle")));
    // Bands on the page keep to the grid as well.
    band->SetTop(20);
    EXPECT_DOUBLE_EQ(band->Top(), 17);
}

TEST(LyrDMP, PaperIsCutToWholeCells)
{
    TlyrDMPPage p;
    p.SetDefaults();
    EXPECT_NEAR(p.PaperWidth(), 82 * 9.6 / 3.77953, 1e-6);
    EXPECT_NEAR(p.PaperHeight(), std::trunc(297 * 3.77953 / 17) * 17 / 3.77953, 1e-6);
    EXPECT_NEAR(p.LeftMargin(), 9.6 / 3.77953, 1e-9);
    EXPECT_NEAR(p.TopMargin(), 17 / 3.77953, 1e-9);
    p.SetPaperWidth(100);
    EXPECT_NEAR(p.PaperWidth(), std::round(100 * 3.77953 / 9.6) * 9.6 / 3.77953, 1e-6);
}

TEST(LyrDMP, TheFontLaysOutTenCharactersPerInch)
{
    TlyrDMPMemoView m;
    TlyrCanvas c(nullptr, 600, 600, false);
    TlyrCanvasFont f;
    f.Name = m.Font()->Name();
    f.Height = -100;  // 12 points at 600 dpi
    c.SetFont(f);
    EXPECT_EQ(c.TextWidth(QStringLiteral("MMMMMiiiii")), 600);
}

TEST(LyrDMP, FrameIsDrawnHalfACellOutside)
{
    DmpScene s;
    auto *m = new TlyrDMPMemoView(s.page);
    m->SetBounds(19.2, 34, 96, 17);
    m->Frame()->SetTyp(ftLeft | ftTop | ftRight | ftBottom);
    TlyrRecordingCanvas c;
    m->Draw(c, 1, 1, 0, 0);
    int minX = 1 << 20, minY = 1 << 20, maxX = -1, maxY = -1;
    for (const TlyrRecordedShape &sh : c.Shapes) {
        if (sh.What != TlyrRecordedShape::Line) continue;
        for (const QPoint &pt : {sh.Rect.topLeft(), sh.Rect.bottomRight()}) {
            minX = std::min(minX, pt.x());
            minY = std::min(minY, pt.y());
            maxX = std::max(maxX, pt.x());
            maxY = std::max(maxY, pt.y());
        }
    }
    ASSERT_GE(maxX, 0);
    EXPECT_EQ(minX, lyrRoundi(19.2 - 4.8));
    EXPECT_EQ(minY, lyrRoundi(34 - 8.5));
    EXPECT_GE(maxX, lyrRoundi(19.2 + 96 + 4.8) - 1);
    EXPECT_GE(maxY, lyrRoundi(34 + 17 + 8.5) - 1);
}

TEST(LyrDMP, TemplateRoundTrip)
{
    DmpScene s;
    s.page->SetFontStyle(fsxCondensed);
    auto *band = new TlyrMasterData(s.page);
    band->SetName(QStringLiteral("Band1"));
    auto *m = new TlyrDMPMemoView(band);
    m->SetName(QStringLiteral("Memo1"));
    m->SetParentFont(false);
    m->SetFontStyle(fsxBold | fsx15cpi);
    m->SetMemo({QStringLiteral("商品 [X]")});
    auto *l = new TlyrDMPLineView(band);
    l->SetName(QStringLiteral("Line1"));
    auto *c = new TlyrDMPCommand(band);
    c->SetName(QStringLiteral("Cmd1"));
    c->SetCommand(QStringLiteral("#27E"));
    TlyrReport again;
    const QByteArray xml = expectRoundTrip(s.report, again);
    EXPECT_TRUE(xml.contains("<TlyrDMPPage ")) << xml.toStdString();
    auto *m2 = qobject_cast<TlyrDMPMemoView *>(again.FindObject(QStringLiteral("Memo1")));
    ASSERT_NE(m2, nullptr);
    EXPECT_EQ(m2->FontStyle(), fsxBold | fsx15cpi);
    EXPECT_EQ(m2->Memo(), QStringList({QStringLiteral("商品 [X]")}));
    EXPECT_FALSE(xml.contains("Memo.Text"));
    auto *c2 = qobject_cast<TlyrDMPCommand *>(again.FindObject(QStringLiteral("Cmd1")));
    ASSERT_NE(c2, nullptr);
    EXPECT_EQ(c2->Command(), QStringLiteral("#27E"));
}

}  // namespace

namespace {

TEST(LyrDMP, LinesShowInThePreview)
{
    DmpScene s;
    auto *l = new TlyrDMPLineView(s.page);
    l->SetBounds(10, 20, 96, 3);
    TlyrRecordingCanvas c;
    l->Draw(c, 1, 1, 0, 0);
    ASSERT_EQ(c.Shapes.size(), 1u);
    EXPECT_EQ(c.Shapes[0].What, TlyrRecordedShape::Line);
    EXPECT_EQ(c.Shapes[0].Rect.top(), lyrRoundi(25.5));
    EXPECT_DOUBLE_EQ(l->Height(), 0);
}

}  // namespace
