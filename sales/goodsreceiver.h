#pragma once
// How the goods lookup and the quick goods entry hand the chosen goods item
// to the entry window that opened them (sale, purchase, return): the window
// implements this and writes the item into its grid's current row.

#include <QString>

struct GoodsPick {
    QString id;        // SShop.ID
    QString code;      // theNum
    QString name;
    QString unit;
    QString price;     // the price column of the opener's search (sale price, or cost for purchases)
    QString category;  // theType
    QString py;
    QString cost;      // theCB
    QString kc;        // stock flag "是"/"否"
    QString count;     // stock count at the lookup
};

class GoodsReceiver {
public:
    virtual ~GoodsReceiver() = default;
    // memberType: the member type the lookup was given ("" for a walk-in sale
    // or a purchase).  The receiver recomputes its totals.
    virtual void takeGoods(const GoodsPick &goods, const QString &memberType) = 0;
};
