#pragma once
// The date box of a window walked as a user walks it: reached by Shift+Tab
// (the cursor in the day), clicked on each part, a whole date typed from
// there, Ctrl with the arrows and "-", and a paste of a foreign date.

#include <QApplication>
#include <QClipboard>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QTest>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>

// Keys sent to the window as the window system sends them: each goes to
// whatever has the focus when it arrives.
inline void typeIntoWindow(QWidget &window, const QString &text)
{
    for (const QChar c : text) QTest::keyClick(window.windowHandle(), char(c.unicode()));
}

// A click inside part p (0 year, 1 month, 2 day) of a "yyyy-MM-dd" box.
inline void clickDatePart(QDateTimeEdit *box, int part)
{
    QLineEdit *edit = box->findChild<QLineEdit *>();
    const int inside[] = {2, 6, 9};
    const QFontMetrics fm(edit->font());
    // The frame and the edit's margin come before the text.
    const int x = 3 + edit->textMargins().left() + fm.horizontalAdvance(edit->text().left(inside[part]));
    QTest::mouseClick(edit, Qt::LeftButton, Qt::NoModifier, QPoint(x, edit->height() / 2));
}

// Into the box by Shift+Tab from the field after it: the cursor in the day.
inline void shiftTabInto(QWidget &window, QDateTimeEdit *box)
{
    box->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(window.windowHandle(), Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), box);
    QTest::keyClick(window.windowHandle(), Qt::Key_Tab, Qt::ShiftModifier);
}

// Every way into the box takes a whole date from the year, the keys with
// Ctrl or Alt leave the focus in the box, and a pasted date in another
// order changes nothing.
inline void expectWholeDatesFromEveryPart(QWidget &window, QDateTimeEdit *box)
{
    window.show();
    QApplication::setActiveWindow(&window);
    const auto reach = [&] { shiftTabInto(window, box); };
    const QDate start(2024, 6, 15);
    for (const char *typed : {"2026-1-5", "2026/01/05", "20260105"}) {
        SCOPED_TRACE(typed);
        box->setDate(start);
        reach();
        ASSERT_EQ(QApplication::focusWidget(), box) << "Shift+Tab";
        EXPECT_EQ(box->currentSection(), QDateTimeEdit::DaySection);
        typeIntoWindow(window, typed);
        EXPECT_EQ(box->date(), QDate(2026, 1, 5));
        EXPECT_EQ(QApplication::focusWidget(), box);
        for (int part = 0; part < 3; ++part) {
            SCOPED_TRACE(part);
            box->setDate(start);
            clickDatePart(box, part);
            EXPECT_EQ(QApplication::focusWidget(), box);
            typeIntoWindow(window, typed);
            EXPECT_EQ(box->date(), QDate(2026, 1, 5));
        }
    }
    // A part typed alone after a click on it.
    box->setDate(start);
    clickDatePart(box, 1);
    typeIntoWindow(window, "11");
    EXPECT_EQ(box->date(), QDate(2024, 11, 15));
    clickDatePart(box, 2);
    typeIntoWindow(window, "9");
    EXPECT_EQ(box->date(), QDate(2024, 11, 9));
    // Ctrl and Alt keys move between the parts or do nothing, in the box.
    clickDatePart(box, 0);
    QTest::keyClick(window.windowHandle(), Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), box);
    EXPECT_EQ(box->currentSection(), QDateTimeEdit::MonthSection);
    QTest::keyClick(window.windowHandle(), Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), box);
    EXPECT_EQ(box->currentSection(), QDateTimeEdit::DaySection);
    QTest::keyClick(window.windowHandle(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), box);
    EXPECT_EQ(box->currentSection(), QDateTimeEdit::MonthSection);
    for (Qt::KeyboardModifier m : {Qt::ControlModifier, Qt::AltModifier}) {
        QTest::keyClick(window.windowHandle(), Qt::Key_Minus, m);
        EXPECT_EQ(QApplication::focusWidget(), box);
    }
    EXPECT_EQ(box->date(), QDate(2024, 11, 9));
    // A paste that is no date in the box's order is refused.
    for (const char *pasted : {"9/15/2025", "15.09.2025", "2026-13-01", "2026-1"}) {
        QApplication::clipboard()->setText(pasted);
        QTest::keyClick(window.windowHandle(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(box->date(), QDate(2024, 11, 9)) << pasted;
        EXPECT_EQ(QApplication::focusWidget(), box) << pasted;
    }
    QApplication::clipboard()->setText("2025-9-15");
    QTest::keyClick(window.windowHandle(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(box->date(), QDate(2025, 9, 15));
}
