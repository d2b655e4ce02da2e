// Page numbers read inside expressions, with formats, arithmetic or
// conditions, show the page their band is printed on, also when a kept
// group moves to the next page after its first records were made.

#include "breaks_fixture.h"

namespace {

class PageExpressionTest : public BreaksTest {};

}  // namespace

TEST_F(PageExpressionTest, ExpressionsReadingThePageShowWhereTheBandLands)
{
    newSheet();
    GroupedRows rows(report.get(), &keeper, QStringLiteral("Rows"), GroupedRows::runs({{"A", 6}, {"B", 6}}));
    report->Variables()->SetVariable(QStringLiteral("Sheet"), QStringLiteral("<Page#> * 10"));
    group(10, QStringLiteral(" p[Page#]"))->KeepTogether = true;
    TlyrMasterData *data = records(rows.ds, 40);
    auto *m = qobject_cast<TlyrMemoView *>(data->Objects().first());
    ASSERT_NE(m, nullptr);
    m->SetWidth(600);
    m->SetText(m->GetText() + QStringLiteral(" [Rows.\"G\"] [Page#] [Page# #n%d] [<Page#> + 0] "
                                             "[IIF(<Page#> > 1, 'later', 'first')] [<Page> * 1] [Sheet] "
                                             "[StrToInt(<Rows.\"N\">) + <Page#> * 100]"));
    prepare();
    judge(12);
    ASSERT_EQ(pages().Count(), 2) << dump().toStdString();
    int seen = 0;
    for (int i = 0; i < pages().Count(); ++i) {
        const QString page = QString::number(i + 1);
        for (const Printed &p : printed(i)) {
            if (!p.Text.startsWith(u'r')) continue;
            ++seen;
            const QStringList f = p.Text.split(u' ');
            ASSERT_EQ(f.size(), 9) << p.Text.toStdString();
            const int n = f[0].mid(1).toInt();
            EXPECT_EQ(f.mid(2, 6),
                      (QStringList{page, page, page, i > 0 ? "later" : "first", page, QString::number((i + 1) * 10)}))
                    << p.Text.toStdString();
            EXPECT_EQ(f[8], QString::number(n + (i + 1) * 100)) << p.Text.toStdString();
            // The second group moved whole: its records are all on page 2.
            EXPECT_EQ(f[1] == QLatin1String("B"), i == 1) << p.Text.toStdString();
        }
    }
    EXPECT_EQ(seen, 12);
    expectOwnPageNumbers();
}
