#include "sales/GYS.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"
#include "sales/StockStore.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using velmora::ListWhere;

// ---------------------------------------------------------------- TfrmGYS_M

TfrmGYS_M::TfrmGYS_M(QWidget *parent) : TListFrame(parent)
{
    frmGYS_M = this;
    setWindowTitle(QStringLiteral("供应商查询"));
    velmora::ListSpec s;
    s.select = QStringLiteral("select theName as 供应商,thePro as 联系人,thePhone as 联系电话,theAdd as 联系地址,"
                              "Remark as 备注,thePY,ID");
    s.from = QStringLiteral("from SSup");
    s.where = QStringLiteral("Where (theDel='否')");
    s.tieBreak = QStringLiteral("ID");
    s.countLabel = QStringLiteral("供应商数量：");
    s.widths = {{QStringLiteral("供应商"), 200}, {QStringLiteral("联系电话"), 120}, {QStringLiteral("联系地址"), 200}};
    s.hidden = {QStringLiteral("thePY"), QStringLiteral("ID")};
    s.exportWindow = QStringLiteral("TfrmGYS_M");
    setSpec(s);

    // The name contains the text, or the pinyin code begins with it.
    Edit1 = editFilter(0, &CheckBox1, QStringLiteral("供  应  商"), [](ListWhere &w, const QString &text) {
        w.nameOrCode(QStringLiteral("theName"), QStringLiteral("thePY"), text);
    });
    Edit2 = textFilter(0, &CheckBox2, QStringLiteral("联  系  人"), QStringLiteral("thePro"));
    Edit3 = textFilter(0, &CheckBox3, QStringLiteral("联系电话"), QStringLiteral("thePhone"));
    Edit4 = textFilter(1, &CheckBox4, QStringLiteral("联系地址"), QStringLiteral("theAdd"));
    Edit5 = textFilter(1, &CheckBox5, QStringLiteral("备        注"), QStringLiteral("Remark"));

    D1 = PopupMenu1->addAction(QStringLiteral("修改 &M"));
    ui::on(D1, &QAction::triggered, this, [this] { D1Click(); });
    D2 = PopupMenu1->addAction(QStringLiteral("注销 &D"));
    ui::on(D2, &QAction::triggered, this, [this] { D2Click(); });
    connect(DBGrid1, &QTableView::doubleClicked, this, [this] { ui::guarded([this] { D1Click(); }); });
}

TfrmGYS_M::~TfrmGYS_M()
{
    if (frmGYS_M == this) frmGYS_M = nullptr;
}

void TfrmGYS_M::D1Click()
{
    if (currentRow() < 0) return;
    TfrmGYS_In w(this);
    w.myLoad(field(QStringLiteral("ID")),
             {field(QStringLiteral("供应商")), field(QStringLiteral("联系人")), field(QStringLiteral("联系电话")),
              field(QStringLiteral("联系地址")), field(QStringLiteral("备注"))});
    w.onChanged = [this] { myRef(); };
    ui::showModal(&w);
}

void TfrmGYS_M::D2Click()
{
    if (currentRow() < 0) return;
    if (!ui::ask(QStringLiteral("确认要注销吗？该注销将不可恢复！"), QStringLiteral("删除"), this)) return;
    sales::removeSupplier(db(), field(QStringLiteral("ID")));
    myRef();
}

// ---------------------------------------------------------------- TfrmGYS_In

TfrmGYS_In::TfrmGYS_In(QWidget *parent) : ui::Form(parent)
{
    frmGYS_In = this;
    setWindowTitle(QStringLiteral("供应商录入"));
    Edit1 = ui::lineEdit(this, 50);
    ui::showChineseChars(Edit1, sales::kSupplierNameShown);
    Edit2 = ui::lineEdit(this, 20);
    Edit3 = ui::lineEdit(this, 50);
    Edit4 = ui::lineEdit(this, 50);
    Edit5 = ui::lineEdit(this, 50);
    CheckBox1 = new QCheckBox(QStringLiteral("连续新增"), this);
    CheckBox1->setChecked(true);
    BitBtn1 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("供  应  商："), Edit1);
    form->addRow(QStringLiteral("联  系  人："), Edit2);
    form->addRow(QStringLiteral("联系电话："), Edit3);
    form->addRow(QStringLiteral("联系地址："), Edit4);
    form->addRow(QStringLiteral("备        注："), Edit5);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(form);
    lay->addLayout(ui::buttonRow({CheckBox1, BitBtn1, BitBtn2}));
    // Wide enough for a company's full name without "连续新增" beside the buttons.
    setMinimumWidth(380);
    setInitialFocus(Edit1);
}

TfrmGYS_In::~TfrmGYS_In()
{
    if (frmGYS_In == this) frmGYS_In = nullptr;
}

void TfrmGYS_In::myLoad(const QString &id, const QStringList &fields)
{
    myID = id;
    QLineEdit *edits[] = {Edit1, Edit2, Edit3, Edit4, Edit5};
    for (int i = 0; i < 5; ++i) edits[i]->setText(fields.value(i));
    CheckBox1->setChecked(false);
    CheckBox1->setVisible(false);
}

void TfrmGYS_In::BitBtn1Click()
{
    const sales::Supplier s{Edit1->text(), Edit2->text(), Edit3->text(), Edit4->text(), Edit5->text()};
    QString id;
    const QString refusal = sales::saveSupplier(db(), myID, s, &id);
    if (!refusal.isEmpty()) {
        ui::fail(refusal, Edit1);
        return;
    }
    if (CheckBox1->isChecked()) {
        for (QLineEdit *e : {Edit1, Edit2, Edit3, Edit4, Edit5}) e->clear();
        Edit1->setFocus();
        return;
    }
    const bool entry = myTag == QLatin1String("JH") || myTag == QLatin1String("TH");
    if (entry && receiver && myID == QLatin1String("0")) {
        receiver->lookupTaken(SupplierRecord{id, s.name}, ui::LookupOrigin::QuickEntry);
    } else if (!entry) {
        ui::showMessage(QStringLiteral("恭喜！恭喜！ 供应商信息 保存成功！"), this);
        if (myID != QLatin1String("0") && onChanged) onChanged();
    }
    accept();
}

void sales::openGYS_In(QWidget *owner)
{
    TfrmGYS_In w(owner);
    ui::showModal(&w);
}

// ---------------------------------------------------------------- TfrmFindGYS

TfrmFindGYS::TfrmFindGYS(QWidget *parent) : ui::LookupForm(parent)
{
    frmFindGYS = this;
    setWindowTitle(QStringLiteral("供应商查找"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(640, 300);
}

TfrmFindGYS::~TfrmFindGYS()
{
    if (frmFindGYS == this) frmFindGYS = nullptr;
}

void TfrmFindGYS::FormShow()
{
    ADOQuery1.setConnection(&db());
    const QString like = QStringLiteral("%") + myText + "%";
    vdb::Statement("select theName as 单位名称,thePro as 联系人,thePhone as 联系电话,theAdd as  联系地址,"
                   "Remark as 备注,thePY,ID from SSup Where (theDel='否') AND ((theName Like :t) OR (thePY Like :t)) "
                   "ORDER BY theName")
            .text("t", like)
            .open(ADOQuery1);
    DBGrid1->setQuery(&ADOQuery1);
    DBGrid1->setColumnWidth(0, 160);
    DBGrid1->setColumnWidth(2, 100);
    DBGrid1->setColumnWidth(3, 160);
    DBGrid1->setColumnWidth(4, 100);
    for (int c = 5; c < ADOQuery1.FieldCount(); ++c) DBGrid1->setColumnHidden(c, true);
    DBGrid1->setFocus();
}

void TfrmFindGYS::takeRow()
{
    const bool entry = myTag == QLatin1String("JH") || myTag == QLatin1String("TH");
    if (entry && receiver && ADOQuery1.Active() && !ADOQuery1.Eof())
        receiver->lookupTaken(
                SupplierRecord{ADOQuery1.value(QStringLiteral("ID")), ADOQuery1.value(QStringLiteral("单位名称"))},
                ui::LookupOrigin::Lookup);
    accept();
}
