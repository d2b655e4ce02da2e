#pragma once

#include "platform/excel/excelsheet.h"

#include <QByteArray>
#include <QString>

// Reading sheet "Sheet1" of a workbook chosen by the user for an import.
// .xls (BIFF) and .xlsx are told apart by their content, not by the name.
// Cells come back as text: numbers as the shortest decimal text ("100",
// "12.5"), date-formatted cells as "yyyy-mm-dd" ("yyyy-mm-dd hh:mm:ss" when
// the format shows a time too, "hh:mm:ss" for a time alone), text as typed,
// TRUE/FALSE for logical cells, "" for empty and error cells.
namespace excel {

enum class ReadProblem {
    None,
    NotFound,    // missing or unreadable
    NotWorkbook, // some other kind of file
    OldFormat,   // Excel 95 or older
    Damaged,     // truncated or corrupt
    Encrypted,   // protected by a password to open
    NoSheet1,    // no worksheet named Sheet1
    TooLarge,    // more data than we are willing to hold
};

struct ReadResult
{
    Sheet sheet;
    ReadProblem problem = ReadProblem::None;
    QString message; // Chinese, names the file; empty on success
    bool ok() const { return problem == ReadProblem::None; }
};

// The name that the sheet must have.
inline constexpr char kSheetName[] = "Sheet1";
// File dialog filter offering both kinds of workbook.
inline constexpr char kWorkbookFilter[] = "Excel文件 (*.xls *.xlsx)";

ReadResult readWorkbook(const QString &path);

// An .xlsx workbook already in memory; fileName is used in messages.
ReadResult readXlsx(const QByteArray &bytes, const QString &fileName);

// The user-facing text of a problem for the given file name.
QString readProblemMessage(ReadProblem problem, const QString &fileName);

} // namespace excel
