#pragma once
// The checks of entered fields with their fixed messages, and the helpers
// they use.  A check that fails shows its message, puts the focus on the
// field and returns false; nothing else happens.

#include <QDate>
#include <QString>
#include <initializer_list>

class QLineEdit;
class QWidget;

namespace ui {

// The one way a check fails: the message, then the focus to the field.
// Always false, for "return fail(...)".
bool fail(const QString &message, QWidget *focus = nullptr);
// Texts that identify or name a row (card numbers, codes, names) are
// checked and stored without blanks around them: the field is trimmed in
// place, so it shows what is stored.
QString trimmedText(QLineEdit *field);
void trimFields(std::initializer_list<QLineEdit *> fields);
// Shows "<name> 不能为空，请重新录入！" when the field is empty (blanks only count as empty).
bool requireText(QLineEdit *field, const QString &name);
// Shows "<name> 不是有效的数字，请重新录入！" unless the field holds a plain
// decimal number (not ".", not "1.2.3").
bool requireNumber(QLineEdit *field, const QString &name);

// Length in bytes of the text in the GBK code page (a Chinese character is 2).
int gbkLength(const QString &text);

// A date typed as year-month-day ("1990-2-3", "1990-02-03"); a two-digit year
// takes the century within fifty years of today.  Invalid: a null date.
QDate parseDate(const QString &text);
// "“<text>” 不是有效的日期，请重新录入！"
QString badDateMessage(const QString &text);

}  // namespace ui
