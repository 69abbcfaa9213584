#pragma once

#include "app/string_pool.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <vector>

class Recordset;

// The rows of the call list in compact form: the call's ID as a number and, for every other
// column, an index into that column's pool of distinct texts. Sorting orders row indexes by
// one column (the ID by number, dates by date with empty cells first, other columns by their
// text) and keeps that order across reloads.
class CallListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // The eleven fields shown after the ID, in column order.
    static const std::array<const char*, 11> kFields;

    explicit CallListModel(QObject* parent = nullptr);

    // Column headers: added one by one with their caption.
    void addColumn(const QString& caption);
    int columnCountOfHeaders() const { return int(m_captions.size()); }

    // Removes every row.
    void clear();
    // Appends one row per record until the recordset's end; a failure midway keeps the rows
    // read so far and is passed on.
    void appendFrom(Recordset& records);

    // Sort state: whether sorted, the key (0-based column) and the order (0 ascending,
    // 1 descending). Switching sorting on orders the rows at once.
    bool sorted() const { return m_sorted; }
    int sortKey() const { return m_sortKey; }
    int sortOrder() const { return m_sortOrder; }
    void setSorted(bool sorted);
    void setSortKey(int key) { m_sortKey = key; }
    void setSortOrder(int order) { m_sortOrder = order; }

    // The text shown at a row (in display order) and column.
    QString text(int row, int column) const;
    // The display row of the call `id`, or -1 when it is not listed.
    int rowOfId(qint64 id) const;
    // The largest ID listed, or -1 for an empty list.
    qint64 largestId() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    static constexpr int kPooled = 11;
    uint32_t storageRow(int row) const { return m_order.empty() ? uint32_t(row) : m_order[row]; }
    void applySort();
    std::vector<uint32_t> rankOfPool(int pooledColumn) const;
    void sortById(bool descending);

    QStringList m_captions;
    std::vector<qint64> m_ids;
    std::vector<uint32_t> m_cells; // kPooled per row
    std::array<StringPool, kPooled> m_pools;
    std::array<bool, kPooled> m_dateColumns{}; // columns whose cells are stored dates
    std::vector<uint32_t> m_order;             // display row -> storage row; empty while unsorted
    bool m_sorted = false;
    int m_sortKey = 0;
    int m_sortOrder = 0;
};
