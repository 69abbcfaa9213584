// The list's order: sorting by a column (the ID by number, dates by date with empty cells
// first, other columns by their text), kept across reloads, with the selection following.
#include "list/call_list_model.h"

#include "ui/text_order.h"

#include <algorithm>

int CompareListedText(const QString& a, const QString& b) {
    return CompareText(a, b);
}

void CallListModel::setSorted(bool sorted) {
    if (sorted == m_sorted)
        return;
    m_sorted = sorted;
    if (!sorted)
        return; // the rows keep their places until sorting is switched on again

    relayout([this] {
        applySort();
        if (m_filtering)
            applyFilter();
    });
}

void CallListModel::relayout(const std::function<void()>& change) {
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<uint32_t> storage;
    storage.reserve(before.size());
    for (const QModelIndex& index : before)
        storage.push_back(storageRow(index.row()));
    change();
    QModelIndexList after;
    after.reserve(before.size());
    if (!before.isEmpty()) {
        std::vector<int> displayOf(m_ids.size(), -1);
        const int rows = rowCount();
        for (int row = 0; row < rows; ++row)
            displayOf[storageRow(row)] = row;
        for (int i = 0; i < before.size(); ++i) {
            const int row = displayOf[storage[i]];
            after.append(row < 0 ? QModelIndex() : index(row, before[i].column()));
        }
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

std::vector<uint32_t> CallListModel::rankOfPool(int pooledColumn) const {
    const StringPool& pool = m_pools[pooledColumn];
    std::vector<uint32_t> ids(pool.size());
    for (uint32_t i = 0; i < ids.size(); ++i)
        ids[i] = i;
    if (m_dateColumns[pooledColumn]) {
        // Stored dates ("yyyy-MM-dd", then the time when there is one) order as their bytes
        // do, and an empty cell's key is empty, so it comes first.
        std::sort(ids.begin(), ids.end(),
                  [&](uint32_t a, uint32_t b) { return pool.key(a) < pool.key(b); });
    } else {
        // Texts as the person's language sorts them.
        ids = SortedByText(uint32_t(pool.size()), [&](uint32_t id) { return pool.text(id); });
    }
    std::vector<uint32_t> rank(pool.size());
    for (uint32_t position = 0; position < ids.size(); ++position)
        rank[ids[position]] = position;
    return rank;
}

void CallListModel::sortById(bool descending) {
    struct IdRow {
        qint64 id;
        uint32_t row;
    };
    const size_t rows = m_ids.size();
    std::vector<IdRow> keys(rows);
    for (uint32_t row = 0; row < rows; ++row)
        keys[row] = {m_ids[row], row};
    std::sort(keys.begin(), keys.end(), [descending](const IdRow& a, const IdRow& b) {
        if (a.id != b.id)
            return descending ? a.id > b.id : a.id < b.id;
        return a.row < b.row;
    });
    for (size_t i = 0; i < rows; ++i)
        m_order[i] = keys[i].row;
}

void CallListModel::applySort() {
    compactCells();
    const size_t rows = m_ids.size();
    m_order.resize(rows);
    const bool descending = m_sortOrder == 1;
    if (m_sortKey <= 0) {
        sortById(descending);
        return;
    }
    const int pooled = std::min(m_sortKey, kPooled) - 1;
    const std::vector<uint32_t> rank = rankOfPool(pooled);
    const size_t distinct = rank.size();
    // Counting sort by rank: linear and stable.
    std::vector<uint32_t> start(distinct + 1, 0);
    auto keyOf = [&](uint32_t row) {
        const uint32_t r = rank[m_cells[size_t(row) * kPooled + size_t(pooled)]];
        return descending ? uint32_t(distinct - 1 - r) : r;
    };
    for (uint32_t row = 0; row < rows; ++row)
        ++start[keyOf(row) + 1];
    for (size_t i = 1; i <= distinct; ++i)
        start[i] += start[i - 1];
    for (uint32_t row = 0; row < rows; ++row)
        m_order[start[keyOf(row)]++] = row;
}
