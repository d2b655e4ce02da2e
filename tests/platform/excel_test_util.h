#pragma once
// Helpers of the workbook tests: fixture paths, small zip packages built on
// the fly, and a look inside a written .xlsx.

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QVector>

#include <ostream>
#include <utility>

// Readable QString values in test failures.
inline void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace exceltest {

inline QString fixture(const QString &name)
{
    return QStringLiteral(VELMORA_SOURCE_DIR "/tests/platform/data/") + name;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct ZipPart
{
    QString name;
    QByteArray data;
    bool stored = false;      // no compression
    const char *password = nullptr;
};

// A zip archive of the given parts, as bytes.
QByteArray makeZip(const QVector<ZipPart> &parts);

// The parts of a minimal workbook whose Sheet1 has the given sheetData
// body; extra parts replace or add to the defaults.
QVector<ZipPart> workbookParts(const QString &sheetData, const QVector<ZipPart> &extra = {});

// One cell of a written worksheet as stored in its XML.
struct XCell
{
    QString type;  // "t" attribute: "" for a number, "inlineStr", "s", ...
    QString value; // text or number as written
    int style = 0;
};

// What the tests look at in a written workbook.
struct XSheet
{
    QMap<QString, XCell> cells; // by address "A1"
    QStringList merges;
    QVector<std::pair<int, double>> widths; // 1-based column, width
    QString orientation;
    QString footer;
    QString dimension;
    QString docTitle;
    struct Style
    {
        QString fontName;
        double fontSize = 0;
        bool bold = false;
        bool thinBorder = false;
        QString horizontal, vertical;
    };
    QVector<Style> styles; // by cell style index
    bool ok = false;
};
XSheet inspectXlsx(const QString &path);

} // namespace exceltest
