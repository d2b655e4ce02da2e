// "保存" of the sale entry: the window's contents as a draft, the checks,
// the card password, the save routine, then the receipt and the reset.

#include "sales/XF_In.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "core/receipts.h"
#include "platform/ui/checks.h"
#include "platform/ui/messages.h"
#include "sales/SaleStore.h"
#include "sales/StockPrint.h"

#include <functional>

using velmora::isOn;

namespace {

sales::SaleDraft draftOf(const TfrmXF_In &w)
{
    sales::SaleDraft d;
    d.walkIn = w.CheckBox1->isChecked();
    // A walk-in sale belongs to no member, whatever the card box still shows.
    if (!d.walkIn) {
        d.card = w.Edit1->text();
        d.introducer = w.myJSRNum;
    }
    const StringGrid *g = w.StringGrid1;
    for (int r = 1; r < g->rowCount(); ++r) {
        if (g->Cells(TfrmXF_In::cID, r).isEmpty()) continue;
        auto cell = [&](int c) { return g->Cells(c, r); };
        d.lines.push_back({cell(TfrmXF_In::cCode), cell(TfrmXF_In::cName), cell(TfrmXF_In::cUnit),
                           cell(TfrmXF_In::cType), cell(TfrmXF_In::cPY), cell(TfrmXF_In::cID), cell(TfrmXF_In::cPrice),
                           cell(TfrmXF_In::cCount), cell(TfrmXF_In::cZK), cell(TfrmXF_In::cMoney),
                           cell(TfrmXF_In::cCB)});
    }
    d.goodsAmount = w.Edit17->text();
    d.extraDiscount = w.Edit21->text();
    d.reduction = w.Edit18->text();
    d.total = w.Edit19->text();
    d.received = w.Edit27->text();
    d.pointsRatio = w.Edit10->text();
    d.creditPoints = w.CheckBox3->isChecked();
    d.payment = w.CheckBox4->isChecked() ? QStringLiteral("会员卡") : w.DBLookupComboBox3->Text();
    d.cashier = w.DBLookupComboBox2->Text();
    d.worker = w.DBLookupComboBox1->Text();
    d.remark = w.Edit20->text();
    d.saleDate = w.DateTimePicker1->date().toString(velmora::kDateFormat);
    d.businessDate = myLoginDate;
    d.user = myUser;
    d.keepStock = isOn(myDeptKC);
    d.negativeStock = isOn(myDeptFKC);
    d.wholePoints = isOn(myDeptJFQL);
    return d;
}

// Shows a refusal at the entry it names; false when there is none.
bool refused(TfrmXF_In &w, const sales::SaleRefusal &r)
{
    if (!r) return false;
    using F = sales::SaleField;
    QWidget *focus = nullptr;
    switch (r.field) {
    case F::Card:
        focus = w.Ed_Num;
        break;
    case F::Goods:
        focus = w.StringGrid1;
        break;
    case F::ExtraDiscount:
        focus = w.Edit21;
        break;
    case F::Reduction:
        focus = w.Edit18;
        break;
    case F::Received:
        focus = w.Edit27;
        break;
    case F::Payment:
        focus = w.DBLookupComboBox3;
        break;
    case F::Cashier:
        focus = w.DBLookupComboBox2;
        break;
    case F::Worker:
        focus = w.DBLookupComboBox1;
        break;
    case F::None:
        break;
    }
    if (r.balanceShort) w.CheckBox4->setChecked(false);
    ui::fail(r.message, focus);
    return true;
}

}  // namespace

void TfrmXF_In::BitBtn1Click()
{
    StringGrid1->endEdit();
    if (CheckBox1->isChecked()) myJSRNum.clear();
    const sales::SaleDraft d = draftOf(*this);
    vdb::Connection &c = db();
    if (refused(*this, sales::checkSale(c, d))) return;
    if (d.paysByCard() && !askCardPassword(d.card, Edit3->text())) return;
    const sales::SaleResult saved = sales::saveSale(c, d);
    if (refused(*this, saved.refusal)) return;
    const QString number = saved.number;
    m_lastNumber = number;

    // The sale is stored: a printer or report problem is told, and the
    // window still moves on so that a second "保存" cannot store it again.
    auto print = [&](bool on, const QString &what, const std::function<void()> &run) {
        if (!on) return;
        velmora::printAfterSave(QStringLiteral("消费单 %1 已保存，但%2没有打印：\n%3").arg(number, what), run);
    };
    print(isOn(myDeptPXP), QStringLiteral("小票"), [&] { velmora::myPrintXF_Pos(number); });
    print(isOn(myDeptPDJ), QStringLiteral("消费单据"), [&] { frmDM->PrintXF(number); });

    if (CheckBox2->isChecked()) {
        myNew();
        Ed_Num->setFocus();
    } else {
        ui::showMessage(QStringLiteral("恭喜！恭喜！ 消费录入 保存成功！"), this);
        accept();
    }
}
