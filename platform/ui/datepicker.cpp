#include "platform/ui/datepicker.h"

#include <QKeyEvent>

namespace ui {

DatePicker::DatePicker(QWidget *parent) : QDateEdit(parent)
{
    init();
}

DatePicker::DatePicker(const QDate &date, QWidget *parent) : QDateEdit(date, parent)
{
    init();
}

void DatePicker::init()
{
    setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    setCalendarPopup(true);
}

bool DatePicker::focusNextPrevChild(bool next)
{
    // The date edit would take Tab to step through its parts; the window's
    // chain goes on instead.
    return QWidget::focusNextPrevChild(next);
}

void DatePicker::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const bool plain = !(event->modifiers() & ~(Qt::KeypadModifier));
    const bool typedOn = m_typedOn;
    m_typedOn = false;
    if (plain && key == Qt::Key_Right && typedOn) {
        setSelectedSection(currentSection());
        event->accept();
        return;
    }
    if (plain && (key == Qt::Key_Left || key == Qt::Key_Right)) {
        const int to = currentSectionIndex() + (key == Qt::Key_Right ? 1 : -1);
        // At the first or last part the key stays here rather than leaving.
        if (to >= 0 && to < sectionCount()) setSelectedSection(sectionAt(to));
        event->accept();
        return;
    }
    const int from = currentSectionIndex();
    QDateEdit::keyPressEvent(event);
    m_typedOn = plain && key >= Qt::Key_0 && key <= Qt::Key_9 && currentSectionIndex() == from + 1;
}

}  // namespace ui
