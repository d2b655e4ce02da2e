#include "excel_test_util.h"

#include "platform/excel/xlsfile.h"
#include "platform/excel/excelreader.h"
#include "platform/excel/excelsheetmodel.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace excel;
using namespace exceltest;

namespace {

const QStringList kMemberHeaders = {"会员卡号", "会员姓名", "性别", "公历生日", "农历生日",
                                    "联系方式", "联系地址", "积分",   "账户余额"};

ReadResult readParts(const QVector<ZipPart> &parts)
{
    return readXlsx(makeZip(parts), QStringLiteral("测试.xlsx"));
}

QString rowsText(const Sheet &s)
{
    QString out = s.headers().join(u'|');
    for (int i = 0; i < s.rowCount(); ++i)
        out += QStringLiteral("\n%1: ").arg(s.rowNumber(i)) + s.row(i).cells.join(u'|');
    return out;
}

} // namespace

TEST(ExcelReader, MemberSheetCellsReadAsText)
{
    const ReadResult r = readWorkbook(fixture("members.xlsx"));
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    const Sheet &s = r.sheet;
    EXPECT_EQ(s.fileName(), "members.xlsx");
    EXPECT_EQ(s.headerRowNumber(), 1);
    EXPECT_TRUE(s.missingHeaders(kMemberHeaders).isEmpty());
    // Rows 2..7; row 4 is empty in the middle; the empty and the merely
    // formatted rows at the end are not data.
    ASSERT_EQ(s.rowCount(), 6);
    EXPECT_EQ(s.rowNumber(2), 4);
    EXPECT_TRUE(s.isRowEmpty(2));
    EXPECT_EQ(s.columnCount(), 10);

    EXPECT_EQ(s.value(0, "会员卡号"), "00001234");    // text keeps its leading zeros
    EXPECT_EQ(s.value(0, "公历生日"), "1990-05-17");  // date cell
    EXPECT_EQ(s.value(0, "农历生日"), "02-30");       // lunar day as text
    EXPECT_EQ(s.value(0, "积分"), "100");
    EXPECT_EQ(s.value(0, "账户余额"), "12.5");
    EXPECT_EQ(s.value(1, "会员卡号"), "26000001");    // typed as a number
    EXPECT_EQ(s.value(1, "公历生日"), "1985-12-01");  // date typed as text
    EXPECT_EQ(s.value(1, "联系方式"), "13912345678"); // phone typed as a number
    EXPECT_EQ(s.value(1, "积分"), "");
    EXPECT_EQ(s.value(1, "其他"), " ");
    EXPECT_EQ(s.value(3, "会员卡号"), "");
    EXPECT_EQ(s.value(3, "会员姓名"), "王五");        // inline string
    EXPECT_EQ(s.value(3, "公历生日"), "2000-02-29");  // custom Chinese date format
    EXPECT_EQ(s.value(3, "积分"), "0.3");             // 0.30000000000000004
    EXPECT_EQ(s.value(3, "账户余额"), "1234567.891");
    EXPECT_EQ(s.value(4, "会员姓名"), "赵六");        // rich text without its phonetic run
    EXPECT_EQ(s.value(4, "公历生日"), "2001-03-04 13:45:00");
    EXPECT_EQ(s.value(4, "联系地址"), "天津 ");       // as typed
    EXPECT_EQ(s.value(5, "公历生日"), "1900-01-01");
    EXPECT_EQ(s.value(5, "联系方式"), "1.5e-07");
    EXPECT_EQ(s.value(5, "联系地址"), "A&B <路>");
    EXPECT_EQ(s.value(5, "账户余额"), "1e+20");
    EXPECT_EQ(s.cellName(3, s.column("积分")), "H5");
}

TEST(ExcelReader, SameSheetReadsIdenticallyFromXlsAndXlsx)
{
    for (const char *stem : {"members", "goods", "suppliers_empty", "date1904", "formulas"}) {
        const QString name = QString::fromLatin1(stem);
        const ReadResult xlsx = readWorkbook(fixture(name + ".xlsx"));
        const ReadResult xls = readWorkbook(fixture(name + ".xls"));
        ASSERT_TRUE(xlsx.ok()) << stem << xlsx.message.toStdString();
        ASSERT_TRUE(xls.ok()) << stem << xls.message.toStdString();
        EXPECT_EQ(rowsText(xls.sheet).toStdString(), rowsText(xlsx.sheet).toStdString()) << stem;
        // The same sheet again as saved by an office suite (shared strings,
        // its own styles).
        if (QFile::exists(fixture(name + "_lo.xlsx"))) {
            const ReadResult lo = readWorkbook(fixture(name + "_lo.xlsx"));
            ASSERT_TRUE(lo.ok()) << stem;
            EXPECT_EQ(rowsText(lo.sheet).toStdString(), rowsText(xlsx.sheet).toStdString()) << stem;
        }
    }
}

TEST(ExcelReader, XlsFormulaResultsAndLogicalValues)
{
    for (const char *name : {"formulas.xls", "formulas.xlsx"}) {
        const ReadResult r = readWorkbook(fixture(QString::fromLatin1(name)));
        ASSERT_TRUE(r.ok()) << name;
        const Sheet &s = r.sheet;
        ASSERT_EQ(s.rowCount(), 398) << name;
        EXPECT_EQ(s.value(0, "积分"), "100") << name;
        EXPECT_EQ(s.value(0, "公历生日"), "2024-01-05") << name; // date-formatted formula
        EXPECT_EQ(s.value(0, "备注"), QString(300, QChar(0x957F))) << name; // text result over several records
        EXPECT_EQ(s.value(0, "逻辑"), "TRUE") << name;
        EXPECT_EQ(s.value(1, "积分"), "0.3") << name;
        EXPECT_EQ(s.value(1, "备注"), "") << name;
        EXPECT_EQ(s.value(1, "逻辑"), "FALSE") << name;           // logical formula
        EXPECT_EQ(s.value(2, "积分"), "") << name;                // error value
        EXPECT_EQ(s.value(2, "备注"), "AB") << name;
        EXPECT_EQ(s.value(397, "积分"), "798") << name;
        EXPECT_EQ(s.value(397, "逻辑"), "FALSE") << name;
    }
    // The pass over the workbook stream survives any damage.
    const QByteArray bytes = fileBytes(fixture("formulas.xls"));
    ASSERT_GT(readBiffExtras(bytes, "Sheet1").size(), 700);
    EXPECT_TRUE(readBiffExtras(bytes, "Sheet2").isEmpty());
    for (qsizetype n = 0; n < bytes.size(); n += 97)
        readBiffExtras(bytes.left(n), "Sheet1");
    // And so does the whole read: a sheet or a message, nothing else.
    QTemporaryDir dir;
    const QString path = dir.filePath("损坏.xls");
    quint32 seed = 12345;
    for (int round = 0; round < 200; ++round) {
        QByteArray damaged = bytes;
        for (int k = 0; k < 20; ++k) {
            seed = seed * 1103515245u + 12345u;
            damaged[qsizetype(seed % quint32(damaged.size()))] = char(seed >> 24);
        }
        readBiffExtras(damaged, "Sheet1");
        ASSERT_TRUE(writeFile(path, damaged));
        const ReadResult r = readWorkbook(path);
        EXPECT_EQ(r.ok(), r.message.isEmpty());
    }
}

TEST(ExcelReader, ColumnsAreFoundByHeaderTextInAnyOrder)
{
    const ReadResult r = readWorkbook(fixture("goods.xls"));
    ASSERT_TRUE(r.ok());
    const Sheet &s = r.sheet;
    EXPECT_EQ(s.column("商品名称"), 0);
    EXPECT_EQ(s.column("商品编码"), 1);
    EXPECT_EQ(s.column(" 商品分类 "), 2);
    EXPECT_EQ(s.column("条码"), -1);
    EXPECT_EQ(s.missingHeaders({"商品分类", "条码", "商品名称", "规格"}), QStringList({"条码", "规格"}));
    EXPECT_EQ(s.value(0, "商品编码"), "0001");
    EXPECT_EQ(s.value(1, "商品编码"), "6901234567892"); // 13-digit number
    EXPECT_EQ(s.value(2, "商品名称"), "");
    EXPECT_EQ(s.value(3, "单价"), "2");                 // number typed as text
    EXPECT_EQ(s.value(4, "单价"), "十元");
    EXPECT_EQ(s.value(3, "库存数量"), "-5");
    EXPECT_EQ(s.value(0, "no such header"), "");

    // Headers with blanks around them still match.
    const ReadResult b = readParts(workbookParts(
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> 会员姓名 </t></is></c></row>"
        "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>0</v></c></row>"));
    ASSERT_TRUE(b.ok());
    EXPECT_EQ(b.sheet.value(0, "会员姓名"), "甲");
}

TEST(ExcelReader, XlsxCellKinds)
{
    const ReadResult r = readWorkbook(fixture("cellkinds.xlsx"));
    ASSERT_TRUE(r.ok());
    QHash<QString, QStringList> byKind;
    for (int i = 0; i < r.sheet.rowCount(); ++i)
        byKind[r.sheet.cell(i, 0)].append(r.sheet.cell(i, 1));
    EXPECT_EQ(byKind["逻辑"], QStringList({"TRUE", "FALSE"}));
    EXPECT_EQ(byKind["公式"], QStringList({"100"}));
    EXPECT_EQ(byKind["公式文字"], QStringList({"AB"}));
    EXPECT_EQ(byKind["错误"], QStringList({""}));
    EXPECT_EQ(byKind["转义"], QStringList({QStringLiteral("甲\r乙_x0041_")}));
    EXPECT_EQ(byKind["日期文字"], QStringList({"2024-02-29"}));
    EXPECT_EQ(byKind["无引用"], QStringList({"7"}));
}

TEST(ExcelReader, HeaderRowIsTheFirstNonEmptyRowAndMissingRowsAreEmptyRows)
{
    // Rows out of order, a row met twice, cells and rows without addresses.
    const ReadResult r = readParts(workbookParts(
        "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>标题</t></is></c></row>"
        "<row><c t=\"s\"><v>1</v></c><c><v>2</v></c></row>"
        "<row r=\"7\"><c r=\"B7\"><v>3</v></c></row>"
        "<row r=\"3\"><c r=\"B3\"><v>4</v></c><c r=\"C3\"><v>5</v></c></row>"));
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    EXPECT_EQ(r.sheet.headerRowNumber(), 2);
    EXPECT_EQ(rowsText(r.sheet), "|标题\n3: 乙|4|5\n4: \n5: \n6: \n7: |3");
}

TEST(ExcelReader, SheetModelShowsHeadersAndRowNumbers)
{
    const ReadResult r = readWorkbook(fixture("members.xls"));
    ASSERT_TRUE(r.ok());
    SheetModel model;
    model.setSheet(r.sheet);
    EXPECT_EQ(model.rowCount(), 6);
    EXPECT_EQ(model.columnCount(), 10);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "会员姓名");
    EXPECT_EQ(model.headerData(3, Qt::Vertical).toInt(), 5);
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), "00001234");
    EXPECT_EQ(model.data(model.index(2, 1)).toString(), "");
}

TEST(ExcelReader, FilesThatAreNotReadableWorkbooksGiveAMessageNamingTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray xlsx = fileBytes(fixture("members.xlsx"));
    const QByteArray xls = fileBytes(fixture("members.xls"));
    ASSERT_FALSE(xlsx.isEmpty());
    ASSERT_FALSE(xls.isEmpty());

    QByteArray flipped = xlsx;
    for (qsizetype i = 600; i < 900 && i < flipped.size(); ++i)
        flipped[i] = char(flipped[i] ^ 0x5A);
    QByteArray xlsHole = xls;
    for (qsizetype i = 512; i < xlsHole.size(); ++i)
        xlsHole[i] = '\xff';
    // A directory entry whose name claims more than its 64-byte field.
    QByteArray longName = xls;
    const qsizetype directory = (qsizetype(quint8(xls[0x30])) + 1) * 512;
    longName[directory + 128 + 0x40] = '\x32';
    longName[directory + 128 + 0x41] = '\x32';
    // Workbook globals that say BIFF5: Excel 95.
    QByteArray biff5 = xls;
    const qsizetype bof = biff5.indexOf(QByteArray("\x09\x08\x10\x00\x00\x06\x05\x00", 8));
    ASSERT_GT(bof, 0);
    biff5[bof + 5] = '\x05';
    // The same container with its streams renamed: some other document.
    const auto utf16 = [](const QString &s) {
        return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
    };
    QByteArray otherDocument = fileBytes(fixture("encrypted_package.xlsx"));
    otherDocument.replace(utf16("EncryptedPackage"), utf16("DocumentSummary1"));

    const struct
    {
        const char *name;
        QByteArray bytes;
        ReadProblem problem;
    } cases[] = {
        {"空文件.xlsx", QByteArray(), ReadProblem::NotWorkbook},
        {"文本.xlsx", QByteArray("会员卡号,会员姓名\n001,张三\n"), ReadProblem::NotWorkbook},
        {"截断.xlsx", xlsx.left(xlsx.size() / 2), ReadProblem::Damaged},
        {"损坏.xlsx", flipped, ReadProblem::Damaged},
        {"截断.xls", xls.left(1500), ReadProblem::Damaged},
        {"空洞.xls", xlsHole, ReadProblem::Damaged},
        {"目录.xls", longName, ReadProblem::Damaged},
        {"旧版.xls", biff5, ReadProblem::OldFormat},
        {"加密.xlsx", fileBytes(fixture("encrypted_package.xlsx")), ReadProblem::Encrypted},
        {"文档.doc", otherDocument, ReadProblem::NotWorkbook},
        {"伪装.xls", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(600, '\x01'), ReadProblem::Damaged},
        {"加密.xls", fileBytes(fixture("members_password.xls")), ReadProblem::Encrypted},
        {"文档.docx",
         makeZip({{"_rels/.rels",
                   "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                   "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                   "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>"},
                  {"word/document.xml", "<document/>"}}),
         ReadProblem::NotWorkbook},
        {"表格.ods", makeZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", true},
                              {"content.xml", "<office:document-content/>"}}),
         ReadProblem::NotWorkbook},
        {"无Sheet1.xlsx", fileBytes(fixture("nosheet1.xlsx")), ReadProblem::NoSheet1},
        {"无Sheet1.xls", fileBytes(fixture("nosheet1.xls")), ReadProblem::NoSheet1},
    };
    for (const auto &c : cases) {
        const QString name = QString::fromUtf8(c.name);
        const QString path = dir.filePath(name);
        ASSERT_TRUE(writeFile(path, c.bytes));
        const ReadResult r = readWorkbook(path);
        EXPECT_EQ(int(r.problem), int(c.problem)) << c.name << " " << r.message.toStdString();
        EXPECT_TRUE(r.message.contains(name)) << c.name;
        EXPECT_EQ(r.sheet.rowCount(), 0);
    }
    const ReadResult missing = readWorkbook(dir.filePath("没有.xls"));
    EXPECT_EQ(missing.problem, ReadProblem::NotFound);
    EXPECT_TRUE(missing.message.contains("没有.xls"));
}

TEST(ExcelReader, MalformedPackagePartsAreDamagedNotTrusted)
{
    const QVector<std::pair<const char *, QVector<ZipPart>>> cases = {
        {"shared string index past the table", workbookParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>9</v></c></row>")},
        {"cell outside its row", workbookParts("<row r=\"1\"><c r=\"A2\"><v>1</v></c></row>")},
        {"row past the sheet", workbookParts("<row r=\"1048577\"><c r=\"A1048577\"><v>1</v></c></row>")},
        {"column past the sheet", workbookParts("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")},
        {"unclosed worksheet", workbookParts("<row r=\"1\"><c r=\"A1\"><v>1</v>")},
        {"entity declarations",
         workbookParts("", {{"xl/workbook.xml",
                             "<!DOCTYPE w [<!ENTITY a \"aaaaaaaa\">]><workbook><sheets><sheet name=\"Sheet1\" "
                             "xmlns:r=\"urn:r\" r:id=\"rId1\"/></sheets></workbook>"}})},
        {"sheet relationship missing",
         workbookParts("", {{"xl/_rels/workbook.xml.rels",
                             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>"}})},
        {"target outside the package",
         workbookParts("", {{"xl/_rels/workbook.xml.rels",
                             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                             "<Relationship Id=\"rId1\" Type=\"x/worksheet\" Target=\"../../etc/passwd\"/>"
                             "</Relationships>"}})},
    };
    for (const auto &c : cases) {
        const ReadResult r = readParts(c.second);
        EXPECT_EQ(r.problem, ReadProblem::Damaged) << c.first << " " << r.message.toStdString();
    }

    // A part that needs a zip password counts as encrypted.
    QVector<ZipPart> locked = workbookParts("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    locked.last().password = "secret";
    EXPECT_EQ(readParts(locked).problem, ReadProblem::Encrypted);
}

TEST(ExcelReader, CellsFarApartCannotExhaustMemory)
{
    // 600 rows with one cell each in the last column would hold ten million
    // cells; the reader refuses instead of trying.
    QString rows;
    for (int r = 1; r <= 600; ++r)
        rows += QStringLiteral("<row r=\"%1\"><c r=\"XFD%1\"><v>1</v></c></row>").arg(r);
    const ReadResult r = readParts(workbookParts(rows));
    EXPECT_EQ(r.problem, ReadProblem::TooLarge);
    EXPECT_TRUE(r.message.contains("测试.xlsx"));
}
