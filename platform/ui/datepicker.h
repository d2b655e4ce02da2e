#pragma once
// The date box of every window: one Tab stop.  Tab and Shift+Tab leave it
// whatever part is being edited; inside it Left and Right move between
// year, month and day, Up and Down change the part, digits type it, and
// Enter goes on to the window as before.

#include <QDateEdit>

namespace ui {

class DatePicker : public QDateEdit {
    Q_OBJECT
public:
    explicit DatePicker(QWidget *parent = nullptr);
    DatePicker(const QDate &date, QWidget *parent);

protected:
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void init();
    // A part filled by digits hands on to the next one by itself; the arrow
    // the user presses next to go there must not skip a further part.
    bool m_typedOn = false;
};

}  // namespace ui
