#include "sales/SType.h"

#include "core/ShopRows.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/messages.h"
#include "platform/ui/widgets.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using vdb::Statement;

TfrmSType::TfrmSType(QWidget *parent) : ui::Form(parent)
{
    frmSType = this;
    setWindowTitle(QStringLiteral("商品分类"));
    resize(620, 440);
    DBGrid1 = new ui::DBGrid(this);
    GroupBox1 = new QGroupBox(QStringLiteral("商品分类信息"), this);
    Edit1 = ui::lineEdit(GroupBox1, 12);
    Edit2 = ui::lineEdit(GroupBox1, 50);
    CheckBox1 = new QCheckBox(QStringLiteral("启用该商品分类的商品库存"), GroupBox1);
    auto *form = new QFormLayout(GroupBox1);
    form->addRow(QStringLiteral("商品分类："), Edit1);
    form->addRow(QStringLiteral("备        注："), Edit2);
    form->addRow(QString(), CheckBox1);
    BitBtn1 = new QPushButton(QStringLiteral("新增"), this);
    BitBtn2 = new QPushButton(QStringLiteral("保存"), this);
    BitBtn3 = new QPushButton(QStringLiteral("退出"), this);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    for (auto *b : {BitBtn1, BitBtn2, BitBtn3}) buttons->addWidget(b);
    auto *main = new QVBoxLayout(this);
    main->addWidget(DBGrid1, 1);
    main->addWidget(GroupBox1);
    main->addLayout(buttons);

    Q1 = ui::menuItem(this, QStringLiteral("启用 &Q"), [this] { Q1Click(); });
    T1 = ui::menuItem(this, QStringLiteral("停用 &T"), [this] { T1Click(); });
    N3 = ui::menuItem(this, QStringLiteral("启用库存 &K"), [this] { N3Click(); });
    N4 = ui::menuItem(this, QStringLiteral("禁用库存 &J"), [this] { N4Click(); });
    D1 = ui::menuItem(this, QStringLiteral("删除 &D"), [this] { D1Click(); });
    PopupMenu1 = ui::popupMenu(DBGrid1, this, {Q1, T1, N3, N4, D1});
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    ui::on(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::reject);

    Ref();  // FormCreate
}

TfrmSType::~TfrmSType()
{
    if (frmSType == this) frmSType = nullptr;
}

void TfrmSType::Ref()
{
    ADOQuery1.setConnection(&db());
    mySql = QStringLiteral("select theName as 商品分类,") + "Remark as 备注,theKC as 库存," + "theState as 状态,ID" +
            " from SType";
    ADOQuery1.OpenSql(mySql);
    DBGrid1->setQuery(&ADOQuery1);
    DBGrid1->setColumnWidth(1, 280);
    DBGrid1->setColumnHidden(4, true);
    Edit1->clear();
    Edit2->clear();
}

void TfrmSType::FormShow()
{
    Edit1->setFocus();
    if (velmora::isOn(myDeptKC)) CheckBox1->setChecked(true);
}

void TfrmSType::BitBtn1Click()
{
    Edit1->setFocus();
}

void TfrmSType::BitBtn2Click()
{
    const QString name = ui::trimmedText(Edit1);
    if (name.isEmpty()) return (void)ui::fail(QStringLiteral("商品分类 不能为空，请重新录入！"), Edit1);
    const QString flag = CheckBox1->isChecked() ? QStringLiteral("是") : QStringLiteral("否");
    vdb::Connection &c = db();
    vdb::Query q(&c);
    Statement("select * from SType Where theName=:name").text("name", name).open(q);
    if (q.RecordCount() > 0) return (void)ui::fail(QStringLiteral("商品分类 已存在，请重新录入！"), Edit1);

    // Every member type gets its discount row with the category; all or none.
    q.OpenSql(QStringLiteral("select theName,theZK,theJF from MType"));
    for (q.First(); !q.Eof(); q.Next()) {
        const QString type = q.value(QStringLiteral("theName"));
        if (!vdb::isSqlNumber(q.value(QStringLiteral("theZK"))) || !vdb::isSqlNumber(q.value(QStringLiteral("theJF"))))
            return (void)ui::fail(QStringLiteral("会员分类 %1 的折扣或积分比例有误，请先修改会员分类！").arg(type),
                                  Edit1);
    }
    {
        vdb::Transaction tx(c);
        velmora::insertCategory(c, name, Edit2->text(), flag);
        tx.commit();
    }
    ui::showMessage(QStringLiteral("恭喜！恭喜！ 商品分类信息 保存成功！"), this);
    Ref();
    Edit1->setFocus();
}

void TfrmSType::setState(const QString &state)
{
    if (ADOQuery1.IsEmpty() || ADOQuery1.Eof()) return;
    frmDM->myState(QStringLiteral("SType"), state, ADOQuery1.value(QStringLiteral("ID")));
    Ref();
}

void TfrmSType::Q1Click()
{
    setState(QStringLiteral("启用"));
}
void TfrmSType::T1Click()
{
    setState(QStringLiteral("停用"));
}

void TfrmSType::setStock(const QString &flag)
{
    if (ADOQuery1.IsEmpty() || ADOQuery1.Eof()) return;
    const QString id = ADOQuery1.value(QStringLiteral("ID"));
    const QString name = ADOQuery1.value(QStringLiteral("商品分类"));
    vdb::Connection &c = db();
    vdb::Transaction tx(c);
    vdb::Query q(&c);
    Statement("UPDate SType Set theKC=:kc Where (ID = :id)").text("kc", flag).number("id", id).run(c);
    Statement("UPDate SShop Set theKC=:kc Where (theType = :type)").text("kc", flag).text("type", name).run(c);
    tx.commit();
    Ref();
}

void TfrmSType::N3Click()
{
    setStock(QStringLiteral("是"));
}
void TfrmSType::N4Click()
{
    setStock(QStringLiteral("否"));
}

void TfrmSType::D1Click()
{
    if (ADOQuery1.IsEmpty() || ADOQuery1.Eof()) return;
    const QString id = ADOQuery1.value(QStringLiteral("ID"));
    const QString name = ADOQuery1.value(QStringLiteral("商品分类"));
    vdb::Connection &c = db();
    vdb::Query q(&c);
    Statement("Select ID from SShop Where (theDel = '否') AND (theType = :type)").text("type", name).open(q);
    if (q.RecordCount() > 0) return (void)ui::fail(QStringLiteral("该分类有商品信息，不能删除！"));
    if (ui::show({QStringLiteral("确认要删除吗？该删除将不可恢复！"), QStringLiteral("删除"), ui::Icon::Question,
                  ui::Buttons::YesNo},
                 this) != ui::Answer::Yes)
        return;
    {
        vdb::Transaction tx(c);
        Statement("Delete * From MTS Where SType=:type").text("type", name).run(c);
        Statement("Delete From SType Where ID=:id").number("id", id).run(c);
        tx.commit();
    }
    Ref();
}
