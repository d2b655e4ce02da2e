// The card search, the member lookup dialog and the member panel shared by
// every window that works on one member.
#include "fixture.h"
#include "members/FindMember.h"
#include "members/MemberPanel.h"

#include <QTest>

using members::MemberRecord;
using ui::LookupOrigin;

namespace {

// A window that receives members the way the sale or card change does.
struct Receiver : ui::LookupTarget<MemberRecord> {
    void lookupTaken(const MemberRecord &m, LookupOrigin o) override
    {
        taken.push_back(m);
        origins.push_back(o);
        panel.fill(m);
    }
    std::vector<MemberRecord> taken;
    std::vector<LookupOrigin> origins;
    members::MemberPanel panel;
};

class LookupTest : public MembersTest {
protected:
    void SetUp() override
    {
        MembersTest::SetUp();
        addMember("26000012", "张三", "thePY='ZS', theCZ=12.5, theJF=30, JSRNum='26000001'");
        addMember("26000011", "李四", "thePY='LS'");
        addMember("26000099", "王五", "thePY='WW', theState='停用'");
        addMember("26000098", "赵六", "thePY='ZL', theDel='是'");
    }
};

TEST_F(LookupTest, SearchCountsOnlyEnabledLiveMembersByCardNameOrPinyin)
{
    EXPECT_EQ(members::searchMembers("2600001").count, 2);
    EXPECT_EQ(members::searchMembers("260000").count, 2);  // disabled and deleted left out
    EXPECT_EQ(members::searchMembers("26000099").count, 0);
    EXPECT_EQ(members::searchMembers("26000098").count, 0);

    const auto byName = members::searchMembers("张");
    ASSERT_EQ(byName.count, 1);
    EXPECT_EQ(byName.member.num, "26000012");
    EXPECT_EQ(byName.member.cz, "12.5");
    EXPECT_EQ(byName.member.jsrNum, "26000001");
    const auto byPinyin = members::searchMembers("ls");  // Jet compares text case-insensitively
    ASSERT_EQ(byPinyin.count, 1);
    EXPECT_EQ(byPinyin.member.name, "李四");

    // A quote in the typed text neither breaks nor widens the statement.
    EXPECT_EQ(members::searchMembers("' OR '1'='1").count, 0);
}

TEST_F(LookupTest, LookupListsTheMatchesByCardAndEnterTakesTheSelectedRow)
{
    Receiver r;
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *f = qobject_cast<TfrmFindMember *>(d);
        EXPECT_NE(f, nullptr);
        EXPECT_EQ(f->windowTitle(), "会员查找");
        EXPECT_EQ(f->ADOQuery1.RecordCount(), 2);
        EXPECT_EQ(f->ADOQuery1.text(0, 0), "26000011");  // ordered by card
        EXPECT_TRUE(f->DBGrid1->isColumnHidden(f->ADOQuery1.FieldIndex("ID")));
        f->DBGrid1->selectRow(1);
        QTest::keyClick(f->DBGrid1, Qt::Key_Return);
        return f->result();
    });
    EXPECT_TRUE(TfrmFindMember::pick(nullptr, &r, "2600001"));
    EXPECT_EQ(modals.shown(), QStringList{"TfrmFindMember"});
    ASSERT_EQ(r.taken.size(), 1u);
    EXPECT_EQ(r.origins[0], LookupOrigin::Lookup);
    EXPECT_EQ(r.taken[0].num, "26000012");
    EXPECT_EQ(r.taken[0].jsrNum, "26000001");
    EXPECT_EQ(r.panel.Edit1->text(), "26000012");
    EXPECT_EQ(r.panel.Edit3->text(), "张三");
    EXPECT_EQ(r.panel.Edit11->text(), "12.5");
    EXPECT_EQ(r.panel.Edit12->text(), "30");
    EXPECT_EQ(r.panel.Edit16->text(), "1900-01-01");
}

TEST_F(LookupTest, DoubleClickTakesTheRowLettersDoNothingEscFillsNothing)
{
    Receiver r;
    ui::ScriptedModals modals([&](QDialog *d) {
        auto *f = static_cast<TfrmFindMember *>(d);
        f->DBGrid1->selectRow(0);
        QTest::keyClicks(f->DBGrid1, "zs");  // no type-ahead, no take
        EXPECT_TRUE(r.taken.empty());
        EXPECT_EQ(f->DBGrid1->currentRowIndex(), 0);
        f->DBGrid1DblClick();
        return f->result();
    });
    EXPECT_TRUE(TfrmFindMember::pick(nullptr, &r, "2600001"));
    ASSERT_EQ(r.taken.size(), 1u);
    EXPECT_EQ(r.taken[0].num, "26000011");

    r.taken.clear();
    r.panel.clear();
    modals.setHandler([&](QDialog *d) {
        auto *f = static_cast<TfrmFindMember *>(d);
        QTest::keyClick(f->DBGrid1, Qt::Key_Escape);
        EXPECT_FALSE(f->isVisible());
        return f->result();
    });
    EXPECT_FALSE(TfrmFindMember::pick(nullptr, &r, "2600001"));
    EXPECT_TRUE(r.taken.empty());
    EXPECT_TRUE(r.panel.isEmpty());
}

TEST_F(LookupTest, PanelShowsEveryFieldAndClearsThem)
{
    members::MemberPanel p(nullptr, "消费日期：");
    EXPECT_EQ(p.labelOf(p.Edit16)->text(), "消费日期：");
    EXPECT_EQ(p.fields().size(), 20);
    MemberRecord m;
    m.num = "1";
    m.type = "2";
    m.name = "3";
    m.sex = "4";
    m.bir = "5";
    m.pho = "6";
    m.add = "7";
    m.remark = "8";
    m.zk = "9";
    m.jfbl = "10";
    m.cz = "11";
    m.jf = "12";
    m.useCount = "13";
    m.xf = "14";
    m.date = "15";
    m.useDate = "16";
    m.tm = "22";
    m.ah = "23";
    m.cp = "24";
    m.nlBir = "26";
    p.fill(m);
    for (QLineEdit *e : p.fields()) {
        EXPECT_TRUE(e->isReadOnly());
        EXPECT_FALSE(e->text().isEmpty());
    }
    const MemberRecord back = p.shown();
    EXPECT_EQ(back.xf, "14");
    EXPECT_EQ(back.useDate, "16");
    EXPECT_EQ(back.nlBir, "26");
    p.clear();
    for (QLineEdit *e : p.fields()) EXPECT_TRUE(e->text().isEmpty());
}

}  // namespace
