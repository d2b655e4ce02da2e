#include "sales/StockLists.h"

#include "core/Unit1.h"
#include "core/dm.h"
#include "platform/db/sqlbuilder.h"
#include "platform/ui/application.h"
#include "platform/ui/dbgrid.h"
#include "platform/ui/lookupcombo.h"
#include "platform/ui/messages.h"
#include "sales/StockPrint.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>

using sales::StockKind;
using vdb::Statement;
using velmora::ListWhere;

namespace sales {

excel::ExportLayout stockDocumentLayout(StockKind k)
{
    const QString w = kindWord(k);
    const QByteArray window = (k == StockKind::Purchase ? "TfrmJH_M" : "TfrmTH_M");
    const QByteArray caption = (w + QStringLiteral("查询")).toUtf8(), title = (w + QStringLiteral("表")).toUtf8();
    const QByteArray columns =
            QStringLiteral("序号 4,单号 8,%1日期 8,供应商 20,%1数量 8,%1金额 8,付款方式 8,员工姓名 8,"
                           "备注 20,录入人 8,录入日期 8")
                    .arg(w)
                    .toUtf8();
    const QByteArray text = QStringLiteral("单号,%1日期,录入日期").arg(w).toUtf8();
    const QByteArray totals = QStringLiteral("5 %1数量,6 %1金额").arg(w).toUtf8();
    return excel::makeExportLayout(window.constData(), caption.constData(), title.constData(), columns.constData(),
                                   text.constData(), totals.constData());
}

excel::ExportLayout stockLinesLayout(StockKind k)
{
    const QString w = kindWord(k);
    const QByteArray window = (k == StockKind::Purchase ? "TfrmJH_MX" : "TfrmTH_MX");
    const QByteArray caption = (w + QStringLiteral("明细查询")).toUtf8(),
                     title = (w + QStringLiteral("明细表")).toUtf8();
    const QByteArray columns = QStringLiteral("序号 4,单号 8,%1日期 8,供应商 14,商品分类 8,商品编码 10,商品名称 18,"
                                              "单位 6,单价 6,数量 6,金额 8,员工姓名 8,录入人 8")
                                       .arg(w)
                                       .toUtf8();
    const QByteArray text = QStringLiteral("单号,%1日期,商品编码").arg(w).toUtf8();
    return excel::makeExportLayout(window.constData(), caption.constData(), title.constData(), columns.constData(),
                                   text.constData(), "10 数量,11 金额");
}

}  // namespace sales

// ---------------------------------------------------------------- documents

TfrmStockDocs::TfrmStockDocs(StockKind kind, QWidget *parent) : TListFrame(parent), m_kind(kind)
{
    const QString w = sales::kindWord(kind), table = sales::docTable(kind), pay = sales::payColumn(kind);
    setWindowTitle(w + QStringLiteral("查询"));
    velmora::ListSpec s;
    s.select = QStringLiteral(
                       "select theNum as 单号,myDate as %1日期,DName as 供应商,theCount as %1数量,theSum as "
                       "%1金额,%2 as 付款方式,WName AS 员工姓名,Remark as 备注,theUser as 录入人,theDate as 录入日期")
                       .arg(w, pay);
    s.from = "from " + table;
    s.where = QStringLiteral("Where (theDel = '否')");
    s.order = QStringLiteral("order by id desc");
    s.tieBreak = QStringLiteral("id desc");
    s.totals = QStringLiteral("select SUM(theCount) as %1数量,SUM(theSum) as %1金额").arg(w);
    s.countLabel = w + QStringLiteral("数量：");
    s.totalLabels = {{w + QStringLiteral("数量："), w + QStringLiteral("数量")},
                     {w + QStringLiteral("金额："), w + QStringLiteral("金额")}};
    s.widths = {{QStringLiteral("单号"), 90},
                {QStringLiteral("供应商"), 200},
                {w + QStringLiteral("数量"), 60},
                {w + QStringLiteral("金额"), 80},
                {QStringLiteral("备注"), 200}};
    s.exportWindow = kind == StockKind::Purchase ? QStringLiteral("TfrmJH_M") : QStringLiteral("TfrmTH_M");
    setSpec(s);

    Edit1 = textFilter(0, &CheckBox7, QStringLiteral("单        号"), QStringLiteral("theNum"));
    dateFilter(0, &CheckBox1, w + QStringLiteral("日期"), &DateTimePicker1, &DateTimePicker2, QStringLiteral("myDate"));
    Edit2 = textFilter(1, &CheckBox2, QStringLiteral("供  应  商"), QStringLiteral("DName"));
    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComSMType);
    choiceFilter(1, &CheckBox3, QStringLiteral("付款方式"), DBLookupComboBox1, pay);
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(1, &CheckBox6, QStringLiteral("员工姓名"), DBLookupComboBox2, QStringLiteral("WName"));
    DBLookupComboBox3 = velmora::lookupBox(&TfrmDM::DBComUser);
    choiceFilter(2, &CheckBox4, QStringLiteral("录  入  人"), DBLookupComboBox3, QStringLiteral("theUser"));
    Edit3 = textFilter(2, &CheckBox5, QStringLiteral("备        注"), QStringLiteral("Remark"));

    DBGrid2 = new ui::DBGrid(this);
    Splitter1 = splitBelowGrid(DBGrid2);
    connect(this, &TListFrame::currentRowChanged, this, [this] { myList(); });

    J1 = PopupMenu1->addAction(QStringLiteral("打印%1单 &J").arg(w));
    ui::on(J1, &QAction::triggered, this, [this] { J1Click(); });
    PopupMenu1->addSeparator();
    D1 = PopupMenu1->addAction(QStringLiteral("删除 &D"));
    ui::on(D1, &QAction::triggered, this, [this] { D1Click(); });
}

TfrmStockDocs::~TfrmStockDocs()
{
    DBGrid2->setQuery(nullptr);
}

void TfrmStockDocs::myList()
{
    ADOQuery2.setConnection(&db());
    Statement("select theType as 商品分类,SNum as 商品编码,theName as 商品名称,theUnit as 单位,theCB as 单价,"
              "theCount as 数量,theMoney as 金额,SID from " +
              sales::docTable(m_kind) + "_List where theNum=:num order by ID")
            .text("num", field(QStringLiteral("单号")))
            .open(ADOQuery2);
    DBGrid2->setQuery(&ADOQuery2);
    DBGrid2->setColumnWidth(4, 80);
    DBGrid2->setColumnWidth(5, 60);
    DBGrid2->setColumnWidth(6, 100);
    DBGrid2->setColumnHidden(7, true);
}

void TfrmStockDocs::J1Click()
{
    if (currentRow() < 0) return;
    const QString number = field(QStringLiteral("单号"));
    m_kind == StockKind::Purchase ? sales::PrintJH(number) : sales::PrintTH(number);
}

void TfrmStockDocs::D1Click()
{
    if (currentRow() < 0) return;
    if (!ui::ask(QStringLiteral("确认要删除吗？该删除将不可恢复！"), QStringLiteral("删除"), this)) return;
    const QString refusal = sales::deleteStock(db(), m_kind, field(QStringLiteral("单号")));
    if (!refusal.isEmpty()) ui::showMessage(refusal, this);
    Ref();
}

// ---------------------------------------------------------------- lines

TfrmStockLines::TfrmStockLines(StockKind kind, QWidget *parent) : TListFrame(parent)
{
    const QString w = sales::kindWord(kind), t = sales::docTable(kind), l = t + "_List";
    setWindowTitle(w + QStringLiteral("明细查询"));
    velmora::ListSpec s;
    s.select = QStringLiteral("select %1.theNum as 单号,myDate as %3日期,DName as 供应商,%2.theType as 商品分类,SNum "
                              "as 商品编码,%2.theName as 商品名称,theUnit as 单位,theCB as 单价,%2.theCount as 数量,"
                              "%2.theMoney as 金额,WName as 员工姓名,theUser as 录入人")
                       .arg(t, l, w);
    s.from = QStringLiteral("from %1 INNER JOIN %2 ON %1.theNum = %2.theNum").arg(t, l);
    s.where = QStringLiteral("Where (%1.theDel = '否')").arg(t);
    s.order = QStringLiteral("order by %1.id desc").arg(l);
    s.tieBreak = QStringLiteral("%1.id desc").arg(l);
    s.totals = QStringLiteral("select SUM(%1.theCount) as 数量,SUM(%1.theMoney) as 金额").arg(l);
    s.countLabel = w + QStringLiteral("数量：");
    s.totalLabels = {{QStringLiteral("数量："), QStringLiteral("数量")},
                     {QStringLiteral("金额："), QStringLiteral("金额")}};
    s.widths = {{QStringLiteral("单号"), 90},      {QStringLiteral("供应商"), 140},   {QStringLiteral("商品分类"), 80},
                {QStringLiteral("商品编码"), 100}, {QStringLiteral("商品名称"), 180}, {QStringLiteral("单位"), 60},
                {QStringLiteral("单价"), 60},      {QStringLiteral("数量"), 60},      {QStringLiteral("金额"), 80}};
    s.exportWindow = kind == StockKind::Purchase ? QStringLiteral("TfrmJH_MX") : QStringLiteral("TfrmTH_MX");
    setSpec(s);

    Edit1 = textFilter(0, &CheckBox3, QStringLiteral("单        号"), t + ".theNum");
    dateFilter(0, &CheckBox1, w + QStringLiteral("日期"), &DateTimePicker1, &DateTimePicker2, QStringLiteral("myDate"));
    Edit2 = textFilter(1, &CheckBox2, QStringLiteral("供  应  商"), QStringLiteral("DName"));
    DBLookupComboBox1 = velmora::lookupBox(&TfrmDM::DBComSType);
    choiceFilter(1, &CheckBox4, QStringLiteral("商品分类"), DBLookupComboBox1, l + ".theType");
    Edit3 = textFilter(1, &CheckBox7, QStringLiteral("商品编码"), QStringLiteral("SNum"));
    Edit4 = editFilter(2, &CheckBox6, QStringLiteral("商品名称"), [l](ListWhere &w, const QString &text) {
        const QString like = QStringLiteral("%") + text + "%";
        w.add(QStringLiteral(" AND (%1.theName Like ? OR %1.thePY Like ?)").arg(l), {like, like});
    });
    DBLookupComboBox2 = velmora::lookupBox(&TfrmDM::DBComSWorker);
    choiceFilter(2, &CheckBox8, QStringLiteral("员工姓名"), DBLookupComboBox2, QStringLiteral("WName"));
    DBLookupComboBox3 = velmora::lookupBox(&TfrmDM::DBComUser);
    choiceFilter(2, &CheckBox5, QStringLiteral("录  入  人"), DBLookupComboBox3, QStringLiteral("theUser"));
}
