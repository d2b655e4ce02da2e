#include "sales/XF_In.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "core/receipts.h"
#include "members/CardWindows.h"
#include "members/FindMember.h"
#include "members/MemberEntry.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/datepicker.h"
#include "platform/ui/keyfilter.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"
#include "sales/FindShop.h"
#include "sales/SaleStore.h"
#include "sales/Shop_In.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

using vdb::sqlText;
using velmora::toNumber;

namespace {
const int kRows = 100;
// The number column a little wider than the original 30 so that "@ 99" shows whole.
const int kWidths[] = {40, 100, 200, 80, 60, 60, 40, 80};
const char *const kHeaders[] = {"序号", "商品编码", "商品名称", "单位", "单价", "数量", "折扣", "金额"};
}  // namespace

TfrmXF_In::TfrmXF_In(QWidget *parent) : ui::Form(parent)
{
    frmXF_In = this;
    setWindowTitle(QStringLiteral("消费录入"));
    resize(900, 640);

    auto *top = new QHBoxLayout;
    Ed_Num = ui::lineEdit(this, velmora::kCardLength);
    Ed_Num->setToolTip(QStringLiteral("录入会员卡号按回车或鼠标双击"));
    ui::onDoubleClick(Ed_Num, [this] { myFind(); });
    CheckBox1 = new QCheckBox(QStringLiteral("散客消费"), this);
    top->addWidget(new QLabel(QStringLiteral("会员卡号："), this));
    top->addWidget(Ed_Num);
    top->addWidget(CheckBox1);
    top->addStretch();

    Panel = new members::MemberPanel(this);
    Panel->setEnabled(false);
    Edit1 = Panel->Edit1;
    Edit2 = Panel->Edit2;
    Edit3 = Panel->Edit3;
    Edit4 = Panel->Edit4;
    Edit5 = Panel->Edit5;
    Edit6 = Panel->Edit6;
    Edit7 = Panel->Edit7;
    Edit8 = Panel->Edit8;
    Edit9 = Panel->Edit9;
    Edit10 = Panel->Edit10;
    Edit11 = Panel->Edit11;
    Edit12 = Panel->Edit12;
    Edit13 = Panel->Edit13;
    Edit14 = Panel->Edit14;
    Edit15 = Panel->Edit15;
    Edit16 = Panel->Edit16;
    Edit22 = Panel->Edit22;
    Edit23 = Panel->Edit23;
    Edit24 = Panel->Edit24;
    Edit26 = Panel->Edit26;

    StringGrid1 = new StringGrid(kRows, cColumns, this);
    for (int c = cID; c < cColumns; ++c) StringGrid1->setColumnHidden(c, true);
    StringGrid1->setRowHidden(0, true);  // row 0 is the original's title row; the header shows the titles
    N1 = ui::menuItem(this, QStringLiteral("删除本行 &D"), [this] { N1Click(); });
    N2 = ui::menuItem(this, QStringLiteral("全部删除 &A"), [this] { N2Click(); });
    PopupMenu1 = ui::popupMenu(StringGrid1, this, {N1, N2});
    StringGrid1->onKeyPress = [this](QChar &k) { StringGrid1KeyPress(k); };
    StringGrid1->onKeyUp = [this] { StringGrid1KeyUp(); };
    StringGrid1->onEditDone = [this] { mySumMoney(); };
    StringGrid1->onDblClick = [this] { myFindSP(); };

    auto line = [this](int max, bool enabled) {
        QLineEdit *e = ui::lineEdit(this, max);
        e->setEnabled(enabled);
        return e;
    };
    DateTimePicker1 = new ui::DatePicker(this);
    Edit25 = line(0, false);
    Edit17 = line(0, false);
    Edit21 = line(10, true);
    Edit21->setToolTip(QStringLiteral("合计金额的基础再折扣"));
    Edit18 = line(10, true);
    Edit18->setToolTip(QStringLiteral("合计金额的基础再折让"));
    Edit19 = line(0, false);
    Edit27 = line(0, true);
    ui::installKeyFilter(Edit21, ui::KeyFilter::Percent);
    ui::installKeyFilter(Edit18, ui::KeyFilter::Amount);
    ui::installKeyFilter(Edit27, ui::KeyFilter::Amount);
    DBLookupComboBox3 = new ui::LookupComboBox(this);
    CheckBox4 = new QCheckBox(QStringLiteral("会员卡"), this);
    DBLookupComboBox2 = new ui::LookupComboBox(this);
    DBLookupComboBox1 = new ui::LookupComboBox(this);
    Edit20 = line(50, true);
    CheckBox2 = new QCheckBox(QStringLiteral("连续新增"), this);
    CheckBox2->setChecked(true);
    CheckBox3 = new QCheckBox(QStringLiteral("本次积分"), this);
    CheckBox3->setChecked(true);
    BitBtn1 = new QPushButton(QStringLiteral("保存"), this);
    BitBtn2 = new QPushButton(QStringLiteral("退出"), this);

    auto *bottom = new QGridLayout;
    auto cell = [bottom, this](int r, int c, const char *caption, QWidget *w) {
        bottom->addWidget(new QLabel(QString::fromUtf8(caption), this), r, c * 2, Qt::AlignRight);
        bottom->addWidget(w, r, c * 2 + 1);
    };
    // In the order of the till's work, down each column: Tab follows it.
    auto *method = new QWidget(this);
    auto *methodRow = new QHBoxLayout(method);
    methodRow->setContentsMargins(0, 0, 0, 0);
    methodRow->addWidget(DBLookupComboBox3, 1);
    methodRow->addWidget(CheckBox4);
    cell(0, 0, "消费日期：", DateTimePicker1);
    cell(1, 0, "商品数量：", Edit25);
    cell(2, 0, "商品金额：", Edit17);
    cell(0, 1, "折上折：", Edit21);
    cell(1, 1, "折让金额：", Edit18);
    cell(2, 1, "合计金额：", Edit19);
    cell(0, 2, "收款金额：", Edit27);
    cell(1, 2, "收款方式：", method);
    cell(2, 2, "收款人：", DBLookupComboBox2);
    cell(0, 3, "员工姓名：", DBLookupComboBox1);
    cell(1, 3, "备注：", Edit20);
    auto *buttons = ui::buttonRow({CheckBox2, CheckBox3}, {BitBtn1, BitBtn2});

    auto *main = new QVBoxLayout(this);
    main->addLayout(top);
    main->addWidget(Panel);
    main->addWidget(StringGrid1, 1);
    main->addLayout(bottom);
    main->addLayout(buttons);

    ui::on(Ed_Num, &QLineEdit::returnPressed, this, [this] { myFind(); });
    ui::on(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    ui::on(Edit21, &QLineEdit::textChanged, this, [this] { mySum(); });
    ui::on(Edit18, &QLineEdit::textChanged, this, [this] { mySum(); });
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    // FormCreate
    frmDM->DBComSWorker(DBLookupComboBox1);
    frmDM->DBComSWorker(DBLookupComboBox2);
    frmDM->DBComSMType(DBLookupComboBox3);
    myNew();
}

TfrmXF_In::~TfrmXF_In()
{
    StringGrid1->releaseHooks();
    if (frmXF_In == this) frmXF_In = nullptr;
}

void TfrmXF_In::FormShow()
{
    if (myFrom == QLatin1String("m")) myFind();
}

void TfrmXF_In::myNew()
{
    StringGrid1->setHeadings(kHeaders, kWidths);
    myDelStr();
    StringGrid1->moveTo(cCode, 1);
    Panel->clear();
    Ed_Num->clear();
    Edit25->setText(QStringLiteral("0"));
    Edit17->setText(QStringLiteral("0"));
    Edit18->setText(QStringLiteral("0"));
    Edit19->setText(QStringLiteral("0"));
    Edit21->setText(QStringLiteral("100"));
    Edit27->setText(QStringLiteral("0"));
    Edit20->clear();
    myJSRNum.clear();
    DBLookupComboBox1->setText(myDeptSWorker);
    DBLookupComboBox2->setText(myDeptSKR);
    DBLookupComboBox3->setText(myDeptSMType);
    DateTimePicker1->setDate(QDate::fromString(myLoginDate, velmora::kDateFormat));
}

void TfrmXF_In::myDelStr()
{
    StringGrid1->clearLines();
}

void TfrmXF_In::clearRow(int row)
{
    // The hidden stock cells go too, so nothing of an old item stays behind.
    StringGrid1->clearLine(row);
}

void TfrmXF_In::myFind()
{
    myDelStr();
    const QString text = ui::trimmedText(Ed_Num);
    const members::MemberSearch found = members::searchMembers(text);
    if (found.count == 1) {
        lookupTaken(found.member, ui::LookupOrigin::Search);
        return;
    }
    mySumMoney();
    if (found.count == 0) {
        TfrmNewMember::enter(this, this);
        return;
    }
    Panel->clear();
    Ed_Num->setFocus();
    TfrmFindMember::pick(this, this, text);
}

void TfrmXF_In::lookupTaken(const members::MemberRecord &m, ui::LookupOrigin origin)
{
    Ed_Num->setText(m.num);
    Panel->fill(m);
    // A new member takes over the sale with no introducer of the one before.
    myJSRNum = origin == ui::LookupOrigin::QuickEntry ? QString() : m.jsrNum;
    if (origin == ui::LookupOrigin::Lookup && CheckBox1->isChecked()) {
        CheckBox1->setChecked(false);
        CheckBox3->setChecked(true);
    }
    StringGrid1->setFocus();
    mySumMoney();
}

void TfrmXF_In::myFindSP()
{
    const int row = StringGrid1->Row();
    if (row < 1 || hasGoods(row)) return;
    StringGrid1->endEdit();
    const QStringList ids = StringGrid1->filledNumbers(cID);
    const QString code = sqlText(StringGrid1->Cells(cCode, row).trimmed());

    TfrmFindShop dlg(this);
    dlg.myMType = Edit2->text();
    dlg.receiver = this;
    dlg.setWindowTitle(QStringLiteral("商品查找"));
    const QString oncePerMember =
            velmora::isOn(myDeptWY) ? QStringLiteral(" AND (ID NOT IN (SELECT SID from UXF INNER JOIN UXF_List ON "
                                                     "UXF.theNum = UXF_List.theNum WHERE (UXF.theDel = '否') ) ) ")
                                    : QString();
    mySql = TfrmFindShop::searchSql(QStringLiteral("thePrice"), code, ids, oncePerMember);
    if (!dlg.openSearch(frmDM->ADOConnection1(), mySql)) {
        TfrmNewShop quick(this);
        quick.myMType = Edit2->text();
        quick.receiver = this;
        ui::showModal(&quick);
    }
}

void TfrmXF_In::lookupTaken(const GoodsRecord &g, ui::LookupOrigin)
{
    const int row = StringGrid1->Row();
    if (row < 1) return;
    StringGrid1->endEdit();
    const QString zk = frmDM->myRetMTSZKNew(g.memberType, g.category);
    auto set = [&](int c, const QString &t) { StringGrid1->setCells(c, row, t); };
    set(cCode, g.code);
    set(cName, g.name);
    set(cUnit, g.unit);
    set(cPrice, g.price);
    set(cCount, QStringLiteral("1"));
    set(cZK, zk);
    set(cMoney, sales::lineAmount(g.price, QStringLiteral("1"), zk).toString());
    set(cID, g.id);
    set(cType, g.category);
    set(cPY, g.py);
    set(cCB, g.cost);
    set(cKC, g.kc);
    set(cStock, g.count);
    StringGrid1->setFocus();
    mySumMoney();
}

double fieldNumber(const QString &text, double whenEmpty)
{
    return text.isEmpty() ? whenEmpty : toNumber(text);
}

void TfrmXF_In::mySumMoney()
{
    sales::Money count, money;
    for (int r = 1; r < kRows; ++r) {
        if (!hasGoods(r)) continue;  // as the save counts
        const QString q = StringGrid1->Cells(cCount, r), m = StringGrid1->Cells(cMoney, r);
        if (!q.isEmpty()) count += sales::fieldMoney(q);
        if (!m.isEmpty()) money += sales::fieldMoney(m);
    }
    Edit25->setText(count.toString());
    Edit17->setText(money.toString());
    {
        // A row change clears the reduction; the extra discount stays applied.
        const QSignalBlocker block(Edit18);
        Edit18->setText(QStringLiteral("0"));
    }
    mySum();
}

void TfrmXF_In::mySum()
{
    const double z = fieldNumber(Edit21->text(), 100);
    Edit19->setText(
            sales::billTotal(sales::fieldMoney(Edit17->text()), z, sales::fieldMoney(Edit18->text())).toString());
    Edit27->setText(Edit19->text());
}

void TfrmXF_In::StringGrid1KeyUp()
{
    const int row = StringGrid1->Row();
    if (row < 1) return;
    auto cell = [&](int c) { return StringGrid1->Cells(c, row); };
    if (!cell(cPrice).isEmpty() && !cell(cCount).isEmpty() && !cell(cZK).isEmpty() && !cell(cID).isEmpty())
        StringGrid1->setCells(cMoney, row, sales::lineAmount(cell(cPrice), cell(cCount), cell(cZK)).toString());
    if (cell(cCode).isEmpty()) StringGrid1->clearLine(row);
    mySumMoney();
}

void TfrmXF_In::StringGrid1KeyPress(QChar &key)
{
    using R = StringGrid::CellRule;
    static const R rules[] = {R::Any, R::Search, R::Fixed, R::Fixed, R::Decimal, R::Decimal, R::Digits, R::Fixed};
    StringGrid1->goodsKey(key, rules, cID, [this] { myFindSP(); }, {cCode, cPrice, cCount, cZK});
}

void TfrmXF_In::CheckBox1Click()
{
    myNew();
    myDelStr();
    if (CheckBox1->isChecked())
        StringGrid1->setFocus();
    else
        Ed_Num->setFocus();
    CheckBox3->setChecked(!CheckBox1->isChecked());
}

void TfrmXF_In::N1Click()
{
    const int row = StringGrid1->Row();
    if (row < 1) return;
    StringGrid1->endEdit();
    clearRow(row);
    mySumMoney();
}

void TfrmXF_In::N2Click()
{
    myDelStr();
    mySumMoney();
}

bool TfrmXF_In::askCardPassword(const QString &card, const QString &name)
{
    const bool ok = TfrmCheckPass::verify(this, card, name);
    myPassState = ok ? QString() : QStringLiteral("否");
    return ok;
}
