#include "platform/excel/excelreader.h"

#include "platform/excel/xlsfile.h"
#include "platform/excel/excelcell.h"
#include "platform/excel/rowcollector.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <freexl.h>

namespace excel {

namespace {

constexpr qint64 kMaxFileSize = 512ll << 20;

const QByteArray kZipMagic("PK\x03\x04", 4);
const QByteArray kEmptyZipMagic("PK\x05\x06", 4);
const QByteArray kCompoundMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);

ReadResult failed(ReadProblem problem, const QString &fileName)
{
    ReadResult r;
    r.problem = problem;
    r.message = readProblemMessage(problem, fileName);
    return r;
}

ReadResult readXls(const QString &path, const QByteArray &bytes, const QString &fileName)
{
    const void *handle = nullptr;
    const QByteArray encoded = QFile::encodeName(path);
    const int rc = freexl_open(encoded.constData(), &handle);
    struct Closer
    {
        const void *h;
        ~Closer()
        {
            if (h)
                freexl_close(h);
        }
    } closer{handle};
    if (rc != FREEXL_OK) {
        switch (rc) {
        case FREEXL_FILE_NOT_FOUND: return failed(ReadProblem::NotFound, fileName);
        case FREEXL_BIFF_WORKBOOK_NOT_FOUND: return failed(ReadProblem::NotWorkbook, fileName);
        case FREEXL_INSUFFICIENT_MEMORY: return failed(ReadProblem::TooLarge, fileName);
        default: return failed(ReadProblem::Damaged, fileName);
        }
    }
    unsigned int info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK && info == FREEXL_BIFF_OBFUSCATED)
        return failed(ReadProblem::Encrypted, fileName);
    unsigned int sheets = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK)
        return failed(ReadProblem::Damaged, fileName);
    int found = -1;
    for (unsigned int i = 0; i < sheets && i < 65536 && found < 0; ++i) {
        const char *name = nullptr;
        if (freexl_get_worksheet_name(handle, (unsigned short)i, &name) == FREEXL_OK && name
            && QString::fromUtf8(name).compare(QLatin1String(kSheetName), Qt::CaseInsensitive) == 0)
            found = int(i);
    }
    if (found < 0)
        return failed(ReadProblem::NoSheet1, fileName);
    if (freexl_select_active_worksheet(handle, (unsigned short)found) != FREEXL_OK)
        return failed(ReadProblem::Damaged, fileName);
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        return failed(ReadProblem::Damaged, fileName);
    if (rows > unsigned(kMaxSheetRows) || columns > kMaxSheetColumns)
        return failed(ReadProblem::Damaged, fileName);

    // FreeXL leaves formula results and logical values empty; they come
    // from our own pass over the workbook stream.
    QHash<quint64, QString> extras;
    for (const BiffCell &b : readBiffExtras(bytes, QLatin1String(kSheetName)))
        extras.insert(quint64(b.row) << 16 | quint64(b.column), b.text);

    RowCollector collector;
    for (unsigned int r = 0; r < rows; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue v;
            if (freexl_get_cell_value(handle, r, c, &v) != FREEXL_OK)
                return failed(ReadProblem::Damaged, fileName);
            QString text;
            switch (v.type) {
            case FREEXL_CELL_INT:
                text = QString::number(v.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                text = numberText(v.value.double_value);
                break;
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                text = v.value.text_value ? QString::fromUtf8(v.value.text_value) : QString();
                break;
            default:
                text = extras.take(quint64(r) << 16 | c);
                break;
            }
            if (!collector.set(int(r) + 1, c, text))
                return failed(ReadProblem::TooLarge, fileName);
        }
    }
    for (auto it = extras.cbegin(); it != extras.cend(); ++it)
        if (!collector.set(int(it.key() >> 16) + 1, int(it.key() & 0xFFFF), it.value()))
            return failed(ReadProblem::TooLarge, fileName);
    ReadResult result;
    result.sheet = Sheet(fileName, collector.take());
    return result;
}

} // namespace

QString readProblemMessage(ReadProblem problem, const QString &fileName)
{
    switch (problem) {
    case ReadProblem::None:
        return QString();
    case ReadProblem::NotFound:
        return QStringLiteral("找不到文件“%1”，或者没有读取它的权限。").arg(fileName);
    case ReadProblem::NotWorkbook:
        return QStringLiteral("文件“%1”不是Excel工作簿（.xls 或 .xlsx），无法读取。"
                              "如果它能用Excel打开，请在Excel中另存为 .xlsx 格式后再试。")
            .arg(fileName);
    case ReadProblem::OldFormat:
        return QStringLiteral("文件“%1”是Excel 95或更早版本的格式，无法读取。请在Excel中另存为 .xlsx 格式后再试。")
            .arg(fileName);
    case ReadProblem::Damaged:
        return QStringLiteral("文件“%1”已损坏或不完整，无法读取。请用Excel打开并重新保存后再试。").arg(fileName);
    case ReadProblem::Encrypted:
        return QStringLiteral("文件“%1”设置了打开密码，无法读取。请在Excel中取消密码并保存后再试。").arg(fileName);
    case ReadProblem::NoSheet1:
        return QStringLiteral("文件“%1”中没有名为 Sheet1 的工作表，请把要导入的数据放在 Sheet1 中。").arg(fileName);
    case ReadProblem::TooLarge:
        return QStringLiteral("文件“%1”的数据量太大，无法读取。").arg(fileName);
    }
    return QString();
}

ReadResult readWorkbook(const QString &path)
{
    const QFileInfo fi(path);
    const QString fileName = fi.fileName();
    QFile file(path);
    if (!fi.isFile() || !file.open(QIODevice::ReadOnly))
        return failed(ReadProblem::NotFound, fileName);
    if (file.size() > kMaxFileSize)
        return failed(ReadProblem::TooLarge, fileName);
    const QByteArray head = file.peek(8);
    if (head.startsWith(kZipMagic) || head.startsWith(kEmptyZipMagic)) {
        const QByteArray bytes = file.readAll();
        if (bytes.size() != file.size())
            return failed(ReadProblem::NotFound, fileName);
        return readXlsx(bytes, fileName);
    }
    if (head == kCompoundMagic) {
        const QByteArray bytes = file.readAll();
        switch (inspectCompoundFile(bytes)) {
        case CompoundContent::Broken: return failed(ReadProblem::Damaged, fileName);
        case CompoundContent::EncryptedWorkbook:
        case CompoundContent::EncryptedPackage: return failed(ReadProblem::Encrypted, fileName);
        case CompoundContent::Other: return failed(ReadProblem::NotWorkbook, fileName);
        case CompoundContent::OldWorkbook: return failed(ReadProblem::OldFormat, fileName);
        case CompoundContent::Workbook: break;
        }
        file.close();
        return readXls(path, bytes, fileName);
    }
    return failed(ReadProblem::NotWorkbook, fileName);
}

} // namespace excel
