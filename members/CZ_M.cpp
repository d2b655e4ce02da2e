#include "members/CZ_M.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "core/receipts.h"
#include "members/AccountStore.h"
#include "members/Openers.h"
#include "platform/ui/application.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>

namespace members {

excel::ExportLayout rechargeListLayout()
{
    return excel::makeExportLayout("TfrmCZ_M", "储值查询", "储值表",
                                   "序号 4,储值日期 10,单号 10,会员卡号 10,储值金额 10,赠送金额 10,收款方式 10,"
                                   "收款人 10,员工姓名 10,备注 10,录入日期 10,录入人 10",
                                   "储值日期,单号,会员卡号,录入日期", "5 储值金额,6 赠送金额");
}

}  // namespace members

TfrmCZ_M::TfrmCZ_M(QWidget *parent) : AccountList(parent, &velmora::myPrintCZ_Pos, &members::deleteRecharge)
{
    setWindowTitle(QStringLiteral("储值查询"));
    velmora::ListSpec s = documentSpec(QStringLiteral("UCZ"), QStringLiteral("TfrmCZ_M"));
    s.select = QStringLiteral(
            "select myDate as 储值日期, theNum as 单号, MNum as 会员卡号, MCZ as 储值金额, MZS as 赠送金额, "
            "MType as 收款方式, theSKR as 收款人, WName as 员工姓名, Remark as 备注, theDate as 录入日期, "
            "theUser as 录入人");
    s.totals = QStringLiteral("select sum(MCZ) as 储值金额,sum(MZS) as 赠送金额");
    s.countLabel = QStringLiteral("储值数量：");
    s.totalLabels = {{"储值金额：", "储值金额"}, {"赠送金额：", "赠送金额"}};
    s.widths[QStringLiteral("储值金额")] = 80;
    s.widths[QStringLiteral("赠送金额")] = 80;
    setSpec(s);

    Edit1 = dateAndCardFilters(QStringLiteral("储值日期"), &CheckBox1, &DateTimePicker1, &DateTimePicker2, &CheckBox2);
    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComSMType);
    choiceFilter(1, &CheckBox3, QStringLiteral("收款方式"), DBLookupComboBox1, QStringLiteral("MType"));
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComUser);
    choiceFilter(1, &CheckBox4, QStringLiteral("录  入  人"), DBLookupComboBox2, QStringLiteral("theUser"));
    Edit2 = textFilter(1, &CheckBox5, QStringLiteral("备        注"), QStringLiteral("Remark"));
    Edit3 = textFilter(2, &CheckBox6, QStringLiteral("单        号"), QStringLiteral("theNum"));
    DBLookupComboBox3 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(2, &CheckBox7, QStringLiteral("收  款  人"), DBLookupComboBox3, QStringLiteral("theSKR"));
    DBLookupComboBox4 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(2, &CheckBox8, QStringLiteral("员工姓名"), DBLookupComboBox4, QStringLiteral("WName"));
}
