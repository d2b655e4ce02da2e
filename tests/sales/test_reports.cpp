// The payments list and the sale statistics over sales and payments
// written straight into the tables.
#include "report_fixture.h"

#include "platform/excel/excelreader.h"
#include "platform/ui/lookupcombo.h"
#include "sales/Reports.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QTest>

namespace {

class ReportListTest : public ReportRowsTest {
protected:
    void fill()
    {
        addSale("X1", "2026-03-01", "2026-02-20", "会员", "26000001", "小王", 2, 100, 60, 30, 5);
        addSale("X2", "2026-03-02", "2026-03-02", "散客", "", "小李", 1, 40, 40, 10, 0);
        addSale("X3", "2026-03-03", "2026-03-03", "会员", "26000123", "", 3, 90, 90, 20, 0);
        addSale("X4", "2026-03-03", "2026-03-03", "会员", "26000001", "小王", 1, 10, 10, 1, 0, true);
        addSale("X5", "2026-03-04", "2026-03-04", "会员", "26000001", "小王", 1, 50, 50, 5, 2);
        addPayment("X1", 60, "现金", "小王", "2026-03-01");
        addPayment("X2", 40, "会员卡", "小李", "2026-03-02");
        addPayment("X3", 90, "会员卡", "小王", "2026-03-03");
        addPayment("X4", 10, "现金", "小王", "2026-03-03");
        addPayment("X1", 40, "现金", "小李", "2026-03-05");  // a later collection
        addPayment("X5", 50, "现金", "小王", "2026-03-04");
    }
    QStringList shown(velmora::TListFrame &w, const QStringList &fields)
    {
        QStringList out;
        for (int r = 0; r < w.rowCount(); ++r) {
            w.selectRow(r);
            QStringList row;
            for (const QString &f : fields) row << w.field(f);
            out << row.join('|');
        }
        return out;
    }
};

TEST_F(ReportListTest, PaymentsListEveryPaymentOfLiveSalesNewestFirst)
{
    fill();
    TfrmXF_SKQ w;
    EXPECT_EQ(w.windowTitle(), "消费收款查询");
    EXPECT_FALSE(w.BitBtn3->isEnabled());
    EXPECT_EQ(w.rowCount(), 0);
    w.BitBtn1Click();
    EXPECT_TRUE(w.BitBtn3->isEnabled());
    // X4 is deleted: its payment is absent; X1 has two payments.
    EXPECT_EQ(shown(w, {"单号", "收款日期", "收款金额"}),
              QStringList({"X5|2026-03-04|50", "X1|2026-03-05|40", "X3|2026-03-03|90", "X2|2026-03-02|40",
                           "X1|2026-03-01|60"}));
    EXPECT_EQ(w.CountLabel->text(), "消费收款数量：5");
    EXPECT_EQ(w.TotalLabels[0]->text(), "收款金额：280");
}

TEST_F(ReportListTest, PaymentsListFilters)
{
    fill();
    TfrmXF_SKQ w;
    // The sale's chosen date versus the payment's date.
    w.DateTimePicker1->setDate(QDate(2026, 2, 20));
    w.DateTimePicker2->setDate(QDate(2026, 2, 20));
    EXPECT_TRUE(w.CheckBox1->isChecked());
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"单号", "收款日期"}), QStringList({"X1|2026-03-05", "X1|2026-03-01"}));
    w.CheckBox1->setChecked(false);
    w.DateTimePicker3->setDate(QDate(2026, 3, 2));
    w.DateTimePicker4->setDate(QDate(2026, 3, 3));
    EXPECT_TRUE(w.CheckBox2->isChecked());
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"单号"}), QStringList({"X3", "X2"}));  // both end days included
    // A start after the end: empty, count 0, empty sum.
    w.DateTimePicker3->setDate(QDate(2026, 3, 4));
    w.BitBtn1Click();
    EXPECT_EQ(w.rowCount(), 0);
    EXPECT_EQ(w.CountLabel->text(), "消费收款数量：0");
    EXPECT_EQ(w.TotalLabels[0]->text(), "收款金额：");
    w.CheckBox2->setChecked(false);
    // Card and number match inside the value.
    w.CheckBox3->setChecked(true);
    w.Edit1->setText("0012");
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"单号"}), QStringList({"X3"}));
    w.CheckBox3->setChecked(false);
    w.CheckBox5->setChecked(true);
    w.Edit3->setText("5");
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"单号"}), QStringList({"X5"}));
    w.CheckBox5->setChecked(false);
    // The cashier filter is the payment's cashier, the employee the sale's.
    w.DBLookupComboBox1->setText("小李");
    w.CheckBox6->setChecked(true);
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"单号", "收款人"}), QStringList({"X1|小李", "X2|小李"}));
    w.CheckBox6->setChecked(false);
    w.DBLookupComboBox2->setText("小王");
    w.CheckBox7->setChecked(true);
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"单号"}), QStringList({"X5", "X1", "X1"}));
    w.CheckBox7->setChecked(false);
    // A quote typed into the type box is only a value.
    w.CheckBox4->setChecked(true);
    w.ComboBox2->setEditText("会'员");
    w.BitBtn1Click();
    EXPECT_EQ(w.rowCount(), 0);
    w.ComboBox2->setEditText("散客");
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"单号"}), QStringList({"X2"}));
    w.CheckBox4->setChecked(false);
}

TEST_F(ReportListTest, PaymentMethodFilterAndTheStoredValueBox)
{
    fill();
    TfrmXF_SKQ w;
    w.DBLookupComboBox3->setText("现金");
    w.CheckBox8->setChecked(true);
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"单号"}), QStringList({"X5", "X1", "X1"}));
    // Clicking "会员卡" ticks the method box and overrides the lookup.
    w.CheckBox8->setChecked(false);
    w.CheckBox9->click();
    EXPECT_TRUE(w.CheckBox8->isChecked());
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"单号", "收款方式"}), QStringList({"X3|会员卡", "X2|会员卡"}));
    // No method chosen and the box unticked: nothing matches.
    w.CheckBox9->click();
    w.DBLookupComboBox3->setText("");
    w.BitBtn1Click();
    EXPECT_EQ(w.rowCount(), 0);
}

TEST_F(ReportListTest, PaymentsExportHasTextColumnsAndTheTotalsRow)
{
    fill();
    TfrmXF_SKQ w;
    w.BitBtn1Click();
    const excel::ReadResult r = excel::readWorkbook(w.BitBtn3Click());
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    const excel::Sheet &s = r.sheet;
    ASSERT_EQ(s.rowCount(), 7);
    EXPECT_EQ(s.cell(0, 6), "收款金额");
    EXPECT_EQ(s.cell(1, 0), "1");
    EXPECT_EQ(s.cell(1, 2), "X5");
    EXPECT_EQ(s.cell(6, 0), "合计");
    EXPECT_EQ(s.cell(6, 6), w.total("收款金额"));
}

TEST_F(ReportListTest, StatisticsOneRowPerTypeAndEmployee)
{
    fill();
    addSale("X6", "2026-03-05", "2026-03-05", "会员", "26000001", "", 1, 7, 7, 2, 0);
    TfrmXF_TJ w;
    EXPECT_EQ(w.windowTitle(), "消费统计");
    EXPECT_EQ(w.BitBtn1->text(), "统计");
    EXPECT_FALSE(w.BitBtn3->isEnabled());
    w.BitBtn1Click();
    EXPECT_TRUE(w.BitBtn3->isEnabled());
    const QStringList f = {"类型",     "员工姓名", "商品数量",   "合计金额", "实收金额",
                           "应收金额", "商品成本", "介绍人提成", "利润"};
    // The empty employee is its own group; the deleted X4 is left out;
    // what is still owed counts as profit.
    EXPECT_EQ(shown(w, f), QStringList({"会员||4|97|97|0|22|0|75", "会员|小王|3|150|110|40|35|7|108",
                                        "散客|小李|1|40|40|0|10|0|30"}));
    // The business date, both end days.
    w.DateTimePicker1->setDate(QDate(2026, 3, 1));
    w.DateTimePicker2->setDate(QDate(2026, 3, 3));
    EXPECT_TRUE(w.CheckBox1->isChecked());
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"类型", "员工姓名", "合计金额"}), QStringList({"会员||90", "会员|小王|100", "散客|小李|40"}));
    w.DBLookupComboBox2->setText("小王");
    w.CheckBox3->setChecked(true);
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"类型", "员工姓名"}), QStringList({"会员|小王"}));
    w.CheckBox3->setChecked(false);
    w.CheckBox2->setChecked(true);
    w.ComboBox2->setEditText("O'散客");
    w.BitBtn1Click();
    EXPECT_EQ(w.rowCount(), 0);
    w.ComboBox2->setEditText("散客");
    w.BitBtn1Click();
    EXPECT_EQ(shown(w, {"类型"}), QStringList({"散客"}));
    const excel::ReadResult r = excel::readWorkbook(w.BitBtn3Click());
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    ASSERT_EQ(r.sheet.rowCount(), 2);  // header and one row, no totals
    EXPECT_EQ(r.sheet.cell(1, 1), "散客");
}

}  // namespace

// The "至" box of the payment dates typed with separators: the date is the
// one typed, the filters beside it stay as they were and nothing is queried
// until the user asks; taking the shown day from the calendar ticks the
// filter as another day does.
TEST_F(ReportListTest, PaymentDatesTypedWithSeparatorsStayInTheirBox)
{
    fill();
    for (const char *typed : {"2026-3-4", "2026/03/04", "2026-03-04", "20260304"}) {
        TfrmXF_SKQ w;
        w.show();
        QApplication::setActiveWindow(&w);
        w.BitBtn1Click();
        const int before = w.rowCount();
        QList<bool> boxes;
        for (QCheckBox *b : w.findChildren<QCheckBox *>()) boxes << b->isChecked();
        const QString edit1 = w.Edit1->text();
        w.DateTimePicker3->setFocus(Qt::TabFocusReason);
        QTest::keyClick(w.windowHandle(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), w.DateTimePicker4) << typed;
        for (const char *k = typed; *k; ++k) QTest::keyClick(w.windowHandle(), *k);
        EXPECT_EQ(QApplication::focusWidget(), w.DateTimePicker4) << typed;
        EXPECT_EQ(w.DateTimePicker4->date(), QDate(2026, 3, 4)) << typed;
        // Only the range's own box is ticked by the new date.
        QList<bool> now;
        for (QCheckBox *b : w.findChildren<QCheckBox *>()) now << (b == w.CheckBox2 ? false : b->isChecked());
        boxes[w.findChildren<QCheckBox *>().indexOf(w.CheckBox2)] = false;
        EXPECT_EQ(now, boxes) << typed;
        EXPECT_TRUE(w.CheckBox2->isChecked()) << typed;
        EXPECT_EQ(w.Edit1->text(), edit1);
        EXPECT_EQ(w.rowCount(), before) << typed;
        w.DateTimePicker3->setDate(QDate(2026, 3, 2));
        w.BitBtn1Click();
        EXPECT_EQ(shown(w, {"单号"}), QStringList({"X5", "X3", "X2"})) << typed;
    }
    TfrmXF_SKQ w;
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_FALSE(w.CheckBox2->isChecked());
    w.DateTimePicker4->setFocus(Qt::TabFocusReason);
    QTest::keyClick(w.windowHandle(), Qt::Key_F4);
    QWidget *popup = QApplication::activePopupWidget();
    ASSERT_NE(popup, nullptr);
    ASSERT_NE(popup->findChild<QCalendarWidget *>(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_TRUE(w.CheckBox2->isChecked());
}

