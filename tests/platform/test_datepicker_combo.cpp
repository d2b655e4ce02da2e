// The shared date box and drop-down boxes, driven from the keyboard and
// measured with the font they are drawn in.
#include "platform/ui/datepicker.h"
#include "platform/ui/lookupcombo.h"
#include "combo_widths.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QStringListModel>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A window with a field, the date box and a second field, shown and active.
struct DateWindow {
    QWidget w;
    QLineEdit *before = new QLineEdit(&w);
    ui::DatePicker *date = new ui::DatePicker(QDate(2026, 3, 7), &w);
    QLineEdit *after = new QLineEdit(&w);
    DateWindow()
    {
        auto *row = new QHBoxLayout(&w);
        for (QWidget *c : {static_cast<QWidget *>(before), static_cast<QWidget *>(date), static_cast<QWidget *>(after)})
            row->addWidget(c);
        w.show();
        QApplication::setActiveWindow(&w);
    }
    // Tab (or Shift+Tab) once from the date box, entered from the other side.
    QWidget *tabOut(bool backwards)
    {
        (backwards ? after : before)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        EXPECT_EQ(QApplication::focusWidget(), date);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        return QApplication::focusWidget();
    }
    void keys(std::initializer_list<Qt::Key> ks)
    {
        for (Qt::Key k : ks) QTest::keyClick(date, k);
    }
};

// The calendar open over the window, as the user sees it.
QCalendarWidget *openCalendar()
{
    QWidget *popup = QApplication::activePopupWidget();
    return popup && popup->isVisible() ? popup->findChild<QCalendarWidget *>() : nullptr;
}

TEST(DatePicker, OneTabStopWhateverPartIsEdited)
{
    DateWindow d;
    EXPECT_EQ(d.tabOut(false), d.after);
    EXPECT_EQ(d.tabOut(true), d.before);
    // From the month, after arrows, Tab still leaves at once.
    d.date->setFocus(Qt::OtherFocusReason);
    d.date->setSelectedSection(QDateTimeEdit::MonthSection);
    QTest::keyClick(d.date, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), d.after);
    EXPECT_EQ(d.date->displayFormat(), "yyyy-MM-dd");
    EXPECT_TRUE(d.date->calendarPopup());
}

TEST(DatePicker, ArrowsMoveBetweenPartsAndChangeThem)
{
    DateWindow d;
    d.before->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(d.before, Qt::Key_Tab);
    EXPECT_EQ(d.date->currentSection(), QDateTimeEdit::YearSection);
    d.keys({Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Up});
    EXPECT_EQ(d.date->date(), QDate(2027, 1, 8));
    // At the ends the arrows stay in the box.
    d.keys({Qt::Key_Right, Qt::Key_Right});
    EXPECT_EQ(d.date->currentSection(), QDateTimeEdit::DaySection);
    d.keys({Qt::Key_Left, Qt::Key_Left, Qt::Key_Left, Qt::Key_Left});
    EXPECT_EQ(d.date->currentSection(), QDateTimeEdit::YearSection);
    EXPECT_EQ(QApplication::focusWidget(), d.date);
}

TEST(DatePicker, DigitsTypeTheDate)
{
    DateWindow d;
    d.before->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(d.before, Qt::Key_Tab);
    QTest::keyClicks(d.date, "20250915");
    EXPECT_EQ(d.date->date(), QDate(2025, 9, 15));
    // One part typed over after moving to it.
    d.keys({Qt::Key_Left});
    QTest::keyClicks(d.date, "12");
    EXPECT_EQ(d.date->date(), QDate(2025, 12, 15));
}

TEST(DatePicker, ArrowAfterAFilledPartGoesToTheNextPartOnly)
{
    // A full year (or a month that cannot take a second digit) moves on by
    // itself; the Right the user presses next must not skip a part.
    struct Case {
        const char *year, *month, *day;
        QDate want;
    } cases[] = {
            {"2024", "7", "4", QDate(2024, 7, 4)},
            {"2024", "11", "30", QDate(2024, 11, 30)},
            {"2023", "1", "9", QDate(2023, 1, 9)},
    };
    for (const Case &c : cases) {
        DateWindow d;
        d.before->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(d.before, Qt::Key_Tab);
        QTest::keyClicks(d.date, c.year);
        d.keys({Qt::Key_Right});
        QTest::keyClicks(d.date, c.month);
        d.keys({Qt::Key_Right});
        QTest::keyClicks(d.date, c.day);
        EXPECT_EQ(d.date->date(), c.want) << c.year << "/" << c.month << "/" << c.day;
    }
}

TEST(DatePicker, EnterGoesOnToTheWindow)
{
    DateWindow d;
    bool reached = false;
    struct Catch : QObject {
        bool *reached;
        explicit Catch(bool *r) : reached(r) {}
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(e)->key() == Qt::Key_Return) *reached = true;
            return false;
        }
    } filter(&reached);
    d.w.installEventFilter(&filter);
    d.date->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(d.date, Qt::Key_Return);
    EXPECT_TRUE(reached);
}

// Alt+Down and F4 open the calendar as they open a drop-down list: the date
// stays until a day is taken; the arrows move by day and week, Enter takes
// the day, Esc keeps the old date; the focus comes back to the box.
TEST(DatePicker, AltDownAndF4OpenTheCalendarWithoutChangingTheDate)
{
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
    } openers[] = {{Qt::Key_Down, Qt::AltModifier}, {Qt::Key_F4, Qt::NoModifier}};
    for (const Case &c : openers) {
        for (QDateTimeEdit::Section part : {QDateTimeEdit::YearSection, QDateTimeEdit::DaySection}) {
            DateWindow d;
            d.date->setFocus(Qt::OtherFocusReason);
            d.date->setSelectedSection(part);
            QTest::keyClick(d.date, c.key, c.mods);
            EXPECT_EQ(d.date->date(), QDate(2026, 3, 7));
            QCalendarWidget *cal = openCalendar();
            ASSERT_NE(cal, nullptr) << c.key;
            EXPECT_EQ(cal->selectedDate(), QDate(2026, 3, 7));
            EXPECT_TRUE(cal->isAncestorOf(QApplication::focusWidget()) || QApplication::focusWidget() == cal);
            // Esc after moving: the old date stays, the box has the focus.
            for (Qt::Key k : {Qt::Key_Right, Qt::Key_Down}) QTest::keyClick(QApplication::focusWidget(), k);
            EXPECT_EQ(cal->selectedDate(), QDate(2026, 3, 15));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            EXPECT_EQ(openCalendar(), nullptr);
            EXPECT_EQ(d.date->date(), QDate(2026, 3, 7));
            EXPECT_EQ(QApplication::focusWidget(), d.date);
        }
    }
}

TEST(DatePicker, EnterInTheCalendarTakesTheDay)
{
    DateWindow d;
    d.date->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(d.date, Qt::Key_Down, Qt::AltModifier);
    ASSERT_NE(openCalendar(), nullptr);
    // Back a week and a day, then Enter.
    for (Qt::Key k : {Qt::Key_Up, Qt::Key_Left}) QTest::keyClick(QApplication::focusWidget(), k);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(openCalendar(), nullptr);
    EXPECT_EQ(d.date->date(), QDate(2026, 2, 27));
    EXPECT_EQ(QApplication::focusWidget(), d.date);
    // Tab still leaves the box in one press.
    QTest::keyClick(d.date, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), d.after);
}

// A click on the arrow opens the same calendar: moving in it and Esc
// leave the date as it was.
TEST(DatePicker, TheArrowOpensTheSameCalendar)
{
    DateWindow d;
    QTest::mouseClick(d.date, Qt::LeftButton, {}, QPoint(d.date->width() - 4, d.date->height() / 2));
    ASSERT_NE(openCalendar(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(openCalendar(), nullptr);
    EXPECT_EQ(d.date->date(), QDate(2026, 3, 7));
}

// A day the month does not have is never stored as some other typed date:
// the box keeps the month's last day.
TEST(DatePicker, AnImpossibleDayKeepsTheLastDayOfTheMonth)
{
    struct Case {
        const char *typed;
        QDate want;
    } cases[] = {
            {"20260230", QDate(2026, 2, 28)}, {"20260229", QDate(2026, 2, 28)}, {"20240230", QDate(2024, 2, 29)},
            {"20260431", QDate(2026, 4, 30)}, {"20240229", QDate(2024, 2, 29)}, {"20260131", QDate(2026, 1, 31)},
    };
    for (const Case &c : cases) {
        DateWindow d;
        d.before->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(d.before, Qt::Key_Tab);
        QTest::keyClicks(d.date, c.typed);
        EXPECT_EQ(d.date->date(), c.want) << c.typed;
        EXPECT_EQ(d.date->text(), c.want.toString("yyyy-MM-dd")) << c.typed;
    }
    // Typed part by part with the arrows, and the day typed again after it.
    DateWindow d;
    d.before->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(d.before, Qt::Key_Tab);
    QTest::keyClicks(d.date, "2026");
    d.keys({Qt::Key_Right});
    QTest::keyClicks(d.date, "02");
    d.keys({Qt::Key_Right});
    QTest::keyClicks(d.date, "30");
    EXPECT_EQ(d.date->date(), QDate(2026, 2, 28));
    QTest::keyClicks(d.date, "14");
    EXPECT_EQ(d.date->date(), QDate(2026, 2, 14));
}

// Keys go where the focus is when they arrive, as the window system sends
// them: a separator that moved the focus would carry the rest of the date
// into the next field.
static void typeIntoWindow(QWidget &w, const char *text)
{
    for (const char *c = text; *c; ++c) QTest::keyClick(w.windowHandle(), *c);
}

TEST(DatePicker, SeparatorsEndAPartAndNeverLeaveTheBox)
{
    struct Case {
        const char *typed;
        QDate want;
    } cases[] = {
            {"2026-1-5", QDate(2026, 1, 5)},     {"2026/01/05", QDate(2026, 1, 5)}, {"2026-01-05", QDate(2026, 1, 5)},
            {"20260105", QDate(2026, 1, 5)},     {"2026.1.5", QDate(2026, 1, 5)},   {"2026 1 5", QDate(2026, 1, 5)},
            {"2026-12-07", QDate(2026, 12, 7)},  {"2025-9-30-", QDate(2025, 9, 30)}, {"-1-9", QDate(2026, 1, 9)},
            {"2026-1-", QDate(2026, 1, 7)},      {"2026--", QDate(2026, 3, 7)},
    };
    for (const Case &c : cases) {
        DateWindow d;
        d.before->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(d.before, Qt::Key_Tab);
        typeIntoWindow(d.w, c.typed);
        EXPECT_EQ(QApplication::focusWidget(), d.date) << c.typed;
        EXPECT_EQ(d.date->date(), c.want) << c.typed;
        EXPECT_TRUE(d.after->text().isEmpty() && d.before->text().isEmpty()) << c.typed;
        // Leaving shows the date the box holds.
        QTest::keyClick(d.w.windowHandle(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), d.after) << c.typed;
        EXPECT_EQ(d.date->text(), c.want.toString("yyyy-MM-dd")) << c.typed;
    }
}

TEST(DatePicker, APastedDateIsTypedAsItsKeys)
{
    for (const char *pasted : {"2026-1-5", "2026/01/05", " 20260105 ", "2026.01.5"}) {
        DateWindow d;
        d.date->setFocus(Qt::OtherFocusReason);
        d.date->setSelectedSection(QDateTimeEdit::DaySection);
        QApplication::clipboard()->setText(pasted);
        QTest::keyClick(d.w.windowHandle(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(d.date->date(), QDate(2026, 1, 5)) << pasted;
        EXPECT_EQ(QApplication::focusWidget(), d.date) << pasted;
        EXPECT_TRUE(d.after->text().isEmpty()) << pasted;
    }
    // Text no key could type changes nothing.
    DateWindow d;
    d.date->setFocus(Qt::OtherFocusReason);
    QApplication::clipboard()->setText("abc-?");
    QTest::keyClick(d.w.windowHandle(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(d.date->date(), QDate(2026, 3, 7));
    EXPECT_EQ(QApplication::focusWidget(), d.date);
}

// A year or month that lacks the day shown keeps the month's last day with
// the same beep as a typed impossible day.
TEST(DatePicker, AMonthWithoutTheShownDayBeepsAsAnImpossibleDayDoes)
{
    DateWindow d;
    int cuts = 0;
    QObject::connect(d.date, &ui::DatePicker::dayCut, [&cuts](QDate) { ++cuts; });
    d.date->setDate(QDate(2026, 1, 31));
    d.date->setFocus(Qt::OtherFocusReason);
    d.date->setSelectedSection(QDateTimeEdit::MonthSection);
    QTest::keyClicks(d.date, "02");
    EXPECT_EQ(d.date->date(), QDate(2026, 2, 28));
    EXPECT_EQ(cuts, 1);
    d.date->setDate(QDate(2024, 2, 29));
    d.date->setSelectedSection(QDateTimeEdit::YearSection);
    QTest::keyClicks(d.date, "2025");
    EXPECT_EQ(d.date->date(), QDate(2025, 2, 28));
    EXPECT_EQ(cuts, 2);
    d.date->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(d.date, "31");
    EXPECT_EQ(d.date->date(), QDate(2025, 2, 28));
    EXPECT_EQ(cuts, 3);
    // A month that has the day: no beep.
    d.date->setSelectedSection(QDateTimeEdit::MonthSection);
    QTest::keyClicks(d.date, "03");
    EXPECT_EQ(d.date->date(), QDate(2025, 3, 28));
    EXPECT_EQ(cuts, 3);
}

TEST(DatePicker, TakingTheShownDayFromTheCalendarIsAChoiceToo)
{
    DateWindow d;
    QList<QDate> taken;
    QObject::connect(d.date, &ui::DatePicker::dateTaken, [&taken](QDate day) { taken << day; });
    d.date->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(d.date, Qt::Key_F4);
    ASSERT_NE(openCalendar(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(taken, QList<QDate>({QDate(2026, 3, 7)}));
    EXPECT_EQ(d.date->date(), QDate(2026, 3, 7));
}

TEST(LookupCombo, WideEnoughForItsLongestEntryAndTenChineseCharacters)
{
    QWidget w;
    auto *row = new QHBoxLayout(&w);
    auto *lookup = new ui::LookupComboBox(&w);
    QStringListModel names({"现金", "会员卡"});
    lookup->setListModel(&names);
    auto *plain = new QComboBox(&w);
    plain->addItems({"会员", "散客"});
    plain->setEditable(true);
    ui::fitToEntries(plain);
    row->addWidget(lookup);
    row->addWidget(plain);
    w.resize(10, 10);  // the layout squeezes them as far as they let it
    w.show();
    const int ten = lookup->fontMetrics().horizontalAdvance(QString(10, QChar(0x4E2D)));
    for (QComboBox *b : {static_cast<QComboBox *>(lookup), plain}) {
        EXPECT_GE(comboTextRoom(b), ten);
        for (int i = 0; i < b->count(); ++i)
            EXPECT_GE(b->view()->minimumWidth(), b->view()->fontMetrics().horizontalAdvance(b->itemText(i)));
    }
    // A longer entry coming later widens the box and its list.
    const QString longest = "银联刷卡（工商银行信用卡分期付款）";
    names.setStringList({"现金", longest});
    QApplication::processEvents();
    EXPECT_GE(comboTextRoom(lookup), lookup->fontMetrics().horizontalAdvance(longest));
    EXPECT_GE(lookup->view()->minimumWidth(), lookup->fontMetrics().horizontalAdvance(longest));
    // Opened, the list shows it whole.
    lookup->showPopup();
    EXPECT_GE(lookup->view()->viewport()->width(), lookup->view()->fontMetrics().horizontalAdvance(longest));
    lookup->hidePopup();
}

}  // namespace

// Ctrl+A (or a selection over several parts) and a typed date: the date
// is typed from the part the selection begins in, as if that part were
// selected alone.
TEST(DatePicker, ADateTypedOverASelectionOfSeveralPartsIsTaken)
{
    for (const char *typed : {"2026-1-5", "20260105", "2026/01/05"}) {
        DateWindow d;
        d.before->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(d.before, Qt::Key_Tab);
        QTest::keyClick(d.w.windowHandle(), Qt::Key_A, Qt::ControlModifier);
        typeIntoWindow(d.w, typed);
        EXPECT_EQ(d.date->date(), QDate(2026, 1, 5)) << typed;
        EXPECT_EQ(QApplication::focusWidget(), d.date) << typed;
    }
    // From the month to the day selected: the typed digits fill the month.
    DateWindow d;
    d.date->setFocus(Qt::OtherFocusReason);
    d.date->findChild<QLineEdit *>()->setSelection(5, 5);
    typeIntoWindow(d.w, "11-02");
    EXPECT_EQ(d.date->date(), QDate(2026, 11, 2));
}
