#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

class Recordset;

// The rows of a report in compact form: for each row the text of every bound column, kept as
// UTF-8 in one buffer, so that a report over a hundred thousand calls stays small. Dates keep
// their stored form until a page shows them.
class ReportRows {
public:
    // Reads every remaining row of `records`, keeping the named columns (found without regard
    // to case). A column that the recordset lacks fails before anything is read.
    void read(Recordset& records, const QStringList& columns);
    // Puts the rows in the order of the texts of `column` as the person's language sorts
    // them, rows of the same text in the order read; a column not read leaves the order.
    void sortBy(const QString& column);

    int rowCount() const { return m_rows; }
    const QStringList& columns() const { return m_columns; }
    // The index of a column among those read, or -1.
    int columnIndex(const QString& name) const;

    // The value of a cell as a report shows it: Null as empty text, dates in the program's
    // date format.
    QString text(int row, int column) const;

private:
    QStringList m_columns;
    std::vector<bool> m_isDate;
    int m_rows = 0;
    QByteArray m_utf8;
    // End offset of every cell in m_utf8, row by row; a cell starts where the previous ends.
    std::vector<quint32> m_ends;
    // The row read for each row shown; empty: as read.
    std::vector<uint32_t> m_order;
};
