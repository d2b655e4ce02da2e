#include "members/ZJJF.h"

#include "core/DateCn.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "members/AccountEntry.h"
#include "members/AccountStore.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/checks.h"
#include "platform/ui/datepicker.h"
#include "platform/ui/keyfilter.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

using vdb::Statement;

namespace {

// The group "会员信息" of the windows on one member: card, type and name.
QGroupBox *memberGroup(QWidget *owner, QLineEdit **card, QLineEdit **type, QLineEdit **name)
{
    auto *g = new QGroupBox(QStringLiteral("会员信息"), owner);
    for (QLineEdit **e : {card, type, name}) {
        *e = new QLineEdit(g);
        (*e)->setReadOnly(true);
    }
    members::gridRows(g, {{"会员卡号：", *card}, {"会员分类：", *type}, {"会员姓名：", *name}});
    return g;
}

// Fills card, type and name (and the points when asked) of the member.
void showMember(const QString &card, QLineEdit *num, QLineEdit *type, QLineEdit *name, QLineEdit *points = nullptr)
{
    vdb::Query q(&db());
    Statement("select theNum as 会员卡号,theType as 会员分类,theName as 会员姓名,theJF as 积分 from Member "
              "Where (theNum=:card)")
            .text("card", card)
            .open(q);
    if (q.RecordCount() != 1) return;
    num->setText(q.value(QStringLiteral("会员卡号")));
    type->setText(q.value(QStringLiteral("会员分类")));
    name->setText(q.value(QStringLiteral("会员姓名")));
    if (points) points->setText(q.value(QStringLiteral("积分")));
}

}  // namespace

// ---------------------------------------------------------------- manual points

TfrmZJJF::TfrmZJJF(QWidget *parent) : ui::Form(parent)
{
    setWindowTitle(QStringLiteral("增加积分"));
    QGroupBox *member = memberGroup(this, &Edit1, &Edit2, &Edit3);
    auto *entry = new QGroupBox(QStringLiteral("增加积分"), this);
    auto *grid = new QGridLayout(entry);
    Edit4 = ui::lineEdit(entry, 10);
    ui::installKeyFilter(Edit4, ui::KeyFilter::SignedAmount);
    Edit5 = new QLineEdit(entry);
    Edit5->setReadOnly(true);
    Edit6 = ui::lineEdit(entry, 50);
    members::gridCell(grid, 0, 0, "增加积分：", Edit4);
    grid->addWidget(new QLabel(QStringLiteral("减少积分请录入负值"), entry), 0, 2);
    members::gridCell(grid, 1, 0, "历史积分：", Edit5);
    members::gridCell(grid, 2, 0, "备        注：", Edit6);
    BitBtn1 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    Button1 = ui::button(this, QStringLiteral("历史记录"), [this] { Button1Click(); });
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(member);
    lay->addWidget(entry);
    lay->addLayout(ui::buttonRow({Button1, BitBtn1, BitBtn2}));
}

void TfrmZJJF::FormShow()
{
    myRef();
}

void TfrmZJJF::myRef()
{
    showMember(myNum, Edit1, Edit2, Edit3, Edit5);
    Edit4->clear();
    Edit6->clear();
    Edit4->setFocus();
}

void TfrmZJJF::BitBtn1Click()
{
    if (Edit4->text().trimmed().isEmpty()) {
        ui::fail(QStringLiteral("增加积分 不能为空！"), Edit4);
        return;
    }
    if (!ui::requireNumber(Edit4, QStringLiteral("增加积分"))) return;
    const QString points = Edit4->text().trimmed();
    const QString refusal = members::addManualPoints(db(), myNum, points, Edit6->text(), myLoginDate, myUser);
    if (!refusal.isEmpty()) {
        ui::fail(refusal, Edit4);
        return;
    }
    ui::showMessage(QStringLiteral("卡号 ") + myNum + QStringLiteral(" 增加积分 ") + points +
                            QStringLiteral(" 保存成功！"),
                    this);
    myRef();
    if (onSaved) onSaved();
}

void TfrmZJJF::Button1Click()
{
    TfrmZJJF_List w(this);
    w.myNum = myNum;
    ui::showModal(&w);
}

TfrmZJJF_List::TfrmZJJF_List(QWidget *parent) : ui::Form(parent)
{
    setWindowTitle(QStringLiteral("增加积分记录"));
    resize(560, 380);
    DBGrid1 = new ui::DBGrid(this);
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(DBGrid1);
}

TfrmZJJF_List::~TfrmZJJF_List()
{
    DBGrid1->setQuery(nullptr);
}

void TfrmZJJF_List::FormShow()
{
    ADOQuery1.setConnection(&db());
    Statement("Select theNum as 卡号, theJF as 增加积分, Remark as 备注, theDate as 日期, theUser as 录入人 "
              "from UJF Where (theNum=:card) order by id desc")
            .text("card", myNum)
            .open(ADOQuery1);
    DBGrid1->setQuery(&ADOQuery1);
    DBGrid1->setColumnWidth(1, 80);
    DBGrid1->setColumnWidth(2, 200);
}

// ---------------------------------------------------------------- anniversaries

TfrmMJN::TfrmMJN(QWidget *parent) : ui::Form(parent)
{
    setWindowTitle(QStringLiteral("纪念日管理"));
    resize(640, 480);
    QGroupBox *member = memberGroup(this, &Edit1, &Edit2, &Edit3);
    auto *entry = new QGroupBox(QStringLiteral("纪念日管理"), this);
    auto *grid = new QGridLayout(entry);
    Edit4 = ui::lineEdit(entry, 20);
    DateTimePicker1 = new ui::DatePicker(entry);
    Edit5 = ui::lineEdit(entry, 20);
    members::gridCell(grid, 0, 0, "纪念名称：", Edit4);
    members::gridCell(grid, 0, 1, "纪念日期：", DateTimePicker1);
    // The remark across the row below: Tab goes name, date, remark, the
    // order the window names them (a grid's fields go down each column).
    grid->addWidget(new QLabel(QStringLiteral("备        注："), entry), 1, 0, Qt::AlignRight);
    grid->addWidget(Edit5, 1, 1, 1, 3);
    auto *list = new QGroupBox(QStringLiteral("纪念日信息"), this);
    auto *listLay = new QVBoxLayout(list);
    DBGrid1 = new ui::DBGrid(list);
    listLay->addWidget(DBGrid1);
    M1 = ui::menuItem(this, QStringLiteral("修改 &M"), [this] { M1Click(); });
    D1 = ui::menuItem(this, QStringLiteral("删除 &D"), [this] { D1Click(); });
    ui::gridPopup(DBGrid1, {M1, D1});
    BitBtn1 = ui::button(this, QStringLiteral("新增"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn2Click(); });
    BitBtn3 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(member);
    lay->addWidget(entry);
    lay->addWidget(list, 1);
    lay->addLayout(ui::buttonRow({BitBtn1, BitBtn2, BitBtn3}));
    myNew();
}

TfrmMJN::~TfrmMJN()
{
    DBGrid1->setQuery(nullptr);
}

void TfrmMJN::FormShow()
{
    showMember(myNum, Edit1, Edit2, Edit3);
    myRef();
}

void TfrmMJN::myRef()
{
    ADOQuery1.setConnection(&db());
    // By month and day, whatever the year.
    Statement("select theNum as 会员卡号,theName as 纪念日名称,theJNR as 纪念日,Remark as 备注,ID from MJN "
              "Where (theNum=:card) order by substr(theJNR,6,5), ID")
            .text("card", myNum)
            .open(ADOQuery1);
    DBGrid1->setQuery(&ADOQuery1);
    DBGrid1->setColumnWidth(3, 360);
    DBGrid1->setColumnHidden(4, true);
}

void TfrmMJN::myNew()
{
    Edit4->clear();
    Edit5->clear();
    Edit4->setFocus();
    myID = QStringLiteral("0");
    DateTimePicker1->setDate(QDate::fromString(myLoginDate, velmora::kDateFormat));
    BitBtn1->setEnabled(true);
}

void TfrmMJN::BitBtn1Click()
{
    myNew();
    BitBtn1->setEnabled(false);
}

void TfrmMJN::M1Click()
{
    const QString id = ADOQuery1.currentValue(QStringLiteral("ID"));
    if (id.isEmpty()) return;
    myID = id;
    Edit4->setText(ADOQuery1.currentValue(QStringLiteral("纪念日名称")));
    DateTimePicker1->setDate(QDate::fromString(ADOQuery1.currentValue(QStringLiteral("纪念日")), velmora::kDateFormat));
    Edit5->setText(ADOQuery1.currentValue(QStringLiteral("备注")));
    Edit4->setFocus();
    BitBtn1->setEnabled(false);
}

void TfrmMJN::BitBtn2Click()
{
    if (Edit4->text().trimmed().isEmpty()) {
        ui::fail(QStringLiteral("纪念日名称 不能为空！"), Edit4);
        return;
    }
    if (!requireLunarTableDate(DateTimePicker1)) return;
    const QString date = DateTimePicker1->date().toString(velmora::kDateFormat);
    if (myID != QLatin1String("0")) {
        Statement("Update MJN set theName=:name,theJNR=:date,Remark=:remark Where ID=:id")
                .text("name", Edit4->text())
                .text("date", date)
                .text("remark", Edit5->text())
                .number("id", myID)
                .run(db());
    } else {
        Statement("insert into MJN(theNum,theName,theJNR,Remark) Values(:card,:name,:date,:remark)")
                .text("card", myNum)
                .text("name", Edit4->text())
                .text("date", date)
                .text("remark", Edit5->text())
                .run(db());
    }
    ui::showMessage(QStringLiteral("卡号 ") + myNum + QStringLiteral(" 的纪念日 保存成功！"), this);
    myNew();
    myRef();
}

void TfrmMJN::D1Click()
{
    const QString id = ADOQuery1.currentValue(QStringLiteral("ID"));
    if (id.isEmpty()) return;
    if (!ui::ask(QStringLiteral("确认要删除吗？该删除将不可恢复！"), QStringLiteral("删除"), this)) return;
    Statement("Delete from MJN Where (ID=:id)").number("id", id).run(db());
    // The entry goes back to a new anniversary: a following save must not
    // "change" the row that is gone.
    myNew();
    myRef();
}
