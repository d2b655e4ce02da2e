#pragma once
// Builds a shop database of a given size for the sales benchmarks: member
// types and goods categories with their discount rows, members, goods with
// three-letter pinyin codes, and past sales each with one line.

#include "core/Schema.h"
#include "core/Unit1.h"
#include "core/dm.h"

#include <QTemporaryDir>
#include <memory>

struct SalesBenchDb {
    QTemporaryDir dir;
    std::unique_ptr<TfrmDM> dm;
    int members, goods, sales;

    SalesBenchDb(int memberCount, int goodsCount, int salesCount)
        : members(memberCount), goods(goodsCount), sales(salesCount)
    {
        const QString path = dir.filePath("bench.edb");
        velmora::createDatabase(path, velmora::databaseKey());
        dm = std::make_unique<TfrmDM>();
        dm->openDatabase(path, false);
        vdb::Connection &c = *dm->ADOConnection1();
        vdb::Transaction tx(c);
        c.execute("INSERT INTO SWorker (theName,theState,Remark) VALUES ('小王','启用','')");
        c.execute(
                "INSERT INTO MType (theName,theZK,theJF,Remark,theState,theXF) VALUES ('金卡',90,1,'','启用',100000)");
        auto series = [](int n) {
            return QString("WITH RECURSIVE s(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM s WHERE x<%1) ").arg(n);
        };
        c.executeNative(series(10) +
                        "INSERT INTO SType (theName,Remark,theState,theKC) SELECT '类'||x,'','启用','是' FROM s");
        c.executeNative("INSERT INTO MTS (SType,MType,theZK,theJF) SELECT t.theName,m.theName,m.theZK,m.theJF FROM "
                        "SType t, MType m");
        c.executeNative(
                series(members) +
                "INSERT INTO Member (theNum,theName,thePY,theState,theDate,theSex,theType,theZK,theJFBL,theXF,"
                "theCZ,UseDate,UseCount,theUser,theJF,theDel,thePass,JSRNum) SELECT printf('26%06d',x),'会员'||x,"
                "'HY'||x,'启用','2026-01-01','先生','普通会员',100,1,0,100000,'1900-01-01',0,'admin',0,'否',"
                "'270946','' FROM s");
        c.executeNative(
                series(goods) +
                "INSERT INTO SShop (theType,theName,theUnit,thePrice,Remark,thePY,theState,theNum,theDate,theDel,"
                "theCB,theCount,theKC,theXF) SELECT '类'||(x%10+1),'商品'||x,'个',10+x%50,'',"
                "char(65+x%26)||char(65+(x/26)%26)||char(65+(x/676)%26),'启用',printf('SP%05d',x),"
                "'2026-01-01','否',5,1000000,'是',0 FROM s");
        c.executeNative(
                series(sales) +
                "INSERT INTO UXF (theDate,theType,theNum,theHJ,theZR,theSJ,MType,Remark,theDel,theUser,MNum,theJF,"
                "theZK,theDX,theCB,theCount,JSRNum,JSRTC,TCJF,TCMoney,WName,myDate,theYE,theSum) SELECT "
                "date('2025-01-01', '+'||(x/400)||' days'),'会员',printf('X%09d',x),20,0,20,'现金','','否',"
                "'admin',printf('26%06d',1+x%" +
                QString::number(members) +
                "),20,100,'贰拾元整',5,1,'','否',0,0,"
                "'小王',date('2025-01-01', '+'||(x/400)||' days'),0,20 FROM s");
        c.executeNative(
                series(sales) +
                "INSERT INTO UXF_List (theNum,SNum,theName,theUnit,thePrice,theCount,theMoney,theType,thePY,myBH,"
                "theCB,theZK,SID) SELECT printf('X%09d',x),printf('SP%05d',1+x%" +
                QString::number(goods) + "),'商品','个',20,1,20,'类1','SP','1',5,100,1+x%" + QString::number(goods) +
                " FROM s");
        tx.commit();

        myLoginDate = "2026-03-07";
        myUser = "admin";
        myDeptName = "好邻居";
        for (QString *s : {&myDeptJFQL, &myDeptPXP, &myDeptPDJ, &myDeptWY}) *s = "False";
        myDeptKC = "True";
        myDeptFKC = "True";
        myDeptSWorker = myDeptSKR = "小王";
        myDeptSMType = "现金";
    }
};
