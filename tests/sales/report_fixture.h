#pragma once
// Sales, payments and a second employee written straight into the tables
// for the report windows' tests.

#include "list_fixture.h"

class ReportRowsTest : public SaleListTest {
protected:
    void SetUp() override
    {
        SaleListTest::SetUp();
        exec(QStringLiteral("INSERT INTO SWorker (theName,theState,Remark) VALUES ('小李','启用','')"));
    }
    // A sale: number, business date, chosen date, type, card, worker, amounts, deleted.
    void addSale(const QString &num, const QString &theDate, const QString &myDate, const QString &type,
                 const QString &mnum, const QString &worker, int count, int hj, int sj, int cb, int tc,
                 bool deleted = false)
    {
        vdb::Statement("INSERT INTO UXF (theNum,theDate,myDate,theType,MNum,WName,theCount,theSum,theZR,theHJ,"
                       "theSJ,theYE,theCB,TCMoney,theDel) VALUES (:n,:d,:m,:t,:c,:w,:k,:s,0,:s,:j,:y,:b,:tc,:del)")
                .text("n", num)
                .text("d", theDate)
                .text("m", myDate)
                .text("t", type)
                .text("c", mnum)
                .text("w", worker)
                .number("k", count)
                .number("s", hj)
                .number("j", sj)
                .number("y", hj - sj)
                .number("b", cb)
                .number("tc", tc)
                .text("del", deleted ? QStringLiteral("是") : QStringLiteral("否"))
                .run(c());
    }
    void addPayment(const QString &num, int money, const QString &method, const QString &cashier, const QString &date)
    {
        vdb::Statement("INSERT INTO UXF_SK (theNum,theMoney,theSMType,theSKR,SKDate) VALUES (:n,:m,:t,:r,:d)")
                .text("n", num)
                .number("m", money)
                .text("t", method)
                .text("r", cashier)
                .text("d", date)
                .run(c());
    }
};
