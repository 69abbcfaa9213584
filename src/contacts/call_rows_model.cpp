#include "contacts/call_rows_model.h"

void CallRowsModel::addColumn(const QString& caption) {
    const int column = int(m_captions.size());
    beginInsertColumns(QModelIndex(), column, column);
    m_captions << caption;
    endInsertColumns();
}

void CallRowsModel::clear() {
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CallRowsModel::setRows(std::vector<Row> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

int CallRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int CallRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_captions.size());
}

QVariant CallRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= kColumns)
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_rows[size_t(index.row())][size_t(index.column())];
    return QVariant();
}

QVariant CallRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < m_captions.size())
        return m_captions.at(section);
    return QVariant();
}
