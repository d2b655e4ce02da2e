#pragma once

#include <QString>
#include <QVector>

// How a list window lays out its rows in an exported workbook.  The
// layouts themselves belong to the windows (their registration rows).
namespace excel {

struct ExportColumn {
    QString title;
    double width = 0;   // Excel character units; 0 keeps the default width
    bool text = false;  // always stored as text (codes, numbers of documents, dates)
};

struct ExportTotal {
    int column;     // 1-based column of the totals row
    QString field;  // the totals query's field (or bottom label) it comes from
};

struct ExportLayout {
    QString window;                 // class name of the list window
    QString caption;                // the window's caption
    QString title;                  // title text after the shop's name
    QVector<ExportColumn> columns;  // column 1 is always 序号
    QVector<ExportTotal> totals;    // empty: no totals row
    bool landscape = true;

    bool hasTotals() const { return !totals.isEmpty(); }
    int columnCount() const { return int(columns.size()); }
    int columnOf(const QString &title) const;  // 1-based, 0 when absent
};

// A layout from short texts: columns as "title width" entries (width
// optional) separated by commas; text: the titles stored as text; totals:
// "column field" entries.
ExportLayout makeExportLayout(const char *window, const char *caption, const char *title, const char *columns,
                              const char *text, const char *totals, bool landscape = true);

}  // namespace excel
