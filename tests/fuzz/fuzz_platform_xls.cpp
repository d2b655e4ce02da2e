// Arbitrary bytes as an .xls workbook: the container check, our reading of
// the records and the whole read must answer with a sheet or a message,
// never crash.
#include "platform/excel/excelreader.h"
#include "platform/excel/rowcollector.h"
#include "platform/excel/xlsfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The records alone, as if the container had been sound.
    excel::RowCollector rows;
    excel::readBiffSheet(bytes, QStringLiteral("Sheet1"), &rows);
    const QVector<excel::UnreadCell> unread = rows.takeUnread();
    const QVector<excel::Sheet::Row> taken = rows.take();
    for (const excel::Sheet::Row &r : taken)
        if (r.number < 1) std::abort();
    for (const excel::UnreadCell &u : unread)
        if (u.row < 1 || u.column < 0) std::abort();
    // The cells without a value join the rows as the readers hand them on.
    const excel::Sheet sheet(QStringLiteral("fuzz.xls"), taken, unread);
    for (int i = 0; i < sheet.rowCount(); ++i) {
        if (i > 0 && sheet.rowNumber(i) != sheet.rowNumber(i - 1) + 1) std::abort();
        for (int c = 0; c < sheet.columnCount(); ++c)
            if (sheet.isUnread(i, c) && (!sheet.cell(i, c).isEmpty() || sheet.isRowEmpty(i))) std::abort();
    }

    int calls = 0;
    const excel::ReadResult r = excel::readXls(bytes, QStringLiteral("fuzz.xls"), [&](int percent) {
        if (percent < 0 || percent > 100) std::abort();
        return ++calls < 3;
    });
    if (r.ok() != r.message.isEmpty()) std::abort();
    return 0;
}
