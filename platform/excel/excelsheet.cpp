#include "platform/excel/excelsheet.h"

#include "platform/excel/excelcell.h"

#include <algorithm>

namespace excel {

namespace {

void trimRow(QStringList &cells)
{
    while (!cells.isEmpty() && cells.last().isEmpty()) cells.removeLast();
}

}  // namespace

Sheet::Sheet(const QString &fileName, QVector<Row> rows, const QVector<UnreadCell> &unread) : m_fileName(fileName)
{
    for (Row &r : rows) trimRow(r.cells);
    if (!unread.isEmpty()) {
        QHash<int, qsizetype> at;
        for (qsizetype i = 0; i < rows.size(); ++i) at.insert(rows[i].number, i);
        for (const UnreadCell &u : unread) {
            const auto r = at.constFind(u.row);
            if (r == at.constEnd()) {
                // A row of nothing but such cells.
                at.insert(u.row, rows.size());
                rows.append(Row{u.row, {}});
            } else if (u.column < rows[*r].cells.size() && !rows[*r].cells[u.column].isEmpty()) {
                continue;
            }
            m_unread[u.row].append(u);
        }
        std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.number < b.number; });
    }
    const auto empty = [this](const Row &r) { return r.cells.isEmpty() && !m_unread.contains(r.number); };
    qsizetype first = 0;
    while (first < rows.size() && empty(rows[first])) ++first;
    if (first == rows.size()) return;
    qsizetype last = rows.size() - 1;
    while (last > first && empty(rows[last])) --last;

    m_headerRow = rows[first].number;
    m_headers = rows[first].cells;
    m_columns = int(m_headers.size());
    // Rows the file leaves out between used rows are empty rows of the sheet
    // and are kept as such: an empty row means something to the importers.
    int expected = m_headerRow + 1;
    for (qsizetype i = first + 1; i <= last; ++i) {
        Row &r = rows[i];
        for (; expected < r.number; ++expected) m_rows.append(Row{expected, {}});
        m_columns = qMax(m_columns, int(r.cells.size()));
        for (const UnreadCell &u : m_unread.value(r.number)) m_columns = qMax(m_columns, u.column + 1);
        expected = r.number + 1;
        m_rows.append(std::move(r));
    }
}

QString Sheet::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0) return QString();
    const QStringList &cells = m_rows[row].cells;
    return column < cells.size() ? cells[column] : QString();
}

bool Sheet::isUnread(int row, int column, Unread *kind) const
{
    if (row < 0 || row >= m_rows.size()) return false;
    const auto marks = m_unread.constFind(m_rows[row].number);
    if (marks == m_unread.constEnd()) return false;
    for (const UnreadCell &u : *marks) {
        if (u.column != column) continue;
        if (kind) *kind = u.why;
        return true;
    }
    return false;
}

int Sheet::column(const QString &header) const
{
    const QString wanted = header.trimmed();
    for (int c = 0; c < m_headers.size(); ++c)
        if (m_headers[c].trimmed() == wanted) return c;
    return -1;
}

QStringList Sheet::missingHeaders(const QStringList &required) const
{
    QStringList missing;
    for (const QString &h : required)
        if (column(h) < 0) missing.append(h);
    return missing;
}

QString Sheet::value(int row, const QString &header) const
{
    return cell(row, column(header));
}

QString Sheet::cellName(int row, int column) const
{
    return columnLetters(column) + QString::number(rowNumber(row));
}

}  // namespace excel
