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
    for (const excel::Sheet::Row &r : rows.take())
        if (r.number < 1) std::abort();

    int calls = 0;
    const excel::ReadResult r = excel::readXls(bytes, QStringLiteral("fuzz.xls"), [&](int percent) {
        if (percent < 0 || percent > 100) std::abort();
        return ++calls < 3;
    });
    if (r.ok() != r.message.isEmpty()) std::abort();
    return 0;
}
