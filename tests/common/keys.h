#pragma once
// Keyboard-only use of a window, as a test drives it.

#include "platform/ui/form.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QApplication>
#include <QList>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <functional>
#include <memory>
#include <gtest/gtest.h>

// Enter, keypad Enter and Esc in every field of the shown window that takes
// input; afterwards the window must still be open and not accepted.
inline void pressEnterAndEscInEveryField(ui::Form &w)
{
    for (QWidget *f : w.findChildren<QWidget *>()) {
        if (!f->isVisibleTo(&w) || !ui::Form::isEntryField(f)) continue;
        f->setFocus();
        for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(f, k);
    }
    EXPECT_TRUE(w.isVisible()) << w.windowTitle().toStdString();
    EXPECT_NE(w.result(), QDialog::Accepted) << w.windowTitle().toStdString();
}

// No push button of the window presses itself on Enter unless it is the
// window's named default button.
inline void expectOnlyTheNamedDefault(ui::Form &w)
{
    for (QPushButton *b : w.findChildren<QPushButton *>()) {
        EXPECT_FALSE(b->autoDefault()) << b->text().toStdString();
        EXPECT_EQ(b->isDefault(), b == w.defaultButton()) << b->text().toStdString();
    }
}

// A window without a default button, opened and driven by Enter and Esc in
// every field: what state() reads (the database) does not change.
inline void expectKeysChangeNothing(ui::Form &w, const std::function<QStringList()> &state)
{
    SCOPED_TRACE(w.metaObject()->className());
    const QStringList before = state();
    w.show();
    expectOnlyTheNamedDefault(w);
    EXPECT_EQ(w.defaultButton(), nullptr);
    pressEnterAndEscInEveryField(w);
    EXPECT_EQ(state(), before);
}

// The control that has the focus, as the window names it (the date box, not
// the line edit inside it).
inline QWidget *focusedControl()
{
    QWidget *w = QApplication::focusWidget();
    while (w && w->parentWidget() && w->parentWidget()->focusProxy() == w) w = w->parentWidget();
    return w;
}

// One press of Tab (Shift+Tab when backwards) from the focused control.
inline QWidget *pressTab(bool backwards = false)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
    return focusedControl();
}

// The controls Tab (Shift+Tab when backwards) visits from the focused one
// until it comes back to it, one press each: a control that keeps the focus
// for a press (a date box stepping through its parts) ends the chain there.
inline QList<QWidget *> tabChain(bool backwards = false)
{
    QList<QWidget *> chain{focusedControl()};
    while (chain.size() < 100) {
        QWidget *now = pressTab(backwards);
        if (now == chain.first() || now == chain.last()) break;
        chain << now;
    }
    return chain;
}

// The window shown and active, then the Tab chain from its first control.
inline QList<QWidget *> tabChainOf(QWidget &w, QWidget *first, bool backwards = false)
{
    w.show();
    QApplication::setActiveWindow(&w);
    first->setFocus(Qt::OtherFocusReason);
    return tabChain(backwards);
}

// What a chain shows when it is not the expected one.
inline std::string describeChain(const QList<QWidget *> &chain)
{
    QStringList out;
    for (QWidget *w : chain) {
        auto *b = qobject_cast<QAbstractButton *>(w);
        out << QString::fromLatin1(w ? w->metaObject()->className() : "null") + (b ? ":" + b->text() : QString());
    }
    return out.join(QStringLiteral(" > ")).toStdString();
}

// Tab walks the window's controls in the order given (from the first, back
// to it) and Shift+Tab walks them backwards.
inline void expectTabChain(QWidget &w, const QList<QWidget *> &expected)
{
    SCOPED_TRACE(w.windowTitle().toStdString());
    const QList<QWidget *> forward = tabChainOf(w, expected.first());
    EXPECT_EQ(forward, expected) << describeChain(forward);
    QList<QWidget *> back{expected.first()};
    for (qsizetype i = expected.size() - 1; i > 0; --i) back << expected[i];
    const QList<QWidget *> backward = tabChainOf(w, expected.first(), true);
    EXPECT_EQ(backward, back) << describeChain(backward);
}

// The controls of the shown window that Tab should stop on: shown, enabled,
// taking Tab and not read-only (the parts inside a date, a combo box or a
// list left out).
inline QList<QWidget *> tabStopsOf(QWidget &w)
{
    QList<QWidget *> out;
    for (QWidget *c : w.findChildren<QWidget *>()) {
        if (!c->isVisibleTo(&w) || !c->isEnabled() || !(c->focusPolicy() & Qt::TabFocus) || c->focusProxy()) continue;
        if (auto *e = qobject_cast<QLineEdit *>(c); e && e->isReadOnly()) continue;
        if (auto *e = qobject_cast<QTextEdit *>(c); e && e->isReadOnly()) continue;
        if (auto *e = qobject_cast<QPlainTextEdit *>(c); e && e->isReadOnly()) continue;
        bool inner = false;
        for (QWidget *p = c->parentWidget(); p && p != &w; p = p->parentWidget())
            inner = inner || qobject_cast<QComboBox *>(p) || qobject_cast<QAbstractSpinBox *>(p) ||
                    qobject_cast<QAbstractItemView *>(p);
        if (!inner) out << c;
    }
    return out;
}

// Tab stops once on every control of the window that takes input, never on
// a read-only field, and Shift+Tab walks the same chain backwards.
inline void expectTabReachesEveryFieldOnce(QWidget &w)
{
    SCOPED_TRACE(w.windowTitle().toStdString());
    w.show();
    QApplication::setActiveWindow(&w);
    const QList<QWidget *> stops = tabStopsOf(w);
    ASSERT_FALSE(stops.isEmpty());
    const QList<QWidget *> forward = tabChainOf(w, stops.first());
    EXPECT_EQ(forward.size(), stops.size()) << describeChain(forward) << " / " << describeChain(stops);
    for (QWidget *c : stops)
        EXPECT_TRUE(forward.contains(c)) << describeChain(forward) << " / " << describeChain(stops);
    QList<QWidget *> back{forward.first()};
    for (qsizetype i = forward.size() - 1; i > 0; --i) back << forward[i];
    const QList<QWidget *> backward = tabChainOf(w, forward.first(), true);
    EXPECT_EQ(backward, back) << describeChain(backward);
}

// Every date box of the window is one Tab stop: entered by Tab (at the year)
// one more Tab leaves it, entered by Shift+Tab (at the day) one more
// Shift+Tab leaves it, and the opposite key comes back to it.  Returns how
// many date boxes were tried.
inline int expectDateBoxesAreOneStop(QWidget &w)
{
    SCOPED_TRACE(w.windowTitle().toStdString());
    w.show();
    QApplication::setActiveWindow(&w);
    int tried = 0;
    for (QDateTimeEdit *d : w.findChildren<QDateTimeEdit *>()) {
        if (!d->isVisibleTo(&w) || !d->isEnabled()) continue;
        ++tried;
        for (bool back : {false, true}) {
            d->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            EXPECT_EQ(focusedControl(), d);
            QWidget *next = pressTab(back);
            EXPECT_NE(next, d) << (back ? "Shift+Tab" : "Tab") << " stayed in the date box";
            // An editable goods grid keeps Tab for its cells.
            if (!qobject_cast<QAbstractItemView *>(next)) EXPECT_EQ(pressTab(!back), d);
        }
    }
    return tried;
}

// A window made on demand, with the number of date boxes it shows.
struct DateWindow {
    std::function<QWidget *()> make;
    int dates;
};

// expectDateBoxesAreOneStop for each window, which must show its boxes.
inline void expectEachDateBoxIsOneStop(std::initializer_list<DateWindow> windows)
{
    for (const DateWindow &d : windows) {
        std::unique_ptr<QWidget> w(d.make());
        EXPECT_EQ(expectDateBoxesAreOneStop(*w), d.dates) << w->metaObject()->className();
    }
}
