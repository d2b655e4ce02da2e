#include "sales/GoodsLists.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/ui/application.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"
#include "sales/Openers.h"
#include "sales/StockPrint.h"
#include "sales/StockStore.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>

using velmora::ListWhere;

namespace {

// Name or pinyin code containing the text.
void nameOrPinyin(ListWhere &w, const QString &text)
{
    const QString like = QStringLiteral("%") + text + "%";
    w.add(QStringLiteral(" AND (theName like ? OR thePY Like ?)"), {like, like});
}

}  // namespace

// ---------------------------------------------------------------- goods list

TfrmShop_M::TfrmShop_M(QWidget *parent) : TListFrame(parent)
{
    frmShop_M = this;
    setWindowTitle(QStringLiteral("商品查询"));
    velmora::ListSpec s;
    s.select = QStringLiteral("select theType as 商品分类,theNum as 商品编码,theName as 商品名称,theUnit as 单位,"
                              "thePrice as 单价,theCB as 成本,Remark as 备注,theState as 状态,theKC AS 库存,"
                              "theXF as 消费次数,thePY,ID");
    s.from = QStringLiteral("from SShop");
    s.where = QStringLiteral("Where (theDel='否')");
    s.order = QStringLiteral("order by ID desc");
    s.tieBreak = QStringLiteral("ID desc");
    s.countLabel = QStringLiteral("商品数量：");
    s.widths = {{QStringLiteral("单价"), 80},
                {QStringLiteral("成本"), 80},
                {QStringLiteral("备注"), 320},
                {QStringLiteral("消费次数"), 60}};
    s.hidden = {QStringLiteral("thePY"), QStringLiteral("ID")};
    s.titleSort = true;
    s.exportWindow = QStringLiteral("TfrmShop_M");
    setSpec(s);

    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComSType);
    choiceFilter(0, &CheckBox1, QStringLiteral("商品分类"), DBLookupComboBox1, QStringLiteral("theType"));
    Edit1 = editFilter(0, &CheckBox2, QStringLiteral("商品名称"), nameOrPinyin);
    Edit2 = textFilter(0, &CheckBox3, QStringLiteral("商品编码"), QStringLiteral("theNum"));

    BitBtn4 = new QPushButton(QStringLiteral("条码"), this);
    BitBtn4->setAutoDefault(false);
    BitBtn4->setEnabled(false);
    filterRow(0)->addWidget(BitBtn4);
    ui::on(BitBtn4, &QPushButton::clicked, this, [this] { BitBtn4Click(); });

    auto item = [this](const QString &text, void (TfrmShop_M::*handler)()) {
        QAction *a = PopupMenu1->addAction(text);
        ui::on(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return a;
    };
    D1 = item(QStringLiteral("查看 &V"), &TfrmShop_M::D1Click);
    P1 = item(QStringLiteral("修改拼音码 &P"), &TfrmShop_M::P1Click);
    Q1 = item(QStringLiteral("启用 &Q"), &TfrmShop_M::Q1Click);
    T1 = item(QStringLiteral("停用 &T"), &TfrmShop_M::T1Click);
    D2 = item(QStringLiteral("注销 &D"), &TfrmShop_M::D2Click);
}

TfrmShop_M::~TfrmShop_M()
{
    if (frmShop_M == this) frmShop_M = nullptr;
}

void TfrmShop_M::D1Click()
{
    if (currentRow() < 0) return;
    sales::openShopEdit(this, field(QStringLiteral("ID")), [this] { Ref(); });
}

void TfrmShop_M::P1Click()
{
    if (currentRow() < 0) return;
    sales::openShopPY(this, field(QStringLiteral("ID")), [this] { Ref(); });
}

void TfrmShop_M::setState(const QString &state)
{
    if (currentRow() < 0) return;
    frmDM->myState(QStringLiteral("SShop"), state, field(QStringLiteral("ID")));
    Ref();
}

void TfrmShop_M::Q1Click()
{
    setState(QStringLiteral("启用"));
}

void TfrmShop_M::T1Click()
{
    setState(QStringLiteral("停用"));
}

void TfrmShop_M::D2Click()
{
    if (currentRow() < 0) return;
    const QString id = field(QStringLiteral("ID"));
    if (sales::goodsHasStock(db(), id)) {
        ui::showMessage(QStringLiteral("该商品有库存，不能删除！"), this);
        return;
    }
    if (!ui::ask(QStringLiteral("确认要删除吗？该删除将不可恢复！"), QStringLiteral("删除"), this)) return;
    sales::removeGoods(db(), id);
    Ref();
}

void TfrmShop_M::afterRef()
{
    BitBtn4->setEnabled(true);  // a list runs only after the first query
}

void TfrmShop_M::BitBtn4Click()
{
    // The labels follow the filter of the last query, not the grid's sort.
    sales::PrintTM(where().text());
}

// ---------------------------------------------------------------- stock list

TfrmKC::TfrmKC(QWidget *parent) : TListFrame(parent)
{
    setWindowTitle(QStringLiteral("商品库存查询"));
    velmora::ListSpec s;
    s.select = QStringLiteral("select theType as 商品分类,theNum as 商品编码,theName as 商品名称,theUnit as 单位,"
                              "theCB as 成本,theCount as 库存数量,theCB*theCount as 库存金额,Remark as 备注,ID");
    s.from = QStringLiteral("from SShop");
    s.where = QStringLiteral("Where (theDel='否')");
    s.order = QStringLiteral("order by ID desc");
    s.tieBreak = QStringLiteral("ID desc");
    // No rows give "0" twice, on the labels and in the export.
    s.totals =
            QStringLiteral("select coalesce(sum(theCount),0) as 库存数量,coalesce(sum(theCB*theCount),0) as 库存金额");
    s.totalLabels = {{QStringLiteral("库存数量："), QStringLiteral("库存数量")},
                     {QStringLiteral("库存金额："), QStringLiteral("库存金额")}};
    s.widths = {{QStringLiteral("成本"), 80},
                {QStringLiteral("库存数量"), 80},
                {QStringLiteral("库存金额"), 100},
                {QStringLiteral("备注"), 280}};
    s.hidden = {QStringLiteral("ID")};
    s.titleSort = true;
    s.exportWindow = QStringLiteral("TfrmKC");
    setSpec(s);

    CountLabel->hide();  // the list shows its two sums only
    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComSType);
    choiceFilter(0, &CheckBox1, QStringLiteral("商品分类"), DBLookupComboBox1, QStringLiteral("theType"));
    Edit1 = editFilter(0, &CheckBox2, QStringLiteral("商品名称"), nameOrPinyin);
    Edit2 = textFilter(0, &CheckBox3, QStringLiteral("商品编码"), QStringLiteral("theNum"));
    Edit3 = textFilter(1, &CheckBox4, QStringLiteral("备        注"), QStringLiteral("Remark"));
    QHBoxLayout *row = filterRow(1);
    row->addWidget(new QLabel(QStringLiteral("库存数量"), this));
    RadioButton1 = new QRadioButton(QStringLiteral("全部"), this);
    RadioButton2 = new QRadioButton(QStringLiteral("小于零"), this);
    RadioButton3 = new QRadioButton(QStringLiteral("等于零"), this);
    RadioButton4 = new QRadioButton(QStringLiteral("大于零"), this);
    for (QRadioButton *r : {RadioButton1, RadioButton2, RadioButton3, RadioButton4}) {
        row->addWidget(r);
        ui::on(r, &QRadioButton::clicked, this, [this] { BitBtn1Click(); });
    }
}

void TfrmKC::baseCondition(ListWhere &w)
{
    // Only goods whose stock is kept, whatever else is chosen.
    w.add(QStringLiteral(" AND (theKC = '是') "));
    if (RadioButton2->isChecked()) w.add(QStringLiteral(" AND (theCount < 0)"));
    if (RadioButton3->isChecked()) w.add(QStringLiteral(" AND (theCount = 0)"));
    if (RadioButton4->isChecked()) w.add(QStringLiteral(" AND (theCount > 0)"));
}
