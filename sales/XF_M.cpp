#include "sales/XF_M.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "core/receipts.h"
#include "members/Openers.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/datepicker.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/keyfilter.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"
#include "sales/SaleAccounts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>

using vdb::Statement;
using velmora::ListWhere;

namespace sales {

excel::ExportLayout saleListLayout()
{
    return excel::makeExportLayout(
            "TfrmXF_M", "消费查询", "消费表",
            "序号 4,消费日期 8,单号 8,类型 4,会员卡号 10,商品数量 8,商品金额 8,折上折 6,折让金额 8,"
            "实收金额 8,应收金额 8,员工姓名 8,备注 12,录入人 8,录入日期 8,本单积分 8,商品成本 8,"
            "介绍人卡号 10,提成 4,提成积分 8,提成金额 8,本单利润 8",
            "消费日期,单号,会员卡号,录入日期,介绍人卡号",
            "6 商品数量,7 商品金额,9 折让金额,10 实收金额,11 应收金额,16 本单积分,17 商品成本,"
            "20 提成积分,21 提成金额,22 利润");
}

excel::ExportLayout saleLinesLayout()
{
    return excel::makeExportLayout(
            "TfrmXF_MX", "消费明细查询", "消费明细表",
            "序号 4,消费日期 8,单号 8,类型 4,会员卡号 10,商品分类 8,商品编码 10,商品名称 18,单位 6,"
            "单价 6,数量 6,折扣 6,金额 8,员工姓名 8",
            "消费日期,单号,会员卡号,商品编码", "11 数量,13 金额");
}

}  // namespace sales

namespace {

QComboBox *saleTypes()
{
    auto *c = new QComboBox;
    c->addItems({QStringLiteral("会员"), QStringLiteral("散客")});
    ui::fitToEntries(c);
    return c;
}

QAction *item(QMenu *menu, QWidget *owner, const QString &text, std::function<void()> handler)
{
    auto *a = menu->addAction(text);
    ui::on(a, &QAction::triggered, owner, std::move(handler));
    return a;
}

bool positive(const QString &amount)
{
    velmora::Money m;
    return velmora::Money::parse(amount, &m) && m > velmora::Money();
}

}  // namespace

TfrmXF_M::TfrmXF_M(QWidget *parent) : TListFrame(parent)
{
    setWindowTitle(QStringLiteral("消费查询"));
    velmora::ListSpec s;
    s.select = QStringLiteral(
            "select myDate as 消费日期,theNum as 单号,theType as 类型,MNum as 会员卡号,theCount as 商品数量, theSum as "
            "商品金额,"
            "theZK as 折上折,theZR as 折让金额,theHJ as 合计金额,theSJ as 实收金额,theYE as 应收金额,WName as 员工姓名,"
            "Remark as 备注,theUser as 录入人,theDate as 录入日期,theJF as 本单积分,theCB as 商品成本,JSRNum as "
            "介绍人卡号,"
            "JSRTC as 提成,TCJF as 提成积分,TCMoney as 提成金额, theHJ-theCB-TCMoney as 本单利润");
    s.from = QStringLiteral("from UXF");
    s.where = QStringLiteral("Where (theDel = '否')");
    s.order = QStringLiteral("order by id desc");
    s.tieBreak = QStringLiteral("id desc");
    s.key = QStringLiteral("id");  // years of sales: the first screen comes first
    s.totals = QStringLiteral(
            "select sum(theCount) as 商品数量,sum(theSum) as 商品金额,sum(theZR) as 折让金额,sum(theHJ) as 合计金额,"
            "sum(theSJ) as 实收金额,sum(theCB) as 商品成本,sum(theHJ-theCB-TCMoney) as 利润,sum(TCMoney) as 提成金额,"
            "sum(theYE) as 应收金额, sum(theJF) as 本单积分, sum(TCJF) as 提成积分");
    s.countLabel = QStringLiteral("消费：");
    s.totalLabels = {{"数量：", "商品数量"}, {"金额：", "商品金额"}, {"折让：", "折让金额"},
                     {"合计：", "合计金额"}, {"实收：", "实收金额"}, {"应收：", "应收金额"},
                     {"成本：", "商品成本"}, {"提成：", "提成金额"}, {"利润：", "利润"}};
    for (const char *c : {"商品数量", "商品金额", "折上折", "折让金额", "合计金额", "实收金额", "应收金额", "本单积分",
                          "商品成本", "提成积分", "提成金额", "本单利润"})
        s.widths[QString::fromUtf8(c)] = 60;
    s.widths[QStringLiteral("备注")] = 120;
    s.exportWindow = QStringLiteral("TfrmXF_M");
    setSpec(s);

    dateFilter(0, &CheckBox1, QStringLiteral("消费日期"), &DateTimePicker1, &DateTimePicker2, QStringLiteral("myDate"));
    Edit1 = textFilter(0, &CheckBox2, QStringLiteral("会员卡号"), QStringLiteral("MNum"));
    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComUser);
    choiceFilter(1, &CheckBox4, QStringLiteral("录  入  人"), DBLookupComboBox1, QStringLiteral("theUser"));
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(1, &CheckBox5, QStringLiteral("员工姓名"), DBLookupComboBox2, QStringLiteral("WName"));
    ComboBox2 = saleTypes();
    choiceFilter(1, &CheckBox6, QStringLiteral("类        型"), ComboBox2, QStringLiteral("theType"));
    Edit3 = textFilter(2, &CheckBox7, QStringLiteral("单        号"), QStringLiteral("theNum"));
    Edit4 = textFilter(2, &CheckBox8, QStringLiteral("介  绍  人"), QStringLiteral("JSRNum"));
    Edit2 = textFilter(2, &CheckBox9, QStringLiteral("备        注"), QStringLiteral("Remark"));
    CheckBox3 = new QCheckBox(QStringLiteral("应收单"), this);
    CheckBox10 = new QCheckBox(QStringLiteral("提成单"), this);
    filterRow(3)->addWidget(CheckBox3);
    filterRow(3)->addWidget(CheckBox10);
    addQueryBox(CheckBox3, [](ListWhere &w) { w.add(QStringLiteral(" AND (theYE > 0) ")); });
    addQueryBox(CheckBox10, [](ListWhere &w) { w.add(QStringLiteral(" AND (JSRTC = '是') ")); });

    auto *grids = new QHBoxLayout;
    DBGrid2 = new ui::DBGrid(this);
    DBGrid5 = new ui::DBGrid(this);
    grids->addWidget(DBGrid2, 2);
    grids->addWidget(DBGrid5, 1);
    belowGrid()->addLayout(grids);
    connect(this, &TListFrame::currentRowChanged, this, [this] { myList(); });

    K1 = item(PopupMenu1, this, QStringLiteral("收款 &K"), [this] { K1Click(); });
    X1 = item(PopupMenu1, this, QStringLiteral("打印消费单 &X"), [this] { X1Click(); });
    P1 = item(PopupMenu1, this, QStringLiteral("打印小票 &P"), [this] { P1Click(); });
    N3 = item(PopupMenu1, this, QStringLiteral("查看会员信息 &M"), [this] { N3Click(); });
    J1 = item(PopupMenu1, this, QStringLiteral("查看介绍人信息 &J"), [this] { J1Click(); });
    T1 = item(PopupMenu1, this, QStringLiteral("介绍人提成 &T"), [this] { T1Click(); });
    S1 = item(PopupMenu1, this, QStringLiteral("删除介绍人提成 &S"), [this] { S1Click(); });
    D1 = item(PopupMenu1, this, QStringLiteral("删除消费单 &D"), [this] { D1Click(); });
}

TfrmXF_M::~TfrmXF_M()
{
    // The line grids outlive their queries while the window hides.
    DBGrid2->setQuery(nullptr);
    DBGrid5->setQuery(nullptr);
}

void TfrmXF_M::showForCard(const QString &card)
{
    Edit1->setText(card);
    CheckBox2->setChecked(true);
    BitBtn1Click();
}

void TfrmXF_M::myList()
{
    // An empty number lists nothing: no bill is selected.
    const QString number = field(QStringLiteral("单号"));
    ADOQuery3.setConnection(frmDM->ADOConnection1());
    ADOQuery5.setConnection(frmDM->ADOConnection1());
    Statement("select theType as 商品分类,SNum as 商品编码,theName as 商品名称,theUnit as 单位,thePrice as 单价,"
              "theCount as 数量,theZK as 折扣,theMoney as 金额,SID from UXF_List where theNum=:num order by ID")
            .text("num", number)
            .open(ADOQuery3);
    Statement(
            "select theNum AS 单号, SKDate AS 收款日期, theMoney AS 收款金额, theSMType AS 收款方式, theSKR AS 收款人 "
            "from UXF_SK where theNum=:num order by ID")
            .text("num", number)
            .open(ADOQuery5);
    DBGrid2->setQuery(&ADOQuery3);
    DBGrid2->setColumnHidden(8, true);
    DBGrid5->setQuery(&ADOQuery5);
}

void TfrmXF_M::K1Click()
{
    if (currentRow() < 0) return;
    const QString number = field(QStringLiteral("单号"));
    const QString owed = field(QStringLiteral("应收金额"));
    if (!positive(owed)) {
        ui::showMessage(QStringLiteral("消费单 ") + number + QStringLiteral(" 无 应收金额！"), this);
        return;
    }
    TfrmXF_SK w(this);
    w.setBill(number, owed, field(QStringLiteral("类型")), field(QStringLiteral("会员卡号")));
    w.onSaved = [this] { Ref(); };
    ui::showModal(&w);
}

void TfrmXF_M::X1Click()
{
    if (currentRow() < 0) return;
    frmDM->PrintXF(field(QStringLiteral("单号")));
}

void TfrmXF_M::P1Click()
{
    if (currentRow() < 0) return;
    velmora::myPrintXF_Pos(field(QStringLiteral("单号")));
}

void TfrmXF_M::N3Click()
{
    const QString card = field(QStringLiteral("会员卡号"));
    if (currentRow() < 0 || card.isEmpty()) return;
    members::openMemberView(this, card);
}

bool TfrmXF_M::introducerLive()
{
    vdb::Query q(frmDM->ADOConnection1());
    Statement("select ID from Member Where (theNum=:card) AND (theDel='否') AND (theState='启用')")
            .text("card", field(QStringLiteral("介绍人卡号")))
            .open(q);
    if (q.IsEmpty()) ui::showMessage(QStringLiteral("该 介绍人 不存在或被停用！"), this);
    return !q.IsEmpty();
}

void TfrmXF_M::J1Click()
{
    if (currentRow() < 0 || field(QStringLiteral("介绍人卡号")).isEmpty() || !introducerLive()) return;
    members::openMemberView(this, field(QStringLiteral("介绍人卡号")));
}

void TfrmXF_M::T1Click()
{
    if (currentRow() < 0 || field(QStringLiteral("介绍人卡号")).isEmpty() || !introducerLive()) return;
    if (field(QStringLiteral("提成")) == QStringLiteral("是")) return;
    TfrmJSRTC w(this);
    w.setWindowTitle(field(QStringLiteral("单号")) + QStringLiteral(" 介绍人提成"));
    const char *fields[] = {"单号",     "会员卡号", "合计金额", "折上折", "折让金额",  "实收金额",
                            "应收金额", "商品成本", "本单利润", "备注",   "介绍人卡号"};
    for (int i = 0; i < 11; ++i) w.Edit[i + 1]->setText(field(QString::fromUtf8(fields[i])));
    w.onSaved = [this] { Ref(); };
    ui::showModal(&w);
}

void TfrmXF_M::S1Click()
{
    if (currentRow() < 0 || field(QStringLiteral("提成")) == QStringLiteral("否")) return;
    if (!ui::ask(QStringLiteral("确认要删除介绍人提成吗？"), QStringLiteral("删除"), this)) return;
    const QString refusal = sales::withdrawCommission(*frmDM->ADOConnection1(), field(QStringLiteral("单号")));
    if (!refusal.isEmpty()) ui::showMessage(refusal, this);
    Ref();
}

void TfrmXF_M::D1Click()
{
    if (currentRow() < 0) return;
    if (field(QStringLiteral("提成")) == QStringLiteral("是")) {
        ui::showMessage(QStringLiteral("该消费单已经给介绍人提成了，不能删除！"), this);
        return;
    }
    if (!ui::ask(QStringLiteral("确认要删除吗？该删除将不可恢复！"), QStringLiteral("删除"), this)) return;
    const QString refusal =
            sales::deleteSale(*frmDM->ADOConnection1(), field(QStringLiteral("单号")), velmora::isOn(myDeptKC));
    if (!refusal.isEmpty()) ui::showMessage(refusal, this);
    Ref();
}

// ---- collection

TfrmXF_SK::TfrmXF_SK(QWidget *parent) : ui::Form(parent)
{
    auto *group = new QGroupBox(this);
    auto *form = new QFormLayout(group);
    DateTimePicker1 = new ui::DatePicker(group);
    Edit1 = new QLineEdit(group);
    ui::installKeyFilter(Edit1, ui::KeyFilter::Amount);
    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComSMType);
    CheckBox1 = new QCheckBox(QStringLiteral("会员卡"), group);
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    auto *pay = new QHBoxLayout;
    pay->addWidget(DBLookupComboBox1);
    pay->addWidget(CheckBox1);
    form->addRow(QStringLiteral("收款日期："), DateTimePicker1);
    form->addRow(QStringLiteral("收款金额："), Edit1);
    form->addRow(QStringLiteral("收款方式："), pay);
    form->addRow(QStringLiteral("收  款  人："), DBLookupComboBox2);
    BitBtn1 = new QPushButton(QStringLiteral("保存"), this);
    BitBtn2 = new QPushButton(QStringLiteral("退出"), this);
    auto *top = new QVBoxLayout(this);
    top->addWidget(group);
    auto *buttons = ui::buttonRow({BitBtn1, BitBtn2});
    top->addLayout(buttons);
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmXF_SK::setBill(const QString &number, const QString &owed, const QString &type, const QString &card)
{
    m_number = number;
    m_type = type;
    m_card = card;
    const QString caption = number + QStringLiteral(" 收款");
    setWindowTitle(caption);
    if (auto *g = findChild<QGroupBox *>()) g->setTitle(caption);
    DateTimePicker1->setDate(QDate::fromString(myLoginDate, velmora::kDateFormat));
    Edit1->setText(owed);
    DBLookupComboBox1->setText(myDeptSMType);
    DBLookupComboBox2->setText(myDeptSKR);
}

void TfrmXF_SK::BitBtn1Click()
{
    sales::Collection k;
    k.number = m_number;
    k.amount = Edit1->text().trimmed();
    k.payment = CheckBox1->isChecked() ? QStringLiteral("会员卡") : DBLookupComboBox1->Text();
    k.cashier = DBLookupComboBox2->Text();
    k.date = DateTimePicker1->date();
    const QString refusal = sales::collectOwed(*frmDM->ADOConnection1(), k);
    if (!refusal.isEmpty()) {
        QWidget *focus = DBLookupComboBox1;
        if (refusal.startsWith(QStringLiteral("收款金额")))
            focus = Edit1;
        else if (refusal.contains(QStringLiteral("收款人")))
            focus = DBLookupComboBox2;
        else if (refusal.contains(QStringLiteral("会员卡")))
            CheckBox1->setChecked(false);
        ui::fail(refusal, focus);
        return;
    }
    if (onSaved) onSaved();
    accept();
}

// ---- commission

TfrmJSRTC::TfrmJSRTC(QWidget *parent) : ui::Form(parent)
{
    const char *captions[] = {
            "",           "消费单号：", "会员卡号：",     "合计金额：",     "折  上  折：",   "折让金额：",
            "收款金额：", "应收金额：", "成        本：", "利        润：", "备        注：", "介  绍  人：",
            "提成积分：", "提成金额："};
    auto *bill = new QGroupBox(QStringLiteral("消费单信息"), this);
    auto *pay = new QGroupBox(QStringLiteral("提成信息"), this);
    auto *billForm = new QFormLayout(bill);
    auto *payForm = new QFormLayout(pay);
    for (int i = 1; i <= 13; ++i) {
        Edit[i] = new QLineEdit(i <= 10 ? bill : pay);
        Edit[i]->setReadOnly(i <= 11);
        (i <= 10 ? billForm : payForm)->addRow(QString::fromUtf8(captions[i]), Edit[i]);
    }
    for (int i : {12, 13}) {
        Edit[i]->setMaxLength(10);
        ui::installKeyFilter(Edit[i], ui::KeyFilter::Amount);
    }
    BitBtn1 = new QPushButton(QStringLiteral("保存"), this);
    BitBtn2 = new QPushButton(QStringLiteral("退出"), this);
    auto *top = new QVBoxLayout(this);
    top->addWidget(bill);
    top->addWidget(pay);
    auto *buttons = ui::buttonRow({BitBtn1, BitBtn2});
    top->addLayout(buttons);
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmJSRTC::BitBtn1Click()
{
    const QString refusal =
            sales::payCommission(*frmDM->ADOConnection1(), Edit[1]->text(), Edit[12]->text(), Edit[13]->text());
    if (!refusal.isEmpty()) {
        ui::fail(refusal, refusal.startsWith(QStringLiteral("提成金额")) ? Edit[13] : Edit[12]);
        return;
    }
    ui::showMessage(QStringLiteral("介绍人提成 保存成功！"), this);
    if (onSaved) onSaved();
    accept();
}

// ---- sale lines

TfrmXF_MX::TfrmXF_MX(QWidget *parent) : TListFrame(parent)
{
    setWindowTitle(QStringLiteral("消费明细查询"));
    velmora::ListSpec s;
    s.select = QStringLiteral(
            "select myDate as 消费日期,UXF.theNum as 单号,UXF.theType as 类型,MNum as 会员卡号,UXF_List.theType as "
            "商品分类,"
            "UXF_List.SNum as 商品编码,theName as 商品名称,theUnit as 单位,thePrice as 单价,UXF_List.theCount as 数量,"
            "UXF_List.theZK as 折扣, theMoney as 金额,WName as 员工姓名");
    s.from = QStringLiteral("from UXF INNER JOIN UXF_List ON UXF.theNum = UXF_List.theNum");
    s.where = QStringLiteral("Where (UXF.theDel = '否')");
    s.order = QStringLiteral("order by UXF_List.id desc");
    s.tieBreak = QStringLiteral("UXF_List.id desc");
    s.totals = QStringLiteral("select sum(UXF_List.theCount) as 数量,sum(theMoney) as 金额");
    s.countLabel = QStringLiteral("消费明细数量：");
    s.totalLabels = {{"数量：", "数量"}, {"金额：", "金额"}};
    s.exportWindow = QStringLiteral("TfrmXF_MX");
    setSpec(s);

    dateFilter(0, &CheckBox1, QStringLiteral("消费日期"), &DateTimePicker1, &DateTimePicker2, QStringLiteral("myDate"));
    Edit1 = textFilter(0, &CheckBox2, QStringLiteral("会员卡号"), QStringLiteral("MNum"));
    ComboBox2 = saleTypes();
    choiceFilter(1, &CheckBox6, QStringLiteral("类        型"), ComboBox2, QStringLiteral("UXF.theType"));
    Edit3 = textFilter(1, &CheckBox7, QStringLiteral("单        号"), QStringLiteral("UXF.theNum"));
    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComSType);
    choiceFilter(1, &CheckBox3, QStringLiteral("商品分类"), DBLookupComboBox1, QStringLiteral("UXF_List.theType"));
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(2, &CheckBox4, QStringLiteral("员工姓名"), DBLookupComboBox2, QStringLiteral("WName"));
    Edit4 = editFilter(2, &CheckBox8, QStringLiteral("商品名称"), [](ListWhere &w, const QString &text) {
        const QString like = QStringLiteral("%") + text + "%";
        w.add(QStringLiteral(" AND (theName Like ? OR thePY Like ?)"), {like, like});
    });
    Edit2 = textFilter(2, &CheckBox5, QStringLiteral("商品编码"), QStringLiteral("SNum"));
}
