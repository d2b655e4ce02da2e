#include "members/CZ_In.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "core/receipts.h"
#include "members/AccountStore.h"
#include "platform/ui/checks.h"
#include "platform/ui/keyfilter.h"
#include "platform/ui/widgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>

namespace members {

// A caption and its control in a grid of three pairs a row.
void gridCell(QGridLayout *grid, int r, int c, const char *caption, QWidget *w)
{
    grid->addWidget(new QLabel(QString::fromUtf8(caption), w->parentWidget()), r, c * 2, Qt::AlignRight);
    grid->addWidget(w, r, c * 2 + 1);
}

QGridLayout *gridRows(QGroupBox *group, std::initializer_list<std::pair<const char *, QWidget *>> cells)
{
    auto *grid = new QGridLayout(group);
    const int rows = (int(cells.size()) + 2) / 3;
    int i = 0;
    for (const auto &[caption, w] : cells) {
        gridCell(grid, i % rows, i / rows, caption, w);
        ++i;
    }
    return grid;
}

// "请选中 <name>！" when the lookup has no choice.
bool requireChoice(ui::LookupComboBox *box, const QString &name)
{
    if (!box->Text().isEmpty()) return true;
    return ui::fail(QStringLiteral("请选中 ") + name + QStringLiteral("！"), box);
}

}  // namespace members

TfrmCZ_In::TfrmCZ_In(QWidget *parent) : AccountEntry(parent, QStringLiteral("储值录入"))
{
    frmCZ_In = this;
    auto *entry = new QGroupBox(QStringLiteral("储值信息"), this);
    DateTimePicker1 = dateField(entry);
    Edit17 = ui::lineEdit(entry, 10);
    ui::installKeyFilter(Edit17, ui::KeyFilter::SignedAmount);
    Edit18 = ui::lineEdit(entry, 10);
    ui::installKeyFilter(Edit18, ui::KeyFilter::Amount);
    DBLookupComboBox3 = new ui::LookupComboBox(entry);
    DBLookupComboBox2 = new ui::LookupComboBox(entry);
    DBLookupComboBox1 = new ui::LookupComboBox(entry);
    Edit20 = ui::lineEdit(entry, 50);
    members::gridRows(entry, {{"储值日期：", DateTimePicker1},
                              {"储值金额：", Edit17},
                              {"赠送金额：", Edit18},
                              {"收款方式：", DBLookupComboBox3},
                              {"收  款  人：", DBLookupComboBox2},
                              {"员工姓名：", DBLookupComboBox1},
                              {"备        注：", Edit20}});
    addEntry(entry);

    // FormCreate
    frmDM->DBComSWorker(DBLookupComboBox1);
    frmDM->DBComSWorker(DBLookupComboBox2);
    frmDM->DBComSMType(DBLookupComboBox3);
    DBLookupComboBox1->setText(myDeptSWorker);
    DBLookupComboBox2->setText(myDeptSKR);
    DBLookupComboBox3->setText(myDeptSMType);
    myNew();
}

TfrmCZ_In::~TfrmCZ_In()
{
    if (frmCZ_In == this) frmCZ_In = nullptr;
}

void TfrmCZ_In::myNew()
{
    Panel->clear();
    Ed_Num->clear();
    Edit17->clear();
    Edit18->setText(QStringLiteral("0"));
    Edit20->clear();
    DateTimePicker1->setDate(QDate::fromString(myLoginDate, velmora::kDateFormat));
}

void TfrmCZ_In::BitBtn1Click()
{
    if (!memberFound()) return;
    if (Edit17->text().trimmed() == QLatin1String("0")) Edit17->clear();
    if (!ui::requireText(Edit17, QStringLiteral("储值金额")) || !ui::requireText(Edit18, QStringLiteral("赠送金额")) ||
        !members::requireChoice(DBLookupComboBox1, QStringLiteral("员工姓名")) ||
        !members::requireChoice(DBLookupComboBox3, QStringLiteral("收款方式")) ||
        !members::requireChoice(DBLookupComboBox2, QStringLiteral("收款人")) ||
        !ui::requireNumber(Edit17, QStringLiteral("储值金额")) ||
        !ui::requireNumber(Edit18, QStringLiteral("赠送金额")))
        return;

    members::Recharge r;
    r.card = Panel->card();
    r.amount = Edit17->text();
    r.bonus = Edit18->text();
    r.payment = DBLookupComboBox3->Text();
    r.worker = DBLookupComboBox1->Text();
    r.cashier = DBLookupComboBox2->Text();
    r.remark = Edit20->text();
    r.date = DateTimePicker1->date().toString(velmora::kDateFormat);
    r.businessDate = myLoginDate;
    r.user = myUser;
    const members::Saved s = members::saveRecharge(db(), r);
    if (!s.refusal.isEmpty()) {
        ui::fail(s.refusal, Ed_Num);
        return;
    }
    saved(s.number, &velmora::myPrintCZ_Pos, QStringLiteral("储值单"));
}
