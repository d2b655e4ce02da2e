#include "platform/ui/form.h"

#include "platform/ui/application.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <algorithm>

namespace ui {

namespace {

void collectTabStops(const QLayout *layout, QList<QWidget *> &out);

void collectTabStops(QWidget *w, QList<QWidget *> &out)
{
    if (w->isWindow()) return;
    const bool stop = w->focusPolicy() & Qt::TabFocus;
    if (stop) out << w;
    if (const QLayout *l = w->layout()) {
        collectTabStops(l, out);
    } else if (!stop) {
        // A plain container: its children as they were made.
        for (QObject *o : w->children())
            if (auto *child = qobject_cast<QWidget *>(o)) collectTabStops(child, out);
    }
}

void collectItemStops(QLayoutItem *item, QList<QWidget *> &out)
{
    if (QWidget *w = item->widget())
        collectTabStops(w, out);
    else if (const QLayout *inner = item->layout())
        collectTabStops(inner, out);
}

// A form's cells by row, then column; a box's items as added.  A grid of
// two or more columns of fields goes down each column before the next one;
// a field spanning the columns comes after the columns above it, and the
// columns below it follow it.
void collectTabStops(const QLayout *layout, QList<QWidget *> &out)
{
    struct Cell {
        int band, spans, row, column, columnSpan;
        QList<QWidget *> stops;
    };
    QList<Cell> cells;
    auto *grid = qobject_cast<const QGridLayout *>(layout);
    auto *form = qobject_cast<const QFormLayout *>(layout);
    for (int i = 0; i < layout->count(); ++i) {
        int row = i, column = 0, columnSpan = 1;
        if (grid) {
            int rowSpan = 0;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        } else if (form) {
            QFormLayout::ItemRole role = QFormLayout::LabelRole;
            form->getItemPosition(i, &row, &role);
            column = int(role);
        }
        Cell c{0, 0, row, column, columnSpan, {}};
        collectItemStops(layout->itemAt(i), c.stops);
        cells.append(std::move(c));
    }
    QList<int> spanningRows;
    bool fields = false;  // a grid of check boxes alone reads row by row
    if (grid) {
        for (const Cell &c : cells) {
            if (c.columnSpan > 1 && !c.stops.isEmpty()) spanningRows << c.row;
            // What the window enables at one moment does not change the order.
            fields = fields || std::any_of(c.stops.begin(), c.stops.end(), [](QWidget *w) {
                         return qobject_cast<QLineEdit *>(w) || qobject_cast<QTextEdit *>(w) ||
                                qobject_cast<QPlainTextEdit *>(w) || qobject_cast<QComboBox *>(w) ||
                                qobject_cast<QAbstractSpinBox *>(w);
                     });
        }
        for (Cell &c : cells) {
            const int row = c.row;
            c.band = int(std::count_if(spanningRows.begin(), spanningRows.end(), [row](int r) { return r < row; }));
            c.spans = c.columnSpan > 1 && spanningRows.contains(row) ? 1 : 0;
        }
    }
    const bool byColumn = grid && fields;
    std::stable_sort(cells.begin(), cells.end(), [byColumn](const Cell &a, const Cell &b) {
        if (!byColumn) return a.row != b.row ? a.row < b.row : a.column < b.column;
        if (a.band != b.band) return a.band < b.band;
        if (a.spans != b.spans) return a.spans < b.spans;
        return a.column != b.column ? a.column < b.column : a.row < b.row;
    });
    for (const Cell &c : cells) out << c.stops;
}

bool isReadOnlyText(const QWidget *w)
{
    if (auto *e = qobject_cast<const QLineEdit *>(w)) return e->isReadOnly();
    if (auto *t = qobject_cast<const QTextEdit *>(w)) return t->isReadOnly();
    if (auto *t = qobject_cast<const QPlainTextEdit *>(w)) return t->isReadOnly();
    return false;
}

}  // namespace

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

QList<QWidget *> Form::tabStopsByLayout() const
{
    QList<QWidget *> stops;
    if (layout()) collectTabStops(layout(), stops);
    return stops;
}

bool Form::focusNextPrevChild(bool next)
{
    QWidget *start = focusWidget();
    // Bounded: a window whose every field is read-only comes back to the start.
    for (int i = 0; i < 256; ++i) {
        if (!QDialog::focusNextPrevChild(next)) return false;
        QWidget *now = focusWidget();
        if (!now || now == start || !isReadOnlyText(now)) return true;
    }
    return true;
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
        if (!m_tabsOrdered) {
            m_tabsOrdered = true;
            const QList<QWidget *> stops = tabStopsByLayout();
            for (qsizetype i = 1; i < stops.size(); ++i) setTabOrder(stops[i - 1], stops[i]);
        }
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
