#include "core/Unit1.h"

#include "core/dm.h"

#include <QCoreApplication>
#include <QDir>

namespace velmora {

QString programFolder()
{
    QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return QDir(dir).absolutePath() + QLatin1Char('/');
}

QString databasePath()
{
    QString data = qEnvironmentVariable("VELMORA_DATA_DIR");
    if (data.isEmpty()) data = programFolder() + QStringLiteral("Data");
    return QDir(data).filePath(QStringLiteral("db.edb"));
}

QByteArray databaseKey()
{
    return QByteArrayLiteral("kqd574");
}

void initSharedState()
{
    myEdition = QStringLiteral("单机版");
    myVersion = QStringLiteral("5.0.0.920");
}

void FindDept()
{
    mySql = QStringLiteral("Select theName,thePhone,theAdd,theGG,") + "thePDJ,thePXP,theJFQL,theFKC,theWY," +
            "theSex,theMType,theKC,thePJH,thePTH," + "theSType,theSWorker,theSMType,theSKR from SDept";
    vdb::Query q(frmDM->ADOConnection1());
    q.OpenSql(mySql);
    auto f = [&](const char *name) { return q.value(QLatin1String(name)); };
    myDeptName = f("theName");
    myDeptPhone = f("thePhone");
    myDeptAdd = f("theAdd");
    myDeptGG = f("theGG");
    myDeptPDJ = f("thePDJ");
    myDeptPXP = f("thePXP");
    myDeptJFQL = f("theJFQL");
    myDeptSex = f("theSex");
    myDeptMType = f("theMType");
    myDeptKC = f("theKC");
    myDeptFKC = f("theFKC");
    myDeptPJH = f("thePJH");
    myDeptPTH = f("thePTH");
    myDeptWY = f("theWY");
    myDeptSType = f("theSType");
    myDeptSWorker = f("theSWorker");
    myDeptSMType = f("theSMType");
    myDeptSKR = f("theSKR");
}

}  // namespace velmora
