#include "fixture.h"

void SalesTest::SetUp()
{
    ShopDbTest::SetUp();
    myDeptName = QStringLiteral("好邻居");
    myDeptAdd.clear();
    myDeptPhone.clear();
    myDeptGG.clear();
    for (QString *s : {&myDeptKC, &myDeptFKC, &myDeptJFQL, &myDeptPXP, &myDeptPDJ, &myDeptWY})
        *s = QStringLiteral("False");
    myDeptSWorker = QStringLiteral("小王");
    myDeptSKR = QStringLiteral("小王");
    myDeptSMType = QStringLiteral("现金");
    myDeptSType.clear();
    exec(QStringLiteral("INSERT INTO SWorker (theName,theState,Remark) VALUES ('小王','启用','')"));
}

void SalesTest::setDiscount(const QString &memberType, const QString &category, const QString &zk)
{
    exec(QStringLiteral("INSERT INTO MTS (SType,MType,theZK,theJF) VALUES ('%1','%2',%3,1)")
                 .arg(category, memberType, zk));
}

QString SalesTest::addGoods(const QString &code, const QString &name, const QString &category, const QString &price,
                            const QString &cost, const QString &kc, const QString &stock)
{
    exec(QStringLiteral("INSERT INTO SShop (theType,theName,theUnit,thePrice,Remark,thePY,theState,theNum,theDate,"
                        "theDel,theCB,theCount,theKC,theXF) VALUES ('%1','%2','个',%3,'','%4','启用','%5','2026-01-01',"
                        "'否',%6,%7,'%8',0)")
                 .arg(category, name, price, code.toUpper(), code, cost, stock, kc));
    return QString::number(c().lastInsertId());
}
