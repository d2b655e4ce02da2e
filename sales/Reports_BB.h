#pragma once
// The daily, monthly and yearly reports: one window told its period.  A run
// computes every period first and then replaces the rows of UBB in one
// transaction, so a failure leaves the last complete report in place.

#include "core/ListFrame.h"
#include "platform/excel/exportlayout.h"

#include <QDate>
#include <functional>
#include <utility>
#include <vector>

class QCheckBox;
class QDateEdit;
class QProgressBar;
class TfrmDM;
namespace ui {
class LookupComboBox;
}

namespace sales {

enum class ReportPeriod { Day, Month, Year };

struct ReportRow {
    QString period;      // "yyyy-MM-dd", "yyyy-MM" or "yyyy"
    QStringList values;  // XF_C ... TH_M, as UBB takes them
};

// Calendar periods touching from..to, both ends included, oldest first.
std::vector<std::pair<QString, std::pair<QDate, QDate>>> reportPeriods(ReportPeriod p, QDate from, QDate to);
// The figures of every period; worker empty and byWorker false: everyone.
std::vector<ReportRow> computeReport(vdb::Connection &c, ReportPeriod p, QDate from, QDate to, bool byWorker,
                                     const QString &worker, const std::function<void(int)> &progress = {});
// Replaces the rows of UBB with rows, all or nothing.
void storeReport(TfrmDM &dm, const std::vector<ReportRow> &rows);

excel::ExportLayout reportLayout(ReportPeriod p);

}  // namespace sales

class TfrmBB : public velmora::TListFrame {
    Q_OBJECT
public:
    QCheckBox *CheckBox1, *CheckBox2;  // 营业日期, 员工姓名
    QDateEdit *DateTimePicker1, *DateTimePicker2;
    ui::LookupComboBox *DBLookupComboBox1;
    QProgressBar *ProgressBar1;

    // "统计": computes, stores and shows the report.
    void BitBtn1Click();
    void myList() { Ref(); }
    sales::ReportPeriod period() const { return m_period; }

protected:
    TfrmBB(sales::ReportPeriod p, QWidget *parent);

private:
    sales::ReportPeriod m_period;
};

class TfrmBB_D : public TfrmBB {
    Q_OBJECT
public:
    explicit TfrmBB_D(QWidget *parent = nullptr) : TfrmBB(sales::ReportPeriod::Day, parent) {}
};

class TfrmBB_M : public TfrmBB {
    Q_OBJECT
public:
    explicit TfrmBB_M(QWidget *parent = nullptr) : TfrmBB(sales::ReportPeriod::Month, parent) {}
};

class TfrmBB_Y : public TfrmBB {
    Q_OBJECT
public:
    explicit TfrmBB_Y(QWidget *parent = nullptr) : TfrmBB(sales::ReportPeriod::Year, parent) {}
};
