#pragma once
// Small helpers the member windows share: the connection, the checks of
// entered fields with their fixed messages, and the GBK length of a text.

#include "platform/db/db.h"

#include <QDate>
#include <QString>

class QLineEdit;
class QWidget;

namespace members {

// The data module's connection.
vdb::Connection &db();

// Shows "<name> 不能为空，请重新录入！", focuses the field and returns false
// when the field is empty.
bool requireText(QLineEdit *field, const QString &name);
// Shows "<name> 不是有效的数字，请重新录入！", focuses the field and returns
// false unless the field holds a plain decimal number (not ".", not "1.2.3").
bool requireNumber(QLineEdit *field, const QString &name);
// A message, then the focus to the field; always false, for "return fail(...)".
bool fail(const QString &message, QWidget *focus = nullptr);
// A plain message with the program's title.
void tell(const QString &message);

// Length in bytes of the text in the GBK code page (a Chinese character is 2).
int gbkLength(const QString &text);

}  // namespace members

namespace members {
// A date typed as year-month-day ("1990-2-3", "1990-02-03"); a two-digit year
// takes the century within fifty years of today.  Invalid: a null date.
QDate parseDate(const QString &text);
// "“<text>” 不是有效的日期，请重新录入！"
QString badDateMessage(const QString &text);
}  // namespace members
