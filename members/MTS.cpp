#include "members/MTS.h"

#include "core/ShopRows.h"
#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/ui/checks.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/keyfilter.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"

#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

using vdb::Statement;

// ---------------------------------------------------------------- choose categories

TfrmMTS::TfrmMTS(QWidget *parent, const QString &type, const QString &zk, const QString &jf)
    : ui::SaveDialog(parent, type), myType(type), myZK(zk), myJF(jf)
{
    resize(420, 400);
    GroupBox1 = new QGroupBox(type, this);
    CheckListBox1 = new QListWidget(GroupBox1);
    // Two columns of categories.
    CheckListBox1->setFlow(QListView::LeftToRight);
    CheckListBox1->setWrapping(true);
    CheckListBox1->setResizeMode(QListView::Adjust);
    CheckListBox1->setGridSize(QSize(180, 24));
    (new QVBoxLayout(GroupBox1))->addWidget(CheckListBox1);
    addContent(GroupBox1, 1);
}

void TfrmMTS::FormShow()
{
    CheckListBox1->clear();
    vdb::Query categories(&db()), rows(&db());
    categories.OpenSql(QStringLiteral("select theName from SType"));
    for (categories.First(); !categories.Eof(); categories.Next()) {
        const QString category = categories.value(QStringLiteral("theName"));
        auto *item = new QListWidgetItem(category, CheckListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        Statement("Select ID From MTS Where MType=:type AND SType=:category")
                .text("type", myType)
                .text("category", category)
                .open(rows);
        item->setCheckState(rows.RecordCount() == 1 ? Qt::Checked : Qt::Unchecked);
    }
}

void TfrmMTS::BitBtn1Click()
{
    {
        vdb::Transaction t(db());
        Statement("Delete * From MTS Where MType=:type").text("type", myType).run(db());
        for (int i = 0; i < CheckListBox1->count(); ++i) {
            QListWidgetItem *item = CheckListBox1->item(i);
            if (item->checkState() != Qt::Checked) continue;
            velmora::insertDiscount(db(), myType, item->text(), myZK, myJF);
        }
        t.commit();
    }
    ui::showMessage(QStringLiteral("恭喜！恭喜！ 保存成功！"));
    accept();
}

// ---------------------------------------------------------------- rows of a type

TfrmMTS_ZKJF::TfrmMTS_ZKJF(QWidget *parent, const QString &type, const QString &zk)
    : ui::Form(parent), myType(type), myZK(zk)
{
    frmMTS_ZKJF = this;
    const QString caption = type + QStringLiteral(" 商品分类享受折扣");
    setWindowTitle(caption);
    resize(460, 400);
    GroupBox1 = new QGroupBox(caption, this);
    DBGrid1 = new ui::DBGrid(GroupBox1);
    N1 = ui::menuItem(this, QStringLiteral("修改 &M"), [this] { N1Click(); });
    ui::gridPopup(DBGrid1, {N1});
    (new QVBoxLayout(GroupBox1))->addWidget(DBGrid1);
    (new QVBoxLayout(this))->addWidget(GroupBox1);
}

TfrmMTS_ZKJF::~TfrmMTS_ZKJF()
{
    DBGrid1->setQuery(nullptr);
    if (frmMTS_ZKJF == this) frmMTS_ZKJF = nullptr;
}

void TfrmMTS_ZKJF::myRef()
{
    ADOQuery1.setConnection(&db());
    Statement("select MType as 会员分类, SType AS 商品分类, theZK as 享受折扣, ID from MTS WHERE (MType = :type)")
            .text("type", myType)
            .open(ADOQuery1);
    DBGrid1->setQuery(&ADOQuery1);
    DBGrid1->setColumnWidth(ADOQuery1.FieldIndex(QStringLiteral("享受折扣")), 80);
    DBGrid1->setColumnHidden(ADOQuery1.FieldIndex(QStringLiteral("ID")), true);
}

void TfrmMTS_ZKJF::N1Click()
{
    if (!ADOQuery1.Active() || ADOQuery1.Eof()) return;
    const QString caption = ADOQuery1.value(QStringLiteral("会员分类")) + " " +
                            ADOQuery1.value(QStringLiteral("商品分类")) + QStringLiteral(" 享受折扣");
    TfrmMTS_M dlg(this, caption, ADOQuery1.value(QStringLiteral("ID")), ADOQuery1.value(QStringLiteral("享受折扣")));
    connect(&dlg, &TfrmMTS_M::saved, this, &TfrmMTS_ZKJF::myRef);
    ui::showModal(&dlg);
}

// ---------------------------------------------------------------- one discount

TfrmMTS_M::TfrmMTS_M(QWidget *parent, const QString &caption, const QString &id, const QString &zk)
    : ui::SaveDialog(parent, caption), myID(id)
{
    GroupBox1 = new QGroupBox(caption, this);
    Edit1 = new QLineEdit(zk, GroupBox1);
    ui::installKeyFilter(Edit1, ui::KeyFilter::Amount);
    auto *grid = new QGridLayout(GroupBox1);
    grid->addWidget(new QLabel(QStringLiteral("享受折扣："), GroupBox1), 0, 0);
    grid->addWidget(Edit1, 0, 1);
    grid->addWidget(ui::note(GroupBox1, QStringLiteral("100 表示不折扣，90 表示 9 折")), 0, 2);
    addContent(GroupBox1);
}

void TfrmMTS_M::BitBtn1Click()
{
    if (!ui::requireText(Edit1, QStringLiteral("享受折扣"))) return;
    if (!ui::requireNumber(Edit1, QStringLiteral("享受折扣"))) return;
    Statement("UPDATE MTS SET theZK = :zk WHERE (ID = :id) ").number("zk", Edit1->text()).number("id", myID).run(db());
    ui::showMessage(windowTitle() + QStringLiteral(" 修改成功！"));
    emit saved();
    accept();
}
