#include "members/LP.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "members/AccountStore.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/checks.h"
#include "platform/ui/messages.h"
#include "platform/ui/widgets.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

TfrmLP::TfrmLP(QWidget *parent) : ui::Form(parent)
{
    setWindowTitle(QStringLiteral("礼品管理"));
    resize(560, 460);
    DBGrid1 = new ui::DBGrid(this);
    Q1 = ui::menuItem(this, QStringLiteral("启用 &Q"), [this] { Q1Click(); });
    T1 = ui::menuItem(this, QStringLiteral("停用 &T"), [this] { T1Click(); });
    D1 = ui::menuItem(this, QStringLiteral("删除 &D"), [this] { D1Click(); });
    ui::gridPopup(DBGrid1, {Q1, T1, nullptr, D1});

    GroupBox1 = new QGroupBox(QStringLiteral("礼品信息"), this);
    auto *grid = new QGridLayout(GroupBox1);
    Edit1 = ui::lineEdit(GroupBox1, 20);
    Edit2 = ui::lineEdit(GroupBox1, 10);
    Edit3 = ui::lineEdit(GroupBox1, 50);
    grid->addWidget(new QLabel(QStringLiteral("礼品名称："), GroupBox1), 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("所需积分："), GroupBox1), 1, 0);
    grid->addWidget(Edit2, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("备        注："), GroupBox1), 2, 0);
    grid->addWidget(Edit3, 2, 1);

    BitBtn1 = ui::button(this, QStringLiteral("新增"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn2Click(); });
    BitBtn3 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    auto *lay = new QVBoxLayout(this);
    lay->addWidget(DBGrid1, 1);
    lay->addWidget(GroupBox1);
    lay->addLayout(ui::buttonRow({BitBtn1, BitBtn2, BitBtn3}));
    Ref();
}

TfrmLP::~TfrmLP()
{
    DBGrid1->setQuery(nullptr);
}

void TfrmLP::Ref()
{
    ADOQuery1.setConnection(&db());
    ADOQuery1.OpenSql(QStringLiteral("select theName as 礼品名称,theJF as 所需积分,Remark as 备注,theState as 状态,ID "
                                     "from ULP Where (theDel='否')"));
    DBGrid1->setQuery(&ADOQuery1);
    DBGrid1->setColumnWidth(1, 80);
    DBGrid1->setColumnHidden(4, true);
    Edit1->clear();
    Edit2->clear();
    Edit3->clear();
}

void TfrmLP::FormShow()
{
    Edit1->setFocus();
}

void TfrmLP::BitBtn1Click()
{
    Edit1->setFocus();
}

void TfrmLP::BitBtn2Click()
{
    if (!ui::requireText(Edit1, QStringLiteral("礼品名称")) || !ui::requireText(Edit2, QStringLiteral("所需积分")) ||
        !ui::requireNumber(Edit2, QStringLiteral("所需积分")))
        return;
    const QString refusal = members::addGift(db(), ui::trimmedText(Edit1), Edit2->text().trimmed(), Edit3->text());
    if (!refusal.isEmpty()) {
        ui::fail(refusal, refusal.startsWith(QStringLiteral("所需积分")) ? Edit2 : Edit1);
        return;
    }
    ui::showMessage(QStringLiteral("恭喜！恭喜！ 礼品信息 保存成功！"), this);
    Ref();
    Edit1->setFocus();
}

void TfrmLP::setState(const QString &state)
{
    const QString id = ADOQuery1.currentValue(QStringLiteral("ID"));
    if (!id.isEmpty()) frmDM->myState(QStringLiteral("ULP"), state, id);
    Ref();
}

void TfrmLP::Q1Click()
{
    setState(QStringLiteral("启用"));
}

void TfrmLP::T1Click()
{
    setState(QStringLiteral("停用"));
}

void TfrmLP::D1Click()
{
    const QString id = ADOQuery1.currentValue(QStringLiteral("ID"));
    if (id.isEmpty()) return;
    if (!ui::ask(QStringLiteral("确认要删除吗？该删除将不可恢复！"), QStringLiteral("删除"), this)) return;
    vdb::Statement("Update ULP Set theDel='是' Where (ID=:id)").number("id", id).run(db());
    Ref();
}

TfrmFindLP::TfrmFindLP(QWidget *parent) : ui::LookupForm(parent)
{
    frmFindLP = this;
    setWindowTitle(QStringLiteral("礼品查找"));
    resize(480, 360);
}

TfrmFindLP::~TfrmFindLP()
{
    DBGrid1->setQuery(nullptr);
    if (frmFindLP == this) frmFindLP = nullptr;
}

void TfrmFindLP::FormShow()
{
    DBGrid1->setQuery(&ADOQuery1);
    DBGrid1->setColumnWidth(1, 80);
    DBGrid1->setFocus();
}

void TfrmFindLP::takeRow()
{
    if (!ADOQuery1.Active() || ADOQuery1.Eof()) return;
    const GiftChoice g{ADOQuery1.value(QStringLiteral("礼品名称")), ADOQuery1.value(QStringLiteral("所需积分"))};
    if (onTaken) onTaken(g);
    accept();
}
