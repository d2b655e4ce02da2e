#include "sales/StockIn.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "core/receipts.h"
#include "platform/db/sqlbuilder.h"
#include "platform/print/textprinter.h"
#include "platform/ui/application.h"
#include "platform/ui/checks.h"
#include "platform/ui/datepicker.h"
#include "platform/ui/messages.h"
#include "platform/ui/modal.h"
#include "platform/ui/widgets.h"
#include "sales/FindShop.h"
#include "sales/Shop_In.h"
#include "sales/StockPrint.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

using sales::StockKind;

namespace {
const int kRows = 100;
// The number column a little wider than the original 30 so that "@ 99" shows whole.
const int kWidths[] = {40, 100, 200, 60, 80, 80, 100};
const char *const kHeaders[] = {"序号", "商品编码", "商品名称", "单位", "单价", "数量", "金额"};
}  // namespace

TfrmStockIn::TfrmStockIn(StockKind kind, QWidget *parent) : ui::Form(parent), m_kind(kind)
{
    const QString word = sales::kindWord(kind);
    setWindowTitle(word + QStringLiteral("录入"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    resize(750, 410);

    auto *supplierBox = new QGroupBox(QStringLiteral("供应商信息"), this);
    auto *top = new QHBoxLayout(supplierBox);
    Edit1 = ui::lineEdit(supplierBox, 50);
    ui::showChineseChars(Edit1, sales::kSupplierNameShown);
    ui::onDoubleClick(Edit1, [this] { myFindGYS(); });
    top->addWidget(new QLabel(QStringLiteral("供  应  商："), supplierBox));
    top->addWidget(Edit1);
    top->addWidget(new QLabel(QStringLiteral("录入供应商拼音首字母按回车或鼠标双击 ..."), supplierBox));
    top->addStretch();

    auto *goodsBox = new QGroupBox(QStringLiteral("商品信息"), this);
    auto *goods = new QVBoxLayout(goodsBox);
    StringGrid1 = new StringGrid(kRows, cColumns, goodsBox);
    for (int c = cID; c < cColumns; ++c) StringGrid1->setColumnHidden(c, true);
    StringGrid1->setRowHidden(0, true);  // row 0 is the title row; the header shows the titles
    StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    StringGrid1->setToolTip(QStringLiteral("在商品编码处录入商品名称首字母按回车或鼠标双击"));
    goods->addWidget(StringGrid1);
    D1 = ui::menuItem(this, QStringLiteral("删除本行 &D"), [this] { D1Click(); });
    A1 = ui::menuItem(this, QStringLiteral("全部删除 &A"), [this] { A1Click(); });
    PopupMenu1 = ui::popupMenu(StringGrid1, this, {D1, A1});
    StringGrid1->onKeyPress = [this](QChar &k) { StringGrid1KeyPress(k); };
    StringGrid1->onKeyUp = [this] { StringGrid1KeyUp(); };
    StringGrid1->onEditDone = [this] { mySumMoney(); };
    StringGrid1->onDblClick = [this] { myFindSP(); };

    auto *payBox = new QGroupBox(QStringLiteral("付款信息"), this);
    auto *pay = new QGridLayout(payBox);
    DateTimePicker1 = new ui::DatePicker(payBox);
    Edit2 = ui::lineEdit(payBox);
    Edit2->setReadOnly(true);
    Edit3 = ui::lineEdit(payBox);
    Edit3->setReadOnly(true);
    DBLookupComboBox1 = new ui::LookupComboBox(payBox);
    DBLookupComboBox2 = new ui::LookupComboBox(payBox);
    Edit4 = ui::lineEdit(payBox, 50);
    auto cell = [pay, payBox](int r, int c, const QString &caption, QWidget *w) {
        pay->addWidget(new QLabel(caption, payBox), r, c * 2, Qt::AlignRight);
        pay->addWidget(w, r, c * 2 + 1);
    };
    cell(0, 0, word + QStringLiteral("日期："), DateTimePicker1);
    cell(0, 1, QStringLiteral("合计数量："), Edit2);
    cell(0, 2, QStringLiteral("合计金额："), Edit3);
    cell(1, 0, QStringLiteral("付款方式："), DBLookupComboBox1);
    cell(1, 1, QStringLiteral("员工姓名："), DBLookupComboBox2);
    cell(1, 2, QStringLiteral("备        注："), Edit4);

    CheckBox1 = new QCheckBox(QStringLiteral("连续新增"), this);
    CheckBox1->setChecked(true);
    BitBtn1 = ui::button(this, QStringLiteral("保存"), [this] { BitBtn1Click(); });
    BitBtn2 = ui::button(this, QStringLiteral("退出"), [this] { reject(); });

    auto *main = new QVBoxLayout(this);
    main->addWidget(supplierBox);
    main->addWidget(goodsBox, 1);
    main->addWidget(payBox);
    main->addLayout(ui::buttonRow({CheckBox1, BitBtn1, BitBtn2}));

    ui::on(Edit1, &QLineEdit::returnPressed, this, [this] { myFindGYS(); });
    ui::on(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });

    // FormCreate
    frmDM->DBComSMType(DBLookupComboBox1);
    frmDM->DBComSWorker(DBLookupComboBox2);
    DateTimePicker1->setDate(QDate::fromString(myLoginDate, velmora::kDateFormat));
    setInitialFocus(Edit1);
    myNew();
}

TfrmStockIn::~TfrmStockIn()
{
    StringGrid1->releaseHooks();
}

QString TfrmStockIn::tag() const
{
    return m_kind == StockKind::Purchase ? QStringLiteral("JH") : QStringLiteral("TH");
}

void TfrmStockIn::myNew()
{
    StringGrid1->setHeadings(kHeaders, kWidths);
    myDelStr();
    StringGrid1->moveTo(cCode, 1);
    Edit1->clear();
    myDID.clear();
    myDName.clear();
    Edit2->setText(QStringLiteral("0"));
    Edit3->setText(QStringLiteral("0"));
    Edit4->clear();
    DBLookupComboBox1->setText(myDeptSMType);
    DBLookupComboBox2->setText(myDeptSKR);
}

void TfrmStockIn::myDelStr()
{
    StringGrid1->clearLines();
}

void TfrmStockIn::Edit1Change()
{
    if (!Edit1->text().isEmpty()) return;
    myDID.clear();
    myDName.clear();
    myDelStr();
}

void TfrmStockIn::myFindGYS()
{
    myDelStr();
    const QString like = QStringLiteral("%") + Edit1->text() + "%";
    vdb::Query q(&db());
    vdb::Statement("select theName as 单位名称,ID from SSup Where (theDel='否') AND ((theName Like :t) OR "
                   "(thePY Like :t))")
            .text("t", like)
            .open(q);
    const int found = q.RecordCount();
    if (found == 1) {
        lookupTaken(SupplierRecord{q.value(QStringLiteral("ID")), q.value(QStringLiteral("单位名称"))},
                    ui::LookupOrigin::Search);
        return;
    }
    if (found == 0) {
        TfrmGYS_In w(this);
        w.myTag = tag();
        w.receiver = this;
        w.CheckBox1->setChecked(false);
        w.CheckBox1->setVisible(false);
        ui::showModal(&w);
        return;
    }
    // Several: the lookup lists every supplier.
    Edit1->clear();
    Edit2->setText(QStringLiteral("0"));
    Edit3->setText(QStringLiteral("0"));
    Edit4->clear();
    Edit1->setFocus();
    TfrmFindGYS w(this);
    w.myTag = tag();
    w.myText = Edit1->text();
    w.receiver = this;
    ui::showModal(&w);
}

void TfrmStockIn::lookupTaken(const SupplierRecord &s, ui::LookupOrigin)
{
    myDID = s.id;
    myDName = s.name;
    Edit1->setText(s.name);
    StringGrid1->setFocus();
}

void TfrmStockIn::myFindSP()
{
    const int row = StringGrid1->Row();
    if (row < 1 || !StringGrid1->Cells(cType, row).isEmpty()) return;
    StringGrid1->endEdit();
    const QStringList ids = StringGrid1->filledNumbers(cID);
    const QString code = vdb::sqlText(StringGrid1->Cells(cCode, row).trimmed());

    TfrmFindShop dlg(this);
    dlg.receiver = this;
    dlg.setWindowTitle(QStringLiteral("商品查找"));
    mySql = TfrmFindShop::searchSql(QStringLiteral("theCB"), code, ids, QStringLiteral(" AND (theKC='是')"));
    if (!dlg.openSearch(&db(), mySql)) {
        TfrmNewShop quick(this);
        quick.receiver = this;
        ui::showModal(&quick);
    }
}

void TfrmStockIn::lookupTaken(const GoodsRecord &g, ui::LookupOrigin origin)
{
    const int row = StringGrid1->Row();
    if (row < 1) return;
    StringGrid1->endEdit();
    // The quick entry hands the sale price; a purchase is priced at cost.
    const QString price = origin == ui::LookupOrigin::QuickEntry ? g.cost : g.price;
    auto set = [&](int c, const QString &t) { StringGrid1->setCells(c, row, t); };
    set(cCode, g.code);
    set(cName, g.name);
    set(cUnit, g.unit);
    set(cPrice, price);
    set(cCount, QStringLiteral("1"));
    set(cMoney, price);
    set(cID, g.id);
    set(cType, g.category);
    set(cPY, g.py);
    set(cKC, g.kc);
    StringGrid1->setFocus();
    mySumMoney();
}

void TfrmStockIn::StringGrid1KeyPress(QChar &key)
{
    using R = StringGrid::CellRule;
    static const R rules[] = {R::Any, R::Search, R::Fixed, R::Fixed, R::Decimal, R::Decimal, R::Fixed};
    StringGrid1->goodsKey(key, rules, cID, [this] { myFindSP(); }, {cCode, cPrice, cCount});
}

void TfrmStockIn::StringGrid1KeyUp()
{
    const int row = StringGrid1->Row();
    if (row < 1) return;
    auto cell = [&](int c) { return StringGrid1->Cells(c, row); };
    if (!cell(cPrice).isEmpty() && !cell(cCount).isEmpty() && hasGoods(row)) {
        // A cell that is not a number yet ("1..") leaves no amount; the save names the row.
        sales::Money amount;
        StringGrid1->setCells(cMoney, row,
                              sales::stockAmount(cell(cPrice), cell(cCount), &amount) ? amount.toString() : QString());
    }
    if (cell(cCode).isEmpty()) StringGrid1->clearLine(row);
    mySumMoney();
}

void TfrmStockIn::mySumMoney()
{
    sales::Money count, money;
    for (int r = 1; r < kRows; ++r) {
        const QString q = StringGrid1->Cells(cCount, r), m = StringGrid1->Cells(cMoney, r);
        sales::Money nq, nm;
        if (!hasGoods(r) || q.isEmpty() || m.isEmpty()) continue;
        if (!sales::Money::parse(q, &nq) || !sales::Money::parse(m, &nm)) continue;
        count += nq;
        money += nm;
    }
    Edit2->setText(count.toString());
    Edit3->setText(money.toString());
}

void TfrmStockIn::D1Click()
{
    const int row = StringGrid1->Row();
    if (row < 1) return;
    StringGrid1->endEdit();
    StringGrid1->clearLine(row);
    mySumMoney();
}

void TfrmStockIn::A1Click()
{
    myDelStr();
    mySumMoney();
}

sales::StockDraft TfrmStockIn::draft() const
{
    sales::StockDraft d;
    d.kind = m_kind;
    d.supplierText = Edit1->text();
    d.supplierId = myDID;
    d.supplier = myDName;
    for (int r = 1; r < kRows; ++r) {
        if (!hasGoods(r)) continue;
        auto cell = [&](int c) { return StringGrid1->Cells(c, r); };
        d.lines.push_back({r, cell(cCode), cell(cName), cell(cUnit), cell(cType), cell(cPY), cell(cID), cell(cPrice),
                           cell(cCount)});
    }
    d.payment = DBLookupComboBox1->Text();
    d.worker = DBLookupComboBox2->Text();
    d.remark = Edit4->text();
    d.docDate = DateTimePicker1->date().toString(velmora::kDateFormat);
    d.businessDate = myLoginDate;
    d.user = myUser;
    return d;
}

void TfrmStockIn::BitBtn1Click()
{
    StringGrid1->endEdit();
    const sales::StockResult saved = sales::saveStock(db(), draft());
    if (const sales::StockRefusal &r = saved.refusal) {
        using F = sales::StockField;
        QWidget *focus = DBLookupComboBox2;
        if (r.field == F::Supplier) focus = Edit1;
        if (r.field == F::Goods) focus = StringGrid1;
        if (r.field == F::Payment) focus = DBLookupComboBox1;
        if (r.row > 0) StringGrid1->moveTo(r.column, r.row);
        ui::fail(r.message, focus);
        return;
    }
    m_lastNumber = saved.number;
    const bool purchase = m_kind == StockKind::Purchase;
    // The document is stored: a printer problem is told, and the window
    // still moves on so that a second "保存" cannot store it again.
    if (velmora::isOn(purchase ? myDeptPJH : myDeptPTH)) {
        const QString saidSaved =
                sales::kindWord(m_kind) + QStringLiteral("单 %1 已保存，但没有打印：\n%2").arg(saved.number);
        velmora::printAfterSave(saidSaved,
                                [&] { purchase ? sales::PrintJH(saved.number) : sales::PrintTH(saved.number); });
    }
    if (CheckBox1->isChecked()) {
        myNew();
        Edit1->setFocus();
    } else {
        ui::showMessage(QStringLiteral("恭喜！恭喜！ ") + sales::kindWord(m_kind) + QStringLiteral("录入 保存成功！"),
                        this);
        accept();
    }
}

TfrmJH_In::TfrmJH_In(QWidget *parent) : TfrmStockIn(StockKind::Purchase, parent)
{
    frmJH_In = this;
}

TfrmJH_In::~TfrmJH_In()
{
    if (frmJH_In == this) frmJH_In = nullptr;
}

TfrmTH_In::TfrmTH_In(QWidget *parent) : TfrmStockIn(StockKind::Return, parent)
{
    frmTH_In = this;
}

TfrmTH_In::~TfrmTH_In()
{
    if (frmTH_In == this) frmTH_In = nullptr;
}

void sales::openJH_In(QWidget *owner)
{
    TfrmJH_In w(owner);
    ui::showModal(&w);
}

void sales::openTH_In(QWidget *owner)
{
    TfrmTH_In w(owner);
    ui::showModal(&w);
}
