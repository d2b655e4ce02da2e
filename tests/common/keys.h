#pragma once
// Keyboard-only use of a window, as a test drives it.

#include "platform/ui/form.h"

#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <functional>
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
