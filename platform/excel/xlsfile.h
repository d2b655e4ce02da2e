#pragma once

#include "platform/excel/excelreader.h"

#include <QByteArray>
#include <QString>

namespace excel {

class RowCollector;

// What a compound (OLE2) file holds, looked at before its records are read.
enum class CompoundContent {
    Broken,             // structure or records damaged
    Workbook,           // an Excel 97-2003 workbook whose records hold together
    OldWorkbook,        // Excel 95 or older
    EncryptedWorkbook,  // an .xls with a password to open
    EncryptedPackage,   // a password-protected .xlsx
    Other,              // some other document (.doc, .msg, ...)
};
// For a Workbook, *workbook receives its workbook stream.  A file holding
// both an Excel 95 and an Excel 97 stream is an Excel 97 workbook.
CompoundContent inspectCompoundFile(const QByteArray &file, QByteArray *workbook = nullptr);

// Reads the cells of the named sheet of an Excel 97 workbook stream into
// rows, as text the way the reader gives every cell.  Never throws and never
// reads past its input on damaged records; a cell's position is taken from
// the cell, whatever the sheet's DIMENSION record says.
ReadProblem readBiffSheet(const QByteArray &stream, const QString &sheetName, RowCollector *rows,
                          const ReadProgress &progress = {});

}  // namespace excel
