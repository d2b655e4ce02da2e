#include "sales/Reports.h"

#include "core/dm.h"
#include "platform/ui/application.h"
#include "platform/ui/lookupcombo.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

using velmora::ListWhere;

namespace sales {

excel::ExportLayout paymentListLayout()
{
    return excel::makeExportLayout("TfrmXF_SKQ", "消费收款查询", "消费收款表",
                                   "序号 4,消费日期 8,单号 8,类型 4,会员卡号 10,收款日期 8,收款金额 8,收款方式 8,"
                                   "收款人 8,员工姓名 8",
                                   "消费日期,单号,会员卡号,收款日期", "7 收款金额", false);
}

excel::ExportLayout saleStatisticsLayout()
{
    return excel::makeExportLayout("TfrmXF_TJ", "消费统计", "消费统计表",
                                   "序号 4,类型 8,商品数量 10,商品金额 10,折让金额 10,合计金额 10,实收金额 10,"
                                   "应收金额 10,商品成本 10,介绍人提成 10,利润 10,员工姓名 10",
                                   "", "");
}

}  // namespace sales

namespace {

QComboBox *typeBox()
{
    auto *c = new QComboBox;
    c->addItems({QStringLiteral("会员"), QStringLiteral("散客")});
    c->setEditable(true);  // free typing is allowed; the value is bound, so a quote is harmless
    ui::fitToEntries(c);
    return c;
}

}  // namespace

TfrmXF_SKQ::TfrmXF_SKQ(QWidget *parent) : TListFrame(parent)
{
    setWindowTitle(QStringLiteral("消费收款查询"));
    velmora::ListSpec s;
    s.select = QStringLiteral("select myDate as 消费日期,UXF.theNum as 单号,theType as 类型,MNum as 会员卡号,"
                              "SKDate AS 收款日期, theMoney AS 收款金额, theSMType AS 收款方式, theSKR AS 收款人, "
                              "WName as 员工姓名");
    s.from = QStringLiteral("from UXF INNER JOIN UXF_SK ON UXF.theNum = UXF_SK.theNum");
    s.where = QStringLiteral("Where (theDel = '否')");
    s.order = QStringLiteral("order by UXF_SK.ID desc");
    s.tieBreak = QStringLiteral("UXF_SK.ID desc");
    s.totals = QStringLiteral("select sum(theMoney) AS 收款金额");
    s.countLabel = QStringLiteral("消费收款数量：");
    s.totalLabels = {{QStringLiteral("收款金额："), QStringLiteral("收款金额")}};
    s.widths = {{QStringLiteral("收款金额"), 60}};
    s.exportWindow = QStringLiteral("TfrmXF_SKQ");
    setSpec(s);

    dateFilter(0, &CheckBox1, QStringLiteral("消费日期"), &DateTimePicker1, &DateTimePicker2, QStringLiteral("myDate"));
    dateFilter(0, &CheckBox2, QStringLiteral("收款日期"), &DateTimePicker3, &DateTimePicker4, QStringLiteral("SKDate"));
    // Two columns under the two date ranges, so that the list keeps to the
    // main window's width.
    Edit1 = textFilter(1, &CheckBox3, QStringLiteral("会员卡号"), QStringLiteral("MNum"));
    ComboBox2 = typeBox();
    choiceFilter(1, &CheckBox4, QStringLiteral("类        型"), ComboBox2, QStringLiteral("UXF.theType"));
    Edit3 = textFilter(2, &CheckBox5, QStringLiteral("单        号"), QStringLiteral("UXF.theNum"));
    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(2, &CheckBox6, QStringLiteral("收  款  人"), DBLookupComboBox1, QStringLiteral("theSKR"));
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(3, &CheckBox7, QStringLiteral("员工姓名"), DBLookupComboBox2, QStringLiteral("WName"));

    // "收款方式": the "会员卡" box overrides the method chosen in the lookup.
    GroupBox2 = new QGroupBox(QStringLiteral("收款方式"), this);
    CheckBox8 = new QCheckBox(QStringLiteral("收款方式"), GroupBox2);
    DBLookupComboBox3 = velmora::lookupBox(&TfrmDM::DBComSMType);
    DBLookupComboBox3->setParent(GroupBox2);
    CheckBox9 = new QCheckBox(QStringLiteral("会员卡"), GroupBox2);
    // "会员卡" under the method, so that the list keeps to the main window's width.
    auto *method = new QGridLayout(GroupBox2);
    method->addWidget(CheckBox8, 0, 0);
    method->addWidget(DBLookupComboBox3, 0, 1);
    method->addWidget(CheckBox9, 1, 1);
    method->setColumnStretch(2, 1);
    addFilterGroup(GroupBox2);
    QCheckBox *byCard = CheckBox9;
    ui::LookupComboBox *chosen = DBLookupComboBox3;
    addFilter(CheckBox8, {DBLookupComboBox3}, [byCard, chosen](ListWhere &w) {
        w.equals(QStringLiteral("theSMType"), byCard->isChecked() ? QStringLiteral("会员卡") : chosen->Text());
    });
    QCheckBox *box = CheckBox8;
    connect(CheckBox9, &QCheckBox::clicked, box, [box] { box->setChecked(true); });
}

TfrmXF_TJ::TfrmXF_TJ(QWidget *parent) : TListFrame(parent)
{
    setWindowTitle(QStringLiteral("消费统计"));
    velmora::ListSpec s;
    s.select = QStringLiteral("select theType as 类型,sum(theCount) as 商品数量,sum(theSum) as 商品金额,"
                              "sum(theZR) as 折让金额,sum(theHJ) as 合计金额,sum(theSJ) as 实收金额,"
                              "sum(theYE) as 应收金额,sum(theCB) as 商品成本,sum(TCMoney) as 介绍人提成,"
                              "sum(theHJ-theCB-TCMoney) as 利润,WName as 员工姓名");
    s.from = QStringLiteral("from UXF");
    s.where = QStringLiteral("Where (theDel = '否')");
    s.group = QStringLiteral("Group by theType,WName");
    s.order = QStringLiteral("order by theType,WName");
    s.countLabel = QStringLiteral("");
    for (const char *c :
         {"商品数量", "商品金额", "折让金额", "合计金额", "实收金额", "应收金额", "商品成本", "介绍人提成", "利润"})
        s.widths[QString::fromUtf8(c)] = 80;
    s.exportWindow = QStringLiteral("TfrmXF_TJ");
    s.queryCaption = QStringLiteral("统计");
    setSpec(s);

    // The business date, not the date chosen on the sale.
    dateFilter(0, &CheckBox1, QStringLiteral("营业日期"), &DateTimePicker1, &DateTimePicker2,
               QStringLiteral("theDate"));
    ComboBox2 = typeBox();
    choiceFilter(1, &CheckBox2, QStringLiteral("类        型"), ComboBox2, QStringLiteral("theType"));
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(1, &CheckBox3, QStringLiteral("员工姓名"), DBLookupComboBox2, QStringLiteral("WName"));
    CountLabel->hide();  // no totals line
}
