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

// False when the compound file's structure is broken in a way that must not
// reach FreeXL (which trusts the lengths it finds there).
bool isSoundCompoundFile(const QByteArray &file);

} // namespace excel
