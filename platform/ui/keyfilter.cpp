#include "platform/ui/keyfilter.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QValidator>

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

QString insertedText(const QString &before, const QString &after)
{
    qsizetype start = 0;
    while (start < before.size() && start < after.size() && before[start] == after[start]) ++start;
    qsizetype endBefore = before.size(), endAfter = after.size();
    while (endBefore > start && endAfter > start && before[endBefore - 1] == after[endAfter - 1]) {
        --endBefore;
        --endAfter;
    }
    return after.mid(start, endAfter - start);
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

// Judges a change against the last text the edit accepted, so that a text
// set by the program (a negative total, say) can still be erased.
class InsertCheck : public QValidator {
public:
    InsertCheck(QLineEdit *edit, std::function<bool(QChar)> allowed)
        : QValidator(edit), m_accepted(edit->text()), m_allowed(std::move(allowed))
    {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString &t) { m_accepted = t; });
    }
    State validate(QString &input, int &) const override
    {
        for (QChar c : insertedText(m_accepted, input))
            if (!c.isPrint() || !m_allowed(c)) return Invalid;
        return Acceptable;
    }

private:
    QString m_accepted;
    std::function<bool(QChar)> m_allowed;
};

}  // namespace

void installInsertCheck(QLineEdit *edit, std::function<bool(QChar)> allowed)
{
    edit->setValidator(new InsertCheck(edit, std::move(allowed)));
}

void installKeyFilter(QLineEdit *edit, KeyFilter kind)
{
    edit->installEventFilter(new Filter(kind, edit));
    installInsertCheck(edit, [kind](QChar c) { return keyAllowed(kind, QString(c)); });
}

}  // namespace ui
