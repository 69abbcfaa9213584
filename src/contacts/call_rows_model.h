#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <vector>

// The rows of an employee's call list: nine texts per call and the call's ID, set all at once,
// so that thousands of calls are listed without one widget item per cell. Read-only; a header
// click sorts it as the main list sorts (dates by date, empty ones first).
class CallRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 9;
    using Row = std::array<QString, kColumns>;

    using QAbstractTableModel::QAbstractTableModel;

    // Column headers, added one by one with their caption.
    void addColumn(const QString& caption);
    void clear();
    // `ids` holds the call's ID of each row (empty when unknown).
    void setRows(std::vector<Row> rows, std::vector<qint64> ids = {});
    // The row at a display position.
    const Row& row(int index) const { return m_rows.at(m_order.at(size_t(index))); }
    // The call's ID at a display position, or -1.
    qint64 idAt(int index) const;
    // Columns whose texts are dates.
    void setDateColumns(std::vector<int> columns) { m_dateColumns = std::move(columns); }

    // Sorts by `column`: ascending on a new column, the other way on the same one again. The
    // order stays when the rows are set again.
    void sortByClick(int column);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void applySort();

    QStringList m_captions;
    std::vector<Row> m_rows;
    std::vector<qint64> m_ids;
    std::vector<size_t> m_order; // display position -> row
    std::vector<int> m_dateColumns;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
