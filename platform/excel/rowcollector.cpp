#include "platform/excel/rowcollector.h"

#include <algorithm>

namespace excel {

bool RowCollector::set(int rowNumber, int column, const QString &text)
{
    if (text.isEmpty()) return true;
    if (m_rows.isEmpty() || m_rows.last().number != rowNumber) {
        if (!m_rows.isEmpty() && rowNumber < m_rows.last().number) m_sorted = false;
        m_rows.append(Sheet::Row{rowNumber, {}});
    }
    QStringList &cells = m_rows.last().cells;
    if (column >= cells.size()) {
        m_held += column + 1 - cells.size();
        if (m_held > kMaxHeldCells) return false;
        cells.resize(column + 1);
    }
    cells[column] = text;
    return true;
}

bool RowCollector::setUnread(int rowNumber, int column, Unread why)
{
    if (++m_held > kMaxHeldCells) return false;
    m_unread.append({rowNumber, column, why});
    return true;
}

QVector<Sheet::Row> RowCollector::take()
{
    if (!m_sorted) {
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [](const Sheet::Row &a, const Sheet::Row &b) { return a.number < b.number; });
        // A row number met twice: later cells win.
        QVector<Sheet::Row> merged;
        for (Sheet::Row &r : m_rows) {
            if (!merged.isEmpty() && merged.last().number == r.number) {
                QStringList &into = merged.last().cells;
                if (into.size() < r.cells.size()) into.resize(r.cells.size());
                for (int c = 0; c < r.cells.size(); ++c)
                    if (!r.cells[c].isEmpty()) into[c] = r.cells[c];
            } else {
                merged.append(std::move(r));
            }
        }
        m_rows = std::move(merged);
        m_sorted = true;
    }
    m_held = 0;
    return std::move(m_rows);
}

}  // namespace excel
