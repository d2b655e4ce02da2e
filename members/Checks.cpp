#include "members/Checks.h"

#include "core/dm.h"
#include "platform/ui/messages.h"

#include <QLineEdit>

namespace members {

vdb::Connection &db() { return *frmDM->ADOConnection1(); }

bool fail(const QString &message, QWidget *focus)
{
    ui::showMessage(message);
    if (focus) focus->setFocus();
    return false;
}

void tell(const QString &message) { ui::showMessage(message); }

bool requireText(QLineEdit *field, const QString &name)
{
    if (!field->text().isEmpty()) return true;
    return fail(name + QStringLiteral(" 不能为空，请重新录入！"), field);
}

bool requireNumber(QLineEdit *field, const QString &name)
{
    if (vdb::isSqlNumber(field->text())) return true;
    return fail(name + QStringLiteral(" 不是有效的数字，请重新录入！"), field);
}

int gbkLength(const QString &text)
{
    int n = 0;
    for (QChar c : text) n += c.unicode() < 0x80 ? 1 : 2;
    return n;
}

}  // namespace members
