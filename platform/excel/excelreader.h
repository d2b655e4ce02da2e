#pragma once

#include "platform/excel/excelsheet.h"

#include <QByteArray>
#include <QString>

#include <functional>

// Reading sheet "Sheet1" of a workbook chosen by the user for an import.
// .xls (BIFF) and .xlsx are told apart by their content, not by the name.
// Cells come back as text: numbers as the shortest decimal text ("100",
// "12.5"), date-formatted cells as "yyyy-mm-dd" ("yyyy-mm-dd hh:mm:ss" when
// the format shows a time too, "hh:mm:ss" for a time alone), text as typed,
// TRUE/FALSE for logical cells, "" for empty and error cells.  Error cells
// and formulas saved without their result are also marked (Sheet::isUnread),
// so that they are not taken for empty ones.
namespace excel {

enum class ReadProblem {
    None,
    NotFound,     // missing or unreadable
    NotWorkbook,  // some other kind of file
    OldFormat,    // Excel 95 or older
    Damaged,      // truncated or corrupt
    Encrypted,    // protected by a password to open
    NoSheet1,     // no worksheet named Sheet1
    TooLarge,     // more data than we are willing to hold
    Cancelled,    // stopped by the caller's progress function
};

struct ReadResult {
    Sheet sheet;
    ReadProblem problem = ReadProblem::None;
    QString message;  // Chinese, names the file; empty on success
    bool ok() const { return problem == ReadProblem::None; }
};

// The name that the sheet must have.
inline constexpr char kSheetName[] = "Sheet1";
// File dialog filter offering both kinds of workbook.
inline constexpr char kWorkbookFilter[] = "Excel文件 (*.xls *.xlsx)";

// Told how far a read has come (0-100), often and from the reading thread;
// answering false stops the read, which then ends as Cancelled.
using ReadProgress = std::function<bool(int percent)>;

// Excel's own limit on the text of one cell; a longer one means a file no
// spreadsheet program wrote, and it is refused as TooLarge.
inline constexpr int kMaxCellText = 32767;

ReadResult readWorkbook(const QString &path, const ReadProgress &progress = {});

// A workbook already in memory; fileName is used in messages.
ReadResult readXlsx(const QByteArray &bytes, const QString &fileName, const ReadProgress &progress = {});
ReadResult readXls(const QByteArray &bytes, const QString &fileName, const ReadProgress &progress = {});

// The user-facing text of a problem for the given file name.
QString readProblemMessage(ReadProblem problem, const QString &fileName);

}  // namespace excel
