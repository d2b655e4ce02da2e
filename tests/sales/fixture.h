#pragma once
// A fresh database for every test (copied from one made per run), the data
// module on it, a logged-in session's shared state with every shop switch
// off, scripted message boxes and modal dialogs, and helpers to add rows and
// to compare the whole database before and after.

#include "platform/ui/modal.h"
#include "shopdb.h"

class SalesTest : public ShopDbTest {
protected:
    void SetUp() override;

    void setDiscount(const QString &memberType, const QString &category, const QString &zk);
    // A live, enabled goods item; returns its ID.
    QString addGoods(const QString &code, const QString &name, const QString &category, const QString &price,
                     const QString &cost = "1", const QString &kc = QStringLiteral("是"), const QString &stock = "100");

    // Goods grid input of an entry window: a goods code typed into the
    // row's code cell and Enter pressed.
    template <class Window>
    static void enterGoods(Window &w, int row, const QString &code)
    {
        w.StringGrid1->moveTo(Window::cCode, row);
        w.StringGrid1->setCells(Window::cCode, row, code);
        QChar enter(u'\r');
        w.StringGrid1KeyPress(enter);
    }
    // A text put into a cell as typed, then the key release.
    template <class Window>
    static void setCell(Window &w, int col, int row, const QString &text)
    {
        w.StringGrid1->moveTo(col, row);
        w.StringGrid1->setCells(col, row, text);
        w.StringGrid1KeyUp();
    }
};
