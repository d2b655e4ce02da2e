// The import windows driven as a user drives them: choose a workbook, pick
// the member type, press "导入", read the message and the database.
#include "core/IMCode.h"
#include "core/Imports.h"
#include "core/MenuOpeners.h"
#include "core/Register.h"
#include "core/Schema.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"
#include "tests/platform/excel_test_util.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

const QStringList kMemberHeaders = {"会员卡号", "会员姓名", "性别", "公历生日", "农历生日",
                                    "联系方式", "联系地址", "积分", "账户余额"};
const QStringList kGoodsHeaders = {"商品分类", "商品编码", "商品名称", "单位", "单价", "成本", "库存数量", "备注"};
const QStringList kSupplierHeaders = {"供应商", "联系人", "联系电话", "联系地址", "备注"};

QString dataFile(const QString &folder, const QString &name)
{
    return QStringLiteral(VELMORA_SOURCE_DIR "/tests/") + folder + "/data/" + name;
}

// A sheet as the reader gives it: headers in row 1, the rows from row 2.
excel::Sheet sheetOf(const QStringList &headers, const QVector<QStringList> &rows)
{
    QVector<excel::Sheet::Row> all{{1, headers}};
    for (int i = 0; i < rows.size(); ++i) all.append({i + 2, rows[i]});
    return excel::Sheet(QStringLiteral("test.xlsx"), all);
}

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static QTemporaryDir keep;
        static const QString templ = [] {
            const QString p = keep.filePath(QStringLiteral("template.edb"));
            velmora::createDatabase(p, velmora::databaseKey());
            return p;
        }();
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("db.edb"));
        ASSERT_TRUE(QFile::copy(templ, path));
        dm = std::make_unique<TfrmDM>();
        frmDM = dm.get();
        dm->openDatabase(path, false);
        myLoginDate = QStringLiteral("2026-03-07");
        myUser = QStringLiteral("admin");
        sqlite3_commit_hook(
                c().handle(), [](void *n) { return ++*static_cast<int *>(n), 0; }, &commits);
    }
    void TearDown() override
    {
        dm.reset();
        frmDM = nullptr;
    }

    vdb::Connection &c() { return *dm->ADOConnection1(); }
    void exec(const QString &sql) { c().execute(sql); }
    QStringList rows(const QString &sql)
    {
        vdb::Query q(&c());
        q.OpenSql(sql);
        QStringList out;
        for (; !q.Eof(); q.Next()) {
            QStringList cols;
            for (int i = 0; i < q.FieldCount(); ++i) cols << q.FieldByIndex(i).AsString();
            out << cols.join('|');
        }
        return out;
    }
    int count(const QString &table) { return rows("select count(*) from " + table).value(0).toInt(); }

    // A member import of the sheet with the type chosen; returns the last message.
    QString importMembers(const excel::Sheet &sheet, const QString &type = QStringLiteral("普通会员"))
    {
        TfrmIn_M w;
        w.setSheet(sheet);
        w.DBLookupComboBox1->setText(type);
        w.BitBtn2Click();
        accepted = w.result() == QDialog::Accepted;
        return msgs.last();
    }
    template <class Window>
    QString importSheet(const excel::Sheet &sheet)
    {
        Window w;
        w.setSheet(sheet);
        w.BitBtn2Click();
        accepted = w.result() == QDialog::Accepted;
        return msgs.last();
    }

    QTemporaryDir dir;
    std::unique_ptr<TfrmDM> dm;
    ui::ScriptedMessages msgs;
    int commits = 0;
    bool accepted = false;
};

const char kMemberColumns[] =
        "select theNum,theName,theSex,theBir,NLBir,thePho,theAdd,theJF,theCZ,UseCount,theType,"
        "theZK,theJFBL,thePass,thePY,theDate,UseDate,theState,theDel,theUser from Member order by ID";

// ------------------------------------------------------------------ workbooks

class MemberWorkbookTest : public ImportTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(MemberWorkbookTest, ImportsTheSameMembersFromXlsAndXlsx)
{
    TfrmIn_M w;
    QString offered;
    TfrmImport::FileChooser saved = TfrmImport::fileChooser();
    TfrmImport::fileChooser() = [&](QWidget *, const QString &, const QString &filter) {
        offered = filter;
        return dataFile("core", GetParam());
    };
    w.BitBtn1Click();
    TfrmImport::fileChooser() = saved;
    EXPECT_TRUE(offered.contains("*.xls ") && offered.contains("*.xlsx")) << offered.toStdString();
    // Rows 2-7, the empty row 6 among them.
    EXPECT_EQ(w.GroupBox2->title(), "EXCEL数据  共有 6 条数据");
    EXPECT_TRUE(w.BitBtn2->isEnabled());

    w.DBLookupComboBox1->setText("普通会员");
    w.BitBtn2Click();
    EXPECT_EQ(msgs.texts(), QStringList{"第 6 行“会员姓名”列（A6）为空，导入在此行停止，其后的 1 行数据没有导入。\n"
                                        "成功导入 会员 数据 3 条！\n跳过 1 条数据：\n第 4 行“会员卡号”列（" +
                                        w.sheet().cellName(2, w.sheet().column("会员卡号")) + "）的卡号“" +
                                        w.sheet().value(2, "会员卡号") + "”已有会员使用，此行没有导入。"});
    EXPECT_EQ(w.result(), QDialog::Accepted);
    // Row 4 repeats a card and is skipped; the empty row 6 ends the import,
    // so row 7 is not read.  The balance is the stored value, visits start at 0;
    // an empty card takes the next number of the year, counting the rows just
    // imported.
    EXPECT_EQ(rows(kMemberColumns),
              QStringList({"00001234|张三|男|1990-05-17|1990-02-30|13800138000|北京市朝阳区|100|12.5|0|普通会员|100|1|"
                           "270946|ZS|2026-03-07|1900-01-01|启用|否|admin",
                           "26000002|李四|女|1985-12-01|1985-11-05|13912345678||0|0|0|普通会员|100|1|270946|LS|"
                           "2026-03-07|1900-01-01|启用|否|admin",
                           "E-01|赵'六|女|2001-03-04||021-88886666|广州市|0.5|200|0|普通会员|100|1|270946|ZL|"
                           "2026-03-07|1900-01-01|启用|否|admin"}));
    EXPECT_EQ(commits, 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, MemberWorkbookTest, ::testing::Values("import_members.xlsx", "import_members.xls"));

class GoodsWorkbookTest : public ImportTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(GoodsWorkbookTest, NewCategoriesGeneratedCodesAndAStopAtABadPrice)
{
    exec("INSERT INTO MType (theName,theZK,theJF,Remark,theState,theXF) VALUES ('金卡',85,2,'','停用',0)");
    commits = 0;
    TfrmIn_S w;
    ASSERT_TRUE(w.myOpen(dataFile("platform", GetParam())));
    w.BitBtn2Click();
    // Row 4 has no name and is skipped, and said to be; row 5's stock of -5
    // (goods entry takes no minus) stops the import with rows 2 and 3 kept,
    // before row 6's price "十元" would.
    ASSERT_EQ(msgs.count(), 1);
    const QString m = msgs.last();
    EXPECT_TRUE(m.startsWith("第 5 行“库存数量”列（G5）的内容“-5”是负数，不能为负数。")) << m.toStdString();
    EXPECT_TRUE(m.contains("成功导入 商品 数据 2 条！\n跳过 1 条数据：\n第 4 行“商品名称”列（" +
                           w.sheet().cellName(2, w.sheet().column("商品名称")) + "）为空，此行没有导入。"))
            << m.toStdString();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(rows("select theNum,theName,theType,theUnit,thePrice,theCB,theCount,theKC,theXF,Remark,theState,"
                   "theDel,theDate from SShop order by ID"),
              QStringList({"0001|可口可乐 500ml|饮料|瓶|3|2.1|48|是|0||启用|否|2026-03-07",
                           "6901234567892|乐事薯片|零食|包|7.5|5|0|是|0|新品|启用|否|2026-03-07"}));
    EXPECT_EQ(rows("select thePY from SShop where theName='可口可乐 500ml'"),
              QStringList{MakePYCode("可口可乐 500ml")});
    // Each new category once, stock-tracked, with every member type's own rates.
    EXPECT_EQ(rows("select theName,theState,theKC from SType order by ID"),
              QStringList({"饮料|启用|是", "零食|启用|是"}));
    EXPECT_EQ(rows("select SType,MType,theZK,theJF from MTS order by SType,MType"),
              QStringList({"零食|普通会员|100|1", "零食|金卡|85|2", "饮料|普通会员|100|1", "饮料|金卡|85|2"}));
    EXPECT_EQ(commits, 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, GoodsWorkbookTest, ::testing::Values("goods.xlsx", "goods.xls"));

TEST_F(ImportTest, OnlyASheetWithRowsEnablesTheImport)
{
    TfrmIn_G w;
    EXPECT_FALSE(w.BitBtn2->isEnabled());
    EXPECT_TRUE(w.myOpen(dataFile("platform", "suppliers_empty.xlsx")));
    EXPECT_FALSE(w.BitBtn2->isEnabled());
    EXPECT_EQ(w.GroupBox2->title(), "EXCEL数据  共有 0 条数据");

    TfrmIn_M m;
    ASSERT_TRUE(m.myOpen(dataFile("core", "import_members.xlsx")));
    EXPECT_TRUE(m.BitBtn2->isEnabled());
    // A workbook without Sheet1 clears what was loaded before.
    EXPECT_FALSE(m.myOpen(dataFile("platform", "nosheet1.xlsx")));
    EXPECT_TRUE(msgs.last().contains("nosheet1.xlsx")) << msgs.last().toStdString();
    EXPECT_FALSE(m.BitBtn2->isEnabled());
    EXPECT_EQ(m.ExcelData.rowCount(), 0);
    EXPECT_FALSE(m.myOpen(dir.filePath("missing.xls")));
    EXPECT_FALSE(m.BitBtn2->isEnabled());
}

// ------------------------------------------------------------------ headers and stops

TEST_F(ImportTest, MissingHeadersAreNamedBeforeAnythingIsWritten)
{
    const QString m =
            importMembers(sheetOf({"会员卡号", "会员姓名", "性别", "公历生日", "农历生日", "联系方式", "联系地址"},
                                  {{"A1", "甲"}, {"A2", "乙"}}));
    EXPECT_TRUE(m.contains("积分、账户余额")) << m.toStdString();
    EXPECT_FALSE(accepted);
    EXPECT_EQ(count("Member"), 0);

    const QString g = importSheet<TfrmIn_S>(sheetOf({"商品名称", "商品分类", "单价"}, {{"水", "饮料", "1"}}));
    EXPECT_TRUE(g.contains("商品编码、单位、成本、库存数量、备注")) << g.toStdString();
    const QString s = importSheet<TfrmIn_G>(sheetOf({"供应商", "联系人"}, {{"甲", "乙"}}));
    EXPECT_TRUE(s.contains("联系电话、联系地址、备注")) << s.toStdString();
    EXPECT_EQ(count("SShop") + count("SType") + count("SSup"), 0);
    EXPECT_EQ(commits, 0);
}

TEST_F(ImportTest, ABadCellStopsAtItsRowAndKeepsTheRowsBefore)
{
    const QString m = importMembers(sheetOf(kMemberHeaders, {{"M1", "甲", "", "", "", "", "", "5", "1"},
                                                             {"M2", "乙", "", "", "", "", "", "", "2.5"},
                                                             {"M3", "丙", "", "", "", "", "", "十", "3"},
                                                             {"M4", "丁"}}));
    EXPECT_EQ(m, "第 4 行“积分”列（H4）的内容“十”不是有效的数字。\n导入在此行停止，此行及以后的数据没有导入。\n"
                 "成功导入 会员 数据 2 条！");
    EXPECT_EQ(rows("select theNum,theJF,theCZ from Member order by ID"), QStringList({"M1|5|1", "M2|0|2.5"}));
    EXPECT_EQ(commits, 1);

    // The first row bad: nothing imported, nothing half-written.
    EXPECT_TRUE(importMembers(sheetOf(kMemberHeaders, {{"M5", "戊", "", "", "", "", "", "1", "1e"}}))
                        .endsWith("成功导入 会员 数据 0 条！"));
    EXPECT_EQ(count("Member"), 2);

    // Stock of goods and an empty category stop the same way.
    const QString g = importSheet<TfrmIn_S>(
            sheetOf(kGoodsHeaders, {{"饮料", "G1", "水", "瓶", "1", "0.5", "1 2"}, {"", "G2", "茶", "包", "1"}}));
    EXPECT_TRUE(g.startsWith("第 2 行“库存数量”列（G2）的内容“1 2”不是有效的数字。")) << g.toStdString();
    const QString e = importSheet<TfrmIn_S>(sheetOf(kGoodsHeaders, {{"", "G2", "茶", "包", "1"}}));
    EXPECT_TRUE(e.startsWith("第 2 行“商品分类”列（A2）不能为空。")) << e.toStdString();
    EXPECT_EQ(count("SShop") + count("SType") + count("MTS"), 0);
}

TEST_F(ImportTest, ADatabaseFailureUndoesTheWholeImport)
{
    exec("INSERT INTO SSup (theName,thePro,thePhone,theAdd,Remark,theDel,thePY) VALUES ('老店','','','','','否','LD')");
    for (const char *table : {"Member", "SShop"})
        c().executeNative(QString("CREATE TRIGGER refuse%1 BEFORE INSERT ON %1 WHEN NEW.theName='坏' "
                                  "BEGIN SELECT RAISE(ABORT, 'refused'); END")
                                  .arg(table));
    commits = 0;
    const QString m = importMembers(sheetOf(kMemberHeaders, {{"M1", "甲"}, {"M2", "乙"}, {"M3", "坏"}, {"M4", "丁"}}));
    EXPECT_TRUE(m.startsWith("导入失败，本次导入已全部撤销，没有导入任何数据。")) << m.toStdString();
    EXPECT_EQ(msgs.count(), 1);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(count("Member"), 0);

    importSheet<TfrmIn_S>(sheetOf(kGoodsHeaders, {{"新类", "G1", "水"}, {"新类", "G2", "坏"}}));
    EXPECT_TRUE(msgs.last().startsWith("导入失败")) << msgs.last().toStdString();
    // The category and its rates made for the first row go too.
    EXPECT_EQ(count("SShop") + count("SType") + count("MTS"), 0);
    EXPECT_EQ(rows("select theName from SSup"), QStringList{"老店"});
    EXPECT_EQ(commits, 0);
}

// ------------------------------------------------------------------ members

TEST_F(ImportTest, LunarBirthdaysAreCheckedAsLunarDates)
{
    // Every lunar month may have a 30th; the solar calendar is not asked.
    importMembers(sheetOf(kMemberHeaders, {{"L1", "甲", "", "", "1990-02-30"},
                                           {"L2", "乙", "", "", "1991-2-29"},
                                           {"L3", "丙", "", "", "1992/12/1"},
                                           {"L4", "丁", "", "", "1993-01-01 00:00:00"},
                                           // Month and day only: the solar birthday's year, else none (1900).
                                           {"L5", "戊", "", "1988-07-07", "02-30"},
                                           {"L6", "己", "", "", "2-3"}}));
    EXPECT_EQ(rows("select NLBir from Member order by ID"),
              QStringList({"1990-02-30", "1991-02-29", "1992-12-01", "1993-01-01", "1988-02-30", "1900-02-03"}));

    for (const char *bad : {"1990-13-01", "1990-01-31", "1990-00-10", "1990-01-00", "13-01", "2-31", "90-02-03",
                            "腊月初八", "1990-1-1-1", "1990--1"}) {
        msgs.clear();
        importMembers(sheetOf(kMemberHeaders, {{"X", "戊", "", "", bad}}));
        EXPECT_TRUE(msgs.last().startsWith(QString("第 2 行“农历生日”列（E2）的内容“") + bad)) << bad;
    }
    // The solar birthday is a real date.
    importMembers(sheetOf(kMemberHeaders, {{"X", "戊", "", "1990-02-30"}}));
    EXPECT_TRUE(msgs.last().startsWith("第 2 行“公历生日”列（D2）的内容“1990-02-30”不是有效的日期"))
            << msgs.last().toStdString();
    importMembers(sheetOf(kMemberHeaders, {{"X", "戊", "", "2000/2/29"}}));
    EXPECT_EQ(rows("select theBir from Member where theNum='X'"), QStringList{"2000-02-29"});
}

TEST_F(ImportTest, MembersTakeTheChosenTypeAndSkipLiveCards)
{
    TfrmIn_M none;
    none.setSheet(sheetOf(kMemberHeaders, {{"T1", "甲"}}));
    none.BitBtn2Click();
    EXPECT_EQ(msgs.texts(), QStringList{"请选择 会员分类！"});
    EXPECT_EQ(count("Member"), 0);

    exec("INSERT INTO MType (theName,theZK,theJF,Remark,theState,theXF) VALUES ('金卡',88.5,2,'','启用',0)");
    exec("INSERT INTO Member (theNum,theName,theDel,theDate) VALUES ('LIVE','旧','否','2025-01-01')");
    exec("INSERT INTO Member (theNum,theName,theDel,theDate) VALUES ('GONE','旧','是','2025-01-01')");
    EXPECT_EQ(importMembers(sheetOf(kMemberHeaders, {{"LIVE", "甲"}, {"GONE", "乙"}, {"", "丙"}, {"", "丁"}}), "金卡"),
              "成功导入 会员 数据 3 条！\n跳过 1 条数据：\n第 2 "
              "行“会员卡号”列（A2）的卡号“LIVE”已有会员使用，此行没有导入。");
    // Card numbers count the members entered this year, the reused card among them.
    EXPECT_EQ(rows("select theNum,theName,theType,theZK,theJFBL from Member where theType='金卡' order by ID"),
              QStringList({"GONE|乙|金卡|88.5|2", "26000002|丙|金卡|88.5|2", "26000003|丁|金卡|88.5|2"}));
    // A second import counts the first one's members, and the rows with a card
    // between generated ones.
    importMembers(sheetOf(kMemberHeaders, {{"", "戊"}, {"G1", "己"}, {"", "庚"}}));
    EXPECT_EQ(rows("select theNum from Member where ID>5 order by ID"), QStringList({"26000004", "G1", "26000006"}));
}

// An empty name ends the member import there, and the message says where
// and how many rows after it were left (empty rows not counted).
TEST_F(ImportTest, AnEmptyNameEndsTheMemberImportAndSaysWhere)
{
    EXPECT_EQ(importMembers(sheetOf(kMemberHeaders, {{"N1", "甲"},
                                                     {"N2", "乙"},
                                                     {"N3", " ", "", "", "", "", "", "x"},
                                                     {"N4", "丁"},
                                                     {},
                                                     {"N6", "己"}})),
              "第 4 行“会员姓名”列（B4）为空，导入在此行停止，其后的 2 行数据没有导入。\n成功导入 会员 数据 2 条！");
    EXPECT_EQ(msgs.count(), 1);
    EXPECT_EQ(rows("select theNum from Member order by ID"), QStringList({"N1", "N2"}));
    // The last row without a name: nothing follows it.
    EXPECT_EQ(importMembers(sheetOf(kMemberHeaders, {{"N7", "庚"}, {"N8", "", "男"}})),
              "第 3 行“会员姓名”列（B3）为空，导入在此行停止。\n成功导入 会员 数据 1 条！");
}

// A card number, phone or goods code that a number cell has cut to 15
// digits arrives in exponent form: it stops the import at its row, naming
// the cell, before two cards that differ in the last digits become one.
TEST_F(ImportTest, LongNumbersThatLostTheirDigitsAreRefused)
{
    const QString why = "”是按数字保存的长号码，EXCEL 只保留前 15 位数字，原来的号码已经无法读出。"
                        "请把此列设置为文本格式，重新录入号码后再导入。\n导入在此行停止，此行及以后的数据没有导入。\n";
    EXPECT_EQ(importMembers(sheetOf(kMemberHeaders, {{"622202123456", "甲", "", "", "", "13800138000"},
                                                     {"6.22202123456789e+18", "乙"},
                                                     {"6.22202123456789e+18", "丙"}})),
              "第 3 行“会员卡号”列（A3）的内容“6.22202123456789e+18" + why + "成功导入 会员 数据 1 条！");
    EXPECT_EQ(importMembers(sheetOf(kMemberHeaders, {{"P1", "丁", "", "", "", "1.38001380001E+15"}})),
              "第 2 行“联系方式”列（F2）的内容“1.38001380001E+15" + why + "成功导入 会员 数据 0 条！");
    EXPECT_EQ(rows("select theNum,thePho from Member order by ID"), QStringList({"622202123456|13800138000"}));

    EXPECT_EQ(importSheet<TfrmIn_S>(sheetOf(kGoodsHeaders,
                                            {{"饮料", "6901234567892", "水"}, {"饮料", "6.90123456789235e+17", "茶"}})),
              "第 3 行“商品编码”列（B3）的内容“6.90123456789235e+17" + why + "成功导入 商品 数据 1 条！");
    EXPECT_EQ(importSheet<TfrmIn_G>(sheetOf(kSupplierHeaders, {{"华联", "甲", "8.6106512345678E+16"}})),
              "第 2 行“联系电话”列（C2）的内容“8.6106512345678E+16" + why + "成功导入 供应商 数据 0 条！");
    EXPECT_EQ(rows("select theNum from SShop"), QStringList{"6901234567892"});
    EXPECT_EQ(count("SSup"), 0);
}

// The same from a workbook a spreadsheet program wrote: the 19-digit card
// held as a number cell is refused, a card held as text is kept whole.
TEST_F(ImportTest, ANumberCellTooLongForItsDigitsIsRefusedFromTheWorkbook)
{
    QString header;
    for (int i = 0; i < kMemberHeaders.size(); ++i)
        header += QString("<c r=\"") + QChar('A' + i) + "1\" t=\"inlineStr\"><is><t>" + kMemberHeaders[i] +
                  "</t></is></c>";
    const QString sheet = "<row r=\"1\">" + header + "</row>" +
                          "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>000123456789</t></is></c>"
                          "<c r=\"B2\" t=\"inlineStr\"><is><t>甲</t></is></c></row>"
                          "<row r=\"3\"><c r=\"A3\"><v>6222021234567890124</v></c>"
                          "<c r=\"B3\" t=\"inlineStr\"><is><t>乙</t></is></c></row>";
    const QString path = dir.filePath("long.xlsx");
    ASSERT_TRUE(exceltest::writeFile(path, exceltest::makeZip(exceltest::workbookParts(sheet))));
    TfrmIn_M w;
    ASSERT_TRUE(w.myOpen(path));
    w.DBLookupComboBox1->setText("普通会员");
    w.BitBtn2Click();
    EXPECT_TRUE(msgs.last().startsWith("第 3 行“会员卡号”列（A3）的内容“6.22202123456789e+18”是按数字保存的长号码"))
            << msgs.last().toStdString();
    EXPECT_EQ(rows("select theNum from Member"), QStringList{"000123456789"});
}

// A card number longer than the till takes would be kept whole here but cut
// when typed or scanned at the till, where two such cards look the same: the
// import stops at its row, naming the cell; the rows before it stay.
TEST_F(ImportTest, CardNumbersLongerThanTheTillTakesAreRefused)
{
    TfrmIn_M w;
    w.setSheet(sheetOf(kMemberHeaders, {{"622202123456", "甲"},
                                        {"6222021234567890123", "乙"},
                                        {"6222021234567890124", "丙"}}));
    w.DBLookupComboBox1->setText("普通会员");
    w.show();
    w.BitBtn2->setFocus();
    QTest::keyClick(w.BitBtn2, Qt::Key_Return);
    EXPECT_EQ(msgs.last(), "第 3 行“会员卡号”列（A3）的内容“6222021234567890123”有 19 个字符，卡号最长 12 个字符，"
                           "收银和会员窗口无法录入此卡号。请改用不超过 12 个字符的卡号后再导入。\n"
                           "导入在此行停止，此行及以后的数据没有导入。\n成功导入 会员 数据 1 条！");
    EXPECT_EQ(rows("select theNum from Member"), QStringList{"622202123456"});
    // One character over is refused too, the till's length is taken.
    EXPECT_TRUE(importMembers(sheetOf(kMemberHeaders, {{"ABCDEFGHIJKLM", "丁"}, {"ABCDEFGHIJKL", "戊"}}))
                        .startsWith("第 2 行“会员卡号”列（A2）的内容“ABCDEFGHIJKLM”有 13 个字符"));
    EXPECT_EQ(importMembers(sheetOf(kMemberHeaders, {{"ABCDEFGHIJKL", "戊"}})), "成功导入 会员 数据 1 条！");
    EXPECT_EQ(rows("select theNum from Member order by ID"), QStringList({"622202123456", "ABCDEFGHIJKL"}));
}

// ------------------------------------------------------------------ goods and suppliers

TEST_F(ImportTest, GoodsKeepTheirCategoryAndSkipLiveCodes)
{
    exec("INSERT INTO SType (theName,Remark,theState,theKC) VALUES ('服务','','启用','否')");
    exec("INSERT INTO SShop (theNum,theName,theType,theDel,theDate) VALUES ('S1','旧','服务','否','2026-01-01')");
    EXPECT_EQ(importSheet<TfrmIn_S>(sheetOf(kGoodsHeaders, {{"服务", "S1", "洗车"},
                                                            {"服务", "", "打蜡", "次", "30"},
                                                            {"服务", "S2", "镀膜", "次", "80"},
                                                            {"服务", "", "抛光", "次", "50", "", "", "O'K"},
                                                            {"服务", "S9"}})),
              "成功导入 商品 数据 3 条！\n跳过 2 条数据：\n第 2 "
              "行“商品编码”列（B2）的编码“S1”已有商品使用，此行没有导入。\n"
              "第 6 行“商品名称”列（C6）为空，此行没有导入。");
    // Codes of the business date, counting every goods item stored that day;
    // the category's own stock flag.
    EXPECT_EQ(rows("select theNum,theName,thePrice,theCB,theCount,theKC,Remark from SShop where theDate='2026-03-07' "
                   "order by ID"),
              QStringList({"2603070001|打蜡|30|0|0|否|", "S2|镀膜|80|0|0|否|", "2603070003|抛光|50|0|0|否|O'K"}));
    EXPECT_EQ(count("SType"), 1);
    EXPECT_EQ(count("MTS"), 0);
}

TEST_F(ImportTest, SuppliersSkipLiveNamesAndEmptyOnes)
{
    exec("INSERT INTO SSup (theName,thePro,thePhone,theAdd,Remark,theDel,thePY) VALUES ('华联','','','','','否','HL')");
    exec("INSERT INTO SSup (theName,thePro,thePhone,theAdd,Remark,theDel,thePY) VALUES ('旧厂','','','','','是','JC')");
    EXPECT_EQ(importSheet<TfrmIn_G>(sheetOf(kSupplierHeaders, {{"华联", "甲"},
                                                               {"", "乙", "1"},
                                                               {"旧厂", "丙", "010-1", "北京", "再合作"},
                                                               {"O'Neil 贸易", "丁"},
                                                               {"O'Neil 贸易", "戊"}})),
              "成功导入 供应商 数据 2 条！\n跳过 3 条数据：\n第 2 行“供应商”列（A2）的“华联”已存在，此行没有导入。\n"
              "第 3 行“供应商”列（A3）为空，此行没有导入。\n"
              "第 6 行“供应商”列（A6）的“O'Neil 贸易”已存在，此行没有导入。");
    EXPECT_TRUE(accepted);
    EXPECT_EQ(rows("select theName,thePro,thePhone,theAdd,Remark,theDel,thePY from SSup where ID>2 order by ID"),
              QStringList({"旧厂|丙|010-1|北京|再合作|否|JC", "O'Neil 贸易|丁||||否|" + MakePYCode("O'Neil 贸易")}));
}

// Rows without a card take the next number no member holds: a row with its
// own card may hold the one the count gives, and the rows after it were
// once all "duplicates" of it.  Every row left out is named with why.
TEST_F(ImportTest, EmptyCardsTakeTheNextFreeNumberAndSkippedRowsAreNamed)
{
    EXPECT_EQ(
            importMembers(sheetOf(
                    kMemberHeaders,
                    {{"26000002", "甲"}, {"", "乙"}, {"", "丙"}, {"26000005", "丁"}, {"", "戊"}, {"26000002", "己"}})),
            "成功导入 会员 数据 5 条！\n跳过 1 条数据：\n"
            "第 7 行“会员卡号”列（A7）的卡号“26000002”已有会员使用，此行没有导入。");
    EXPECT_EQ(rows("select theNum,theName from Member order by ID"),
              QStringList({"26000002|甲", "26000003|乙", "26000004|丙", "26000005|丁", "26000006|戊"}));
    // The next card proposed is free too.
    EXPECT_EQ(frmDM->NewMNum(), "26000007");
    exec("INSERT INTO Member (theNum,theName,theDel,theDate) VALUES ('26000007','手录','是','2026-03-07')");
    exec("INSERT INTO Member (theNum,theName,theDel,theDate) VALUES ('26000009','手录','否','2025-03-07')");
    EXPECT_EQ(frmDM->NewMNum(), "26000008");

    // Goods codes likewise.
    exec("INSERT INTO SShop (theNum,theName,theType,theDel,theDate) VALUES "
         "('2603070001','旧','饮料','否','2026-01-01')");
    EXPECT_EQ(importSheet<TfrmIn_S>(sheetOf(kGoodsHeaders, {{"饮料", "", "水"}, {"饮料", "", "茶"}})),
              "成功导入 商品 数据 2 条！");
    EXPECT_EQ(rows("select theNum from SShop where theDate='2026-03-07' order by ID"),
              QStringList({"2603070002", "2603070003"}));
}

// A long list of rows left out: the first twenty in the message, all of
// them behind its "详细信息".
TEST_F(ImportTest, AllSkippedRowsAreNamedEvenWhenManyAre)
{
    QVector<QStringList> sheetRows;
    for (int i = 0; i < 25; ++i) sheetRows.append(QStringList{"天马", "联系人"});
    importSheet<TfrmIn_G>(sheetOf(kSupplierHeaders, sheetRows));
    const ui::Message &m = msgs.shown().back();
    EXPECT_TRUE(
            m.text.startsWith("成功导入 供应商 数据 1 条！\n跳过 24 条数据：\n第 3 行“供应商”列（A3）的“天马”已存在"))
            << m.text.toStdString();
    EXPECT_TRUE(m.text.contains("第 22 行“供应商”列（A22）")) << m.text.toStdString();
    EXPECT_FALSE(m.text.contains("第 23 行")) << m.text.toStdString();
    EXPECT_TRUE(m.text.endsWith("……其余 4 条见“详细信息”。")) << m.text.toStdString();
    const QStringList details = m.details.split('\n');
    ASSERT_EQ(details.size(), 24);
    EXPECT_TRUE(details.last().startsWith("第 26 行“供应商”列（A26）")) << details.last().toStdString();
}

// What the entry windows refuse is refused here too, naming the cell: goods
// with a price, cost or stock below 0, a member's balance below 0.  Points
// may stand below 0 (manual points take them away).
TEST_F(ImportTest, NegativePricesCostsStockAndBalancesStopTheImport)
{
    for (int column : {4, 5, 6}) {
        QStringList bad{"饮料", "", "茶", "包", "1", "1", "1"};
        bad[column] = "-0.5";
        const QString m = importSheet<TfrmIn_S>(sheetOf(kGoodsHeaders, {{"饮料", "", "水", "瓶", "2", "1", "3"}, bad}));
        EXPECT_TRUE(m.startsWith("第 3 行“" + kGoodsHeaders[column] + "”列（" + QChar('A' + column) +
                                 "3）的内容“-0.5”是负数，不能为负数。"))
                << m.toStdString();
        EXPECT_TRUE(m.endsWith("成功导入 商品 数据 1 条！")) << m.toStdString();
    }
    EXPECT_EQ(rows("select count(*) from SShop where theName='茶'"), QStringList{"0"});
    // "-0" is no less than 0.
    importSheet<TfrmIn_S>(sheetOf(kGoodsHeaders, {{"饮料", "", "茶", "包", "-0"}}));
    EXPECT_EQ(rows("select thePrice from SShop where theName='茶'"), QStringList{"0"});

    EXPECT_EQ(importMembers(sheetOf(kMemberHeaders, {{"M1", "甲", "", "", "", "", "", "-5", "0"},
                                                     {"M2", "乙", "", "", "", "", "", "", "-100"}})),
              "第 3 行“账户余额”列（I3）的内容“-100”是负数，不能为负数。\n导入在此行停止，此行及以后的数据没有导入。\n"
              "成功导入 会员 数据 1 条！");
    EXPECT_EQ(rows("select theNum,theJF,theCZ from Member"), QStringList{"M1|-5|0"});
}

// A formula a program wrote without calculating it has no value in the
// workbook, and an error cell none either: neither is taken for an empty
// cell (points "=1+1" stored as 0), the import stops naming it.
TEST_F(ImportTest, FormulasWithoutAValueAndErrorCellsStopTheImport)
{
    QString header;
    for (int i = 0; i < kMemberHeaders.size(); ++i)
        header += QString("<c r=\"") + QChar('A' + i) + "1\" t=\"inlineStr\"><is><t>" + kMemberHeaders[i] +
                  "</t></is></c>";
    const auto row = [](int n, const QString &card, const QString &points) {
        return QString("<row r=\"%1\"><c r=\"A%1\" t=\"inlineStr\"><is><t>%2</t></is></c>"
                       "<c r=\"B%1\" t=\"inlineStr\"><is><t>甲</t></is></c>%3</row>")
                .arg(n)
                .arg(card, points);
    };
    struct Case {
        QString points, says;
    } cases[] = {
            {"<c r=\"H3\"><f>1+1</f></c>", "是没有保存计算结果的公式"},
            {"<c r=\"H3\"><f>1+1</f><v></v></c>", "是没有保存计算结果的公式"},
            {"<c r=\"H3\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>", "是错误值"},
            {"<c r=\"H3\" t=\"e\"><v>#N/A</v></c>", "是错误值"},
    };
    int n = 0;
    for (const Case &k : cases) {
        SCOPED_TRACE(k.points.toStdString());
        const QString path = dir.filePath(QString("formula%1.xlsx").arg(++n));
        const QString sheet = "<row r=\"1\">" + header + "</row>" +
                              row(2, "F" + QString::number(n), "<c r=\"H2\"><f>1+1</f><v>2</v></c>") +
                              row(3, "G" + QString::number(n), k.points);
        ASSERT_TRUE(exceltest::writeFile(path, exceltest::makeZip(exceltest::workbookParts(sheet))));
        TfrmIn_M w;
        ASSERT_TRUE(w.myOpen(path));
        w.DBLookupComboBox1->setText("普通会员");
        w.BitBtn2Click();
        EXPECT_TRUE(msgs.last().startsWith("第 3 行“积分”列（H3）" + k.says)) << msgs.last().toStdString();
        EXPECT_TRUE(msgs.last().endsWith("成功导入 会员 数据 1 条！")) << msgs.last().toStdString();
    }
    EXPECT_EQ(rows("select theNum,theJF from Member order by ID"), QStringList({"F1|2", "F2|2", "F3|2", "F4|2"}));
}

TEST_F(ImportTest, TheWindowsOpenFromTheirMenuItems)
{
    core::registerWindows();
    for (const char *key : {"104", "504", "518"}) EXPECT_TRUE(bool(velmora::findOpener(key))) << key;
    TfrmIn_M m;
    TfrmIn_S s;
    TfrmIn_G g;
    EXPECT_EQ(QStringList({m.windowTitle(), s.windowTitle(), g.windowTitle()}),
              QStringList({"会员导入", "商品导入", "供应商导入"}));
    // Enabled member types only.
    exec("INSERT INTO MType (theName,theZK,theJF,Remark,theState,theXF) VALUES ('停卡',100,1,'','停用',0)");
    TfrmIn_M fresh;
    EXPECT_EQ(fresh.DBLookupComboBox1->items(), QStringList{"普通会员"});
    EXPECT_TRUE(fresh.DBLookupComboBox1->Text().isEmpty());
}

}  // namespace

// ------------------------------------------------------------------ reading the workbook

namespace {

// Replaces the workbook reader and the reading window's hook while alive.
struct ReaderSwap {
    explicit ReaderSwap(TfrmImport::WorkbookReader reader, std::function<void(TfrmReading *)> shown = {})
        : oldReader(TfrmImport::workbookReader()), oldShown(TfrmReading::onShown())
    {
        TfrmImport::workbookReader() = std::move(reader);
        TfrmReading::onShown() = std::move(shown);
    }
    ~ReaderSwap()
    {
        TfrmImport::workbookReader() = oldReader;
        TfrmReading::onShown() = oldShown;
    }
    TfrmImport::WorkbookReader oldReader;
    std::function<void(TfrmReading *)> oldShown;
};

}  // namespace

TEST_F(ImportTest, AWorkbookIsReadOffTheWindowWithProgressAndCanBeCancelled)
{
    TfrmIn_M w;
    ASSERT_TRUE(w.myOpen(dataFile("core", "import_members.xlsx")));
    const int loaded = w.ExcelData.rowCount();
    ASSERT_GT(loaded, 0);
    msgs.clear();

    // The reader tells 40% and goes on only once the window shows it, then
    // waits to be stopped: both happen only while the window keeps working.
    std::atomic<bool> barShown{false};
    std::atomic<bool> onOtherThread{false};
    std::atomic<int> askedAfterStop{0};
    TfrmReading *shownWindow = nullptr;
    ReaderSwap swap(
            [&](const QString &, const excel::ReadProgress &progress) {
                onOtherThread = QThread::currentThread() != qApp->thread();
                excel::ReadResult r;
                for (qint64 spin = 0; spin < 2'000'000'000 && progress(40); ++spin)
                    if (barShown) break;
                for (qint64 spin = 0; spin < 2'000'000'000; ++spin)
                    if (!progress(60)) {
                        ++askedAfterStop;
                        r.problem = excel::ReadProblem::Cancelled;
                        return r;
                    }
                return r;  // never stopped: the test fails below
            },
            [&](TfrmReading *reading) {
                shownWindow = reading;
                EXPECT_TRUE(reading->isVisible());
                EXPECT_EQ(reading->BitBtn1->text(), "取消");
                auto *watch = new QTimer(reading);
                QObject::connect(watch, &QTimer::timeout, reading, [reading, watch, &barShown] {
                    if (reading->ProgressBar1->value() != 40) return;
                    barShown = true;
                    watch->stop();
                    reading->BitBtn1->click();
                });
                watch->start(1);
            });
    EXPECT_FALSE(w.myOpen(QStringLiteral("/nowhere/会员.xlsx")));
    ASSERT_NE(shownWindow, nullptr);
    EXPECT_TRUE(onOtherThread);
    EXPECT_TRUE(barShown);
    EXPECT_EQ(askedAfterStop, 1);
    // Cancelling says nothing and keeps what was shown before.
    EXPECT_EQ(msgs.count(), 0) << msgs.last().toStdString();
    EXPECT_EQ(w.ExcelData.rowCount(), loaded);
    EXPECT_TRUE(w.BitBtn2->isEnabled());
}

TEST_F(ImportTest, EscInTheReadingWindowCancelsTheReading)
{
    TfrmIn_S w;
    ReaderSwap swap(
            [&](const QString &, const excel::ReadProgress &progress) {
                excel::ReadResult r;
                for (qint64 spin = 0; spin < 2'000'000'000; ++spin)
                    if (!progress(10)) {
                        r.problem = excel::ReadProblem::Cancelled;
                        return r;
                    }
                return r;
            },
            [](TfrmReading *reading) {
                QTimer::singleShot(0, reading, [reading] {
                    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QCoreApplication::sendEvent(reading, &esc);
                });
            });
    EXPECT_FALSE(w.myOpen(QStringLiteral("/nowhere/供应商.xls")));
    EXPECT_EQ(msgs.count(), 0);
}

TEST_F(ImportTest, AWorkbookWithACellTooLongForExcelIsRefusedBeforeAnyImport)
{
    // A member sheet whose second name is longer than a cell can hold.
    QByteArray sheet = "<row r=\"1\">";
    for (int c = 0; c < kMemberHeaders.size(); ++c)
        sheet += "<c r=\"" + QByteArray(1, char('A' + c)) + "1\" t=\"inlineStr\"><is><t>" + kMemberHeaders[c].toUtf8() +
                 "</t></is></c>";
    sheet += "</row><row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>26000001</t></is></c>"
             "<c r=\"B2\" t=\"inlineStr\"><is><t>张三</t></is></c></row>"
             "<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>26000002</t></is></c>"
             "<c r=\"B3\" t=\"inlineStr\"><is><t>" +
             QString(40000, QChar(0x957F)).toUtf8() + "</t></is></c></row>";
    const QString path = dir.filePath(QStringLiteral("长文字.xlsx"));
    ASSERT_TRUE(exceltest::writeFile(path, exceltest::makeZip(exceltest::workbookParts(QString::fromUtf8(sheet)))));

    TfrmIn_M w;
    EXPECT_FALSE(w.myOpen(path));
    EXPECT_TRUE(msgs.last().contains("数据量太大")) << msgs.last().toStdString();
    EXPECT_TRUE(msgs.last().contains("长文字.xlsx"));
    EXPECT_FALSE(w.BitBtn2->isEnabled());
    EXPECT_EQ(w.ExcelData.rowCount(), 0);
    EXPECT_EQ(count("Member"), 0);
}
