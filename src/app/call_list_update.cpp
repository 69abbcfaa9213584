// Putting a few changed calls in place without reading the list again: after a save, a delete
// or an undo only the rows concerned move, in the sort and the filter as they stand.
#include "app/call_list_loader.h"
#include "app/call_list_model.h"
#include "app/find_bar.h"
#include "data/comments_search.h"
#include "data/shared_connection.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace {
int compareText(const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded : QString::compare(a, b, Qt::CaseSensitive);
}

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
                                                : compareText(pool.text(x), pool.text(y));
        if (order != 0)
            return descending ? order > 0 : order < 0;
    }
    return a < b;
}

bool CallListModel::listedBefore(uint32_t a, uint32_t b) const {
    return m_sorted ? sortsBefore(a, b) : a < b;
}

void CallListModel::replaceCalls(const std::vector<qint64>& ids, const CallRowBatch& fresh) {
    // The rows read, by ID.
    std::unordered_map<qint64, size_t> freshRow;
    for (size_t row = 0; row < fresh.ids.size(); ++row)
        freshRow[fresh.ids[row]] = row;
    std::vector<qint64> concernedIds(ids);
    concernedIds.insert(concernedIds.end(), fresh.ids.begin(), fresh.ids.end());
    if (concernedIds.empty())
        return;
    const IdLookup concerned(concernedIds);

    emit layoutAboutToBeChanged();
    // What stays put: the calls behind the persistent indexes (the selection, the current row).
    const QModelIndexList before = persistentIndexList();
    std::vector<qint64> idsBefore;
    idsBefore.reserve(size_t(before.size()));
    for (const QModelIndex& index : before)
        idsBefore.push_back(m_ids[storageRow(index.row())]);

    // The storage rows of the concerned calls that are listed now.
    std::vector<uint8_t> touched(m_ids.size(), 0);
    std::vector<uint32_t> gone;
    std::unordered_map<qint64, uint32_t> listed;
    for (uint32_t row = 0; row < m_ids.size(); ++row) {
        if (!concerned.contains(m_ids[row]))
            continue;
        touched[row] = 1;
        listed[m_ids[row]] = row;
        if (!freshRow.count(m_ids[row]))
            gone.push_back(row);
    }
    // They leave the display order and come back below in their new place.
    auto dropTouched = [&](std::vector<uint32_t>& order) {
        size_t kept = 0;
        for (const uint32_t row : order) {
            if (!touched[row])
                order[kept++] = row;
        }
        order.resize(kept);
    };
    const bool keepPlaces = !m_sorted && !m_order.empty(); // sorting switched off: rows stay
    if (!keepPlaces)
        dropTouched(m_order);
    if (m_filtering)
        dropTouched(m_shown);

    // The calls no longer there are removed, the others keep their order as stored.
    if (!gone.empty()) {
        std::vector<int64_t> moved(m_ids.size(), 0);
        uint32_t next = 0;
        for (uint32_t row = 0; row < m_ids.size(); ++row) {
            if (touched[row] && !freshRow.count(m_ids[row])) {
                moved[row] = -1;
                continue;
            }
            moved[row] = next;
            if (next != row) {
                m_ids[next] = m_ids[row];
                std::copy_n(m_cells.begin() + ptrdiff_t(size_t(row) * kPooled), kPooled,
                            m_cells.begin() + ptrdiff_t(size_t(next) * kPooled));
                touched[next] = touched[row];
            }
            ++next;
        }
        m_ids.resize(next);
        m_cells.resize(size_t(next) * kPooled);
        touched.resize(next);
        auto remap = [&](std::vector<uint32_t>& order) {
            size_t kept = 0;
            for (const uint32_t row : order) {
                if (moved[row] >= 0)
                    order[kept++] = uint32_t(moved[row]);
            }
            order.resize(kept);
        };
        remap(m_order);
        remap(m_shown);
        for (auto& entry : listed)
            entry.second = moved[entry.second] < 0 ? UINT32_MAX : uint32_t(moved[entry.second]);
    }

    // The calls read take their texts: in their own row, or in a new one at the end.
    std::vector<uint32_t> placed;
    size_t start = 0;
    for (size_t row = 0; row < fresh.ids.size(); ++row) {
        std::array<uint32_t, kPooled> cells{};
        for (int i = 0; i < kPooled; ++i) {
            const size_t k = row * kPooled + size_t(i);
            const size_t end = fresh.ends[k];
            const bool null = fresh.nulls[k] != 0;
            const std::string_view key =
                null ? std::string_view()
                     : std::string_view(fresh.bytes).substr(start, end - start);
            start = end;
            cells[size_t(i)] = internCell(i, key, null, fresh.dateColumns[size_t(i)]);
        }
        const auto found = listed.find(fresh.ids[row]);
        uint32_t stored;
        if (found != listed.end() && found->second != UINT32_MAX) {
            stored = found->second;
        } else {
            stored = uint32_t(m_ids.size());
            m_ids.push_back(fresh.ids[row]);
            m_cells.resize(m_cells.size() + kPooled);
            if (keepPlaces)
                m_order.push_back(stored);
        }
        std::copy(cells.begin(), cells.end(),
                  m_cells.begin() + ptrdiff_t(size_t(stored) * kPooled));
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
    if (m_sorted)
        mergeIn(m_order, placed);
    if (m_filtering) {
        // The new texts' words, and the comments of the calls read.
        for (int column = 0; column < kPooled; ++column) {
            std::vector<QString>& folded = m_folded[column];
            std::vector<uint32_t>& matches = m_poolMatches[column];
            for (size_t id = folded.size(); id < m_pools[column].size(); ++id) {
                folded.push_back(FoldForFind(m_pools[column].text(uint32_t(id))));
                matches.push_back(wordsIn(folded.back()));
            }
        }
        std::vector<qint64> among(concernedIds);
        std::sort(among.begin(), among.end());
        among.erase(std::unique(among.begin(), among.end()), among.end());
        for (size_t i = 0; i < m_commentIds.size(); ++i) {
            std::vector<qint64>& holding = m_commentIds[i];
            holding.erase(std::remove_if(holding.begin(), holding.end(),
                                         [&](qint64 id) { return concerned.contains(id); }),
                          holding.end());
            const std::vector<qint64> found = commentsHolding(m_rawWords[int(i)], &among);
            holding.insert(holding.end(), found.begin(), found.end());
            std::sort(holding.begin(), holding.end());
        }
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

    // The persistent indexes follow their calls.
    std::unordered_map<qint64, uint32_t> storedOf;
    std::unordered_set<qint64> wanted(idsBefore.begin(), idsBefore.end());
    if (!wanted.empty()) {
        for (uint32_t row = 0; row < m_ids.size(); ++row) {
            if (wanted.count(m_ids[row]))
                storedOf[m_ids[row]] = row;
        }
    }
    std::unordered_map<uint32_t, int> displayOf;
    if (!storedOf.empty()) {
        std::unordered_set<uint32_t> rows;
        for (const auto& entry : storedOf)
            rows.insert(entry.second);
        const int count = rowCount();
        for (int row = 0; row < count; ++row) {
            const uint32_t stored = storageRow(row);
            if (rows.count(stored))
                displayOf[stored] = row;
        }
    }
    QModelIndexList after;
    after.reserve(before.size());
    for (int i = 0; i < before.size(); ++i) {
        const auto stored = storedOf.find(idsBefore[size_t(i)]);
        const auto shown =
            stored == storedOf.end() ? displayOf.end() : displayOf.find(stored->second);
        after.append(shown == displayOf.end() ? QModelIndex()
                                              : index(shown->second, before[i].column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}
