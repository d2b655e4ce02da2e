#include "excel_test_util.h"

#include "platform/excel/xlsfile.h"
#include "platform/excel/excelcell.h"
#include "platform/excel/excelreader.h"
#include "platform/excel/excelsheetmodel.h"
#include "platform/excel/rowcollector.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace excel;
using namespace exceltest;

namespace {

const QStringList kMemberHeaders = {"会员卡号", "会员姓名", "性别", "公历生日", "农历生日",
                                    "联系方式", "联系地址", "积分", "账户余额"};

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

}  // namespace

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
    EXPECT_EQ(s.value(1, "会员卡号"), "26000001");     // typed as a number
    EXPECT_EQ(s.value(1, "公历生日"), "1985-12-01");   // date typed as text
    EXPECT_EQ(s.value(1, "联系方式"), "13912345678");  // phone typed as a number
    EXPECT_EQ(s.value(1, "积分"), "");
    EXPECT_EQ(s.value(1, "其他"), " ");
    EXPECT_EQ(s.value(3, "会员卡号"), "");
    EXPECT_EQ(s.value(3, "会员姓名"), "王五");        // inline string
    EXPECT_EQ(s.value(3, "公历生日"), "2000-02-29");  // custom Chinese date format
    EXPECT_EQ(s.value(3, "积分"), "0.3");             // 0.30000000000000004
    EXPECT_EQ(s.value(3, "账户余额"), "1234567.891");
    EXPECT_EQ(s.value(4, "会员姓名"), "赵六");  // rich text without its phonetic run
    EXPECT_EQ(s.value(4, "公历生日"), "2001-03-04 13:45:00");
    EXPECT_EQ(s.value(4, "联系地址"), "天津 ");  // as typed
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
        EXPECT_EQ(s.value(0, "公历生日"), "2024-01-05") << name;             // date-formatted formula
        EXPECT_EQ(s.value(0, "备注"), QString(300, QChar(0x957F))) << name;  // text result over several records
        EXPECT_EQ(s.value(0, "逻辑"), "TRUE") << name;
        EXPECT_EQ(s.value(1, "积分"), "0.3") << name;
        EXPECT_EQ(s.value(1, "备注"), "") << name;
        EXPECT_EQ(s.value(1, "逻辑"), "FALSE") << name;  // logical formula
        EXPECT_EQ(s.value(2, "积分"), "") << name;       // error value
        EXPECT_EQ(s.value(2, "备注"), "AB") << name;
        EXPECT_EQ(s.value(397, "积分"), "798") << name;
        EXPECT_EQ(s.value(397, "逻辑"), "FALSE") << name;
    }
    // Reading the records survives any damage.
    const QByteArray bytes = fileBytes(fixture("formulas.xls"));
    QByteArray stream;
    ASSERT_EQ(inspectCompoundFile(bytes, &stream), CompoundContent::Workbook);
    {
        RowCollector rows;
        EXPECT_EQ(readBiffSheet(stream, "Sheet1", &rows), ReadProblem::None);
        EXPECT_EQ(rows.take().size(), 399);
        RowCollector none;
        EXPECT_EQ(readBiffSheet(stream, "Sheet2", &none), ReadProblem::NoSheet1);
    }
    for (qsizetype n = 0; n < stream.size(); n += 97) {
        RowCollector rows;
        readBiffSheet(stream.left(n), "Sheet1", &rows);
    }
    // And so does the whole read: a sheet or a message, nothing else.
    QTemporaryDir dir;
    const QString path = dir.filePath("损坏.xls");
    quint32 seed = 12345;
    for (int round = 0; round < 200; ++round) {
        QByteArray damaged = bytes;
        QByteArray damagedStream = stream;
        for (int k = 0; k < 20; ++k) {
            seed = seed * 1103515245u + 12345u;
            damaged[qsizetype(seed % quint32(damaged.size()))] = char(seed >> 24);
            damagedStream[qsizetype(seed % quint32(damagedStream.size()))] = char(seed >> 24);
        }
        RowCollector rows;
        readBiffSheet(damagedStream, "Sheet1", &rows);
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
    EXPECT_EQ(s.value(1, "商品编码"), "6901234567892");  // 13-digit number
    EXPECT_EQ(s.value(2, "商品名称"), "");
    EXPECT_EQ(s.value(3, "单价"), "2");  // number typed as text
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
    for (int i = 0; i < r.sheet.rowCount(); ++i) byKind[r.sheet.cell(i, 0)].append(r.sheet.cell(i, 1));
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
    const ReadResult r =
            readParts(workbookParts("<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>标题</t></is></c></row>"
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
    for (qsizetype i = 600; i < 900 && i < flipped.size(); ++i) flipped[i] = char(flipped[i] ^ 0x5A);
    QByteArray xlsHole = xls;
    for (qsizetype i = 512; i < xlsHole.size(); ++i) xlsHole[i] = '\xff';
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

    const struct {
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
            {"伪装.xls", QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(600, '\x01'),
             ReadProblem::Damaged},
            {"加密.xls", fileBytes(fixture("members_password.xls")), ReadProblem::Encrypted},
            {"文档.docx",
             makeZip({{"_rels/.rels",
                       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                       "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                       "relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>"},
                      {"word/document.xml", "<document/>"}}),
             ReadProblem::NotWorkbook},
            {"表格.ods",
             makeZip({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet", true},
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
            {"shared string index past the table",
             workbookParts("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>9</v></c></row>")},
            {"cell outside its row", workbookParts("<row r=\"1\"><c r=\"A2\"><v>1</v></c></row>")},
            {"row past the sheet", workbookParts("<row r=\"1048577\"><c r=\"A1048577\"><v>1</v></c></row>")},
            {"column past the sheet", workbookParts("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>")},
            {"unclosed worksheet", workbookParts("<row r=\"1\"><c r=\"A1\"><v>1</v>")},
            {"entity declarations",
             workbookParts("", {{"xl/workbook.xml",
                                 "<!DOCTYPE w [<!ENTITY a \"aaaaaaaa\">]><workbook><sheets><sheet name=\"Sheet1\" "
                                 "xmlns:r=\"urn:r\" r:id=\"rId1\"/></sheets></workbook>"}})},
            {"sheet relationship missing",
             workbookParts(
                     "",
                     {{"xl/_rels/workbook.xml.rels",
                       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>"}})},
            {"target outside the package",
             workbookParts("",
                           {{"xl/_rels/workbook.xml.rels",
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
    for (int r = 1; r <= 600; ++r) rows += QStringLiteral("<row r=\"%1\"><c r=\"XFD%1\"><v>1</v></c></row>").arg(r);
    const ReadResult r = readParts(workbookParts(rows));
    EXPECT_EQ(r.problem, ReadProblem::TooLarge);
    EXPECT_TRUE(r.message.contains("测试.xlsx"));
}

namespace {

QByteArray xlsxWithStyles(const QString &sheetData, const QVector<int> &numFmtIds)
{
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    QByteArray xfs;
    for (int id : numFmtIds) xfs += "<xf numFmtId=\"" + QByteArray::number(id) + "\"/>";
    return makeZip(workbookParts(
            sheetData,
            {{"xl/_rels/workbook.xml.rels",
              "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
              "<Relationship Id=\"rId1\" Type=\"" +
                      rel +
                      "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                      "<Relationship Id=\"rId2\" Type=\"" +
                      rel +
                      "sharedStrings\" Target=\"sharedStrings.xml\"/>"
                      "<Relationship Id=\"rId3\" Type=\"" +
                      rel + "styles\" Target=\"styles.xml\"/></Relationships>"},
             {"xl/styles.xml", "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                               "<cellXfs>" +
                                       xfs + "</cellXfs></styleSheet>"}}));
}

ReadResult readXlsBytes(const QByteArray &bytes, const QString &name = QStringLiteral("测试.xls"))
{
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!writeFile(path, bytes)) return ReadResult();
    return readWorkbook(path);
}

}  // namespace

TEST(ExcelReader, XlsBuiltInChineseDateFormatsReadAsInXlsx)
{
    // Every built-in format id of the Chinese date and time formats, and a
    // few others, on one number each: the .xls reads as the .xlsx does.
    QVector<int> ids = {0, 14, 22};
    for (int id = 27; id <= 36; ++id) ids << id;
    for (int id = 50; id <= 58; ++id) ids << id;
    XlsBook book;
    book.xfFormats = ids;
    book.dimensionRows = 2;
    book.dimensionColumns = int(ids.size());
    QString xml = "<row r=\"1\">";
    QString values = "<row r=\"2\">";
    for (int i = 0; i < ids.size(); ++i) {
        const QString header = QStringLiteral("格式%1").arg(ids[i]);
        book.cells += xlsLabel(0, i, header);
        xml += "<c r=\"" + columnLetters(i) + "1\" t=\"inlineStr\"><is><t>" + header + "</t></is></c>";
    }
    for (int i = 0; i < ids.size(); ++i) {
        book.cells += xlsNumber(1, i, i, 45296.75);
        values += "<c r=\"" + columnLetters(i) + "2\" s=\"" + QString::number(i) + "\"><v>45296.75</v></c>";
    }
    const ReadResult xls = readXlsBytes(makeXls(book));
    const ReadResult xlsx = readXlsx(xlsxWithStyles(xml + "</row>" + values + "</row>", ids), "测试.xlsx");
    ASSERT_TRUE(xls.ok()) << xls.message.toStdString();
    ASSERT_TRUE(xlsx.ok()) << xlsx.message.toStdString();
    EXPECT_EQ(rowsText(xls.sheet).toStdString(), rowsText(xlsx.sheet).toStdString());
    EXPECT_EQ(xls.sheet.value(0, "格式27"), "2024-01-05");
    EXPECT_EQ(xls.sheet.value(0, "格式31"), "2024-01-05");
    EXPECT_EQ(xls.sheet.value(0, "格式50"), "2024-01-05");
    EXPECT_EQ(xls.sheet.value(0, "格式58"), "2024-01-05");
    EXPECT_EQ(xls.sheet.value(0, "格式32"), "18:00:00");
    EXPECT_EQ(xls.sheet.value(0, "格式0"), "45296.75");
}

TEST(ExcelReader, XlsCellsPastTheRowsItsDimensionClaimsAreRead)
{
    XlsBook book;
    book.shared = {QStringLiteral("会员卡号"), QStringLiteral("会员姓名"), QStringLiteral("张三")};
    book.dimensionRows = 2;  // the sheet has five rows
    book.dimensionColumns = 1;
    book.cells = xlsLabelSst(0, 0, 0) + xlsLabelSst(0, 1, 1);
    for (int r = 1; r < 5; ++r) book.cells += xlsNumber(r, 0, 0, 1000 + r) + xlsLabelSst(r, 1, 2);
    const ReadResult r = readXlsBytes(makeXls(book));
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    ASSERT_EQ(r.sheet.rowCount(), 4);
    EXPECT_EQ(r.sheet.value(3, "会员卡号"), "1004");
    EXPECT_EQ(r.sheet.value(3, "会员姓名"), "张三");
    // Past Excel's last column, though, the file is damaged.
    book.cells += xlsNumber(5, 16384, 0, 1);
    EXPECT_EQ(readXlsBytes(makeXls(book)).problem, ReadProblem::Damaged);
}

TEST(ExcelReader, XlsWithBothExcel95AndExcel97StreamsReadsTheExcel97One)
{
    XlsBook book;
    book.dimensionRows = 2;
    book.dimensionColumns = 1;
    book.cells = xlsLabel(0, 0, QStringLiteral("会员姓名")) + xlsLabel(1, 0, QStringLiteral("李四"));
    // The Excel 95 copy: globals that say BIFF5 and hold nothing more.
    const QByteArray biff5 =
            biffRecord(0x0809, QByteArray("\x00\x05\x05\x00\x00\x00\x00\x00", 8)) + biffRecord(0x000A, QByteArray());
    for (const bool bookFirst : {true, false}) {
        const QByteArray workbook = xlsWorkbookStream(book);
        const QByteArray file = bookFirst ? makeCompoundFile({{"Book", biff5}, {"Workbook", workbook}})
                                          : makeCompoundFile({{"Workbook", workbook}, {"Book", biff5}});
        const ReadResult r = readXlsBytes(file);
        ASSERT_TRUE(r.ok()) << r.message.toStdString();
        EXPECT_EQ(r.sheet.value(0, "会员姓名"), "李四");
    }
    // The Excel 95 stream alone is still the old format.
    EXPECT_EQ(readXlsBytes(makeCompoundFile({{"Book", biff5}})).problem, ReadProblem::OldFormat);
}

TEST(ExcelReader, CellTextLongerThanExcelAllowsIsRefused)
{
    const QString longest(32767, QChar(0x957F));
    const QString tooLong = longest + QLatin1Char('x');
    const QString huge(3'000'000, QLatin1Char('a'));
    for (const QString &text : {longest, tooLong, huge}) {
        const bool fits = text.size() <= 32767;
        const QByteArray t = "<t>" + text.toUtf8() + "</t>";
        // As a shared string, as an inline string, as a formula's text.
        const QVector<QVector<ZipPart>> packages = {
                workbookParts("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>备注</t></is></c></row>"
                              "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>2</v></c></row>",
                              {{"xl/sharedStrings.xml",
                                "<sst><si><t>甲</t></si><si><t>乙</t></si><si>" + t + "</si></sst>"}}),
                workbookParts("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>备注</t></is></c></row>"
                              "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><r>" +
                              QString::fromUtf8(t) + "</r><r><t></t></r></is></c></row>"),
                workbookParts("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>备注</t></is></c></row>"
                              "<row r=\"2\"><c r=\"A2\" t=\"str\"><f>1</f><v>" +
                              text + "</v></c></row>"),
        };
        for (const auto &parts : packages) {
            const ReadResult r = readParts(parts);
            if (fits) {
                ASSERT_TRUE(r.ok()) << r.message.toStdString();
                EXPECT_EQ(r.sheet.value(0, "备注"), text);
            } else {
                EXPECT_EQ(r.problem, ReadProblem::TooLarge) << text.size();
                EXPECT_TRUE(r.message.contains("数据量太大"));
            }
        }
    }
    for (const QString &text : {longest, tooLong, QString(65535, QLatin1Char('a'))}) {
        const bool fits = text.size() <= 32767;
        XlsBook label;
        label.dimensionRows = 2;
        label.dimensionColumns = 1;
        label.cells = xlsLabel(0, 0, QStringLiteral("备注")) + xlsLabel(1, 0, text);
        XlsBook shared = label;
        shared.shared = {QStringLiteral("备注"), text};
        shared.cells = xlsLabelSst(0, 0, 0) + xlsLabelSst(1, 0, 1);
        for (const XlsBook &book : {label, shared}) {
            const ReadResult r = readXlsBytes(makeXls(book));
            if (fits) {
                ASSERT_TRUE(r.ok()) << r.message.toStdString();
                EXPECT_EQ(r.sheet.value(0, "备注"), text);
            } else {
                EXPECT_EQ(r.problem, ReadProblem::TooLarge) << text.size();
            }
        }
    }
}

TEST(ExcelReader, HostileSizesAreRefusedWhileStreaming)
{
    const QString header = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>备注</t></is></c></row>";
    const struct {
        const char *what;
        QVector<ZipPart> parts;
    } cases[] = {
            // A sheet that inflates past what any shop file holds.
            {"huge sheet",
             workbookParts(header, {{"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + QByteArray(110 << 20, ' ') +
                                                                         "</sheetData></worksheet>"}})},
            // Text that never ends, before any cell could hold it.
            {"endless text",
             workbookParts(header + "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>" +
                           QString(2 << 20, QLatin1Char('&')).replace(QLatin1String("&"), QLatin1String("&amp;")) +
                           "</t></is></c></row>")},
            // Millions of empty cells and rows, or of elements that mean nothing.
            {"empty cells", workbookParts(header + QString("<row><c/></row>").repeated(1'000'001))},
            {"meaningless elements",
             workbookParts(header, {{"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" +
                                                                         QByteArray("<x/>").repeated(12'000'001) +
                                                                         "</sheetData></worksheet>"}})},
            // Shared strings: too many, and too much text together.
            {"many shared strings",
             workbookParts(header,
                           {{"xl/sharedStrings.xml", "<sst>" + QByteArray("<si/>").repeated(2'000'001) + "</sst>"}})},
            {"long shared strings",
             workbookParts(header,
                           {{"xl/sharedStrings.xml",
                             "<sst>" + ("<si><t>" + QByteArray(32767, 'a') + "</t></si>").repeated(1960) + "</sst>"}})},
    };
    for (const auto &c : cases) {
        const ReadResult r = readParts(c.parts);
        EXPECT_EQ(r.problem, ReadProblem::TooLarge) << c.what;
        EXPECT_TRUE(r.message.contains("数据量太大")) << c.what;
    }
    // A sheet whose zip entry lies about its size is stopped all the same.
    QVector<ZipPart> lying = cases[0].parts;
    QByteArray zip = makeZip(lying);
    const QByteArray name = "xl/worksheets/sheet1.xml";
    for (qsizetype at = zip.indexOf(name); at >= 0; at = zip.indexOf(name, at + 1)) {
        // The uncompressed size field: 22 bytes before the name in a local
        // header, 26 in a central directory entry.
        const bool central = zip.mid(at - 46, 4) == QByteArray("PK\x01\x02", 4);
        const qsizetype field = at - (central ? 22 : 8);
        zip.replace(field, 4, QByteArray("\x00\x10\x00\x00", 4));
    }
    const ReadResult r = readXlsx(zip, "测试.xlsx");
    EXPECT_NE(r.problem, ReadProblem::None);

    // An .xls with more cells than any shop file: refused, not held.
    XlsBook book;
    book.dimensionRows = 1;
    book.dimensionColumns = 1;
    const QByteArray cell = xlsNumber(1, 0, 0, 1.5);
    book.cells = xlsLabel(0, 0, QStringLiteral("积分")) + cell.repeated(2'000'001);
    const ReadResult xls = readXls(makeXls(book), "测试.xls");
    EXPECT_EQ(xls.problem, ReadProblem::TooLarge);
    EXPECT_TRUE(xls.message.contains("测试.xls"));
}

TEST(ExcelReader, ProgressIsToldAndTheReadCanBeCancelled)
{
    QString rows = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>积分</t></is></c></row>";
    XlsBook book;
    book.dimensionRows = 20001;
    book.dimensionColumns = 1;
    book.cells = xlsLabel(0, 0, QStringLiteral("积分"));
    for (int i = 1; i <= 20000; ++i) {
        rows += QStringLiteral("<row r=\"%1\"><c r=\"A%1\"><v>%1</v></c></row>").arg(i + 1);
        book.cells += xlsNumber(i, 0, 0, i);
    }
    const QByteArray xlsx = makeZip(workbookParts(rows));
    const QByteArray xls = makeXls(book);
    for (const bool isXls : {false, true}) {
        const auto read = [&](const ReadProgress &progress) {
            return isXls ? readXls(xls, "测试.xls", progress) : readXlsx(xlsx, "测试.xlsx", progress);
        };
        QVector<int> told;
        const ReadResult whole = read([&](int percent) {
            told << percent;
            return true;
        });
        ASSERT_TRUE(whole.ok()) << whole.message.toStdString();
        EXPECT_EQ(whole.sheet.rowCount(), 20000);
        ASSERT_GE(told.size(), 2) << isXls;
        EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
        EXPECT_GE(told.first(), 0);
        EXPECT_LE(told.last(), 100);

        int calls = 0;
        const ReadResult stopped = read([&](int) { return ++calls < 2; });
        EXPECT_EQ(stopped.problem, ReadProblem::Cancelled) << isXls;
        EXPECT_EQ(calls, 2) << isXls;  // not asked again once it said stop
        EXPECT_EQ(stopped.sheet.rowCount(), 0);
    }
}

// A formula saved without its result and an error value read as "" like an
// empty cell, but are marked, so that an import does not take them for one.
TEST(ExcelReader, FormulasWithoutResultsAndErrorsAreMarkedUnread)
{
    const ReadResult r = readParts(
            workbookParts("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>姓名</t></is></c>"
                          "<c r=\"B1\" t=\"inlineStr\"><is><t>积分</t></is></c></row>"
                          "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>0</v></c><c r=\"B2\"><f>1+1</f></c></row>"
                          "<row r=\"3\"><c r=\"A3\" t=\"s\"><v>1</v></c><c r=\"B3\"><f>1+1</f><v></v></c>"
                          "<c r=\"C3\" t=\"str\"><f>\"\"</f><v></v></c><c r=\"D3\"><f>2+2</f><v>4</v></c></row>"
                          "<row r=\"4\"><c r=\"B4\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c></row>"
                          "<row r=\"6\"><c r=\"A6\" t=\"s\"><v>0</v></c></row>"
                          "<row r=\"7\"><c r=\"E7\"><f>SUM(B2:B6)</f></c></row>"));
    ASSERT_TRUE(r.ok()) << r.message.toStdString();
    const Sheet &s = r.sheet;
    // Row 7 holds only the formula: it is a row of the sheet all the same.
    ASSERT_EQ(s.rowCount(), 6);
    EXPECT_EQ(s.columnCount(), 5);
    Unread why = Unread::ErrorValue;
    EXPECT_EQ(s.value(0, "积分"), "");
    EXPECT_TRUE(s.isUnread(0, 1, &why));
    EXPECT_EQ(why, Unread::NoResult);
    EXPECT_TRUE(s.isUnread(1, 1));   // an empty result of a number formula
    EXPECT_FALSE(s.isUnread(1, 2));  // an empty text is a result
    EXPECT_FALSE(s.isUnread(1, 3));
    EXPECT_EQ(s.cell(1, 3), "4");
    EXPECT_TRUE(s.isUnread(2, 1, &why));
    EXPECT_EQ(why, Unread::ErrorValue);
    EXPECT_FALSE(s.isRowEmpty(2));
    EXPECT_TRUE(s.isRowEmpty(3));  // row 5, not in the file
    EXPECT_FALSE(s.isUnread(4, 1));
    EXPECT_TRUE(s.isUnread(5, 4));
    EXPECT_FALSE(s.isRowEmpty(5));

    // The error results of formulas.xls and formulas.xlsx alike.
    for (const char *name : {"formulas.xls", "formulas.xlsx"}) {
        const ReadResult f = readWorkbook(fixture(QString::fromLatin1(name)));
        ASSERT_TRUE(f.ok()) << name;
        why = Unread::NoResult;
        EXPECT_TRUE(f.sheet.isUnread(2, f.sheet.column("积分"), &why)) << name;
        EXPECT_EQ(why, Unread::ErrorValue) << name;
        EXPECT_FALSE(f.sheet.isUnread(0, f.sheet.column("积分"))) << name;
        EXPECT_FALSE(f.sheet.isUnread(1, f.sheet.column("备注"))) << name;
    }

    // A cell given a value wins over a mark for it; marks stay in their rows.
    RowCollector rows;
    rows.set(1, 0, "头");
    rows.setUnread(3, 1, Unread::NoResult);
    rows.set(2, 0, "甲");
    rows.setUnread(2, 0, Unread::ErrorValue);
    const Sheet joined("x.xlsx", rows.take(), rows.takeUnread());
    ASSERT_EQ(joined.rowCount(), 2);
    EXPECT_FALSE(joined.isUnread(0, 0));
    EXPECT_EQ(joined.cell(0, 0), "甲");
    EXPECT_EQ(joined.rowNumber(1), 3);
    EXPECT_TRUE(joined.isUnread(1, 1));
}
