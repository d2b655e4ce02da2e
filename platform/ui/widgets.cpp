#include "platform/ui/widgets.h"

#include "platform/ui/application.h"
#include "platform/ui/dbgrid.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>

#include <algorithm>

namespace ui {

QLineEdit *lineEdit(QWidget *parent, int maxLength)
{
    auto *e = new QLineEdit(parent);
    if (maxLength > 0) e->setMaxLength(maxLength);
    return e;
}

void showChineseChars(QLineEdit *edit, int count)
{
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
    opt.state |= QStyle::State_Sunken;
    const QMargins text = edit->textMargins() + edit->contentsMargins();
    // The line edit keeps two pixels each side of its text and the cursor's
    // width after it.
    const int inner = edit->fontMetrics().horizontalAdvance(QString(count, QChar(0x4E2D))) + 2 * 2 + text.left() +
                      text.right() + edit->style()->pixelMetric(QStyle::PM_TextCursorWidth, &opt, edit) + 1;
    const QSize outer =
            edit->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, QSize(inner, edit->sizeHint().height()), edit);
    edit->setMinimumWidth(outer.width());
}

namespace {

// Keeps a field's typing limit while it shows a longer stored value.  An
// edit comes (textEdited) before the change is announced (textChanged), so
// the text before the edit is the one last announced.
class StoredTextLimit : public QObject {
public:
    explicit StoredTextLimit(QLineEdit *edit) : QObject(edit), m_edit(edit), m_limit(edit->maxLength())
    {
        connect(edit, &QLineEdit::textEdited, this, [this](const QString &t) {
            if (t.size() <= m_limit || t.size() <= m_shown.size()) return;
            const int cursor = m_edit->cursorPosition() - int(t.size() - m_shown.size());
            m_edit->setText(m_shown);
            m_edit->setCursorPosition(std::max(0, cursor));
        });
        // The field's own text: a refused edit announces the text it replaced.
        connect(edit, &QLineEdit::textChanged, this, [this] {
            m_shown = m_edit->text();
            if (m_shown.size() <= m_limit && m_edit->maxLength() != m_limit) {
                const int cursor = m_edit->cursorPosition();
                m_edit->setMaxLength(m_limit);
                m_edit->setCursorPosition(cursor);
            }
        });
    }
    void fill(const QString &text)
    {
        m_edit->setMaxLength(std::max<int>(m_limit, int(text.size())));
        m_edit->setText(text);
        m_shown = m_edit->text();
    }

private:
    QLineEdit *m_edit;
    int m_limit;
    QString m_shown;
};

}  // namespace

void setStoredText(QLineEdit *edit, const QString &text)
{
    // Found by name: the class has no meta-object of its own to look it up by.
    static const QString name = QStringLiteral("storedTextLimit");
    auto *limit = static_cast<StoredTextLimit *>(edit->findChild<QObject *>(name, Qt::FindDirectChildrenOnly));
    if (!limit) {
        limit = new StoredTextLimit(edit);
        limit->setObjectName(name);
    }
    limit->fill(text);
}

QPushButton *button(QWidget *parent, const QString &text, std::function<void()> onClick)
{
    auto *b = new QPushButton(text, parent);
    b->setAutoDefault(false);
    b->setMinimumWidth(80);
    on(b, &QPushButton::clicked, parent, std::move(onClick));
    return b;
}

QHBoxLayout *buttonRow(std::initializer_list<QWidget *> widgets)
{
    return buttonRow({}, widgets);
}

QHBoxLayout *buttonRow(std::initializer_list<QWidget *> options, std::initializer_list<QWidget *> buttons)
{
    auto *row = new QHBoxLayout;
    for (QWidget *w : options) row->addWidget(w);
    row->addStretch();
    for (QWidget *w : buttons) row->addWidget(w);
    return row;
}

QLabel *note(QWidget *parent, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setStyleSheet(QStringLiteral("color: #0000c0"));
    return l;
}

QMenu *popupMenu(QAbstractItemView *view, QWidget *owner, std::initializer_list<QAction *> actions)
{
    auto *menu = new QMenu(owner);
    for (QAction *a : actions) {
        if (a)
            menu->addAction(a);
        else
            menu->addSeparator();
    }
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, menu,
                     [view, menu](const QPoint &p) { popupOnRow(view, menu, p); });
    return menu;
}

void popupOnRow(QAbstractItemView *view, QMenu *menu, const QPoint &pos)
{
    const QModelIndex at = view->indexAt(pos);
    if (!at.isValid()) return;
    // The row actions read the current row: it must be the one clicked.
    if (auto *grid = qobject_cast<DBGrid *>(view))
        grid->selectRow(at.row());
    else
        view->setCurrentIndex(at);
    menu->popup(view->viewport()->mapToGlobal(pos));
}

QMenu *gridPopup(ui::DBGrid *grid, std::initializer_list<QAction *> actions)
{
    grid->setToolTip(QStringLiteral("亲，鼠标右键 有惊喜哟！"));
    return popupMenu(grid, grid, actions);
}

namespace {

class DoubleClickFilter : public QObject {
public:
    DoubleClickFilter(QWidget *widget, std::function<void()> handler) : QObject(widget), m_handler(std::move(handler))
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() != QEvent::MouseButtonDblClick) return QObject::eventFilter(o, e);
        guarded(m_handler);
        return true;
    }

private:
    std::function<void()> m_handler;
};

}  // namespace

void onDoubleClick(QWidget *widget, std::function<void()> handler)
{
    new DoubleClickFilter(widget, std::move(handler));
}

QAction *menuItem(QWidget *parent, const QString &text, std::function<void()> onClick)
{
    auto *a = new QAction(text, parent);
    on(a, &QAction::triggered, parent, std::move(onClick));
    return a;
}

}  // namespace ui
