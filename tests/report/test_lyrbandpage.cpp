#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrmemo.h"
#include "report/lyrpage.h"

#include "drawing_test_helpers.h"

#include <gtest/gtest.h>

#include <QBuffer>

namespace {

TEST(LyrBand, CircularChildIsRefused)
{
    TlyrChild a, b, c;
    a.SetChild(&b);
    b.SetChild(&c);
    EXPECT_THROW(c.SetChild(&a), ElyrError);
    EXPECT_EQ(c.Child(), nullptr);
    EXPECT_NO_THROW(c.SetChild(nullptr));
    EXPECT_THROW(a.SetChild(&a), ElyrError);
}

TEST(LyrBand, BandNumbers)
{
    EXPECT_EQ(TlyrReportTitle().BandNumber(), 0);
    EXPECT_EQ(TlyrReportSummary().BandNumber(), 1);
    EXPECT_EQ(TlyrPageFooter().BandNumber(), 3);
    EXPECT_EQ(TlyrMasterData().BandNumber(), 6);
    EXPECT_EQ(TlyrDetailData().BandNumber(), 7);
    EXPECT_EQ(TlyrDataBand6().BandNumber(), 11);
    EXPECT_EQ(TlyrChild().BandNumber(), 14);
    EXPECT_EQ(TlyrOverlay().BandNumber(), 17);
    EXPECT_EQ(TlyrNullBand().BandNumber(), 0);
    EXPECT_EQ(TlyrDataBand().BandNumber(), 0);
    EXPECT_EQ(lyrBandClasses().size(), 18);
}

TEST(LyrBand, ColumnsAndRowCount)
{
    TlyrMasterData band;
    band.SetColumns(3);
    band.SetColumnWidth(100);
    band.SetColumnGap(10);
    band.ColumnValue = 5;
    band.SetCurColumn(5);
    EXPECT_EQ(band.CurColumn(), 1);
    EXPECT_EQ(band.Left(), 0);
    EXPECT_EQ(band.ColumnValue, 0);
    band.SetCurColumn(2);
    EXPECT_EQ(band.Left(), 110);
    band.SetRowCount(4);
    EXPECT_EQ(band.VirtualDataSet()->RangeEndCount(), 4);
    EXPECT_EQ(band.VirtualDataSet()->RangeEnd(), TlyrDataSet::reCount);
    EXPECT_FALSE(band.Overflow);
    EXPECT_EQ(band.EngineIndex, -1);
}

TEST(LyrPage, NewPageIsA4WithoutMargins)
{
    TlyrReportPage p;
    EXPECT_EQ(p.PaperSize(), 9);
    EXPECT_EQ(p.PaperWidth(), 210);
    EXPECT_EQ(p.PaperHeight(), 297);
    EXPECT_EQ(p.Width(), 794);
    EXPECT_EQ(p.Height(), 1123);
    EXPECT_EQ(p.LeftMargin(), 0);
    p.SetDefaults();
    EXPECT_EQ(p.LeftMargin(), 10);
    EXPECT_EQ(p.BottomMargin(), 10);
    p.SetPaperWidth(100);
    EXPECT_EQ(p.PaperSize(), lyrCustomPaper);
    EXPECT_EQ(p.Width(), 378);
}

TEST(LyrPage, MarginsTurnWithTheOrientation)
{
    TlyrReportPage p;
    p.SetLeftMargin(10);
    p.SetTopMargin(20);
    p.SetRightMargin(30);
    p.SetBottomMargin(40);
    p.SetOrientation(poLandscape);
    EXPECT_EQ(p.LeftMargin(), 20);
    EXPECT_EQ(p.TopMargin(), 30);
    EXPECT_EQ(p.RightMargin(), 40);
    EXPECT_EQ(p.BottomMargin(), 10);
    EXPECT_EQ(p.PaperWidth(), 297);
    p.SetOrientation(poLandscape);
    EXPECT_EQ(p.LeftMargin(), 20);
    p.SetOrientation(poPortrait);
    EXPECT_EQ(p.LeftMargin(), 10);
    EXPECT_EQ(p.TopMargin(), 20);
    p.SetOrientation(poLandscape);
    p.SetPaperSize(11);
    EXPECT_EQ(p.PaperWidth(), 210);
    EXPECT_EQ(p.PaperHeight(), 148);
}

TEST(LyrPage, Columns)
{
    TlyrReportPage p;
    p.SetLeftMargin(10);
    p.SetRightMargin(10);
    p.SetColumns(2);
    EXPECT_EQ(p.ColumnWidth(), 95);
    EXPECT_EQ(p.ColumnPositions(), (QStringList{QStringLiteral("0"), QStringLiteral("95")}));
}

// A count past what any sheet holds (here as a damaged template gives it) is
// refused before a single column is made: an error line names the page and
// the value, the page keeps its columns and the rest of the template loads.
TEST(LyrPage, AColumnCountNoPageHoldsIsRefusedAndTheRestLoads)
{
    TlyrReportPage direct;
    direct.SetColumns(3);
    EXPECT_THROW(direct.SetColumns(lyrMaxPageColumns + 1), ElyrError);
    EXPECT_EQ(direct.Columns(), 3);
    EXPECT_EQ(direct.ColumnPositions().size(), 3);
    direct.SetColumns(lyrMaxPageColumns);
    EXPECT_EQ(direct.ColumnPositions().size(), lyrMaxPageColumns);

    for (const char *count : {"5000", "100000000", "2147483647"}) {
        SCOPED_TRACE(count);
        const QByteArray xml = QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?><TlyrReport>"
                                          "<TlyrReportPage Name=\"Page1\" Columns=\"") +
                               count +
                               "\" LeftMargin=\"10\"><TlyrMasterData Name=\"MasterData1\" Height=\"20\">"
                               "<TlyrMemoView Name=\"Memo1\" Width=\"50\" Height=\"20\" Text=\"x\"/>"
                               "</TlyrMasterData></TlyrReportPage></TlyrReport>";
        TlyrReport r;
        r.EngineOptions()->SetNewSilentMode(simSilent);
        QBuffer in;
        in.setData(xml);
        in.open(QIODevice::ReadOnly);
        r.LoadFromStream(in);
        const QStringList errors = r.Errors();
        ASSERT_EQ(errors.size(), 1) << errors.join(u'\n').toStdString();
        EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Page1.Columns: "))) << errors[0].toStdString();
        EXPECT_TRUE(errors[0].contains(QLatin1String(count))) << errors[0].toStdString();
        auto *page = qobject_cast<TlyrReportPage *>(r.FindObject(QStringLiteral("Page1")));
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(page->Columns(), 0);
        EXPECT_TRUE(page->ColumnPositions().isEmpty());
        EXPECT_EQ(page->LeftMargin(), 10);
        EXPECT_NE(r.FindObject(QStringLiteral("Memo1")), nullptr);
        // What loaded saves and loads again without the count.
        QBuffer out;
        out.open(QIODevice::ReadWrite);
        r.SaveToStream(out);
        EXPECT_FALSE(out.data().contains(count));
    }
}

TEST(LyrPage, AlignChildrenStretchesBandsToThePrintableArea)
{
    TlyrReport r;
    auto *p = new TlyrReportPage(&r);
    p->SetDefaults();
    auto *band = new TlyrMasterData(p);
    band->SetBounds(0, 100, 10, 20);
    auto *col = new TlyrMasterData(p);
    col->SetVertical(true);
    col->SetBounds(50, 30, 40, 10);
    p->AlignChildren();
    EXPECT_NEAR(band->Width(), 190 * lyrUnitsPerMM, 1e-9);
    EXPECT_NEAR(col->Height(), 277 * lyrUnitsPerMM - 30, 1e-9);
    EXPECT_EQ(p->Width(), 794);
    EXPECT_EQ(p->FindBand(&TlyrDataBand::staticMetaObject), band);
    EXPECT_EQ(p->FindBand(&TlyrPageHeader::staticMetaObject), nullptr);
}

TEST(LyrPage, BackgroundIsDrawnInsideTheMargins)
{
    TlyrReportPage p;
    p.SetDefaults();
    p.SetColor(clYellow);
    p.Frame()->SetTyp(ftAll);
    TlyrRecordingCanvas c(96);
    p.DrawBackground(c, 1, 1, 0, 0);
    ASSERT_FALSE(c.Shapes.empty());
    EXPECT_EQ(c.Shapes[0].Rect.topLeft(), QPoint(38, 38));
    EXPECT_EQ(c.Shapes[0].BrushColor, clYellow);
}

// The page size stays A4 when the template omits the default paper number.
TEST(LyrPageTemplate, EveryBandAndPageRoundTrips)
{
    TlyrReport r;
    r.EngineOptions()->SetNewSilentMode(simSilent);
    r.setObjectName(QStringLiteral("Rep"));
    auto *data = new TlyrDataPage(&r);
    data->SetName(QStringLiteral("Data"));
    auto *page = new TlyrReportPage(&r);
    page->SetName(QStringLiteral("Page1"));
    page->SetDefaults();
    page->SetColumns(2);
    page->SetColor(clSilver);
    page->Frame()->SetTyp(ftAll);
    page->TitleBeforeHeader = false;
    page->HGuides = {QStringLiteral("10"), QStringLiteral("20")};
    auto *landscape = new TlyrReportPage(&r);
    landscape->SetName(QStringLiteral("Page2"));
    landscape->SetOrientation(poLandscape);
    landscape->SetPaperSize(11);
    auto *custom = new TlyrReportPage(&r);
    custom->SetName(QStringLiteral("Page3"));
    custom->SetPaperWidth(80);
    custom->SetPaperHeight(120);
    int n = 0;
    TlyrChild *child = nullptr;
    for (const QMetaObject *cls : lyrBandClasses()) {
        auto *band = qobject_cast<TlyrBand *>(cls->newInstance(Q_ARG(QObject *, page)));
        ASSERT_NE(band, nullptr) << cls->className();
        band->SetName(QStringLiteral("Band%1").arg(++n));
        band->SetBounds(0, n * 30, 700, 20);
        band->SetStretched(true);
        if (auto *c = qobject_cast<TlyrChild *>(band)) child = c;
    }
    auto *master = qobject_cast<TlyrMasterData *>(page->FindBand(&TlyrMasterData::staticMetaObject));
    master->SetChild(child);
    master->SetColumns(2);
    master->SetRowCount(5);
    auto *gh = qobject_cast<TlyrGroupHeader *>(page->FindBand(&TlyrGroupHeader::staticMetaObject));
    gh->Condition = QStringLiteral("lyrDB_XF.\"theNum\"");
    gh->DrillDown = true;
    auto *memo = new TlyrMemoView(master);
    memo->SetName(QStringLiteral("Memo1"));
    memo->SetText(QStringLiteral("[lyrDB_XF.\"theSum\"]"));
    memo->SetBounds(600, 0, 100, 20);
    memo->SetHAlign(haRight);

    TlyrReport again;
    const QByteArray first = expectRoundTrip(r, again);
    EXPECT_EQ(first.count("PaperSize=\"256\""), 1);  // only the custom page
    EXPECT_TRUE(first.contains("Orientation=\"poLandscape\""));
    auto *p1 = qobject_cast<TlyrReportPage *>(again.FindObject(QStringLiteral("Page1")));
    ASSERT_NE(p1, nullptr);
    EXPECT_EQ(p1->PaperSize(), 9);
    EXPECT_EQ(qobject_cast<TlyrReportPage *>(again.FindObject(QStringLiteral("Page2")))->PaperSize(), 11);
    EXPECT_EQ(qobject_cast<TlyrReportPage *>(again.FindObject(QStringLiteral("Page3")))->PaperSize(), lyrCustomPaper);
    auto *m2 = qobject_cast<TlyrMasterData *>(again.FindObject(master->Name()));
    ASSERT_NE(m2, nullptr);
    EXPECT_EQ(m2->Child(), again.FindObject(child->Name()));
    EXPECT_EQ(m2->RowCount(), 5);
}

}  // namespace

namespace {

class GridPage : public TlyrPage {
public:
    using TlyrPage::TlyrPage;
    bool IsCharacterGrid() const override { return true; }
};

TEST(LyrBand, BandsSnapToTheCharacterGridOfDotMatrixPages)
{
    GridPage page;
    auto *band = new TlyrMasterData(&page);
    band->SetTop(20);
    band->SetLeft(15);
    band->SetHeight(30);
    band->SetWidth(101);
    EXPECT_EQ(band->Top(), 17);
    EXPECT_DOUBLE_EQ(band->Left(), 19.2);
    EXPECT_EQ(band->Height(), 34);
    EXPECT_EQ(band->Width(), 101);
    TlyrReportPage paper;
    auto *other = new TlyrMasterData(&paper);
    other->SetTop(20);
    EXPECT_EQ(other->Top(), 20);
}

}  // namespace
