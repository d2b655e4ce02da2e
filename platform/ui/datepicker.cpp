#include "platform/ui/datepicker.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QFrame>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

namespace ui {

namespace {

// The calendar under the box.  Only a day taken with Enter or a click
// changes the box; closing it any other way leaves the date as it was.
class CalendarPopup : public QFrame {
public:
    explicit CalendarPopup(DatePicker *box) : QFrame(box, Qt::Popup), m_box(box)
    {
        setAttribute(Qt::WA_DeleteOnClose);
        setFrameShape(QFrame::StyledPanel);
        m_calendar = new QCalendarWidget(this);
        m_calendar->setMinimumDate(box->minimumDate());
        m_calendar->setMaximumDate(box->maximumDate());
        m_calendar->setSelectedDate(box->date());
        auto *lay = new QVBoxLayout(this);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(m_calendar);
        connect(m_calendar, &QCalendarWidget::activated, this, &CalendarPopup::take);
        connect(m_calendar, &QCalendarWidget::clicked, this, &CalendarPopup::take);
    }
    QCalendarWidget *calendar() const { return m_calendar; }

protected:
    void keyPressEvent(QKeyEvent *e) override
    {
        if (e->key() == Qt::Key_Escape) {
            e->accept();
            close();
            return;
        }
        QFrame::keyPressEvent(e);
    }
    void hideEvent(QHideEvent *e) override
    {
        QFrame::hideEvent(e);
        m_box->setFocus(Qt::PopupFocusReason);
    }

private:
    void take(QDate day)
    {
        m_box->takeDay(day);
        close();
    }
    DatePicker *m_box;
    QCalendarWidget *m_calendar;
};

}  // namespace

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
    // The drop-down arrow is drawn; its calendar is ours (showCalendar).
    setCalendarPopup(true);
    lineEdit()->installEventFilter(this);
}

void DatePicker::showCalendar()
{
    if (isReadOnly() || !isEnabled()) return;
    if (m_popup) m_popup->close();
    auto *popup = new CalendarPopup(this);
    m_popup = popup;
    popup->adjustSize();
    // Below the box, or above it when the screen ends first.
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen *s = screen()) {
        const QRect room = s->availableGeometry();
        if (at.y() + popup->height() > room.bottom()) at.setY(mapToGlobal(QPoint(0, 0)).y() - popup->height());
        at.setX(qBound(room.left(), at.x(), qMax(room.left(), room.right() - popup->width())));
    }
    popup->move(at);
    popup->show();
    popup->calendar()->setFocus(Qt::PopupFocusReason);
}

void DatePicker::takeDay(QDate day)
{
    setDate(day);
    emit dateTaken(date());
}

QCalendarWidget *DatePicker::calendar() const
{
    auto *popup = static_cast<CalendarPopup *>(m_popup.data());
    return popup && popup->isVisible() ? popup->calendar() : nullptr;
}

bool DatePicker::focusNextPrevChild(bool next)
{
    // The date edit would take Tab to step through its parts; the window's
    // chain goes on instead.
    return QWidget::focusNextPrevChild(next);
}

void DatePicker::mousePressEvent(QMouseEvent *event)
{
    QStyleOptionComboBox opt;
    opt.initFrom(this);
    opt.editable = true;
    opt.frame = hasFrame();
    opt.subControls = QStyle::SC_All;
    const QRect arrow = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxArrow, this);
    forgetRun();
    if (event->button() == Qt::LeftButton && arrow.contains(event->position().toPoint())) {
        event->accept();
        showCalendar();
        return;
    }
    QDateEdit::mousePressEvent(event);
}

bool DatePicker::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lineEdit()) {
        if (event->type() == QEvent::MouseButtonPress) forgetRun();
        // The part clicked is typed over as a whole, as after Tab or an
        // arrow; digits put into the middle of a part make no date.
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            const bool handled = QDateEdit::eventFilter(watched, event);
            if (!lineEdit()->hasSelectedText()) setSelectedSection(currentSection());
            return handled;
        }
    }
    return QDateEdit::eventFilter(watched, event);
}

void DatePicker::focusInEvent(QFocusEvent *event)
{
    forgetRun();
    QDateEdit::focusInEvent(event);
}

void DatePicker::forgetRun()
{
    m_run.clear();
    m_dayDigits.clear();
    m_typedOn = false;
}

void DatePicker::retypeFromYear()
{
    const QString digits = m_run;
    m_run.clear();
    setDate(m_runFrom);
    setSelectedSection(YearSection);
    m_dayDigits.clear();
    m_typedOn = false;
    m_retyping = true;
    for (const QChar c : digits) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (c.unicode() - u'0'), Qt::NoModifier, QString(c));
        keyPressEvent(&press);
    }
    m_retyping = false;
}

void DatePicker::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const bool plain = mods == Qt::NoModifier;
    const bool typedOn = m_typedOn;
    m_typedOn = false;
    // As in the drop-down boxes: the list opens, the value stays.
    if ((plain && key == Qt::Key_F4) || (mods == Qt::AltModifier && (key == Qt::Key_Down || key == Qt::Key_Up))) {
        event->accept();
        forgetRun();
        showCalendar();
        return;
    }
    if (plain && key == Qt::Key_Right && typedOn) {
        m_run.clear();
        setSelectedSection(currentSection());
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        event->accept();
        forgetRun();
        if (!isReadOnly()) pasteText(QApplication::clipboard()->text());
        return;
    }
    // Qt's own date edit takes Ctrl+Left/Right (with Shift too) and a
    // separator with Ctrl or Alt for Tab, out of the box: they stay here,
    // the arrows moving between the parts.
    const bool ctrlOrAlt = mods & (Qt::ControlModifier | Qt::AltModifier);
    if (ctrlOrAlt && (key == Qt::Key_Minus || key == Qt::Key_Slash || key == Qt::Key_Period)) {
        event->accept();
        forgetRun();
        return;
    }
    const bool arrow = key == Qt::Key_Left || key == Qt::Key_Right;
    const bool wordArrow =
            arrow && (mods & Qt::ControlModifier) && !(mods & ~(Qt::ControlModifier | Qt::ShiftModifier));
    if (wordArrow || (arrow && mods == Qt::ShiftModifier)) {
        forgetRun();
        const int to = currentSectionIndex() + (key == Qt::Key_Right ? 1 : -1);
        if (to >= 0 && to < sectionCount()) setSelectedSection(sectionAt(to));
        event->accept();
        return;
    }
    // Qt's own date edit drops keys typed over several selected parts
    // (Ctrl+A): type them into the part the selection begins in.
    const QString typed = event->text();
    if (typed.size() == 1 && (typed.at(0).isDigit() || isSeparator(typed.at(0)))) collapseSelection();
    const bool separator = (plain || mods == Qt::ShiftModifier) && typed.size() == 1 && isSeparator(typed.at(0));
    const bool digitKey = plain && key >= Qt::Key_0 && key <= Qt::Key_9;
    // A whole date begun in the month or the day goes to the year: four
    // digits and a separator, or eight digits.
    if (!m_retyping) {
        if (digitKey) {
            // A date or part set in between (by the program, the calendar)
            // ends the run.
            if (!m_run.isEmpty() && (date() != m_runDate || currentSectionIndex() != m_runAt)) m_run.clear();
            if (m_run.isEmpty()) {
                m_runFrom = date();
                m_runPart = currentSectionIndex();
            }
            m_run += QChar(u'0' + (key - Qt::Key_0));
            if (m_runPart != 0 && m_run.size() == 8) {
                event->accept();
                retypeFromYear();
                return;
            }
        } else {
            const bool wholeYear = separator && m_runPart != 0 && m_run.size() == 4;
            if (wholeYear) {
                // The year filled moves on to the month: the separator is spent.
                event->accept();
                retypeFromYear();
                m_typedOn = false;
                return;
            }
            // A modifier pressed on its way to a separator keeps the run.
            if (key != Qt::Key_Shift && key != Qt::Key_Control && key != Qt::Key_Alt && key != Qt::Key_Meta)
                m_run.clear();
        }
    }
    // Qt's own date edit hands a separator to the focus chain, which would
    // carry the rest of the date into the next field.
    if (separator) {
        event->accept();
        endPart(typedOn);
        return;
    }
    if (plain && arrow) {
        m_dayDigits.clear();
        const int to = currentSectionIndex() + (key == Qt::Key_Right ? 1 : -1);
        // At the first or last part the key stays here rather than leaving.
        if (to >= 0 && to < sectionCount()) setSelectedSection(sectionAt(to));
        event->accept();
        return;
    }
    const int from = currentSectionIndex();
    const bool digit = digitKey;
    const bool inDay = digit && currentSection() == DaySection;
    if (!inDay || m_dayDigits.size() >= 2) m_dayDigits.clear();
    if (inDay) m_dayDigits += QChar(u'0' + (key - Qt::Key_0));
    const QDate before = date();
    QDateEdit::keyPressEvent(event);
    m_typedOn = digit && currentSectionIndex() == from + 1;
    if (inDay) {
        keepDayInMonth();
    } else if (digit && date().day() < before.day() && (date().year() != before.year() || date().month() != before.month())) {
        // A year or month that lacks the shown day kept the month's last.
        QApplication::beep();
        emit dayCut(date());
    }
    if (digitKey && !m_run.isEmpty()) {
        m_runDate = date();
        m_runAt = currentSectionIndex();
    }
}

void DatePicker::collapseSelection()
{
    QLineEdit *edit = lineEdit();
    if (!edit->hasSelectedText() || edit->selectedText() == sectionText(currentSection())) return;
    const int start = edit->selectionStart();
    // Moving the cursor makes the date edit take the part under it.
    edit->setCursorPosition(start);
    setSelectedSection(currentSection());
    m_dayDigits.clear();
}

bool DatePicker::isSeparator(QChar c)
{
    return c == u'-' || c == u'/' || c == u'.' || c == u' ';
}

void DatePicker::endPart(bool typedOn)
{
    m_dayDigits.clear();
    // A part its digits already filled has moved on by itself.
    if (typedOn) return;
    const int to = currentSectionIndex() + 1;
    if (to < sectionCount()) setSelectedSection(sectionAt(to));
}

void DatePicker::pasteText(const QString &text)
{
    const QString t = text.trimmed();
    static const QRegularExpression whole(
            QStringLiteral("^(?:(\\d{4})(\\d{2})(\\d{2})|(\\d{4})[-/. ](\\d{1,2})[-/. ](\\d{1,2}))$"));
    static const QRegularExpression part(QStringLiteral("^\\d{1,4}$"));
    forgetRun();
    if (const QRegularExpressionMatch m = whole.match(t); m.hasMatch()) {
        const int at = m.capturedLength(1) ? 1 : 4;
        const QDate d(m.captured(at).toInt(), m.captured(at + 1).toInt(), m.captured(at + 2).toInt());
        if (d.isValid() && d >= minimumDate() && d <= maximumDate()) {
            setDate(d);
            setSelectedSection(DaySection);
            return;
        }
    } else if (part.match(t).hasMatch()) {
        // A part's value, typed into the part the cursor stands in.
        for (const QChar c : t) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (c.unicode() - u'0'), Qt::NoModifier, QString(c));
            keyPressEvent(&press);
        }
        return;
    }
    // Not a date in the box's order (9/15/2025, 2026-13-01): the date stays.
    QApplication::beep();
}

void DatePicker::contextMenuEvent(QContextMenuEvent *event)
{
    // The line edit's own menu, with its paste going through pasteText.
    QMenu *menu = lineEdit()->createStandardContextMenu();
    if (QAction *paste = menu->findChild<QAction *>(QStringLiteral("edit-paste"))) {
        disconnect(paste, &QAction::triggered, nullptr, nullptr);
        connect(paste, &QAction::triggered, this, [this] { pasteText(QApplication::clipboard()->text()); });
    }
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void DatePicker::keepDayInMonth()
{
    if (m_dayDigits.size() != 2) return;
    const int typed = m_dayDigits.toInt();
    const QDate shown = date();
    const int last = shown.daysInMonth();
    if (typed <= last || typed > 31) return;
    setDate(QDate(shown.year(), shown.month(), last));
    setSelectedSection(DaySection);
    QApplication::beep();
    emit dayCut(date());
}

}  // namespace ui
