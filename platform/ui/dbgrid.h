#pragma once
// The data grid of the list and lookup windows: a read-only table over a
// query's rows, columns titled by their field names, the current row kept
// in step with the query's cursor.  Column-title clicks sort client-side.

#include "platform/db/db.h"

#include <QAbstractTableModel>
#include <QTableView>

namespace ui {

class QueryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit QueryModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}
    // A query destroyed before the model shows as empty.
    void setQuery(vdb::Query *q);
    vdb::Query *query() const { return m_alive && *m_alive ? m_q : nullptr; }
    // Call after the query was reopened or re-sorted.
    void refresh();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
    vdb::Query *m_q = nullptr;
    std::shared_ptr<const bool> m_alive;
};

// What every read-only grid shares: whole rows chosen one at a time, no
// editing, and Tab going on to the window's next control (the arrow keys
// move in the grid).
void readOnlyGrid(QTableView *grid, int rowHeight = 22);

class DBGrid : public QTableView {
    Q_OBJECT
public:
    explicit DBGrid(QWidget *parent = nullptr);
    void setQuery(vdb::Query *q);
    vdb::Query *query() const { return m_model.query(); }
    // Re-reads the rows (after Open or sort), keeping the cursor row visible.
    void refresh();
    // Moves the query's cursor to a row (0-based) and selects it.
    void selectRow(int row);
    int currentRowIndex() const;
    // Sorts by the column's field, flipping ASC/DESC on a second click.
    void sortByColumn(int column);

signals:
    void DblClick();
    void EnterPressed();
    void EscapePressed();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;

private:
    QueryModel m_model;
};

}  // namespace ui
