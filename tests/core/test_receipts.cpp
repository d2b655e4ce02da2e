// Receipt lines composed from saved documents, and the receipt printer.
#include "core/Unit1.h"
#include "core/dm.h"
#include "core/NumToChar.h"
#include "core/receipts.h"
#include "platform/print/textprinter.h"

#include <QFile>
#include <QPrinterInfo>
#include <QProcess>
#include <algorithm>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace velmora::receipts;

namespace {

const QString kSep(28, u'-');

class ReceiptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        dm.openDatabase(dir.filePath("Data/db.edb"), true);
        myLoginDate = "2026-03-07";
        shop = {"好邻居", "", "", ""};
    }
    vdb::Connection &c() { return *dm.ADOConnection1(); }
    void exec(const QString &sql) { c().execute(sql); }
    void member(const QString &card, const QString &del = "否")
    {
        exec("INSERT INTO Member (theNum,theName,theType,theJF,theCZ,theDel,theState) VALUES ('" + card +
             "','张三','金卡',1234.5,20,'" + del + "','启用')");
    }
    void sale(const QString &number, const QString &card, const QString &owed)
    {
        exec("INSERT INTO UXF (theNum,myDate,theDate,MNum,theHJ,theZR,theSJ,theZK,theDX,theYE,theCount,theSum,theJF,"
             "WName,theUser,theDel,theType) VALUES ('" +
             number + "','2026-03-07','2026-03-07','" + card + "',100,2.25,50,100,'壹佰元整'," + owed +
             ",11,102.25,100,'小王','admin','否','会员')");
        exec("INSERT INTO UXF_List (theNum,myBH,theName,theCount,thePrice,theZK,theMoney) VALUES "
             "('" +
             number + "','1','可乐',1,12,100,12)");
        exec("INSERT INTO UXF_List (theNum,myBH,theName,theCount,thePrice,theZK,theMoney) VALUES "
             "('" +
             number + "','2','薯片',10,9.5,95,90.25)");
        exec("INSERT INTO UXF_SK (theNum,theMoney,theSMType,theSKR,SKDate) VALUES ('" + number +
             "',50,'现金','小王','2026-03-07')");
    }
    static QStringList foot() { return {"", "", "Velmora软件 电话400-820-1314", "www.velmora.example", "", "", ""}; }
    QTemporaryDir dir;
    TfrmDM dm;
    Shop shop;
};

TEST(ReceiptFormat, MoneyIsGroupedWithTwoDecimalsAndNonNumbersFail)
{
    EXPECT_EQ(money("1234.5"), "1,234.50");
    EXPECT_EQ(money("1234567.891"), "1,234,567.89");
    EXPECT_EQ(money("0"), "0.00");
    EXPECT_EQ(money("999.999"), "1,000.00");
    EXPECT_EQ(money("-1234"), "-1,234.00");
    EXPECT_THROW(money(""), velmora::ConversionError);
    EXPECT_THROW(money("1.2.3"), velmora::ConversionError);
}

TEST(ReceiptFormat, AlignmentOnlyForTheListedWidths)
{
    EXPECT_EQ(alignRight("1.00", 6, {4, 5}), "  1.00");
    EXPECT_EQ(alignRight("12.00", 8, {4, 5, 6, 7}), "   12.00");
    EXPECT_EQ(alignRight("1,234.00", 8, {4, 5, 6, 7}), "1,234.00");
    EXPECT_EQ(alignRight("123.00", 6, {4, 5}), "123.00");  // a length not listed is left as it is
    EXPECT_EQ(alignLeft("现金", 8, {4, 6}), "现金    ");
    EXPECT_EQ(alignLeft("会员卡", 8, {4, 6}), "会员卡  ");
    EXPECT_EQ(alignLeft("微信A", 8, {4, 6}), "微信A");
    EXPECT_EQ(print::gbkWidth("a会员1"), 6);
}

TEST(ReceiptFormat, LongAddressesSplitAfterTenCharacters)
{
    EXPECT_EQ(splitLong("一二三四五"), QStringList{"一二三四五"});
    EXPECT_EQ(splitLong("一二三四五六七八九十甲乙丙丁戊"), QStringList({"一二三四五六七八九十", "甲乙丙丁戊"}));
    EXPECT_EQ(splitLong("abcdefghijkl"), QStringList({"abcdefghij", "kl"}));
    // More than ten bytes but at most ten characters: one line and nothing more.
    EXPECT_EQ(splitLong("一二三四五六"), QStringList{"一二三四五六"});
}

TEST_F(ReceiptTest, MemberSaleReceiptLineByLine)
{
    member("26000001");
    sale("2603070001", "26000001", "50");
    shop.address = "一二三四五六七八九十甲乙丙丁戊";
    shop.notice = "欢迎光临";
    const QStringList lines = composeXF(c(), "2603070001", shop, "12:34:56");
    QStringList expected = {"",
                            "",
                            "",
                            "    好邻居消费单",
                            kSep,
                            "单号 2603070001[2026-03-07]",
                            "卡号 26000001",
                            "姓名 张三[金卡]",
                            "积分  1,234.50 余额  20.00",
                            "应收  50.00",
                            "----2026-03-07--12:34:56----",
                            "品名数量  单价折扣      金额",
                            kSep,
                            "1 可乐",
                            "  1.00   12.00[100%]   12.00",
                            "2 薯片",
                            " 10.00    9.50[95%]    90.25",
                            kSep,
                            "数量 11.00   金额 102.25",
                            "折上 100%    折让 2.25",
                            "合计 100.00",
                            "大写 壹佰元整",
                            "实收 50.00   应收 50.00",
                            kSep,
                            "2026-03-07现金        50.00",
                            kSep,
                            "员工 小王 制单 admin",
                            "本单积分 100.00",
                            kSep,
                            "地址 一二三四五六七八九十",
                            "甲乙丙丁戊",
                            "欢迎光临"};
    expected << foot();
    EXPECT_EQ(lines, expected);
    for (int i : {14, 16}) EXPECT_EQ(print::gbkWidth(lines[i]), 28) << i;
}

TEST_F(ReceiptTest, WalkInSaleHasNoMemberLinesAndSettledMemberNoOwedLine)
{
    sale("2603070001", "", "0");
    shop.phone = "010-1234";
    QStringList lines = composeXF(c(), "2603070001", shop, "08:00:00");
    EXPECT_EQ(lines[6], "卡号 散客");
    EXPECT_EQ(lines[7], "----2026-03-07--08:00:00----");
    for (const QString &l : lines) {
        EXPECT_FALSE(l.startsWith("姓名") || l.startsWith("积分") || l.startsWith("应收") || l.startsWith("本单积分"))
                << l.toStdString();
    }
    EXPECT_TRUE(lines.contains("电话 010-1234"));

    member("26000002");
    sale("2603070002", "26000002", "0");
    lines = composeXF(c(), "2603070002", shop, "08:00:00");
    EXPECT_EQ(lines[8], "积分  1,234.50 余额  20.00");
    EXPECT_EQ(lines[9], "----2026-03-07--08:00:00----");  // owed sum "0": no line
    EXPECT_TRUE(lines.contains("本单积分 100.00"));
}

// Every line within the receipt's width, and every amount apart from the
// fields beside it (a blank or a bracket between).
void expectFitted(const QStringList &lines)
{
    static const QRegularExpression amount("-?\\d{1,3}(,\\d{3})*\\.\\d\\d");
    for (const QString &l : lines) {
        EXPECT_LE(print::gbkWidth(l), kWidth) << l.toStdString();
        for (auto m = amount.globalMatch(l); m.hasNext();) {
            const auto hit = m.next();
            const QChar before = hit.capturedStart() > 0 ? l[hit.capturedStart() - 1] : u' ';
            const QChar after = hit.capturedEnd() < l.size() ? l[hit.capturedEnd()] : u' ';
            EXPECT_TRUE(before == u' ' || before == u']') << l.toStdString();
            EXPECT_TRUE(after == u' ' || after == u'[') << l.toStdString();
        }
    }
}

// Amounts of 1,000 and more: the quantity, price, discount and amount of a
// line, the member's points and balance and the totals keep a blank between
// them, and a line that would pass 28 columns goes on at a field.
TEST_F(ReceiptTest, AmountsOfAThousandAndMoreKeepTheirFieldsApart)
{
    struct Case {
        const char *price, *count;
    };
    int n = 0;
    for (const Case &k : {Case{"1299", "10"}, Case{"1000", "1"}, Case{"10000", "1"}, Case{"100000", "1"},
                          Case{"99999.99", "10"}, Case{"123456.78", "10"}, Case{"1000", "1000"}}) {
        SCOPED_TRACE(std::string(k.price) + " x " + k.count);
        const double total = QString(k.price).toDouble() * QString(k.count).toDouble();
        const QString t = QString::number(total, 'f', 2), num = QString("26030700%1").arg(++n, 2, 10, QChar('0'));
        const QString card = "2600000" + QString::number(n);
        exec("INSERT INTO Member (theNum,theName,theType,theJF,theCZ,theDel,theState) VALUES ('" + card +
             "','张三','金卡'," + t + "," + t + ",'否','启用')");
        exec("INSERT INTO UXF (theNum,myDate,theDate,MNum,theHJ,theZR,theSJ,theZK,theDX,theYE,theCount,theSum,theJF,"
             "WName,theUser,theDel,theType) VALUES ('" +
             num + "','2026-03-07','2026-03-07','" + card + "'," + t + ",0," + t + ",100,'" + NumToChar(total) + "'," +
             t + "," + k.count + "," + t + "," + t + ",'小王','admin','否','会员')");
        exec(QString("INSERT INTO UXF_List (theNum,myBH,theName,theCount,thePrice,theZK,theMoney) VALUES ('") + num +
             "','1','电视机'," + k.count + "," + k.price + ",100," + t + ")");
        exec("INSERT INTO UXF_SK (theNum,theMoney,theSMType,theSKR,SKDate) VALUES ('" + num + "'," + t +
             ",'会员卡','小王','2026-03-07')");
        exec("INSERT INTO UCZ (theNum,MNum,MCZ,MZS,MType,theDX,WName,theUser,myDate) VALUES ('" + num + "','" + card +
             "'," + t + "," + t + ",'现金','" + NumToChar(total) + "','小王','admin','2026-03-07')");
        exec("INSERT INTO UDH (theNum,MNum,MJF,MLP,MCount,WName,theUser,myDate) VALUES ('" + num + "','" + card + "'," +
             t + ",'电视机',1,'小王','admin','2026-03-07')");
        expectFitted(composeXF(c(), num, shop, "12:34:56"));
        expectFitted(composeCZ(c(), num, shop, "12:34:56"));
        expectFitted(composeDH(c(), num, shop, "12:34:56"));
    }

    // The goods line and the totals of ten at 1,299.00, as printed.
    const QStringList lines = composeXF(c(), "2603070001", shop, "12:34:56");
    const qsizetype at = lines.indexOf("1 电视机");
    ASSERT_GT(at, 0);
    EXPECT_EQ(lines.mid(at, 3), QStringList({"1 电视机", " 10.00 1,299.00[100%]", QString(19, ' ') + "12,990.00"}));
    EXPECT_TRUE(lines.contains("积分  12,990.00")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("余额  12,990.00"));
    EXPECT_TRUE(lines.contains("数量 10.00   金额 12,990.00"));
    EXPECT_TRUE(lines.contains("实收 12,990.00"));
    EXPECT_TRUE(lines.contains("应收 12,990.00"));
    EXPECT_TRUE(lines.contains("2026-03-07会员卡  12,990.00"));
    // Capitals too long for a line go on under the value.
    const QStringList big = composeXF(c(), "2603070006", shop, "12:34:56");
    const qsizetype dx = big.indexOf(QRegularExpression("^大写 .*"));
    ASSERT_GT(dx, 0);
    EXPECT_EQ(big[dx] + big[dx + 1].mid(5), "大写 " + NumToChar(1234567.8));
    EXPECT_TRUE(big[dx + 1].startsWith("     ") && big[dx + 1][5] != u' ') << big[dx + 1].toStdString();
}

// The number line keeps to the width whatever the number's length: the date
// goes to the next line, a number wider than a line goes on under itself.
TEST_F(ReceiptTest, NumberLineFitsTheWidthForLongNumbers)
{
    for (const QString &num : {QString("2603070001"), QString("26030700012"), QString("260307000123"),
                               QString("2603070001234567"), QString("XF") + QString(40, u'7')}) {
        SCOPED_TRACE(num.toStdString());
        sale(num, "", "0");
        const QStringList lines = composeXF(c(), num, shop, "08:00:00");
        for (const QString &l : lines) EXPECT_LE(print::gbkWidth(l), kWidth) << l.toStdString();
        const qsizetype at = lines.indexOf(QRegularExpression("^单号 .*"));
        ASSERT_GT(at, 0);
        const qsizetype card = lines.indexOf("卡号 散客");
        ASSERT_GT(card, at);
        // Nothing of the number or the date is lost on the way.
        QString joined = lines[at];
        for (qsizetype i = at + 1; i < card; ++i) joined += lines[i].trimmed();
        EXPECT_EQ(joined, "单号 " + num + "[2026-03-07]");
        if (num.size() <= 11) EXPECT_EQ(card, at + 1);
    }
}

TEST(ReceiptFormat, FieldsAreKeptApartAndBrokenBetween)
{
    // Padded fields stay as the table pads them.
    EXPECT_EQ(fitLine({{"  1.00", true}, {"   12.00", true}, {"[100%]"}, {"   12.00", true}}),
              QStringList{"  1.00   12.00[100%]   12.00"});
    EXPECT_EQ(fitLine({{"积分  1,234.50", false, 6}, {"余额  20.00", false, 6}}),
              QStringList{"积分  1,234.50 余额  20.00"});
    EXPECT_EQ(fitLine({{"实收 12,996.00", false, 5}, {"应收 12,996.00", false, 5}}),
              QStringList({"实收 12,996.00", "应收 12,996.00"}));
    // An amount carried over stands at the right edge.
    EXPECT_EQ(fitLine({{"  1.00", true}, {"100,000.00", true}, {"[100%]"}, {"100,000.00", true}}),
              QStringList({"  1.00 100,000.00[100%]", QString(18, ' ') + "100,000.00"}));
    EXPECT_EQ(fitLine({{"x"}}), QStringList{"x"});
    EXPECT_EQ(fitLine({}), QStringList{""});
}

TEST_F(ReceiptTest, ReprintOfADeletedSaleAndAMissingNumber)
{
    member("26000001");
    sale("2603070001", "26000001", "50");
    exec("UPDATE UXF SET theDel='是'");
    // The owed sum over live sales is empty: no line, no failure.
    const QStringList lines = composeXF(c(), "2603070001", shop, "08:00:00");
    EXPECT_EQ(lines[9], "----2026-03-07--08:00:00----");
    EXPECT_THROW(composeXF(c(), "2603079999", shop, "08:00:00"), vdb::DbError);
}

TEST_F(ReceiptTest, RechargeAndExchangeReceipts)
{
    member("26000001", "是");  // an old deleted holder of the card does not count
    exec("UPDATE Member SET theName='旧人'");
    member("26000001");
    exec("INSERT INTO UCZ (theNum,MNum,MCZ,MZS,MType,theDX,WName,theUser,myDate) VALUES "
         "('2603070001','26000001',1000,100,'现金','壹仟元整','小王','admin','2026-03-07')");
    exec("INSERT INTO UDH (theNum,MNum,MJF,MLP,MCount,WName,theUser,myDate) VALUES "
         "('2603070001','26000001',500,'雨伞',1,'小王','admin','2026-03-07')");
    shop.phone = "123";
    const QStringList head = {"单号  2603070001",
                              "日期  2026-03-07",
                              "卡号  26000001",
                              "姓名  张三",
                              "分类  金卡",
                              "积分  1,234.50",
                              "余额  20.00",
                              "----2026-03-07--09:00:00----",
                              kSep};
    QStringList cz = QStringList{"", "", "", "    好邻居储值单", kSep} + head;
    cz << "储值  1,000.00"
       << "大写  壹仟元整"
       << "赠送  100.00"
       << "收款  现金"
       << "员工  小王"
       << "录入  admin" << kSep << "电话  123" << foot();
    EXPECT_EQ(composeCZ(c(), "2603070001", shop, "09:00:00"), cz);
    QStringList dh = QStringList{"", "", "", "    好邻居兑换单", kSep} + head;
    dh << "积分  500.00"
       << "兑换  雨伞"
       << "数量  1"
       << "员工  小王"
       << "录入  admin" << kSep << "电话  123" << foot();
    EXPECT_EQ(composeDH(c(), "2603070001", shop, "09:00:00"), dh);
}

TEST_F(ReceiptTest, PrintingGoesToTheCaptureOrFailsCleanly)
{
    member("26000001");
    sale("2603070001", "26000001", "50");
    frmDM = &dm;
    myDeptName = "好邻居";
    {
        print::ScopedTextCapture capture;
        velmora::myPrintXF_Pos("2603070001");
        ASSERT_EQ(capture.jobs().size(), 1u);
        EXPECT_EQ(capture.jobs()[0].lines[3], "    好邻居消费单");
        capture.failing = true;
        EXPECT_THROW(velmora::myPrintXF_Pos("2603070001"), print::PrintError);
        EXPECT_EQ(capture.jobs().size(), 1u);
    }
    frmDM = nullptr;
}

TEST(TextPrinter, NoPrinterGivesAClearMessage)
{
    if (!QPrinterInfo::defaultPrinter().isNull()) GTEST_SKIP() << "a printer is installed here";
    try {
        print::printTextLines("t", {"x"});
        FAIL() << "printed without a printer";
    } catch (const print::PrintError &e) {
        EXPECT_TRUE(e.message().contains("打印机"));
    }
}

TEST(TextPrinter, PdfHoldsTheLinesInTheirColumns)
{
    const QString tool = QStandardPaths::findExecutable("pdftotext");
    if (tool.isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QTemporaryDir dir;
    const QStringList lines = {"    好邻居消费单", QString(28, u'-'), "1 可乐", "  1.00   12.00[100%]   12.00",
                               "实收 50.00   应收 50.00"};
    {
        print::ScopedPdfOutput pdf(dir.path());
        print::printTextLines("消费单", lines);
        ASSERT_EQ(pdf.files().size(), 1);
    }
    auto run = [&](const QStringList &args) {
        QProcess p;
        p.start(tool, args);
        EXPECT_TRUE(p.waitForFinished(20000));
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    // The text comes back in order (blanks aside: the extractor sees gaps
    // between glyphs narrower than their columns).
    QString want;
    for (const QString &l : lines) want += l;
    want.remove(QRegularExpression("\\s"));
    QString got = run({"-layout", dir.filePath("1.pdf"), "-"});
    got.remove(QRegularExpression("\\s"));
    EXPECT_EQ(got, want);

    // Every word starts on its column: the column width comes from "可乐"
    // at column 2 of its line, measured from the separator's left edge.
    const QString boxes = run({"-bbox", dir.filePath("1.pdf"), "-"});
    QHash<QString, QList<double>> xs;
    QRegularExpression word("<word xMin=\"([0-9.]+)\"[^>]*>([^<]*)</word>");
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const auto m = it.next();
        xs[m.captured(2)] << m.captured(1).toDouble();
    }
    ASSERT_TRUE(xs.contains(QString(28, u'-')) && xs.contains("可乐"));
    const double x0 = xs[QString(28, u'-')].first();
    const double column = (xs["可乐"].first() - x0) / 2;
    ASSERT_GT(column, 1.0);
    auto columnOf = [&](const QString &w, int nth = 0) { return (xs.value(w).value(nth, -1000) - x0) / column; };
    EXPECT_NEAR(columnOf("好邻居消费单"), 4, 0.05);
    EXPECT_NEAR(columnOf("12.00[100%]"), 9, 0.05);  // price and discount: one run
    EXPECT_NEAR(columnOf("实"), 0, 0.05);
    EXPECT_NEAR(columnOf("应"), 13, 0.05);
    EXPECT_NEAR(columnOf("12.00", 0), 23, 0.05);  // the amount ends the 28-column line
}

// ASCII runs are laid out by their own advances, whatever font stands in for
// 黑体: a word reads whole ("Velmora", not "Vel mor a"), an amount and a
// date keep their characters together, and no run reaches past its last
// column ("%" not over "]", the discount not over the amount after it).
TEST(TextPrinter, AsciiRunsReadWholeAndStayInTheirColumns)
{
    const QString tool = QStandardPaths::findExecutable("pdftotext");
    if (tool.isEmpty()) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QTemporaryDir dir;
    const QStringList lines = {"    Velmora消费单",
                               QString(28, u'-'),
                               "1 可乐",
                               "合计 9,520,782.57",
                               "----2028-02-29--12:00:00----",
                               "  1.00   12.00[100%]   12.00",
                               "WWWWWWW 1 iiiiiii 2"};
    {
        print::ScopedPdfOutput pdf(dir.path());
        print::printTextLines("消费单", lines);
        ASSERT_EQ(pdf.files().size(), 1);
    }
    auto run = [&](const QStringList &args) {
        QProcess p;
        p.start(tool, args);
        EXPECT_TRUE(p.waitForFinished(20000));
        return QString::fromUtf8(p.readAllStandardOutput());
    };
    const QStringList got = run({"-layout", dir.filePath("1.pdf"), "-"}).split('\n');
    for (const QString &whole : {"Velmora", "9,520,782.57", "----2028-02-29--12:00:00----", "12.00[100%]"})
        EXPECT_TRUE(std::any_of(got.begin(), got.end(), [&](const QString &l) { return l.contains(whole); }))
                << whole.toStdString() << "\n"
                << got.join('\n').toStdString();

    const QString boxes = run({"-bbox", dir.filePath("1.pdf"), "-"});
    // The rule keeps the receipt's width: its last dash on column 27.
    const auto rule = QRegularExpression("<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\"[^>]*>-+</word>")
                              .match(boxes);
    ASSERT_TRUE(rule.hasMatch()) << boxes.toStdString();
    struct Box {
        double xMin, xMax;
    };
    QHash<QString, QList<Box>> words;
    QRegularExpression word("<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\"[^>]*>([^<]*)</word>");
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const auto m = it.next();
        words[m.captured(3)] << Box{m.captured(1).toDouble(), m.captured(2).toDouble()};
    }
    ASSERT_TRUE(words.contains(QString(28, u'-')) && words.contains("可乐")) << boxes.toStdString();
    const double x0 = words[QString(28, u'-')].first().xMin;
    const double column = (words["可乐"].first().xMin - x0) / 2;
    ASSERT_GT(column, 1.0);
    EXPECT_GT((rule.captured(2).toDouble() - x0) / column, 27);
    // Each run starts on its first column and ends by its last.
    const struct {
        const char *text;
        int nth, first, columns;
    } runs[] = {{"9,520,782.57", 0, 5, 12},
                {"12.00[100%]", 0, 9, 11},
                {"12.00", 0, 23, 5},
                {"WWWWWWW", 0, 0, 7},
                {"1", 1, 8, 1},
                {"iiiiiii", 0, 10, 7},
                {"2", 0, 18, 1}};
    for (const auto &r : runs) {
        SCOPED_TRACE(r.text);
        const QList<Box> found = words.value(r.text);
        ASSERT_GT(found.size(), r.nth) << boxes.toStdString();
        const Box b = found[r.nth];
        EXPECT_NEAR((b.xMin - x0) / column, r.first, 0.05);
        EXPECT_LE((b.xMax - x0) / column, r.first + r.columns + 0.05);
    }
}

}  // namespace
