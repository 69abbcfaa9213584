#include "contacts/call_rows_model.h"

#include "data/date_text.h"
#include "ui/shown_text.h"
#include "ui/text_order.h"

#include <QHash>
#include <algorithm>
#include <numeric>

void CallRowsModel::addColumn(const QString& caption) {
    const int column = int(m_captions.size());
    beginInsertColumns(QModelIndex(), column, column);
    m_captions << caption;
    endInsertColumns();
}

void CallRowsModel::clear() {
    setRows({});
}

void CallRowsModel::setRows(std::vector<Row> rows, std::vector<qint64> ids) {
    beginResetModel();
    m_rows = std::move(rows);
    m_ids = std::move(ids);
    m_order.resize(m_rows.size());
    std::iota(m_order.begin(), m_order.end(), size_t(0));
    if (m_sortColumn >= 0)
        applySort();
    endResetModel();
}

qint64 CallRowsModel::idAt(int index) const {
    if (index < 0 || size_t(index) >= m_order.size() || m_order[size_t(index)] >= m_ids.size())
        return -1;
    return m_ids[m_order[size_t(index)]];
}

void CallRowsModel::sortByClick(int column) {
    if (column < 0 || column >= kColumns)
        return;
    m_sortOrder = column == m_sortColumn && m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                              : Qt::AscendingOrder;
    m_sortColumn = column;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<size_t> rowsBefore;
    for (const QModelIndex& index : before)
        rowsBefore.push_back(m_order[size_t(index.row())]);
    applySort();
    std::vector<int> positionOf(m_rows.size());
    for (size_t position = 0; position < m_order.size(); ++position)
        positionOf[m_order[position]] = int(position);
    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i)
        after << index(positionOf[rowsBefore[size_t(i)]], before[i].column());
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void CallRowsModel::applySort() {
    const size_t column = size_t(m_sortColumn);
    const bool byDate =
        std::find(m_dateColumns.begin(), m_dateColumns.end(), m_sortColumn) != m_dateColumns.end();
    // Dates compare as dates: each distinct text is read once; an empty one comes first.
    std::vector<qint64> keys;
    if (byDate) {
        QHash<QString, qint64> known;
        keys.reserve(m_rows.size());
        for (const Row& row : m_rows) {
            const QString& text = row[column];
            auto found = known.constFind(text);
            if (found == known.constEnd()) {
                const std::optional<QDateTime> date = DateText::parse(text);
                found = known.insert(text, date ? date->toMSecsSinceEpoch() : LLONG_MIN);
            }
            keys.push_back(*found);
        }
    }
    auto less = [&](size_t a, size_t b) {
        if (byDate)
            return keys[a] < keys[b];
        return CompareText(m_rows[a][column], m_rows[b][column]) < 0;
    };
    std::iota(m_order.begin(), m_order.end(), size_t(0));
    if (m_sortOrder == Qt::AscendingOrder)
        std::stable_sort(m_order.begin(), m_order.end(), less);
    else
        std::stable_sort(m_order.begin(), m_order.end(),
                         [&](size_t a, size_t b) { return less(b, a); });
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
    // Stored texts are shown isolated, as the call list shows them.
    if (role == Qt::DisplayRole)
        return ShownSafely(row(index.row())[size_t(index.column())]);
    return QVariant();
}

QVariant CallRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section < m_captions.size())
        return m_captions.at(section);
    return QVariant();
}
