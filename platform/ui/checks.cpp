#include "platform/ui/checks.h"

#include "platform/db/db.h"
#include "platform/ui/messages.h"

#include <QLineEdit>

namespace ui {

bool fail(const QString &message, QWidget *focus)
{
    showMessage(message);
    if (focus) focus->setFocus();
    return false;
}

QString trimmedText(QLineEdit *field)
{
    const QString t = field->text().trimmed();
    if (t != field->text()) field->setText(t);
    return t;
}

void trimFields(std::initializer_list<QLineEdit *> fields)
{
    for (QLineEdit *f : fields) trimmedText(f);
}

bool requireText(QLineEdit *field, const QString &name)
{
    if (!trimmedText(field).isEmpty()) return true;
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

QDate parseDate(const QString &text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('-'));
    if (parts.size() != 3) return {};
    int v[3];
    for (int i = 0; i < 3; ++i) {
        const QString &p = parts[i];
        if (p.isEmpty() || p.size() > (i == 0 ? 4 : 2)) return {};
        for (QChar c : p)
            if (c < u'0' || c > u'9') return {};
        v[i] = p.toInt();
    }
    int year = v[0];
    if (parts[0].size() <= 2) {
        const int now = QDate::currentDate().year();
        year += now / 100 * 100;
        if (year > now + 50) year -= 100;
    }
    return QDate(year, v[1], v[2]);
}

QString badDateMessage(const QString &text)
{
    return QStringLiteral("“") + text + QStringLiteral("” 不是有效的日期，请重新录入！");
}

}  // namespace ui
