#include "sales/Shop_In.h"

#include "core/IMCode.h"
#include "core/ShopRows.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/keyfilter.h"
#include "platform/ui/messages.h"
#include "platform/ui/widgets.h"
#include "sales/GoodsRecord.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

using ui::fail;
using vdb::sqlNum;
using vdb::sqlText;
using vdb::Statement;

namespace {
struct GoodsField {
    QLineEdit *edit;
    const char *column;
};

// Opens the goods row a change or pinyin window works on (gone means an
// error), shows its ID and fills each field from its column.
void loadGoodsRow(vdb::Query &q, const QString &id, QLabel *idLabel, std::initializer_list<GoodsField> fields)
{
    Statement("select * from SShop Where ID=:id").number("id", id).open(q);
    if (q.IsEmpty()) throw vdb::DbError(QStringLiteral("商品信息不存在！"));
    idLabel->setText(q.value(QStringLiteral("ID")));
    for (const GoodsField &f : fields) f.edit->setText(q.value(QLatin1String(f.column)));
}
}  // namespace

// ---------------------------------------------------------------- shared fields

TfrmShopEntry::TfrmShopEntry(QWidget *parent) : ui::Form(parent)
{
    GroupBox1 = new QGroupBox(QStringLiteral("商品信息"), this);
    DBLookupComboBox1 = new ui::LookupComboBox(GroupBox1);
    auto edit = [this](int max) { return ui::lineEdit(GroupBox1, max); };
    Edit3 = edit(16);
    Edit1 = edit(28);
    Edit2 = edit(10);
    Edit4 = edit(10);
    Edit6 = edit(10);
    Edit5 = edit(100);
    ui::installKeyFilter(Edit4, ui::KeyFilter::Amount);
    ui::installKeyFilter(Edit6, ui::KeyFilter::Amount);
    auto *form = new QFormLayout(GroupBox1);
    form->addRow(QStringLiteral("商品分类："), DBLookupComboBox1);
    form->addRow(QStringLiteral("商品编码："), Edit3);
    form->addRow(QStringLiteral("商品名称："), Edit1);
    form->addRow(QStringLiteral("单       位："), Edit2);
    form->addRow(QStringLiteral("单       价："), Edit4);
    form->addRow(QStringLiteral("成        本："), Edit6);
    form->addRow(QStringLiteral("备       注："), Edit5);
    BitBtn1 = new QPushButton(QStringLiteral("保存"), this);
    BitBtn2 = new QPushButton(QStringLiteral("退出"), this);
    setDefaultButton(BitBtn1);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    setMinimumWidth(380);
    frmDM->DBComSType(DBLookupComboBox1);
}

void TfrmShopEntry::layOut(QWidget *option)
{
    QHBoxLayout *buttons = ui::buttonRow({BitBtn1, BitBtn2});
    if (option) buttons->insertWidget(0, option);
    auto *main = new QVBoxLayout(this);
    main->addWidget(GroupBox1);
    main->addLayout(buttons);
}

bool TfrmShopEntry::saveItem(const QString &id)
{
    ui::trimFields({Edit3, Edit1});
    if (DBLookupComboBox1->Text().isEmpty()) return fail(QStringLiteral("请选择 商品分类！"), DBLookupComboBox1);
    if (Edit3->text().isEmpty()) return fail(QStringLiteral("商品编码 不能为空，请重新录入！"), Edit3);
    if (Edit1->text().isEmpty()) return fail(QStringLiteral("商品名称 不能为空，请重新录入！"), Edit1);
    if (Edit2->text().isEmpty()) return fail(QStringLiteral("单位 不能为空，请重新录入！"), Edit2);
    if (Edit4->text().isEmpty()) return fail(QStringLiteral("单价 不能为空，请重新录入！"), Edit4);
    if (Edit6->text().isEmpty()) return fail(QStringLiteral("成本 不能为空，请重新录入！"), Edit6);
    // The key filter lets "1.2.3" through; nothing malformed reaches the table.
    if (!ui::requireNumber(Edit4, QStringLiteral("单价"))) return false;
    if (!ui::requireNumber(Edit6, QStringLiteral("成本"))) return false;

    const QString category = DBLookupComboBox1->Text();
    const QString name = Edit1->text(), unit = Edit2->text(), price = Edit4->text();
    const QString remark = Edit5->text(), code = Edit3->text(), cost = Edit6->text();
    m_py = MakePYCode(name, PYMarkUnknown, 255);
    m_kc = frmDM->myRetKC(category);

    vdb::Query q(&db());
    // A code names one live item, also when an item's code is changed.
    const bool isNew = id == QLatin1String("0");
    Statement(QStringLiteral("select * from SShop Where theNum=:code and theDel='否'") + (isNew ? "" : " and ID<>:id"))
            .text("code", code)
            .number("id", isNew ? QStringLiteral("0") : id)
            .open(q);
    if (q.RecordCount() > 0) return fail(QStringLiteral("商品编码 已存在，请重新录入！"), Edit3);

    if (isNew) {
        velmora::insertGoods(db(), {category, code, name, unit, remark, m_py, price, cost, QStringLiteral("0"), m_kc});
        return true;
    }
    Statement("Update SShop Set theType=:type,theName=:name,theUnit=:unit,thePrice=:price,Remark=:remark,thePY=:py,"
              "theNum=:code,theCB=:cost,theKC=:kc Where ID=:id")
            .text("type", category)
            .text("name", name)
            .text("unit", unit)
            .number("price", price)
            .text("remark", remark)
            .text("py", m_py)
            .text("code", code)
            .number("cost", cost)
            .text("kc", m_kc)
            .number("id", id)
            .run(db());
    return true;
}

// ---------------------------------------------------------------- TfrmShop_In

TfrmShop_In::TfrmShop_In(QWidget *parent) : TfrmShopEntry(parent)
{
    frmShop_In = this;
    setWindowTitle(QStringLiteral("商品录入"));
    Lab_ID = new QLabel(QStringLiteral("0"), this);
    Lab_ID->hide();
    CheckBox1 = new QCheckBox(QStringLiteral("连续新增"), this);
    CheckBox1->setChecked(true);
    CheckBox2 = new QCheckBox(QStringLiteral("同样单位"), GroupBox1);
    CheckBox2->setChecked(true);
    static_cast<QFormLayout *>(GroupBox1->layout())->addRow(QString(), CheckBox2);
    layOut(CheckBox1);
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
}

TfrmShop_In::~TfrmShop_In()
{
    if (frmShop_In == this) frmShop_In = nullptr;
}

void TfrmShop_In::FormShow()
{
    if (Lab_ID->text() == QLatin1String("0")) Edit3->setText(frmDM->NewSPNum());
}

void TfrmShop_In::myLoad(const QString &id)
{
    vdb::Query q(&db());
    loadGoodsRow(q, id, Lab_ID,
                 {{Edit3, "theNum"},
                  {Edit1, "theName"},
                  {Edit2, "theUnit"},
                  {Edit4, "thePrice"},
                  {Edit6, "theCB"},
                  {Edit5, "Remark"}});
    DBLookupComboBox1->setText(q.value(QStringLiteral("theType")));
    CheckBox1->setChecked(false);
    CheckBox1->hide();
    CheckBox2->setChecked(false);
    CheckBox2->hide();
}

void TfrmShop_In::BitBtn1Click()
{
    const QString id = Lab_ID->text();
    if (!saveItem(id)) return;
    if (!CheckBox1->isChecked() || id != QLatin1String("0")) {
        ui::showMessage(QStringLiteral("恭喜！恭喜！ 商品信息 保存成功！"), this);
        if (id != QLatin1String("0") && onChanged) onChanged();
        accept();
        return;
    }
    Edit1->clear();
    Edit4->clear();
    Edit5->clear();
    Edit6->clear();
    if (!CheckBox2->isChecked()) Edit2->clear();
    Edit1->setFocus();
    Edit3->setText(frmDM->NewSPNum());
}

// ---------------------------------------------------------------- TfrmNewShop

TfrmNewShop::TfrmNewShop(QWidget *parent) : TfrmShopEntry(parent)
{
    frmNewShop = this;
    setWindowTitle(QStringLiteral("新增商品"));
    layOut();
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    Edit3->setText(frmDM->NewSPNum());
    DBLookupComboBox1->setText(myDeptSType);
}

TfrmNewShop::~TfrmNewShop()
{
    if (frmNewShop == this) frmNewShop = nullptr;
}

void TfrmNewShop::BitBtn1Click()
{
    if (!saveItem(QStringLiteral("0"))) return;
    vdb::Query q(&db());
    mySql = QStringLiteral("Select Top 1 ID From SShop Order by ID DESC");
    q.OpenSql(mySql);
    GoodsRecord g;
    g.id = q.value(QStringLiteral("ID"));
    g.code = Edit3->text();
    g.name = Edit1->text();
    g.unit = Edit2->text();
    g.price = Edit4->text();
    g.category = DBLookupComboBox1->Text();
    g.py = m_py;
    g.cost = Edit6->text();
    g.kc = m_kc;
    g.count = QStringLiteral("0");
    g.memberType = myMType;
    if (receiver) receiver->lookupTaken(g, ui::LookupOrigin::QuickEntry);
    accept();
}

// ---------------------------------------------------------------- TfrmShop_PY

TfrmShop_PY::TfrmShop_PY(QWidget *parent) : ui::Form(parent)
{
    frmShop_PY = this;
    setWindowTitle(QStringLiteral("商品拼音码修改"));
    GroupBox1 = new QGroupBox(QStringLiteral("商品信息"), this);
    GroupBox1->setEnabled(false);
    auto *form = new QFormLayout(GroupBox1);
    QLineEdit **edits[] = {&Edit1, &Edit2, &Edit3, &Edit4, &Edit5, &Edit6};
    const char *labels[] = {"商品分类：",    "商品编码：",    "商品名称：",
                            "单       位：", "单       价：", "成        本："};
    for (int i = 0; i < 6; ++i) {
        *edits[i] = new QLineEdit(GroupBox1);
        (*edits[i])->setReadOnly(true);
        form->addRow(QString::fromUtf8(labels[i]), *edits[i]);
    }
    GroupBox2 = new QGroupBox(QStringLiteral("拼音码"), this);
    Edit7 = ui::lineEdit(GroupBox2, 50);
    auto *form2 = new QFormLayout(GroupBox2);
    form2->addRow(QStringLiteral("拼  音  码："), Edit7);
    Lab_ID = new QLabel(QStringLiteral("0"), this);
    Lab_ID->hide();
    BitBtn1 = new QPushButton(QStringLiteral("保存"), this);
    BitBtn2 = new QPushButton(QStringLiteral("退出"), this);
    auto *main = new QVBoxLayout(this);
    main->addWidget(GroupBox1);
    main->addWidget(GroupBox2);
    main->addLayout(ui::buttonRow({BitBtn1, BitBtn2}));
    ui::on(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmShop_PY::~TfrmShop_PY()
{
    if (frmShop_PY == this) frmShop_PY = nullptr;
}

void TfrmShop_PY::myLoad(const QString &id)
{
    vdb::Query q(&db());
    loadGoodsRow(q, id, Lab_ID,
                 {{Edit1, "theType"},
                  {Edit2, "theNum"},
                  {Edit3, "theName"},
                  {Edit4, "theUnit"},
                  {Edit5, "thePrice"},
                  {Edit6, "theCB"},
                  {Edit7, "thePY"}});
}

void TfrmShop_PY::BitBtn1Click()
{
    ui::trimFields({Edit7});
    if (Edit7->text().isEmpty()) return (void)fail(QStringLiteral("拼音码 不能为空，请重新录入！"), Edit7);
    Statement("Update SShop Set thePY=:py Where ID=:id")
            .text("py", Edit7->text())
            .number("id", Lab_ID->text())
            .run(db());
    ui::showMessage(QStringLiteral("恭喜！恭喜！ 商品名称拼音码 保存成功！"), this);
    if (onChanged) onChanged();
    accept();
}
