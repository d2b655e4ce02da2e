// The sale entry driven as a cashier drives it, and what a save stores.
#include "xf_fixture.h"

#include "members/FindMember.h"
#include "members/MemberEntry.h"
#include "platform/print/textprinter.h"
#include "preview_double.h"
#include "sales/FindShop.h"
#include "sales/Shop_In.h"

#include <QApplication>
#include <QTest>

namespace {

TEST_F(XFTest, NewWindowStartsEmptyWithTheShopDefaults)
{
    myDeptSMType = "会员卡";
    auto w = window();
    EXPECT_EQ(w->windowTitle(), "消费录入");
    EXPECT_EQ(w->StringGrid1->rowCount(), 100);
    EXPECT_EQ(w->StringGrid1->horizontalHeaderItem(1)->text(), "商品编码");
    EXPECT_EQ(w->StringGrid1->Cells(0, 99), "@ 99");
    EXPECT_TRUE(w->StringGrid1->isColumnHidden(8));
    EXPECT_FALSE(w->StringGrid1->isColumnHidden(7));
    EXPECT_EQ(QStringList(
                      {w->Edit25->text(), w->Edit17->text(), w->Edit21->text(), w->Edit18->text(), w->Edit19->text()}),
              QStringList({"0", "0", "100", "0", "0"}));
    EXPECT_EQ(w->DBLookupComboBox1->Text(), "小王");
    EXPECT_EQ(w->DBLookupComboBox2->Text(), "小王");
    EXPECT_EQ(w->DBLookupComboBox3->Text(), "会员卡");
    EXPECT_EQ(w->DateTimePicker1->date(), QDate(2026, 3, 7));
    EXPECT_TRUE(w->CheckBox2->isChecked());
    EXPECT_TRUE(w->CheckBox3->isChecked());
    EXPECT_EQ(w->StringGrid1->Row(), 1);
    EXPECT_EQ(w->StringGrid1->Col(), 1);
}

TEST_F(XFTest, MemberSearchOneNoneOrSeveral)
{
    addMember("26000011", "李四");
    addMember("26000012", "王五");
    exec("UPDATE Member SET JSRNum='26000001' WHERE theNum='26000012'");
    auto w = window();
    ui::ScriptedModals modals;
    findMember(*w, "张三");
    EXPECT_EQ(w->Edit1->text(), card);
    EXPECT_EQ(w->Ed_Num->text(), card);
    EXPECT_EQ(w->Edit2->text(), "金卡");
    EXPECT_EQ(w->Edit11->text(), "100");
    EXPECT_TRUE(modals.shown().isEmpty());

    findMember(*w, "2600001");  // two cards hold it
    EXPECT_EQ(modals.shown(), QStringList{"TfrmFindMember"});
    EXPECT_TRUE(w->Edit1->text().isEmpty());

    findMember(*w, "nobody");
    EXPECT_EQ(modals.shown().last(), "TfrmNewMember");

    // Taking a row in the lookup fills the panel, the introducer, and unticks walk-in.
    w->CheckBox1->setChecked(true);
    w->CheckBox3->setChecked(false);
    modals.setHandler([](QDialog *d) {
        auto *f = qobject_cast<TfrmFindMember *>(d);
        if (!f) return 0;
        f->DBGrid1->selectRow(1);
        f->DBGrid1DblClick();
        return int(QDialog::Accepted);
    });
    findMember(*w, "2600001");
    EXPECT_EQ(w->Edit1->text(), "26000012");
    EXPECT_EQ(w->myJSRNum, "26000001");
    EXPECT_FALSE(w->CheckBox1->isChecked());
    EXPECT_TRUE(w->CheckBox3->isChecked());
}

TEST_F(XFTest, AQuickEnteredMemberTakesOverTheSaleWithoutTheIntroducerBefore)
{
    addMember("26000012", "王五");
    exec("UPDATE Member SET JSRNum='26000001' WHERE theNum='26000012'");
    auto w = window();
    findMember(*w, "王五");
    ASSERT_EQ(w->myJSRNum, "26000001");
    ui::ScriptedModals modals([](QDialog *d) {
        auto *n = qobject_cast<TfrmNewMember *>(d);
        if (!n) return 0;
        n->Edit2->setText("赵六");
        n->DBLookupComboBox2->setText("金卡");
        n->BitBtn1Click();
        return int(QDialog::Accepted);
    });
    findMember(*w, "nobody");
    ASSERT_EQ(modals.shown(), QStringList{"TfrmNewMember"});
    ASSERT_EQ(w->Edit3->text(), "赵六") << msgs.last().toStdString();
    const QString newCard = w->Edit1->text();
    EXPECT_NE(newCard, "26000012");
    EXPECT_TRUE(w->myJSRNum.isEmpty());
    enterGoods(*w, 1, "b1");
    w->CheckBox2->setChecked(true);
    save(*w);
    EXPECT_EQ(rows("select MNum,JSRNum from UXF"), QStringList{newCard + "|"});
}

TEST_F(XFTest, GoodsRowsTakeTheMemberTypeDiscountAndNeverRepeat)
{
    const QString a2 = addGoods("a2", "雪碧", "饮料", "4");
    auto w = window();
    findMember(*w, card);
    enterGoods(*w, 1, "a1");
    EXPECT_EQ(row(*w, 1), QStringList({"a1", "可乐", "个", "10", "1", "90", "9", a1, "饮料", "A1", "6", "是", "5"}));
    // Enter after the goods came moves on to the price.
    EXPECT_EQ(w->StringGrid1->Col(), TfrmXF_In::cPrice);
    // "a" matches a1 and a2; a1 is already in the grid, so a2 comes straight in.
    ui::ScriptedModals modals;
    enterGoods(*w, 2, "a");
    EXPECT_TRUE(modals.shown().isEmpty());
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cID, 2), a2);
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cMoney, 2), "3.6");
    EXPECT_EQ(w->Edit25->text(), "2");
    EXPECT_EQ(w->Edit17->text(), "12.6");
    EXPECT_EQ(w->Edit19->text(), "12.6");
    EXPECT_EQ(w->Edit27->text(), "12.6");

    // Several matches open the lookup; the row taken there fills the grid row.
    addGoods("c1", "咖啡", "饮料", "30");
    addGoods("c2", "茶", "饮料", "8");
    modals.setHandler([](QDialog *d) {
        auto *f = qobject_cast<TfrmFindShop *>(d);
        if (!f) return 0;
        EXPECT_EQ(f->windowTitle(), "商品查找");
        f->DBGrid1->selectRow(1);  // ordered by category, then name: 咖啡, 茶
        f->myLoad();
        return int(QDialog::Accepted);
    });
    enterGoods(*w, 3, "c");
    EXPECT_EQ(modals.shown(), QStringList{"TfrmFindShop"});
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cName, 3), "茶");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cMoney, 3), "7.2");

    // Nothing found: the quick goods entry opens.
    enterGoods(*w, 4, "zzz");
    EXPECT_EQ(modals.shown().last(), "TfrmNewShop");
}

TEST_F(XFTest, QuickGoodsEntryFillsTheRowWithTheDiscount)
{
    auto w = window();
    findMember(*w, card);
    ui::ScriptedModals modals([](QDialog *d) {
        auto *n = qobject_cast<TfrmNewShop *>(d);
        if (!n) return 0;
        n->DBLookupComboBox1->setText("饮料");
        n->Edit1->setText("橙汁");
        n->Edit2->setText("瓶");
        n->Edit4->setText("5");
        n->Edit6->setText("2");
        n->BitBtn1Click();
        return n->result();
    });
    enterGoods(*w, 1, "橙");
    const QString id = one("select ID from SShop where theName='橙汁'");
    EXPECT_EQ(row(*w, 1),
              QStringList({"2603070001", "橙汁", "瓶", "5", "1", "90", "4.5", id, "饮料", "CZ", "2", "是", "0"}));
    EXPECT_EQ(w->Edit19->text(), "4.5");
}

TEST_F(XFTest, UniqueGoodsHideWhatALiveSaleHolds)
{
    myDeptWY = "True";
    exec("INSERT INTO UXF (theNum,theDel) VALUES ('X1','否')");
    exec("INSERT INTO UXF_List (theNum,SID) VALUES ('X1'," + a1 + ")");
    auto w = window();
    ui::ScriptedModals modals;
    enterGoods(*w, 1, "a1");
    EXPECT_EQ(modals.shown(), QStringList{"TfrmNewShop"});
    exec("UPDATE UXF SET theDel='是'");
    enterGoods(*w, 1, "a1");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cID, 1), a1);
}

TEST_F(XFTest, WalkInRowsGetFullPrice)
{
    auto w = window();
    findMember(*w, card);
    w->CheckBox1->setChecked(true);
    w->CheckBox1Click();
    EXPECT_TRUE(w->Edit1->text().isEmpty());
    EXPECT_FALSE(w->CheckBox3->isChecked());
    enterGoods(*w, 1, "a1");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cZK, 1), "100");
    EXPECT_EQ(w->Edit19->text(), "10");
}

TEST_F(XFTest, KeysTypedIntoTheGridFollowTheColumnRules)
{
    auto w = window();
    w->show();
    QApplication::setActiveWindow(w.get());
    findMember(*w, card);
    enterGoods(*w, 1, "a1");
    w->StringGrid1->setFocus();
    auto type = [&](const QString &keys) {
        for (QChar ch : keys) {
            QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : w->StringGrid1;
            if (ch == u'\b')
                QTest::keyClick(target, Qt::Key_Backspace);
            else if (ch == u'\r')
                QTest::keyClick(target, Qt::Key_Return);
            else
                QTest::keyClick(target, ch.toLatin1());
        }
    };
    // Quantity: typing replaces the "1"; letters are dropped; each release
    // recomputes the row and the totals.
    w->StringGrid1->moveTo(TfrmXF_In::cCount, 1);
    type("3x");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cCount, 1), "3");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cMoney, 1), "27");
    EXPECT_EQ(w->Edit17->text(), "27");
    // Enter: quantity to discount; the discount takes no point.
    type("\r");
    EXPECT_EQ(w->StringGrid1->Col(), TfrmXF_In::cZK);
    w->StringGrid1->setCells(TfrmXF_In::cZK, 1, "");
    type("8.0");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cZK, 1), "80");
    EXPECT_EQ(w->Edit17->text(), "24");
    type("\r");
    EXPECT_EQ(w->StringGrid1->Row(), 2);
    EXPECT_EQ(w->StringGrid1->Col(), TfrmXF_In::cCode);
    // The name cannot be typed into; the code of a filled row can only be erased.
    w->StringGrid1->moveTo(TfrmXF_In::cName, 1);
    type("z");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cName, 1), "可乐");
    w->StringGrid1->moveTo(TfrmXF_In::cCode, 1);
    type("q");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cCode, 1), "a1");
    type("\b\b");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cCode, 1), "");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cID, 1), "");
    EXPECT_EQ(w->Edit17->text(), "0");
    EXPECT_EQ(w->Edit25->text(), "0");
    // A typed code and Enter in an empty row fetch the goods.
    w->StringGrid1->moveTo(TfrmXF_In::cCode, 2);
    type("b1\r");
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cID, 2), b1);
    EXPECT_EQ(w->StringGrid1->Col(), TfrmXF_In::cPrice);
}

TEST_F(XFTest, TotalsKeepTheExtraDiscountAndCountOnlyGoodsRows)
{
    auto w = window();
    findMember(*w, card);
    enterGoods(*w, 1, "a1");  // 9
    w->Edit21->setText("90");
    EXPECT_EQ(w->Edit19->text(), "8.1");
    w->Edit18->setText("1.1");
    EXPECT_EQ(w->Edit19->text(), "7");
    EXPECT_EQ(w->Edit27->text(), "7");
    enterGoods(*w, 2, "b1");  // 20 more; the reduction goes back to 0, the 90% stays
    EXPECT_EQ(w->Edit17->text(), "29");
    EXPECT_EQ(w->Edit18->text(), "0");
    EXPECT_EQ(w->Edit19->text(), "26.1");
    EXPECT_EQ(w->Edit27->text(), "26.1");
    // A quantity typed into a row without goods counts nowhere.
    setCell(*w, TfrmXF_In::cCount, 5, "7");
    EXPECT_EQ(w->Edit25->text(), "2");
    // Removing a row, then all rows.
    w->StringGrid1->moveTo(TfrmXF_In::cName, 1);
    w->N1Click();
    EXPECT_EQ(w->Edit17->text(), "20");
    w->N2Click();
    EXPECT_EQ(w->Edit17->text(), "0");
    EXPECT_EQ(w->StringGrid1->Cells(0, 2), "@ 2");
    // A lone "." in the reduction is a conversion error, the window stays.
    w->Edit18->setText(".");
    EXPECT_TRUE(msgs.last().contains("不是有效的数值")) << msgs.last().toStdString();
}

TEST_F(XFTest, MemberSaleStoresExactRowsAndCounters)
{
    auto w = window();
    twoGoods(*w);
    w->Edit18->setText("3");
    w->Edit27->setText("30");
    w->Edit20->setText("老顾客's");
    save(*w);
    EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
    EXPECT_EQ(rows("select theDate,theType,theNum,theHJ,theZR,theSJ,MType,Remark,theDel,theUser,MNum,theJF,theZK,"
                   "theDX,theCB,theCount,JSRNum,JSRTC,TCJF,TCMoney,WName,myDate,theYE,theSum from UXF"),
              QStringList{"2026-03-07|会员|2603070001|35|3|30|现金|老顾客's|否|admin|26000001|35|100|叁拾伍元整|24|3||"
                          "否|0|0|小王|2026-03-07|5|38"});
    EXPECT_EQ(rows("select theNum,SNum,theName,theUnit,thePrice,theCount,theMoney,theType,thePY,myBH,theCB,theZK,SID "
                   "from UXF_List order by ID"),
              QStringList({"2603070001|a1|可乐|个|10|2|18|饮料|A1|1|6|90|" + a1,
                           "2603070001|b1|洗车|个|20|1|20|服务|B1|2|12|100|" + b1}));
    EXPECT_EQ(rows("select theNum,theMoney,theSMType,theSKR,SKDate from UXF_SK"),
              QStringList{"2603070001|30|现金|小王|2026-03-07"});
    EXPECT_EQ(member("theJF,theXF,UseCount,UseDate,theCZ,theType"), "35|35|1|2026-03-07|100|金卡");
    EXPECT_EQ(rows("select theXF,theCount from SShop order by ID"), QStringList({"2|5", "1|0"}));  // stock not kept
    // Reset for the next sale.
    EXPECT_TRUE(w->Ed_Num->text().isEmpty());
    EXPECT_TRUE(w->Edit1->text().isEmpty());
    EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cID, 1), "");
    EXPECT_EQ(w->Edit19->text(), "0");
    EXPECT_EQ(w->lastSaleNumber(), "2603070001");
}

TEST_F(XFTest, AmountReceivedAndExtraDiscountBounds)
{
    auto w = window();
    twoGoods(*w);  // 38
    w->Edit27->setText("38.01");
    const QStringList before = snapshot();
    EXPECT_EQ(saveSays(*w), "收款金额 录入错误，请重新录入！");
    w->Edit21->setText("0");
    EXPECT_EQ(saveSays(*w), "折上折 错误，请重新录入！");
    w->Edit21->setText("101");
    EXPECT_EQ(saveSays(*w), "折上折 错误，请重新录入！");
    w->Edit21->setText("");
    EXPECT_EQ(saveSays(*w), "折上折 不能为空，请录入！");
    w->Edit21->setText("100");
    w->Edit18->setText("40");
    EXPECT_EQ(saveSays(*w), "合计金额 不能小于0，请修改 折让金额！");
    EXPECT_EQ(snapshot(), before);
    w->Edit18->setText("0");  // 收款 follows 合计 again: equal is accepted
    EXPECT_EQ(w->Edit27->text(), "38");
    const int shown = msgs.count();
    save(*w);
    EXPECT_EQ(msgs.count(), shown);
    EXPECT_EQ(rows("select theHJ,theSJ,theYE,theZK from UXF"), QStringList{"38|38|0|100"});
}

TEST_F(XFTest, ChecksInOrderWriteNothing)
{
    auto w = window();
    const QStringList before = snapshot();
    EXPECT_EQ(saveSays(*w), "会员信息不能为空，请录入会员卡号！");
    findMember(*w, card);
    EXPECT_EQ(saveSays(*w), "商品信息 不能为空！请重新选择");
    enterGoods(*w, 1, "a1");
    w->DBLookupComboBox2->clearChoice();
    EXPECT_EQ(saveSays(*w), "请选择 收款人！");
    w->DBLookupComboBox2->setText("小王");
    w->DBLookupComboBox1->clearChoice();
    EXPECT_EQ(saveSays(*w), "请选择 员工姓名！");
    // A walk-in cannot pay by card.
    w->DBLookupComboBox1->setText("小王");
    w->CheckBox1->setChecked(true);
    w->CheckBox4->setChecked(true);
    EXPECT_EQ(saveSays(*w), "散客 不能用会员卡消费，请选择其它收款方式！");
    // A price turned into a non-number stops the save before anything is written.
    w->CheckBox1->setChecked(false);
    w->CheckBox4->setChecked(false);
    w->StringGrid1->setCells(TfrmXF_In::cPrice, 1, "1.2.3");
    save(*w);
    EXPECT_TRUE(msgs.last().contains("1.2.3")) << msgs.last().toStdString();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(XFTest, CardPaymentTakesTheAmountReceivedAfterThePassword)
{
    exec("UPDATE Member SET theCZ=38 WHERE ID=" + memberId);
    auto w = window();
    ui::ScriptedModals modals(password("270946"));
    twoGoods(*w);  // 38, exactly the balance
    w->CheckBox4->setChecked(true);
    save(*w);
    EXPECT_EQ(modals.shown(), QStringList{"TfrmCheckPass"});
    EXPECT_EQ(member("theCZ"), "0");
    EXPECT_EQ(rows("select MType,theSJ,theYE from UXF"), QStringList{"会员卡|38|0"});
    EXPECT_EQ(rows("select theSMType,theMoney from UXF_SK"), QStringList{"会员卡|38"});

    // Partly paid: the card gives what was received, not the whole total.
    exec("UPDATE Member SET theCZ=100 WHERE ID=" + memberId);
    twoGoods(*w);
    w->CheckBox4->setChecked(true);
    w->Edit27->setText("20");
    save(*w);
    EXPECT_EQ(member("theCZ"), "80");
    EXPECT_EQ(rows("select theSJ,theYE from UXF where theNum='2603070002'"), QStringList{"20|18"});
}

TEST_F(XFTest, CardPaymentRefusedWritesNothing)
{
    exec("UPDATE Member SET theCZ=37.99 WHERE ID=" + memberId);
    auto w = window();
    ui::ScriptedModals modals(password(""));
    twoGoods(*w);
    const QStringList before = snapshot();
    w->CheckBox4->setChecked(true);
    EXPECT_EQ(saveSays(*w), "会员 账户余额 不足，请选择其它收款方式！");
    EXPECT_FALSE(w->CheckBox4->isChecked());
    EXPECT_TRUE(modals.shown().isEmpty());
    // Enough money, but the prompt is cancelled.
    exec("UPDATE Member SET theCZ=38 WHERE ID=" + memberId);
    const QStringList before2 = snapshot();
    w->CheckBox4->setChecked(true);
    const int shown = msgs.count();
    save(*w);
    EXPECT_EQ(modals.shown(), QStringList{"TfrmCheckPass"});
    EXPECT_EQ(msgs.count(), shown);
    EXPECT_EQ(w->myPassState, "否");
    EXPECT_EQ(snapshot(), before2);
    EXPECT_NE(before, before2);
}

TEST_F(XFTest, BalanceAndStockAreCheckedAgainInsideTheSave)
{
    // While the card password prompt is open another till takes the money,
    // then the stock: the save reads both again and stores nothing.
    myDeptKC = "True";
    auto w = window();
    twoGoods(*w);
    w->CheckBox4->setChecked(true);
    QString spend;
    ui::ScriptedModals modals([&](QDialog *d) {
        exec(spend);
        return password("270946")(d);
    });
    spend = "UPDATE Member SET theCZ=37 WHERE ID=" + memberId;
    const QStringList goodsBefore = rows("select * from SShop");
    EXPECT_EQ(saveSays(*w), "会员 账户余额 不足，请选择其它收款方式！");
    EXPECT_EQ(member("theCZ,theXF,UseCount"), "37|0|0");  // the other till's change stays, nothing else
    EXPECT_EQ(count("UXF") + count("UXF_List") + count("UXF_SK"), 0);
    EXPECT_EQ(rows("select * from SShop"), goodsBefore);

    exec("UPDATE Member SET theCZ=100 WHERE ID=" + memberId);
    spend = "UPDATE SShop SET theCount=1 WHERE ID=" + a1;
    w->CheckBox4->setChecked(true);
    EXPECT_EQ(saveSays(*w), "商品 a1 可乐 库存不足！");
    EXPECT_EQ(count("UXF"), 0);
    EXPECT_EQ(member("theCZ"), "100");
}

TEST_F(XFTest, DoubleClickInTheCardBoxLooksTheMemberUp)
{
    auto w = window();
    w->show();
    w->Ed_Num->setText("张三");
    QTest::mouseDClick(w->Ed_Num, Qt::LeftButton);
    EXPECT_EQ(w->Edit1->text(), card);
}

TEST_F(XFTest, StockIsCheckedAsItIsNowOnlyWhenKeptAndNotAllowedNegative)
{
    auto w = window();
    twoGoods(*w);  // a1 x2 (stock 5), b1 untracked
    setCell(*w, TfrmXF_In::cCount, 3, "100");
    myDeptKC = "True";
    exec("UPDATE SShop SET theCount=1 WHERE ID=" + a1);  // sold elsewhere since the lookup
    const QStringList before = snapshot();
    EXPECT_EQ(saveSays(*w), "商品 a1 可乐 库存不足！");
    EXPECT_EQ(snapshot(), before);

    myDeptFKC = "True";  // negative stock allowed
    save(*w);
    EXPECT_EQ(rows("select theCount,theXF from SShop order by ID"), QStringList({"-1|2", "0|100"}));

    myDeptKC = "False";
    myDeptFKC = "False";
    twoGoods(*w);
    save(*w);
    EXPECT_EQ(rows("select theCount,theXF from SShop order by ID"), QStringList({"-1|4", "0|101"}));
    EXPECT_EQ(count("UXF"), 2);
}

TEST_F(XFTest, PointsTruncationAndThePointsBox)
{
    exec("UPDATE SShop SET thePrice=95.5 WHERE ID=" + b1);
    exec("UPDATE Member SET theZK=100 WHERE ID=" + memberId);
    auto w = window();
    findMember(*w, card);
    enterGoods(*w, 1, "b1");
    myDeptJFQL = "True";
    save(*w);
    EXPECT_EQ(rows("select theHJ,theJF from UXF"), QStringList{"95.5|95"});
    EXPECT_EQ(member("theJF"), "95");

    myDeptJFQL = "False";
    findMember(*w, card);
    enterGoods(*w, 1, "b1");
    save(*w);
    EXPECT_EQ(rows("select theJF from UXF where theNum='2603070002'"), QStringList{"95.5"});
    EXPECT_EQ(member("theJF"), "190.5");

    // Unticked: no points, but spend, visits and the visit date still change.
    findMember(*w, card);
    enterGoods(*w, 1, "b1");
    w->CheckBox3->setChecked(false);
    save(*w);
    EXPECT_EQ(rows("select theJF from UXF where theNum='2603070003'"), QStringList{"0"});
    EXPECT_EQ(member("theJF,theXF,UseCount,UseDate"), "190.5|286.5|3|2026-03-07");
}

TEST_F(XFTest, WalkInSaleTouchesNoMemberWhateverTheCardBoxHolds)
{
    addType("钻卡", "80", "2", "10");  // an upgrade a member sale would trigger
    auto w = window();
    w->CheckBox1->setChecked(true);
    w->CheckBox1Click();
    findMember(*w, card);  // a card typed after ticking walk-in
    EXPECT_EQ(w->Edit1->text(), card);
    EXPECT_TRUE(w->CheckBox1->isChecked());
    enterGoods(*w, 1, "b1");
    const QString memberBefore = member("*");
    save(*w);
    EXPECT_EQ(rows("select theType,MNum,JSRNum,theJF,theHJ from UXF"), QStringList{"散客|||0|20"});
    EXPECT_EQ(member("*"), memberBefore);
    EXPECT_EQ(rows("select theXF from SShop where ID=" + b1), QStringList{"1"});
}

TEST_F(XFTest, MemberMovesUpWhenTheSpendReachesAType)
{
    addType("钻卡", "80", "2", "30");
    auto w = window();
    twoGoods(*w);  // 38 >= 30
    save(*w);
    EXPECT_EQ(member("theType,theZK,theJFBL"), "钻卡|80|2");
}

TEST_F(XFTest, ASaveFailingAtAnyStatementLeavesTheDatabaseAsItWas)
{
    myDeptKC = "True";
    addType("钻卡", "80", "2", "30");
    ui::ScriptedModals modals(password("270946"));
    const QStringList triggers = {"BEFORE UPDATE OF theCZ ON Member",
                                  "BEFORE INSERT ON UXF_List",
                                  "BEFORE UPDATE OF theCount ON SShop",
                                  "BEFORE UPDATE OF theXF ON SShop",
                                  "BEFORE UPDATE OF theJF ON Member",
                                  "BEFORE UPDATE OF theXF ON Member",
                                  "BEFORE UPDATE OF UseCount ON Member",
                                  "BEFORE UPDATE OF UseDate ON Member",
                                  "BEFORE UPDATE OF theType ON Member",
                                  "BEFORE INSERT ON UXF",
                                  "BEFORE INSERT ON UXF_SK"};
    auto w = window();
    for (const QString &when : triggers) {
        twoGoods(*w);
        w->CheckBox4->setChecked(true);
        const QStringList before = snapshot();
        c().executeNative("CREATE TRIGGER boom " + when + " BEGIN SELECT RAISE(ABORT, 'refused'); END");
        msgs.clear();
        save(*w);
        c().executeNative("DROP TRIGGER boom");
        EXPECT_EQ(msgs.count(), 1) << when.toStdString();
        EXPECT_EQ(snapshot(), before) << when.toStdString();
        // The window keeps the sale, so it can be saved once the fault is gone.
        EXPECT_EQ(w->Edit1->text(), card) << when.toStdString();
        EXPECT_EQ(w->StringGrid1->Cells(TfrmXF_In::cID, 1), a1) << when.toStdString();
    }
    msgs.clear();
    save(*w);
    EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
    EXPECT_EQ(count("UXF"), 1);
    EXPECT_EQ(member("theCZ,theType"), "62|钻卡");
}

TEST_F(XFTest, ReceiptPrintsAfterTheCommitAndAPrinterFailureStillResets)
{
    myDeptPXP = "True";
    auto w = window();
    {
        print::ScopedTextCapture capture;
        twoGoods(*w);
        save(*w);
        ASSERT_EQ(capture.jobs().size(), 1u);
        EXPECT_TRUE(capture.jobs()[0].lines.contains("单号 2603070001[2026-03-07]"));
        EXPECT_TRUE(capture.jobs()[0].lines.contains("合计 38.00"));

        capture.failing = true;
        twoGoods(*w);
        save(*w);
        EXPECT_TRUE(msgs.last().contains("2603070002 已保存")) << msgs.last().toStdString();
        EXPECT_EQ(count("UXF"), 2);
        EXPECT_TRUE(w->Edit1->text().isEmpty());
        // A second press finds an empty window: the sale cannot be stored twice.
        EXPECT_EQ(saveSays(*w), "会员信息不能为空，请录入会员卡号！");
        EXPECT_EQ(count("UXF"), 2);
    }
}

// The document switch opens the sale document after the commit; the receipt
// stays with its own switch.  A report failure says the sale was saved.
TEST_F(XFTest, DocumentSwitchShowsTheSaleDocumentAfterTheCommit)
{
    ScopedPreviewDouble preview;
    myDeptPDJ = "True";
    auto w = window();
    print::ScopedTextCapture capture;
    twoGoods(*w);
    save(*w);
    EXPECT_EQ(capture.jobs().size(), 0u);
    EXPECT_EQ(preview.shown, QStringList{"lyrR_XF"});
    EXPECT_EQ(count("UXF", "theNum='" + frmDM->ADOQuery4.value("theNum") + "'"), 1);

    // A template whose script does not compile fails after the commit.
    frmDM->lyrR_XF->SetScriptText({"begin", "  x := ;", "end."});
    msgs.clear();
    twoGoods(*w);
    save(*w);
    EXPECT_EQ(count("UXF"), 2);
    ASSERT_EQ(msgs.count(), 1);
    EXPECT_TRUE(msgs.last().startsWith("消费单 2603070002 已保存，但消费单据没有打印")) << msgs.last().toStdString();
    EXPECT_TRUE(w->Edit1->text().isEmpty());
}

TEST_F(XFTest, WithoutContinuousEntryTheWindowClosesWithAMessage)
{
    auto w = window();
    w->CheckBox2->setChecked(false);
    twoGoods(*w);
    EXPECT_EQ(saveSays(*w), "恭喜！恭喜！ 消费录入 保存成功！");
    EXPECT_EQ(w->result(), QDialog::Accepted);
}

TEST_F(XFTest, OpenedFromTheMemberListFindsTheCardOnShow)
{
    auto w = window();
    w->Ed_Num->setText(card);
    w->myFrom = "m";
    w->FormShow();
    EXPECT_EQ(w->Edit3->text(), "张三");
}

}  // namespace

// A date typed with its separators stays in the date box, key by key as the
// window system sends them: the extra discount and the totals keep their
// values, nothing is saved while typing, and the sale is stored on the day
// typed.
TEST_F(XFTest, ADateTypedWithSeparatorsIsTheSaleDateAndTouchesNoOtherField)
{
    struct Case {
        const char *typed;
        QString stored;
    } cases[] = {{"2026-1-5", "2026-01-05"},
                 {"2026/01/05", "2026-01-05"},
                 {"2026-01-05", "2026-01-05"},
                 {"20260105", "2026-01-05"},
                 {"2026-12-07", "2026-12-07"},
                 {"2026-1-", "2026-01-07"}};
    int saved = 0;
    for (const Case &c : cases) {
        auto w = window();
        w->show();
        QApplication::setActiveWindow(w.get());
        w->CheckBox1->setChecked(true);
        w->CheckBox1Click();
        enterGoods(*w, 1, "b1");
        // Ctrl+End in the grid, then Tab: the year of the date is selected.
        w->StringGrid1->setFocus();
        QTest::keyClick(w->windowHandle(), Qt::Key_End, Qt::ControlModifier);
        w->Edit18->setText("13");  // the sale comes to 7.00
        const QStringList fields{w->Edit21->text(), w->Edit18->text(), w->Edit19->text(), w->Edit27->text()};
        ASSERT_EQ(w->Edit19->text(), "7");
        QTest::keyClick(w->windowHandle(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), w->DateTimePicker1) << c.typed;
        EXPECT_EQ(w->DateTimePicker1->currentSection(), QDateTimeEdit::YearSection);
        for (const char *k = c.typed; *k; ++k) QTest::keyClick(w->windowHandle(), *k);
        EXPECT_EQ(QApplication::focusWidget(), w->DateTimePicker1) << c.typed;
        EXPECT_EQ(w->DateTimePicker1->date().toString("yyyy-MM-dd"), c.stored) << c.typed;
        EXPECT_EQ(QStringList({w->Edit21->text(), w->Edit18->text(), w->Edit19->text(), w->Edit27->text()}), fields)
                << c.typed;
        EXPECT_EQ(rows("select count(*) from UXF"), QStringList{QString::number(saved)});
        save(*w);
        ++saved;
        EXPECT_EQ(rows("select myDate,theZK,theHJ,theSJ from UXF order by ID desc limit 1"),
                  QStringList{c.stored + "|100|7|7"})
                << c.typed;
    }
}

