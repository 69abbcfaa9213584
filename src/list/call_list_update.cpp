// Putting a few changed calls in place without reading the list again: after a save, a delete
// or an undo only the rows concerned move, in the sort and the filter as they stand.
#include "data/shared_connection.h"
#include "list/call_list_loader.h"
#include "list/call_list_model.h"
#include "list/find_bar.h"
#include "records/comments_search.h"

#include <QTimer>
#include <algorithm>
#include <numeric>
#include <unordered_map>
#include <unordered_set>

namespace {
// A few call IDs looked up among every row of the list: most rows lie outside their range
// and are passed over without a lookup.
class IdLookup {
public:
    explicit IdLookup(const std::vector<qint64>& ids) {
        for (size_t i = 0; i < ids.size(); ++i)
            m_first.emplace(ids[i], i);
        if (!ids.empty()) {
            const auto range = std::minmax_element(ids.begin(), ids.end());
            m_lowest = *range.first;
            m_highest = *range.second;
        }
    }
    // The first position of `id` among the IDs, or SIZE_MAX.
    size_t find(qint64 id) const {
        if (id < m_lowest || id > m_highest)
            return SIZE_MAX;
        const auto found = m_first.find(id);
        return found == m_first.end() ? SIZE_MAX : found->second;
    }
    bool contains(qint64 id) const { return find(id) != SIZE_MAX; }
    size_t size() const { return m_first.size(); }

private:
    std::unordered_map<qint64, size_t> m_first;
    qint64 m_lowest = 0;
    qint64 m_highest = -1;
};
} // namespace

std::vector<int> CallListModel::rowsOfIds(const std::vector<qint64>& ids) const {
    std::vector<int> rows(ids.size(), -1);
    const IdLookup lookup(ids);
    size_t found = 0;
    const int count = rowCount();
    for (int row = 0; row < count && found < lookup.size(); ++row) {
        const size_t at = lookup.find(m_ids[storageRow(row)]);
        if (at != SIZE_MAX) {
            rows[at] = row;
            ++found;
        }
    }
    // An ID named twice is listed where its first mention is.
    for (size_t i = 0; i < ids.size(); ++i)
        rows[i] = rows[lookup.find(ids[i])];
    return rows;
}

void CallListModel::reserveRows(size_t rows) {
    m_ids.reserve(rows);
    m_cells.reserve(rows * kPooled);
}

bool CallListModel::sortsBefore(uint32_t a, uint32_t b) const {
    // As applySort orders: by the key, then as stored.
    const bool descending = m_sortOrder == 1;
    if (m_sortKey <= 0) {
        if (m_ids[a] != m_ids[b])
            return descending ? m_ids[a] > m_ids[b] : m_ids[a] < m_ids[b];
        return a < b;
    }
    const int pooled = std::min(m_sortKey, kPooled) - 1;
    const uint32_t x = cell(a, pooled);
    const uint32_t y = cell(b, pooled);
    if (x != y) {
        const StringPool& pool = m_pools[pooled];
        const int order = m_dateColumns[pooled] ? pool.key(x).compare(pool.key(y))
                                                : CompareListedText(pool.text(x), pool.text(y));
        if (order != 0)
            return descending ? order > 0 : order < 0;
    }
    return a < b;
}

bool CallListModel::listedBefore(uint32_t a, uint32_t b) const {
    // An unsorted list lists the calls by ID, as they are read.
    return m_sorted ? sortsBefore(a, b) : m_ids[a] < m_ids[b];
}

std::vector<std::array<uint32_t, CallListModel::kPooled>>
CallListModel::internRows(const CallRowBatch& fresh) {
    std::vector<std::array<uint32_t, kPooled>> rows(fresh.ids.size());
    size_t start = 0;
    for (size_t row = 0; row < fresh.ids.size(); ++row) {
        for (int i = 0; i < kPooled; ++i) {
            const size_t k = row * kPooled + size_t(i);
            const size_t end = fresh.ends[k];
            const bool null = fresh.nulls[k] != 0;
            const std::string_view key =
                null ? std::string_view()
                     : std::string_view(fresh.bytes).substr(start, end - start);
            start = end;
            rows[row][size_t(i)] = internCell(i, key, null, fresh.dateColumns[size_t(i)]);
        }
    }
    return rows;
}

void CallListModel::refreshFindFor(const std::unordered_set<qint64>& concerned) {
    // The new texts' words, and the comments of the calls read.
    for (int column = 0; column < kPooled; ++column) {
        std::vector<QString>& folded = m_folded[column];
        std::vector<uint32_t>& matches = m_poolMatches[column];
        for (size_t id = folded.size(); id < m_pools[column].size(); ++id) {
            folded.push_back(FoldForFind(m_pools[column].text(uint32_t(id))));
            matches.push_back(wordsIn(folded.back()));
        }
    }
    std::vector<qint64> among(concerned.begin(), concerned.end());
    std::sort(among.begin(), among.end());
    for (size_t i = 0; i < m_commentIds.size(); ++i) {
        std::vector<qint64>& holding = m_commentIds[i];
        holding.erase(std::remove_if(holding.begin(), holding.end(),
                                     [&](qint64 id) { return concerned.count(id) > 0; }),
                      holding.end());
        const std::vector<qint64> found = commentsHolding(m_rawWords[int(i)], &among);
        holding.insert(holding.end(), found.begin(), found.end());
        std::sort(holding.begin(), holding.end());
    }
}

bool CallListModel::changeInPlace(const std::vector<uint32_t>& stored,
                                  const std::vector<std::array<uint32_t, kPooled>>& cells,
                                  const std::vector<size_t>& freshOf,
                                  const std::unordered_set<qint64>& concerned,
                                  bool& findRefreshed) {
    // The sort key stays, so the rows keep their places in the order.
    const int keyColumn = m_sorted && m_sortKey > 0 ? std::min(m_sortKey, kPooled) - 1 : -1;
    for (size_t i = 0; keyColumn >= 0 && i < stored.size(); ++i) {
        if (cells[freshOf[i]][size_t(keyColumn)] != cell(stored[i], keyColumn))
            return false;
    }
    std::vector<bool> wasListed;
    for (const uint32_t row : stored)
        wasListed.push_back(!m_filtering || rowMatches(row));
    for (size_t i = 0; i < stored.size(); ++i)
        std::copy(cells[freshOf[i]].begin(), cells[freshOf[i]].end(),
                  m_cells.begin() + ptrdiff_t(cellRow(stored[i]) * kPooled));
    if (m_filtering) {
        refreshFindFor(concerned);
        findRefreshed = true;
        // And each stays in the filter, or out of it.
        for (size_t i = 0; i < stored.size(); ++i) {
            if (rowMatches(stored[i]) != wasListed[i])
                return false;
        }
    }
    // Only their rows are painted again, where they are listed.
    for (size_t i = 0; i < stored.size(); ++i) {
        if (!wasListed[i])
            continue;
        const int row = displayRowOf(stored[i]);
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    }
    return true;
}

bool CallListModel::replaceCalls(const std::vector<qint64>& ids, const CallRowBatch& fresh) {
    compactCells();
    // The rows read, by ID.
    std::unordered_map<qint64, size_t> freshRow;
    for (size_t row = 0; row < fresh.ids.size(); ++row)
        freshRow[fresh.ids[row]] = row;
    std::unordered_set<qint64> concerned(ids.begin(), ids.end());
    concerned.insert(fresh.ids.begin(), fresh.ids.end());
    if (concerned.empty())
        return false;

    // The storage rows of the concerned calls that are listed now.
    const std::vector<uint32_t> listedRows = storageRowsOf(concerned);
    const std::vector<std::array<uint32_t, kPooled>> freshCells = internRows(fresh);
    bool findFresh = false;
    // Calls changed where they are, that keep their places: no other row moves.
    if (listedRows.size() == concerned.size() && freshRow.size() == concerned.size()) {
        std::vector<size_t> freshOf;
        for (const uint32_t row : listedRows)
            freshOf.push_back(freshRow[m_ids[row]]);
        if (changeInPlace(listedRows, freshCells, freshOf, concerned, findFresh))
            return false;
    }

    emit layoutAboutToBeChanged();
    // What stays put: the calls behind the persistent indexes (the selection, the current row,
    // the row at the top of the view), followed by where they are stored.
    const QModelIndexList before = persistentIndexList();
    std::vector<uint32_t> storedBefore;
    storedBefore.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        storedBefore.push_back(storageRow(index.row()));

    std::vector<uint32_t> gone;
    std::unordered_map<qint64, uint32_t> listed;
    for (const uint32_t row : listedRows) {
        listed[m_ids[row]] = row;
        if (!freshRow.count(m_ids[row]))
            gone.push_back(row);
    }
    // A few rows concerned are looked up in `listedRows` (ascending); many are marked among
    // all rows. Most rows lie outside the range of the few and pass with two comparisons.
    std::vector<uint8_t> touched;
    if (listedRows.size() > kFewCalls) {
        touched.assign(m_ids.size(), 0);
        for (const uint32_t row : listedRows)
            touched[row] = 1;
    }
    const auto within = [](const std::vector<uint32_t>& rows, uint32_t row) {
        return !rows.empty() && row >= rows.front() && row <= rows.back() &&
               std::binary_search(rows.begin(), rows.end(), row);
    };
    const auto concernedRow = [&](uint32_t row) {
        return touched.empty() ? within(listedRows, row) : touched[row] != 0;
    };
    // `gone` is ascending; a row kept moves down by the number of removed rows before it.
    const auto movedTo = [&](uint32_t row) {
        if (gone.empty() || row < gone.front())
            return row;
        if (row > gone.back())
            return row - uint32_t(gone.size());
        return row - uint32_t(std::lower_bound(gone.begin(), gone.end(), row) - gone.begin());
    };
    // One pass over a display order: the rows concerned leave it and come back below in their
    // new place (with places kept, only the removed ones leave), and every other row takes
    // its storage row after the removal.
    const auto settle = [&](std::vector<uint32_t>& order, bool dropConcerned) {
        if (listedRows.empty() || (!dropConcerned && gone.empty()))
            return;
        size_t kept = 0;
        for (const uint32_t row : order) {
            if (!(dropConcerned ? concernedRow(row) : within(gone, row)))
                order[kept++] = movedTo(row);
        }
        order.resize(kept);
    };
    const bool keepPlaces = !m_sorted && !m_order.empty(); // sorting switched off: rows stay
    settle(m_order, !keepPlaces);
    if (m_filtering)
        settle(m_shown, true);

    // The calls no longer there are removed, the others keep their order as stored: the rows
    // between two removed ones move down together.
    if (!gone.empty()) {
        for (size_t g = 0; g < gone.size(); ++g) {
            const size_t from = size_t(gone[g]) + 1;
            const size_t to = g + 1 < gone.size() ? size_t(gone[g + 1]) : m_ids.size();
            std::copy(m_ids.begin() + ptrdiff_t(from), m_ids.begin() + ptrdiff_t(to),
                      m_ids.begin() + ptrdiff_t(from - (g + 1)));
        }
        m_ids.resize(m_ids.size() - gone.size());
        // The cells of a few removed calls stay until the list has been painted without them.
        m_cellGaps = gone;
        if (gone.size() <= kFewCalls)
            QTimer::singleShot(kCellsCompactedAfterMs, this, [this] { compactCells(); });
        else
            compactCells();
        for (auto& entry : listed)
            entry.second = within(gone, entry.second) ? UINT32_MAX : movedTo(entry.second);
    }

    // The calls read take their texts: in their own row, or in a new one at the end.
    std::vector<uint32_t> placed;
    std::vector<uint32_t> added; // stored anew, at the end
    for (size_t row = 0; row < fresh.ids.size(); ++row) {
        const auto found = listed.find(fresh.ids[row]);
        uint32_t stored;
        if (found != listed.end() && found->second != UINT32_MAX) {
            stored = found->second;
        } else {
            stored = uint32_t(m_ids.size());
            m_ids.push_back(fresh.ids[row]);
            noteIdsFrom(stored);
            m_cells.resize(m_cells.size() + kPooled);
            added.push_back(stored);
        }
        std::copy(freshCells[row].begin(), freshCells[row].end(),
                  m_cells.begin() + ptrdiff_t(cellRow(stored) * kPooled));
        placed.push_back(stored);
    }

    // Each takes its place in the sort order. The rows are ordered among themselves and then
    // merged into the order in one pass: inserting them one by one would move the rest of a
    // long order once for each of thousands of calls.
    const auto earlier = [&](uint32_t a, uint32_t b) { return listedBefore(a, b); };
    const auto mergeIn = [&](std::vector<uint32_t>& order, std::vector<uint32_t> rows) {
        if (rows.empty())
            return;
        std::sort(rows.begin(), rows.end(), earlier);
        std::vector<uint32_t> merged;
        merged.reserve(order.size() + rows.size());
        auto from = order.begin();
        for (const uint32_t row : rows) {
            const auto at = std::lower_bound(from, order.end(), row, earlier);
            merged.insert(merged.end(), from, at);
            merged.push_back(row);
            from = at;
        }
        merged.insert(merged.end(), from, order.end());
        order.swap(merged);
    };
    if (m_sorted) {
        mergeIn(m_order, placed);
    } else if (!added.empty() && (keepPlaces || !m_idsAscending)) {
        // Unsorted, a call put back by an undo goes where its ID places it, as a reload would
        // list it, not below the newest call. The rows stored before it are in ID order.
        if (m_order.empty()) {
            m_order.resize(added.front());
            std::iota(m_order.begin(), m_order.end(), 0U);
        }
        mergeIn(m_order, added);
    }
    if (m_filtering) {
        if (!findFresh)
            refreshFindFor(concerned);
        std::vector<uint32_t> matching;
        for (const uint32_t row : placed) {
            if (rowMatches(row))
                matching.push_back(row);
        }
        if (keepPlaces) {
            // Rare: sorting switched off.
            m_shown.insert(m_shown.end(), matching.begin(), matching.end());
            applyFilter();
        } else {
            mergeIn(m_shown, std::move(matching));
        }
    }

    // The persistent indexes follow their calls: every row kept moved down by the removed
    // rows stored before it, and a removed one leaves its index.
    for (uint32_t& stored : storedBefore)
        stored = within(gone, stored) ? kNotStored : movedTo(stored);
    std::unordered_map<uint32_t, int> displayOf;
    for (const uint32_t stored : storedBefore) {
        if (stored != kNotStored)
            displayOf[stored] = -1;
    }
    if (displayOf.size() <= kFewCalls) {
        for (auto& entry : displayOf)
            entry.second = displayRowOf(entry.first);
    } else {
        const int count = rowCount();
        for (int row = 0; row < count; ++row) {
            const auto found = displayOf.find(storageRow(row));
            if (found != displayOf.end())
                found->second = row;
        }
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (int i = 0; i < before.size(); ++i) {
        const uint32_t stored = storedBefore[size_t(i)];
        const int shown = stored == kNotStored ? -1 : displayOf[stored];
        after.append(shown < 0 ? QModelIndex() : index(shown, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
    return true;
}
