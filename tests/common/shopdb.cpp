#include "shopdb.h"

#include "core/Schema.h"

#include <QFile>

namespace {
// Creating the schema is the slow part; every test copies one made per run.
QString templatePath()
{
    static QTemporaryDir keep;
    static QString path;
    if (path.isEmpty()) {
        path = keep.filePath(QStringLiteral("template.edb"));
        velmora::createDatabase(path, velmora::databaseKey());
    }
    return path;
}
}  // namespace

void ShopDbTest::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("db.edb"));
    ASSERT_TRUE(QFile::copy(templatePath(), path));
    dm = std::make_unique<TfrmDM>();
    frmDM = dm.get();
    dm->openDatabase(path, false);
    myLoginDate = QStringLiteral("2026-03-07");
    myUser = QStringLiteral("admin");
}

void ShopDbTest::TearDown()
{
    dm.reset();
    frmDM = nullptr;
}

QString ShopDbTest::one(const QString &sql)
{
    vdb::Query q(&c());
    q.OpenSql(sql);
    return q.IsEmpty() ? QString() : q.text(0, 0);
}

int ShopDbTest::count(const QString &table, const QString &where)
{
    return one(QStringLiteral("select count(*) from ") + table + " where " + where).toInt();
}

QStringList ShopDbTest::rows(const QString &sql)
{
    vdb::Query q(&c());
    q.OpenSql(sql);
    QStringList out;
    for (int r = 0; r < q.RecordCount(); ++r) {
        QStringList cells;
        for (int col = 0; col < q.FieldCount(); ++col) cells << q.text(r, col);
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QStringList ShopDbTest::snapshot()
{
    QStringList out;
    for (const QString &t : c().tableNames()) {
        out << QStringLiteral("== ") + t;
        out << rows(QStringLiteral("select * from ") + t);
    }
    return out;
}

void ShopDbTest::addType(const QString &name, const QString &zk, const QString &jf, const QString &xf)
{
    exec(QStringLiteral(
                 "INSERT INTO MType (theName,theZK,theJF,Remark,theState,theXF) VALUES ('%1',%2,%3,'','启用',%4)")
                 .arg(name, zk, jf, xf));
}

void ShopDbTest::addCategory(const QString &name, const QString &kc)
{
    exec(QStringLiteral("INSERT INTO SType (theName,Remark,theState,theKC) VALUES ('%1','','启用','%2')")
                 .arg(name, kc));
}

QString ShopDbTest::addMember(const QString &card, const QString &name, const QString &type, const QString &cz,
                              const QString &jfbl, const QString &zk)
{
    exec(QStringLiteral("INSERT INTO Member (theNum,theName,thePY,theState,theDate,theSex,theType,theZK,theJFBL,"
                        "theXF,theCZ,UseDate,UseCount,theUser,theJF,theDel,thePass,JSRNum) VALUES ('%1','%2','','启用',"
                        "'2026-01-02','先生','%3',%4,%5,0,%6,'1900-01-01',0,'admin',0,'否','270946','')")
                 .arg(card, name, type, zk, jfbl, cz));
    return QString::number(c().lastInsertId());
}
