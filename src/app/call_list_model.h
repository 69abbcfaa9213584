#pragma once

#include "app/string_pool.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QDate>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

class Recordset;
struct CallRowBatch;

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

    // Finding (call_list_filter.cpp): only the rows with `needle` (folded as FoldForFind does)
    // in the text of any column, and with `openOnly` only calls without a resolved date. The
    // filter stays through rebuilds and sorting; the empty needle without openOnly lists every
    // row again.
    void setFilter(const QString& needle, bool openOnly);
    bool filtering() const { return m_filtering; }
    // Every row, listed or not.
    int totalRowCount() const { return int(m_ids.size()); }
    // The ID at a display row, or -1.
    qint64 idAt(int row) const;

    // Overdue calls: open calls due before `today` show their due date in `color`.
    void setToday(const QDate& today);
    QDate today() const { return m_today; }
    void setOverdueColor(const QColor& color);
    bool overdue(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    static constexpr int kPooled = 11;
    static constexpr int kDueDateColumn = 7;
    static constexpr int kResolvedDateColumn = 10;
    uint32_t storageRow(int row) const {
        return m_filtering ? m_shown[row] : m_order.empty() ? uint32_t(row) : m_order[row];
    }
    uint32_t cell(uint32_t stored, int pooled) const {
        return m_cells[size_t(stored) * kPooled + pooled];
    }
    void applySort();
    // Rebuilds m_shown from the sort order and the filter.
    void applyFilter();
    // The same for a needle that holds the previous one, testing only what matched before.
    void narrowFilter();
    bool rowMatches(uint32_t stored) const;
    // Moves the persistent indexes (the selection) along with a change of the display order
    // made by `change`.
    void relayout(const std::function<void()>& change);
    QString commentsTip(int row) const;
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

    bool m_filtering = false;
    QString m_needle;
    bool m_openOnly = false;
    std::vector<uint32_t> m_shown; // display row -> storage row while filtering
    // Per column, the folded text of each pooled entry, and whether it holds the needle.
    std::array<std::vector<QString>, kPooled> m_folded;
    std::array<std::vector<uint8_t>, kPooled> m_poolMatches;

    QDate m_today;
    QColor m_overdueColor;
    mutable std::vector<qint64> m_dueDays; // Julian day of each due-date entry; 0 unknown
};
