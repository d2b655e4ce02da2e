#pragma once
// The date box of every window: one Tab stop.  Tab and Shift+Tab leave it
// whatever part is being edited; inside it Left and Right move between
// year, month and day, Up and Down change the part, digits type it, "-",
// "/", "." and a space end a part and never leave the box, and Enter goes
// on to the window as before.  Alt+Down and F4 open the calendar, as they
// open the lists of the drop-down boxes beside it.

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

    // Pasted text is typed into the box key by key; a whole date starts at
    // the year.
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
    // A part filled by digits hands on to the next one by itself; the arrow
    // the user presses next to go there must not skip a further part.
    bool m_typedOn = false;
    // The digits typed into the day so far (two end it).
    QString m_dayDigits;
    QPointer<QWidget> m_popup;
};

}  // namespace ui
