// The daily, monthly and yearly reports over documents written straight
// into the tables, checked against sums computed here from the same rows.
#include "report_fixture.h"
#include "datebox_walk.h"

#include "platform/ui/lookupcombo.h"
#include "platform/excel/excelreader.h"
#include "sales/Reports_BB.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QRandomGenerator>
#include <map>

namespace {

using sales::ReportPeriod;

class PeriodReportTest : public ReportRowsTest {
protected:
    void sale(const QString &num, const QString &myDate, const QString &worker, int hj, int sj, int cb, int tc,
              bool deleted = false)
    {
        addSale(num, myDate, myDate, "会员", "", worker, 1, hj, sj, cb, tc, deleted);
    }
    // A recharge, exchange, purchase or return: its amounts go to the
    // table's two (or three) summed columns.
    void doc(const QString &table, const QString &myDate, const QString &worker, int a, int b = 0)
    {
        QString cols = table == "UCZ" ? "MCZ,MZS" : table == "UDH" ? "MJF,MJF" : "theSum,theSum";
        if (table != "UCZ") cols = cols.section(',', 0, 0);
        const QString values = table == "UCZ" ? ":a,:b" : ":a";
        vdb::Statement s("INSERT INTO " + table + " (myDate,theDate,WName,theDel," + cols + ") VALUES (:d,:d,:w,'否'," +
                         values + ")");
        s.text("d", myDate).text("w", worker).number("a", a);
        if (table == "UCZ") s.number("b", b);
        s.run(c());
    }
    QStringList ubb() { return rows("select theDate,XF_C,XF_M,XF_XJ,XF_HY,XF_CB,XF_LR from UBB order by theDate"); }
    void run(TfrmBB &w, QDate from, QDate to)
    {
        w.DateTimePicker1->setDate(from);
        w.DateTimePicker2->setDate(to);
        w.BitBtn1Click();
    }
};

TEST_F(PeriodReportTest, PeriodsAreWholeCalendarPeriodsBothEndsIncluded)
{
    EXPECT_EQ(sales::reportPeriods(ReportPeriod::Day, QDate(2026, 3, 1), QDate(2026, 3, 1)).size(), 1u);
    const auto months = sales::reportPeriods(ReportPeriod::Month, QDate(2025, 1, 15), QDate(2025, 12, 14));
    ASSERT_EQ(months.size(), 12u);
    EXPECT_EQ(months.front().first, "2025-01");
    EXPECT_EQ(months.back().first, "2025-12");
    EXPECT_EQ(months.back().second.second, QDate(2026, 1, 1));
    EXPECT_EQ(sales::reportPeriods(ReportPeriod::Month, QDate(2025, 1, 31), QDate(2025, 2, 1)).size(), 2u);
    const auto years = sales::reportPeriods(ReportPeriod::Year, QDate(2025, 2, 1), QDate(2025, 12, 31));
    ASSERT_EQ(years.size(), 1u);
    EXPECT_EQ(years[0].first, "2025");
    EXPECT_EQ(sales::reportPeriods(ReportPeriod::Year, QDate(2024, 12, 31), QDate(2025, 1, 1)).size(), 2u);
    EXPECT_TRUE(sales::reportPeriods(ReportPeriod::Day, QDate(2025, 1, 2), QDate(2025, 1, 1)).empty());
}

TEST_F(PeriodReportTest, DailyRowsCountSalesByTheirDateAndPaymentsByTheirs)
{
    sale("S1", "2026-03-01", "小王", 100, 60, 30, 5);
    sale("S2", "2026-03-01", "小李", 10, 10, 1, 0, true);  // deleted
    addPayment("S1", 60, "现金", "小王", "2026-03-01");
    addPayment("S1", 40, "会员卡", "小李", "2026-03-03");  // a later collection
    doc("UCZ", "2026-03-03", "小王", 200, 20);
    TfrmBB_D w;
    EXPECT_EQ(w.windowTitle(), "日报表");
    EXPECT_TRUE(w.CheckBox1->isChecked());
    run(w, QDate(2026, 3, 1), QDate(2026, 3, 1));
    EXPECT_EQ(ubb(), QStringList({"2026-03-01|1|60|60|0|30|65"}));
    EXPECT_TRUE(w.BitBtn3->isEnabled());
    run(w, QDate(2026, 3, 1), QDate(2026, 3, 3));
    EXPECT_EQ(ubb(), QStringList({"2026-03-01|1|60|60|0|30|65", "2026-03-02|0|0|0|0|0|0", "2026-03-03|0|0|0|40|0|0"}));
    EXPECT_EQ(rows("select CZ_C,CZ_M,CZ_Z from UBB where theDate='2026-03-03'"), QStringList({"1|200|20"}));
    EXPECT_EQ(w.rowCount(), 3);
    w.selectRow(0);
    EXPECT_EQ(w.field("日期"), "2026-03-03");  // newest first
    // The employee filter: documents by WName, payments by their cashier.
    w.DBLookupComboBox1->setText("小李");
    w.CheckBox2->setChecked(true);
    w.BitBtn1Click();
    EXPECT_EQ(ubb(), QStringList({"2026-03-01|0|0|0|0|0|0", "2026-03-02|0|0|0|0|0|0", "2026-03-03|0|0|0|40|0|0"}));
    EXPECT_EQ(one("select CZ_C from UBB where theDate='2026-03-03'"), "0");
    // Start after end: a message and nothing changed.
    const QStringList before = ubb();
    run(w, QDate(2026, 3, 4), QDate(2026, 3, 3));
    EXPECT_EQ(msgs.last(), "日期选择错误，请重新选择日期！");
    EXPECT_EQ(ubb(), before);
    // A monthly run replaces the daily rows.
    TfrmBB_M m;
    w.CheckBox2->setChecked(false);
    run(m, QDate(2026, 3, 1), QDate(2026, 3, 3));
    EXPECT_EQ(ubb(), QStringList({"2026-03|1|60|60|40|30|65"}));
    m.selectRow(0);
    EXPECT_EQ(m.field("月份"), "2026-03");
}

TEST_F(PeriodReportTest, ExportAndTheEmployeeFilterWithNoName)
{
    sale("S1", "2025-06-01", "", 100, 60, 30, 5);
    sale("S2", "2025-07-01", "小王", 50, 50, 10, 0);
    TfrmBB_Y w;
    EXPECT_EQ(w.windowTitle(), "年报表");
    // The yearly profit counts what was received, not the 40 still owed on
    // S1 (the monthly report of the same sales counts the bill total).
    run(w, QDate(2025, 1, 1), QDate(2025, 12, 31));
    EXPECT_EQ(ubb(), QStringList({"2025|2|110|0|0|40|65"}));
    {
        TfrmBB_M m;
        run(m, QDate(2025, 6, 1), QDate(2025, 6, 30));
        EXPECT_EQ(ubb(), QStringList({"2025-06|1|60|0|0|30|65"}));
    }
    run(w, QDate(2025, 1, 1), QDate(2025, 12, 31));
    // Ticked with no employee chosen: only documents without one.
    w.DBLookupComboBox1->setText("");
    w.CheckBox2->setChecked(true);
    w.BitBtn1Click();
    EXPECT_EQ(ubb(), QStringList({"2025|1|60|0|0|30|25"}));
    const excel::ReadResult r = excel::readWorkbook(w.BitBtn3Click());
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    ASSERT_EQ(r.sheet.rowCount(), 2);  // header and the one year, no totals
    EXPECT_EQ(r.sheet.cell(0, 1), "年份");
    EXPECT_EQ(r.sheet.cell(1, 1), "2025");
    EXPECT_EQ(r.sheet.cell(1, 2), "1");
}

// The end of the range typed into "至" from its month (a click there) or its
// day (Shift+Tab) is the day typed, and the report runs to it.
TEST_F(PeriodReportTest, TheEndTypedFromAnyPartOfItsBoxIsTheEndOfTheRun)
{
    sale("S1", "2026-01-31", "小王", 100, 60, 30, 5);
    TfrmBB_D w;
    expectWholeDatesFromEveryPart(w, w.DateTimePicker2);
    w.DateTimePicker1->setDate(QDate(2026, 1, 1));
    w.DateTimePicker2->setDate(QDate(2026, 3, 7));
    clickDatePart(w.DateTimePicker2, 1);
    typeIntoWindow(w, "2026-1-31");
    EXPECT_EQ(w.DateTimePicker2->date(), QDate(2026, 1, 31));
    w.BitBtn1Click();
    EXPECT_EQ(one("select count(*) from UBB"), "31");
    EXPECT_EQ(one("select max(theDate) from UBB"), "2026-01-31");
    EXPECT_EQ(one("select XF_C from UBB where theDate='2026-01-31'"), "1");
}

// Sums of amounts in binary leave leftovers (0.3 - 0.1 - 0.2 is not 0): the
// rows, the grid and the export show money's four decimals.
TEST_F(PeriodReportTest, AmountsAreRoundedToFourDecimalsInRowsGridAndExport)
{
    exec("INSERT INTO UXF (theNum,theDate,myDate,theType,MNum,WName,theCount,theSum,theZR,theHJ,theSJ,theYE,theCB,"
         "TCMoney,theDel) VALUES ('S1','2026-03-01','2026-03-01','会员','','小王',1,0.3,0,0.3,0.3,0,0.1,0.2,'否')");
    for (const char *amount : {"426940.0841", "0.1", "0.2"})
        exec(QString("INSERT INTO UXF (theNum,theDate,myDate,theType,MNum,WName,theCount,theSum,theZR,theHJ,theSJ,"
                     "theYE,theCB,TCMoney,theDel) VALUES ('S2','2026-03-02','2026-03-02','会员','','小王',1,%1,0,%1,"
                     "%1,0,0.7,0,'否')")
                     .arg(amount));
    // What the database itself sums, to show the leftovers are real.
    EXPECT_NE(one("select sum(theHJ-theCB-TCMoney) from UXF where theNum='S1'"), "0");
    TfrmBB_D w;
    run(w, QDate(2026, 3, 1), QDate(2026, 3, 2));
    EXPECT_EQ(ubb(), QStringList({"2026-03-01|1|0.3|0|0|0.1|0", "2026-03-02|3|426940.3841|0|0|2.1|426938.2841"}));
    w.selectRow(1);
    EXPECT_EQ(w.field("利润"), "0");
    w.selectRow(0);
    EXPECT_EQ(w.field("利润"), "426938.2841");
    const excel::ReadResult r = excel::readWorkbook(w.BitBtn3Click());
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    for (int row = 1; row < r.sheet.rowCount(); ++row)
        for (int col = 2; col < 17; ++col) {
            const QString cell = r.sheet.cell(row, col);
            EXPECT_LE(cell.section('.', 1).size(), 4) << row << "," << col << ": " << cell.toStdString();
        }
}

TEST_F(PeriodReportTest, AFailingInsertLeavesTheLastReportWhole)
{
    sale("S1", "2026-03-02", "小王", 100, 60, 30, 5);
    TfrmBB_D w;
    run(w, QDate(2026, 3, 1), QDate(2026, 3, 2));
    const QStringList before = ubb();
    ASSERT_EQ(before.size(), 2);
    exec("CREATE TRIGGER no_third BEFORE INSERT ON UBB WHEN NEW.theDate='2026-03-03' "
         "BEGIN SELECT RAISE(ABORT,'refused'); END");
    w.DateTimePicker2->setDate(QDate(2026, 3, 4));
    EXPECT_ANY_THROW(w.BitBtn1Click());
    EXPECT_EQ(ubb(), before);
}

TEST_F(PeriodReportTest, EveryFigureEqualsTheSumOfItsRawRows)
{
    QRandomGenerator gen(20260306);
    const QStringList workers = {"小王", "小李", ""};
    const QStringList methods = {"现金", "会员卡", "银行卡"};
    // Expected figures per day: the 15 values, then the profit on the
    // amount received that the yearly report shows in place of the sixth.
    std::map<QString, std::array<double, 16>> day;
    const QDate first(2025, 1, 1);
    for (int i = 0; i < 400; ++i) {
        const QString d = first.addDays(gen.bounded(365)).toString("yyyy-MM-dd");
        const QString pd = first.addDays(gen.bounded(365)).toString("yyyy-MM-dd");
        const int hj = gen.bounded(1, 500), sj = gen.bounded(hj + 1), cb = gen.bounded(hj), tc = gen.bounded(10);
        const bool del = gen.bounded(10) == 0;
        const QString num = QString("N%1").arg(i);
        sale(num, d, workers[gen.bounded(3)], hj, sj, cb, tc, del);
        const QString method = methods[gen.bounded(3)];
        const int money = gen.bounded(1, 300);
        addPayment(num, money, method, workers[gen.bounded(3)], pd);
        auto &p = day[pd];
        p[method == "会员卡" ? 3 : 2] += money;  // every payment counts, as the sale list deletes them
        if (!del) {
            auto &s = day[d];
            s[0] += 1;
            s[1] += sj;
            s[4] += cb;
            s[5] += hj - cb - tc;
            s[15] += sj - cb - tc;
        }
        if (i % 4 == 0) {
            const int a = gen.bounded(1, 100), b = gen.bounded(10);
            doc("UCZ", d, "小王", a, b);
            auto &s = day[d];
            s[6] += 1, s[7] += a, s[8] += b;
        }
        if (i % 5 == 0) {
            const int a = gen.bounded(1, 100);
            doc(i % 10 == 0 ? "UJH" : "UTH", d, "小李", a);
            auto &s = day[d];
            s[i % 10 == 0 ? 11 : 13] += 1, s[i % 10 == 0 ? 12 : 14] += a;
            doc("UDH", d, "", a);
            day[d][9] += 1, day[d][10] += a;
        }
    }
    const auto expectPeriods = [&](ReportPeriod p, int textLength) {
        std::map<QString, std::array<double, 16>> want;
        for (const auto &period : sales::reportPeriods(p, first, QDate(2025, 12, 31))) want[period.first] = {};
        for (const auto &[d, v] : day)
            for (int k = 0; k < 16; ++k) want[d.left(textLength)][k] += v[k];
        const auto got = sales::computeReport(c(), p, first, QDate(2025, 12, 31), false, {});
        ASSERT_EQ(got.size(), want.size());
        for (const auto &r : got) {
            ASSERT_TRUE(want.count(r.period)) << r.period.toStdString();
            for (int k = 0; k < 15; ++k)
                EXPECT_DOUBLE_EQ(r.values[k].toDouble(), want[r.period][k == 5 && p == ReportPeriod::Year ? 15 : k])
                        << r.period.toStdString() << " " << k;
        }
    };
    expectPeriods(ReportPeriod::Day, 10);
    expectPeriods(ReportPeriod::Month, 7);
    expectPeriods(ReportPeriod::Year, 4);
}

}  // namespace
