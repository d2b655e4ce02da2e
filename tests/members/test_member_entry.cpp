// Member entry and quick entry, driven as a user would.
#include "fixture.h"
#include "members/MemberEntry.h"
#include "platform/ui/application.h"

using members::MemberRecord;
using ui::LookupOrigin;

namespace {

class MemberEntryTest : public MembersTest {
protected:
    void SetUp() override
    {
        MembersTest::SetUp();
        addType("金卡", "85", "2");
    }
    // The live member's columns ("a,b,..."), joined by "|".
    QString col(const QString &card, const QString &columns)
    {
        return rows("select " + columns + " from Member where theNum='" + card + "' and theDel='否'").value(0);
    }
};

TEST_F(MemberEntryTest, NewMemberIsWrittenWithTheTypeValuesPinyinAndDefaults)
{
    TfrmMember_In w;
    w.myNew();
    EXPECT_EQ(w.Edit1->text(), "26000001");
    EXPECT_EQ(w.DBLookupComboBox1->Text(), "先生");
    EXPECT_EQ(w.DBLookupComboBox2->Text(), "普通会员");
    w.CheckBox1->setChecked(false);
    w.Edit2->setText("张三");
    w.DBLookupComboBox2->setText("金卡");
    type(w.Edit4, "1990-2-3x");  // the key filter drops the letter
    type(w.Edit3, "138-0a");
    EXPECT_EQ(w.Edit3->text(), "138-0");
    w.Edit8->setText("高");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 会员信息 保存成功！");
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(col("26000001", "theBir,thePY,theZK,theJFBL,thePass,theState,theDate,UseDate,theUser,theTM"),
              "1990-02-03|ZS|85|2|270946|启用|2026-03-07|1900-01-01|admin|高");
}

// Another program holding the database: the save is refused with a sentence
// the staff understand, nothing is half-written, the entry stays in the
// window, and saving again once the other program lets go lands it.
TEST_F(MemberEntryTest, ASaveRefusedByALockKeepsTheEntryAndTheNextSaveLands)
{
    auto other = vdb::Connection::open(c().path(), velmora::databaseKey());
    other->execute("BEGIN IMMEDIATE");
    c().setBusyTimeout(0);
    TfrmMember_In w;
    w.myNew();
    w.CheckBox1->setChecked(false);
    w.Edit2->setText("张三");
    const int before = count("Member");
    ui::guarded([&] { w.BitBtn1Click(); });
    ASSERT_FALSE(msgs.shown().empty());
    EXPECT_TRUE(msgs.last().contains("其他程序")) << msgs.last().toStdString();
    EXPECT_FALSE(msgs.texts().join("|").contains("保存成功"));
    EXPECT_FALSE(c().inTransaction());
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.Edit1->text(), "26000001");
    EXPECT_EQ(w.Edit2->text(), "张三");

    other->execute("ROLLBACK");
    msgs.clear();
    ui::guarded([&] { w.BitBtn1Click(); });
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 会员信息 保存成功！");
    EXPECT_EQ(count("Member"), before + 1);
    EXPECT_EQ(col("26000001", "theName"), "张三");
    // Seen from a fresh connection too: the save was committed, not left in
    // a transaction nobody tracks.
    vdb::Query q(other.get());
    q.OpenSql("select theName from Member where theNum='26000001'");
    EXPECT_EQ(q.value("theName"), "张三");
}

TEST_F(MemberEntryTest, ChecksRefuseInOrderAndWriteNothing)
{
    addMember("DEAD", "已注销", "theDel='是'");
    TfrmMember_In w;
    w.myNew();
    const auto before = c().statementCount();
    w.Edit1->clear();
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "会员卡号 不能为空，请重新录入！");
    EXPECT_EQ(w.focusWidget(), w.Edit1);
    w.Edit1->setText("A1");
    w.DBLookupComboBox2->clearChoice();
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "请选择 会员分类！");
    w.DBLookupComboBox2->setText("普通会员");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "会员姓名 不能为空，请重新录入！");
    w.Edit2->setText("李四");
    w.Edit11->setText("A1");  // introducer equal to the card: refused before any lookup
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "介绍人卡号 不能是 会员卡号，请重新录入！");
    EXPECT_EQ(w.focusWidget(), w.Edit11);
    w.Edit11->setText("DEAD");  // a deleted member introduces nobody
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "介绍人卡号 不存在，请重新录入！");
    w.Edit11->clear();
    // Not a date, or a year the lunar calendar does not cover.
    for (const char *bad : {"1990-13-01", "2709-04-06", "1900-12-31", "2051-01-01"}) {
        w.Edit4->setText(bad);
        w.BitBtn1Click();
        EXPECT_EQ(msgs.last(), QString("“%1” 不是有效的日期，请重新录入！").arg(bad));
        EXPECT_EQ(w.focusWidget(), w.Edit4);
    }
    EXPECT_EQ(c().statementCount(), before);
    EXPECT_EQ(count("Member", "theNum='A1'"), 0);
}

TEST_F(MemberEntryTest, LunarBirthdayForms)
{
    struct Case {
        const char *typed, *stored, *message;
    };
    const Case cases[] = {
            {"1990-2-30", "1990-02-30", nullptr},  // no such solar day, kept as lunar
            {"1990-02-30", "1990-02-30", nullptr},
            {"1990-2-29", "1990-02-29", nullptr},
            {"1990-04-31", nullptr, "农历没有31号，请重新录入！"},
            {"1990-4-31", nullptr, "农历没有31号，请重新录入！"},
            {"1990-4-5", "1990-04-05", nullptr},
            {"1990-12-1", "1990-12-01", nullptr},
            {"1990-6-30", "1990-06-30", nullptr},
            {"1990-02-3", "1990-02-03", nullptr},
            {"1990-3-", nullptr, "“1990-3-” 不是有效的日期，请重新录入！"},
            {"19-0-02-30", nullptr, "“19-0-02-30” 不是有效的日期，请重新录入！"},  // no year before the day
            {"90-5-31", nullptr, "农历没有31号，请重新录入！"},
            {"90-5-3", "1990-05-03", nullptr},
            {"199--02-29", nullptr, "“199--02-29” 不是有效的日期，请重新录入！"},
            // the years of the lunar calendar only
            {"2709-4-6", nullptr, "“2709-4-6” 不是有效的日期，请重新录入！"},
            {"2051-02-30", nullptr, "“2051-02-30” 不是有效的日期，请重新录入！"},
            {"1900-12-01", nullptr, "“1900-12-01” 不是有效的日期，请重新录入！"},
            {"1901-1-1", "1901-01-01", nullptr},
            {"2050-12-30", "2050-12-30", nullptr},
    };
    int n = 0;
    for (const Case &k : cases) {
        TfrmMember_In w;
        w.myNew();
        w.CheckBox1->setChecked(false);
        const QString card = QString("L%1").arg(++n);
        w.Edit1->setText(card);
        w.Edit2->setText("王五");
        w.Edit5->setText(k.typed);
        msgs.clear();
        w.BitBtn1Click();
        if (k.stored) {
            EXPECT_EQ(col(card, "NLBir"), k.stored) << k.typed;
        } else {
            EXPECT_EQ(msgs.last(), k.message) << k.typed;
            EXPECT_EQ(count("Member", "theNum='" + card + "'"), 0) << k.typed;
        }
    }
}

TEST_F(MemberEntryTest, ContinuousEntryKeepsChoicesAndProposesTheNextCard)
{
    TfrmMember_In w;
    w.myNew();
    w.DBLookupComboBox1->setText("女士");
    w.DBLookupComboBox2->setText("金卡");
    w.Edit2->setText("甲");
    w.Edit3->setText("139");
    w.Edit11->clear();
    w.BitBtn1Click();
    EXPECT_EQ(msgs.count(), 0);  // no message when entering on
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_EQ(w.Edit1->text(), "26000002");
    EXPECT_TRUE(w.Edit2->text().isEmpty());
    EXPECT_TRUE(w.Edit3->text().isEmpty());
    EXPECT_EQ(w.DBLookupComboBox1->Text(), "女士");
    EXPECT_EQ(w.DBLookupComboBox2->Text(), "金卡");
    w.Edit2->setText("乙");
    w.Edit11->setText("26000001");  // the member just saved introduces the next
    w.BitBtn1Click();
    EXPECT_EQ(col("26000002", "JSRNum,theSex"), "26000001|女士");
}

// A card typed by hand (or imported) may be the one the count proposes
// next: the entry then proposes the next card no member holds, after each
// save too.
TEST_F(MemberEntryTest, TheProposedCardIsOneNoMemberHolds)
{
    TfrmMember_In w;
    w.myNew();
    ASSERT_EQ(w.Edit1->text(), "26000001");
    w.Edit1->setText("26000002");
    w.Edit2->setText("甲");
    w.BitBtn1Click();
    EXPECT_EQ(count("Member", "theNum='26000002'"), 1);
    // One member this year: the count gives 26000002, which is held.
    EXPECT_EQ(w.Edit1->text(), "26000003");
    w.Edit2->setText("乙");
    w.BitBtn1Click();
    EXPECT_EQ(col("26000003", "theName"), "乙");
    TfrmMember_In again;
    again.myNew();
    EXPECT_EQ(again.Edit1->text(), "26000004");
}

TEST_F(MemberEntryTest, DuplicateCardOnlyAmongLiveMembers)
{
    addMember("C1", "旧会员", "theDel='是', theCZ=50, theJF=7");
    addMember("C2", "在用");
    TfrmMember_In w;
    w.myNew();
    w.CheckBox1->setChecked(false);
    w.Edit1->setText("C2");
    w.Edit2->setText("新");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "会员卡号 已存在，请重新录入！");
    w.Edit1->setText("C1");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 会员信息 保存成功！");
    EXPECT_EQ(count("Member", "theNum='C1'"), 2);
    // The deleted row keeps its own data.
    for (auto [column, value] : {std::pair{"theCZ", "50"}, {"theJF", "7"}, {"theName", "旧会员"}})
        EXPECT_EQ(one(QString("select %1 from Member where theNum='C1' and theDel='是'").arg(column)), value);
}

TEST_F(MemberEntryTest, EditKeepsCardAndPasswordTakesTheTypeValuesAgain)
{
    addMember("E1", "老王", "thePass='123456', theType='金卡', theZK=85, theJFBL=2, theCZ=20");
    const QString id = one("select ID from Member where theNum='E1'");
    exec("UPDATE MType SET theZK=80, theJF=3 WHERE theName='金卡'");
    TfrmMember_In w;
    bool edited = false;
    QObject::connect(&w, &TfrmMember_In::memberEdited, [&](const QString &card) { edited = card == "E1"; });
    ASSERT_TRUE(w.myEdit(id));
    EXPECT_EQ(w.windowTitle(), "会员修改");
    EXPECT_EQ(w.Lab_ID->text(), id);
    EXPECT_FALSE(w.Edit1->isEnabled());
    EXPECT_FALSE(w.CheckBox1->isChecked());
    EXPECT_EQ(w.Edit2->text(), "老王");
    EXPECT_EQ(w.DBLookupComboBox2->Text(), "金卡");
    w.Edit2->setText("王大");
    w.Edit7->setText("it's ok");  // a quote in a value
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "恭喜！恭喜！ 会员信息 保存成功！");
    EXPECT_TRUE(edited);
    EXPECT_EQ(col("E1", "theName,thePY,Remark,thePass,theZK,theJFBL,theCZ"), "王大|WD|it's ok|123456|80|3|20");
    EXPECT_EQ(count("Member", "1=1"), 1);

    // Deleted while the window was open: refused, not reported as saved.
    TfrmMember_In again;
    ASSERT_TRUE(again.myEdit(id));
    exec("UPDATE Member SET theDel='是'");
    again.Edit2->setText("别人");
    again.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "该会员已不存在，不能保存！");
    EXPECT_EQ(col("E1", "theName"), "");
}

struct Receiver : ui::LookupTarget<MemberRecord> {
    void lookupTaken(const MemberRecord &m, LookupOrigin o) override
    {
        got = m;
        origin = o;
        ++calls;
    }
    MemberRecord got;
    LookupOrigin origin = LookupOrigin::Search;
    int calls = 0;
};

TEST_F(MemberEntryTest, QuickEntryHandsTheNewMemberToItsOpener)
{
    addMember("J1", "介绍人");
    Receiver r;
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *w = qobject_cast<TfrmNewMember *>(d);
        EXPECT_EQ(w->windowTitle(), "新增会员");
        EXPECT_EQ(w->Edit1->text(), "26000002");
        EXPECT_EQ(w->DBLookupComboBox2->Text(), "普通会员");
        type(w->Edit3, "tel 1");  // the quick entry takes any phone text
        EXPECT_EQ(w->Edit3->text(), "tel 1");
        w->Edit2->setText("快速");
        w->Edit11->setText("J1");
        w->Edit5->setText("1991-2-30");
        w->BitBtn1Click();
        return w->result();
    });
    EXPECT_TRUE(TfrmNewMember::enter(nullptr, &r));
    EXPECT_EQ(msgs.count(), 0);
    ASSERT_EQ(r.calls, 1);
    EXPECT_EQ(r.origin, LookupOrigin::QuickEntry);
    EXPECT_EQ(r.got.num, "26000002");
    EXPECT_EQ(r.got.cz, "0");
    EXPECT_EQ(r.got.jf, "0");
    EXPECT_EQ(r.got.useCount, "0");
    EXPECT_EQ(r.got.xf, "0");
    EXPECT_EQ(r.got.useDate, "1900-01-01");
    EXPECT_EQ(r.got.date, "2026-03-07");
    EXPECT_EQ(r.got.zk, "100");
    EXPECT_EQ(r.got.nlBir, "1991-02-30");
    EXPECT_TRUE(r.got.jsrNum.isEmpty());  // no introducer handed on
    EXPECT_EQ(col("26000002", "JSRNum"), "J1");

    // Closed without saving: nothing handed, nothing written.
    modals.setHandler([](QDialog *d) {
        static_cast<TfrmNewMember *>(d)->BitBtn2Click();
        return d->result();
    });
    EXPECT_FALSE(TfrmNewMember::enter(nullptr, &r));
    EXPECT_EQ(r.calls, 1);
    EXPECT_EQ(count("Member", "1=1"), 2);
}

}  // namespace
