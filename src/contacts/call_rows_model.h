#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <array>
#include <vector>

// The rows of an employee's call list: nine texts per call, set all at once, so that thousands
// of calls are listed without one widget item per cell. Read-only and unsorted.
class CallRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 9;
    using Row = std::array<QString, kColumns>;

    using QAbstractTableModel::QAbstractTableModel;

    // Column headers, added one by one with their caption.
    void addColumn(const QString& caption);
    void clear();
    void setRows(std::vector<Row> rows);
    const Row& row(int index) const { return m_rows.at(size_t(index)); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QStringList m_captions;
    std::vector<Row> m_rows;
};
