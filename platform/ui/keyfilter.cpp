#include "platform/ui/keyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>

namespace ui {

bool keyAllowed(KeyFilter kind, const QString &typed)
{
    for (QChar c : typed) {
        if (c.unicode() >= u'0' && c.unicode() <= u'9') continue;
        if (c == u'.' && (kind == KeyFilter::Amount || kind == KeyFilter::SignedAmount)) continue;
        if (c == u'-' && (kind == KeyFilter::SignedAmount || kind == KeyFilter::Date)) continue;
        return false;
    }
    return true;
}

namespace {
class Filter : public QObject {
public:
    Filter(KeyFilter k, QObject *parent) : QObject(parent), m_kind(k) {}
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress) {
            auto *k = static_cast<QKeyEvent *>(e);
            const QString t = k->text();
            if (!t.isEmpty() && t.at(0).isPrint() && !(k->modifiers() & Qt::ControlModifier) && !keyAllowed(m_kind, t))
                return true;
        }
        return QObject::eventFilter(o, e);
    }

private:
    KeyFilter m_kind;
};
}  // namespace

void installKeyFilter(QLineEdit *edit, KeyFilter kind)
{
    edit->installEventFilter(new Filter(kind, edit));
}

}  // namespace ui
