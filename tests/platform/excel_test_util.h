#pragma once
// Helpers of the workbook tests: fixture paths, small zip packages built on
// the fly, and a look inside a written .xlsx.

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QVector>

#include <ostream>
#include <utility>

#include <zip.h>

// Readable QString values in test failures.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace exceltest {

#ifdef VELMORA_SOURCE_DIR
inline QString fixture(const QString &name)
{
    return QStringLiteral(VELMORA_SOURCE_DIR "/tests/platform/data/") + name;
}
#endif

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct ZipPart {
    QString name;
    QByteArray data;
    bool stored = false;  // no compression
    const char *password = nullptr;
};

// A zip archive of the given parts, as bytes.
inline QByteArray makeZip(const QVector<ZipPart> &parts)
{
    QTemporaryFile tmp;
    if (!tmp.open()) return QByteArray();
    const QByteArray path = QFile::encodeName(tmp.fileName());
    tmp.close();
    zipFile zf = zipOpen(path.constData(), APPEND_STATUS_CREATE);
    if (!zf) return QByteArray();
    for (const ZipPart &p : parts) {
        const QByteArray name = p.name.toUtf8();
        zip_fileinfo info{};
        uLong crc = crc32(0L, reinterpret_cast<const Bytef *>(p.data.constData()), uInt(p.data.size()));
        zipOpenNewFileInZip3(zf, name.constData(), &info, nullptr, 0, nullptr, 0, nullptr, p.stored ? 0 : Z_DEFLATED,
                             p.stored ? 0 : Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                             p.password, crc);
        zipWriteInFileInZip(zf, p.data.constData(), unsigned(p.data.size()));
        zipCloseFileInZip(zf);
    }
    zipClose(zf, nullptr);
    return fileBytes(tmp.fileName());
}

// The parts of a minimal workbook whose Sheet1 has the given sheetData
// body; extra parts replace or add to the defaults.
inline QVector<ZipPart> workbookParts(const QString &sheetData, const QVector<ZipPart> &extra = {})
{
    const QByteArray ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                          "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    QVector<ZipPart> parts = {
            {"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                            "<Relationship Id=\"rId1\" Type=\"" +
                                    rel + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
            {"xl/workbook.xml", "<workbook " + ns +
                                        "><sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/>"
                                        "</sheets></workbook>"},
            {"xl/_rels/workbook.xml.rels",
             "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
             "<Relationship Id=\"rId1\" Type=\"" +
                     rel +
                     "worksheet\" Target=\"worksheets/sheet1.xml\"/>"
                     "<Relationship Id=\"rId2\" Type=\"" +
                     rel +
                     "sharedStrings\" Target=\"sharedStrings.xml\"/>"
                     "</Relationships>"},
            {"xl/sharedStrings.xml", "<sst " + ns + "><si><t>甲</t></si><si><t>乙</t></si></sst>"},
            {"xl/worksheets/sheet1.xml",
             "<worksheet " + ns + "><sheetData>" + sheetData.toUtf8() + "</sheetData></worksheet>"},
    };
    for (const ZipPart &e : extra) {
        bool replaced = false;
        for (ZipPart &p : parts)
            if (p.name == e.name) {
                p = e;
                replaced = true;
            }
        if (!replaced) parts.append(e);
    }
    return parts;
}

// One cell of a written worksheet as stored in its XML.
struct XCell {
    QString type;   // "t" attribute: "" for a number, "inlineStr", "s", ...
    QString value;  // text or number as written
    int style = 0;
};

// What the tests look at in a written workbook.
struct XSheet {
    QMap<QString, XCell> cells;  // by address "A1"
    QStringList merges;
    QVector<std::pair<int, double>> widths;  // 1-based column, width
    QString orientation;
    QString footer;
    QString dimension;
    QString docTitle;
    struct Style {
        QString fontName;
        double fontSize = 0;
        bool bold = false;
        bool thinBorder = false;
        QString horizontal, vertical;
    };
    QVector<Style> styles;  // by cell style index
    bool ok = false;
};
XSheet inspectXlsx(const QString &path);

// .xls workbooks written record by record, so that each test states the
// records it is about.
QByteArray biffRecord(quint16 type, const QByteArray &data);
QByteArray xlsNumber(int row, int column, int xf, double value);
QByteArray xlsLabelSst(int row, int column, int index);
QByteArray xlsLabel(int row, int column, const QString &text);  // may run on in CONTINUE records

struct XlsBook {
    QString sheetName = QStringLiteral("Sheet1");
    QVector<std::pair<int, QString>> formats;  // custom number formats: id, code
    QVector<int> xfFormats = {0};              // number format id of each XF
    QStringList shared;                        // the shared strings table
    int dimensionRows = 0;                     // rows the DIMENSION record claims
    int dimensionColumns = 0;
    QByteArray cells;  // the sheet's cell records
};
// The workbook stream of an Excel 97 workbook with one worksheet.
QByteArray xlsWorkbookStream(const XlsBook &book);
// A compound file with these streams (each padded past the small-stream cutoff).
QByteArray makeCompoundFile(const QVector<std::pair<QString, QByteArray>> &streams);
inline QByteArray makeXls(const XlsBook &book)
{
    return makeCompoundFile({{QStringLiteral("Workbook"), xlsWorkbookStream(book)}});
}

}  // namespace exceltest
