#include "reports/report_rows.h"

#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "ui/text_order.h"

#include <limits>

void ReportRows::read(Recordset& records, const QStringList& columns) {
    std::vector<int> fields;
    for (const QString& column : columns) {
        const int index = records.fieldIndex(column);
        if (index < 0)
            throw Failure(QStringLiteral("Item cannot be found in the collection corresponding "
                                         "to the requested name or ordinal."));
        fields.push_back(index);
    }
    m_columns = columns;
    m_isDate.assign(fields.size(), false);
    m_rows = 0;
    m_utf8.clear();
    m_ends.clear();
    m_order.clear();
    while (!records.eof()) {
        for (size_t i = 0; i < fields.size(); ++i) {
            const Recordset::Raw cell = records.raw(fields[i]);
            if (!cell.null) {
                m_isDate[i] = m_isDate[i] || cell.date;
                m_utf8.append(cell.utf8, cell.size);
            }
            if (quint64(m_utf8.size()) > std::numeric_limits<quint32>::max())
                throw Failure(QStringLiteral("The report is too large to be shown."));
            m_ends.push_back(quint32(m_utf8.size()));
        }
        ++m_rows;
        records.moveNext();
    }
}

int ReportRows::columnIndex(const QString& name) const {
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void ReportRows::sortBy(const QString& column) {
    const int sorted = columnIndex(column);
    if (sorted < 0 || m_isDate[size_t(sorted)])
        return;
    m_order.clear();
    m_order = SortedByText(uint32_t(m_rows), [&](uint32_t row) { return text(int(row), sorted); });
}

QString ReportRows::text(int row, int column) const {
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns.size())
        return QString();
    if (!m_order.empty())
        row = int(m_order[size_t(row)]);
    const size_t cell = size_t(row) * m_columns.size() + column;
    const quint32 start = cell == 0 ? 0 : m_ends[cell - 1];
    const QString value = QString::fromUtf8(m_utf8.constData() + start, m_ends[cell] - start);
    if (m_isDate[column]) {
        if (auto date = DateText::fromStored(value))
            return DateText::format(*date);
    }
    return value;
}
