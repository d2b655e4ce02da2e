// Suppliers: the list's filters and removal, the entry's checks and its
// hand-over to a purchase, the search.
#include "stock_fixture.h"

#include "core/MenuOpeners.h"
#include "platform/ui/modal.h"
#include "sales/Register.h"

#include <QApplication>
#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>

namespace {

class SupplierTest : public StockTest {
protected:
    QStringList names(TfrmGYS_M &w)
    {
        QStringList out;
        for (int r = 0; r < w.rowCount(); ++r) {
            w.selectRow(r);
            out << w.field("供应商");
        }
        out.sort();
        return out;
    }
};

TEST_F(SupplierTest, ListFindsNameInsideOrPinyinAtTheStartWithoutCase)
{
    addSupplier("蓝天贸易", "LTMY");
    TfrmGYS_M w;
    w.Edit1->setText("qd");
    emit w.Edit1->textEdited("qd");  // as typed
    EXPECT_TRUE(w.CheckBox1->isChecked());
    w.BitBtn1Click();
    EXPECT_EQ(names(w), QStringList({"青岛啤酒厂"}));
    // "PJ" lies inside the code only: the list does not find it, the name does.
    w.Edit1->setText("PJ");
    w.BitBtn1Click();
    EXPECT_EQ(w.rowCount(), 0);
    w.Edit1->setText("饮料");
    w.BitBtn1Click();
    EXPECT_EQ(names(w), QStringList({"青山饮料"}));
    w.Edit1->setText("Q");
    w.BitBtn1Click();
    EXPECT_EQ(names(w), QStringList({"青山饮料", "青岛啤酒厂"}));
    EXPECT_EQ(w.CountLabel->text(), "供应商数量：2");
    // The condition is a range on the code, not Left(...).
    EXPECT_TRUE(w.where().sql().contains("thePY >= ?")) << w.where().sql().toStdString();
}

TEST_F(SupplierTest, RemovalAsksAndMarksTheSupplierDeleted)
{
    TfrmGYS_M w;
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 2);
    w.selectRow(0);
    const QString id = w.field("ID");
    msgs.answer(ui::Answer::No);
    w.D2Click();
    EXPECT_EQ(msgs.last(), "确认要注销吗？该注销将不可恢复！");
    EXPECT_EQ(count("SSup", "theDel='否'"), 2);
    w.D2Click();
    EXPECT_EQ(one("select theDel from SSup where ID=" + id), "是");
    EXPECT_EQ(w.rowCount(), 1);
}

TEST_F(SupplierTest, EntryChecksNamesAndKeepsContinuousEntryOpen)
{
    TfrmGYS_In w;
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "供应商 不能为空，请重新录入！");
    w.Edit1->setText("青山饮料");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "供应商 已存在，请重新录入！");
    EXPECT_EQ(count("SSup"), 2);
    // The name of a deleted supplier may be used again.
    exec("UPDATE SSup SET theDel='是' WHERE ID=" + s2);
    msgs.clear();
    w.Edit2->setText("王五");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.count(), 0);
    EXPECT_EQ(rows("select thePro,thePY,theDel from SSup where ID>" + s2), QStringList({"王五|QSYL|否"}));
    EXPECT_TRUE(w.Edit1->text().isEmpty());
    EXPECT_TRUE(w.Edit2->text().isEmpty());
}

TEST_F(SupplierTest, EntryShowsAFullCompanyNameAndAddress)
{
    // Opened from a purchase, "连续新增" is hidden: the boxes alone set the width.
    for (bool fromPurchase : {false, true}) {
        TfrmGYS_In w;
        if (fromPurchase) w.myLoad("0", {});
        w.show();
        QApplication::processEvents();
        for (QLineEdit *e : {w.Edit1, w.Edit4}) {
            e->setText("华北饮料批发有限责任公司");
            const int room = e->contentsRect().width() - 8;
            EXPECT_LE(e->fontMetrics().horizontalAdvance(e->text()), room) << fromPurchase;
        }
    }
}

// Typed as a user types Chinese (the input method commits the name), a
// name of 25 characters stays whole in sight with the cursor after it, in
// the supplier entry (also opened from a purchase) and in the purchase's
// and return's own supplier box; a longer one scrolls and is kept whole.
TEST_F(SupplierTest, NameBoxesShowTwentyFiveChineseCharacters)
{
    const QString name = QString("华北饮料批发有限责任公司").repeated(3).left(25);
    const QString longer = QString("华北饮料批发有限责任公司").repeated(4).left(40);
    // Whether the field shows its text from the first character with the
    // cursor after the last.
    auto showsWhole = [](QLineEdit *e) {
        e->setCursorPosition(0);
        e->grab();
        const int start = e->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        e->setCursorPosition(int(e->text().size()));
        e->grab();
        return e->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x() - start >= e->fontMetrics().horizontalAdvance(e->text());
    };
    auto type = [](QLineEdit *e, const QString &text) {
        e->setFocus();
        e->selectAll();
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(e, &commit);
        e->grab();
    };
    TfrmGYS_In entry;
    TfrmGYS_In fromPurchase;
    fromPurchase.myLoad("0", {});
    TfrmJH_In purchase;
    TfrmTH_In ret;
    const std::pair<QWidget *, QLineEdit *> boxes[] = {
            {&entry, entry.Edit1}, {&fromPurchase, fromPurchase.Edit1}, {&purchase, purchase.Edit1}, {&ret, ret.Edit1}};
    for (const auto &[window, box] : boxes) {
        SCOPED_TRACE(window->windowTitle().toStdString());
        window->show();
        QApplication::processEvents();
        type(box, name);
        EXPECT_EQ(box->text(), name);
        EXPECT_TRUE(showsWhole(box));
        type(box, longer);
        EXPECT_EQ(box->text(), longer);
        EXPECT_FALSE(showsWhole(box));
    }
}

TEST_F(SupplierTest, ChangeFromTheListRefreshesIt)
{
    TfrmGYS_M w;
    w.BitBtn1Click();
    w.selectRow(0);
    const QString id = w.field("ID");
    ui::ScriptedModals modals([](QDialog *d) {
        auto *e = qobject_cast<TfrmGYS_In *>(d);
        EXPECT_FALSE(e->CheckBox1->isVisibleTo(e));
        e->Edit3->setText("12345");
        e->BitBtn1Click();
        return d->result();
    });
    w.D1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 供应商信息 保存成功！");
    EXPECT_EQ(one("select thePhone from SSup where ID=" + id), "12345");
    w.selectRow(0);
    bool seen = false;
    for (int r = 0; r < w.rowCount(); ++r) {
        w.selectRow(r);
        seen = seen || w.field("联系电话") == "12345";
    }
    EXPECT_TRUE(seen);
}

TEST_F(SupplierTest, SearchFindsThePinyinAnywhereAndHandsTheChoiceOver)
{
    TfrmJH_In in;
    TfrmFindGYS f;
    f.myTag = "JH";
    f.receiver = &in;
    f.myText = "SY";  // inside "QSYL"
    f.FormShow();
    ASSERT_EQ(f.ADOQuery1.RecordCount(), 1);
    f.takeRow();
    EXPECT_EQ(in.myDID, s2);
    EXPECT_EQ(in.myDName, "青山饮料");
    EXPECT_EQ(in.Edit1->text(), "青山饮料");
}

TEST_F(SupplierTest, ANewSupplierFromThePurchaseGoesIntoItWithoutAMessage)
{
    TfrmJH_In in;
    ui::ScriptedModals modals([](QDialog *d) {
        auto *e = qobject_cast<TfrmGYS_In *>(d);
        EXPECT_EQ(e->myTag, "JH");
        EXPECT_FALSE(e->CheckBox1->isChecked());
        e->Edit1->setText("新供应商");
        e->BitBtn1Click();
        return d->result();
    });
    msgs.clear();
    findSupplier(in, "没有这个");
    EXPECT_EQ(msgs.count(), 0);
    EXPECT_EQ(in.myDName, "新供应商");
    EXPECT_EQ(in.myDID, one("select ID from SSup where theName='新供应商'"));
    EXPECT_EQ(in.Edit1->text(), "新供应商");
}

TEST_F(SupplierTest, MenuRowsOpenTheWindows)
{
    sales::registerWindows();
    ASSERT_NE(velmora::findWindow("517"), nullptr);
    EXPECT_TRUE(velmora::findWindow("517")->opener);
    EXPECT_EQ(velmora::findWindow("517")->openFlag, &myOpenGYS_M);
    EXPECT_NE(velmora::exportLayout("TfrmGYS_M"), nullptr);
    QStringList shown;
    ui::ScriptedModals modals([&](QDialog *d) {
        shown << d->windowTitle();
        return 0;
    });
    for (const char *key : {"516", "508", "512"}) {
        const velmora::WindowRow *row = velmora::findWindow(key);
        ASSERT_NE(row, nullptr);
        EXPECT_TRUE(row->conditions & velmora::Stock);
        row->opener(nullptr);
    }
    EXPECT_EQ(shown, QStringList({"供应商录入", "进货录入", "退货录入"}));
}

}  // namespace
