#pragma once

#include "list/string_pool.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QDate>
#include <QStringList>
#include <array>
#include <functional>
#include <string_view>
#include <unordered_set>
#include <vector>

class Recordset;
struct CallRowBatch;

// The order of two texts in the list (call_list_sort.cpp): as the language of the person sorts
// them, then with capitals first.
int CompareListedText(const QString& a, const QString& b);

// The rows of the call list in compact form: the call's ID as a number and, for every other
// column, an index into that column's pool of distinct texts. Sorting orders row indexes by
// one column (the ID by number, dates by date with empty cells first, other columns by their
// text) and keeps that order across reloads.
class CallListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CallListModel(QObject* parent = nullptr);

    // Column headers: added one by one with their caption.
    void addColumn(const QString& caption);
    int columnCountOfHeaders() const { return int(m_captions.size()); }

    // Removes every row.
    void clear();
    // Appends one row per record until the recordset's end; a failure midway keeps the rows
    // read so far and is passed on.
    void appendFrom(Recordset& records);
    // Appends rows read elsewhere, as the rows of a fill arrive; finishAppending() sorts them
    // when the list is sorted.
    void appendBatch(const CallRowBatch& batch);
    void finishAppending();
    // Takes every row of `other` (read elsewhere, e.g. on another thread) in place of its own,
    // in one reset, keeping the sort and the filter; `other` is left empty.
    void adoptRows(CallListModel& other);

    // Puts the calls `ids` in the state that `fresh` holds them in (call_list_update.cpp):
    // those in `fresh` are listed with its texts, the others are no longer listed. Each takes
    // its place in the sort and the filter; every other row, the selection and the sort and
    // filter stay as they are. Answers whether rows moved (false when only the texts of rows
    // that stay where they are changed).
    bool replaceCalls(const std::vector<qint64>& ids, const CallRowBatch& fresh);
    // Room for `rows` rows, so that a large fill does not need twice its memory while growing.
    void reserveRows(size_t rows);

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
    // The display rows of the calls `ids`, each -1 when it is not listed, in one pass over the
    // list (call_list_update.cpp).
    std::vector<int> rowsOfIds(const std::vector<qint64>& ids) const;
    // The largest ID listed, or -1 for an empty list.
    qint64 largestId() const;

    // Finding (call_list_filter.cpp): only the rows that hold every word of `text` in the
    // text of a column or in their comments (letter case and accents aside in the columns,
    // letter case in the comments), and with `openOnly` only calls without a resolved date.
    // The filter stays through rebuilds and sorting; no words without openOnly lists every row
    // again.
    void setFilter(const QString& text, bool openOnly);
    // The words of the find, as typed.
    const QStringList& findWords() const { return m_rawWords; }
    // Words of the find too short for the comments' index whose calls are not known yet: the
    // rows hold them in their columns until setCommentMatches() tells which comments do.
    const QStringList& wordsAwaitingComments() const { return m_awaiting; }
    void setCommentMatches(const QString& word, std::vector<qint64> ids);
    // A word of the find that the call at `row` holds only in its comments, or empty.
    QString wordFoundInCommentsOnly(int row) const;
    // Where the comments are searched; by default the shared connection's text index.
    void setCommentSearch(
        std::function<std::vector<qint64>(const QString&, const std::vector<qint64>*)> search) {
        m_commentSearch = std::move(search);
    }
    bool filtering() const { return m_filtering; }
    // Every row, listed or not.
    int totalRowCount() const { return int(m_ids.size()); }
    // The ID at a display row, or -1.
    qint64 idAt(int row) const;

    // The paper clip of the calls with attachments (call_list_attachments.cpp): read again for
    // every call, or for the calls `ids` only. A failure leaves the marks as they were.
    void refreshAttachments(const std::vector<qint64>* ids = nullptr);
    bool hasAttachments(int row) const;

    // Overdue calls: open calls due before `today` show their due date in `color`.
    void setToday(const QDate& today);
    QDate today() const { return m_today; }
    void setOverdueColor(const QColor& color);
    bool overdue(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    static constexpr int kPooled = 11;
    static constexpr int kTitleColumn = 1;
    static constexpr int kDueDateColumn = 7;
    static constexpr int kResolvedDateColumn = 10;
    uint32_t storageRow(int row) const {
        return m_filtering ? m_shown[row] : m_order.empty() ? uint32_t(row) : m_order[row];
    }
    uint32_t cell(uint32_t stored, int pooled) const {
        return m_cells[cellRow(stored) * kPooled + size_t(pooled)];
    }
    // Where the cells of storage row `stored` begin in m_cells, in rows.
    size_t cellRow(uint32_t stored) const {
        return m_cellGaps.empty() ? size_t(stored) : cellRowPastGaps(stored);
    }
    size_t cellRowPastGaps(uint32_t stored) const;
    // Closes the gaps that removed rows left in m_cells (call_list_lookup.cpp).
    void compactCells();
    // Orders the rows by the sort key (call_list_sort.cpp).
    void applySort();
    // Sets up to this many calls are looked for by ID one at a time.
    static constexpr size_t kFewCalls = 16;
    // The storage rows of the calls `ids` that are listed, ascending.
    std::vector<uint32_t> storageRowsOf(const std::unordered_set<qint64>& ids) const;
    // The storage row of the call `id`, or kNotStored (call_list_lookup.cpp).
    static constexpr uint32_t kNotStored = UINT32_MAX;
    uint32_t storageRowOfId(qint64 id) const;
    // The display row of storage row `stored`, or -1 when it is not listed.
    int displayRowOf(uint32_t stored) const;
    // Notes whether the IDs stored from row `first` on keep rising.
    void noteIdsFrom(size_t first);
    std::vector<std::array<uint32_t, kPooled>> internRows(const CallRowBatch& fresh);
    // The find's matches for the texts added and the comments of the calls `concerned`.
    void refreshFindFor(const std::unordered_set<qint64>& concerned);
    // Gives the rows `stored` the cells `cells[freshOf[i]]` when they keep their places in the
    // sort and the filter, repainting only them; answers false when some would move.
    // `findRefreshed` tells whether the find's matches were brought up to date meanwhile.
    bool changeInPlace(const std::vector<uint32_t>& stored,
                       const std::vector<std::array<uint32_t, kPooled>>& cells,
                       const std::vector<size_t>& freshOf,
                       const std::unordered_set<qint64>& concerned, bool& findRefreshed);
    uint32_t internCell(int pooled, std::string_view key, bool null, bool date);
    // Whether storage row `a` is listed before `b` in the sort order.
    bool sortsBefore(uint32_t a, uint32_t b) const;
    // Whether storage row `a` is listed before `b` (in the sort order, else as stored).
    bool listedBefore(uint32_t a, uint32_t b) const;
    // Rebuilds m_shown from the sort order and the filter.
    void applyFilter();
    // The same for a needle that holds the previous one, testing only what matched before.
    void narrowFilter();
    bool rowMatches(uint32_t stored) const;
    // Bit i set when word i is in the columns (or the ID) of the row.
    uint32_t wordsInColumns(uint32_t stored) const;
    uint32_t wordsIn(const QString& folded) const;
    uint32_t allWords() const;
    std::vector<qint64> commentsHolding(const QString& word,
                                        const std::vector<qint64>* among = nullptr) const;
    // Moves the persistent indexes (the selection) along with a change of the display order
    // made by `change`.
    void relayout(const std::function<void()>& change);
    QString commentsTip(int row) const;
    QVariant paperClip(int row) const;
    // `tip` followed by the names of the call's attachments, when it has any.
    QString withAttachmentNames(int row, const QString& tip) const;
    std::vector<uint32_t> rankOfPool(int pooledColumn) const;
    void sortById(bool descending);

    QStringList m_captions;
    std::vector<qint64> m_ids;
    // Whether every stored ID is above the one before it, as the file lists its calls and as
    // calls added later follow: an ID is then found by halving instead of a pass.
    bool m_idsAscending = true;
    std::vector<uint32_t> m_cells; // kPooled per row
    // Rows of m_cells whose calls were removed, ascending: a few removed calls leave their
    // cells in place until the list has been painted, and the cells after them are moved up
    // then (tens of megabytes at a million calls) or before the next change, sort or find.
    std::vector<uint32_t> m_cellGaps;
    static constexpr int kCellsCompactedAfterMs = 100;
    std::array<StringPool, kPooled> m_pools;
    std::array<bool, kPooled> m_dateColumns{}; // columns whose cells are stored dates
    std::vector<uint32_t> m_order;             // display row -> storage row; empty while unsorted
    bool m_sorted = false;
    int m_sortKey = 0;
    int m_sortOrder = 0;

    bool m_filtering = false;
    QStringList m_words;       // folded
    QStringList m_rawWords;    // as typed
    uint32_t m_digitWords = 0; // bit i set when word i is digits only
    QStringList m_awaiting;
    // Per word, the IDs of the calls whose comments hold it, ascending.
    std::vector<std::vector<qint64>> m_commentIds;
    std::function<std::vector<qint64>(const QString&, const std::vector<qint64>*)> m_commentSearch;
    bool m_openOnly = false;
    std::vector<uint32_t> m_shown; // display row -> storage row while filtering
    // Per column, the folded text of each pooled entry, and which words it holds.
    std::array<std::vector<QString>, kPooled> m_folded;
    std::array<std::vector<uint32_t>, kPooled> m_poolMatches;

    // The calls that have attachments.
    std::unordered_set<qint64> m_attached;

    QDate m_today;
    QColor m_overdueColor;
    mutable std::vector<qint64> m_dueDays; // Julian day of each due-date entry; 0 unknown
};
