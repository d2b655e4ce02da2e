#pragma once

#include "platform/excel/excelsheet.h"

#include <QAbstractTableModel>

namespace excel {

// A read sheet shown in a grid: the header row as column titles, the data
// rows below, all read-only.
class SheetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SheetModel(QObject *parent = nullptr);

    void setSheet(const Sheet &sheet);
    const Sheet &sheet() const { return m_sheet; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Sheet m_sheet;
};

}  // namespace excel
