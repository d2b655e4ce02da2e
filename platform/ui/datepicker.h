#pragma once
// The date box of every window: one Tab stop.  Tab and Shift+Tab leave it
// whatever part is being edited; inside it Left and Right move between
// year, month and day, Up and Down change the part, digits type it, and
// Enter goes on to the window as before.  Alt+Down and F4 open the
// calendar, as they open the lists of the drop-down boxes beside it.

#include <QDateEdit>
#include <QPointer>

class QCalendarWidget;

namespace ui {

class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget *parent = nullptr);
    DatePicker(const QDate &date, QWidget *parent);

    // Opens the calendar on the box's date: the arrows move by day and
    // week, Enter takes the day, Esc closes it and the date stays.
    void showCalendar();
    // The open calendar, or null.
    QCalendarWidget *calendar() const;

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void init();
    // A typed day the month does not have becomes the month's last day
    // rather than whatever the digits left behind.
    void keepDayInMonth();
    // A part filled by digits hands on to the next one by itself; the arrow
    // the user presses next to go there must not skip a further part.
    bool m_typedOn = false;
    // The digits typed into the day so far (two end it).
    QString m_dayDigits;
    QPointer<QWidget> m_popup;
};

}  // namespace ui
