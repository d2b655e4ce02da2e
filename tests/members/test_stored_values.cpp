// The edit windows show the stored values whole and save back unchanged
// what the user did not touch, also values longer than a field takes when
// typed (an imported member, a fractional discount).
#include "fixture.h"
#include "members/CardWindows.h"
#include "members/MemberEntry.h"
#include "members/MType.h"

#include <QTest>

namespace {

class StoredValuesTest : public MembersTest {};

TEST_F(StoredValuesTest, EditWindowsKeepWhatTheUserDidNotChange)
{
    // Member type with a discount longer than its edit field's three characters.
    addType("金卡", "92.5", "1.25");
    addMember("M1", "甲", "theType='金卡', theZK=92.5, theJFBL=1.25");
    {
        TfrmMType w;
        w.DBGrid1->selectRow(1);
        ASSERT_EQ(w.ADOQuery1.value("会员分类"), "金卡");
        ui::ScriptedModals modals([&](QDialog *d) {
            auto *e = qobject_cast<TfrmMType_M *>(d);
            EXPECT_EQ(e->Edit2->text(), "92.5");
            // Typing is still held to three characters.
            e->Edit2->setFocus();
            e->Edit2->end(false);
            QTest::keyClick(e->Edit2, Qt::Key_1);
            EXPECT_EQ(e->Edit2->text(), "92.5");
            e->Edit5->setText("只改备注");
            e->BitBtn1Click();
            return e->result();
        });
        w.N5Click();
        EXPECT_EQ(modals.shown(), QStringList{"TfrmMType_M"});
    }
    EXPECT_EQ(one("select theZK from MType where theName='金卡'"), "92.5");
    EXPECT_EQ(one("select Remark from MType where theName='金卡'"), "只改备注");
    EXPECT_EQ(one("select theZK from Member where theNum='M1'"), "92.5");

    // An imported member with texts longer than the entry fields take.
    const QString name = QString(25, u'名'), phone = QString(35, u'1'), address = QString(60, u'址'),
                  plate = QString(14, u'车');
    addMember("M2", "乙");
    exec("UPDATE Member SET theName='" + name + "', thePho='" + phone + "', theAdd='" + address + "', theCP='" +
         plate + "', thePY='" + QString(25, u'Y') + "' WHERE theNum='M2'");
    const QString id = one("select ID from Member where theNum='M2'");
    {
        TfrmMember_In w;
        ASSERT_TRUE(w.myEdit(id));
        EXPECT_EQ(w.Edit2->text(), name);
        EXPECT_EQ(w.Edit3->text(), phone);
        EXPECT_EQ(w.Edit6->text(), address);
        EXPECT_EQ(w.Edit10->text(), plate);
        // A key typed at the end of a long value does not lengthen it; once
        // shortened to the limit the field takes no more than the limit.
        w.Edit2->setFocus();
        w.Edit2->end(false);
        QTest::keyClick(w.Edit2, Qt::Key_A);
        EXPECT_EQ(w.Edit2->text(), name);
        w.Edit7->setText("新备注");
        w.BitBtn1Click();
        EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 会员信息 保存成功！");
    }
    EXPECT_EQ(one("select theName from Member where theNum='M2'"), name);
    EXPECT_EQ(one("select thePho from Member where theNum='M2'"), phone);
    EXPECT_EQ(one("select theAdd from Member where theNum='M2'"), address);
    EXPECT_EQ(one("select theCP from Member where theNum='M2'"), plate);
    EXPECT_EQ(one("select Remark from Member where theNum='M2'"), "新备注");

    // The pinyin code window.
    const QString py = QString(25, u'Y');
    exec("UPDATE Member SET thePY='" + py + "' WHERE theNum='M2'");
    {
        TfrmM_PY w;
        w.setMember("M2", "普通会员", name, py);
        EXPECT_EQ(w.Edit4->text(), py);
        w.BitBtn1Click();
    }
    EXPECT_EQ(one("select thePY from Member where theNum='M2'"), py);
    // Cut by the user to the limit, the field is back to typing at most 20.
    TfrmM_PY w;
    w.setMember("M2", "普通会员", name, py);
    w.Edit4->setFocus();
    w.Edit4->end(false);
    for (int i = 0; i < 6; ++i) QTest::keyClick(w.Edit4, Qt::Key_Backspace);
    EXPECT_EQ(w.Edit4->text().size(), 19);
    QTest::keyClicks(w.Edit4, "ABC");
    EXPECT_EQ(w.Edit4->text(), QString(19, u'Y') + "A");
}

}  // namespace
