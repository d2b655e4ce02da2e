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

namespace ui {

QLineEdit *lineEdit(QWidget *parent, int maxLength)
{
    auto *e = new QLineEdit(parent);
    if (maxLength > 0) e->setMaxLength(maxLength);
    return e;
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
                     [view, menu](const QPoint &p) { menu->popup(view->viewport()->mapToGlobal(p)); });
    return menu;
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
