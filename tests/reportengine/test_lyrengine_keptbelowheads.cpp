// A keep block that begins right below the headers a page began with (the
// page header and a group header shown there for its first record) is at
// the top of its page: it never moves on, which would leave a page of
// headers alone and its records without their group header.

#include "breaks_fixture.h"

#include "report/lyrband.h"

namespace {

class KeptBelowHeadsTest : public BreaksTest {
protected:
    // A record of group A, then two of group B: B's first record with its
    // kept child is taller than the room below B's header but fits an
    // empty page.
    void build(bool newPage, bool keepHeader)
    {
        newSheet();
        rows = std::make_unique<GroupedRows>(report.get(), &keeper, QStringLiteral("Rows"),
                                             GroupedRows::runs({{"A", 1}, {"B", 2}}));
        memo(band<TlyrPageHeader>("PageHeader1", 0, 20), "PH", "ph");
        memo(band<TlyrHeader>("Header1", 20, 20), "H", "hdr");
        TlyrGroupHeader *g = group(40);
        g->SetStartNewPage(newPage);
        g->ReprintOnNewPage = !newPage;
        TlyrMasterData *master = records(rows->ds, 60);
        master->SetAllowSplit(true);
        master->SetKeepChild(true);
        master->SetFooterAfterEach(true);
        if (keepHeader)
            master->SetKeepHeader(true);
        else
            master->SetKeepFooter(true);
        master->SetOnBeforePrint(QStringLiteral("Sized"));
        report->SetScriptText({"procedure Sized(Sender: TObject);", "begin",
                               "  if <Rows.\"N\"> = '1' then RecordsRows.Height := 90",
                               "  else if <Rows.\"N\"> = '2' then RecordsRows.Height := 150",
                               "  else RecordsRows.Height := 20;", "end;", "begin", "end."});
        auto *child = band<TlyrChild>("Child1", 90, 20);
        memo(child, "C", "c[Rows.\"N\"]");
        master->SetChild(child);
        memo(band<TlyrFooter>("Footer1", 120, 20), "F", "ftr");
    }
    std::unique_ptr<GroupedRows> rows;
};

}  // namespace

TEST_F(KeptBelowHeadsTest, ABlockBelowTheHeadersThatBeganItsPageStaysThere)
{
    for (const bool newPage : {true, false})
        for (const bool keepHeader : {true, false}) {
            SCOPED_TRACE(testing::Message() << (newPage ? "group starts a new page" : "group header shown again")
                                            << (keepHeader ? ", keeps the header" : ", keeps the footer"));
            build(newPage, keepHeader);
            prepare();
            judge(3);
            int groupPage = -1, recordPage = -1;
            for (int i = 0; i < pages().Count(); ++i) {
                const QStringList t = texts(i);
                // Every page prints a record, a child or a footer.
                const bool content = std::any_of(t.begin(), t.end(), [](const QString &s) {
                    return s.startsWith(QLatin1Char('r')) || s.startsWith(QLatin1Char('c')) || s == QLatin1String("ftr");
                });
                EXPECT_TRUE(content) << "page " << i + 1 << " holds headers only\n" << dump().toStdString();
                if (groupPage < 0 && t.contains(QStringLiteral("gB"))) groupPage = i;
                if (t.contains(QStringLiteral("r2"))) recordPage = i;
            }
            // B's first record prints under B's header.
            EXPECT_GE(groupPage, 0);
            EXPECT_EQ(recordPage, groupPage) << dump().toStdString();
            if (HasFailure()) return;
        }
}
