#include "fixture.h"

#include "core/Schema.h"

#include <QTest>

namespace {
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

void MembersTest::SetUp()
{
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("db.edb"));
    ASSERT_TRUE(QFile::copy(templatePath(), path));
    dm = std::make_unique<TfrmDM>();
    frmDM = dm.get();
    dm->openDatabase(path, false);
    myLoginDate = QStringLiteral("2026-03-07");
    myUser = QStringLiteral("admin");
    myDeptSex = QStringLiteral("先生");
    myDeptMType = QStringLiteral("普通会员");
}

void MembersTest::TearDown()
{
    dm.reset();
    frmDM = nullptr;
}

QString MembersTest::one(const QString &sql)
{
    vdb::Query q(&c());
    q.OpenSql(sql);
    return q.IsEmpty() ? QString() : q.text(0, 0);
}

int MembersTest::count(const QString &table, const QString &where)
{
    return one(QStringLiteral("select count(*) from ") + table + " where " + where).toInt();
}

void MembersTest::addMember(const QString &card, const QString &name, const QString &extra)
{
    exec(QStringLiteral("INSERT INTO Member (theNum,theName,thePY,theState,theDate,theSex,theType,theZK,theJFBL,"
                        "theXF,theCZ,UseDate,UseCount,theUser,theJF,theDel,thePass,JSRNum) VALUES ('%1','%2','','启用',"
                        "'2026-01-02','先生','普通会员',100,1,0,0,'1900-01-01',0,'admin',0,'否','270946','')")
             .arg(card, name));
    if (!extra.isEmpty())
        exec(QStringLiteral("UPDATE Member SET ") + extra + " WHERE ID=" + QString::number(c().lastInsertId()));
}

void MembersTest::addType(const QString &name, const QString &zk, const QString &jf, const QString &xf)
{
    exec(QStringLiteral("INSERT INTO MType (theName,theZK,theJF,Remark,theState,theXF) VALUES ('%1',%2,%3,'','启用',%4)")
             .arg(name, zk, jf, xf));
}

void MembersTest::addCategory(const QString &name)
{
    exec(QStringLiteral("INSERT INTO SType (theName,Remark,theState,theKC) VALUES ('%1','','启用','是')").arg(name));
}

void MembersTest::type(QLineEdit *edit, const QString &text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
}
