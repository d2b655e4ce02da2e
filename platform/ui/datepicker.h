#pragma once
// The date box of every window: one Tab stop.  Tab and Shift+Tab leave it
// whatever part is being edited; inside it Left and Right (also with Ctrl
// or Shift) move between year, month and day, Up and Down change the part,
// digits type it, "-", "/", "." and a space end a part and never leave the
// box (nor do they with Ctrl or Alt), and Enter goes on to the window as
// before.  A click selects the part clicked.  A date typed whole (four
// digits and a separator, or eight digits) from the month or the day is
// taken from the year, as if typed there.  Alt+Down and F4 open the
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

    // A pasted date in the box's order (year, month, day; "20260105" or
    // with separators) is taken whole; a number of up to four digits is
    // typed into the current part; anything else is refused with a beep.
    void pasteText(const QString &text);
    // What a day taken in the calendar does.
    void takeDay(QDate day);

signals:
    // A day taken from the calendar, also the one already shown.
    void dateTaken(QDate day);
    // The box beeped and kept the month's last day for a day the month lacks.
    void dayCut(QDate kept);

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void init();
    // A typed day the month does not have becomes the month's last day
    // rather than whatever the digits left behind.
    void keepDayInMonth();
    // A separator ends the part being typed.
    void endPart(bool typedOn);
    void collapseSelection();
    static bool isSeparator(QChar c);
    // Types the digits of the run again from the year, on the date the box
    // held before the run began.
    void retypeFromYear();
    void forgetRun();
    // A part filled by digits hands on to the next one by itself; the arrow
    // the user presses next to go there must not skip a further part.
    bool m_typedOn = false;
    // The digits typed into the day so far (two end it).
    QString m_dayDigits;
    // Digits typed one after another, the date before the first of them and
    // the part it went into: a whole date begun outside the year.
    QString m_run;
    QDate m_runFrom;
    int m_runPart = 0;
    // Where the run's last digit left the box.
    QDate m_runDate;
    int m_runAt = 0;
    bool m_retyping = false;
    QPointer<QWidget> m_popup;
};

}  // namespace ui
