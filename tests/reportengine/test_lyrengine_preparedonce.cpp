// A band's objects run their events and take their data once per output,
// also when the band moves to another column or page: a script that sums in
// an event gives the engine's own totals, and what the band prints shows
// the page it lands on.

#include "breaks_fixture.h"

namespace {

class PreparedOnceTest : public BreaksTest {
protected:
    // A script with counters the events below add to.
    void countingScript()
    {
        report->SetScriptText({QStringLiteral("var Total, Subs: Integer;"), QStringLiteral("procedure AddOne(Sender: TObject);"),
                               QStringLiteral("begin"), QStringLiteral("  Total := Total + 1;"), QStringLiteral("end;"),
                               QStringLiteral("procedure AddSub(Sender: TObject);"), QStringLiteral("begin"),
                               QStringLiteral("  Subs := Subs + 1;"), QStringLiteral("end;"), QStringLiteral("begin"),
                               QStringLiteral("  Total := 0;"), QStringLiteral("  Subs := 0;"), QStringLiteral("end.")});
    }
    // Records "r<N> c<count so far> p<page>", counted by their memo's event,
    // under a header reprinted on each page, and a footer with the script's
    // total beside the engine's count.
    TlyrMasterData *countedRecords(TlyrDataSet *ds, double height)
    {
        countingScript();
        auto *header = band<TlyrHeader>("Header1", 0, 20);
        header->ReprintOnNewPage = true;
        memo(header, "H", "head");
        TlyrMasterData *b = records(ds, 30, QStringLiteral(" c[Total] p[Page#]"));
        b->SetHeight(height);
        qobject_cast<TlyrView *>(b->Objects().first())->SetOnBeforePrint(QStringLiteral("AddOne"));
        memo(band<TlyrFooter>("Footer1", 300, 20), "F", QStringLiteral("t[Total] n[COUNT(%1)]").arg(b->Name()));
        return b;
    }
    // Every record shows its own number as its count.
    void expectOwnCounts()
    {
        for (int i = 0; i < pages().Count(); ++i)
            for (const QString &t : texts(i))
                if (t.startsWith(QLatin1Char('r')))
                    EXPECT_EQ(t.section(QLatin1Char(' '), 0, 0).mid(1), t.section(QLatin1Char(' '), 1, 1).mid(1))
                            << t.toStdString() << " on page " << i + 1;
    }
    QString footer()
    {
        for (int i = pages().Count() - 1; i >= 0; --i)
            for (const QString &t : texts(i))
                if (t.startsWith(QLatin1Char('t'))) return t;
        return {};
    }
};

}  // namespace

// Bands moved by the free space to a new page or column, and bands that
// start a new page below a repeated header (stretched or not), count their
// records once.
TEST_F(PreparedOnceTest, AMovedBandRunsItsEventsOnce)
{
    for (int columns : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "moved by the free space, columns " << columns);
        newSheet(columns);
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 30}}));
        countedRecords(rows.ds, 32);
        prepare();
        judge(30);
        ASSERT_GE(pages().Count(), 2);
        EXPECT_EQ(footer(), QStringLiteral("t30 n30")) << dump().toStdString();
        expectOwnCounts();
        expectOwnPageNumbers();
    }
    for (bool stretched : {false, true}) {
        SCOPED_TRACE(stretched ? "starts a new page, stretched" : "starts a new page");
        newSheet();
        GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 5}}));
        TlyrMasterData *b = countedRecords(rows.ds, 20);
        b->SetStartNewPage(true);
        b->SetStretched(stretched);
        prepare();
        judge(5);
        ASSERT_EQ(pages().Count(), 5);
        EXPECT_EQ(footer(), QStringLiteral("t5 n5")) << dump().toStdString();
        expectOwnCounts();
        expectOwnPageNumbers();
        for (int i = 0; i < pages().Count(); ++i) EXPECT_EQ(texts(i).value(0), QStringLiteral("head")) << i;
    }
}

// A moved band's print-on-parent subreport runs its records once, and they
// show the page they print on.
TEST_F(PreparedOnceTest, AMovedBandRunsItsPrintOnParentSubreportOnce)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 5}}));
    GroupedRows subRows(report.get(), &keeper, QStringLiteral("Sub"), GroupedRows::runs({{"A", 3}}));
    TlyrMasterData *b = countedRecords(rows.ds, 20);
    b->SetStretched(true);
    TlyrSubreport *sub = subreportObject(b, QStringLiteral("Sub1"), 250, 2, 200, 16);
    sub->SetPrintOnParent(true);
    TlyrMasterData *subBand = records(subRows.ds, 0, QStringLiteral(" p[Page#]"), sub->SubPage(), QStringLiteral("s"));
    qobject_cast<TlyrView *>(subBand->Objects().first())->SetOnBeforePrint(QStringLiteral("AddSub"));
    memo(band<TlyrReportSummary>("Summary1", 400, 20), "S", "subs[Subs]");
    prepare();
    judge(5);
    ASSERT_GE(pages().Count(), 2);
    EXPECT_EQ(footer(), QStringLiteral("t5 n5")) << dump().toStdString();
    const QStringList last = texts(pages().Count() - 1);
    EXPECT_TRUE(last.contains(QStringLiteral("subs15"))) << last.join(u'|').toStdString();
    expectOwnCounts();
    expectOwnPageNumbers();
}
