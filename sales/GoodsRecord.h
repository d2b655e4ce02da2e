#pragma once
// One goods item as the goods lookup and the quick goods entry hand it to the
// entry window that opened them (sale, purchase, return).  The window
// implements ui::LookupTarget<GoodsRecord> and writes the item into the
// current row of its goods grid.

#include "platform/ui/lookuptarget.h"

#include <QString>

struct GoodsRecord {
    QString id;    // SShop.ID
    QString code;  // theNum
    QString name;
    QString unit;
    QString price;     // the price column of the opener's search (sale price, or cost for purchases)
    QString category;  // theType
    QString py;
    QString cost;        // theCB
    QString kc;          // stock flag "是"/"否"
    QString count;       // stock count at the lookup
    QString memberType;  // the member type the lookup was given ("" for a walk-in sale or a purchase)
};

using GoodsTarget = ui::LookupTarget<GoodsRecord>;
