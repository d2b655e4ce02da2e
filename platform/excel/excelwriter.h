#pragma once

#include "platform/excel/exportlayout.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

// Writing a list window's rows into a new .xlsx workbook laid out for
// printing: the shop's name and the title merged over the first row, the
// column titles, the rows (numbered in column 1), an optional "合计" row,
// thin borders from the header row down, the page orientation and footer.
namespace excel {

// Shown when the workbook cannot be written, naming the file; the system's
// reason goes to the result's detail.
QString cannotWriteMessage(const QString &path);
// Centred page footer: the product's name and the page codes.
inline constexpr char kExportFooter[] = "Velmora会员管理软件 共&N页，第&P页";

// Supplies the next row: the texts of columns 2..n of the layout in order
// (column 1, 序号, is numbered by the writer).  Returns false at the end.
// A text that reads as a plain number is stored as a number unless its
// column keeps texts.
using ExportRowSource = std::function<bool(QStringList &values)>;

// One value of a row: a number goes in as the double it is, without a round
// trip through text; a text as above.
struct ExportValue {
    QString text;
    double number = 0;
    bool isNumber = false;

    ExportValue() = default;
    ExportValue(const QString &t) : text(t) {}
    ExportValue(double n) : number(n), isNumber(true) {}
};
// The same with typed values; the vector is handed back each time, so a
// source can refill it without allocating.
using ExportValueSource = std::function<bool(QVector<ExportValue> &values)>;

struct ExportResult {
    bool written = false;
    QString path;
    int rows = 0;     // data rows written
    QString message;  // for the user when not written
    QString detail;   // why, in the system's words, under the message's details
};

// Writes the workbook to path (replacing a file of that name).  totals holds
// the totals row's texts by 1-based column; it is used when the layout has a
// totals row, which is then written even for an empty list.  On failure no
// file is left behind.
ExportResult writeExport(const QString &path, const ExportLayout &layout, const QString &shopName,
                         const ExportRowSource &rows, const QHash<int, QString> &totals = {});

ExportResult writeExport(const QString &path, const ExportLayout &layout, const QString &shopName,
                         const ExportValueSource &rows, const QHash<int, QString> &totals = {});

// Convenience for rows already in memory.
ExportResult writeExport(const QString &path, const ExportLayout &layout, const QString &shopName,
                         const QVector<QStringList> &rows, const QHash<int, QString> &totals = {});

// "商品库存表_20240105_143000.xlsx"
QString exportFileName(const QString &title, const QDateTime &when);
// A path in folder for that name that does not exist yet ("…_2.xlsx" and on).
QString exportFilePath(const QString &folder, const QString &title, const QDateTime &when);

// Hands the file to the desktop's default application; false when none took it.
bool openWithDefaultApplication(const QString &path);

}  // namespace excel
