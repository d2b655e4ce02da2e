// Arbitrary bytes as an .xls workbook: our pass over the workbook stream and
// the whole read (through a file, as FreeXL reads from a path) must answer
// with a sheet or a message, never crash.
#include "platform/excel/xlsfile.h"
#include "platform/excel/excelreader.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const excel::BiffCell &c : excel::readBiffExtras(bytes, QStringLiteral("Sheet1")))
        if (c.row < 0 || c.column < 0)
            std::abort();

    static const QString path = QDir::tempPath() + QStringLiteral("/fuzz_platform_xls_%1.xls").arg(getpid());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return 0;
    f.close();
    const excel::ReadResult r = excel::readWorkbook(path);
    QFile::remove(path);
    if (r.ok() != r.message.isEmpty())
        std::abort();
    return 0;
}
