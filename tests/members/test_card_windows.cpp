// Card change, card password, password prompt, pinyin code and member view.
#include "fixture.h"
#include "members/CardWindows.h"
#include "members/FindMember.h"

#include <QTest>

namespace {

class CardTest : public MembersTest {
protected:
    void SetUp() override
    {
        MembersTest::SetUp();
        addMember("A100", "张三", "thePY='ZS', theCZ=88, theJF=5, thePass='123456'");
        addMember("B200", "李四", "thePY='LS', JSRNum='A100'");
    }
};

TEST_F(CardTest, CardChangeMovesEveryReferenceToTheCard)
{
    addMember("A100", "旧张三", "theDel='是', theCZ=9");  // an earlier holder of the number
    exec("INSERT INTO UXF (theNum,MNum,JSRNum,theDel) VALUES ('X1','A100','','否')");
    exec("INSERT INTO UXF (theNum,MNum,JSRNum,theDel) VALUES ('X2','B200','A100','是')");
    exec("INSERT INTO UCZ (theNum,MNum,theDel) VALUES ('C1','A100','否')");
    exec("INSERT INTO UDH (theNum,MNum,theDel) VALUES ('D1','A100','否')");
    exec("INSERT INTO MJN (theNum,theName,theJNR) VALUES ('A100','结婚','2020-05-01')");
    exec("INSERT INTO UJF (theNum,theJF,theDate) VALUES ('A100',10,'2026-01-01')");

    TfrmC_Num w;
    w.Ed_Num->setText("A10");
    QTest::keyClick(w.Ed_Num, Qt::Key_Return);
    EXPECT_EQ(w.Ed_Num->text(), "A100");
    EXPECT_EQ(w.GroupBox2->Edit3->text(), "张三");
    EXPECT_EQ(w.GroupBox2->Edit11->text(), "88");
    EXPECT_EQ(w.focusWidget(), w.Ed_NewNum);
    w.Ed_NewNum->setText("N900");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 会员换卡 保存成功！");
    EXPECT_EQ(count("Member", "theNum='N900' and theDel='否' and theName='张三'"), 1);
    // The deleted row keeps the old number and its data.
    EXPECT_EQ(count("Member", "theNum='A100' and theDel='是' and theCZ=9"), 1);
    EXPECT_EQ(count("UXF", "MNum='N900'"), 1);
    EXPECT_EQ(count("UXF", "JSRNum='N900'"), 1);
    EXPECT_EQ(count("UCZ", "MNum='N900'"), 1);
    EXPECT_EQ(count("UDH", "MNum='N900'"), 1);
    EXPECT_EQ(count("Member", "JSRNum='N900'"), 1);
    EXPECT_EQ(count("MJN", "theNum='N900'"), 1);
    EXPECT_EQ(count("UJF", "theNum='N900'"), 1);
    EXPECT_EQ(count("UXF", "MNum='A100' or JSRNum='A100'"), 0);
    // Every field emptied for the next change.
    EXPECT_TRUE(w.Ed_Num->text().isEmpty());
    EXPECT_TRUE(w.GroupBox2->isEmpty());
    EXPECT_TRUE(w.Ed_NewNum->text().isEmpty());
}

TEST_F(CardTest, CardChangeRefusals)
{
    addMember("DEL1", "注销", "theDel='是'");
    TfrmC_Num w;
    w.Ed_NewNum->setText("Z1");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "会员信息 不能为空，请录入 会员卡号！");
    EXPECT_EQ(w.focusWidget(), w.Ed_Num);

    w.Ed_Num->setText("nobody");
    w.myFind();
    EXPECT_EQ(msgs.last(), "会员不存在，请重新录入会员卡号！");
    EXPECT_TRUE(w.GroupBox2->isEmpty());

    w.Ed_Num->setText("B200");
    w.myFind();
    w.Ed_NewNum->clear();
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "新卡号 不能为空，请录入 新卡号！");
    w.Ed_NewNum->setText("B200");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "新卡号 不能和老卡号重复，请录入 新卡号！");
    w.Ed_NewNum->setText("A100");
    const auto before = c().statementCount();
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "新卡号 已存在，请重新录入！");
    EXPECT_EQ(w.focusWidget(), w.Ed_NewNum);
    EXPECT_EQ(c().statementCount(), before);

    // The number of a deleted member may be given again.
    w.Ed_NewNum->setText("DEL1");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 会员换卡 保存成功！");
    EXPECT_EQ(count("Member", "theNum='DEL1'"), 2);
    EXPECT_EQ(count("Member", "theNum='DEL1' and theName='注销' and theDel='是'"), 1);
}

TEST_F(CardTest, CardChangeWithSeveralMatchesGoesThroughTheLookup)
{
    TfrmC_Num w;
    w.GroupBox2->Edit1->setText("stale");
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *f = qobject_cast<TfrmFindMember *>(d);
        EXPECT_TRUE(w.GroupBox2->isEmpty());  // emptied before the lookup opens
        EXPECT_EQ(f->mySearch, "00");
        f->DBGrid1->selectRow(1);
        f->DBGrid1DblClick();
        return f->result();
    });
    w.Ed_Num->setText("00");
    QTest::mouseDClick(w.Ed_Num, Qt::LeftButton);
    EXPECT_EQ(modals.shown(), QStringList{"TfrmFindMember"});
    EXPECT_EQ(w.Ed_Num->text(), "B200");
    EXPECT_EQ(w.GroupBox2->Edit3->text(), "李四");
    EXPECT_EQ(w.focusWidget(), w.Ed_NewNum);
}

TEST_F(CardTest, PasswordChange)
{
    addMember("A100", "旧", "theDel='是', thePass='654321'");
    TfrmMPass w(nullptr, "A100");
    EXPECT_EQ(w.windowTitle(), "A100");
    EXPECT_EQ(w.Edit1->echoMode(), QLineEdit::Password);
    const auto before = c().statementCount();
    w.Edit1->setText("12345");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "请重新录入 原密码！");
    EXPECT_TRUE(w.Edit1->text().isEmpty());
    w.Edit1->setText("654321");  // the deleted holder's password opens nothing
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "原密码 错误，请重新录入！");
    w.Edit1->setText("123456");
    w.Edit2->setText("密码1234");  // 6 characters, 8 bytes
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "请重新录入 新密码！");
    w.Edit1->setText("123456");
    w.Edit2->setText("123456");
    w.Edit3->setText("123456");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "新密码 与 原密码 一样，请重新录入！");
    EXPECT_TRUE(w.Edit3->text().isEmpty());
    w.Edit1->setText("123456");
    w.Edit2->setText("abcdef");
    w.Edit3->setText("abcdeF");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "新密码 与 确认密码 不一致，请重新录入 新密码！");
    EXPECT_EQ(w.focusWidget(), w.Edit2);
    EXPECT_EQ(c().statementCount(), before);
    w.Edit1->setText("123456");
    w.Edit2->setText("abcdef");
    w.Edit3->setText("abcdef");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 会员密码修改 保存成功！");
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(one("select thePass from Member where theNum='A100' and theDel='否'"), "abcdef");
    EXPECT_EQ(one("select thePass from Member where theNum='A100' and theDel='是'"), "654321");
}

TEST_F(CardTest, PasswordPromptAcceptsOnlyTheRightPassword)
{
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *p = qobject_cast<TfrmCheckPass *>(d);
        EXPECT_EQ(p->windowTitle(), "密码验证");
        EXPECT_EQ(p->GroupBox1->title(), "A100 张三");
        p->Edit1->setText("12345");
        p->BitBtn1Click();
        EXPECT_EQ(msgs.last(), "请重新录入 会员密码！");
        p->Edit1->setText("123457");
        p->BitBtn1Click();
        EXPECT_EQ(msgs.last(), "会员密码 错误，请重新录入！");
        EXPECT_TRUE(p->Edit1->text().isEmpty());
        EXPECT_TRUE(p->isVisible());  // stays open for another try
        p->Edit1->setText("123456");
        QTest::keyClick(p->Edit1, Qt::Key_Return);
        EXPECT_TRUE(p->myPassState.isEmpty());
        return p->result();
    });
    EXPECT_TRUE(TfrmCheckPass::verify(nullptr, "A100", "张三"));
    EXPECT_EQ(msgs.count(), 2);

    // "取消" refuses.
    modals.setHandler([](QDialog *d) {
        auto *p = static_cast<TfrmCheckPass *>(d);
        p->BitBtn2Click();
        EXPECT_EQ(p->myPassState, "否");
        return p->result();
    });
    EXPECT_FALSE(TfrmCheckPass::verify(nullptr, "A100", "张三"));
    // The title-bar box refuses.
    modals.setHandler([](QDialog *d) {
        d->close();
        return d->result();
    });
    EXPECT_FALSE(TfrmCheckPass::verify(nullptr, "A100", "张三"));
}

TEST_F(CardTest, PasswordPromptIsExactAndIgnoresDeletedHolders)
{
    exec("UPDATE Member SET thePass='abcdef' WHERE theNum='A100'");
    addMember("A100", "旧", "theDel='是', thePass='270946'");
    TfrmCheckPass p(nullptr, "A100", "张三");
    p.Edit1->setText("ABCDEF");
    p.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "会员密码 错误，请重新录入！");
    p.Edit1->setText("270946");
    p.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "会员密码 错误，请重新录入！");
    EXPECT_EQ(p.myPassState, "否");
    p.Edit1->setText("abcdef");
    p.BitBtn1Click();
    EXPECT_EQ(p.result(), QDialog::Accepted);
    EXPECT_TRUE(p.myPassState.isEmpty());
}

TEST_F(CardTest, PinyinCodeIsStoredAsTypedAndFindsTheMember)
{
    TfrmM_PY w;
    w.setMember("B200", "普通会员", "李四", "LS");
    EXPECT_FALSE(w.GroupBox1->isEnabled());
    EXPECT_EQ(w.Edit4->maxLength(), 20);
    w.Edit4->clear();
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "拼音码 不能为空！");
    w.Edit4->setText("xiaoLi'4");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 会员拼音码 保存成功！");
    EXPECT_EQ(one("select thePY from Member where theNum='B200'"), "xiaoLi'4");
    // A member deleted meanwhile is not reported as saved.
    TfrmM_PY gone;
    gone.setMember("GONE", "普通会员", "无", "W");
    gone.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "该会员已不存在，不能保存！");
    EXPECT_NE(gone.result(), QDialog::Accepted);
    const auto s = members::searchMembers("XIAOLI");
    ASSERT_EQ(s.count, 1);
    EXPECT_EQ(s.member.num, "B200");
}

TEST_F(CardTest, ViewShowsOneRowDeletedOrNotAndNothingForTwo)
{
    exec("UPDATE Member SET theState='停用' WHERE theNum='B200'");
    TfrmMember_V v(nullptr, "B200");
    v.FormShow();
    EXPECT_EQ(v.GroupBox1->Edit3->text(), "李四");
    EXPECT_EQ(v.GroupBox1->labelOf(v.GroupBox1->Edit16)->text(), "消费日期：");

    addMember("A100", "旧", "theDel='是'");
    TfrmMember_V two(nullptr, "A100");
    two.FormShow();
    EXPECT_TRUE(two.GroupBox1->isEmpty());
}

}  // namespace
