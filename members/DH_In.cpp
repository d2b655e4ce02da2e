#include "members/DH_In.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "core/receipts.h"
#include "members/AccountStore.h"
#include "members/LP.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/keyfilter.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"

#include <QGridLayout>
#include <QGroupBox>

TfrmDH_In::TfrmDH_In(QWidget *parent) : AccountEntry(parent, QStringLiteral("兑换录入"))
{
    frmDH_In = this;
    auto *entry = new QGroupBox(QStringLiteral("兑换信息"), this);
    DateTimePicker1 = dateField(entry);
    Edit17 = ui::lineEdit(entry, 20);
    Edit17->setToolTip(QStringLiteral("录入礼品名称拼音首字母按回车 或鼠标双击 弹出礼品选择窗口"));
    ui::onDoubleClick(Edit17, [this] { myFindLP(); });
    Edit18 = ui::lineEdit(entry, 10);
    ui::installKeyFilter(Edit18, ui::KeyFilter::SignedAmount);
    Edit19 = ui::lineEdit(entry, 10);
    ui::installKeyFilter(Edit19, ui::KeyFilter::Percent);  // digits only
    DBLookupComboBox1 = new ui::LookupComboBox(entry);
    Edit20 = ui::lineEdit(entry, 50);
    members::gridRows(entry, {{"兑换日期：", DateTimePicker1},
                              {"礼品名称：", Edit17},
                              {"所需积分：", Edit18},
                              {"兑换数量：", Edit19},
                              {"员工姓名：", DBLookupComboBox1},
                              {"备        注：", Edit20}});
    addEntry(entry);
    ui::on(Edit17, &QLineEdit::returnPressed, this, [this] { myFindLP(); });

    frmDM->DBComSWorker(DBLookupComboBox1);
    DBLookupComboBox1->setText(myDeptSWorker);
    myNew();
}

TfrmDH_In::~TfrmDH_In()
{
    if (frmDH_In == this) frmDH_In = nullptr;
}

void TfrmDH_In::myNew()
{
    Panel->clear();
    for (QLineEdit *e : {Ed_Num, Edit17, Edit18, Edit19, Edit20}) e->clear();
    DateTimePicker1->setDate(QDate::fromString(myLoginDate, velmora::kDateFormat));
}

void TfrmDH_In::myFindLP()
{
    TfrmFindLP dlg(this);
    const QString text = Edit17->text();
    dlg.ADOQuery1.setConnection(&db());
    vdb::Statement("select theName as 礼品名称,theJF as 所需积分,Remark as 备注 from ULP "
                   "Where (theState='启用') AND (theDel='否') AND (theName like :t OR thePY Like :t)")
            .text("t", QStringLiteral("%") + text + QStringLiteral("%"))
            .open(dlg.ADOQuery1);
    dlg.onTaken = [this](const GiftChoice &g) {
        Edit17->setText(g.name);
        Edit18->setText(g.points);
        Edit19->setText(QStringLiteral("1"));
        Edit19->setFocus();
    };
    const int n = dlg.ADOQuery1.RecordCount();
    if (n == 1) {
        dlg.takeRow();
    } else if (n == 0) {
        ui::fail(QStringLiteral("礼品不存在，请直接录入礼品名称和所需积分！"), Edit17);
    } else {
        ui::showModal(&dlg);
    }
}

void TfrmDH_In::BitBtn1Click()
{
    if (!memberFound()) return;
    // A count of 0 counts as empty: nobody exchanges no gift.
    if (Edit19->text().trimmed() == QLatin1String("0")) Edit19->clear();
    if (!ui::requireText(Edit17, QStringLiteral("礼品名称")) || !ui::requireText(Edit18, QStringLiteral("所需积分")) ||
        !ui::requireText(Edit19, QStringLiteral("数量")) ||
        !members::requireChoice(DBLookupComboBox1, QStringLiteral("员工姓名")) ||
        !ui::requireNumber(Edit18, QStringLiteral("所需积分")) || !ui::requireNumber(Edit19, QStringLiteral("数量")))
        return;

    members::Exchange x;
    x.card = Panel->card();
    x.gift = ui::trimmedText(Edit17);
    x.points = Edit18->text();
    x.count = Edit19->text();
    x.worker = DBLookupComboBox1->Text();
    x.remark = Edit20->text();
    x.date = DateTimePicker1->date().toString(velmora::kDateFormat);
    x.businessDate = myLoginDate;
    x.user = myUser;
    const members::Saved s = members::saveExchange(db(), x);
    if (!s.refusal.isEmpty()) {
        // The focus goes to the field the refusal names.
        QWidget *field = Edit17;
        if (s.refusal.startsWith(QStringLiteral("该会员")))
            field = Ed_Num;
        else if (s.refusal.startsWith(QStringLiteral("所需积分")))
            field = Edit18;
        else if (s.refusal.startsWith(QStringLiteral("数量")))
            field = Edit19;
        ui::fail(s.refusal, field);
        return;
    }
    saved(s.number, &velmora::myPrintDH_Pos, QStringLiteral("兑换单"));
}
