#include "core/Dept.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"
#include "platform/ui/widgets.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using vdb::Statement;

TfrmDept::TfrmDept(QWidget *parent) : ui::Form(parent)
{
    frmDept = this;
    setWindowTitle(QStringLiteral("本店设置"));

    GroupBox1 = new QGroupBox(QStringLiteral("本店设置"), this);
    Edit1 = ui::lineEdit(GroupBox1, 20);
    Edit2 = ui::lineEdit(GroupBox1, 20);
    Edit3 = ui::lineEdit(GroupBox1, 50);
    Edit4 = ui::lineEdit(GroupBox1, 50);
    auto *shop = new QFormLayout(GroupBox1);
    shop->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    shop->addRow(QStringLiteral("本店名称："), Edit1);
    shop->addRow(QStringLiteral("联系电话："), Edit2);
    shop->addRow(QStringLiteral("联系地址："), Edit3);
    shop->addRow(QStringLiteral("广告信息："), Edit4);

    GroupBox2 = new QGroupBox(QStringLiteral("打印 商品库存设置"), this);
    auto box = [this](const char *caption) { return new QCheckBox(QString::fromUtf8(caption), GroupBox2); };
    CheckBox1 = box("打印消费单");
    CheckBox2 = box("打印小票");
    CheckBox3 = box("积分后去零头");
    CheckBox4 = box("启用商品库存");
    CheckBox5 = box("打印进货单");
    CheckBox6 = box("打印退货单");
    CheckBox7 = box("支持负库存");
    CheckBox8 = box("唯一商品");
    auto *switches = new QGridLayout(GroupBox2);
    const QCheckBox *order[8] = {CheckBox1, CheckBox2, CheckBox3, CheckBox4,
                                 CheckBox5, CheckBox6, CheckBox7, CheckBox8};
    for (int i = 0; i < 8; ++i) switches->addWidget(const_cast<QCheckBox *>(order[i]), i / 4, i % 4);

    GroupBox3 = new QGroupBox(QStringLiteral("默认项设置"), this);
    auto lookup = [this] { return new ui::LookupComboBox(GroupBox3); };
    DBLookupComboBox1 = lookup();
    DBLookupComboBox2 = lookup();
    DBLookupComboBox3 = lookup();
    DBLookupComboBox4 = lookup();
    DBLookupComboBox5 = lookup();
    DBLookupComboBox6 = lookup();
    auto *defaults = new QGridLayout(GroupBox3);
    const std::pair<const char *, ui::LookupComboBox *> rows[6] = {
            {"会员性别：", DBLookupComboBox2}, {"会员分类：", DBLookupComboBox1}, {"商品分类：", DBLookupComboBox3},
            {"员工姓名：", DBLookupComboBox4}, {"收款方式：", DBLookupComboBox5}, {"收  款  人：", DBLookupComboBox6},
    };
    for (int i = 0; i < 6; ++i) {
        auto *label = new QLabel(QString::fromUtf8(rows[i].first), GroupBox3);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        // Down each column, as Tab goes.
        defaults->addWidget(label, i % 3, (i / 3) * 2);
        defaults->addWidget(rows[i].second, i % 3, (i / 3) * 2 + 1);
    }

    BitBtn1 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    setDefaultButton(BitBtn1);
    auto *main = new QVBoxLayout(this);
    main->addWidget(GroupBox1);
    main->addWidget(GroupBox2);
    main->addWidget(GroupBox3);
    main->addLayout(ui::buttonRow({BitBtn1, BitBtn2}));

    ui::on(CheckBox4, &QCheckBox::clicked, this, [this] { CheckBox4Click(); });
    ui::on(CheckBox8, &QCheckBox::clicked, this, [this] { CheckBox8Click(); });
    FormCreate();
}

TfrmDept::~TfrmDept()
{
    if (frmDept == this) frmDept = nullptr;
}

void TfrmDept::FormCreate()
{
    frmDM->DBComSex(DBLookupComboBox2);
    frmDM->DBComMType(DBLookupComboBox1);
    frmDM->DBComSType(DBLookupComboBox3);
    frmDM->DBComSWorker(DBLookupComboBox4);
    frmDM->DBComSMType(DBLookupComboBox5);
    frmDM->DBComSWorker(DBLookupComboBox6);
}

void TfrmDept::FormShow()
{
    vdb::Query q(&db());
    mySql = QStringLiteral("Select theName,thePhone,theAdd,theGG,thePDJ,") + "thePXP,theJFQL,theSex,theMType,theKC," +
            "thePJH,thePTH,theFKC,theWY," + "theSType,theSWorker,theSMType,theSKR from SDept";
    q.OpenSql(mySql);
    if (q.IsEmpty()) return;
    auto text = [&](const char *column) { return q.value(QLatin1String(column)); };
    Edit1->setText(text("theName"));
    Edit2->setText(text("thePhone"));
    Edit3->setText(text("theAdd"));
    Edit4->setText(text("theGG"));
    const std::pair<QCheckBox *, const char *> bits[8] = {
            {CheckBox1, "thePDJ"}, {CheckBox2, "thePXP"}, {CheckBox3, "theJFQL"}, {CheckBox4, "theKC"},
            {CheckBox5, "thePJH"}, {CheckBox6, "thePTH"}, {CheckBox7, "theFKC"},  {CheckBox8, "theWY"},
    };
    for (const auto &[box, column] : bits) box->setChecked(velmora::isOn(text(column)));
    DBLookupComboBox2->setText(text("theSex"));
    DBLookupComboBox1->setText(text("theMType"));
    DBLookupComboBox3->setText(text("theSType"));
    DBLookupComboBox4->setText(text("theSWorker"));
    DBLookupComboBox5->setText(text("theSMType"));
    DBLookupComboBox6->setText(text("theSKR"));
}

void TfrmDept::CheckBox4Click()
{
    if (!CheckBox4->isChecked()) CheckBox7->setChecked(false);
}

void TfrmDept::CheckBox8Click()
{
    if (!CheckBox8->isChecked()) return;
    CheckBox4->setChecked(false);
    CheckBox7->setChecked(false);
}

namespace {
// The shop's four texts must be filled ("本店名称 不能为空！").
bool filled(QLineEdit *edit, const char *name)
{
    if (!edit->text().trimmed().isEmpty()) return true;
    return ui::fail(QString::fromUtf8(name) + QStringLiteral(" 不能为空！"), edit);
}
}  // namespace

void TfrmDept::BitBtn1Click()
{
    if (!filled(Edit1, "本店名称") || !filled(Edit2, "联系电话") || !filled(Edit3, "联系地址") ||
        !filled(Edit4, "广告信息"))
        return;
    auto bit = [](const QCheckBox *b) { return qint64(b->isChecked() ? 1 : 0); };
    auto values = [&](Statement s) {
        return s.text("name", Edit1->text())
                .text("phone", Edit2->text())
                .text("address", Edit3->text())
                .text("notice", Edit4->text())
                .integer("pdj", bit(CheckBox1))
                .integer("pxp", bit(CheckBox2))
                .integer("jfql", bit(CheckBox3))
                .text("sex", DBLookupComboBox2->Text())
                .text("mtype", DBLookupComboBox1->Text())
                .integer("kc", bit(CheckBox4))
                .integer("pjh", bit(CheckBox5))
                .integer("pth", bit(CheckBox6))
                .integer("fkc", bit(CheckBox7))
                .integer("wy", bit(CheckBox8))
                .text("stype", DBLookupComboBox3->Text())
                .text("worker", DBLookupComboBox4->Text())
                .text("smtype", DBLookupComboBox5->Text())
                .text("skr", DBLookupComboBox6->Text());
    };
    vdb::Connection &c = db();
    {
        vdb::Transaction tx(c);
        const int changed =
                values(Statement("Update SDept Set theName=:name, thePhone=:phone, theAdd=:address, theGG=:notice, "
                                 "thePDJ=:pdj, "
                                 "thePXP=:pxp, theJFQL=:jfql, "
                                 "theSex=:sex,theMType=:mtype,theKC=:kc,thePJH=:pjh,thePTH=:pth,theFKC=:fkc,"
                                 "theWY=:wy,theSType=:stype,theSWorker=:worker,theSMType=:smtype,theSKR=:skr "))
                        .run(c);
        // The settings are one row; a table left without it gets it back.
        if (changed == 0)
            values(Statement("Insert into SDept (theName,thePhone,theAdd,theGG,thePDJ,thePXP,theJFQL,theSex,theMType,"
                             "theKC,thePJH,thePTH,theFKC,theWY,theSType,theSWorker,theSMType,theSKR) Values (:name,"
                             ":phone,:address,:notice,:pdj,:pxp,:jfql,:sex,:mtype,:kc,:pjh,:pth,:fkc,:wy,:stype,"
                             ":worker,:smtype,:skr)"))
                    .run(c);
        tx.commit();
    }
    // The running program takes the new settings at once (receipts, documents, menus).
    velmora::FindDept();
    ui::showMessage(QStringLiteral("恭喜！恭喜！ 本店信息 保存成功！"), this);
    accept();
}
