// Export of 100,000 list rows to .xlsx and reading of a 10,000-member sheet.
// Each reports its time against a baseline run by turns with it in the same
// iterations, in processor time, after an untimed run of each (measure.h):
// the same cells written through libxlsxwriter directly (export), or the
// same bytes merely inflated from the zip (read).
#include "bench/measure.h"
#include "platform/excel/excelcell.h"
#include "platform/excel/excelreader.h"
#include "platform/excel/excelwriter.h"
#include "platform/excel/ziparchive.h"
#include "tests/platform/excel_test_util.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <numeric>

namespace {

using excel::ExportValue;
using Row = QVector<ExportValue>;

double total(const std::vector<double> &v)
{
    return std::accumulate(v.begin(), v.end(), 0.0);
}

// A layout of the shape the list windows use: "序号" first, widths, some
// columns kept as text.
excel::ExportLayout layoutOf(const QStringList &titles, const QList<int> &textColumns)
{
    excel::ExportLayout layout;
    layout.title = QStringLiteral("表");
    for (int c = 0; c < titles.size(); ++c)
        layout.columns.append({titles[c], 8.0 + c % 3 * 2, textColumns.contains(c)});
    return layout;
}

const excel::ExportLayout &stockLayout()
{
    static const excel::ExportLayout l =
            layoutOf({"序号", "商品分类", "商品编码", "商品名称", "单位", "成本", "库存数量", "库存金额", "备注"}, {2});
    return l;
}

const excel::ExportLayout &saleLayout()
{
    static const excel::ExportLayout l =
            layoutOf({"序号",     "消费日期",   "单号",     "类型",     "会员卡号", "商品数量", "商品金额", "折上折",
                      "折让金额", "实收金额",   "应收金额", "员工姓名", "备注",     "录入人",   "录入日期", "本单积分",
                      "商品成本", "介绍人卡号", "提成",     "提成积分", "提成金额", "本单利润"},
                     {1, 2, 4, 14, 17});
    return l;
}

// n rows, each made from its index.
template <typename MakeRow>
QVector<Row> rowsOf(int n, MakeRow makeRow)
{
    QVector<Row> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i) rows.append(makeRow(i));
    return rows;
}

// Numbers as the doubles a query gives, texts as texts: one value for each
// column after "序号".
QVector<Row> stockRows(int n)
{
    return rowsOf(n, [](int i) {
        const double cost = 1 + (i % 97) * 0.5;
        return Row{"分类" + QString::number(i % 20),
                   QStringLiteral("%1").arg(i, 8, 10, QChar('0')),
                   "商品名称" + QString::number(i),
                   QStringLiteral("瓶"),
                   cost,
                   double(i % 300),
                   cost * (i % 300),
                   i % 5 ? QString() : QStringLiteral("备注文字")};
    });
}

QVector<Row> saleRows(int n)
{
    return rowsOf(n, [](int i) {
        const double amount = 10 + (i % 500) * 0.1;
        return Row{QStringLiteral("2024-01-05"),
                   QStringLiteral("240105%1").arg(i % 10000, 4, 10, QChar('0')),
                   QStringLiteral("会员"),
                   QStringLiteral("24%1").arg(i % 1000000, 6, 10, QChar('0')),
                   double(1 + i % 9),
                   amount,
                   100.0,
                   0.0,
                   amount,
                   amount,
                   QStringLiteral("王小明"),
                   QString(),
                   QStringLiteral("admin"),
                   QStringLiteral("2024-01-05"),
                   double(i % 50),
                   amount,
                   QString(),
                   QStringLiteral("否"),
                   0.0,
                   0.0,
                   3.5};
    });
}

// The same rows as the texts a list window shows.
QVector<QStringList> asTexts(const QVector<Row> &rows)
{
    QVector<QStringList> out;
    out.reserve(rows.size());
    for (const Row &r : rows) {
        QStringList texts;
        for (const ExportValue &v : r) texts.append(v.isNumber ? excel::numberText(v.number) : v.text);
        out.append(texts);
    }
    return out;
}

// The baseline: the same workbook, cell for cell, written straight through
// libxlsxwriter from the same rows.
void writeDirect(const QString &path, const excel::ExportLayout &layout, const QString &shopName,
                 const QVector<Row> &rows)
{
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const QByteArray tmp = QFile::encodeName(QDir::tempPath());
    options.tmpdir = const_cast<char *>(tmp.constData());
    lxw_workbook *wb = workbook_new_opt(QFile::encodeName(path).constData(), &options);
    lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
    lxw_format *title = workbook_add_format(wb);
    format_set_font_name(title, "宋体");
    format_set_font_size(title, 16);
    format_set_bold(title);
    format_set_align(title, LXW_ALIGN_CENTER);
    format_set_align(title, LXW_ALIGN_VERTICAL_CENTER);
    lxw_format *header = workbook_add_format(wb);
    format_set_font_size(header, 9);
    format_set_bold(header);
    format_set_align(header, LXW_ALIGN_CENTER);
    format_set_align(header, LXW_ALIGN_VERTICAL_CENTER);
    format_set_border(header, LXW_BORDER_THIN);
    lxw_format *cell = workbook_add_format(wb);
    format_set_font_size(cell, 9);
    format_set_border(cell, LXW_BORDER_THIN);
    const QByteArray heading = (shopName + layout.title).toUtf8();
    lxw_doc_properties props{};
    props.title = const_cast<char *>(heading.constData());
    workbook_set_properties(wb, &props);
    const int n = layout.columnCount();
    for (int c = 0; c < n; ++c) worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), layout.columns[c].width, nullptr);
    worksheet_merge_range(ws, 0, 0, 0, lxw_col_t(n - 1), heading.constData(), title);
    for (int c = 0; c < n; ++c)
        worksheet_write_string(ws, 1, lxw_col_t(c), layout.columns[c].title.toUtf8().constData(), header);
    lxw_row_t row = 2;
    for (const Row &r : rows) {
        worksheet_write_number(ws, row, 0, double(row - 1), cell);
        for (int c = 1; c < n; ++c) {
            const ExportValue &v = r[c - 1];
            if (v.isNumber && !layout.columns[c].text)
                worksheet_write_number(ws, row, lxw_col_t(c), v.number, cell);
            else if (!v.isNumber && v.text.isEmpty())
                worksheet_write_blank(ws, row, lxw_col_t(c), cell);
            else
                worksheet_write_string(ws, row, lxw_col_t(c),
                                       (v.isNumber ? excel::numberText(v.number) : v.text).toUtf8().constData(), cell);
        }
        ++row;
    }
    worksheet_set_landscape(ws);
    worksheet_set_footer(ws, (QByteArray("&C") + excel::kExportFooter).constData());
    workbook_close(wb);
}

// Ours, ours from typed rows and the baseline by turns in each iteration;
// a ratio is of their totals. The headline (iteration time,
// ratio_vs_libxlsxwriter) is our export from the texts of the rows, as the
// list windows hand them (numbers read back from text), against
// libxlsxwriter writing the same cells from the typed rows;
// typed_rows_ratio_vs_libxlsxwriter is ours from the typed rows.
void exportRows(benchmark::State &state, const excel::ExportLayout &layout, const QVector<Row> &rows)
{
    QTemporaryDir dir;
    const QVector<QStringList> texts = asTexts(rows);
    const auto typed = [&] {
        qsizetype next = 0;
        return excel::writeExport(dir.filePath("typed.xlsx"), layout, "星光便利店",
                                  excel::ExportValueSource([&](Row &values) {
                                      if (next >= rows.size()) return false;
                                      values = rows[next++];
                                      return true;
                                  }));
    };
    const auto times =
            timeByTurns(state, {{[&] {
                                    const excel::ExportResult r =
                                            excel::writeExport(dir.filePath("out.xlsx"), layout, "星光便利店", texts);
                                    if (!r.written || r.rows != rows.size()) state.SkipWithError("export failed");
                                }},
                                {[&] { writeDirect(dir.filePath("direct.xlsx"), layout, "星光便利店", rows); }},
                                {[&] { typed(); }}});
    const double ours = total(times[0]), direct = total(times[1]);
    const double iterations = double(state.iterations());
    state.counters["rows"] = double(rows.size());
    state.counters["seconds"] = ours / iterations;
    state.counters["ratio_vs_libxlsxwriter"] = ours / direct;
    RatioCounters(state, times[0], times[1]);
    state.counters["typed_rows_ratio_vs_libxlsxwriter"] = total(times[2]) / direct;
    state.counters["target_2s_met"] = ours / iterations < 2.0 ? 1 : 0;
}

void BM_ExportStockList100k(benchmark::State &state)
{
    static const QVector<Row> rows = stockRows(100000);
    exportRows(state, stockLayout(), rows);
}
BENCHMARK(BM_ExportStockList100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);

void BM_ExportSaleList100k(benchmark::State &state)
{
    static const QVector<Row> rows = saleRows(100000);
    exportRows(state, saleLayout(), rows);
}
BENCHMARK(BM_ExportSaleList100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);

// A member import sheet as staff would fill it, written once.
QString writeMemberSheet(const QString &path, int n)
{
    lxw_workbook *wb = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Sheet1");
    lxw_format *date = workbook_add_format(wb);
    format_set_num_format(date, "yyyy-mm-dd");
    const char *headers[] = {"会员卡号", "会员姓名", "性别", "公历生日", "农历生日",
                             "联系方式", "联系地址", "积分", "账户余额"};
    for (int c = 0; c < 9; ++c) worksheet_write_string(ws, 0, lxw_col_t(c), headers[c], nullptr);
    for (int i = 1; i <= n; ++i) {
        const QByteArray card = QStringLiteral("%1").arg(i, 8, 10, QChar('0')).toUtf8();
        const QByteArray name = ("会员" + QString::number(i)).toUtf8();
        const QByteArray lunar =
                QStringLiteral("%1-%2").arg(1 + i % 12, 2, 10, QChar('0')).arg(1 + i % 30, 2, 10, QChar('0')).toUtf8();
        worksheet_write_string(ws, lxw_row_t(i), 0, card.constData(), nullptr);
        worksheet_write_string(ws, lxw_row_t(i), 1, name.constData(), nullptr);
        worksheet_write_string(ws, lxw_row_t(i), 2, i % 2 ? "男" : "女", nullptr);
        worksheet_write_number(ws, lxw_row_t(i), 3, 25000 + i % 9000, date);
        worksheet_write_string(ws, lxw_row_t(i), 4, lunar.constData(), nullptr);
        worksheet_write_number(ws, lxw_row_t(i), 5, 13800000000.0 + i, nullptr);
        worksheet_write_string(ws, lxw_row_t(i), 6, "某市某区某路某号", nullptr);
        worksheet_write_number(ws, lxw_row_t(i), 7, i % 1000, nullptr);
        worksheet_write_number(ws, lxw_row_t(i), 8, (i % 400) * 1.5, nullptr);
    }
    workbook_close(wb);
    return path;
}

void BM_ReadMemberSheet10k(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = writeMemberSheet(dir.filePath("members.xlsx"), 10000);
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QByteArray bytes = f.readAll();
    // Baseline: inflating the parts that the reader parses.
    const auto times = timeByTurns(
            state, {{[&] {
                        const excel::ReadResult r = excel::readWorkbook(path);
                        if (!r.ok() || r.sheet.rowCount() != 10000) state.SkipWithError("read failed");
                    }},
                    {[&] {
                        excel::ZipArchive zip(bytes);
                        QByteArray part;
                        for (const char *name : {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml", "xl/styles.xml"})
                            zip.read(QString::fromLatin1(name), &part, 1 << 30);
                    }}});
    state.counters["seconds"] = total(times[0]) / double(state.iterations());
    state.counters["ratio_vs_baseline"] = total(times[0]) / total(times[1]);
    RatioCounters(state, times[0], times[1]);
}
BENCHMARK(BM_ReadMemberSheet10k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// Hostile workbooks of a few hundred kilobytes whose sheet inflates as far
// as the reader lets it: the time until it answers, against reading the
// 10,000 members in the same process.
QByteArray hostileWorkbook(const QByteArray &element, qsizetype sheetBytes)
{
    const QByteArray head = "<worksheet><sheetData>";
    const QByteArray tail = "</sheetData></worksheet>";
    return exceltest::makeZip(exceltest::workbookParts(
            QString(), {{"xl/worksheets/sheet1.xml",
                         head + element.repeated((sheetBytes - head.size() - tail.size()) / element.size()) + tail}}));
}

void hostileRead(benchmark::State &state, const QByteArray &bytes)
{
    QTemporaryDir dir;
    const QString members = writeMemberSheet(dir.filePath("members.xlsx"), 10000);
    const auto times =
            timeByTurns(state, {{[&] { excel::readXlsx(bytes, "h.xlsx"); }}, {[&] { excel::readWorkbook(members); }}});
    state.counters["file_MB"] = double(bytes.size()) / (1 << 20);
    state.counters["seconds"] = total(times[0]) / double(state.iterations());
    state.counters["ratio_vs_10k_members"] = total(times[0]) / total(times[1]);
}

// Elements the reader skips, up to the inflated size it accepts.
void BM_HostileSheetOfSkippedElements(benchmark::State &state)
{
    static const QByteArray bytes = hostileWorkbook("<x/>", 99ll << 20);
    hostileRead(state, bytes);
}
BENCHMARK(BM_HostileSheetOfSkippedElements)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

// Cells with text, past the number of cells it accepts.
void BM_HostileSheetOfCells(benchmark::State &state)
{
    static const QByteArray bytes = hostileWorkbook("<row><c t=\"inlineStr\"><is><t>a</t></is></c></row>", 99ll << 20);
    hostileRead(state, bytes);
}
BENCHMARK(BM_HostileSheetOfCells)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
