// Stored-value recharge: the window's checks, the save in one transaction,
// the receipt after the commit, and the list with its deletion.
#include "accounts_fixture.h"

#include "core/MenuOpeners.h"
#include "core/Unit1.h"
#include "core/main.h"
#include "core/ListFrame.h"
#include "members/AccountStore.h"
#include "members/CZ_In.h"
#include "members/CZ_M.h"
#include "platform/print/textprinter.h"

#include <QApplication>
#include <QTest>
#include <memory>

namespace {

class RechargeTest : public AccountsTest {
protected:
    std::unique_ptr<TfrmCZ_In> window()
    {
        auto w = std::make_unique<TfrmCZ_In>();
        w->Ed_Num->setText(card);
        w->myFind();
        return w;
    }
    QString saveSays(TfrmCZ_In &w, const QString &amount, const QString &bonus = "0")
    {
        if (w.Panel->isEmpty()) {
            w.Ed_Num->setText(card);
            w.myFind();
        }
        w.Edit17->setText(amount);
        w.Edit18->setText(bonus);
        msgs.clear();
        w.BitBtn1->click();  // as the user: errors are reported, not thrown
        return msgs.last();
    }
    std::unique_ptr<TfrmCZ_M> list()
    {
        auto l = std::make_unique<TfrmCZ_M>();
        l->BitBtn1Click();
        return l;
    }
};

TEST_F(RechargeTest, FindingTheCardFillsTheMemberAndFocusesTheAmount)
{
    auto w = std::make_unique<TfrmCZ_In>();
    w->show();
    EXPECT_EQ(w->Edit18->text(), "0");
    EXPECT_EQ(w->DateTimePicker1->date(), QDate(2026, 3, 7));
    EXPECT_EQ(w->DBLookupComboBox1->Text(), "小王");
    w->Ed_Num->setText("ZS");
    QTest::keyClick(w->Ed_Num, Qt::Key_Return);
    EXPECT_EQ(w->Ed_Num->text(), card);
    EXPECT_EQ(w->Panel->Edit3->text(), "张三");
    EXPECT_EQ(w->Panel->Edit11->text(), "100");
    EXPECT_EQ(w->focusWidget(), w->Edit17);
}

// The date typed from the keyboard: Tab into the box, digits for the year
// and month, Right to the day and Up twice, Tab on; the save stores it.
TEST_F(RechargeTest, ADateTypedByDigitsAndArrowsIsStored)
{
    auto w = std::make_unique<TfrmCZ_In>();
    w->show();
    QApplication::setActiveWindow(w.get());
    w->Ed_Num->setText(card);
    w->myFind();
    w->Ed_Num->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(w->Ed_Num, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), w->DateTimePicker1);
    QTest::keyClicks(QApplication::focusWidget(), "202511");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QTest::keyClicks(QApplication::focusWidget(), "08");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w->Edit17);  // the amount, next in the column
    QTest::keyClicks(w->Edit17, "30");
    w->BitBtn1->click();
    EXPECT_EQ(rows("select MCZ,myDate from UCZ"), QStringList{"30|2025-11-10"}) << msgs.last().toStdString();
}

TEST_F(RechargeTest, ChecksComeInOrderAndWriteNothing)
{
    auto w = std::make_unique<TfrmCZ_In>();
    const QStringList before = snapshot();
    w->BitBtn1Click();
    EXPECT_EQ(msgs.last(), "会员信息不能为空，请录入会员卡号！");
    EXPECT_EQ(saveSays(*w, "0"), "储值金额 不能为空，请重新录入！");
    EXPECT_TRUE(w->Edit17->text().isEmpty());
    EXPECT_EQ(saveSays(*w, "10", ""), "赠送金额 不能为空，请重新录入！");
    w->DBLookupComboBox1->setText({});
    EXPECT_EQ(saveSays(*w, "10"), "请选中 员工姓名！");
    w->DBLookupComboBox1->setText("小王");
    w->DBLookupComboBox3->setText({});
    EXPECT_EQ(saveSays(*w, "10"), "请选中 收款方式！");
    w->DBLookupComboBox3->setText("现金");
    w->DBLookupComboBox2->setText({});
    EXPECT_EQ(saveSays(*w, "10"), "请选中 收款人！");
    w->DBLookupComboBox2->setText("小王");
    for (const char *bad : {"-", ".", "1.2.3", "5-5", "--5"})
        EXPECT_EQ(saveSays(*w, bad), "储值金额 不是有效的数字，请重新录入！") << bad;
    EXPECT_EQ(snapshot(), before);
}

TEST_F(RechargeTest, KeyFiltersLetTheAmountTakeAMinusButNotTheBonus)
{
    auto w = std::make_unique<TfrmCZ_In>();
    type(w->Edit17, "-5a0");
    EXPECT_EQ(w->Edit17->text(), "-50");
    type(w->Edit18, "-2x0");
    EXPECT_EQ(w->Edit18->text(), "20");
}

TEST_F(RechargeTest, AmountPlusBonusGoesOnTheBalanceAndTheCapitalsAreOfTheAmount)
{
    auto w = window();
    w->Edit20->setText("O'Brien 的卡");
    EXPECT_EQ(saveSays(*w, "100", "20"), "");
    EXPECT_EQ(member("theCZ"), "220");
    EXPECT_EQ(rows("select theNum,theDate,MNum,MCZ,MZS,MType,Remark,theUser,theDel,theDX,WName,theSKR,myDate from UCZ"),
              QStringList{"2603070001|2026-03-07|" + card +
                          "|100|20|现金|O'Brien 的卡|admin|否|壹佰元整|小王|小王|"
                          "2026-03-07"});
    // Continuous entry: cleared, bonus and date back, lookups kept.
    EXPECT_TRUE(w->Panel->isEmpty());
    EXPECT_TRUE(w->Edit17->text().isEmpty());
    EXPECT_EQ(w->Edit18->text(), "0");
    EXPECT_EQ(w->DBLookupComboBox3->Text(), "现金");
    // A bonus of 0 adds the amount alone.
    EXPECT_EQ(saveSays(*w, "30"), "");
    EXPECT_EQ(member("theCZ"), "250");
    EXPECT_EQ(one("select MZS from UCZ where theNum='2603070002'"), "0");
}

TEST_F(RechargeTest, ANegativeRechargeLowersTheBalanceAndItsDeletionRaisesItBack)
{
    auto w = window();
    EXPECT_EQ(saveSays(*w, "-50"), "");
    EXPECT_EQ(member("theCZ"), "50");
    EXPECT_EQ(rows("select MCZ,theDX from UCZ"), QStringList{"-50|负伍拾元整"});
    EXPECT_EQ(members::deleteRecharge(c(), "2603070001"), "");
    EXPECT_EQ(member("theCZ"), "100");
    EXPECT_EQ(one("select theDel from UCZ"), "是");
    EXPECT_EQ(members::deleteRecharge(c(), "2603070001"), "储值单 2603070001 不存在或已被删除！");
    EXPECT_EQ(member("theCZ"), "100");
}

// A card number given again after its member was deleted: the recharge and
// its deletion change only the live member; the old row keeps its totals.
TEST_F(RechargeTest, AReissuedCardLeavesTheDeletedMembersBalanceAlone)
{
    exec("INSERT INTO Member (theNum,theName,theCZ,theJF,theDel) VALUES ('" + card + "','旧会员',7,3,'是')");
    auto w = window();
    EXPECT_EQ(saveSays(*w, "100", "20"), "");
    EXPECT_EQ(member("theCZ"), "220");
    EXPECT_EQ(rows("select theCZ,theJF from Member where theName='旧会员'"), QStringList{"7|3"});
    EXPECT_EQ(members::deleteRecharge(c(), "2603070001"), "");
    EXPECT_EQ(member("theCZ"), "100");
    EXPECT_EQ(rows("select theCZ,theJF from Member where theName='旧会员'"), QStringList{"7|3"});
}

TEST_F(RechargeTest, WithoutContinuousEntryTheWindowClosesWithAMessage)
{
    auto w = window();
    w->CheckBox2->setChecked(false);
    EXPECT_EQ(saveSays(*w, "10"), "恭喜！恭喜！ 储值录入 保存成功！");
    EXPECT_EQ(w->result(), QDialog::Accepted);
}

TEST_F(RechargeTest, ASaveRefusedAtAnyWriteLeavesTheDatabaseAsItWasAndPrintsNothing)
{
    auto w = window();
    w->CheckBox3->setChecked(true);
    print::ScopedTextCapture capture;
    for (const QString &when : {QString("BEFORE UPDATE OF theCZ ON Member"), QString("BEFORE INSERT ON UCZ")}) {
        const QStringList before = snapshot();
        refusing(when, [&] { saveSays(*w, "100", "20"); });
        EXPECT_EQ(msgs.count(), 1) << when.toStdString();
        EXPECT_EQ(snapshot(), before) << when.toStdString();
        EXPECT_EQ(capture.jobs().size(), 0u);
        // The window keeps the recharge for another try.
        EXPECT_EQ(w->Panel->card(), card);
        EXPECT_EQ(w->Edit17->text(), "100");
    }
    w->BitBtn1Click();
    EXPECT_EQ(member("theCZ"), "220");
    ASSERT_EQ(capture.jobs().size(), 1u);
    EXPECT_TRUE(capture.jobs()[0].lines.contains("储值  100.00"));
    EXPECT_TRUE(capture.jobs()[0].lines.contains("大写  壹佰元整"));
}

TEST_F(RechargeTest, APrinterFailureSaysSavedNotPrintedAndStillResets)
{
    auto w = window();
    w->CheckBox3->setChecked(true);
    print::ScopedTextCapture capture;
    capture.failing = true;
    EXPECT_TRUE(saveSays(*w, "100").contains("储值单 2603070001 已保存，但小票没有打印")) << msgs.last().toStdString();
    EXPECT_EQ(count("UCZ"), 1);
    EXPECT_TRUE(w->Panel->isEmpty());
    msgs.clear();
    w->BitBtn1Click();
    EXPECT_EQ(msgs.last(), "会员信息不能为空，请录入会员卡号！");
    EXPECT_EQ(count("UCZ"), 1);
    EXPECT_EQ(member("theCZ"), "200");
}

TEST_F(RechargeTest, OpenedForACardFindsItOnShow)
{
    auto w = std::make_unique<TfrmCZ_In>();
    w->Ed_Num->setText(card);
    w->myFrom = "m";
    w->FormShow();
    EXPECT_EQ(w->Panel->Edit3->text(), "张三");
}

TEST_F(RechargeTest, ListDeletionTakesAmountAndBonusOffAndLeavesTheSums)
{
    auto w = window();
    saveSays(*w, "100", "20");
    saveSays(*w, "5");
    auto l = list();
    ASSERT_EQ(l->rowCount(), 2);
    EXPECT_EQ(l->field("单号"), "2603070002");  // newest first
    EXPECT_EQ(l->total("储值金额"), "105");
    l->selectRow(1);
    msgs.answer(ui::Answer::No);
    l->D1Click();
    EXPECT_EQ(l->rowCount(), 2);
    l->selectRow(1);
    l->D1Click();
    EXPECT_EQ(msgs.last(), "确认要删除吗？该删除将不可恢复！");
    EXPECT_EQ(member("theCZ"), "105");
    EXPECT_EQ(l->rowCount(), 1);
    EXPECT_EQ(l->total("储值金额"), "5");
    EXPECT_EQ(l->total("赠送金额"), "0");
}

TEST_F(RechargeTest, ADeletionRefusedAtAnyWriteLeavesTheDatabaseAsItWas)
{
    auto w = window();
    saveSays(*w, "100", "20");
    for (const QString &when :
         {QString("BEFORE UPDATE OF theCZ ON Member"), QString("BEFORE UPDATE OF theDel ON UCZ")}) {
        const QStringList before = snapshot();
        refusing(when, [&] { EXPECT_THROW(members::deleteRecharge(c(), "2603070001"), vdb::DbError); });
        EXPECT_EQ(snapshot(), before) << when.toStdString();
    }
}

TEST_F(RechargeTest, FiltersTickThemselvesAndQuotesStayText)
{
    auto w = window();
    w->Edit20->setText("a'b");
    saveSays(*w, "10");
    saveSays(*w, "20");
    auto l = std::make_unique<TfrmCZ_M>();
    EXPECT_FALSE(l->queried());
    type(l->Edit2, "a'b");
    EXPECT_TRUE(l->CheckBox5->isChecked());
    EXPECT_FALSE(l->queried());
    l->BitBtn1Click();
    ASSERT_EQ(l->rowCount(), 1);
    EXPECT_EQ(l->field("储值金额"), "10");
    // Popup actions on an empty list do nothing.
    type(l->Edit3, "nothing");
    l->BitBtn1Click();
    EXPECT_EQ(l->rowCount(), 0);
    EXPECT_EQ(l->total("储值金额"), "");
    msgs.clear();
    l->D1Click();
    l->P1Click();
    EXPECT_EQ(msgs.count(), 0);
}

TEST_F(RechargeTest, MemberListOpensTheRechargeListOnTheCard)
{
    auto w = window();
    saveSays(*w, "10");
    const velmora::Opener open = velmora::findOpener("301");
    ASSERT_TRUE(open);
    std::unique_ptr<QWidget> lw(open(nullptr));
    auto *l = qobject_cast<TfrmCZ_M *>(lw.get());
    ASSERT_NE(l, nullptr);
    l->showForCard(card);
    EXPECT_TRUE(l->CheckBox2->isChecked());
    EXPECT_EQ(l->rowCount(), 1);
    EXPECT_TRUE(velmora::cardWindow("300"));
}

// The recharge and exchange entries reached from another window's popup
// (the member list's) open only for a user who holds their own rights.
TEST_F(RechargeTest, EntriesReachedFromAPopupCheckTheirOwnRights)
{
    auto main = std::make_unique<TfrmMain>();
    ASSERT_EQ(frmMain, main.get());
    QStringList shown;
    ui::ScriptedModals modals([&](QDialog *d) {
        if (auto *in = qobject_cast<members::AccountEntry *>(d)) shown << d->windowTitle() + " " + in->Ed_Num->text();
        return int(QDialog::Rejected);
    });
    for (const char *key : {"300", "402"}) velmora::cardWindow(key)(nullptr, card);
    EXPECT_TRUE(shown.isEmpty());
    main->applyRight("402");
    for (const char *key : {"300", "402"}) velmora::cardWindow(key)(nullptr, card);
    EXPECT_EQ(shown, QStringList{"兑换录入 " + card});
    main->applyRight("300");
    velmora::cardWindow("300")(nullptr, card);
    EXPECT_EQ(shown.last(), "储值录入 " + card);
    main.reset();
    EXPECT_EQ(frmMain, nullptr);
}

}  // namespace
