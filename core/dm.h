#pragma once
// The data module: owner of the one database connection and of the business
// routines that every window shares (lookups, numbering, member and stock
// counters, report rows).

#include "platform/db/db.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QStringListModel>
#include <memory>

namespace ui {
class LookupComboBox;
}

class TlyrReport;
class TlyrDBDataset;

class TfrmDM : public QObject {
    Q_OBJECT
public:
    explicit TfrmDM(QObject *parent = nullptr);
    ~TfrmDM() override;

    // The connection, opened on first use from velmora::databasePath().
    vdb::Connection *ADOConnection1();
    // Opens (or replaces) the connection on a given file; creates it with
    // the seed rows first when it does not exist and create is true.
    void openDatabase(const QString &path, bool create = true);
    void closeDatabase();
    bool isOpen() const { return bool(m_conn); }

    // General routines.
    void myESql(const QString &sql);
    void myState(const QString &table, const QString &state, const QString &id);
    QString myRetMType(const QString &typeName, const QString &column);
    QString myRetKC(const QString &category);
    QString myRetMTSZKNew(const QString &memberType, const QString &category);
    double myRetMCZ(const QString &card);
    // period, then XF_C XF_M XF_XJ XF_HY XF_CB XF_LR CZ_C CZ_M CZ_Z DH_C DH_M JH_C JH_M TH_C TH_M.
    void mySaveBB(const QString &period, const QStringList &values);

    // Lookup fillers: one shared list per filler, refreshed for every box bound to it.
    void DBComSMType(ui::LookupComboBox *box);
    void DBComSWorker(ui::LookupComboBox *box);
    void DBComSType(ui::LookupComboBox *box);
    void DBComMType(ui::LookupComboBox *box);
    void DBComUser(ui::LookupComboBox *box);
    void DBComSex(ui::LookupComboBox *box);

    // Numbering from the business date.
    QString NewXFNum();
    QString NewCZNum();
    QString NewDHNum();
    QString NewJHNum();
    QString NewTHNum();
    QString NewSPNum();
    QString NewMNum();

    // Member and stock counters; changes are signed numbers as text.
    void myMemberJF(const QString &card, const QString &change);
    void myMemberXF(const QString &card, const QString &change);
    void myMemberCZ(const QString &card, const QString &change);
    void myMemberUC(const QString &card, const QString &change);
    void myMemberUD(const QString &card);
    void myMemberUP(const QString &card);
    void myKC(const QString &goodsId, const QString &change);
    void myXF(const QString &goodsId, const QString &change);

    // Printed documents and labels: each opens the queries behind its
    // template's datasets and shows the report in the preview.  Numbers and
    // the label condition are checked and quoted before they reach SQL.
    void PrintUnit();
    void PrintDJ(const QString &id);
    void PrintXF(const QString &number);
    void PrintJH(const QString &number);
    void PrintTH(const QString &number);
    // Labels of the live goods; `where` is a list's condition (" AND ..." or empty).
    void PrintTM(const QString &where);

    // Lunar month and day "MM-DD" of a "yyyy-mm-dd" date ("" outside the table).
    QString myNL5(const QString &date) const;

    // The routines' own queries, public as the windows' tests read them.
    vdb::Query ADOQ_Sql, ADOQState, ADOQ_MType, ADOQ_KC, ADOQ_MTS1, ADOQ_MCZ, ADOQ_BB;
    vdb::Query ADOQ_Num, ADOQ_JH, ADOQ_TH, ADOQ_XF, ADOQ_CZNum, ADOQ_DHNum, ADOQ_SP;
    vdb::Query ADOQ_MJF, ADOQ_MXF, ADOQ_MUD, ADOQ_MUC, ADOQ_UP1, ADOQ_UP2, ADOQ_UP3;
    // Behind the report datasets of the printed documents.
    vdb::Query ADOQ_Unit, ADOQ_DJ, ADOQ_TM, ADOQuery4, ADOQuery5, ADOQuery6, ADOQuery7, ADOQuery8, ADOQuery9,
            ADOQ_XF_SK;
    TlyrDBDataset *lyrDB_Unit, *lyrDBD_DJ, *lyrDB_TM, *lyrDB_XF, *lyrDBD_XF_M, *lyrDB_XF_SK, *lyrDBD_JH, *lyrDBD_JH_M,
            *lyrDBD_TH, *lyrDBD_TH_M;
    // The four templates, loaded from the program's resources.
    TlyrReport *lyrR_XF, *lyrR_JH, *lyrR_TH, *lyrR_TM;
    QStringListModel DataSource1, DataSource2, DataSource3, DataSource10, DataSource11, DataSource12;

private:
    vdb::Query &bind(vdb::Query &q);
    void fill(QStringListModel &model, ui::LookupComboBox *box, const QString &sql);
    QString docNumber(vdb::Query &q, const QString &table);
    void makeReports();
    void openReportQuery(vdb::Query &q, const QString &sql);
    void printDocument(TlyrReport *report, const QString &kind, const QString &number, vdb::Query &head,
                       const QString &headTable, vdb::Query &lines, const QString &fileName);
    void ShowReport(TlyrReport *report);
    void memberAdd(vdb::Query &q, const QString &column, const QString &card, const QString &change);
    std::unique_ptr<vdb::Connection> m_conn;
};

inline TfrmDM *frmDM = nullptr;

// The data module's connection, for the windows' own queries.
inline vdb::Connection &db()
{
    return *frmDM->ADOConnection1();
}
