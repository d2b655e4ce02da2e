#include "platform/excel/excelwriter.h"

#include "platform/excel/excelcell.h"
#include "platform/excel/ziparchive.h"
#include "platform/safefile.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include <xlsxwriter.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace excel {

namespace {

// The library does not see every failed write (its part files and the
// archive go through stdio): the finished workbook is read back, every
// entry to its end with its checksum, and each XML part must be closed.
bool wholeWorkbook(const QString &path, QString *why)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = f.errorString();
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        *why = f.errorString();
        return false;
    }
    ZipArchive zip(bytes);
    const QStringList names = zip.entryNames();
    if (!zip.isOpen() || names.isEmpty()) {
        *why = QStringLiteral("the workbook was not written to its end");
        return false;
    }
    for (const QString &name : names) {
        ZipArchive::Status status = ZipArchive::Status::Ok;
        const std::unique_ptr<ZipArchive::Entry> entry = zip.open(name, bytes.size() * qint64(1100) + (1 << 20), &status);
        QByteArray tail;
        while (entry && status == ZipArchive::Status::Ok) {
            const QByteArray chunk = entry->read(1 << 16);
            if (chunk.isEmpty()) break;
            tail = (tail + chunk).right(64);
        }
        if (entry) status = entry->status();
        const bool xml = name.endsWith(QLatin1String(".xml")) || name.endsWith(QLatin1String(".rels"));
        const QByteArray end = tail.trimmed();
        const bool closed = !xml || (name.contains(QLatin1String("worksheets/")) ? end.endsWith("</worksheet>")
                                                                                   : end.endsWith('>'));
        if (status != ZipArchive::Status::Ok || !closed) {
            *why = QStringLiteral("the workbook part %1 was not written to its end").arg(name);
            return false;
        }
    }
    return true;
}

constexpr int kMaxCellText = 32767;  // Excel's limit for one cell
constexpr int kMaxRows = 1048576;

class Writer {
public:
    Writer(const QString &path, const ExportLayout &layout)
        : m_path(path), m_part(path), m_layout(layout)
    {}
    // Still open here only when a row source threw: no half-written file
    // (the part folder goes with the writer).
    ~Writer()
    {
        if (m_book) workbook_close(m_book);
    }

    ExportResult run(const QString &shopName, const ExportValueSource &rows, const QHash<int, QString> &totals);

private:
    bool ok(lxw_error rc)
    {
        if (rc != LXW_NO_ERROR && m_error == LXW_NO_ERROR) m_error = rc;
        return rc == LXW_NO_ERROR;
    }
    bool writeText(int row, int col, const QString &text, lxw_format *format);
    bool writeValue(int row, int col, const QString &text, bool asText, lxw_format *format);
    bool writeValue(int row, int col, const ExportValue &value, bool asText, lxw_format *format);
    void setupFormats();
    ExportResult failure(const QString &message, const QString &detail);
    // The file cannot be written: the message names it.
    ExportResult failure(const QString &detail) { return failure(cannotWriteMessage(m_path), detail); }

    QString m_path;
    // The library opens the workbook by name: it is made in a folder of the
    // program's own beside the target and renamed over it once whole.  A
    // failure or a kill never leaves a file that looks like a finished
    // export, and an old file stays until then, keeping its permissions.
    vplatform::PartFolder m_part;
    const ExportLayout &m_layout;
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    lxw_format *m_title = nullptr;
    lxw_format *m_header = nullptr;
    lxw_format *m_cell = nullptr;
    lxw_error m_error = LXW_NO_ERROR;
};

void Writer::setupFormats()
{
    m_title = workbook_add_format(m_book);
    format_set_font_name(m_title, "宋体");
    format_set_font_size(m_title, 16);
    format_set_bold(m_title);
    format_set_align(m_title, LXW_ALIGN_CENTER);
    format_set_align(m_title, LXW_ALIGN_VERTICAL_CENTER);

    m_header = workbook_add_format(m_book);
    format_set_font_size(m_header, 9);
    format_set_bold(m_header);
    format_set_align(m_header, LXW_ALIGN_CENTER);
    format_set_align(m_header, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(m_header, LXW_BORDER_THIN);

    m_cell = workbook_add_format(m_book);
    format_set_font_size(m_cell, 9);
    format_set_border(m_cell, LXW_BORDER_THIN);
}

bool Writer::writeText(int row, int col, const QString &text, lxw_format *format)
{
    if (text.isEmpty()) return ok(worksheet_write_blank(m_sheet, lxw_row_t(row), lxw_col_t(col), format));
    const QByteArray utf8 = (text.size() > kMaxCellText ? text.left(kMaxCellText) : text).toUtf8();
    return ok(worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(col), utf8.constData(), format));
}

// Text that reads as a plain number goes in as a number unless the column
// keeps its texts (codes with leading zeros, document numbers, dates).
bool Writer::writeValue(int row, int col, const QString &text, bool asText, lxw_format *format)
{
    double number = 0;
    if (!asText && isPlainNumber(text, &number))
        return ok(worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(col), number, format));
    return writeText(row, col, text, format);
}

// A number from the source is written as it is; in a column that keeps its
// texts it goes in as the text it shows.
bool Writer::writeValue(int row, int col, const ExportValue &value, bool asText, lxw_format *format)
{
    if (!value.isNumber) return writeValue(row, col, value.text, asText, format);
    if (asText || !std::isfinite(value.number)) return writeText(row, col, numberText(value.number), format);
    return ok(worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(col), value.number, format));
}

ExportResult Writer::failure(const QString &message, const QString &detail)
{
    if (m_book) {
        workbook_close(m_book);
        m_book = nullptr;
    }
    ExportResult r;
    r.path = m_path;
    r.message = message;
    r.detail = detail;
    return r;
}

ExportResult Writer::run(const QString &shopName, const ExportValueSource &rows, const QHash<int, QString> &totals)
{
    const int n = m_layout.columnCount();
    if (n < 2) return failure(QStringLiteral("layout has fewer than two columns"));

    // Checked before any row is read: the reason when the file cannot be
    // written (a missing folder, no permission, a folder of that name).
    if (!m_part.create()) return failure(m_part.errorString());

    // Rows go out one by one to a temporary file, so 100,000 rows need
    // little memory; everything is therefore written strictly top-down.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray tmp = QFile::encodeName(QDir::tempPath());
    options.tmpdir = const_cast<char *>(tmp.constData());
    const QByteArray encodedPath = QFile::encodeName(m_part.filePath());
    m_book = workbook_new_opt(encodedPath.constData(), &options);
    if (!m_book) return failure(QStringLiteral("cannot start workbook"));
    m_sheet = workbook_add_worksheet(m_book, nullptr);
    if (!m_sheet) return failure(QStringLiteral("cannot add worksheet"));
    setupFormats();

    const QString heading = shopName + m_layout.title;
    const QByteArray docTitle = heading.toUtf8();
    lxw_doc_properties props{};
    props.title = const_cast<char *>(docTitle.constData());
    ok(workbook_set_properties(m_book, &props));

    for (int c = 0; c < n; ++c)
        if (m_layout.columns[c].width > 0)
            ok(worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), m_layout.columns[c].width, nullptr));

    // Row 1: the shop's name and the title, merged across every column.
    const QByteArray headingUtf8 = heading.left(kMaxCellText).toUtf8();
    ok(worksheet_merge_range(m_sheet, 0, 0, 0, lxw_col_t(n - 1), headingUtf8.constData(), m_title));
    // Row 2: the column titles.
    for (int c = 0; c < n; ++c) writeText(1, c, m_layout.columns[c].title, m_header);

    int row = 2;
    int written = 0;
    QVector<ExportValue> values;
    const ExportValue none;
    const int lastDataRow = kMaxRows - 1 - (m_layout.hasTotals() ? 1 : 0);
    while (m_error == LXW_NO_ERROR) {
        if (!rows || !rows(values)) break;
        if (row > lastDataRow)
            return failure(QStringLiteral("数据超过 Excel 工作表的最大行数（%1 行），无法导出。").arg(kMaxRows),
                           QStringLiteral("too many rows"));
        ok(worksheet_write_number(m_sheet, lxw_row_t(row), 0, double(written + 1), m_cell));
        for (int c = 1; c < n; ++c) {
            writeValue(row, c, c - 1 < values.size() ? values[c - 1] : none, m_layout.columns[c].text, m_cell);
        }
        ++row;
        ++written;
    }
    if (m_layout.hasTotals() && m_error == LXW_NO_ERROR) {
        writeText(row, 0, QStringLiteral("合计"), m_cell);
        for (int c = 1; c < n; ++c) writeValue(row, c, totals.value(c + 1), false, m_cell);
    }

    if (m_layout.landscape)
        worksheet_set_landscape(m_sheet);
    else
        worksheet_set_portrait(m_sheet);
    const QByteArray footer = QByteArray("&C") + kExportFooter;
    ok(worksheet_set_footer(m_sheet, footer.constData()));

    if (m_error != LXW_NO_ERROR) return failure(QString::fromUtf8(lxw_strerror(m_error)));
    errno = 0;
    const lxw_error rc = workbook_close(m_book);
    const int systemError = errno;
    m_book = nullptr;
    if (rc != LXW_NO_ERROR)
        return failure(QString::fromUtf8(lxw_strerror(rc)) +
                       (systemError ? QStringLiteral("\n") + QString::fromLocal8Bit(std::strerror(systemError))
                                    : QString()));
    QString why;
    if (!wholeWorkbook(m_part.filePath(), &why)) return failure(why);
    if (!m_part.commit()) return failure(m_part.errorString());

    ExportResult r;
    r.written = true;
    r.path = m_path;
    r.rows = written;
    return r;
}

QString safeFileTitle(const QString &title)
{
    QString out;
    for (const QChar c : title)
        out.append(QStringLiteral("\\/:*?\"<>|").contains(c) || c.unicode() < 32 ? QChar(u'_') : c);
    return out.isEmpty() ? QStringLiteral("导出") : out;
}

}  // namespace

ExportResult writeExport(const QString &path, const ExportLayout &layout, const QString &shopName,
                         const ExportValueSource &rows, const QHash<int, QString> &totals)
{
    Writer writer(path, layout);
    return writer.run(shopName, rows, totals);
}

ExportResult writeExport(const QString &path, const ExportLayout &layout, const QString &shopName,
                         const ExportRowSource &rows, const QHash<int, QString> &totals)
{
    QStringList texts;
    const ExportValueSource typed = [&](QVector<ExportValue> &values) {
        texts.clear();
        if (!rows || !rows(texts)) return false;
        values.resize(texts.size());
        for (qsizetype i = 0; i < texts.size(); ++i) values[i] = ExportValue(texts[i]);
        return true;
    };
    return writeExport(path, layout, shopName, typed, totals);
}

ExportResult writeExport(const QString &path, const ExportLayout &layout, const QString &shopName,
                         const QVector<QStringList> &rows, const QHash<int, QString> &totals)
{
    qsizetype next = 0;
    return writeExport(
            path, layout, shopName,
            [&](QStringList &values) {
                if (next >= rows.size()) return false;
                values = rows[next++];
                return true;
            },
            totals);
}

QString cannotWriteMessage(const QString &path)
{
    return QStringLiteral("无法创建Xls文件：") + QDir::toNativeSeparators(path);
}

QString exportFileName(const QString &title, const QDateTime &when)
{
    return safeFileTitle(title) + u'_' + when.toString(QStringLiteral("yyyyMMdd_HHmmss")) + QStringLiteral(".xlsx");
}

QString exportFilePath(const QString &folder, const QString &title, const QDateTime &when)
{
    const QDir dir(folder);
    const QString name = exportFileName(title, when);
    QString path = dir.filePath(name);
    const QString stem = name.chopped(5);  // without ".xlsx"
    // Taken: anything at the name, a dangling link too (writing there would
    // land at the link's target).
    auto taken = [](const QString &p) {
        struct stat st {};
        return ::lstat(QFile::encodeName(p).constData(), &st) == 0 || errno != ENOENT;
    };
    for (int i = 2; taken(path) && i < 10000; ++i)
        path = dir.filePath(stem + u'_' + QString::number(i) + QStringLiteral(".xlsx"));
    return path;
}

bool openWithDefaultApplication(const QString &path)
{
    // The desktop's opener starts, and says it did, even when no program
    // takes the type: ask the desktop first whether one does.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"),
                 QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")});
    if (query.waitForFinished(5000) && query.exitStatus() == QProcess::NormalExit &&
        query.readAllStandardOutput().trimmed().isEmpty())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

}  // namespace excel
