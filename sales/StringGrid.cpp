#include "sales/StringGrid.h"

#include "platform/ui/application.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPointer>
#include <QStyledItemDelegate>

namespace {
// Editors whose keys go through the grid's hooks; every released key puts
// the editor's text into the cell, so computations on key release see it.
class GridDelegate : public QStyledItemDelegate {
public:
    explicit GridDelegate(StringGrid *grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *w = QStyledItemDelegate::createEditor(parent, option, index);
        m_editor = w;
        return w;
    }
    QPointer<QWidget> editor() const { return m_editor; }

    bool eventFilter(QObject *o, QEvent *e) override
    {
        auto *editor = qobject_cast<QLineEdit *>(o);
        if (editor && e->type() == QEvent::KeyPress) {
            auto *k = static_cast<QKeyEvent *>(e);
            // Enter ends the edit first, so the hook works on the cells alone.
            if (StringGrid::typedChar(k) == u'\r') {
                m_grid->endEdit();
                m_grid->filterKey(k);
                return true;
            }
            if (m_grid->filterKey(k)) return true;
        } else if (editor && e->type() == QEvent::KeyRelease) {
            const int row = m_grid->Row(), col = m_grid->Col();
            if (row >= 0 && col >= 0 && m_grid->isEditing()) m_grid->setCells(col, row, editor->text());
            if (m_grid->onKeyUp) ui::guarded(m_grid->onKeyUp);
            return true;
        }
        return QStyledItemDelegate::eventFilter(o, e);
    }

private:
    StringGrid *m_grid;
    mutable QPointer<QWidget> m_editor;
};
}  // namespace

StringGrid::StringGrid(int rowCount, int columnCount, QWidget *parent) : QTableWidget(rowCount, columnCount, parent)
{
    auto *delegate = new GridDelegate(this);
    setItemDelegate(delegate);
    connect(delegate, &QAbstractItemDelegate::closeEditor, this, [this] {
        if (onEditDone) ui::guarded(onEditDone);
    });
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
}

void StringGrid::endEdit()
{
    auto *d = static_cast<GridDelegate *>(itemDelegate());
    QWidget *editor = d->editor();
    if (!editor || !isEditing()) return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

QString StringGrid::Cells(int col, int row) const
{
    const QTableWidgetItem *i = item(row, col);
    return i ? i->text() : QString();
}

void StringGrid::setCells(int col, int row, const QString &text)
{
    if (QTableWidgetItem *i = item(row, col)) {
        i->setText(text);
        return;
    }
    setItem(row, col, new QTableWidgetItem(text));
}

QChar StringGrid::typedChar(const QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return u'\r';
    if (e->key() == Qt::Key_Backspace) return u'\b';
    if (e->key() == Qt::Key_Escape) return u'\x1b';
    const QString t = e->text();
    if (t.isEmpty() || !t.at(0).isPrint() || (e->modifiers() & Qt::ControlModifier)) return QChar();
    return t.at(0);
}

bool StringGrid::filterKey(QKeyEvent *e)
{
    QChar key = typedChar(e);
    if (key.isNull() || !onKeyPress) return false;
    bool ok = ui::guarded([&] { onKeyPress(key); });
    return !ok || key.isNull();
}

void StringGrid::keyPressEvent(QKeyEvent *e)
{
    if (filterKey(e)) return;
    if (typedChar(e) == u'\r') return;
    // Backspace on a cell starts its editor too, erasing from the end.
    if (e->key() == Qt::Key_Backspace && !isEditing() && currentIndex().isValid() &&
        (currentIndex().flags() & Qt::ItemIsEditable)) {
        edit(currentIndex());
        if (QWidget *editor = static_cast<GridDelegate *>(itemDelegate())->editor()) {
            QKeyEvent copy(e->type(), e->key(), e->modifiers(), e->text());
            QCoreApplication::sendEvent(editor, &copy);
            return;
        }
    }
    QTableWidget::keyPressEvent(e);
}

void StringGrid::keyReleaseEvent(QKeyEvent *e)
{
    QTableWidget::keyReleaseEvent(e);
    auto *d = static_cast<GridDelegate *>(itemDelegate());
    if (QWidget *editor = d->editor(); editor && isEditing()) commitData(editor);
    if (onKeyUp) ui::guarded(onKeyUp);
}

void StringGrid::mouseDoubleClickEvent(QMouseEvent *e)
{
    QTableWidget::mouseDoubleClickEvent(e);
    if (onDblClick) ui::guarded(onDblClick);
}
