// The member windows driven from the keyboard alone: Enter and Esc never save
// or throw away an entry by themselves, each window opens with the focus in
// a field, and card numbers and names are compared and stored trimmed.
#include "fixture.h"
#include "keys.h"
#include "members/CZ_In.h"
#include "members/CardWindows.h"
#include "members/DH_In.h"
#include "members/LP.h"
#include "members/ZJJF.h"
#include "members/MTS.h"
#include "members/MType.h"
#include "members/MemberEntry.h"
#include "platform/ui/lookupcombo.h"

#include <QTest>

using members::MemberRecord;

namespace {

class KeyboardTest : public MembersTest {};

struct Taker : ui::LookupTarget<MemberRecord> {
    int taken = 0;
    void lookupTaken(const MemberRecord &, ui::LookupOrigin) override { ++taken; }
};

TEST_F(KeyboardTest, MemberEntrySavesOnlyThroughItsButton)
{
    TfrmMember_In w;
    w.myNew();
    w.CheckBox1->setChecked(false);
    w.show();
    EXPECT_EQ(w.focusWidget(), w.Edit2);  // the card is proposed; the name is next
    w.Edit2->insert("张三");
    pressEnterAndEscInEveryField(w);
    EXPECT_EQ(count("Member"), 0);
    EXPECT_EQ(w.Edit2->text(), "张三");  // the half-entered member is still there
    for (QPushButton *b : w.findChildren<QPushButton *>()) EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
    // The button itself, focused, takes Enter.
    w.BitBtn1->setFocus();
    QTest::keyClick(w.BitBtn1, Qt::Key_Return);
    EXPECT_EQ(count("Member", "theName='张三'"), 1);
}

TEST_F(KeyboardTest, QuickEntryOpensInTheCardFieldAndEnterDoesNotSave)
{
    Taker taker;
    bool checked = false;
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *w = qobject_cast<TfrmNewMember *>(d);
        if (!w) return 0;
        EXPECT_EQ(w->focusWidget(), w->Edit1);
        w->Edit2->insert("李四");
        pressEnterAndEscInEveryField(*w);
        checked = true;
        return 0;
    });
    EXPECT_FALSE(TfrmNewMember::enter(nullptr, &taker));
    EXPECT_TRUE(checked);
    EXPECT_EQ(taker.taken, 0);
    EXPECT_EQ(count("Member"), 0);
}

TEST_F(KeyboardTest, CardWindowsOpenWithTheFocusInTheirField)
{
    addMember("A100", "张三", "thePass='123456'");
    QStringList opened;
    ui::ScriptedModals modals([&](QDialog *d) {
        if (auto *p = qobject_cast<TfrmCheckPass *>(d)) {
            EXPECT_EQ(p->focusWidget(), p->Edit1);
            opened << "check";
        } else if (auto *c = qobject_cast<TfrmC_Num *>(d)) {
            EXPECT_EQ(c->focusWidget(), c->Ed_Num);
            opened << "change";
        } else if (auto *m = qobject_cast<TfrmMPass *>(d)) {
            EXPECT_EQ(m->focusWidget(), m->Edit1);
            opened << "pass";
        }
        return 0;
    });
    EXPECT_FALSE(TfrmCheckPass::verify(nullptr, "A100", "张三"));
    TfrmC_Num change;
    ui::showModal(&change);
    TfrmMPass pass(nullptr, "A100");
    ui::showModal(&pass);
    EXPECT_EQ(opened, QStringList({"check", "change", "pass"}));
}

TEST_F(KeyboardTest, CardChangeByKeyboardSavesNothingUntilAsked)
{
    addMember("A100", "张三");
    TfrmC_Num w;
    w.show();
    QTest::keyClicks(w.Ed_Num, "A100");
    QTest::keyClick(w.Ed_Num, Qt::Key_Return);  // a scanner ends with Enter
    EXPECT_EQ(w.GroupBox2->card(), "A100");
    EXPECT_EQ(w.focusWidget(), w.Ed_NewNum);
    QTest::keyClicks(w.Ed_NewNum, "N900");
    pressEnterAndEscInEveryField(w);
    EXPECT_EQ(count("Member", "theNum='A100'"), 1);
    EXPECT_EQ(msgs.count(), 0);
}

TEST_F(KeyboardTest, CardNumbersAndNamesAreTrimmedBeforeCheckAndStore)
{
    addMember("26000001", "张三");
    TfrmMember_In w;
    w.myNew();
    w.CheckBox1->setChecked(false);
    w.Edit1->setText("26000001 ");
    w.Edit2->setText("李四");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "会员卡号 已存在，请重新录入！");
    w.Edit1->setText(" 26000002 ");
    w.Edit2->setText("   ");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "会员姓名 不能为空，请重新录入！");
    w.Edit2->setText(" 李四 ");
    w.BitBtn1Click();
    EXPECT_EQ(count("Member", "theNum='26000002' and theName='李四'"), 1);

    // The new card of a card change.
    TfrmC_Num change;
    change.Ed_Num->setText(" 26000002");
    change.myFind();
    EXPECT_EQ(change.GroupBox2->card(), "26000002");
    change.Ed_NewNum->setText("26000001 ");
    change.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "新卡号 已存在，请重新录入！");

    // A member type of blanks only is empty; a padded name is the same type.
    TfrmMType types;
    types.Edit1->setText("  ");
    types.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "会员分类 不能为空，请重新录入！");
    types.Edit1->setText(" 普通会员 ");
    types.BitBtn2Click();
    EXPECT_EQ(msgs.last(), "会员分类 已存在，请重新录入！");
}

TEST_F(KeyboardTest, MemberTypeWindowOpensInTheNameAndEnterDoesNotSave)
{
    TfrmMType w;
    w.show();
    EXPECT_EQ(w.focusWidget(), w.Edit1);
    w.Edit1->insert("银卡");
    pressEnterAndEscInEveryField(w);
    EXPECT_EQ(count("MType", "theName='银卡'"), 0);
}

TEST_F(KeyboardTest, NoMemberWindowSavesOrClosesOnEnterOrEsc)
{
    addMember("A100", "张三", "thePass='123456'");
    addMember("A200", "李四");
    ui::ScriptedModals modals;  // lookups and quick entries opened by Enter are closed unused
    auto check = [&](ui::Form &w) {
        expectKeysChangeNothing(w, [&] { return snapshot(); });
        expectTabReachesEveryFieldOnce(w);
    };
    TfrmMember_In in;
    in.myNew();
    check(in);
    TfrmNewMember quick;
    check(quick);
    TfrmC_Num change;
    check(change);
    TfrmMPass pass(nullptr, "A100");
    check(pass);
    TfrmCheckPass prompt(nullptr, "A100", "张三");
    check(prompt);
    TfrmM_PY py;
    py.setMember("A100", "普通会员", "张三", "ZS");
    check(py);
    TfrmMember_V view(nullptr, "A100");
    check(view);
    TfrmMType types;
    check(types);
    TfrmMType_M type;
    check(type);
    TfrmMTS categories(nullptr, "普通会员", "100", "1");
    check(categories);
    TfrmMTS_ZKJF discounts(nullptr, "普通会员", "100");
    check(discounts);
    TfrmMTS_M discount(nullptr, "普通会员 饮料 享受折扣", "1", "90");
    check(discount);
}

}  // namespace

// Tab follows each window as it is seen and passes read-only fields by.
TEST_F(KeyboardTest, TabFollowsTheMemberWindowsAsTheyAreSeen)
{
    addMember("26000001", "张三");
    {
        TfrmCZ_In w;
        expectTabChain(w, {w.Ed_Num, w.DateTimePicker1, w.Edit17, w.Edit18, w.DBLookupComboBox3, w.DBLookupComboBox2,
                           w.DBLookupComboBox1, w.Edit20, w.CheckBox2, w.CheckBox3, w.BitBtn1, w.BitBtn2});
    }
    {
        TfrmDH_In w;
        expectTabChain(w, {w.Ed_Num, w.DateTimePicker1, w.Edit17, w.Edit18, w.Edit19, w.DBLookupComboBox1, w.Edit20,
                           w.CheckBox2, w.CheckBox3, w.BitBtn1, w.BitBtn2});
    }
    {
        TfrmZJJF w;
        w.myNum = "26000001";
        expectTabChain(w, {w.Edit4, w.Edit6, w.Button1, w.BitBtn1, w.BitBtn2});
    }
    {
        TfrmMJN w;
        w.myNum = "26000001";
        // Name, date, remark: the order the window names them.
        expectTabChain(w, {w.Edit4, w.DateTimePicker1, w.Edit5, w.DBGrid1, w.BitBtn1, w.BitBtn2, w.BitBtn3});
    }
}

// In the two-column member forms Tab fills a column at a time: the left
// column, then the right one, then the address and the remark that span
// both, then the box and the buttons.
TEST_F(KeyboardTest, TabGoesDownEachColumnOfTheMemberForms)
{
    {
        TfrmMember_In w;
        expectTabChain(w, {w.Edit1, w.Edit2, w.DBLookupComboBox1, w.Edit3, w.Edit4, w.Edit5, w.DBLookupComboBox2,
                           w.Edit8, w.Edit9, w.Edit10, w.Edit11, w.Edit6, w.Edit7, w.CheckBox1, w.BitBtn1,
                           w.BitBtn2});
    }
    {
        TfrmNewMember w;
        expectTabChain(w, {w.Edit1, w.Edit2, w.DBLookupComboBox1, w.Edit3, w.Edit4, w.Edit5, w.DBLookupComboBox2,
                           w.Edit8, w.Edit9, w.Edit10, w.Edit11, w.Edit6, w.Edit7, w.BitBtn1, w.BitBtn2});
    }
}

// The account windows: Enter and Esc in any field neither save nor close,
// with a member found or not.
TEST_F(KeyboardTest, AccountWindowsSaveNothingOnEnterOrEsc)
{
    addMember("26000001", "张三");
    ui::ScriptedModals modals;  // a lookup opened by Enter in the card field is closed unanswered
    const auto state = [this] { return snapshot(); };
    {
        TfrmCZ_In w;
        w.Ed_Num->setText("26000001");
        w.myFind();
        w.Edit17->setText("100");
        expectKeysChangeNothing(w, state);
    }
    {
        TfrmDH_In w;
        expectKeysChangeNothing(w, state);
    }
    {
        TfrmZJJF w;
        expectKeysChangeNothing(w, state);
    }
    {
        TfrmMJN w;
        expectKeysChangeNothing(w, state);
    }
    {
        TfrmLP w;
        expectKeysChangeNothing(w, state);
    }
}
