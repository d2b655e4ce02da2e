#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

namespace excel {

// Cells of an .xls sheet that FreeXL leaves empty: formula results and
// logical values.  Read straight from the compound file's workbook stream.
struct BiffCell
{
    int row;    // 0-based
    int column; // 0-based
    QString text;
};

// The formula and logical cells of the named sheet, as text the way the
// reader gives every other cell.  Empty when the file is not a BIFF8
// workbook or the sheet is not found; never throws on damaged input.
QVector<BiffCell> readBiffExtras(const QByteArray &file, const QString &sheetName);

// What a compound (OLE2) file holds, looked at before FreeXL sees it.
enum class CompoundContent {
    Broken,            // structure damaged, or in a way FreeXL would trust and overrun
    Workbook,          // an Excel 97-2003 workbook whose records hold together
    OldWorkbook,       // Excel 95 or older
    EncryptedWorkbook, // an .xls with a password to open
    EncryptedPackage,  // a password-protected .xlsx
    Other,             // some other document (.doc, .msg, ...)
};
CompoundContent inspectCompoundFile(const QByteArray &file);

} // namespace excel
