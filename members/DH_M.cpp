#include "members/DH_M.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "core/receipts.h"
#include "members/AccountStore.h"
#include "members/Openers.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>

namespace members {

excel::ExportLayout exchangeListLayout()
{
    return excel::makeExportLayout("TfrmDH_M", "兑换查询", "兑换表",
                                   "序号 4,兑换日期 10,单号 10,会员卡号 10,礼品名称 20,数量 10,兑换积分 10,备注 10,"
                                   "员工姓名 10,录入日期 10,录入人",
                                   "兑换日期,单号,会员卡号,录入日期", "7 兑换积分");
}

}  // namespace members

TfrmDH_M::TfrmDH_M(QWidget *parent) : AccountList(parent, &velmora::myPrintDH_Pos, &members::deleteExchange)
{
    setWindowTitle(QStringLiteral("兑换查询"));
    velmora::ListSpec s = documentSpec(QStringLiteral("UDH"), QStringLiteral("TfrmDH_M"));
    s.select = QStringLiteral(
            "select myDate AS 兑换日期, theNum as 单号, MNum as 会员卡号, MLP as 礼品名称, MCount as 数量, "
            "MJF as 兑换积分, WName as 员工姓名, Remark as 备注, theDate as 录入日期, theUser as 录入人");
    s.totals = QStringLiteral("select sum(MJF) as 兑换积分");
    s.countLabel = QStringLiteral("兑换数量：");
    s.totalLabels = {{"兑换积分：", "兑换积分"}};
    s.widths[QStringLiteral("兑换积分")] = 80;
    setSpec(s);

    Edit1 = dateAndCardFilters(QStringLiteral("兑换日期"), &CheckBox1, &DateTimePicker1, &DateTimePicker2, &CheckBox2);
    Edit2 = textFilter(1, &CheckBox3, QStringLiteral("礼品名称"), QStringLiteral("MLP"));
    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComUser);
    choiceFilter(1, &CheckBox4, QStringLiteral("录  入  人"), DBLookupComboBox1, QStringLiteral("theUser"));
    Edit3 = textFilter(1, &CheckBox5, QStringLiteral("备        注"), QStringLiteral("Remark"));
    Edit4 = textFilter(2, &CheckBox6, QStringLiteral("单        号"), QStringLiteral("theNum"));
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(2, &CheckBox7, QStringLiteral("员工姓名"), DBLookupComboBox2, QStringLiteral("WName"));
}
