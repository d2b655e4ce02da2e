// The sale and goods windows driven from the keyboard alone: a scanner's
// Enter and the keys of the amount fields never save a sale, Esc never
// throws one away, an error from a key is shown once, pasted text passes the
// same filters as typed text, and the grid fills a maximised window.
#include "fixture.h"
#include "keys.h"

#include "members/MemberEntry.h"
#include "sales/FindShop.h"
#include "sales/GYS.h"
#include "sales/SType.h"
#include "sales/Shop_In.h"
#include "sales/StockIn.h"
#include "sales/Reports.h"
#include "sales/Reports_BB.h"
#include "sales/StockLists.h"
#include "sales/XF_In.h"
#include "sales/XF_M.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTest>
#include <functional>
#include <memory>

namespace {

class XFKeysTest : public SalesTest {
protected:
    void SetUp() override
    {
        SalesTest::SetUp();
        addType("金卡", "90", "1");
        addCategory("饮料", "是");
        addMember("26000001", "张三", "金卡", "100");
        addGoods("a1", "可乐", "饮料", "10");
    }
    // The window shown and active, as the cashier has it.
    std::unique_ptr<TfrmXF_In> shown()
    {
        auto w = std::make_unique<TfrmXF_In>();
        w->show();
        QApplication::setActiveWindow(w.get());
        return w;
    }
    // The open editor of the current cell, after a key started it.
    static QLineEdit *cellEditor(TfrmXF_In &w) { return qobject_cast<QLineEdit *>(QApplication::focusWidget()); }
    // The row's goods by its code and Enter, typed into the grid.
    static void typeGoods(TfrmXF_In &w, int row, const char *code)
    {
        w.StringGrid1->setFocus();
        w.StringGrid1->moveTo(TfrmXF_In::cCode, row);
        for (const char *c = code; *c; ++c) QTest::keyClick(QApplication::focusWidget(), *c);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
};

TEST_F(XFKeysTest, ScannerEnterAndAmountFieldsNeverSaveAndEscKeepsTheSale)
{
    auto w = shown();
    EXPECT_EQ(w->focusWidget(), w->Ed_Num);
    QTest::keyClicks(w->Ed_Num, "26000001");
    QTest::keyClick(w->Ed_Num, Qt::Key_Return);
    EXPECT_EQ(w->Edit1->text(), "26000001");
    EXPECT_EQ(count("UXF"), 0);
    typeGoods(*w, 1, "a1");
    ASSERT_EQ(w->StringGrid1->Cells(TfrmXF_In::cCode, 1), "a1") << msgs.texts().join("|").toStdString();
    // (Enter in the card field looks the member up again, which empties the grid.)
    for (QLineEdit *f : {w->Edit21, w->Edit18, w->Edit27, w->Edit20}) {
        f->setFocus();
        QTest::keyClick(f, Qt::Key_Return);
        QTest::keyClick(f, Qt::Key_Enter);
        QTest::keyClick(f, Qt::Key_Escape);
    }
    EXPECT_EQ(count("UXF"), 0);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cCode, 1), "a1");  // the sale is still there
    for (QPushButton *b : w->findChildren<QPushButton *>()) EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
    EXPECT_EQ(w->defaultButton(), nullptr);
}

TEST_F(XFKeysTest, ABadNumberIsShownOnceAndTheCursorStaysOnItsCell)
{
    auto w = shown();
    typeGoods(*w, 1, "a1");
    w->StringGrid1->setFocus();
    w->StringGrid1->moveTo(TfrmXF_In::cCount, 1);
    QTest::keyClick(w->StringGrid1, '.');
    ASSERT_EQ(w->StringGrid1->Cells(TfrmXF_In::cCount, 1), ".") << msgs.texts().join("|").toStdString();
    ASSERT_EQ(msgs.count(), 1) << msgs.texts().join("|").toStdString();
    const QString box = msgs.last();
    EXPECT_TRUE(box.contains("不是有效的数值")) << box.toStdString();
    // Enter ends the edit: the same entry is not reported again and the
    // cursor stays on its cell.
    QLineEdit *editor = cellEditor(*w);
    ASSERT_NE(editor, nullptr);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(msgs.texts(), QStringList{box});
    EXPECT_EQ(w->StringGrid1->Col(), TfrmXF_In::cCount);
    EXPECT_EQ(w->StringGrid1->Row(), 1);
    QTest::keyClick(w->StringGrid1, Qt::Key_Return);
    EXPECT_EQ(msgs.count(), 1);
    EXPECT_EQ(w->StringGrid1->Col(), TfrmXF_In::cCount);
    // The box is closed with Enter or Esc: their presses go to the box, the
    // releases come back to the grid.
    QTest::keyRelease(w->StringGrid1, Qt::Key_Return);
    QTest::keyRelease(w->StringGrid1, Qt::Key_Escape);
    EXPECT_EQ(msgs.count(), 1);
    // A key typed in the cell is judged again.
    QTest::keyClick(w->StringGrid1, Qt::Key_Backspace);
    QTest::keyClick(QApplication::focusWidget(), '2');
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cCount, 1), "2");
    EXPECT_EQ(w->Edit17->text(), "20");  // a walk-in price: 2 x 10
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(w->StringGrid1->Col(), TfrmXF_In::cZK);
    EXPECT_EQ(msgs.count(), 1);
    // A bad entry made again is a new one.
    w->StringGrid1->moveTo(TfrmXF_In::cPrice, 1);
    QTest::keyClick(w->StringGrid1, '.');
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(msgs.count(), 2);
    EXPECT_EQ(w->StringGrid1->Col(), TfrmXF_In::cPrice);

    // The reduction field: one box for ".", none more for Enter.
    msgs.clear();
    w->Edit18->setFocus();
    w->Edit18->clear();
    QTest::keyClick(w->Edit18, '.');
    QTest::keyClick(w->Edit18, Qt::Key_Return);
    EXPECT_EQ(msgs.count(), 1) << msgs.texts().join("|").toStdString();
}

// The purchase and return grids leave a bad number to the save, which names
// its row: no box while typing, and Enter keeps the cursor on the cell.
TEST_F(XFKeysTest, ABadNumberInAStockGridKeepsTheCursorOnItsCell)
{
    TfrmJH_In purchase;
    TfrmTH_In ret;
    for (TfrmStockIn *window : std::initializer_list<TfrmStockIn *>{&purchase, &ret}) {
        TfrmStockIn &w = *window;
        w.show();
        QApplication::setActiveWindow(&w);
        enterGoods(w, 1, "a1");
        w.StringGrid1->setFocus();
        w.StringGrid1->moveTo(TfrmStockIn::cCount, 1);
        QTest::keyClick(w.StringGrid1, '.');
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(w.StringGrid1->Cells(TfrmStockIn::cCount, 1), ".");
        EXPECT_EQ(w.StringGrid1->Col(), TfrmStockIn::cCount);
        EXPECT_EQ(msgs.count(), 0) << msgs.texts().join("|").toStdString();
    }
}

TEST_F(XFKeysTest, PastedTextPassesTheSameFiltersAsTypedText)
{
    auto w = shown();
    typeGoods(*w, 1, "a1");
    w->Edit27->clear();
    w->Edit27->insert("-50");
    EXPECT_EQ(w->Edit27->text(), "");
    w->Edit27->insert("50");
    EXPECT_EQ(w->Edit27->text(), "50");
    w->Edit21->insert("9.5");
    EXPECT_EQ(w->Edit21->text(), "100");

    w->StringGrid1->setFocus();
    w->StringGrid1->moveTo(TfrmXF_In::cCount, 1);
    QTest::keyClick(w->StringGrid1, '3');
    QLineEdit *editor = cellEditor(*w);
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    editor->insert("-4");
    EXPECT_EQ(editor->text(), "3");
    editor->insert("x");
    EXPECT_EQ(editor->text(), "3");
    editor->end(false);
    editor->insert("5");
    EXPECT_EQ(editor->text(), "35");
}

TEST_F(XFKeysTest, GridColumnsStretchWithTheWindow)
{
    auto w = shown();
    auto visibleWidth = [&] {
        int sum = 0;
        for (int c = 0; c < w->StringGrid1->columnCount(); ++c)
            if (!w->StringGrid1->isColumnHidden(c)) sum += w->StringGrid1->columnWidth(c);
        return sum;
    };
    const int nameBefore = w->StringGrid1->columnWidth(TfrmXF_In::cName);
    w->resize(1800, 900);
    QApplication::processEvents();
    const int viewport = w->StringGrid1->viewport()->width();
    ASSERT_GT(viewport, 1500);
    EXPECT_EQ(visibleWidth(), viewport);
    EXPECT_GT(w->StringGrid1->columnWidth(TfrmXF_In::cName), nameBefore);
    // The name keeps its share: twice the code's, as laid out.
    EXPECT_NEAR(w->StringGrid1->columnWidth(TfrmXF_In::cName), 2 * w->StringGrid1->columnWidth(TfrmXF_In::cCode), 2);
}

TEST_F(XFKeysTest, GoodsWindowsPressSaveOnEnterOnlyWhereItIsTheDefault)
{
    {
        // Goods entry: "保存" is the default button.
        TfrmShop_In w;
        w.Lab_ID->setText("0");
        w.CheckBox1->setChecked(false);
        w.show();
        EXPECT_EQ(w.defaultButton(), w.BitBtn1);
        w.DBLookupComboBox1->setText("饮料");
        w.Edit1->setText("雪碧");
        w.Edit2->setText("瓶");
        w.Edit4->setText("3");
        w.Edit6->setText("2");
        QTest::keyClick(w.Edit1, Qt::Key_Return);
        EXPECT_EQ(count("SShop", "theName='雪碧'"), 1);
    }
    {
        // Goods categories and pinyin codes name no default button.
        TfrmSType w;
        w.show();
        EXPECT_EQ(w.focusWidget(), w.Edit1);
        w.Edit1->setText("零食");
        QTest::keyClick(w.Edit1, Qt::Key_Return);
        QTest::keyClick(w.Edit1, Qt::Key_Escape);
        EXPECT_EQ(count("SType", "theName='零食'"), 0);
        EXPECT_TRUE(w.isVisible());
    }
}

TEST_F(XFKeysTest, GoodsCodesAndCategoryNamesAreTrimmed)
{
    TfrmNewShop w;
    w.DBLookupComboBox1->setText("饮料");
    w.Edit3->setText("a1 ");
    w.Edit1->setText("可乐");
    w.Edit2->setText("瓶");
    w.Edit4->setText("3");
    w.Edit6->setText("2");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "商品编码 已存在，请重新录入！");
    w.Edit3->setText(" b2");
    w.Edit1->setText("   ");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "商品名称 不能为空，请重新录入！");

    TfrmSType types;
    types.Edit1->setText(" 饮料 ");
    types.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "商品分类 已存在，请重新录入！");
}

TEST_F(XFKeysTest, NoSalesWindowSavesOrClosesOnEnterOrEscUnlessItsDefaultSays)
{
    ui::ScriptedModals modals;  // lookups and quick entries opened by Enter are closed unused
    auto check = [&](ui::Form &w) { expectKeysChangeNothing(w, [&] { return snapshot(); }); };
    TfrmXF_In sale;
    check(sale);
    TfrmSType categories;
    check(categories);
    TfrmShop_PY py;
    py.myLoad(one("select ID from SShop"));
    check(py);

    // The goods entries name "保存" as their default: Esc still keeps them open.
    TfrmShop_In goods;
    TfrmNewShop quick;
    for (ui::Form *w : std::initializer_list<ui::Form *>{&goods, &quick}) {
        w->show();
        expectTabReachesEveryFieldOnce(*w);
        expectOnlyTheNamedDefault(*w);
        EXPECT_NE(w->defaultButton(), nullptr);
        QTest::keyClick(w->focusWidget(), Qt::Key_Escape);
        EXPECT_TRUE(w->isVisible());
    }
    // The lookup closes on Esc.
    TfrmFindShop lookup;
    lookup.show();
    EXPECT_TRUE(lookup.escapeCloses());
    QTest::keyClick(lookup.DBGrid1, Qt::Key_Escape);
    EXPECT_FALSE(lookup.isVisible());
}

}  // namespace

// The stock entry windows: Enter and Esc in any field neither save nor close.
TEST_F(XFKeysTest, StockWindowsSaveNothingOnEnterOrEsc)
{
    ui::ScriptedModals modals;  // lookups opened by Enter are closed unanswered
    const auto state = [this] { return snapshot(); };
    {
        TfrmJH_In w;
        expectKeysChangeNothing(w, state);
    }
    {
        TfrmTH_In w;
        expectKeysChangeNothing(w, state);
    }
    {
        TfrmGYS_In w;
        expectKeysChangeNothing(w, state);
        expectTabReachesEveryFieldOnce(w);
    }
}

namespace {

// The controls Tab reaches from the first one, one press each, steps presses on.
QList<QWidget *> tabWalk(QWidget &w, QWidget *first, int steps)
{
    w.show();
    QApplication::setActiveWindow(&w);
    first->setFocus(Qt::OtherFocusReason);
    QList<QWidget *> walk{focusedControl()};
    for (int i = 0; i < steps; ++i) walk << pressTab();
    return walk;
}

}  // namespace

// Below the goods grid the sale and the stock entries go down each column
// of fields before the next, then the boxes and the buttons.
TEST_F(XFKeysTest, TabGoesDownEachColumnBelowTheGoodsGrid)
{
    {
        TfrmXF_In w;
        const QList<QWidget *> expected{w.DateTimePicker1,   w.Edit21,    w.Edit18,    w.Edit27,
                                        w.DBLookupComboBox3, w.CheckBox4, w.DBLookupComboBox2,
                                        w.DBLookupComboBox1, w.Edit20,    w.CheckBox2, w.CheckBox3,
                                        w.BitBtn1,           w.BitBtn2};
        const QList<QWidget *> walk = tabWalk(w, w.DateTimePicker1, int(expected.size()) - 1);
        EXPECT_EQ(walk, expected) << describeChain(walk);
    }
    {
        TfrmJH_In w;
        const QList<QWidget *> expected{w.DateTimePicker1, w.DBLookupComboBox1, w.DBLookupComboBox2, w.Edit4,
                                        w.CheckBox1,       w.BitBtn1,           w.BitBtn2,           w.Edit1};
        const QList<QWidget *> walk = tabWalk(w, w.DateTimePicker1, int(expected.size()) - 1);
        EXPECT_EQ(walk, expected) << describeChain(walk);
    }
}

// Each date box of the sales, stock and report windows takes one Tab press,
// and the chains through the entries' and lists' date boxes are one stop
// each.
TEST_F(XFKeysTest, EveryDateBoxIsOneTabStop)
{
    ui::ScriptedModals modals;
    expectEachDateBoxIsOneStop({{[] { return new TfrmXF_In; }, 1},
                                {[] { return new TfrmJH_In; }, 1},
                                {[] { return new TfrmTH_In; }, 1},
                                {[] {
                                     auto *w = new TfrmXF_SK;
                                     w->setBill("2603070001", "20", "会员", "26000001");
                                     return w;
                                 },
                                 1},
                                {[] { return new TfrmXF_M; }, 2},
                                {[] { return new TfrmXF_MX; }, 2},
                                {[] { return new TfrmXF_SKQ; }, 4},
                                {[] { return new TfrmXF_TJ; }, 2},
                                {[] { return new TfrmBB_D; }, 2},
                                {[] { return new TfrmBB_M; }, 2},
                                {[] { return new TfrmBB_Y; }, 2},
                                {[] { return new TfrmJH_M; }, 2},
                                {[] { return new TfrmTH_M; }, 2},
                                {[] { return new TfrmJH_MX; }, 2},
                                {[] { return new TfrmTH_MX; }, 2}});
    {
        TfrmTH_In w;
        const QList<QWidget *> walk = tabWalk(w, w.DateTimePicker1, 3);
        EXPECT_EQ(walk, QList<QWidget *>({w.DateTimePicker1, w.DBLookupComboBox1, w.DBLookupComboBox2, w.Edit4}))
                << describeChain(walk);
    }
    {
        TfrmXF_SK w;
        w.setBill("2603070001", "20", "会员", "26000001");
        expectTabChain(w, {w.DateTimePicker1, w.Edit1, w.DBLookupComboBox1, w.CheckBox1, w.DBLookupComboBox2,
                           w.BitBtn1, w.BitBtn2});
    }
    {
        TfrmXF_M w;
        const QList<QWidget *> walk = tabWalk(w, w.CheckBox1, 2);
        EXPECT_EQ(walk, QList<QWidget *>({w.CheckBox1, w.DateTimePicker1, w.DateTimePicker2})) << describeChain(walk);
    }
    {
        // Each range heads a column of filters.
        TfrmXF_SKQ w;
        const QList<QWidget *> walk = tabWalk(w, w.CheckBox1, 5);
        EXPECT_EQ(walk, QList<QWidget *>({w.CheckBox1, w.DateTimePicker1, w.DateTimePicker2, w.CheckBox3, w.Edit1,
                                          w.CheckBox5}))
                << describeChain(walk);
        const QList<QWidget *> second = tabWalk(w, w.CheckBox2, 3);
        EXPECT_EQ(second, QList<QWidget *>({w.CheckBox2, w.DateTimePicker3, w.DateTimePicker4, w.CheckBox4}))
                << describeChain(second);
    }
    {
        TfrmBB_D w;
        const QList<QWidget *> walk = tabWalk(w, w.CheckBox1, 2);
        EXPECT_EQ(walk, QList<QWidget *>({w.CheckBox1, w.DateTimePicker1, w.DateTimePicker2})) << describeChain(walk);
    }
}
