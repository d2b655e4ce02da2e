// Gifts and gift exchange: the gifts window, the gift lookup, the exchange
// checks, the save and deletion each in one transaction, and the list.
#include "accounts_fixture.h"

#include "core/MenuOpeners.h"
#include "members/AccountStore.h"
#include "members/DH_In.h"
#include "members/DH_M.h"
#include "members/LP.h"
#include "platform/print/textprinter.h"

#include <QApplication>
#include <QTest>
#include <memory>

namespace {

class ExchangeTest : public AccountsTest {
protected:
    void SetUp() override
    {
        AccountsTest::SetUp();
        addGift("雨伞", "50");
        addGift("水杯", "30");
        addGift("水壶", "40");
    }
    void addGift(const QString &name, const QString &points) { EXPECT_EQ(members::addGift(c(), name, points, ""), ""); }
    std::unique_ptr<TfrmDH_In> window()
    {
        auto w = std::make_unique<TfrmDH_In>();
        w->Ed_Num->setText(card);
        w->myFind();
        return w;
    }
    QString saveSays(TfrmDH_In &w, const QString &gift, const QString &points, const QString &count)
    {
        if (w.Panel->isEmpty()) {
            w.Ed_Num->setText(card);
            w.myFind();
        }
        w.Edit17->setText(gift);
        w.Edit18->setText(points);
        w.Edit19->setText(count);
        msgs.clear();
        w.BitBtn1->click();
        return msgs.last();
    }
};

TEST_F(ExchangeTest, GiftsWindowAddsChecksAndChangesState)
{
    TfrmLP w;
    EXPECT_EQ(w.ADOQuery1.RecordCount(), 3);
    w.Edit1->setText("雨伞");
    w.Edit2->setText("10");
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "礼品名称 已存在，请重新录入！");
    w.Edit1->setText("毛巾");
    w.Edit2->setText("5-5");
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "所需积分 不是有效的数字，请重新录入！");
    EXPECT_EQ(count("ULP"), 3);
    w.Edit2->setText("12");
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 礼品信息 保存成功！");
    EXPECT_EQ(rows("select theName,theJF,theState,thePY,theDel from ULP where theName='毛巾'"),
              QStringList{"毛巾|12|启用|MJ|否"});
    EXPECT_TRUE(w.Edit1->text().isEmpty());
    // Disabled: still listed here, no longer found by the exchange.
    w.ADOQuery1.First();
    w.T1Click();
    EXPECT_EQ(one("select theState from ULP where theName='雨伞'"), "停用");
    EXPECT_EQ(w.ADOQuery1.RecordCount(), 4);
    auto x = window();
    x->Edit17->setText("雨伞");
    x->myFindLP();
    EXPECT_EQ(msgs.last(), "礼品不存在，请直接录入礼品名称和所需积分！");
    // Deleted: gone from the list, and its name may come again.
    w.ADOQuery1.First();
    w.D1Click();
    EXPECT_EQ(w.ADOQuery1.RecordCount(), 3);
    w.Edit1->setText("雨伞");
    w.Edit2->setText("60");
    w.BitBtn2Click();
    EXPECT_EQ(count("ULP", "theName='雨伞' and theDel='否'"), 1);
}

TEST_F(ExchangeTest, GiftSearchFillsNameAndPointsAndCountOne)
{
    auto w = window();
    w->Edit17->setText("YS");
    w->myFindLP();
    EXPECT_EQ(w->Edit17->text(), "雨伞");
    EXPECT_EQ(w->Edit18->text(), "50");
    EXPECT_EQ(w->Edit19->text(), "1");
    // Several: the lookup; Esc leaves the fields alone, Enter takes the row.
    w->Edit17->setText("水");
    {
        ui::ScriptedModals modals([](QDialog *d) {
            auto *f = qobject_cast<TfrmFindLP *>(d);
            EXPECT_NE(f, nullptr);
            EXPECT_EQ(f->ADOQuery1.RecordCount(), 2);
            return QDialog::Rejected;
        });
        w->myFindLP();
    }
    EXPECT_EQ(w->Edit18->text(), "50");
    {
        ui::ScriptedModals modals([](QDialog *d) {
            static_cast<TfrmFindLP *>(d)->takeRow();
            return QDialog::Accepted;
        });
        w->myFindLP();
    }
    EXPECT_EQ(w->Edit17->text(), "水杯");
    EXPECT_EQ(w->Edit18->text(), "30");
}

TEST_F(ExchangeTest, PointsMustSufficeAndNumbersAreNumbers)
{
    auto w = window();
    const QStringList before = snapshot();
    EXPECT_EQ(saveSays(*w, "雨伞", "50", "3"), "该会员 积分不足，不能兑换！");
    for (const char *bad : {"5-5", "--5", "-", "1.2.3"})
        EXPECT_EQ(saveSays(*w, "雨伞", bad, "1"), "所需积分 不是有效的数字，请重新录入！") << bad;
    // "0" is emptied in the count, not in the gift's name.
    EXPECT_EQ(saveSays(*w, "雨伞", "50", "0"), "数量 不能为空，请重新录入！");
    EXPECT_EQ(saveSays(*w, "", "50", "1"), "礼品名称 不能为空，请重新录入！");
    EXPECT_EQ(saveSays(*w, "雨伞", "", "1"), "所需积分 不能为空，请重新录入！");
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(saveSays(*w, "0", "50", "2"), "");
    EXPECT_EQ(rows("select MLP,MJF,MCount from UDH"), QStringList{"0|100|2"});
    EXPECT_EQ(member("theJF"), "0");
}

TEST_F(ExchangeTest, TwoGiftsTakeTheTotalAndTheSameGiftWaitsForTheDeletion)
{
    auto w = window();
    w->Edit20->setText("it's");
    EXPECT_EQ(saveSays(*w, "雨伞", "50", "2"), "");
    EXPECT_EQ(member("theJF"), "0");
    EXPECT_EQ(rows("select theNum,MNum,MJF,MLP,MCount,Remark,theDel,WName,myDate from UDH"),
              QStringList{"2603070001|" + card + "|100|雨伞|2|it's|否|小王|2026-03-07"});
    EXPECT_TRUE(w->Panel->isEmpty());  // continuous entry
    exec("UPDATE Member SET theJF=500");
    EXPECT_EQ(saveSays(*w, "雨伞", "50", "1"), "会员 " + card + " 已经兑换 雨伞 ！");
    EXPECT_EQ(count("UDH"), 1);

    auto l = std::make_unique<TfrmDH_M>();
    l->BitBtn1Click();
    ASSERT_EQ(l->rowCount(), 1);
    EXPECT_EQ(l->total("兑换积分"), "100");
    l->D1Click();
    EXPECT_EQ(member("theJF"), "600");
    EXPECT_EQ(l->rowCount(), 0);
    EXPECT_EQ(l->total("兑换积分"), "");
    EXPECT_EQ(saveSays(*w, "雨伞", "50", "1"), "");
    EXPECT_EQ(member("theJF"), "550");
}

TEST_F(ExchangeTest, ASaveOrDeletionRefusedAtAnyWriteLeavesTheDatabaseAsItWas)
{
    auto w = window();
    w->CheckBox3->setChecked(true);
    print::ScopedTextCapture capture;
    for (const QString &when : {QString("BEFORE UPDATE OF theJF ON Member"), QString("BEFORE INSERT ON UDH")}) {
        const QStringList before = snapshot();
        refusing(when, [&] { saveSays(*w, "雨伞", "50", "2"); });
        EXPECT_EQ(msgs.count(), 1) << when.toStdString();
        EXPECT_EQ(snapshot(), before) << when.toStdString();
        EXPECT_EQ(capture.jobs().size(), 0u);
        EXPECT_EQ(w->Panel->card(), card);
    }
    w->BitBtn1->click();
    EXPECT_EQ(member("theJF"), "0");
    ASSERT_EQ(capture.jobs().size(), 1u);
    EXPECT_TRUE(capture.jobs()[0].lines.contains("兑换  雨伞"));
    for (const QString &when :
         {QString("BEFORE UPDATE OF theJF ON Member"), QString("BEFORE UPDATE OF theDel ON UDH")}) {
        const QStringList before = snapshot();
        refusing(when, [&] { EXPECT_THROW(members::deleteExchange(c(), "2603070001"), vdb::DbError); });
        EXPECT_EQ(snapshot(), before) << when.toStdString();
    }
    EXPECT_EQ(members::deleteExchange(c(), "2603070001"), "");
    EXPECT_EQ(member("theJF"), "100");
}

TEST_F(ExchangeTest, APrinterFailureSaysSavedNotPrintedAndStillResets)
{
    auto w = window();
    w->CheckBox3->setChecked(true);
    print::ScopedTextCapture capture;
    capture.failing = true;
    EXPECT_TRUE(saveSays(*w, "雨伞", "50", "1").contains("兑换单 2603070001 已保存，但小票没有打印"));
    EXPECT_TRUE(w->Panel->isEmpty());
    msgs.clear();
    w->BitBtn1->click();
    EXPECT_EQ(msgs.last(), "会员信息不能为空，请录入会员卡号！");
    EXPECT_EQ(count("UDH"), 1);
}

TEST_F(ExchangeTest, ListFiltersOnAnyPartOfTheGiftAndOpensForACard)
{
    auto w = window();
    saveSays(*w, "雨伞", "10", "1");
    saveSays(*w, "水杯", "10", "1");
    const velmora::Opener open = velmora::findOpener("403");
    ASSERT_TRUE(open);
    std::unique_ptr<QWidget> lw(open(nullptr));
    auto *l = qobject_cast<TfrmDH_M *>(lw.get());
    ASSERT_NE(l, nullptr);
    l->showForCard(card);
    EXPECT_EQ(l->rowCount(), 2);
    l->Edit2->setText("杯");
    emit l->Edit2->textEdited(l->Edit2->text());  // as typed
    EXPECT_TRUE(l->CheckBox3->isChecked());
    l->BitBtn1Click();
    ASSERT_EQ(l->rowCount(), 1);
    EXPECT_EQ(l->field("礼品名称"), "水杯");
    EXPECT_TRUE(velmora::cardWindow("402"));
}

}  // namespace

// Points below 0 would give the member points: neither a gift nor an
// exchange takes them, typed as a clerk types them.
TEST_F(ExchangeTest, NegativePointsAreRefusedForGiftsAndExchanges)
{
    TfrmLP g;
    g.show();
    QApplication::setActiveWindow(&g);
    g.Edit1->setFocus();
    g.Edit1->setText("毛巾");  // Chinese comes from the input method
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), "-10");
    EXPECT_EQ(g.Edit2->text(), "-10");
    msgs.clear();
    g.BitBtn2->click();
    EXPECT_EQ(msgs.last(), "所需积分 不能为负数，请重新录入！");
    EXPECT_EQ(QApplication::focusWidget(), g.Edit2);
    EXPECT_EQ(count("ULP", "theName='毛巾'"), 0);
    EXPECT_EQ(members::addGift(c(), "毛巾", "-0.5", ""), "所需积分 不能为负数，请重新录入！");
    g.Edit2->clear();
    QTest::keyClicks(g.Edit2, "0");
    g.BitBtn2->click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 礼品信息 保存成功！");

    auto w = std::make_unique<TfrmDH_In>();
    w->show();
    QApplication::setActiveWindow(w.get());
    w->Ed_Num->setFocus();
    QTest::keyClicks(w->Ed_Num, card);
    QTest::keyClick(w->Ed_Num, Qt::Key_Return);
    ASSERT_EQ(w->Panel->card(), card);
    const QStringList before = snapshot();
    w->Edit17->setText("雨伞");
    w->Edit18->setFocus();
    QTest::keyClicks(w->Edit18, "-100");
    EXPECT_EQ(w->Edit18->text(), "-100");
    w->Edit19->setText("5");
    msgs.clear();
    w->BitBtn1->click();
    EXPECT_EQ(msgs.last(), "所需积分 不能为负数，请重新录入！");
    EXPECT_EQ(QApplication::focusWidget(), w->Edit18);
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(member("theJF"), "100");
    // However the count comes, below 0 it is refused too.
    members::Exchange x{card, "水杯", "30", "-2", "小王", "", "2026-03-07", "2026-03-07", "admin"};
    EXPECT_EQ(members::saveExchange(c(), x).refusal, "数量 不能为负数，请重新录入！");
    EXPECT_EQ(snapshot(), before);
    // A gift of 0 points may still be taken.
    EXPECT_EQ(saveSays(*w, "毛巾", "0", "1"), "");
    EXPECT_EQ(member("theJF"), "100");
}
