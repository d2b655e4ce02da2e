#include "core/dm.h"

#include "core/DateCn.h"
#include "core/Schema.h"
#include "core/ShopRows.h"
#include "report/lyrband.h"
#include "report/lyrclass.h"
#include "report/lyrdbset.h"
#include "report/lyrutils.h"
#include "report/lyrview.h"
#include "reportengine/lyrBarcode.h"
#include "reportengine/lyrengine.h"
#include "reportengine/lyrprint.h"
#include "core/Unit1.h"
#include "platform/ui/lookupcombo.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>

using vdb::sqlNum;
using vdb::sqlText;

TfrmDM::TfrmDM(QObject *parent) : QObject(parent)
{
    if (!frmDM) {
        frmDM = this;
        // Templates name the data module's datasets as "frmDM.<name>".
        setObjectName(QStringLiteral("frmDM"));
        lyrRegisterGlobalComponent(this);
        // Goods labels hold barcode objects: their class must be known
        // before a label template loads.
        lyrRegisterBarcodeView();
        // The shop's documents and labels are prepared by the report engine.
        lyrInstallEngine();
        lyrInstallPrinting();
    }
    makeReports();
}

TfrmDM::~TfrmDM()
{
    if (frmDM == this) {
        lyrUnregisterGlobalComponent(this);
        frmDM = nullptr;
    }
}

vdb::Connection *TfrmDM::ADOConnection1()
{
    if (!m_conn) openDatabase(velmora::databasePath(), true);
    return m_conn.get();
}

void TfrmDM::openDatabase(const QString &path, bool create)
{
    closeDatabase();
    if (create && !QFileInfo::exists(path)) velmora::createDatabase(path, velmora::databaseKey());
    m_conn = vdb::Connection::open(path, velmora::databaseKey());
    // What the program needs is named now, not found at the first query.
    try {
        velmora::checkProgramTables(*m_conn);
    } catch (...) {
        m_conn.reset();
        throw;
    }
    // A database made by an earlier version gets the indexes added since,
    // and its pinyin codes follow the current table.
    velmora::ensureIndexes(*m_conn);
    velmora::upgradePinyinCodes(*m_conn);
}

void TfrmDM::closeDatabase()
{
    for (vdb::Query *q :
         {&ADOQ_Sql,  &ADOQState, &ADOQ_MType, &ADOQ_KC,    &ADOQ_MTS1,  &ADOQ_MCZ,  &ADOQ_BB,   &ADOQ_Num,
          &ADOQ_JH,   &ADOQ_TH,   &ADOQ_XF,    &ADOQ_CZNum, &ADOQ_DHNum, &ADOQ_SP,   &ADOQ_MJF,  &ADOQ_MXF,
          &ADOQ_MUD,  &ADOQ_MUC,  &ADOQ_UP1,   &ADOQ_UP2,   &ADOQ_UP3,   &ADOQ_Unit, &ADOQ_DJ,   &ADOQ_TM,
          &ADOQuery4, &ADOQuery5, &ADOQuery6,  &ADOQuery7,  &ADOQuery8,  &ADOQuery9, &ADOQ_XF_SK}) {
        q->Close();
        q->setConnection(nullptr);
    }
    m_conn.reset();
}

vdb::Query &TfrmDM::bind(vdb::Query &q)
{
    q.setConnection(ADOConnection1());
    q.Close();
    q.ClearSQL();
    return q;
}

// ---------------------------------------------------------------- general

void TfrmDM::myESql(const QString &sql)
{
    bind(ADOQ_Sql).AddSQL(sql);
    ADOQ_Sql.ExecSQL();
    ADOQ_Sql.Close();
}

void TfrmDM::myState(const QString &table, const QString &state, const QString &id)
{
    mySql = QStringLiteral("UPDATE ") + table + " SET theState='" + sqlText(state) + "' WHERE (ID =" + sqlNum(id) + ")";
    bind(ADOQState).AddSQL(mySql);
    ADOQState.ExecSQL();
}

QString TfrmDM::myRetMType(const QString &typeName, const QString &column)
{
    if (column != QLatin1String("theZK") && column != QLatin1String("theJF") && column != QLatin1String("theXF"))
        throw vdb::DbError(QStringLiteral("字段 %1 不存在！").arg(column));
    mySql = QStringLiteral("select ") + column + " from MType " + " where (theName='" + sqlText(typeName) + "')";
    bind(ADOQ_MType).AddSQL(mySql);
    ADOQ_MType.Open();
    return ADOQ_MType.value(column);
}

QString TfrmDM::myRetKC(const QString &category)
{
    mySql = QStringLiteral("Select theKC from SType Where (theName = '") + sqlText(category) + "')";
    bind(ADOQ_KC).AddSQL(mySql);
    ADOQ_KC.Open();
    return ADOQ_KC.RecordCount() == 1 ? ADOQ_KC.value(QStringLiteral("theKC")) : QStringLiteral("是");
}

QString TfrmDM::myRetMTSZKNew(const QString &memberType, const QString &category)
{
    mySql = QStringLiteral("select theZK from MTS Where MType='") + sqlText(memberType) + "' AND SType='" +
            sqlText(category) + "'";
    bind(ADOQ_MTS1).AddSQL(mySql);
    ADOQ_MTS1.Open();
    return ADOQ_MTS1.RecordCount() == 1 ? ADOQ_MTS1.value(QStringLiteral("theZK")) : QStringLiteral("100");
}

double TfrmDM::myRetMCZ(const QString &card)
{
    mySql = QStringLiteral("Select theCZ From Member Where theNum='") + sqlText(card) + "' ";
    bind(ADOQ_MCZ).AddSQL(mySql);
    ADOQ_MCZ.Open();
    return ADOQ_MCZ.RecordCount() == 1 ? ADOQ_MCZ.FieldByName(QStringLiteral("theCZ")).AsFloat() : 0.0;
}

void TfrmDM::mySaveBB(const QString &period, const QStringList &values)
{
    if (values.size() != 15) throw vdb::DbError(QStringLiteral("报表数据不完整！"));
    QStringList checked;
    for (const QString &v : values) checked << sqlNum(v);
    mySql = QStringLiteral("insert into UBB(theDate,XF_C,XF_M,XF_XJ,XF_HY,XF_CB,XF_LR,CZ_C,CZ_M,CZ_Z,DH_C,DH_M,"
                           "JH_C,JH_M,TH_C,TH_M) Values('") +
            sqlText(period) + "'," + checked.join(QLatin1Char(',')) + ")";
    bind(ADOQ_BB).AddSQL(mySql);
    ADOQ_BB.ExecSQL();
}

// ---------------------------------------------------------------- lookup fillers

void TfrmDM::fill(QStringListModel &model, ui::LookupComboBox *box, const QString &sql)
{
    mySql = sql;
    vdb::Query q(ADOConnection1());
    q.OpenSql(mySql);
    QStringList names;
    names.reserve(q.RecordCount());
    for (q.First(); !q.Eof(); q.Next()) names << q.value(QStringLiteral("theName"));
    model.setStringList(names);
    if (box && box->model() != &model) box->setListModel(&model);
}

void TfrmDM::DBComSMType(ui::LookupComboBox *box)
{
    fill(DataSource12, box, QStringLiteral("select theName") + " from SMType " + " Where theState='启用'");
}

void TfrmDM::DBComSWorker(ui::LookupComboBox *box)
{
    fill(DataSource11, box, QStringLiteral("select theName") + " from SWorker " + " Where theState='启用'");
}

void TfrmDM::DBComSType(ui::LookupComboBox *box)
{
    fill(DataSource1, box, QStringLiteral("select theName") + " from SType " + " Where theState='启用'");
}

void TfrmDM::DBComMType(ui::LookupComboBox *box)
{
    fill(DataSource2, box, QStringLiteral("select theName") + " from MType" + " Where theState='启用'");
}

void TfrmDM::DBComUser(ui::LookupComboBox *box)
{
    fill(DataSource3, box, QStringLiteral("select theName") + " from SUser" + " Where theState='启用'");
}

void TfrmDM::DBComSex(ui::LookupComboBox *box)
{
    fill(DataSource10, box, QStringLiteral("select theName") + " from SSex");
}

// ---------------------------------------------------------------- numbering

static QDate businessDate()
{
    QDate d = QDate::fromString(myLoginDate, velmora::kDateFormat);
    if (!d.isValid()) throw vdb::DbError(QStringLiteral("营业日期 “%1” 无效！").arg(myLoginDate));
    return d;
}

static QString padded(qint64 n, int width)
{
    QString s = QString::number(n);
    return s.size() >= width ? s : QString(width - s.size(), QLatin1Char('0')) + s;
}

QString TfrmDM::docNumber(vdb::Query &q, const QString &table)
{
    return velmora::newDocNumber(*bind(q).connection(), table, myLoginDate);
}

QString TfrmDM::NewXFNum()
{
    return docNumber(ADOQ_XF, QStringLiteral("UXF"));
}
QString TfrmDM::NewCZNum()
{
    return docNumber(ADOQ_CZNum, QStringLiteral("UCZ"));
}
QString TfrmDM::NewDHNum()
{
    return docNumber(ADOQ_DHNum, QStringLiteral("UDH"));
}
QString TfrmDM::NewJHNum()
{
    return docNumber(ADOQ_JH, QStringLiteral("UJH"));
}
QString TfrmDM::NewTHNum()
{
    return docNumber(ADOQ_TH, QStringLiteral("UTH"));
}
QString TfrmDM::NewSPNum()
{
    return docNumber(ADOQ_SP, QStringLiteral("SShop"));
}

QString TfrmDM::NewMNum()
{
    const QDate d = businessDate();
    mySql = QStringLiteral("select count(*) as n from Member ") + " where (left(theDate,4)='" +
            d.toString(QStringLiteral("yyyy")) + "')";
    bind(ADOQ_Num).AddSQL(mySql);
    ADOQ_Num.Open();
    qint64 n = ADOQ_Num.FieldByName(QStringLiteral("n")).AsInteger() + 1;
    // A card typed by hand or imported may hold the number the count gives.
    return velmora::freeNumber(*ADOConnection1(), QStringLiteral("Member"),
                               d.toString(QStringLiteral("yy")) + padded(n, 6), 2);
}

// ---------------------------------------------------------------- counters

// Only the live member with that card: a card number of a deleted member may
// have been given again, and the old row must keep its totals.
void TfrmDM::memberAdd(vdb::Query &q, const QString &column, const QString &card, const QString &change)
{
    // Rounded as the MONEY columns hold it: 0.1 + 0.2 - 0.3 leaves 0, not 5.55e-17.
    mySql = QStringLiteral("UPDATE Member SET ") + column + "=Round(" + column + "+" + sqlNum(change) +
            ",4) WHERE (theNum ='" + sqlText(card) + "') AND (theDel='否')";
    bind(q).AddSQL(mySql);
    q.ExecSQL();
}

void TfrmDM::myMemberJF(const QString &card, const QString &change)
{
    memberAdd(ADOQ_MJF, QStringLiteral("theJF"), card, change);
}
void TfrmDM::myMemberXF(const QString &card, const QString &change)
{
    memberAdd(ADOQ_MXF, QStringLiteral("theXF"), card, change);
}
void TfrmDM::myMemberCZ(const QString &card, const QString &change)
{
    memberAdd(ADOQ_MCZ, QStringLiteral("theCZ"), card, change);
}
void TfrmDM::myMemberUC(const QString &card, const QString &change)
{
    memberAdd(ADOQ_MUC, QStringLiteral("UseCount"), card, change);
}

void TfrmDM::myMemberUD(const QString &card)
{
    mySql = QStringLiteral("UPDATE Member SET UseDate='") + sqlText(myLoginDate) + "' WHERE (theNum ='" +
            sqlText(card) + "') AND (theDel='否')";
    bind(ADOQ_MUD).AddSQL(mySql);
    ADOQ_MUD.ExecSQL();
}

void TfrmDM::myMemberUP(const QString &card)
{
    velmora::upgradeMemberType(*ADOConnection1(), card);
}

void TfrmDM::myKC(const QString &goodsId, const QString &change)
{
    const QString id = sqlNum(goodsId);
    const QString delta = sqlNum(change);
    mySql = QStringLiteral("Select theKC from SShop Where (ID = ") + id + ")";
    bind(ADOQ_KC).AddSQL(mySql);
    ADOQ_KC.Open();
    if (ADOQ_KC.value(QStringLiteral("theKC")) != QStringLiteral("是")) return;
    mySql = QStringLiteral("Update SShop Set theCount = theCount + ") + delta + " Where (ID = " + id + ")";
    bind(ADOQ_KC).AddSQL(mySql);
    ADOQ_KC.ExecSQL();
}

void TfrmDM::myXF(const QString &goodsId, const QString &change)
{
    mySql = QStringLiteral("Update SShop Set theXF = theXF + ") + sqlNum(change) + " Where (ID = " + sqlNum(goodsId) +
            ")";
    myESql(mySql);
}

// ---------------------------------------------------------------- printed documents

namespace {

TlyrDBDataset *reportDataset(QObject *owner, const char *name, const char *userName, vdb::Query &q)
{
    auto *ds = new TlyrDBDataset(owner);
    ds->SetName(QLatin1String(name));
    ds->SetUserName(QLatin1String(userName));
    ds->SetCloseDataSource(false);
    ds->SetDataSet(&q);
    return ds;
}

}  // namespace

void TfrmDM::makeReports()
{
    lyrDB_Unit = reportDataset(this, "lyrDB_Unit", "lyrDB_Unit", ADOQ_Unit);
    lyrDBD_DJ = reportDataset(this, "lyrDBD_DJ", "lyrDB_DJ", ADOQ_DJ);
    lyrDB_TM = reportDataset(this, "lyrDB_TM", "lyrDB_TM", ADOQ_TM);
    lyrDB_XF = reportDataset(this, "lyrDB_XF", "lyrDB_XF", ADOQuery4);
    lyrDBD_XF_M = reportDataset(this, "lyrDBD_XF_M", "lyrDB_XF_M", ADOQuery5);
    lyrDB_XF_SK = reportDataset(this, "lyrDB_XF_SK", "lyrDB_XF_SK", ADOQ_XF_SK);
    lyrDBD_JH = reportDataset(this, "lyrDBD_JH", "lyrDB_JH", ADOQuery6);
    lyrDBD_JH_M = reportDataset(this, "lyrDBD_JH_M", "lyrDB_JH_M", ADOQuery7);
    lyrDBD_TH = reportDataset(this, "lyrDBD_TH", "lyrDB_TH", ADOQuery8);
    lyrDBD_TH_M = reportDataset(this, "lyrDBD_TH_M", "lyrDB_TH_M", ADOQuery9);

    QHash<QString, TlyrDataSet *> own;
    for (TlyrDBDataset *ds : {lyrDB_Unit, lyrDBD_DJ, lyrDB_TM, lyrDB_XF, lyrDBD_XF_M, lyrDB_XF_SK, lyrDBD_JH,
                              lyrDBD_JH_M, lyrDBD_TH, lyrDBD_TH_M})
        own.insert(ds->objectName(), ds);

    auto load = [&](const char *name, const char *file) {
        auto *r = new TlyrReport(this);
        r->SetName(QLatin1String(name));
        const QString path = QStringLiteral(":/reports/") + QLatin1String(file);
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) throw velmora::Error(QStringLiteral("报表模板 %1 无法读取！").arg(path));
        r->LoadFromStream(f);
        if (!r->Errors().isEmpty())
            throw velmora::Error(QStringLiteral("报表模板 %1 有错误！").arg(path), r->Errors().join(u'\n'));
        // Templates name the datasets of the program; with a second data
        // module alive (tests) they must be this module's own.
        auto mine = [&](TlyrDataSet *ds) { return ds ? own.value(ds->objectName(), ds) : ds; };
        for (int i = 0; i < r->Datasets()->Count(); ++i)
            if (TlyrDataSetItem *it = r->Datasets()->Items(i); it->DataSet()) it->SetDataSet(mine(it->DataSet()));
        for (TlyrComponent *c : r->AllObjects()) {
            if (auto *band = qobject_cast<TlyrDataBand *>(c); band && band->DataSet())
                band->SetDataSet(mine(band->DataSet()));
            if (auto *view = qobject_cast<TlyrView *>(c); view && view->DataSet())
                view->SetDataSet(mine(view->DataSet()));
        }
        // Build errors reach the routine's caller (a saved document says so).
        r->EngineOptions()->SetNewSilentMode(simReThrow);
        return r;
    };
    lyrR_XF = load("lyrR_XF", "xf.xml");
    lyrR_JH = load("lyrR_JH", "jh.xml");
    lyrR_TH = load("lyrR_TH", "th.xml");
    lyrR_TM = load("lyrR_TM", "tm.xml");
}

void TfrmDM::openReportQuery(vdb::Query &q, const QString &sql)
{
    mySql = sql;
    bind(q).AddSQL(mySql);
    q.Open();
}

// Built before the preview opens, not on the report's timer: a failure then
// reaches the caller, whose document is already saved.  The build shows the
// progress window with Cancel (labels of every goods item take long); a
// cancelled build opens no preview.
void TfrmDM::ShowReport(TlyrReport *report)
{
    const bool oldStyle = report->OldStyleProgress();
    report->SetOldStyleProgress(true);
    bool built = false;
    {
        const auto restore = qScopeGuard([&] { report->SetOldStyleProgress(oldStyle); });
        built = report->PrepareReport(true) && !report->Terminated();
    }
    if (built) report->ShowPreparedReport();
}

void TfrmDM::PrintUnit()
{
    openReportQuery(ADOQ_Unit, QStringLiteral("select * from SDept"));
}

void TfrmDM::PrintDJ(const QString &id)
{
    openReportQuery(ADOQ_DJ, QStringLiteral("select * from SDJ WHERE (ID = ") + sqlNum(id) + ")");
}

void TfrmDM::printDocument(TlyrReport *report, const QString &kind, const QString &number, vdb::Query &head,
                           const QString &headTable, vdb::Query &lines, const QString &fileName)
{
    PrintUnit();
    PrintDJ(kind);
    const QString where = QStringLiteral(" Where (theNum='") + sqlText(number) + "') ";
    openReportQuery(head, QStringLiteral("select * from ") + headTable + where);
    openReportQuery(lines, QStringLiteral("select * from ") + headTable + "_List" + where);
    if (report == lyrR_XF) openReportQuery(ADOQ_XF_SK, QStringLiteral("select * from UXF_SK ") + where);
    report->FileName = fileName;
    ShowReport(report);
}

void TfrmDM::PrintXF(const QString &number)
{
    printDocument(lyrR_XF, QStringLiteral("1"), number, ADOQuery4, QStringLiteral("UXF"), ADOQuery5,
                  QStringLiteral("Print/xf.yl3"));
}

void TfrmDM::PrintJH(const QString &number)
{
    printDocument(lyrR_JH, QStringLiteral("4"), number, ADOQuery6, QStringLiteral("UJH"), ADOQuery7,
                  QStringLiteral("Print/jh.yl3"));
}

void TfrmDM::PrintTH(const QString &number)
{
    printDocument(lyrR_TH, QStringLiteral("5"), number, ADOQuery8, QStringLiteral("UTH"), ADOQuery9,
                  QStringLiteral("Print/th.yl3"));
}

void TfrmDM::PrintTM(const QString &where)
{
    // Only a list's own condition: nothing, or pieces that start with AND.
    const QString trimmed = where.trimmed();
    if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1String("AND "), Qt::CaseInsensitive) &&
        !trimmed.startsWith(QLatin1String("AND("), Qt::CaseInsensitive))
        throw vdb::DbError(QStringLiteral("条码打印的条件无效！"), where);
    openReportQuery(ADOQ_TM, QStringLiteral("select * from  SShop") + " Where (theDel='否') " + where);
    lyrR_TM->FileName = QStringLiteral("Print/tm.yl3");
    ShowReport(lyrR_TM);
}

QString TfrmDM::myNL5(const QString &date) const
{
    return ::myNL5(date);
}
