#include "sales/StringGrid.h"

#include "platform/db/db.h"
#include "platform/ui/application.h"
#include "platform/ui/keyfilter.h"

#include <QHeaderView>
#include <algorithm>
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
        // Pasted text passes the key-press hook character by character, as if typed.
        if (auto *line = qobject_cast<QLineEdit *>(w)) {
            QPointer<StringGrid> grid = m_grid;
            ui::installInsertCheck(line, [grid](QChar c) { return grid && grid->keyPasses(c); });
        }
        return w;
    }
    QPointer<QWidget> editor() const { return m_editor; }

    bool eventFilter(QObject *o, QEvent *e) override
    {
        auto *editor = qobject_cast<QLineEdit *>(o);
        if (editor && e->type() == QEvent::KeyPress) {
            auto *k = static_cast<QKeyEvent *>(e);
            m_grid->notePress(k);
            // Enter ends the edit first, so the hook works on the cells alone.
            if (StringGrid::typedChar(k) == u'\r') {
                m_grid->endEdit();
                m_grid->filterKey(k);
                return true;
            }
            if (m_grid->filterKey(k)) return true;
        } else if (editor && e->type() == QEvent::KeyRelease) {
            const bool own = m_grid->takeRelease(static_cast<QKeyEvent *>(e));
            const int row = m_grid->Row(), col = m_grid->Col();
            if (row >= 0 && col >= 0 && m_grid->isEditing()) m_grid->setCells(col, row, editor->text());
            if (own) m_grid->runHook(m_grid->onKeyUp);
            return true;
        } else if (editor && e->type() == QEvent::FocusOut) {
            m_grid->forgetPresses(static_cast<QFocusEvent *>(e)->reason());
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
    connect(delegate, &QAbstractItemDelegate::closeEditor, this, [this] { runHook(onEditDone); });
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTabKeyNavigation(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(18);
}

void StringGrid::releaseHooks()
{
    onKeyPress = {};
    onKeyUp = {};
    onEditDone = {};
    onDblClick = {};
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

void StringGrid::runHook(const std::function<void()> &hook)
{
    if (!hook) return;
    try {
        hook();
        m_shownError.clear();
    } catch (...) {
        // The hooks after a key all read the same cells: what one of them
        // reported is not shown again until a hook gets through.
        const QString text = ui::exceptionText(std::current_exception());
        if (text == m_shownError) return;
        m_shownError = text;
        ui::reportException(std::current_exception());
    }
}

bool StringGrid::keyPasses(QChar c)
{
    QChar key = c;
    if (!onKeyPress) return true;
    const bool ok = ui::guarded([&] { onKeyPress(key); });
    return ok && !key.isNull();
}

// Only the last key pressed here counts: a press whose release never came
// back (the cell's editor closed in between) must not stay waiting.
void StringGrid::notePress(const QKeyEvent *e)
{
    m_pressed = e->key();
}

bool StringGrid::takeRelease(const QKeyEvent *e)
{
    if (e->key() != m_pressed) return false;
    if (!e->isAutoRepeat()) m_pressed = 0;
    return true;
}

void StringGrid::forgetPresses(Qt::FocusReason reason)
{
    // Another window (a message box) took the keyboard: its keys are not ours.
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) m_pressed = 0;
}

void StringGrid::focusOutEvent(QFocusEvent *e)
{
    forgetPresses(e->reason());
    QTableWidget::focusOutEvent(e);
}

void StringGrid::setBaseColumnWidths(const QList<int> &widths)
{
    m_baseWidths = widths;
    stretchColumns();
}

void StringGrid::setHeadings(std::span<const char *const> headings, std::span<const int> widths)
{
    for (int c = 0; c < int(headings.size()); ++c)
        setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromUtf8(headings[c])));
    setBaseColumnWidths(QList<int>(widths.begin(), widths.end()));
}

void StringGrid::goodsKey(QChar &key, std::span<const CellRule> rules, int idColumn,
                          const std::function<void()> &search, std::initializer_list<int> order)
{
    const int row = Row();
    const int col = Col();
    if (row < 1) return;
    if (key == u'\r' && Cells(idColumn, row).isEmpty()) search();
    const bool goods = !Cells(idColumn, row).isEmpty();
    const CellRule rule = col >= 0 && col < int(rules.size()) ? rules[col] : CellRule::Any;
    applyRule(key, rule, goods);
    if (key != u'\r' || !goods) return;
    // A number cell that holds no number keeps the cursor until it is mended.
    const QString text = Cells(col, row);
    if ((rule == CellRule::Decimal || rule == CellRule::Digits) && !text.isEmpty() && !vdb::isSqlNumber(text)) return;
    const int *at = std::find(order.begin(), order.end(), col);
    if (at == order.end()) return;
    if (at + 1 != order.end())
        moveTo(*(at + 1), row);
    else if (row + 1 < rowCount())
        moveTo(*order.begin(), row + 1);
}

void StringGrid::stretchColumns()
{
    int total = 0;
    QList<int> shown;
    for (int c = 0; c < m_baseWidths.size() && c < columnCount(); ++c)
        if (!isColumnHidden(c)) {
            shown << c;
            total += m_baseWidths[c];
        }
    if (shown.isEmpty() || total <= 0) return;
    // Never narrower than laid out; wider in proportion when there is room.
    const int room = qMax(total, viewport()->width());
    int used = 0;
    for (int i = 0; i < shown.size(); ++i) {
        const int c = shown[i];
        const int w = i + 1 == shown.size() ? room - used : m_baseWidths[c] * room / total;
        setColumnWidth(c, w);
        used += w;
    }
}

void StringGrid::resizeEvent(QResizeEvent *e)
{
    QTableWidget::resizeEvent(e);
    stretchColumns();
}

bool StringGrid::filterKey(QKeyEvent *e)
{
    const QChar key = typedChar(e);
    return !key.isNull() && !keyPasses(key);
}

void StringGrid::keyPressEvent(QKeyEvent *e)
{
    notePress(e);
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
    // A release whose press went elsewhere (the message box it closed) is not a key typed here.
    if (takeRelease(e)) runHook(onKeyUp);
}

void StringGrid::mouseDoubleClickEvent(QMouseEvent *e)
{
    QTableWidget::mouseDoubleClickEvent(e);
    if (onDblClick) ui::guarded(onDblClick);
}

void StringGrid::clearLines()
{
    endEdit();
    for (int r = 1; r < rowCount(); ++r) {
        setCells(0, r, QStringLiteral("@ ") + QString::number(r));
        // Every change tells the view: a line left as it was costs nothing.
        if (QTableWidgetItem *i = item(r, 0); i && (i->flags() & Qt::ItemIsEditable))
            i->setFlags(i->flags() & ~Qt::ItemIsEditable);
        clearLine(r);
    }
}

void StringGrid::clearLine(int row)
{
    for (int c = 1; c < columnCount(); ++c) {
        const QTableWidgetItem *i = item(row, c);
        if (!i || !i->text().isEmpty()) setCells(c, row, QString());
    }
}

QStringList StringGrid::filledNumbers(int column) const
{
    QStringList out;
    for (int r = 1; r < rowCount(); ++r)
        if (!Cells(column, r).isEmpty()) out << vdb::sqlNum(Cells(column, r));
    return out;
}

void StringGrid::applyRule(QChar &key, CellRule rule, bool lineHasGoods)
{
    if (key == u'\b' || key == u'\r') return;
    const bool digit = key >= u'0' && key <= u'9';
    bool passes = true;
    switch (rule) {
    case CellRule::Search:
        passes = !lineHasGoods;
        break;
    case CellRule::Fixed:
        passes = false;
        break;
    case CellRule::Decimal:
        passes = digit || key == u'.';
        break;
    case CellRule::Digits:
        passes = digit;
        break;
    case CellRule::Any:
        break;
    }
    if (!passes) key = QChar();
}
