// Manual points with their history, and a member's anniversaries.
#include "accounts_fixture.h"

#include "core/ListFrame.h"
#include "members/AccountStore.h"
#include "members/ZJJF.h"
#include "keys.h"

#include <memory>

namespace {

class PointsTest : public AccountsTest {};

TEST_F(PointsTest, PointsGoOnAndOffAndTheHistoryIsNewestFirst)
{
    addMember("26000002", "李四");
    TfrmZJJF w;
    w.myNum = card;
    w.FormShow();
    EXPECT_EQ(w.Edit3->text(), "张三");
    EXPECT_EQ(w.Edit5->text(), "100");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "增加积分 不能为空！");
    for (const char *bad : {"-", ".", "5-5", "--5"}) {
        w.Edit4->setText(bad);
        w.BitBtn1Click();
        EXPECT_EQ(msgs.last(), "增加积分 不是有效的数字，请重新录入！") << bad;
    }
    EXPECT_EQ(count("UJF"), 0);
    w.Edit4->setText("30");
    w.Edit6->setText("it's");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "卡号 " + card + " 增加积分 30 保存成功！");
    w.Edit4->setText("-150");
    w.BitBtn1Click();
    EXPECT_EQ(member("theJF"), "-20");  // below zero is allowed
    EXPECT_EQ(w.Edit5->text(), "-20");
    EXPECT_TRUE(w.Edit4->text().isEmpty());
    EXPECT_EQ(members::addManualPoints(c(), "26000002", "7", "", "2026-03-07", "admin"), "");

    TfrmZJJF_List l;
    l.myNum = card;
    l.FormShow();
    ASSERT_EQ(l.ADOQuery1.RecordCount(), 2);
    EXPECT_EQ(l.ADOQuery1.value("增加积分"), "-150");
    l.ADOQuery1.Next();
    EXPECT_EQ(l.ADOQuery1.value("备注"), "it's");
}

TEST_F(PointsTest, AFailedWriteLeavesNeitherTheHistoryNorThePoints)
{
    for (const QString &when : {QString("BEFORE INSERT ON UJF"), QString("BEFORE UPDATE OF theJF ON Member")}) {
        const QStringList before = snapshot();
        refusing(when, [&] {
            EXPECT_THROW(members::addManualPoints(c(), card, "5", "", "2026-03-07", "admin"), vdb::DbError);
        });
        EXPECT_EQ(snapshot(), before) << when.toStdString();
    }
}

TEST_F(PointsTest, AnniversariesSortByMonthDayAndADeletionReturnsToNew)
{
    TfrmMJN w;
    w.myNum = card;
    w.FormShow();
    EXPECT_EQ(w.Edit2->text(), "普通会员");
    w.Edit4->setText("入会");
    w.DateTimePicker1->setDate(QDate(1999, 11, 20));
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "卡号 " + card + " 的纪念日 保存成功！");
    w.Edit4->setText("结婚");
    w.DateTimePicker1->setDate(QDate(2001, 3, 5));
    w.BitBtn2Click();
    w.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "纪念日名称 不能为空！");
    ASSERT_EQ(w.ADOQuery1.RecordCount(), 2);
    EXPECT_EQ(w.ADOQuery1.value("纪念日"), "2001-03-05");

    // Change the first, then delete it: the entry is new again.
    w.M1Click();
    EXPECT_EQ(w.Edit4->text(), "结婚");
    EXPECT_FALSE(w.BitBtn1->isEnabled());
    w.Edit4->setText("婚礼");
    w.BitBtn2Click();
    EXPECT_EQ(rows("select theName from MJN order by ID"), QStringList({"入会", "婚礼"}));
    w.ADOQuery1.First();
    w.M1Click();
    w.D1Click();
    EXPECT_EQ(count("MJN"), 1);
    EXPECT_EQ(w.myID, "0");
    w.Edit4->setText("新的");
    w.BitBtn2Click();
    EXPECT_EQ(count("MJN"), 2);

    // Only days the lunar calendar covers; the entry stays for a correction.
    for (const QDate &bad : {QDate(2709, 4, 6), QDate(1900, 12, 31), QDate(2051, 1, 1)}) {
        w.Edit4->setText("远的");
        w.DateTimePicker1->setDate(bad);
        w.BitBtn2Click();
        EXPECT_EQ(msgs.last(), "“" + bad.toString("yyyy-MM-dd") + "” 不是有效的日期，请重新录入！");
        EXPECT_EQ(w.focusWidget(), w.DateTimePicker1);
        EXPECT_EQ(w.Edit4->text(), "远的");
    }
    EXPECT_EQ(count("MJN"), 2);
}

}  // namespace

namespace {

// Tab goes name, date, remark, as the window lists them: a date typed
// after the name lands in the date box, not in the remark.
TEST_F(PointsTest, AnniversaryEntryTabsFromNameToDateToRemark)
{
    TfrmMJN w;
    w.myNum = card;
    w.show();
    QApplication::setActiveWindow(&w);
    w.Edit4->setFocus();
    QTest::keyClicks(w.Edit4, "Wedding");
    EXPECT_EQ(pressTab(), w.DateTimePicker1);
    QTest::keyClicks(QApplication::focusWidget(), "2020-5-20");
    EXPECT_EQ(pressTab(), w.Edit5);
    QTest::keyClicks(QApplication::focusWidget(), "note");
    w.BitBtn2->click();
    EXPECT_EQ(rows("select theName,theJNR,Remark from MJN"), QStringList{"Wedding|2020-05-20|note"});
    const QList<QWidget *> chain = tabChainOf(w, w.Edit4);
    ASSERT_GE(chain.size(), 3);
    EXPECT_EQ(chain.mid(0, 3), QList<QWidget *>({w.Edit4, w.DateTimePicker1, w.Edit5})) << describeChain(chain);
}

}  // namespace
