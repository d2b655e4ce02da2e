#pragma once
// A shop with stock kept, two suppliers and three goods: a1 (饮料, cost 2,
// stock 10), b1 (饮料, cost 3, stock 1) and c1 (服务, no stock kept), with
// helpers that drive the purchase and return entries as a clerk does.

#include "fixture.h"

#include "platform/ui/application.h"
#include "sales/GYS.h"
#include "sales/StockIn.h"
#include "sales/StockStore.h"

#include <memory>

class StockTest : public SalesTest {
protected:
    void SetUp() override
    {
        SalesTest::SetUp();
        myDeptKC = "True";
        myDeptPJH = myDeptPTH = "False";
        addCategory("饮料", "是");
        addCategory("服务", "否");
        s1 = addSupplier("青岛啤酒厂", "QDPJC");
        s2 = addSupplier("青山饮料", "QSYL");
        a1 = addGoods("a1", "可乐", "饮料", "10", "2", "是", "10");
        b1 = addGoods("b1", "雪碧", "饮料", "10", "3", "是", "1");
        c1 = addGoods("c1", "洗车", "服务", "20", "12", "否", "0");
    }
    QString addSupplier(const QString &name, const QString &py)
    {
        exec("INSERT INTO SSup (theName,thePro,thePhone,theAdd,Remark,thePY,theDel) VALUES ('" + name +
             "','','','','','" + py + "','否')");
        return QString::number(c().lastInsertId());
    }
    static void findSupplier(TfrmStockIn &w, const QString &text)
    {
        w.Edit1->setText(text);
        w.myFindGYS();
    }
    // The supplier 青岛啤酒厂 and the goods of the code at the price and quantity.
    static void line(TfrmStockIn &w, int row, const QString &code, const QString &price, const QString &count)
    {
        if (w.myDID.isEmpty()) findSupplier(w, "啤酒");
        enterGoods(w, row, code);
        setCell(w, TfrmStockIn::cPrice, row, price);
        setCell(w, TfrmStockIn::cCount, row, count);
    }
    static void save(TfrmStockIn &w)
    {
        ui::guarded([&] { w.BitBtn1Click(); });
    }
    QString saveSays(TfrmStockIn &w)
    {
        msgs.clear();
        save(w);
        return msgs.last();
    }
    // "stock/cost" of a goods item.
    QString goods(const QString &id)
    {
        return one("select printf('%g/%g', theCount, theCB) from SShop where ID=" + id);
    }

    QString s1, s2, a1, b1, c1;
};
