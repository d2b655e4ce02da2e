// Birthday and anniversary reminders (ranges across the new year), the
// reminder sound and the member reset.
#include "accounts_fixture.h"
#include "child_writes.h"

#include "core/FileDialogs.h"
#include "core/MenuOpeners.h"
#include "members/Reminders.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>
#include <random>

namespace {

class RemindersTest : public AccountsTest {
protected:
    void SetUp() override
    {
        AccountsTest::SetUp();
        addMember("B1", "元旦", "theBir='1990-01-05', NLBir='1990-02-30'");
        addMember("B2", "年底", "theBir='1985-12-20'");
        addMember("B3", "三月", "theBir='2001-03-05', theState='停用'");
        addMember("B4", "走了", "theBir='2001-12-20', theDel='是'");
    }
    static QStringList cards(velmora::TListFrame &l)
    {
        QStringList out;
        for (int r = 0; r < l.rowCount(); ++r) {
            l.selectRow(r);
            out << l.field("会员卡号");
        }
        out.sort();
        return out;
    }
    static void range(QDateEdit *from, QDateEdit *to, QDate a, QDate b)
    {
        from->setDate(a);
        to->setDate(b);
    }
};

TEST_F(RemindersTest, BirthdayRangesFindBothEndsOfTheYear)
{
    TfrmSRTX w;
    EXPECT_TRUE(w.BitBtn3->isEnabled());
    range(w.DateTimePicker1, w.DateTimePicker2, QDate(2026, 12, 15), QDate(2027, 1, 14));
    w.BitBtn1Click();
    EXPECT_EQ(cards(w), QStringList({"B1", "B2"}));  // neither the deleted nor an empty birthday
    range(w.DateTimePicker1, w.DateTimePicker2, QDate(2026, 3, 1), QDate(2026, 3, 31));
    w.BitBtn1Click();
    EXPECT_EQ(cards(w), QStringList{"B3"});  // disabled members are listed too
    // Lunar: the lunar month-day column; a lunar 02-30 lies between 02-28 and 03-01.
    w.RadioButton2->setChecked(true);
    range(w.DateTimePicker1, w.DateTimePicker2, QDate(2026, 2, 28), QDate(2026, 3, 1));
    w.BitBtn1Click();
    EXPECT_EQ(cards(w), QStringList{"B1"});
    exec("UPDATE Member SET NLBir='1980-02-28' WHERE theNum='B2'");
    w.BitBtn1Click();
    w.selectRow(0);
    EXPECT_EQ(w.field("会员卡号"), "B1");  // the latest lunar month-day first, whatever the solar one
    // No radio ticked: every live member.
    w.RadioButton2->setAutoExclusive(false);
    w.RadioButton2->setChecked(false);
    w.RadioButton1->setChecked(false);
    w.BitBtn1Click();
    EXPECT_EQ(cards(w), QStringList({"26000001", "B1", "B2", "B3"}));
}

TEST_F(RemindersTest, DecemberDefaultRangeReachesIntoJanuary)
{
    velmora::ListWhere w;
    members::monthDayRange(w, "theBir", "12-15", "01-14");
    EXPECT_EQ(rows("select theNum from Member where (theDel='否') " + w.text() + " order by theNum"),
              QStringList({"B1", "B2"}));
}

TEST_F(RemindersTest, StartUpReminderListsTodaysSolarAndLunarBirthdays)
{
    myLoginDate = "2026-12-20";
    exec("UPDATE Member SET NLBir='1970-" + dm->myNL5(myLoginDate) + "' WHERE theNum='26000001'");
    TfrmSRTX w;
    w.showToday();
    EXPECT_FALSE(w.RadioButton1->isChecked());
    EXPECT_EQ(w.DateTimePicker2->date(), QDate(2026, 12, 20));
    EXPECT_EQ(cards(w), QStringList({"26000001", "B2"}));
    // "查询" afterwards, no radio ticked: everybody.
    w.BitBtn1Click();
    EXPECT_EQ(w.rowCount(), 4);
}

TEST_F(RemindersTest, DatesOutsideTheLunarCalendarAreRefusedAndListNobody)
{
    // B2..B4 have no lunar birthday: an empty lunar date of the day must not match them.
    myLoginDate = "2051-01-01";
    TfrmSRTX w;
    w.showToday();
    EXPECT_EQ(msgs.last(), "“2051-01-01” 不是有效的日期，请重新录入！");
    EXPECT_EQ(w.rowCount(), 0);
    TfrmJNRTX a;
    range(a.DateTimePicker1, a.DateTimePicker2, QDate(2026, 1, 1), QDate(2709, 4, 6));
    msgs.clear();
    a.myRef();
    EXPECT_EQ(msgs.last(), "“2709-04-06” 不是有效的日期，请重新录入！");
    EXPECT_FALSE(a.queried());
    // Back inside the table the query runs with the chosen range, not the start-up one.
    myLoginDate = "2026-12-20";
    w.RadioButton1->setChecked(true);
    range(w.DateTimePicker1, w.DateTimePicker2, QDate(2027, 1, 1), QDate(2027, 1, 31));
    w.BitBtn1Click();
    EXPECT_EQ(cards(w), QStringList{"B1"});
}

TEST_F(RemindersTest, LunarChoiceOfADayTheSolarYearLacksSaysSoAndKeepsTheDates)
{
    TfrmSRTX w;
    // A business date whose lunar month-day is 02-30.
    for (QDate d(2026, 3, 1); d < QDate(2027, 6, 1); d = d.addDays(1))
        if (dm->myNL5(d.toString("yyyy-MM-dd")) == "02-30") {
            myLoginDate = d.toString("yyyy-MM-dd");
            break;
        }
    ASSERT_EQ(dm->myNL5(myLoginDate), "02-30");
    const QDate before = w.DateTimePicker1->date();
    w.RadioButton2->setChecked(true);
    w.RadioButton2Click();
    EXPECT_TRUE(msgs.last().contains("-02-30")) << msgs.last().toStdString();
    EXPECT_EQ(w.DateTimePicker1->date(), before);
}

TEST_F(RemindersTest, AnniversariesGiveOneRowEachAcrossTheNewYear)
{
    exec("INSERT INTO MJN (theNum,theName,theJNR,Remark) VALUES ('B1','结婚','2010-01-02',''),"
         "('B1','入会','2020-12-31',''),('B2','开业','2020-06-01',''),('B4','走了','2020-12-31','')");
    TfrmJNRTX w;
    range(w.DateTimePicker1, w.DateTimePicker2, QDate(2026, 12, 15), QDate(2027, 1, 14));
    w.myRef();
    EXPECT_EQ(cards(w), QStringList({"B1", "B1"}));
    EXPECT_TRUE(w.CountLabel->text().endsWith("2"));
    myLoginDate = "2026-06-01";
    w.showToday();
    EXPECT_EQ(cards(w), QStringList{"B2"});
}

TEST_F(RemindersTest, ResetReachesTheMembersOfTheLastQueryOnly)
{
    exec("UPDATE Member SET theJF=5, UseCount=2, theXF=9, theCZ=3, UseDate='2026-01-01', theDate='2020-0'||ID||'-01'");
    TfrmM_Q w;
    w.J1Click();  // before a query: nothing
    EXPECT_EQ(count("Member", "theJF=0"), 0);
    w.BitBtn1Click();
    EXPECT_EQ(w.rowCount(), 4);
    // Typing a filter afterwards does not change the target.
    w.Edit2->setText("x' OR '1'='1");
    w.CheckBox3->setChecked(true);
    msgs.answer(ui::Answer::No);
    w.C1Click();
    EXPECT_EQ(count("Member", "UseCount=0"), 0);
    w.J1Click();
    EXPECT_EQ(msgs.last(), "确认将查询后会员的积分清零吗？该清零将不可恢复！");
    EXPECT_EQ(count("Member", "theJF=0"), 4);  // every live member, the disabled one too
    EXPECT_EQ(one("select theJF from Member where theNum='B4'"), "5");
    // A filter with a quote reaches no member unescaped.
    w.BitBtn1Click();
    EXPECT_EQ(w.rowCount(), 0);
    w.Z1Click();
    EXPECT_EQ(count("Member", "theCZ=0"), 0);
    w.CheckBox3->setChecked(false);
    w.Edit1->setText("B");
    w.CheckBox2->setChecked(true);
    w.BitBtn1Click();
    w.N1Click();
    w.E1Click();
    EXPECT_EQ(rows("select theNum,UseDate=theDate,theXF from Member order by ID"),
              QStringList({"26000001|0|9", "B1|1|0", "B2|1|0", "B3|1|0", "B4|0|9"}));
    EXPECT_EQ(count("UJF") + count("UCZ"), 0);  // the reset keeps no record
}

// Each reset's question is titled by what it clears, the balance's too,
// chosen from the grid's popup as a user does.
TEST_F(RemindersTest, EachResetQuestionIsTitledByWhatItClears)
{
    exec("UPDATE Member SET theCZ=3");
    TfrmM_Q w;
    w.BitBtn1Click();
    ASSERT_GT(w.rowCount(), 0);
    const struct {
        QAction *item;
        const char *title;
    } items[] = {{w.J1, "会员积分清零"},
                 {w.C1, "会员消费次数清零"},
                 {w.E1, "会员消费金额清零"},
                 {w.N1, "会员消费日期清零"},
                 {w.Z1, "会员账户余额清零"}};
    for (const auto &i : items) {
        msgs.clear();
        msgs.answer(ui::Answer::No);
        i.item->trigger();
        ASSERT_EQ(msgs.count(), 1) << i.title;
        EXPECT_EQ(msgs.shown().back().caption, i.title);
    }
    EXPECT_EQ(msgs.shown().back().text, "确认将查询后会员的账户余额清零吗？该清零将不可恢复！");
    EXPECT_EQ(count("Member", "theCZ=0"), 0);  // answered No
}

TEST_F(RemindersTest, SoundReplacementOverwritesOrKeepsTheOldFile)
{
    const QString folder = dir.filePath("prog/");
    QDir().mkpath(folder + "Music");
    auto write = [](const QString &path, const QByteArray &data) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    };
    write(folder + "Music/1.mp3", "old");
    write(dir.filePath("new.mp3"), "new");
    TfrmSound w(folder);
    EXPECT_EQ(w.Edit1->text(), folder + "Music/1.mp3");
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "请打开声音文件！");
    {
        velmora::ScriptedFileDialogs files;
        files.answer(dir.filePath("new.mp3"));
        w.Button2Click();
    }
    w.BitBtn1Click();
    EXPECT_EQ(msgs.last(), "替换成功！");
    QFile f(folder + "Music/1.mp3");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "new");
    f.close();
    EXPECT_TRUE(w.Edit2->text().isEmpty());
    // A file that cannot be read: the old sound stays.
    w.Edit2->setText(dir.filePath("missing.mp3"));
    w.BitBtn1Click();
    EXPECT_TRUE(msgs.last().startsWith("替换失败")) << msgs.last().toStdString();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "new");
    EXPECT_EQ(QDir(folder + "Music").entryList(QDir::Files), QStringList{"1.mp3"});
}

// Killed at any moment, the replacement leaves the old sound or the new one,
// whole: there is never a moment without a sound file.
TEST_F(RemindersTest, AKilledSoundReplacementLeavesTheOldOrTheNewSound)
{
    const QString folder = dir.filePath("prog/");
    QDir().mkpath(folder + "Music");
    const QString target = folder + "Music/1.mp3";
    const QByteArray fresh(4 * 1024 * 1024, 'n');
    ASSERT_TRUE(putFile(dir.filePath("new.mp3"), fresh));
    TfrmSound w(folder);
    const auto replace = [&] {
        w.Edit2->setText(dir.filePath("new.mp3"));
        w.BitBtn1Click();
    };
    QElapsedTimer t;
    t.start();
    replace();
    ASSERT_EQ(fileBytes(target), fresh);
    const int span = int(t.nsecsElapsed() / 1000) * 6 / 5 + 1;
    std::mt19937 random(114);
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(putFile(target, "old"));
        killedDuring(replace, std::uniform_int_distribution<int>(0, span)(random));
        const QByteArray now = fileBytes(target);
        EXPECT_TRUE(now == "old" || now == fresh) << now.size();
    }
    // A full disk: the old sound stays and the user is told.
    ASSERT_TRUE(putFile(target, "old"));
    EXPECT_EQ(onFullDisk(64 * 1024,
                         [&] {
                             replace();
                             return msgs.last().startsWith("替换失败") && msgs.last().contains(target) ? 0 : 2;
                         }),
              0);
    EXPECT_EQ(fileBytes(target), "old");
    EXPECT_EQ(QDir(folder + "Music").entryList(QDir::Files), QStringList{"1.mp3"});
}

TEST_F(RemindersTest, PlayingASoundThatCannotBePlayedSaysSo)
{
    const QString folder = dir.filePath("prog/");
    TfrmSound w(folder);
    // 播放 of a current sound that is not there.
    int before = msgs.count();
    w.Button1Click();
    ASSERT_EQ(msgs.count(), before + 1);
    EXPECT_EQ(msgs.shown().back().icon, ui::Icon::Error);
    EXPECT_TRUE(msgs.last().contains(QDir::toNativeSeparators(folder + "Music/1.mp3"))) << msgs.last().toStdString();
    // 试听 of a chosen file that is no sound at all: said at once when the
    // machine cannot play, or when the player finds it cannot decode it.
    const QString bad = dir.filePath("bad.mp3");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is not a sound");
    f.close();
    w.Edit2->setText(bad);
    before = msgs.count();
    w.Button3Click();
    QTRY_VERIFY_WITH_TIMEOUT(msgs.count() > before, 20000);
    EXPECT_EQ(msgs.shown().back().icon, ui::Icon::Error);
    EXPECT_TRUE(msgs.last().contains(QDir::toNativeSeparators(bad))) << msgs.last().toStdString();
}

TEST_F(RemindersTest, RowsAndStartUpHooksAreRegistered)
{
    EXPECT_EQ(velmora::findWindow("106")->openFlag, &myOpenSRTX);
    EXPECT_TRUE(bool(velmora::findOpener("110")));
    EXPECT_TRUE(bool(velmora::birthdayReminder()));
    EXPECT_TRUE(bool(velmora::anniversaryReminder()));
}

}  // namespace

#include "core/main.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

TEST_F(RemindersTest, StartUpHooksShowTheRemindersBesideTheOtherLists)
{
    myLoginDate = "2026-12-20";
    exec("INSERT INTO MJN (theNum,theName,theJNR,Remark) VALUES ('B1','入会','2020-12-20','')");
    TfrmMain main;
    velmora::birthdayReminder()(&main, {});
    velmora::anniversaryReminder()(&main);
    QStringList shown;
    for (QMdiSubWindow *s : main.findChild<QMdiArea *>()->subWindowList()) {
        auto *l = qobject_cast<velmora::TListFrame *>(s->widget());
        ASSERT_NE(l, nullptr);
        shown << QString::fromLatin1(l->metaObject()->className()) + " " + QString::number(l->rowCount());
    }
    EXPECT_EQ(shown, QStringList({"TfrmSRTX 1", "TfrmJNRTX 1"}));
    EXPECT_FALSE(myOpenSRTX);
    EXPECT_FALSE(myOpenJNRTX);
}

}  // namespace
