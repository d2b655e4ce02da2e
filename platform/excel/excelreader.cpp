#include "platform/excel/excelreader.h"

#include "platform/excel/xlsfile.h"
#include "platform/excel/excelcell.h"
#include "platform/excel/rowcollector.h"

#include <QFile>
#include <QFileInfo>

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

}  // namespace

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
    case ReadProblem::Cancelled:
        return QStringLiteral("已取消读取文件“%1”。").arg(fileName);
    }
    return QString();
}

ReadResult readXls(const QByteArray &bytes, const QString &fileName, const ReadProgress &progress)
{
    QByteArray stream;
    switch (inspectCompoundFile(bytes, &stream)) {
    case CompoundContent::Broken:
        return failed(ReadProblem::Damaged, fileName);
    case CompoundContent::EncryptedWorkbook:
    case CompoundContent::EncryptedPackage:
        return failed(ReadProblem::Encrypted, fileName);
    case CompoundContent::Other:
        return failed(ReadProblem::NotWorkbook, fileName);
    case CompoundContent::OldWorkbook:
        return failed(ReadProblem::OldFormat, fileName);
    case CompoundContent::Workbook:
        break;
    }
    RowCollector rows;
    const ReadProblem problem = readBiffSheet(stream, QLatin1String(kSheetName), &rows, progress);
    if (problem != ReadProblem::None) return failed(problem, fileName);
    ReadResult result;
    result.sheet = Sheet(fileName, rows.take(), rows.takeUnread());
    return result;
}

ReadResult readWorkbook(const QString &path, const ReadProgress &progress)
{
    const QFileInfo fi(path);
    const QString fileName = fi.fileName();
    QFile file(path);
    if (!fi.isFile() || !file.open(QIODevice::ReadOnly)) return failed(ReadProblem::NotFound, fileName);
    if (file.size() > kMaxFileSize) return failed(ReadProblem::TooLarge, fileName);
    const QByteArray head = file.peek(8);
    if (head.startsWith(kZipMagic) || head.startsWith(kEmptyZipMagic)) {
        const QByteArray bytes = file.readAll();
        if (bytes.size() != file.size()) return failed(ReadProblem::NotFound, fileName);
        return readXlsx(bytes, fileName, progress);
    }
    if (head == kCompoundMagic) {
        const QByteArray bytes = file.readAll();
        if (bytes.size() != file.size()) return failed(ReadProblem::NotFound, fileName);
        return readXls(bytes, fileName, progress);
    }
    return failed(ReadProblem::NotWorkbook, fileName);
}

}  // namespace excel
