#pragma once

#include "platform/excel/excelsheet.h"

#include <utility>

namespace excel {

// Limits of what a reader accepts: Excel's own sheet size, and caps on what
// is held and read so that a crafted file is refused within seconds instead
// of exhausting memory or time.  Each is checked while streaming.
inline constexpr int kMaxSheetRows = 1048576;
inline constexpr int kMaxSheetColumns = 16384;
inline constexpr qint64 kMaxHeldCells = 8'000'000;
inline constexpr qint64 kMaxCellsRead = 2'000'000;      // rows and cells met, empty ones too
inline constexpr qint64 kMaxSharedStrings = 2'000'000;  // entries of the shared strings table
inline constexpr qint64 kMaxSharedChars = 64'000'000;   // their characters together

// Gathers a sheet's non-empty cells row by row as the readers meet them.
class RowCollector {
public:
    // False when the cell would take the sheet past kMaxHeldCells.
    bool set(int rowNumber, int column, const QString &text);
    // The cell holds no value (see Unread); false past kMaxHeldCells.
    bool setUnread(int rowNumber, int column, Unread why);
    QVector<Sheet::Row> take();
    QVector<UnreadCell> takeUnread() { return std::exchange(m_unread, {}); }

private:
    QVector<Sheet::Row> m_rows;
    QVector<UnreadCell> m_unread;
    qint64 m_held = 0;
    bool m_sorted = true;
};

}  // namespace excel
