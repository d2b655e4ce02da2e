#include "sales/Reports_BB.h"

#include "core/dm.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/application.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QScopeGuard>
#include <QDateEdit>
#include <QPushButton>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace sales {

namespace {

const char *const kFormat = "yyyy-MM-dd";

QDate periodStart(ReportPeriod p, QDate d)
{
    if (p == ReportPeriod::Month) return QDate(d.year(), d.month(), 1);
    if (p == ReportPeriod::Year) return QDate(d.year(), 1, 1);
    return d;
}

QDate nextPeriod(ReportPeriod p, QDate d)
{
    if (p == ReportPeriod::Month) return d.addMonths(1);
    if (p == ReportPeriod::Year) return d.addYears(1);
    return d.addDays(1);
}

QString periodText(ReportPeriod p, QDate d)
{
    if (p == ReportPeriod::Month) return d.toString(QStringLiteral("yyyy-MM"));
    if (p == ReportPeriod::Year) return d.toString(QStringLiteral("yyyy"));
    return d.toString(QLatin1String(kFormat));
}

// One statement of a period: its fields read as text, an empty sum as "0",
// a sum rounded to money's four decimals (binary sums leave 957442.487999999).
// Range conditions on the date let its index serve.
void readPeriod(vdb::Connection &c, const QString &select, const QString &dateColumn, const QString &workerColumn,
                const std::pair<QDate, QDate> &range, bool byWorker, const QString &worker, int fields,
                QStringList &out)
{
    QString sql = select + QStringLiteral(" AND (%1 >= :from AND %1 < :to)").arg(dateColumn);
    if (byWorker) sql += QStringLiteral(" AND (%1 = :worker)").arg(workerColumn);
    vdb::Statement s(sql);
    s.text("from", range.first.toString(QLatin1String(kFormat)))
            .text("to", range.second.toString(QLatin1String(kFormat)));
    if (byWorker) s.text("worker", worker);
    vdb::Query q(&c);
    s.open(q);
    for (int i = 0; i < fields; ++i) {
        const QString v = q.shownText(0, i);
        out << (v.isEmpty() ? QStringLiteral("0") : v);
    }
}

}  // namespace

std::vector<std::pair<QString, std::pair<QDate, QDate>>> reportPeriods(ReportPeriod p, QDate from, QDate to)
{
    std::vector<std::pair<QString, std::pair<QDate, QDate>>> out;
    for (QDate d = periodStart(p, from); d <= to; d = nextPeriod(p, d))
        out.push_back({periodText(p, d), {d, nextPeriod(p, d)}});
    return out;
}

std::vector<ReportRow> computeReport(vdb::Connection &c, ReportPeriod p, QDate from, QDate to, bool byWorker,
                                     const QString &worker, const std::function<void(int)> &progress)
{
    std::vector<ReportRow> rows;
    const auto periods = reportPeriods(p, from, to);
    rows.reserve(periods.size());
    const QString w = QStringLiteral("WName"), date = QStringLiteral("myDate");
    // The year counts as profit only what was received; a day or a month the
    // bill total, owed amounts included.
    const QString profitBase = p == ReportPeriod::Year ? QStringLiteral("theSJ") : QStringLiteral("theHJ");
    int done = 0;
    for (const auto &[text, range] : periods) {
        QStringList v;
        readPeriod(c,
                   QStringLiteral("select count(*), sum(theSJ), sum(theCB), sum(%1-theCB-TCMoney) from UXF "
                                  "Where (theDel = '否')")
                           .arg(profitBase),
                   date, w, range, byWorker, worker, 4, v);
        QStringList pay;
        readPeriod(c, QStringLiteral("select sum(theMoney) from UXF_SK Where (theSMType<>'会员卡')"),
                   QStringLiteral("SKDate"), QStringLiteral("theSKR"), range, byWorker, worker, 1, pay);
        readPeriod(c, QStringLiteral("select sum(theMoney) from UXF_SK Where (theSMType='会员卡')"),
                   QStringLiteral("SKDate"), QStringLiteral("theSKR"), range, byWorker, worker, 1, pay);
        // UBB order: XF_C XF_M XF_XJ XF_HY XF_CB XF_LR
        QStringList row = {v[0], v[1], pay[0], pay[1], v[2], v[3]};
        readPeriod(c, QStringLiteral("select count(*), sum(MCZ), sum(MZS) from UCZ Where (theDel = '否')"), date, w,
                   range, byWorker, worker, 3, row);
        readPeriod(c, QStringLiteral("select count(*), sum(MJF) from UDH Where (theDel = '否')"), date, w, range,
                   byWorker, worker, 2, row);
        for (const char *table : {"UJH", "UTH"})
            readPeriod(c,
                       QStringLiteral("select count(*), sum(theSum) from %1 Where (theDel = '否')")
                               .arg(QLatin1String(table)),
                       date, w, range, byWorker, worker, 2, row);
        rows.push_back({text, row});
        if (progress) progress(++done);
    }
    return rows;
}

void storeReport(TfrmDM &dm, const std::vector<ReportRow> &rows)
{
    vdb::Connection &c = *dm.ADOConnection1();
    vdb::Transaction t(c);
    c.execute(QStringLiteral("Delete from UBB"));
    for (const ReportRow &r : rows) dm.mySaveBB(r.period, r.values);
    t.commit();
}

excel::ExportLayout reportLayout(ReportPeriod p)
{
    static const char *const columns =
            "消费次数 8,消费金额 8,现金收款 8,会员刷卡 8,成本 8,利润 8,储值次数 8,储值金额 8,赠送金额 8,兑换次数 8,"
            "兑换积分 8,进货次数 8,进货金额 8,退货次数 8,退货金额 8";
    if (p == ReportPeriod::Day)
        return excel::makeExportLayout("TfrmBB_D", "日报表", "日报表",
                                       (QByteArray("序号 4,日期 8,") + columns).constData(), "日期", "");
    if (p == ReportPeriod::Month)
        return excel::makeExportLayout("TfrmBB_M", "月报表", "月报表",
                                       (QByteArray("序号 4,月份 8,") + columns).constData(), "", "");
    return excel::makeExportLayout("TfrmBB_Y", "年报表", "年报表", (QByteArray("序号 4,年份 8,") + columns).constData(),
                                   "", "");
}

}  // namespace sales

using sales::ReportPeriod;

TfrmBB::TfrmBB(ReportPeriod p, QWidget *parent) : TListFrame(parent), m_period(p)
{
    const QString first = p == ReportPeriod::Day     ? QStringLiteral("日期")
                          : p == ReportPeriod::Month ? QStringLiteral("月份")
                                                     : QStringLiteral("年份");
    const QString window = p == ReportPeriod::Day     ? QStringLiteral("TfrmBB_D")
                           : p == ReportPeriod::Month ? QStringLiteral("TfrmBB_M")
                                                      : QStringLiteral("TfrmBB_Y");
    setWindowTitle(p == ReportPeriod::Day     ? QStringLiteral("日报表")
                   : p == ReportPeriod::Month ? QStringLiteral("月报表")
                                              : QStringLiteral("年报表"));
    velmora::ListSpec s;
    s.select = QStringLiteral("Select theDate as %1, XF_C as 消费次数,XF_M as 消费金额, XF_XJ as 现金收款,XF_HY as "
                              "会员刷卡, XF_CB as 成本,XF_LR as 利润, CZ_C as 储值次数,CZ_M as 储值金额,CZ_Z as "
                              "赠送金额, DH_C as 兑换次数,DH_M as 兑换积分, JH_C AS 进货次数,JH_M AS 进货金额, TH_C "
                              "AS 退货次数,TH_M AS 退货金额")
                       .arg(first);
    s.from = QStringLiteral("from UBB");
    s.order = QStringLiteral("order by theDate desc");
    s.exportWindow = window;
    s.queryCaption = QStringLiteral("统计");
    // The grid shows the export's columns.
    for (const excel::ExportColumn &column : sales::reportLayout(p).columns) s.widths[column.title] = 80;
    setSpec(s);

    dateFilter(0, &CheckBox1, QStringLiteral("营业日期"), &DateTimePicker1, &DateTimePicker2, QStringLiteral("myDate"));
    CheckBox1->setChecked(true);
    if (p != ReportPeriod::Day) DateTimePicker1->setDate(QDate::currentDate().addYears(-1));
    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(0, &CheckBox2, QStringLiteral("员工姓名"), DBLookupComboBox1, QStringLiteral("WName"));
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMaximumHeight(6);
    filterRow(1)->addWidget(ProgressBar1);
    CountLabel->hide();  // no totals line

    // The run replaces the frame's query.
    QObject::disconnect(BitBtn1, &QPushButton::clicked, this, nullptr);
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
}

void TfrmBB::BitBtn1Click()
{
    const QDate from = DateTimePicker1->date(), to = DateTimePicker2->date();
    if (from > to) {
        ui::showMessage(QStringLiteral("日期选择错误，请重新选择日期！"), this);
        return;
    }
    const int n = int(sales::reportPeriods(m_period, from, to).size());
    ProgressBar1->setRange(0, n);
    ProgressBar1->setValue(0);
    // The window repaints during a long run; the button waits for its end.
    BitBtn1->setEnabled(false);
    const auto enable = qScopeGuard([this] { BitBtn1->setEnabled(true); });
    const auto rows = sales::computeReport(*frmDM->ADOConnection1(), m_period, from, to, CheckBox2->isChecked(),
                                           DBLookupComboBox1->Text(), [this](int done) {
                                               ProgressBar1->setValue(done);
                                               QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                                           });
    sales::storeReport(*frmDM, rows);
    Ref();
    BitBtn3->setEnabled(true);
}
