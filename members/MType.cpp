#include "members/MType.h"

#include "core/ShopRows.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "members/MTS.h"
#include "platform/ui/checks.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/keyfilter.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

using ui::fail;
using vdb::sqlNum;
using vdb::sqlText;
using vdb::Statement;

// ---------------------------------------------------------------- fields

void MTypeFields::build(QWidget *owner, int zkLength, int remarkLength)
{
    GroupBox1 = new QGroupBox(QStringLiteral("会员分类信息"), owner);
    auto *grid = new QGridLayout(GroupBox1);
    auto row = [&](int r, const QString &caption, int maxLength, const QString &explain) {
        QLineEdit *e = ui::lineEdit(GroupBox1, maxLength);
        grid->addWidget(new QLabel(caption, GroupBox1), r, 0, Qt::AlignRight);
        grid->addWidget(e, r, 1);
        if (!explain.isEmpty()) grid->addWidget(ui::note(GroupBox1, explain), r, 2);
        return e;
    };
    Edit1 = row(0, QStringLiteral("会员分类："), 12, {});
    Edit2 = row(1, QStringLiteral("享受折扣："), zkLength, QStringLiteral("100 表示不折扣，90 表示 9 折"));
    Edit3 = row(2, QStringLiteral("积分比例："), 10, QStringLiteral("1 表示消费 1 元积 1 分，2 表示消费 1 元积 2 分"));
    Edit4 = row(3, QStringLiteral("最低消费："), 10, QStringLiteral("1000 表示会员累计消费到 1000 元自动升级"));
    Edit5 = row(4, QStringLiteral("备        注："), remarkLength, {});
    grid->setColumnMinimumWidth(1, 140);
    grid->setColumnStretch(2, 1);
    for (QLineEdit *e : {Edit2, Edit3, Edit4}) ui::installKeyFilter(e, ui::KeyFilter::Amount);
}

bool MTypeFields::numbersValid() const
{
    const std::pair<QLineEdit *, QString> fields[] = {{Edit2, QStringLiteral("享受折扣")},
                                                      {Edit3, QStringLiteral("积分比例")},
                                                      {Edit4, QStringLiteral("最低消费")}};
    for (const auto &[edit, name] : fields)
        if (!ui::requireText(edit, name)) return false;
    for (const auto &[edit, name] : fields)
        if (!ui::requireNumber(edit, name)) return false;
    return true;
}

// ---------------------------------------------------------------- list

TfrmMType::TfrmMType(QWidget *parent) : ui::Form(parent)
{
    frmMType = this;
    setWindowTitle(QStringLiteral("会员分类"));
    resize(720, 520);
    DBGrid1 = new ui::DBGrid(this);
    N1 = ui::menuItem(this, QStringLiteral("选择商品分类 &C"), [this] { N1Click(); });
    N2 = ui::menuItem(this, QStringLiteral("设置商品分类享受折扣 &S"), [this] { N2Click(); });
    N3 = ui::menuItem(this, QStringLiteral("启用 &Q"), [this] { N3Click(); });
    N4 = ui::menuItem(this, QStringLiteral("停用 &T"), [this] { N4Click(); });
    N5 = ui::menuItem(this, QStringLiteral("修改 &M"), [this] { N5Click(); });
    N6 = ui::menuItem(this, QStringLiteral("删除 &D"), [this] { N6Click(); });
    ui::gridPopup(DBGrid1, {N1, N2, nullptr, N3, N4, nullptr, N5, nullptr, N6});

    build(this, 10, 20);
    static_cast<QGridLayout *>(GroupBox1->layout())
            ->addWidget(ui::note(GroupBox1, QStringLiteral("在上面会员分类列表右键可以设置商品分类折扣")), 5, 0, 1, 3);
    BitBtn1 = ui::button(this, QStringLiteral("新增"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn2Click(); });
    BitBtn3 = ui::button(this, QStringLiteral("退出"), [this] { BitBtn3Click(); });

    auto *lay = new QVBoxLayout(this);
    lay->addWidget(DBGrid1, 1);
    lay->addWidget(GroupBox1);
    lay->addLayout(ui::buttonRow({BitBtn1, BitBtn2, BitBtn3}));
    Ref();
}

TfrmMType::~TfrmMType()
{
    DBGrid1->setQuery(nullptr);
    if (frmMType == this) frmMType = nullptr;
}

void TfrmMType::FormShow()
{
    Edit1->setFocus();
}

void TfrmMType::Ref()
{
    mySql = QStringLiteral("select theName as 会员分类,") + "theZK as 享受折扣,theJF as 积分比例," +
            "theXF as 最低消费,Remark as 备注," + "theState as 状态,ID" + " from MType";
    ADOQuery1.setConnection(&db());
    ADOQuery1.OpenSql(mySql);
    DBGrid1->setQuery(&ADOQuery1);
    for (const char *n : {"享受折扣", "积分比例", "最低消费"})
        DBGrid1->setColumnWidth(ADOQuery1.FieldIndex(QString::fromUtf8(n)), 60);
    DBGrid1->setColumnWidth(ADOQuery1.FieldIndex(QStringLiteral("备注")), 250);
    DBGrid1->setColumnHidden(ADOQuery1.FieldIndex(QStringLiteral("ID")), true);
    Edit1->clear();
    Edit4->setText(QStringLiteral("0"));
    Edit2->setText(QStringLiteral("100"));
    Edit3->setText(QStringLiteral("1"));
    Edit5->clear();
}

void TfrmMType::BitBtn1Click()
{
    Edit1->setFocus();
}

void TfrmMType::BitBtn2Click()
{
    const QString name = ui::trimmedText(Edit1);
    if (!ui::requireText(Edit1, QStringLiteral("会员分类"))) return;
    if (!numbersValid()) return;
    vdb::Query q(&db());
    Statement("select * from MType Where theName=:name").text("name", name).open(q);
    if (!q.IsEmpty()) {
        fail(QStringLiteral("会员分类 已存在，请重新录入！"), Edit1);
        return;
    }
    {
        vdb::Transaction t(db());
        Statement(
                "Insert into MType(theName,theZK,theJF,Remark,theState,theXF) Values(:name,:zk,:jf,:remark,'启用',:xf)")
                .text("name", name)
                .number("zk", Edit2->text())
                .number("jf", Edit3->text())
                .text("remark", Edit5->text())
                .number("xf", Edit4->text())
                .run(db());
        // Every goods category starts with the type's own discount and ratio.
        q.OpenSql(QStringLiteral("select theName from SType"));
        for (q.First(); !q.Eof(); q.Next())
            velmora::insertDiscount(db(), name, q.value(QStringLiteral("theName")), Edit2->text(), Edit3->text());
        t.commit();
    }
    ui::showMessage(QStringLiteral("恭喜！恭喜！ 会员分类信息 保存成功！"));
    Ref();
    Edit1->setFocus();
}

void TfrmMType::setState(const QString &state)
{
    const QString id = ADOQuery1.currentValue(QStringLiteral("ID"));
    if (!id.isEmpty()) frmDM->myState(QStringLiteral("MType"), state, id);
    Ref();
}

void TfrmMType::N3Click()
{
    setState(QStringLiteral("启用"));
}
void TfrmMType::N4Click()
{
    setState(QStringLiteral("停用"));
}

void TfrmMType::N6Click()
{
    const QString name = ADOQuery1.currentValue(QStringLiteral("会员分类"));
    const QString id = ADOQuery1.currentValue(QStringLiteral("ID"));
    if (id.isEmpty()) return;
    vdb::Query q(&db());
    Statement("Select ID from Member Where (theDel = '否') AND (theType = :type)").text("type", name).open(q);
    if (!q.IsEmpty()) {
        fail(QStringLiteral("该分类有会员信息，不能删除！"));
        return;
    }
    if (ui::show({QStringLiteral("确认要删除吗？该删除将不可恢复！"), QStringLiteral("删除"), ui::Icon::Question,
                  ui::Buttons::YesNo},
                 this) != ui::Answer::Yes)
        return;
    {
        vdb::Transaction t(db());
        Statement("Delete From MTS Where MType=:type").text("type", name).run(db());
        Statement("Delete From MType Where ID=:id").number("id", id).run(db());
        t.commit();
    }
    Ref();
}

void TfrmMType::N5Click()
{
    if (ADOQuery1.currentValue(QStringLiteral("ID")).isEmpty()) return;
    TfrmMType_M dlg(this);
    dlg.myID = ADOQuery1.currentValue(QStringLiteral("ID"));
    dlg.Edit1->setText(ADOQuery1.currentValue(QStringLiteral("会员分类")));
    dlg.Edit1->setEnabled(false);
    ui::setStoredText(dlg.Edit2, ADOQuery1.currentValue(QStringLiteral("享受折扣")));
    ui::setStoredText(dlg.Edit3, ADOQuery1.currentValue(QStringLiteral("积分比例")));
    ui::setStoredText(dlg.Edit4, ADOQuery1.currentValue(QStringLiteral("最低消费")));
    ui::setStoredText(dlg.Edit5, ADOQuery1.currentValue(QStringLiteral("备注")));
    connect(&dlg, &TfrmMType_M::saved, this, &TfrmMType::Ref);
    ui::showModal(&dlg);
}

void TfrmMType::N1Click()
{
    if (ADOQuery1.currentValue(QStringLiteral("ID")).isEmpty()) return;
    TfrmMTS dlg(this, ADOQuery1.currentValue(QStringLiteral("会员分类")),
                ADOQuery1.currentValue(QStringLiteral("享受折扣")), ADOQuery1.currentValue(QStringLiteral("积分比例")));
    ui::showModal(&dlg);
}

void TfrmMType::N2Click()
{
    if (ADOQuery1.currentValue(QStringLiteral("ID")).isEmpty()) return;
    TfrmMTS_ZKJF dlg(this, ADOQuery1.currentValue(QStringLiteral("会员分类")),
                     ADOQuery1.currentValue(QStringLiteral("享受折扣")));
    ui::showModal(&dlg);
}

// ---------------------------------------------------------------- edit

TfrmMType_M::TfrmMType_M(QWidget *parent) : ui::SaveDialog(parent, QStringLiteral("会员分类修改"))
{
    auto *warn = new QLabel(QStringLiteral("注意：修改会员类别将影响该类别的所有会员。"), this);
    warn->setStyleSheet(QStringLiteral("color: red"));
    build(this, 3, 50);
    addContent(warn);
    addContent(GroupBox1);
}

void TfrmMType_M::BitBtn1Click()
{
    if (!numbersValid()) return;
    const QString name = Edit1->text();
    {
        vdb::Transaction t(db());
        Statement("UPdate MType Set theZK=:zk, theJF=:jf, theXF=:xf, Remark=:remark Where (ID = :id) ")
                .number("zk", Edit2->text())
                .number("jf", Edit3->text())
                .number("xf", Edit4->text())
                .text("remark", Edit5->text())
                .number("id", myID)
                .run(db());
        // Every member of the type, deleted ones too, takes the new values.
        Statement("UPdate Member Set theZK=:zk, theJFBL=:jf Where (theType = :type) ")
                .number("zk", Edit2->text())
                .number("jf", Edit3->text())
                .text("type", name)
                .run(db());
        t.commit();
    }
    ui::showMessage(name + QStringLiteral("  修改 保存成功！"));
    emit saved();
    accept();
}
