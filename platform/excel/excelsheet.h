#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

namespace excel {

// The rows of one worksheet as text, the first non-empty row being the
// header row.  Columns count from 0 (column A); row numbers are the sheet's
// own (1-based), so that messages can point the user at the right cell.
// Why a cell that reads as "" may not be empty: the workbook holds no value
// for it.
enum class Unread : quint8 {
    NoResult,    // a formula saved without its result (never calculated)
    ErrorValue,  // an error such as #DIV/0! or #N/A, or a formula giving one
};
struct UnreadCell {
    int row = 0;  // the row's number in the sheet
    int column = 0;
    Unread why = Unread::NoResult;
};

class Sheet {
public:
    struct Row {
        int number = 0;     // the row's number in the sheet
        QStringList cells;  // trailing empty cells left out
    };

    Sheet() = default;
    // rows: the sheet's non-empty rows in ascending order of number; unread:
    // the cells without a value (a cell that has a text is not one).
    Sheet(const QString &fileName, QVector<Row> rows, const QVector<UnreadCell> &unread = {});

    QString fileName() const { return m_fileName; }
    int headerRowNumber() const { return m_headerRow; }  // 0 for an empty sheet
    const QStringList &headers() const { return m_headers; }

    int rowCount() const { return int(m_rows.size()); }  // data rows, after the header
    int columnCount() const { return m_columns; }
    const Row &row(int index) const { return m_rows[index]; }
    int rowNumber(int index) const { return m_rows[index].number; }
    QString cell(int row, int column) const;
    bool isRowEmpty(int row) const { return m_rows[row].cells.isEmpty() && !m_unread.contains(m_rows[row].number); }
    // True when the cell reads as "" because the workbook holds no value
    // for it; kind (when given) receives why.
    bool isUnread(int row, int column, Unread *kind = nullptr) const;

    // Index of the first column whose header, ignoring surrounding blanks,
    // is the given text; -1 when there is none.
    int column(const QString &header) const;
    QStringList missingHeaders(const QStringList &required) const;
    QString value(int row, const QString &header) const;

    // "D5": the cell's address for messages.
    QString cellName(int row, int column) const;

private:
    QString m_fileName;
    int m_headerRow = 0;
    QStringList m_headers;
    QVector<Row> m_rows;
    int m_columns = 0;
    QHash<int, QVector<UnreadCell>> m_unread;  // by row number
};

}  // namespace excel
