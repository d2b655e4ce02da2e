// Arbitrary bytes as an .xlsx workbook: the reader must answer with a sheet
// or a message, never crash, hang or run away with memory.
#include "platform/excel/excelreader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const excel::ReadResult r = excel::readXlsx(bytes, QStringLiteral("fuzz.xlsx"));
    if (r.ok() == r.message.isEmpty()) {
        const excel::Sheet &s = r.sheet;
        qsizetype total = 0;
        for (int i = 0; i < s.rowCount(); ++i) {
            if (s.row(i).cells.size() > s.columnCount()) std::abort();
            if (i > 0 && s.rowNumber(i) != s.rowNumber(i - 1) + 1) std::abort();
            for (int c = 0; c < s.columnCount(); ++c) {
                total += s.cell(i, c).size();
                // A cell without a value reads as "" and keeps its row from being empty.
                excel::Unread why;
                if (s.isUnread(i, c, &why) && (!s.cell(i, c).isEmpty() || s.isRowEmpty(i))) std::abort();
            }
            if (s.isUnread(i, s.columnCount())) std::abort();
        }
        for (const QString &h : s.headers()) total += s.column(h) < 0;
        if (total < 0) std::abort();
    } else {
        std::abort();  // a failure must come with its message and vice versa
    }
    return 0;
}
