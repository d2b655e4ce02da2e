#include "platform/ui/dbgrid.h"

#include <QHeaderView>
#include <QKeyEvent>

namespace ui {

void QueryModel::setQuery(vdb::Query *q)
{
    beginResetModel();
    m_q = q;
    m_alive = q ? q->lifeToken() : nullptr;
    endResetModel();
}

void QueryModel::refresh()
{
    beginResetModel();
    endResetModel();
}

int QueryModel::rowCount(const QModelIndex &parent) const
{
    const vdb::Query *q = query();
    return parent.isValid() || !q || !q->Active() ? 0 : q->RecordCount();
}

int QueryModel::columnCount(const QModelIndex &parent) const
{
    const vdb::Query *q = query();
    return parent.isValid() || !q || !q->Active() ? 0 : q->FieldCount();
}

QVariant QueryModel::data(const QModelIndex &index, int role) const
{
    const vdb::Query *q = query();
    if (!q || !index.isValid()) return {};
    if (role == Qt::DisplayRole) return q->text(index.row(), index.column());
    if (role == Qt::TextAlignmentRole) {
        auto k = q->FieldKind(index.column());
        bool numeric = k == vdb::Query::Kind::Number || k == vdb::Query::Kind::Money || k == vdb::Query::Kind::Integer;
        return int((numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    return {};
}

QVariant QueryModel::headerData(int section, Qt::Orientation o, int role) const
{
    const vdb::Query *q = query();
    if (role != Qt::DisplayRole || !q) return {};
    if (o == Qt::Horizontal) return q->FieldNames().value(section);
    return section + 1;
}

void readOnlyGrid(QTableView *grid, int rowHeight)
{
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setTabKeyNavigation(false);
    grid->verticalHeader()->setDefaultSectionSize(rowHeight);
}

DBGrid::DBGrid(QWidget *parent) : QTableView(parent)
{
    setModel(&m_model);
    readOnlyGrid(this);
    setAlternatingRowColors(true);
    horizontalHeader()->setSectionsClickable(true);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &DBGrid::sortByColumn);
    connect(this, &QTableView::clicked, this, [this](const QModelIndex &i) { selectRow(i.row()); });
}

void DBGrid::setQuery(vdb::Query *q)
{
    m_model.setQuery(q);
    refresh();
}

void DBGrid::refresh()
{
    vdb::Query *q = m_model.query();
    m_model.refresh();
    if (q && q->Active() && !q->Eof()) selectRow(q->RecNo() - 1);
}

void DBGrid::selectRow(int row)
{
    vdb::Query *q = m_model.query();
    if (!q || row < 0 || row >= m_model.rowCount()) return;
    q->setRecNo(row + 1);
    QTableView::selectRow(row);
}

int DBGrid::currentRowIndex() const
{
    vdb::Query *q = m_model.query();
    return q && !q->Eof() ? q->RecNo() - 1 : -1;
}

void DBGrid::sortByColumn(int column)
{
    vdb::Query *q = m_model.query();
    if (!q || column < 0 || column >= q->FieldCount()) return;
    const QString name = q->FieldNames().at(column);
    const bool asc = q->sort() == name + QStringLiteral(" ASC");
    q->setSort(name + (asc ? QStringLiteral(" DESC") : QStringLiteral(" ASC")));
    refresh();
}

void DBGrid::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        emit EnterPressed();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        emit EscapePressed();
        return;
    }
    QTableView::keyPressEvent(e);
    if (currentIndex().isValid()) selectRow(currentIndex().row());
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent *e)
{
    QTableView::mouseDoubleClickEvent(e);
    if (currentIndex().isValid()) {
        selectRow(currentIndex().row());
        emit DblClick();
    }
}

}  // namespace ui
