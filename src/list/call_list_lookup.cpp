// Finding a call's row: from its ID to where it is stored, and from there to where it is
// listed. The list is looked up after every change (the row to select again, the call at the
// top of the view, the rows to repaint), so at a million calls a pass over every row for each
// of these is what the person waits for; the stored IDs rise as the file lists them and the
// display order follows the sort, so both are halved instead while that holds.
#include "list/call_list_model.h"

#include <algorithm>

size_t CallListModel::cellRowPastGaps(uint32_t stored) const {
    size_t row = stored;
    for (const uint32_t gap : m_cellGaps) {
        if (gap > row)
            break;
        ++row;
    }
    return row;
}

void CallListModel::compactCells() {
    if (m_cellGaps.empty())
        return;
    for (size_t g = 0; g < m_cellGaps.size(); ++g) {
        const size_t from = size_t(m_cellGaps[g]) + 1;
        const size_t to =
            g + 1 < m_cellGaps.size() ? size_t(m_cellGaps[g + 1]) : m_cells.size() / kPooled;
        std::copy(m_cells.begin() + ptrdiff_t(from * kPooled),
                  m_cells.begin() + ptrdiff_t(to * kPooled),
                  m_cells.begin() + ptrdiff_t((from - (g + 1)) * kPooled));
    }
    m_cells.resize(m_cells.size() - m_cellGaps.size() * kPooled);
    m_cellGaps.clear();
}

void CallListModel::noteIdsFrom(size_t first) {
    for (size_t row = std::max<size_t>(first, 1); m_idsAscending && row < m_ids.size(); ++row)
        m_idsAscending = m_ids[row - 1] < m_ids[row];
}

uint32_t CallListModel::storageRowOfId(qint64 id) const {
    if (m_idsAscending) {
        const auto at = std::lower_bound(m_ids.begin(), m_ids.end(), id);
        return at != m_ids.end() && *at == id ? uint32_t(at - m_ids.begin()) : kNotStored;
    }
    // A call put back by an undo is stored after calls newer than itself.
    const auto at = std::find(m_ids.begin(), m_ids.end(), id);
    return at != m_ids.end() ? uint32_t(at - m_ids.begin()) : kNotStored;
}

std::vector<uint32_t> CallListModel::storageRowsOf(const std::unordered_set<qint64>& ids) const {
    std::vector<uint32_t> rows;
    // One look-up for each call while that is cheaper than a hash look-up for every row.
    const size_t halvings = 32;
    if (ids.size() <= kFewCalls || (m_idsAscending && ids.size() * halvings < m_ids.size())) {
        for (const qint64 id : ids) {
            const uint32_t row = storageRowOfId(id);
            if (row != kNotStored)
                rows.push_back(row);
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }
    for (uint32_t row = 0; row < m_ids.size(); ++row) {
        if (ids.count(m_ids[row]))
            rows.push_back(row);
    }
    return rows;
}

int CallListModel::displayRowOf(uint32_t stored) const {
    if (stored >= m_ids.size())
        return -1;
    if (!m_filtering && m_order.empty())
        return int(stored);
    const std::vector<uint32_t>& order = m_filtering ? m_shown : m_order;
    // A sorted list is ordered by the sort; an unsorted one by ID. Where that does not hold
    // (a row the find leaves out), a pass over the order answers.
    auto at = order.end();
    if (m_sorted)
        at = std::lower_bound(order.begin(), order.end(), stored,
                              [this](uint32_t a, uint32_t b) { return sortsBefore(a, b); });
    else
        at = std::lower_bound(order.begin(), order.end(), stored,
                              [this](uint32_t a, uint32_t b) { return m_ids[a] < m_ids[b]; });
    if (at == order.end() || *at != stored)
        at = std::find(order.begin(), order.end(), stored);
    return at == order.end() ? -1 : int(at - order.begin());
}

int CallListModel::rowOfId(qint64 id) const {
    const uint32_t stored = storageRowOfId(id);
    return stored == kNotStored ? -1 : displayRowOf(stored);
}

qint64 CallListModel::largestId() const {
    if (m_ids.empty())
        return -1;
    return m_idsAscending ? m_ids.back() : *std::max_element(m_ids.begin(), m_ids.end());
}
