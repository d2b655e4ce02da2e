// The openers the main window and the member list call.
#include "fixture.h"
#include "members/CardWindows.h"
#include "members/MType.h"
#include "members/MemberEntry.h"
#include "members/Openers.h"

namespace {

using OpenersTest = MembersTest;

TEST_F(OpenersTest, MenuOpenersPrepareTheirWindows)
{
    QStringList seen;
    ui::ScriptedModals modals([&](QDialog *d) {
        if (auto *in = qobject_cast<TfrmMember_In *>(d)) {
            EXPECT_EQ(in->Lab_ID->text(), "0");
            EXPECT_EQ(in->Edit1->text(), "26000001");
            EXPECT_EQ(in->DBLookupComboBox2->Text(), "普通会员");
            EXPECT_TRUE(in->CheckBox1->isChecked());
        } else if (auto *t = qobject_cast<TfrmMType *>(d)) {
            EXPECT_EQ(t->ADOQuery1.RecordCount(), 1);
            EXPECT_EQ(t->focusWidget(), t->Edit1);
        }
        seen << d->windowTitle();
        return int(QDialog::Rejected);
    });
    members::openMemberIn(nullptr);
    members::openMType(nullptr);
    members::openCardChange(nullptr);
    members::openMemberView(nullptr, "X");
    members::openMemberPass(nullptr, "X");
    EXPECT_EQ(seen, QStringList({"会员录入", "会员分类", "会员换卡", "会员信息", "X"}));
}

TEST_F(OpenersTest, EditAndPinyinOpenersTellTheListAfterASave)
{
    addMember("E1", "甲");
    const QString id = one("select ID from Member where theNum='E1'");
    int refreshed = 0;
    ui::ScriptedModals modals([&](QDialog *d) {
        if (auto *in = qobject_cast<TfrmMember_In *>(d)) {
            EXPECT_EQ(in->windowTitle(), "会员修改");
            in->Edit2->setText("乙");
            in->BitBtn1Click();
        } else if (auto *py = qobject_cast<TfrmM_PY *>(d)) {
            EXPECT_EQ(py->Edit3->text(), "乙");
            py->Edit4->setText("YI");
            py->BitBtn1Click();
        }
        return d->result();
    });
    members::openMemberEdit(nullptr, id, [&] { ++refreshed; });
    EXPECT_EQ(refreshed, 1);
    members::openMemberPY(nullptr, "E1", "普通会员", "乙", "Y", [&] { ++refreshed; });
    EXPECT_EQ(refreshed, 2);
    EXPECT_EQ(one("select thePY from Member where theNum='E1'"), "YI");
    // A member that is gone opens nothing.
    members::openMemberEdit(nullptr, "999", [&] { ++refreshed; });
    EXPECT_EQ(modals.shown().size(), 2);
}

}  // namespace
