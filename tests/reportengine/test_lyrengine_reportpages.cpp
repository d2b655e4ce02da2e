// Records left out for want of details, and a report page that goes on
// below the output of the one before.

#include "engine_fixture.h"
#include "lyrproperty.h"

#include <QRegularExpression>

namespace {

class ReportPagesTest : public EngineFixture {
protected:
    // A master band over M (id, group) on the page given.
    TlyrMasterData *master(TlyrReportPage *on, const QString &name, double top, lyrprop::Table &t, const QString &ds,
                           std::shared_ptr<int> *row = nullptr)
    {
        auto *m = band<TlyrMasterData>(name, top, 16, on);
        TlyrUserDataSet *d = lyrprop::tableDataSet(&keeper, ds, &t, row);
        report->Datasets()->Add(d);
        m->SetDataSet(d);
        m->SetDataSetName(ds);
        memo(m, name + QStringLiteral("Memo"), QStringLiteral("rec:[%1.\"id\"]").arg(ds));
        return m;
    }
    // Both pages 60 mm high; the second goes on below the first's output,
    // lists P and has a page footer that high.
    void secondPage(lyrprop::Table &p, double footer)
    {
        page->SetPaperHeight(60);  // 226.8 units
        auto *next = new TlyrReportPage(report.get());
        next->SetName(QStringLiteral("Page2"));
        next->SetParent(report.get());
        next->SetPaperHeight(60);
        next->PrintOnPreviousPage = true;
        master(next, QStringLiteral("MasterData2"), 40, p, QStringLiteral("P"));
        memo(band<TlyrPageFooter>(QStringLiteral("PageFooter2"), 80, footer, next), QStringLiteral("PF2"), QStringLiteral("pf2"));
    }
    // Where on prepared page i the band of that name lies: top and bottom.
    std::vector<std::pair<double, double>> spans(int i, const QString &name)
    {
        std::vector<std::pair<double, double>> out;
        if (TlyrReportPage *p = pages().GetPage(i))
            for (TlyrComponent *c : p->Objects())
                if (c->Name() == name) out.push_back({c->Top(), c->Top() + c->Height()});
        return out;
    }
};

// A group footer closed by a record after some that had no details shows
// its own group, not the group of the records left out.
TEST_F(ReportPagesTest, AGroupFooterShowsTheLastPrintedRecordOfItsGroup)
{
    lyrprop::Table m{{"id", "g"}, {{"r0", "a0"}, {"r1", "a0"}, {"r2", "a1"}, {"r3", "a2"}, {"r4", "a3"}}};
    lyrprop::Table d{{"m", "id"}, {{"r0", "d0"}, {"r3", "d0"}}};
    auto *gh = band<TlyrGroupHeader>(QStringLiteral("GroupHeader1"), 20, 16);
    gh->Condition = QStringLiteral("M.\"g\"");
    memo(gh, QStringLiteral("GH"), QStringLiteral("gh:[M.\"g\"]"));
    std::shared_ptr<int> row;
    master(page, QStringLiteral("MasterData1"), 40, m, QStringLiteral("M"), &row);
    auto *detail = band<TlyrDetailData>(QStringLiteral("DetailData1"), 60, 16);
    TlyrUserDataSet *ds = lyrprop::tableDataSet(&keeper, QStringLiteral("D"), &d, nullptr, &m, row);
    report->Datasets()->Add(ds);
    detail->SetDataSet(ds);
    detail->SetDataSetName(QStringLiteral("D"));
    memo(detail, QStringLiteral("DM"), QStringLiteral("det:[M.\"id\"].[D.\"id\"]"));
    auto *gf = band<TlyrGroupFooter>(QStringLiteral("GroupFooter1"), 80, 16);
    memo(gf, QStringLiteral("GF"), QStringLiteral("gf:[M.\"g\"]"));
    ASSERT_TRUE(report->PrepareReport());
    EXPECT_EQ(texts(0).join(QLatin1Char(' ')).toStdString(), "gh:a0 rec:r0 det:r0.d0 gf:a0 gh:a2 rec:r3 det:r3.d0 gf:a2");
}

// A report page that goes on below the previous one's output keeps clear of
// the footer that page already has, and prints no second footer over it.
TEST_F(ReportPagesTest, AReportPageOnThePreviousPageStopsAboveItsFooter)
{
    lyrprop::Table m{{"id"}, {{"m0"}, {"m1"}}}, p{{"id"}, {}};
    for (int i = 0; i < 20; ++i) p.Rows << QStringList{QStringLiteral("p%1").arg(i)};
    master(page, QStringLiteral("MasterData1"), 40, m, QStringLiteral("M"));
    memo(band<TlyrPageFooter>(QStringLiteral("PageFooter1"), 80, 20), QStringLiteral("PF1"), QStringLiteral("pf1"));
    secondPage(p, 10);
    ASSERT_TRUE(report->PrepareReport());
    ASSERT_GE(pages().Count(), 2);
    const auto footer = spans(0, QStringLiteral("PageFooter1"));
    ASSERT_EQ(footer.size(), 1u);
    EXPECT_TRUE(spans(0, QStringLiteral("PageFooter2")).empty());
    const auto rows = spans(0, QStringLiteral("MasterData2"));
    ASSERT_FALSE(rows.empty());
    for (const auto &r : rows) EXPECT_LE(r.second, footer[0].first + 0.01);
    // The pages of its own have its footer.
    EXPECT_EQ(spans(1, QStringLiteral("PageFooter2")).size(), 1u);
}

// Its footer does not go over the previous output either, when that
// reaches further down than the footer's top.
TEST_F(ReportPagesTest, AReportPageOnThePreviousPageKeepsItsFooterOffThatOutput)
{
    lyrprop::Table m{{"id"}, {}}, p{{"id"}, {{"p0"}}};
    for (int i = 0; i < 13; ++i) m.Rows << QStringList{QStringLiteral("m%1").arg(i)};
    master(page, QStringLiteral("MasterData1"), 40, m, QStringLiteral("M"));
    secondPage(p, 20);
    ASSERT_TRUE(report->PrepareReport());
    const auto rows = spans(0, QStringLiteral("MasterData1"));
    ASSERT_EQ(rows.size(), 13u);
    for (const auto &f : spans(0, QStringLiteral("PageFooter2"))) EXPECT_GE(f.first, rows.back().second - 0.01);
    EXPECT_EQ(texts(1).join(QLatin1Char(' ')).toStdString(), "rec:p0 pf2");
}

// A record kept with its child whose band is taller than an empty column
// goes on over the columns as if it could split: every word once, none
// below the page, its child after its last part, and no column is left
// holding only the repeated header.
TEST_F(ReportPagesTest, AKeptRecordTallerThanAColumnMovesOnlyOnce)
{
    page->SetPaperWidth(94);
    page->SetPaperHeight(109);  // 412 units high, columns 177.6 wide
    page->SetColumns(2);
    QStringList words;
    for (int i = 0; i < 400; ++i) words << QStringLiteral("tall%1").arg(i);
    lyrprop::Table m{{"id", "t"}, {{"r0", ""}, {"r1", words.join(QLatin1Char(' '))}}};
    auto *header = band<TlyrHeader>(QStringLiteral("Header1"), 20, 20);
    header->ReprintOnNewPage = true;
    memo(header, QStringLiteral("H"), QStringLiteral("head"), 0, 160);
    TlyrMasterData *data = master(page, QStringLiteral("MasterData1"), 40, m, QStringLiteral("M"));
    auto *text = memo(data, QStringLiteral("T"), QStringLiteral("[M.\"t\"]"), 0, 160);
    text->SetTop(16);
    text->SetStretchMode(smActualHeight);
    text->SetWordWrap(true);
    data->SetStretched(true);
    auto *child = band<TlyrChild>(QStringLiteral("Child1"), 100, 16);
    memo(child, QStringLiteral("C"), QStringLiteral("child:[M.\"id\"]"), 0, 160);
    data->SetChild(child);
    data->SetKeepChild(true);
    ASSERT_TRUE(report->PrepareReport());
    // What each page column holds, by band name.
    std::map<std::pair<int, int>, QStringList> held;
    for (int i = 0; i < pages().Count(); ++i)
        for (TlyrComponent *c : pages().GetPage(i)->Objects()) held[{i, c->Left() > 100 ? 2 : 1}] << c->Name();
    auto names = [&](int page, int column) { return held[std::make_pair(page, column)].join(QLatin1Char(' ')).toStdString(); };
    EXPECT_EQ(names(0, 1), "Header1 MasterData1 Child1");
    std::map<QString, int> seen;
    QString last;
    for (int i = 0; i < pages().Count(); ++i)
        for (TlyrComponent *b : pages().GetPage(i)->Objects()) {
            EXPECT_LE(b->Top() + b->Height(), 412 + 0.01) << b->Name().toStdString() << " on page " << i + 1;
            for (TlyrComponent *c : b->Objects())
                if (auto *m = qobject_cast<TlyrCustomMemoView *>(c))
                    for (const QString &w : m->GetText().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
                        if (w.startsWith(QLatin1String("tall"))) ++seen[w];
            last = b->Name();
        }
    for (const QString &w : words) EXPECT_EQ(seen[w], 1) << w.toStdString();
    EXPECT_EQ(last, QStringLiteral("Child1"));
    for (const auto &[place, list] : held)
        EXPECT_NE(list.join(QLatin1Char(' ')), QStringLiteral("Header1")) << "page " << place.first + 1 << " column " << place.second;
}

}  // namespace
