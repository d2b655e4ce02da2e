#include "platform/excel/excelsheetmodel.h"

namespace excel {

SheetModel::SheetModel(QObject *parent) : QAbstractTableModel(parent) {}

void SheetModel::setSheet(const Sheet &sheet)
{
    beginResetModel();
    m_sheet = sheet;
    endResetModel();
}

int SheetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_sheet.rowCount();
}

int SheetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_sheet.columnCount();
}

QVariant SheetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return QVariant();
    return m_sheet.cell(index.row(), index.column());
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) return QVariant();
    if (orientation == Qt::Vertical)
        return section >= 0 && section < m_sheet.rowCount() ? QVariant(m_sheet.rowNumber(section)) : QVariant();
    // Untitled columns get their letter, as a grid of the sheet would show.
    const QString title = section < m_sheet.headers().size() ? m_sheet.headers()[section] : QString();
    return title.isEmpty() ? QVariant(QStringLiteral("F%1").arg(section + 1)) : QVariant(title);
}

}  // namespace excel
