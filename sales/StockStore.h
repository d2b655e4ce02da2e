#pragma once
// Suppliers, purchases and returns without their windows: the supplier save
// and removal, the save of a purchase or a return (its lines, the stock and,
// for a purchase, the goods' cost, in one transaction) and its deletion,
// which gives the stock back in one transaction too.

#include "platform/db/db.h"
#include "platform/money.h"

#include <QString>
#include <vector>

namespace sales {

using velmora::Money;

struct Supplier {
    QString name, contact, phone, address, remark;
};
// Chinese characters a supplier's name box shows whole (it takes 50).
inline constexpr int kSupplierNameShown = 25;

// Stores a new supplier (id "0") or changes one; returns the refusal for
// the user ("" when stored).  A new supplier may not take the name of a
// live one.  *newId gets the new supplier's ID.
QString saveSupplier(vdb::Connection &c, const QString &id, const Supplier &s, QString *newId = nullptr);
// Marks the supplier deleted; its purchases and returns keep its name.
void removeSupplier(vdb::Connection &c, const QString &id);

// True when the goods item's stock count is above 0 (it may not be deleted).
bool goodsHasStock(vdb::Connection &c, const QString &id);
// Marks the goods item deleted; its lines in documents stay.
void removeGoods(vdb::Connection &c, const QString &id);

enum class StockKind { Purchase, Return };

// The words and tables of a kind: "进货"/"退货", UJH/UTH, FKType/SKType.
QString kindWord(StockKind k);
QString docTable(StockKind k);
QString payColumn(StockKind k);

// One goods row, its cells as the grid holds them.
struct StockLine {
    int row = 0;  // the grid row, for the messages
    QString code, name, unit, category, py, id;
    QString price, count;
};

struct StockDraft {
    StockKind kind = StockKind::Purchase;
    QString supplierText;          // what the supplier box shows
    QString supplierId, supplier;  // the chosen supplier
    std::vector<StockLine> lines;
    QString payment, worker, remark;
    QString docDate;  // "yyyy-mm-dd"
    QString businessDate, user;
};

enum class StockField { None, Supplier, Goods, Payment, Worker };

struct StockRefusal {
    QString message;
    StockField field = StockField::None;
    int row = 0;     // the grid row at fault, 0 for none
    int column = 0;  // and its column (4 price, 5 quantity)
    explicit operator bool() const { return !message.isEmpty(); }
};

// A line amount: price x quantity; false when a cell is not a number of
// at least 0.
bool stockAmount(const QString &price, const QString &count, Money *amount);

// The checks in the order the entry window makes them: the supplier, the
// goods, every row's price and quantity (naming the row), the payment
// method and the employee.
StockRefusal checkStock(const StockDraft &d);

struct StockResult {
    StockRefusal refusal;
    QString number;
};

// Checks, then writes the document, its lines, the stock (goods with stock
// kept) and a purchase's new costs in one transaction.  A database error
// rolls everything back and is thrown.
StockResult saveStock(vdb::Connection &c, const StockDraft &d);

// Deletes the live document: its stock goes back, its lines go, the row
// stays marked deleted; one transaction.  Returns a refusal ("" when done).
QString deleteStock(vdb::Connection &c, StockKind k, const QString &number);

}  // namespace sales
