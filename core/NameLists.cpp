#include "core/NameLists.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/messages.h"
#include "platform/ui/widgets.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

using vdb::Statement;

TfrmNameList::TfrmNameList(const Setup &setup, QWidget *parent) : ui::Form(parent), m_setup(setup)
{
    setWindowTitle(setup.caption);
    resize(560, 420);
    DBGrid1 = new ui::DBGrid(this);
    GroupBox1 = new QGroupBox(setup.group, this);
    Label1 = new QLabel(setup.nameLabel, GroupBox1);
    Label2 = new QLabel(setup.remarkLabel, GroupBox1);
    Edit1 = ui::lineEdit(GroupBox1, setup.nameLength);
    Edit2 = ui::lineEdit(GroupBox1, 50);
    auto *form = new QFormLayout(GroupBox1);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->addRow(Label1, Edit1);
    form->addRow(Label2, Edit2);
    BitBtn1 = ui::button(this, QStringLiteral("新增"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn2Click(); });
    BitBtn3 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    auto *main = new QVBoxLayout(this);
    main->addWidget(DBGrid1, 1);
    main->addWidget(GroupBox1);
    main->addLayout(ui::buttonRow({BitBtn1, BitBtn2, BitBtn3}));

    D1 = ui::menuItem(this, QStringLiteral("删除 &D"), [this] { D1Click(); });
    if (setup.states) {
        Q1 = ui::menuItem(this, QStringLiteral("启用 &Q"), [this] { Q1Click(); });
        T1 = ui::menuItem(this, QStringLiteral("停用 &T"), [this] { T1Click(); });
        PopupMenu1 = ui::gridPopup(DBGrid1, {Q1, T1, nullptr, D1});
    } else {
        PopupMenu1 = ui::gridPopup(DBGrid1, {D1});
    }
    if (setup.focusOnShow) setInitialFocus(Edit1);
    Ref();  // FormCreate
}

void TfrmNameList::Ref()
{
    ADOQuery1.setConnection(&db());
    mySql = m_setup.gridSql;
    ADOQuery1.OpenSql(mySql);
    DBGrid1->setQuery(&ADOQuery1);
    if (m_setup.wideColumn >= 0) DBGrid1->setColumnWidth(m_setup.wideColumn, 280);
    const int id = ADOQuery1.FieldIndex(QStringLiteral("ID"));
    if (id >= 0) DBGrid1->setColumnHidden(id, true);
    Edit1->clear();
    Edit2->clear();
}

void TfrmNameList::FormShow()
{
    if (m_setup.focusOnShow) Edit1->setFocus();
}

void TfrmNameList::BitBtn1Click()
{
    if (m_setup.clearOnNew) {
        Edit1->clear();
        Edit2->clear();
    }
    Edit1->setFocus();
}

void TfrmNameList::BitBtn2Click()
{
    const QString name = ui::trimmedText(Edit1);
    if (name.isEmpty()) return (void)ui::fail(m_setup.field + QStringLiteral(" 不能为空，请重新录入！"), Edit1);
    vdb::Connection &c = db();
    vdb::Query q(&c);
    Statement(QStringLiteral("select * from ") + m_setup.table + " Where theName=:name").text("name", name).open(q);
    if (q.RecordCount() > 0) return (void)ui::fail(m_setup.field + QStringLiteral(" 已存在，请重新录入！"), Edit1);
    {
        vdb::Transaction tx(c);
        insertRow(c, name, Edit2->text());
        tx.commit();
    }
    ui::showMessage(QStringLiteral("恭喜！恭喜！ ") + m_setup.saved + QStringLiteral(" 保存成功！"), this);
    Ref();
    Edit1->setFocus();  // ready for the next name
}

void TfrmNameList::insertRow(vdb::Connection &c, const QString &name, const QString &remark)
{
    Statement(QStringLiteral("Insert into ") + m_setup.table + "(theName,Remark,theState) Values(:name,:remark,'启用')")
            .text("name", name)
            .text("remark", remark)
            .run(c);
}

void TfrmNameList::deleteRow(vdb::Connection &c, const QString &id)
{
    Statement(QStringLiteral("Delete from ") + m_setup.table + " Where ID=:id").number("id", id).run(c);
}

bool TfrmNameList::currentRow(QString *id, QString *name) const
{
    if (ADOQuery1.IsEmpty() || ADOQuery1.Eof()) return false;
    *id = ADOQuery1.value(QStringLiteral("ID"));
    *name = ADOQuery1.FieldByIndex(0).AsString();
    return true;
}

void TfrmNameList::setState(const QString &state, const QString &action)
{
    QString id, name;
    if (!currentRow(&id, &name) || !mayChange(name, action)) return;
    frmDM->myState(m_setup.table, state, id);
    Ref();
}

void TfrmNameList::Q1Click()
{
    setState(QStringLiteral("启用"), QStringLiteral("启用"));
}
void TfrmNameList::T1Click()
{
    setState(QStringLiteral("停用"), QStringLiteral("停用"));
}

void TfrmNameList::D1Click()
{
    QString id, name;
    if (!currentRow(&id, &name) || !mayChange(name, QStringLiteral("删除"))) return;
    if (ui::show({QStringLiteral("确认要删除吗？该删除将不可恢复！"), QStringLiteral("删除"), ui::Icon::Question,
                  ui::Buttons::YesNo},
                 this) != ui::Answer::Yes)
        return;
    vdb::Connection &c = db();
    {
        vdb::Transaction tx(c);
        deleteRow(c, id);
        tx.commit();
    }
    Ref();
}

// ---------------------------------------------------------------- the three lists

TfrmWorker::TfrmWorker(QWidget *parent)
    : TfrmNameList(
              {QStringLiteral("SWorker"), QStringLiteral("员工管理"), QStringLiteral("员工信息"),
               QStringLiteral("员工姓名："), QStringLiteral("备        注："), QStringLiteral("员工姓名"),
               QStringLiteral("员工信息"), 12,
               QStringLiteral("select theName as 员工姓名,Remark as 备注,") + "theState as 状态,ID" + " from SWorker",
               -1, true, false, true},
              parent)
{
    frmWorker = this;
}

TfrmWorker::~TfrmWorker()
{
    if (frmWorker == this) frmWorker = nullptr;
}

TfrmSMType::TfrmSMType(QWidget *parent)
    : TfrmNameList({QStringLiteral("SMType"), QStringLiteral("收付款方式设置"), QStringLiteral("收付款方式信息"),
                    QStringLiteral("收付款方式："), QStringLiteral("备            注："), QStringLiteral("收付款方式"),
                    QStringLiteral("收付款方式"), 10,
                    QStringLiteral("select theName as 收付款方式,") + "Remark as 备注," + "theState as 状态,ID" +
                            " from SMType",
                    1, true, true, true},
                   parent)
{
    frmSMType = this;
}

TfrmSMType::~TfrmSMType()
{
    if (frmSMType == this) frmSMType = nullptr;
}

TfrmSSex::TfrmSSex(QWidget *parent)
    : TfrmNameList({QStringLiteral("SSex"), QStringLiteral("性别设置"), QStringLiteral("性别信息"),
                    QStringLiteral("性        别："), QStringLiteral("备        注："), QStringLiteral("性别"),
                    QStringLiteral("性别"), 10,
                    QStringLiteral("select theName as 性别,Remark as  备注,ID ") + " from SSex", -1, false, true,
                    false},
                   parent)
{
    frmSSex = this;
}

TfrmSSex::~TfrmSSex()
{
    if (frmSSex == this) frmSSex = nullptr;
}

void TfrmSSex::insertRow(vdb::Connection &c, const QString &name, const QString &remark)
{
    Statement("Insert into SSex(theName,Remark) Values(:name, :remark)")
            .text("name", name)
            .text("remark", remark)
            .run(c);
}
