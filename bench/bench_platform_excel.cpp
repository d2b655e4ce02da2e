// Export of 100,000 list rows to .xlsx and reading of a 10,000-member sheet.
// Each reports its time against a baseline in the same process: the same
// texts written out as plain UTF-8 lines (export) or the same bytes merely
// inflated from the zip (read).
#include "platform/excel/excelreader.h"
#include "platform/excel/excelwriter.h"
#include "platform/excel/ziparchive.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <xlsxwriter.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

QVector<QStringList> stockRows(int n)
{
    QVector<QStringList> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i)
        rows.append({"分类" + QString::number(i % 20), QStringLiteral("%1").arg(i, 8, 10, QChar('0')),
                     "商品名称" + QString::number(i), "瓶", QString::number(1 + (i % 97) * 0.5),
                     QString::number(i % 300), QString::number((1 + (i % 97) * 0.5) * (i % 300)),
                     i % 5 ? QString() : QStringLiteral("备注文字")});
    return rows;
}

QVector<QStringList> saleRows(int n)
{
    QVector<QStringList> rows;
    rows.reserve(n);
    for (int i = 0; i < n; ++i) {
        const QString amount = QString::number(10 + (i % 500) * 0.1);
        rows.append({"2024-01-05", QStringLiteral("240105%1").arg(i % 10000, 4, 10, QChar('0')), "会员",
                     QStringLiteral("24%1").arg(i % 1000000, 6, 10, QChar('0')), QString::number(1 + i % 9), amount,
                     "100", "0", amount, amount, "0", "王小明", "", "admin", "2024-01-05", QString::number(i % 50),
                     amount, "", "否", "0", "0", "3.5"});
    }
    return rows;
}

// The baseline: the same texts as tab-separated UTF-8 lines.
double writePlain(const QString &path, const QVector<QStringList> &rows)
{
    const auto start = Clock::now();
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    for (const QStringList &r : rows) {
        f.write(r.join(u'\t').toUtf8());
        f.write("\n");
    }
    f.close();
    return secondsSince(start);
}

// The stock list's and the sale list's layouts, as the shop gives them.
const excel::ExportLayout *layoutOf(const char *window)
{
    static const excel::ExportLayout kc = excel::makeExportLayout(
        "TfrmKC", "商品库存查询", "商品库存表",
        "序号 4,商品分类 12,商品编码 10,商品名称 32,单位 6,成本 8,库存数量 8,库存金额 10,备注 24", "商品编码",
        "7 库存数量,8 库存金额");
    static const excel::ExportLayout xf = excel::makeExportLayout(
        "TfrmXF_M", "消费查询", "消费表",
        "序号 4,消费日期 8,单号 8,类型 4,会员卡号 10,商品数量 8,商品金额 8,折上折 6,折让金额 8,实收金额 8,应收金额 8,"
        "员工姓名 8,备注 12,录入人 8,录入日期 8,本单积分 8,商品成本 8,介绍人卡号 10,提成 4,提成积分 8,提成金额 8,本单利润 8",
        "消费日期,单号,会员卡号,录入日期,介绍人卡号",
        "6 商品数量,7 商品金额,9 折让金额,10 实收金额,11 应收金额,16 本单积分,17 商品成本,20 提成积分,21 提成金额,22 利润");
    return QLatin1String(window) == QLatin1String("TfrmKC") ? &kc : &xf;
}

void exportRows(benchmark::State &state, const char *window, const QVector<QStringList> &rows)
{
    QTemporaryDir dir;
    const excel::ExportLayout *layout = layoutOf(window);
    const double baseline = writePlain(dir.filePath("plain.txt"), rows);
    double total = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        const excel::ExportResult r = excel::writeExport(dir.filePath("out.xlsx"), *layout, "星光便利店", rows, {});
        const double s = secondsSince(start);
        state.SetIterationTime(s);
        total += s;
        if (!r.written)
            state.SkipWithError("export failed");
    }
    const double mean = total / double(state.iterations());
    state.counters["rows"] = double(rows.size());
    state.counters["seconds"] = mean;
    state.counters["ratio_vs_baseline"] = mean / baseline;
    state.counters["target_2s_met"] = mean < 2.0 ? 1 : 0;
}

void BM_ExportStockList100k(benchmark::State &state)
{
    static const QVector<QStringList> rows = stockRows(100000);
    exportRows(state, "TfrmKC", rows);
}
BENCHMARK(BM_ExportStockList100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_ExportSaleList100k(benchmark::State &state)
{
    static const QVector<QStringList> rows = saleRows(100000);
    exportRows(state, "TfrmXF_M", rows);
}
BENCHMARK(BM_ExportSaleList100k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// A member import sheet as staff would fill it, written once.
QString writeMemberSheet(const QString &path, int n)
{
    lxw_workbook *wb = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Sheet1");
    lxw_format *date = workbook_add_format(wb);
    format_set_num_format(date, "yyyy-mm-dd");
    const char *headers[] = {"会员卡号", "会员姓名", "性别", "公历生日", "农历生日",
                             "联系方式", "联系地址", "积分",   "账户余额"};
    for (int c = 0; c < 9; ++c)
        worksheet_write_string(ws, 0, lxw_col_t(c), headers[c], nullptr);
    for (int i = 1; i <= n; ++i) {
        const QByteArray card = QStringLiteral("%1").arg(i, 8, 10, QChar('0')).toUtf8();
        const QByteArray name = ("会员" + QString::number(i)).toUtf8();
        const QByteArray lunar = QStringLiteral("%1-%2").arg(1 + i % 12, 2, 10, QChar('0')).arg(1 + i % 30, 2, 10, QChar('0')).toUtf8();
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
    const auto start = Clock::now();
    {
        excel::ZipArchive zip(bytes);
        QByteArray part;
        for (const char *name : {"xl/worksheets/sheet1.xml", "xl/sharedStrings.xml", "xl/styles.xml"})
            zip.read(QString::fromLatin1(name), &part, 1 << 30);
    }
    const double baseline = secondsSince(start);
    double total = 0;
    for (auto _ : state) {
        const auto t = Clock::now();
        const excel::ReadResult r = excel::readWorkbook(path);
        const double s = secondsSince(t);
        state.SetIterationTime(s);
        total += s;
        if (!r.ok() || r.sheet.rowCount() != 10000)
            state.SkipWithError("read failed");
    }
    const double mean = total / double(state.iterations());
    state.counters["seconds"] = mean;
    state.counters["ratio_vs_baseline"] = mean / baseline;
}
BENCHMARK(BM_ReadMemberSheet10k)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace

BENCHMARK_MAIN();
