// The member list windows and the remaining member dialogs used with the
// keyboard alone: Enter and Esc in any field, the grid included, neither
// change the database nor close the window, and each opens with the focus
// in its first filter.
#include "accounts_fixture.h"
#include "keys.h"

#include "members/AccountStore.h"
#include "members/CZ_In.h"
#include "members/CZ_M.h"
#include "members/DH_In.h"
#include "members/DH_M.h"
#include "members/LP.h"
#include "members/MemberList.h"
#include "members/Reminders.h"
#include "members/ZJJF.h"
#include "platform/ui/lookupcombo.h"

#include <QDateEdit>
#include <QDir>
#include <QTableView>
#include <memory>

namespace {

class ListKeysTest : public AccountsTest {
protected:
    void SetUp() override
    {
        AccountsTest::SetUp();
        addMember("26000002", "李四", "theBir='1990-03-07'");
        exec("INSERT INTO MJN (theNum,theName,theJNR,Remark) VALUES ('26000001','结婚','2010-03-08','')");
        exec("INSERT INTO UCZ (theDate,myDate,MNum,MCZ,MZS,MType,theDel,theNum) VALUES "
             "('2026-03-07','2026-03-07','26000001',50,5,'现金','否','2603070001')");
        ASSERT_TRUE(members::addGift(c(), "水杯", "10", "").isEmpty());
        exec("INSERT INTO UDH (theDate,myDate,MNum,MJF,MLP,MCount,theDel,theNum) VALUES "
             "('2026-03-07','2026-03-07','26000001',10,'水杯',1,'否','2603070001')");
        ASSERT_TRUE(members::addManualPoints(c(), card, "5", "", "2026-03-07", "admin").isEmpty());
    }
    // A list shown with its rows, a row selected, then every field and the
    // grid take Enter and Esc.
    void checkList(velmora::TListFrame &w, QWidget *firstFilter)
    {
        SCOPED_TRACE(w.metaObject()->className());
        w.show();
        EXPECT_EQ(w.focusWidget(), firstFilter);
        w.BitBtn1Click();
        if (w.rowCount() > 0) w.selectRow(0);
        const int rows = w.rowCount();
        expectKeysChangeNothing(w, [this] { return snapshot(); });
        EXPECT_EQ(w.rowCount(), rows);
        // Tab and Shift+Tab leave the grid: the buttons above it are reached.
        const QList<QWidget *> chain = tabChainOf(w, w.DBGrid1);
        for (QWidget *b : {w.BitBtn1, w.BitBtn3, w.BitBtn2})
            if (b->isVisibleTo(&w) && b->isEnabled()) EXPECT_TRUE(chain.contains(b)) << describeChain(chain);
        w.DBGrid1->setFocus();
        QTest::keyClick(w.DBGrid1, Qt::Key_Tab, Qt::ShiftModifier);
        EXPECT_NE(focusedControl(), w.DBGrid1);
        EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
    }
};

TEST_F(ListKeysTest, ListWindowsChangeNothingOnEnterOrEsc)
{
    ui::ScriptedModals modals;  // whatever a key opens is closed unused
    {
        TfrmMember_M w;
        checkList(w, w.DBLookupComboBox1);
        EXPECT_GT(w.rowCount(), 0);
    }
    {
        TfrmCZ_M w;
        checkList(w, w.DateTimePicker1);
        EXPECT_EQ(w.rowCount(), 1);
    }
    {
        TfrmDH_M w;
        checkList(w, w.DateTimePicker1);
        EXPECT_EQ(w.rowCount(), 1);
    }
    {
        TfrmSRTX w;
        checkList(w, w.DateTimePicker1);
    }
    {
        TfrmJNRTX w;
        checkList(w, w.DateTimePicker1);
    }
    {
        TfrmM_Q w;
        checkList(w, w.DBLookupComboBox1);
        EXPECT_GT(w.rowCount(), 0);
    }
}

// Each date box of the member lists and reminders, and of the account and
// anniversary windows, takes one Tab press.
TEST_F(ListKeysTest, EveryDateBoxIsOneTabStop)
{
    ui::ScriptedModals modals;
    expectEachDateBoxIsOneStop({{[] { return new TfrmCZ_M; }, 2},
                                {[] { return new TfrmDH_M; }, 2},
                                {[] { return new TfrmSRTX; }, 2},
                                {[] { return new TfrmJNRTX; }, 2},
                                {[] { return new TfrmCZ_In; }, 1},
                                {[] { return new TfrmDH_In; }, 1},
                                {[this] {
                                     auto *w = new TfrmMJN;
                                     w->myNum = card;
                                     return w;
                                 },
                                 1}});
}

TEST_F(ListKeysTest, MemberDialogsChangeNothingOnEnterOrEsc)
{
    ui::ScriptedModals modals;
    const auto state = [this] { return snapshot(); };
    {
        TfrmZJJF_List w;
        w.myNum = card;
        w.show();
        EXPECT_EQ(w.focusWidget(), w.DBGrid1);
        expectKeysChangeNothing(w, state);
    }
    {
        const QString folder = dir.filePath("prog/");
        QDir().mkpath(folder + "Music");
        TfrmSound w(folder);
        expectKeysChangeNothing(w, state);
        EXPECT_TRUE(QDir(folder + "Music").entryList(QDir::Files).isEmpty());
    }
}

TEST_F(ListKeysTest, TheGiftLookupTakesOnEnterAndClosesEmptyOnEsc)
{
    QStringList taken;
    auto lookup = [&] {
        auto w = std::make_unique<TfrmFindLP>();
        w->ADOQuery1.setConnection(&c());
        w->ADOQuery1.OpenSql("select theName as 礼品名称,theJF as 所需积分,Remark as 备注 from ULP");
        w->onTaken = [&](const GiftChoice &g) { taken << g.name + " " + g.points; };
        w->show();
        EXPECT_EQ(w->focusWidget(), w->DBGrid1);
        expectOnlyTheNamedDefault(*w);
        return w;
    };
    auto esc = lookup();
    QTest::keyClick(esc->DBGrid1, Qt::Key_Escape);
    EXPECT_FALSE(esc->isVisible());
    EXPECT_NE(esc->result(), QDialog::Accepted);
    EXPECT_TRUE(taken.isEmpty());

    auto enter = lookup();
    QTest::keyClick(enter->DBGrid1, Qt::Key_Return);
    EXPECT_EQ(enter->result(), QDialog::Accepted);
    EXPECT_EQ(taken, QStringList{"水杯 10"});
}

}  // namespace
