#pragma once
// The shop of the sale entry's tests with an introducer for its member,
// sales saved without the window, and exports written to the test folder.

#include "xf_fixture.h"

#include "core/ListFrame.h"
#include "sales/Register.h"
#include "sales/SaleAccounts.h"
#include "sales/SaleStore.h"

// A document list queried with its defaults, holding one document, which
// is reprinted from the list's menu.
template <class List>
void reprintTheOnlyDocument()
{
    List w;
    w.BitBtn1Click();
    ASSERT_EQ(w.rowCount(), 1);
    w.selectRow(0);
    w.J1Click();
}

class SaleListTest : public XFTest {
protected:
    void SetUp() override
    {
        XFTest::SetUp();
        sales::registerWindows();
        introducer = "26000009";
        addMember(introducer, "李四", "金卡", "0");
        exec("UPDATE Member SET JSRNum='" + introducer + "' WHERE theNum='" + card + "'");
        velmora::TListFrame::setExportFolder(dir.path());
        velmora::TListFrame::setExportOpener([](const QString &) { return true; });
    }
    // a1 x2 at 90% (18) and b1 x1 (20): 38, paid as given.
    sales::SaleDraft sale(const QString &received = "38", const QString &payment = "现金", bool walkIn = false)
    {
        sales::SaleDraft d;
        d.walkIn = walkIn;
        d.card = walkIn ? QString() : card;
        d.introducer = walkIn ? QString() : introducer;
        d.lines = {{"a1", "可乐", "个", "饮料", "KL", a1, "10", "2", "90", "18", "6"},
                   {"b1", "洗车", "个", "服务", "XC", b1, "20", "1", "100", "20", "12"}};
        d.goodsAmount = d.total = "38";
        d.received = received;
        d.extraDiscount = "100";
        d.reduction = "0";
        d.pointsRatio = "1";
        d.payment = payment;
        d.cashier = d.worker = "小王";
        d.saleDate = d.businessDate = "2026-03-07";
        d.user = "admin";
        d.keepStock = true;
        return d;
    }
    QString save(const sales::SaleDraft &d)
    {
        const sales::SaleResult r = sales::saveSale(c(), d);
        EXPECT_FALSE(r.refusal) << r.refusal.message.toStdString();
        return r.number;
    }
    // The counters a sale changes.
    QStringList counters()
    {
        return rows("select theNum,theJF,theXF,theCZ,UseCount,theType from Member order by ID") +
               rows("select ID,theCount,theXF from SShop order by ID");
    }
    sales::Collection collection(const QString &number, const QString &amount, const QString &payment = "现金")
    {
        return {number, amount, payment, "小王", QDate(2026, 3, 8)};
    }
    QString introducer;
};
