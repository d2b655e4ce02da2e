#include "platform/ui/form.h"

#include "platform/ui/application.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>

namespace ui {

Form::Form(QWidget *parent) : QDialog(parent) {}

void Form::setDefaultButton(QPushButton *button)
{
    m_default = button;
    settleButtons();
}

void Form::settleButtons()
{
    for (QPushButton *b : findChildren<QPushButton *>()) {
        b->setAutoDefault(false);
        b->setDefault(b == m_default);
    }
}

bool Form::isEntryField(const QWidget *w)
{
    if (!w || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus)) return false;
    if (auto *e = qobject_cast<const QLineEdit *>(w)) return !e->isReadOnly();
    if (auto *t = qobject_cast<const QTextEdit *>(w)) return !t->isReadOnly();
    if (auto *t = qobject_cast<const QPlainTextEdit *>(w)) return !t->isReadOnly();
    return qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w) ||
           qobject_cast<const QAbstractItemView *>(w);
}

QWidget *Form::firstEntryField() const
{
    for (QWidget *w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain())
        if (isAncestorOf(w) && w->isVisibleTo(this) && isEntryField(w)) return w;
    return nullptr;
}

void Form::placeInitialFocus()
{
    QWidget *target = m_initialFocus;
    if (!target || !target->isVisibleTo(this) || !target->isEnabled()) {
        QWidget *kept = focusWidget();
        target = kept && kept->isVisibleTo(this) && isEntryField(kept) ? kept : firstEntryField();
    }
    if (target) target->setFocus(Qt::OtherFocusReason);
}

bool Form::event(QEvent *e)
{
    // Before the window's own show handler, which may move the focus on.
    if (e->type() == QEvent::Show) {
        settleButtons();
        placeInitialFocus();
    }
    return QDialog::event(e);
}

void Form::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    guarded([this] { FormShow(); });
}

void Form::keyPressEvent(QKeyEvent *e)
{
    const bool noModifier = !(e->modifiers() & ~Qt::KeypadModifier);
    if (noModifier && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter)) {
        e->accept();
        if (auto *focused = qobject_cast<QPushButton *>(focusWidget()); focused && focused->isEnabled()) {
            focused->click();
            return;
        }
        if (m_default && m_default->isVisible() && m_default->isEnabled()) m_default->click();
        return;
    }
    if (noModifier && e->key() == Qt::Key_Escape) {
        e->accept();
        if (m_escapeCloses) reject();
        return;
    }
    QDialog::keyPressEvent(e);
}

}  // namespace ui
