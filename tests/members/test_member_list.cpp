// The member list: filters, totals, title sort, export, the popup's rights
// and the guards of "注销".
#include "fixture.h"

#include "core/ListFrame.h"
#include "core/MenuOpeners.h"
#include "members/MemberList.h"
#include "members/MemberRecord.h"
#include "members/Register.h"
#include "platform/excel/excelreader.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QFont>
#include <QHeaderView>
#include <QLabel>
#include <QApplication>
#include <QTableView>
#include <QTest>

namespace {

class MemberListTest : public MembersTest {
protected:
    void SetUp() override
    {
        MembersTest::SetUp();
        members::registerWindows();
        velmora::TListFrame::setExportFolder(dir.path());
        velmora::TListFrame::setExportOpener([](const QString &) { return true; });
        addMember("0012", "张三", "thePY='ZS',theXF=100,theCZ=5,theJF=7,thePho='13900001111',theAdd='东街1号'");
        addMember("0013", "李四", "thePY='LS',theXF=9,theCP='京A123'");
        addMember("0014", "阿张", "thePY='AZ',theXF=10,Remark='O''Neil'");
    }
    std::unique_ptr<TfrmMember_M> list()
    {
        auto w = std::make_unique<TfrmMember_M>();
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->hasRight = [this](const QString &mnum) { return rights.contains(mnum); };
        return w;
    }
    static QStringList cards(TfrmMember_M &w)
    {
        QStringList out;
        for (int r = 0; r < w.rowCount(); ++r) out << w.Rows.text(r, w.Rows.fieldIndex("会员卡号"));
        return out;
    }
    static void select(TfrmMember_M &w, const QString &card)
    {
        for (int r = 0; r < w.rowCount(); ++r)
            if (w.Rows.text(r, w.Rows.fieldIndex("会员卡号")) == card) w.selectRow(r);
    }
    QStringList rights;
};

TEST_F(MemberListTest, FiltersAloneAndTogetherAndQuotesStayText)
{
    auto w = list();
    w->BitBtn1Click();
    EXPECT_EQ(cards(*w), QStringList({"0012", "0013", "0014"}));  // oldest first
    EXPECT_EQ(w->CountLabel->text(), "会员数量：3");
    EXPECT_EQ(w->TotalLabels[1]->text(), "累计消费：119");
    // Two letters: the pinyin code's start or a part of the name.
    w->Edit2->setText("LS");
    emit w->Edit2->textEdited("LS");
    EXPECT_TRUE(w->CheckBox3->isChecked());
    w->BitBtn1Click();
    EXPECT_EQ(cards(*w), QStringList{"0013"});
    // In any case, as typed; a code holding the text further inside is not found.
    w->Edit2->setText("ls");
    w->BitBtn1Click();
    EXPECT_EQ(cards(*w), QStringList{"0013"});
    w->Edit2->setText("s");
    w->BitBtn1Click();
    EXPECT_EQ(cards(*w), QStringList{});
    w->Edit2->setText("张");
    w->BitBtn1Click();
    EXPECT_EQ(cards(*w), QStringList({"0012", "0014"}));
    w->Edit3->setText("1390");
    w->CheckBox5->setChecked(true);
    w->BitBtn1Click();
    EXPECT_EQ(cards(*w), QStringList{"0012"});
    w->CheckBox3->setChecked(false);
    w->CheckBox5->setChecked(false);
    w->Edit6->setText("O'Neil");
    w->CheckBox8->setChecked(true);
    w->BitBtn1Click();
    EXPECT_EQ(cards(*w), QStringList{"0014"});
    w->Edit6->setText("' OR '1'='1");
    w->BitBtn1Click();
    EXPECT_EQ(w->CountLabel->text(), "会员数量：0");
    EXPECT_EQ(w->TotalLabels[0]->text(), "积分：");
    EXPECT_EQ(w->TotalLabels[3]->text(), "账户余额：");
}

TEST_F(MemberListTest, TitleSortTogglesAndSortsNumbersAsNumbersAndNamesByPinyin)
{
    auto w = list();
    w->TitleClick(w->Rows.fieldIndex("会员姓名"));  // nothing before the first query
    EXPECT_EQ(w->sortText(), "");
    w->BitBtn1Click();
    const int spend = w->Rows.fieldIndex("累计消费");
    w->TitleClick(spend);
    EXPECT_EQ(w->sortText(), "累计消费 ASC");
    EXPECT_EQ(cards(*w), QStringList({"0013", "0014", "0012"}));  // 9, 10, 100
    EXPECT_EQ(w->Rows.headerData(spend, Qt::Horizontal, Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
    w->TitleClick(spend);
    EXPECT_EQ(cards(*w), QStringList({"0012", "0014", "0013"}));
    EXPECT_EQ(w->Rows.headerData(spend, Qt::Horizontal, Qt::ForegroundRole).value<QColor>(), QColor(Qt::blue));
    const int name = w->Rows.fieldIndex("会员姓名");
    w->TitleClick(name);
    EXPECT_EQ(cards(*w), QStringList({"0014", "0013", "0012"}));  // a, li, zhang
    EXPECT_FALSE(w->Rows.headerData(spend, Qt::Horizontal, Qt::ForegroundRole).isValid());
    EXPECT_TRUE(w->Rows.headerData(name, Qt::Horizontal, Qt::FontRole).value<QFont>().bold());
    // The sort survives a new query.
    w->BitBtn1Click();
    EXPECT_EQ(cards(*w), QStringList({"0014", "0013", "0012"}));
}

TEST_F(MemberListTest, DeletionGuards)
{
    exec("UPDATE Member SET theCZ=0.01 WHERE theNum='0013'");
    exec("UPDATE Member SET theCZ=0.1+0.2-0.3 WHERE theNum='0014'");  // a float residue
    auto w = list();
    w->BitBtn1Click();
    select(*w, "0012");
    w->D1Click();
    EXPECT_EQ(msgs.last(), "该会员账户余额不为零，不能注销！");
    select(*w, "0013");
    w->D1Click();
    EXPECT_EQ(msgs.last(), "该会员账户余额不为零，不能注销！");
    // Money put on the card after the list was read: the stored balance
    // decides, in the window and in the deleting transaction itself.
    exec("UPDATE Member SET theCZ=0 WHERE theNum='0013'");
    w->BitBtn1Click();
    exec("UPDATE Member SET theCZ=20 WHERE theNum='0013'");
    select(*w, "0013");
    msgs.clear();
    w->D1Click();
    EXPECT_EQ(msgs.texts(), QStringList{"该会员账户余额不为零，不能注销！"});
    EXPECT_EQ(members::removeMember(c(), "0013"), "该会员账户余额不为零，不能注销！");
    EXPECT_EQ(rows("select theDel from Member where theNum='0013'"), QStringList{"否"});
    exec("INSERT INTO UXF (theNum,MNum,theDel) VALUES ('X1','0014','否')");
    exec("INSERT INTO UCZ (theNum,MNum,theDel) VALUES ('C1','0014','否')");
    exec("INSERT INTO UDH (theNum,MNum,theDel) VALUES ('D1','0014','否')");
    for (const char *table : {"UXF", "UCZ", "UDH"}) {
        const QStringList before = snapshot();
        select(*w, "0014");
        w->D1Click();
        EXPECT_EQ(snapshot(), before);
        exec(QString("UPDATE %1 SET theDel='是'").arg(table));
    }
    EXPECT_EQ(msgs.texts().mid(msgs.count() - 3),
              QStringList({"该会员已经消费，不能注销！", "该会员已经储值，不能注销！", "该会员已经兑换，不能注销！"}));
    msgs.answer(ui::Answer::No);
    select(*w, "0014");
    w->D1Click();
    EXPECT_EQ(w->rowCount(), 3);
    select(*w, "0014");
    w->D1Click();
    EXPECT_EQ(cards(*w), QStringList({"0012", "0013"}));
    EXPECT_EQ(rows("select theDel from Member where theNum='0014'"), QStringList{"是"});
}

TEST_F(MemberListTest, PopupEntriesNeedTheRightOfTheirMenuItem)
{
    QStringList opened;
    velmora::registerCardWindow("200", [&](QWidget *, const QString &card) { opened << card; });
    auto w = list();
    w->F1Click();  // nothing before the first query
    w->BitBtn1Click();
    select(*w, "0013");
    w->F1Click();
    w->N2Click();
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_EQ(msgs.count(), 0);
    rights << "200";
    w->F1->trigger();
    EXPECT_EQ(opened, QStringList{"0013"});
    velmora::registerCardWindow("200", {});
    w->C1Click();
    w->Q1Click();
    w->T1Click();
    EXPECT_EQ(rows("select theState from Member where theNum='0013'"), QStringList{"停用"});
    EXPECT_EQ(w->field("会员卡号"), "0013");  // the row stays selected
}

TEST_F(MemberListTest, ExportKeepsLeadingZerosAndTotals)
{
    auto w = list();
    w->BitBtn1Click();
    const excel::ReadResult r = excel::readWorkbook(w->BitBtn3Click());
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    EXPECT_EQ(r.sheet.headers().value(0), "会员表");
    EXPECT_EQ(r.sheet.cell(0, 23), "介绍人卡号");
    EXPECT_EQ(r.sheet.cell(1, 1), "0012");
    EXPECT_EQ(r.sheet.cell(1, 7), "13900001111");
    EXPECT_EQ(r.sheet.cell(4, 0), "合计");
    EXPECT_EQ(r.sheet.cell(4, 15), "119");
    EXPECT_EQ(r.sheet.cell(4, 18), "5");
}

// Exports go to the documents folder, made when a fresh account has none;
// the home folder serves when it cannot be made.  A file that cannot be
// written is named in the message, the system's reason under its details.
TEST_F(MemberListTest, ExportMakesAMissingDocumentsFolderAndNamesAFileItCannotWrite)
{
    const QString home = dir.filePath("home"), docs = home + "/Documents";
    ASSERT_TRUE(QDir().mkpath(home));
    const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        oldConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfig);
        velmora::TListFrame::setExportFolder(dir.path());
    });
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath("config")));
    velmora::TListFrame::setExportFolder({});
    auto w = list();
    w->BitBtn1Click();
    EXPECT_EQ(QFileInfo(w->BitBtn3Click()).absolutePath(), docs);

    ASSERT_TRUE(QDir(docs).removeRecursively());
    QFile blocker(docs);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_EQ(QFileInfo(w->BitBtn3Click()).absolutePath(), home);

    qputenv("HOME", QFile::encodeName(docs + "/nowhere"));
    msgs.clear();
    EXPECT_EQ(w->BitBtn3Click(), "");
    ASSERT_EQ(msgs.count(), 1);
    EXPECT_TRUE(msgs.last().startsWith("无法创建Xls文件：" + docs + "/nowhere/会员表_")) << msgs.last().toStdString();
    EXPECT_FALSE(msgs.shown().back().details.isEmpty());
}

TEST_F(MemberListTest, TheMenuRowOpensTheList)
{
    const velmora::WindowRow *row = velmora::findWindow("103");
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->openFlag, &myOpenMember_M);
    std::unique_ptr<QWidget> w(row->opener(nullptr));
    EXPECT_NE(qobject_cast<TfrmMember_M *>(w.get()), nullptr);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
}

}  // namespace

namespace {

TEST_F(MemberListTest, PopupOpensTheMemberWindowsAndKeepsTheFilterForRefreshes)
{
    ui::ScriptedModals modals;
    auto w = list();
    w->Edit1->setText("0013");
    w->CheckBox2->setChecked(true);
    w->BitBtn1Click();
    ASSERT_EQ(cards(*w), QStringList{"0013"});
    w->M1Click();
    w->Y1Click();
    w->P1Click();
    w->J1Click();
    w->Z1Click();
    EXPECT_EQ(modals.shown(), QStringList({"TfrmMember_In", "TfrmM_PY", "TfrmMPass", "TfrmMJN", "TfrmZJJF"}));
    // A refresh keeps the condition of the last "查询", whatever the boxes say now.
    w->CheckBox2->setChecked(false);
    w->T1Click();
    EXPECT_EQ(cards(*w), QStringList{"0013"});
    EXPECT_EQ(w->Lab_where->text(), " AND (theNum like '%0013%')");
}

}  // namespace

namespace {

TEST_F(MemberListTest, FunctionKeysOpenTheEntriesOfTheSelectedMember)
{
    QStringList opened;
    velmora::registerCardWindow("200", [&](QWidget *, const QString &card) { opened << "sale " + card; });
    velmora::registerCardWindow("300", [&](QWidget *, const QString &card) { opened << "recharge " + card; });
    auto w = list();
    w->show();
    QApplication::setActiveWindow(w.get());
    w->BitBtn1Click();
    select(*w, "0014");
    w->DBGrid1->setFocus();
    rights << "200";
    QTest::keyClick(w->DBGrid1, Qt::Key_F1);
    QTest::keyClick(w->DBGrid1, Qt::Key_F2);  // no right to 储值录入
    rights << "300";
    QTest::keyClick(w->DBGrid1, Qt::Key_F2);
    EXPECT_EQ(opened, QStringList({"sale 0014", "recharge 0014"}));
    velmora::registerCardWindow("200", {});
    velmora::registerCardWindow("300", {});
}

}  // namespace
