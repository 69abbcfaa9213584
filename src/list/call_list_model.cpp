#include "list/call_list_model.h"

#include "ui/shown_text.h"

#include "list/call_list_loader.h"

#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "records/call_columns.h"

#include <algorithm>

namespace {

// The text a cell shows for the engine's bytes: dates in the local form.
QString shownText(std::string_view bytes, bool date) {
    const QString text = QString::fromUtf8(bytes.data(), int(bytes.size()));
    if (date) {
        if (auto value = DateText::fromStored(text))
            return DateText::format(*value);
    }
    return text;
}

qint64 parseId(const Recordset::Raw& raw) {
    qint64 value = 0;
    bool negative = false;
    for (int i = 0; i < raw.size; ++i) {
        const char c = raw.utf8[i];
        if (i == 0 && c == '-') {
            negative = true;
            continue;
        }
        if (c < '0' || c > '9')
            throw Failure(QStringLiteral("Type mismatch"));
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

} // namespace

CallListModel::CallListModel(QObject* parent) : QAbstractTableModel(parent) {}

uint32_t CallListModel::internCell(int pooled, std::string_view key, bool null, bool date) {
    m_dateColumns[pooled] = m_dateColumns[pooled] || (date && !null);
    return m_pools[pooled].intern(
        key, [date](std::string_view bytes) { return shownText(bytes, date); });
}

void CallListModel::addColumn(const QString& caption) {
    const int column = int(m_captions.size());
    beginInsertColumns(QModelIndex(), column, column);
    m_captions.append(caption);
    endInsertColumns();
}

void CallListModel::clear() {
    beginResetModel();
    m_ids.clear();
    m_ids.shrink_to_fit();
    m_idsAscending = true;
    m_cells.clear();
    m_cells.shrink_to_fit();
    m_cellGaps.clear();
    m_order.clear();
    m_order.shrink_to_fit();
    m_shown.clear();
    m_shown.shrink_to_fit();
    m_dueDays.clear();
    for (StringPool& pool : m_pools)
        pool.clear();
    m_dateColumns.fill(false);
    for (int i = 0; i < kPooled; ++i) {
        m_folded[i].clear();
        m_poolMatches[i].clear();
    }
    endResetModel();
}

void CallListModel::appendFrom(Recordset& records) {
    auto indexOf = [&](const char* name) {
        const int index = records.fieldIndex(QString::fromLatin1(name));
        if (index < 0)
            throw Failure(QStringLiteral("Item cannot be found in the collection corresponding "
                                         "to the requested name or ordinal."));
        return index;
    };
    const int idIndex = indexOf("ID");
    std::array<int, kPooled> fieldIndexes{};
    for (int i = 0; i < kPooled; ++i)
        fieldIndexes[i] = indexOf(CallColumns::kFields[i + 1]);

    compactCells();
    const size_t firstNew = m_ids.size();
    beginResetModel();
    struct EndReset {
        CallListModel* model;
        size_t firstNew;
        ~EndReset() {
            model->noteIdsFrom(firstNew);
            if (!model->m_sorted && !model->m_order.empty()) {
                for (size_t row = firstNew; row < model->m_ids.size(); ++row)
                    model->m_order.push_back(uint32_t(row));
            }
            if (model->m_sorted)
                model->applySort();
            if (model->m_filtering)
                model->applyFilter();
            model->endResetModel();
        }
    } endReset{this, firstNew};

    while (!records.eof()) {
        const Recordset::Raw id = records.raw(idIndex);
        if (id.null)
            throw Failure(QStringLiteral("Invalid use of Null"));
        const qint64 idValue = parseId(id);
        std::array<uint32_t, kPooled> row{};
        for (int i = 0; i < kPooled; ++i) {
            const Recordset::Raw cell = records.raw(fieldIndexes[i]);
            const std::string_view key =
                cell.null ? std::string_view() : std::string_view(cell.utf8, size_t(cell.size));
            const bool date = cell.date;
            m_dateColumns[i] = m_dateColumns[i] || (date && !cell.null);
            row[i] = m_pools[i].intern(
                key, [date](std::string_view bytes) { return shownText(bytes, date); });
        }
        m_ids.push_back(idValue);
        m_cells.insert(m_cells.end(), row.begin(), row.end());
        records.moveNext();
    }
}

void CallListModel::appendBatch(const CallRowBatch& batch) {
    const size_t rows = batch.ids.size();
    if (rows == 0)
        return;
    compactCells();
    const size_t first = m_ids.size();
    auto append = [&] {
        size_t start = 0;
        for (size_t row = 0; row < rows; ++row) {
            for (int i = 0; i < kPooled; ++i) {
                const size_t k = row * kPooled + size_t(i);
                const size_t end = batch.ends[k];
                const bool null = batch.nulls[k] != 0;
                const std::string_view key =
                    null ? std::string_view()
                         : std::string_view(batch.bytes).substr(start, end - start);
                start = end;
                m_cells.push_back(internCell(i, key, null, batch.dateColumns[i]));
            }
            m_ids.push_back(batch.ids[row]);
        }
        noteIdsFrom(first);
        if (!m_order.empty()) {
            for (size_t row = first; row < m_ids.size(); ++row)
                m_order.push_back(uint32_t(row));
        }
    };
    if (m_filtering) {
        relayout([&] {
            append();
            applyFilter();
        });
        return;
    }
    // New rows go below the ones listed; a sorted list is sorted when the fill ends.
    beginInsertRows(QModelIndex(), int(first), int(first + rows - 1));
    append();
    endInsertRows();
}

void CallListModel::adoptRows(CallListModel& other) {
    beginResetModel();
    m_ids.swap(other.m_ids);
    m_idsAscending = other.m_idsAscending;
    m_cells.swap(other.m_cells);
    std::swap(m_cellGaps, other.m_cellGaps);
    std::swap(m_pools, other.m_pools);
    m_dateColumns = other.m_dateColumns;
    m_order.clear();
    m_shown.clear();
    m_dueDays.clear();
    for (int i = 0; i < kPooled; ++i) {
        m_folded[i].clear();
        m_poolMatches[i].clear();
    }
    if (m_sorted)
        applySort();
    if (m_filtering)
        applyFilter();
    endResetModel();
    other.clear();
}

void CallListModel::finishAppending() {
    // The rows are in: the marks of those with attachments follow.
    refreshAttachments();
    if (!m_sorted)
        return;
    relayout([this] {
        applySort();
        if (m_filtering)
            applyFilter();
    });
}

QString CallListModel::text(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column > kPooled)
        return QString();
    const uint32_t stored = storageRow(row);
    if (column == 0)
        return QString::number(m_ids[stored]);
    return m_pools[column - 1].text(cell(stored, column - 1));
}

int CallListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid())
        return 0;
    return m_filtering ? int(m_shown.size()) : int(m_ids.size());
}

int CallListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_captions.size());
}

// The view asks for the index and the flags of every row each time it lays the list out: both
// are answered here without the base classes' round of virtual calls.
QModelIndex CallListModel::index(int row, int column, const QModelIndex& parent) const {
    const int rows = m_filtering ? int(m_shown.size()) : int(m_ids.size());
    if (parent.isValid() || row < 0 || column < 0 || row >= rows ||
        column >= int(m_captions.size()))
        return QModelIndex();
    return createIndex(row, column);
}

Qt::ItemFlags CallListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
}

QVariant CallListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
        return ShownSafely(text(index.row(), index.column()));
    case Qt::ForegroundRole:
        if (index.column() == kDueDateColumn && m_overdueColor.isValid() && overdue(index.row()))
            return m_overdueColor;
        return QVariant();
    case Qt::ToolTipRole:
        if (index.column() == kDueDateColumn && overdue(index.row()))
            return tr("Overdue since %1").arg(text(index.row(), index.column()));
        // The Title column shows the comments; a call found by its comments alone shows the
        // part that holds the word wherever the pointer rests on it.
        if (index.column() == kTitleColumn)
            return withAttachmentNames(index.row(), commentsTip(index.row()));
        if (!wordFoundInCommentsOnly(index.row()).isEmpty())
            return commentsTip(index.row());
        return QVariant();
    case Qt::DecorationRole:
        if (index.column() == kTitleColumn)
            return paperClip(index.row());
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant CallListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_captions.size())
        return m_captions.at(section);
    return QVariant();
}
