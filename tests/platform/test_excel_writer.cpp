#include "excel_test_util.h"

#include "platform/excel/excelcell.h"
#include "platform/excel/excelreader.h"
#include "platform/excel/excelwriter.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace excel;
using namespace exceltest;

namespace {

// Layouts of the shop's list windows, as the writer gets them.
const ExportLayout &layoutOf(const char *window)
{
    static const QVector<ExportLayout> layouts = {
            makeExportLayout("TfrmKC", "商品库存查询", "商品库存表",
                             "序号 4,商品分类 12,商品编码 10,商品名称 32,单位 6,成本 8,库存数量 8,库存金额 10,备注 24",
                             "商品编码", "7 库存数量,8 库存金额"),
            makeExportLayout("TfrmCZ_M", "储值查询", "储值表",
                             "序号 4,储值日期 10,单号 10,会员卡号 10,储值金额 10,赠送金额 10,收款方式 10,收款人 10,"
                             "员工姓名 10,备注 10,录入日期 10,录入人 10",
                             "储值日期,单号,会员卡号,录入日期", "5 储值金额,6 赠送金额"),
            makeExportLayout("TfrmGYS_M", "供应商查询", "供应商表",
                             "序号 4,供应商 24,联系人 16,联系电话 20,联系地址 30,备注 20", "", ""),
            makeExportLayout("TfrmXF_M", "消费查询", "消费表",
                             "序号 4,消费日期 8,单号 8,类型 4,会员卡号 10,商品数量 8,商品金额 8,折上折 6,折让金额 8,"
                             "实收金额 8,应收金额 8,员工姓名 8,备注 12,录入人 8,录入日期 8,本单积分 8,商品成本 8,"
                             "介绍人卡号 10,提成 4,提成积分 8,提成金额 8,本单利润 8",
                             "消费日期,单号,会员卡号,录入日期,介绍人卡号",
                             "6 商品数量,7 商品金额,9 折让金额,10 实收金额,11 应收金额,16 本单积分,17 商品成本,"
                             "20 提成积分,21 提成金额,22 利润"),
            makeExportLayout("TfrmJNRTX", "纪念日提醒", "会员纪念日表",
                             "序号 4,会员卡号 8,会员分类 8,会员姓名 10,性别 6,纪念日名称 12,纪念日 8,备注 16",
                             "会员卡号", "", false),
            makeExportLayout("TfrmXF_SKQ", "消费收款查询", "消费收款表",
                             "序号 4,消费日期 8,单号 8,类型 4,会员卡号 10,收款日期 8,收款金额 8,收款方式 8,收款人 8,"
                             "员工姓名 8",
                             "消费日期,单号,会员卡号,收款日期", "7 收款金额", false),
            makeExportLayout("TfrmMember_M", "会员查询", "会员表",
                             "序号,会员卡号,会员分类,会员姓名,性别,公历生日,农历生日,联系方式,联系地址,体貌特征,爱好,"
                             "车牌,享受折扣,积分比例,积分,累计消费,消费次数,消费日期,账户余额,录入人,录入日期,备注,"
                             "状态,介绍人卡号",
                             "会员卡号,公历生日,农历生日,联系方式,消费日期,录入日期",
                             "15 积分,16 累计消费,17 消费次数,19 账户余额"),
    };
    for (const ExportLayout &l : layouts)
        if (l.window == QLatin1String(window)) return l;
    ADD_FAILURE() << window;
    static const ExportLayout none;
    return none;
}

// A cell's type as written: a number or an inline text.
constexpr char kNumber[] = "";
constexpr char kText[] = "inlineStr";

// The cell holds the value as a number or as a text.
::testing::AssertionResult cellIs(const XSheet &x, const char *ref, const char *type, const QString &value)
{
    const XCell c = x.cells.value(QLatin1String(ref));
    if (c.type == QLatin1String(type) && c.value == value) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << ref << " holds " << (c.type.isEmpty() ? "number" : c.type.toStdString())
                                         << " \"" << c.value.toStdString() << "\"";
}

}  // namespace

TEST(ExcelWriter, StockListExportIsLaidOutForPrinting)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kc.xlsx");
    const ExportLayout &kc = layoutOf("TfrmKC");
    const QVector<QStringList> rows = {
            {"饮料", "00123", "可口可乐", "瓶", "2.5", "48", "120", ""},
            {"零食", "6901234567892", "薯片", "包", "5", "-2", "-10", "2008-01-05"},
    };
    const ExportResult r = writeExport(path, kc, "星光便利店", rows, {{7, "46"}, {8, "110"}});
    ASSERT_TRUE(r.written) << r.detail.toStdString();
    EXPECT_EQ(r.rows, 2);
    EXPECT_TRUE(r.message.isEmpty());

    const XSheet x = inspectXlsx(path);
    ASSERT_TRUE(x.ok);
    // Title row: shop name and title, merged over A..I, 宋体 16 bold, centred.
    EXPECT_EQ(x.cells["A1"].value, "星光便利店商品库存表");
    EXPECT_EQ(x.merges, QStringList({"A1:I1"}));
    const auto &title = x.styles[x.cells["A1"].style];
    EXPECT_EQ(title.fontName, "宋体");
    EXPECT_EQ(title.fontSize, 16);
    EXPECT_TRUE(title.bold);
    EXPECT_EQ(title.horizontal, "center");
    EXPECT_EQ(title.vertical, "center");
    EXPECT_FALSE(title.thinBorder);
    EXPECT_EQ(x.docTitle, "星光便利店商品库存表");

    // Header row: the column titles, bold and centred, size 9, bordered.
    QStringList header;
    for (int c = 0; c < 9; ++c) header << x.cells[columnLetters(c) + "2"].value;
    EXPECT_EQ(header, QStringList({"序号", "商品分类", "商品编码", "商品名称", "单位", "成本", "库存数量", "库存金额",
                                   "备注"}));
    const auto &head = x.styles[x.cells["D2"].style];
    EXPECT_TRUE(head.bold);
    EXPECT_EQ(head.horizontal, "center");
    EXPECT_EQ(head.fontSize, 9);
    EXPECT_TRUE(head.thinBorder);

    // Rows: numbered, the code column as text, the others as numbers where
    // they read as numbers.
    EXPECT_TRUE(cellIs(x, "A3", kNumber, "1"));
    EXPECT_EQ(x.cells["A4"].value, "2");
    EXPECT_TRUE(cellIs(x, "C3", kText, "00123"));
    EXPECT_EQ(x.cells["C4"].type, "inlineStr");
    EXPECT_TRUE(cellIs(x, "F3", kNumber, "2.5"));
    EXPECT_TRUE(cellIs(x, "G4", kNumber, "-2"));
    EXPECT_TRUE(cellIs(x, "I4", kText, "2008-01-05"));  // a date stays text

    // Totals row right after the data.
    EXPECT_EQ(x.cells["A5"].value, "合计");
    EXPECT_TRUE(cellIs(x, "G5", kNumber, "46"));
    EXPECT_EQ(x.cells["H5"].value, "110");
    EXPECT_EQ(x.dimension, "A1:I5");

    // Every cell from the header row to the totals row has a thin border
    // and size 9, empty ones included.
    for (int row = 2; row <= 5; ++row)
        for (int c = 0; c < 9; ++c) {
            const QString ref = columnLetters(c) + QString::number(row);
            ASSERT_TRUE(x.cells.contains(ref)) << ref.toStdString();
            EXPECT_TRUE(x.styles[x.cells[ref].style].thinBorder) << ref.toStdString();
            EXPECT_EQ(x.styles[x.cells[ref].style].fontSize, 9) << ref.toStdString();
        }
    EXPECT_FALSE(x.styles[x.cells["B3"].style].bold);

    // Widths in character units (the file stores them with the cell padding).
    ASSERT_EQ(x.widths.size(), 9);
    for (const auto &w : x.widths) EXPECT_NEAR(w.second, kc.columns[w.first - 1].width + 0.71, 0.01) << w.first;
    EXPECT_EQ(x.orientation, "landscape");
    EXPECT_EQ(x.footer, "&C" + QString::fromUtf8(kExportFooter));
    EXPECT_TRUE(x.footer.endsWith(" 共&N页，第&P页"));

    // And the rows read back through the import reader.
    const ReadResult back = readWorkbook(path);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.sheet.headerRowNumber(), 1);  // the title row comes first
    EXPECT_EQ(back.sheet.cell(1, 2), "00123");
    EXPECT_EQ(back.sheet.cell(3, 0), "合计");
}

TEST(ExcelWriter, EmptyListsStillGetTitleHeaderAndTotals)
{
    QTemporaryDir dir;
    const QString withTotals = dir.filePath("cz.xlsx");
    ASSERT_TRUE(
            writeExport(withTotals, layoutOf("TfrmCZ_M"), "", QVector<QStringList>{}, {{5, "0"}, {6, "0"}}).written);
    XSheet x = inspectXlsx(withTotals);
    EXPECT_EQ(x.cells["A1"].value, "储值表");  // no shop name: the title alone
    EXPECT_EQ(x.merges, QStringList({"A1:L1"}));
    EXPECT_EQ(x.cells["A3"].value, "合计");
    EXPECT_EQ(x.cells["E3"].value, "0");
    EXPECT_EQ(x.dimension, "A1:L3");
    EXPECT_TRUE(x.styles[x.cells["L3"].style].thinBorder);

    const QString without = dir.filePath("gys.xlsx");
    ASSERT_TRUE(writeExport(without, layoutOf("TfrmGYS_M"), "店", QVector<QStringList>{}).written);
    x = inspectXlsx(without);
    EXPECT_EQ(x.dimension, "A1:F2");
    EXPECT_FALSE(x.cells.contains("A3"));
}

TEST(ExcelWriter, OnlyTextThatSurvivesAsANumberBecomesANumber)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("gys.xlsx");
    // 联系电话 is not a text column, yet a phone number with a leading zero
    // or a long number must not lose digits.
    const QVector<QStringList> rows = {
            {"甲", "张", "02112345678", "路1号", "12.50"},
            {"乙", "李", "13800138000", "=HYPERLINK(\"x\")", "1234567890123456789"},
            {"丙", "", "-0", "", "1e5"},
    };
    ASSERT_TRUE(writeExport(path, layoutOf("TfrmGYS_M"), "店", rows).written);
    const XSheet x = inspectXlsx(path);
    EXPECT_TRUE(cellIs(x, "D3", kText, "02112345678"));
    EXPECT_TRUE(cellIs(x, "F3", kNumber, "12.5"));
    EXPECT_TRUE(cellIs(x, "D4", kNumber, "13800138000"));
    EXPECT_EQ(x.cells["E4"].type, "inlineStr");  // never a formula
    EXPECT_TRUE(cellIs(x, "F4", kText, "1234567890123456789"));
    EXPECT_EQ(x.cells["D5"].type, "inlineStr");
    EXPECT_EQ(x.cells["F5"].type, "inlineStr");
    EXPECT_TRUE(cellIs(x, "C5", kNumber, ""));
}

TEST(ExcelWriter, RowSourceAndShortRows)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("xf.xlsx");
    const ExportLayout &xf = layoutOf("TfrmXF_M");
    int produced = 0;
    const ExportResult r = writeExport(path, xf, "店",
                                       [&](QStringList &values) {
                                           if (produced == 3) return false;
                                           ++produced;
                                           values << "2024-01-0" + QString::number(produced)
                                                  << "2401050001";  // the rest left out
                                           return true;
                                       },
                                       {{22, "9.9"}});
    ASSERT_TRUE(r.written);
    EXPECT_EQ(r.rows, 3);
    const XSheet x = inspectXlsx(path);
    EXPECT_EQ(x.merges, QStringList({"A1:V1"}));
    EXPECT_TRUE(cellIs(x, "C5", kText, "2401050001"));  // 单号 is a text column
    EXPECT_EQ(x.cells["V5"].value, "");
    EXPECT_TRUE(x.styles[x.cells["V5"].style].thinBorder);
    EXPECT_EQ(x.cells["V6"].value, "9.9");
    EXPECT_EQ(x.cells["F6"].value, "");  // no total given
}

TEST(ExcelWriter, PortraitWindowsAndDefaultWidths)
{
    QTemporaryDir dir;
    for (const char *w : {"TfrmJNRTX", "TfrmXF_SKQ"}) {
        const QString path = dir.filePath(QString::fromLatin1(w) + ".xlsx");
        ASSERT_TRUE(writeExport(path, layoutOf(w), "店", QVector<QStringList>{}).written);
        EXPECT_NE(inspectXlsx(path).orientation, "landscape") << w;
    }
    const QString member = dir.filePath("member.xlsx");
    ASSERT_TRUE(writeExport(member, layoutOf("TfrmMember_M"), "店", QVector<QStringList>{}).written);
    const XSheet x = inspectXlsx(member);
    EXPECT_TRUE(x.widths.isEmpty());
    EXPECT_EQ(x.orientation, "landscape");
}

TEST(ExcelWriter, FailureLeavesNoFileAndGivesTheMessage)
{
    QTemporaryDir dir;
    const QString inMissingFolder = dir.filePath("无此目录/kc.xlsx");
    ExportResult r = writeExport(inMissingFolder, layoutOf("TfrmKC"), "店", QVector<QStringList>{{"a"}});
    EXPECT_FALSE(r.written);
    // The message names the file; the system says why.
    EXPECT_EQ(r.message, "无法创建Xls文件：" + inMissingFolder);
    EXPECT_FALSE(r.detail.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(inMissingFolder));

    // A folder where the file should be: cannot be replaced.
    const QString blocked = dir.filePath("blocked.xlsx");
    ASSERT_TRUE(QDir(dir.path()).mkdir("blocked.xlsx"));
    r = writeExport(blocked, layoutOf("TfrmKC"), "店", QVector<QStringList>{{"a"}});
    EXPECT_FALSE(r.written);
    EXPECT_EQ(r.message, cannotWriteMessage(blocked));
    EXPECT_FALSE(r.detail.isEmpty());

    // An existing file of that name is replaced.
    const QString existing = dir.filePath("old.xlsx");
    ASSERT_TRUE(writeFile(existing, "old contents"));
    r = writeExport(existing, layoutOf("TfrmKC"), "店", QVector<QStringList>{{"饮料", "001"}});
    ASSERT_TRUE(r.written);
    EXPECT_EQ(inspectXlsx(existing).cells["C3"].value, "001");
}

TEST(ExcelWriter, ExportFileNamesFromTitleAndTime)
{
    const QDateTime when(QDate(2024, 1, 5), QTime(14, 30, 0));
    EXPECT_EQ(exportFileName("商品库存表", when), "商品库存表_20240105_143000.xlsx");
    EXPECT_EQ(exportFileName("a/b:c", when), "a_b_c_20240105_143000.xlsx");
    QTemporaryDir dir;
    const QString first = exportFilePath(dir.path(), "消费表", when);
    EXPECT_EQ(QFileInfo(first).fileName(), "消费表_20240105_143000.xlsx");
    ASSERT_TRUE(writeFile(first, "x"));
    const QString second = exportFilePath(dir.path(), "消费表", when);
    EXPECT_EQ(QFileInfo(second).fileName(), "消费表_20240105_143000_2.xlsx");
    // A dangling link at the next name counts as taken: writing there would
    // land at the link's target.
    const QString elsewhere = dir.filePath("elsewhere.xlsx");
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere).constData(), QFile::encodeName(second).constData()), 0);
    const QString third = exportFilePath(dir.path(), "消费表", when);
    EXPECT_EQ(QFileInfo(third).fileName(), "消费表_20240105_143000_3.xlsx");
    EXPECT_FALSE(QFileInfo::exists(elsewhere));
}

TEST(ExcelWriter, ThousandsOfRowsReadBackUnchanged)
{
    // Large enough that every part is read in many chunks.
    QTemporaryDir dir;
    const QString path = dir.filePath("kc.xlsx");
    QVector<QStringList> rows;
    for (int i = 0; i < 5000; ++i)
        rows.append({"分类" + QString::number(i % 7), QStringLiteral("%1").arg(i, 6, 10, QChar('0')),
                     "商品" + QString::number(i), "个", QString::number(i * 0.25), QString::number(i % 50),
                     QString::number(i * 0.25 * (i % 50)), i % 3 ? QString() : "备注"});
    ASSERT_TRUE(writeExport(path, layoutOf("TfrmKC"), "店", rows, {{7, "1"}, {8, "2"}}).written);
    const ReadResult back = readWorkbook(path);
    ASSERT_TRUE(back.ok()) << back.message.toStdString();
    ASSERT_EQ(back.sheet.rowCount(), 1 + 5000 + 1);
    for (int i = 0; i < 5000; ++i) {
        QStringList expected = QStringList{QString::number(i + 1)} + rows[i];
        while (!expected.isEmpty() && expected.last().isEmpty()) expected.removeLast();
        ASSERT_EQ(back.sheet.row(i + 1).cells, expected) << i;
    }
}

TEST(ExcelWriter, ARowSourceThatThrowsLeavesNoFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kc.xlsx");
    int n = 0;
    EXPECT_THROW(writeExport(path, layoutOf("TfrmKC"), "店",
                             [&](QStringList &values) {
                                 if (++n == 3) throw std::runtime_error("query failed");
                                 values << "饮料"
                                        << "001";
                                 return true;
                             }),
                 std::runtime_error);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(ExcelWriter, ControlCharactersAndLongTextsSurvive)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("gys.xlsx");
    const QString control = QStringLiteral("甲") + QChar(1) + "乙\t丙\n丁";
    const QString longText(40000, QChar(u'长'));
    ASSERT_TRUE(writeExport(path, layoutOf("TfrmGYS_M"), "店", QVector<QStringList>{{control, longText}}).written);
    const ReadResult back = readWorkbook(path);
    ASSERT_TRUE(back.ok()) << back.message.toStdString();
    EXPECT_EQ(back.sheet.cell(1, 1), control);
    EXPECT_EQ(back.sheet.cell(1, 2), longText.left(32767));  // Excel's limit for a cell
}

TEST(ExcelWriter, TypedNumbersGoInAsTheyAre)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("typed.xlsx");
    ExportLayout layout;
    layout.title = "表";
    layout.columns = {{"序号", 4, false}, {"单号", 8, true}, {"金额", 8, false}, {"备注", 8, false}};
    // Numbers as a query gives them, a number in a text column, a short
    // row and a value that is no number.
    const QVector<QVector<ExportValue>> rows = {
            {ExportValue(240105001.0), ExportValue(0.1 + 0.2), ExportValue(QStringLiteral("007"))},
            {ExportValue(12.5), ExportValue(1234567890123456789.0)},
            {ExportValue(QStringLiteral("A-1")), ExportValue(std::nan(""))},
    };
    qsizetype next = 0;
    const ExportResult r = writeExport(path, layout, "店", ExportValueSource([&](QVector<ExportValue> &values) {
                                           if (next >= rows.size()) return false;
                                           values = rows[next++];
                                           return true;
                                       }));
    ASSERT_TRUE(r.written) << r.detail.toStdString();
    EXPECT_EQ(r.rows, 3);
    const XSheet x = inspectXlsx(path);
    ASSERT_TRUE(x.ok);
    EXPECT_TRUE(cellIs(x, "B3", kText, "240105001"));  // a text column keeps the text it shows
    EXPECT_EQ(x.cells["C3"].type, "");
    EXPECT_DOUBLE_EQ(x.cells["C3"].value.toDouble(), 0.3);
    EXPECT_EQ(x.cells["D3"].value, "007");
    EXPECT_EQ(x.cells["B4"].value, "12.5");
    EXPECT_EQ(x.cells["C4"].type, "");  // a number, though no text of it would read back as one
    EXPECT_DOUBLE_EQ(x.cells["C4"].value.toDouble(), 1234567890123456789.0);
    EXPECT_EQ(x.cells["D4"].value, "");
    EXPECT_EQ(x.cells["C5"].value, "");  // no number: left empty
    EXPECT_EQ(x.cells["A5"].value, "3");
}
