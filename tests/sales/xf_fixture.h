#pragma once
// The sale entry on a shop with one member "张三" of the type 金卡 (90% on
// 饮料), the goods a1 (饮料, 10, stock 5) and b1 (服务, 20, no stock), and
// helpers that drive the window as a cashier does.

#include "fixture.h"

#include "members/CardWindows.h"
#include "platform/ui/application.h"
#include "platform/ui/modal.h"
#include "sales/XF_In.h"

#include <memory>

class XFTest : public SalesTest {
protected:
    void SetUp() override
    {
        SalesTest::SetUp();
        addType("金卡", "90", "1");
        addCategory("饮料", "是");
        addCategory("服务", "否");
        setDiscount("金卡", "饮料", "90");
        card = "26000001";
        memberId = addMember(card, "张三", "金卡", "100", "1", "90");
        a1 = addGoods("a1", "可乐", "饮料", "10", "6", "是", "5");
        b1 = addGoods("b1", "洗车", "服务", "20", "12", "否", "0");
    }
    std::unique_ptr<TfrmXF_In> window()
    {
        auto w = std::make_unique<TfrmXF_In>();
        return w;
    }
    static void findMember(TfrmXF_In &w, const QString &text)
    {
        w.Ed_Num->setText(text);
        w.myFind();
    }
    static QStringList row(TfrmXF_In &w, int r)
    {
        QStringList out;
        for (int c = TfrmXF_In::cCode; c < TfrmXF_In::cColumns; ++c) out << w.StringGrid1->Cells(c, r);
        return out;
    }
    // A member sale of two goods: a1 x2 at 90% (18), b1 x1 at 100% (20).
    void twoGoods(TfrmXF_In &w)
    {
        findMember(w, card);
        enterGoods(w, 1, "a1");
        setCell(w, TfrmXF_In::cCount, 1, "2");
        enterGoods(w, 3, "b1");
    }
    // Saves through the application's error handler, as a click would.
    static void save(TfrmXF_In &w)
    {
        ui::guarded([&] { w.BitBtn1Click(); });
    }
    // Saves so and returns what the window said last.
    QString saveSays(TfrmXF_In &w)
    {
        save(w);
        return msgs.last();
    }
    QString member(const QString &columns)
    {
        return rows("select " + columns + " from Member where ID=" + memberId).value(0);
    }
    // Answers the card password prompt with the password, or cancels it.
    static ui::ScriptedModals::Handler password(const QString &pass)
    {
        return [pass](QDialog *d) {
            auto *p = qobject_cast<TfrmCheckPass *>(d);
            if (!p) return 0;
            if (pass.isEmpty()) {
                p->BitBtn2Click();
            } else {
                p->Edit1->setText(pass);
                p->BitBtn1Click();
            }
            return p->result();
        };
    }

    QString card, memberId, a1, b1;
};
