#pragma once
// Text receipts of sales, recharges and gift exchanges: the lines are composed
// from the saved document (28 columns, one per GBK byte) and then sent to the
// receipt printer as one text job.

#include "platform/error.h"
#include "platform/db/db.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <stdexcept>

namespace velmora {

// A text read as a number was not one; what() is the message shown.
class ConversionError : public velmora::Error {
public:
    explicit ConversionError(const QString &text);
};

// The number in a field or cell, as every computation reads it: blanks around
// are ignored; anything else that is not a plain decimal throws ConversionError.
double toNumber(const QString &text);

namespace receipts {

// Columns of a receipt line, one per GBK byte.
inline constexpr int kWidth = 28;

// The shop lines printed under every receipt.
struct Shop {
    QString name, address, phone, notice;
    // From the shop settings loaded at start.
    static Shop fromSettings();
};

// "%n" money: thousands separators and two decimals, 1234.5 -> "1,234.50".
QString money(const QString &text);
// Blanks put before (right) or after (left) the text up to width columns,
// only when its width is one of the listed ones; other texts come back as they are.
QString alignRight(const QString &text, int width, std::initializer_list<int> widths);
QString alignLeft(const QString &text, int width, std::initializer_list<int> widths);
// Address or notice: up to 10 bytes on one line, else the first 10 characters
// and the rest on a line of their own.
QStringList splitLong(const QString &text);

// One field of a receipt line, padded as the tables say.
struct Field {
    QString text;
    bool right = false;  // an amount column: carried over, it stands at the right edge
    int hang = 0;        // columns of its label: where a field too long for a line goes on
};
// The fields as printed lines: a blank between two fields that would touch
// (a bracket or a blank already parts them), and a line that would pass
// kWidth broken before the field that does not fit.  A field wider than a
// line by itself goes on under its value.
QStringList fitLine(const QList<Field> &fields);

// The composed receipts.  timeText is the time of day printed in the time line.
// Throws vdb::DbError when the document does not exist.
QStringList composeXF(vdb::Connection &c, const QString &number, const Shop &shop, const QString &timeText);
QStringList composeCZ(vdb::Connection &c, const QString &number, const Shop &shop, const QString &timeText);
QStringList composeDH(vdb::Connection &c, const QString &number, const Shop &shop, const QString &timeText);

}  // namespace receipts

// The receipts on the receipt printer, for a saved document (data module's
// connection, shop settings, time now).  Throw print::PrintError or vdb::DbError.
void myPrintXF_Pos(const QString &number);
void myPrintCZ_Pos(const QString &number);
void myPrintDH_Pos(const QString &number);

// Prints what was just stored.  A failure is told as `said` with the reason
// in its last place holder and goes no further: the save must not look undone.
void printAfterSave(const QString &said, const std::function<void()> &print);

}  // namespace velmora
