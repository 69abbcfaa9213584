#include "data/row_snapshot.h"

#include "data/connection.h"
#include "data/recordset.h"

namespace {
bool isWholeNumber(const QString& text) {
    bool ok = false;
    text.toLongLong(&ok);
    return ok;
}
} // namespace

void RowSnapshot::take(Connection& connection, const QString& table, const QString& id) {
    m_table = table;
    m_id = id;
    m_seen = read(connection, false);
    m_latest.reset();
}

void RowSnapshot::clear() {
    m_table.clear();
    m_id.clear();
    m_seen.reset();
    m_latest.reset();
}

RowSnapshot::Row RowSnapshot::read(Connection& connection, bool lock) const {
    if (!isWholeNumber(m_id))
        return std::nullopt;
    QString sql = QStringLiteral("select * from ") + m_table + QStringLiteral(" where ID=") + m_id;
    // The server locks the row until the transaction ends; a local file is locked whole by
    // the transaction itself.
    if (lock && connection.server())
        sql += QStringLiteral(" for update");
    Recordset records;
    records.open(sql, connection);
    if (records.eof())
        return std::nullopt;
    std::vector<std::optional<QByteArray>> cells;
    for (int i = 0; i < records.fieldCount(); ++i) {
        const Recordset::Raw raw = records.raw(i);
        if (raw.null)
            cells.emplace_back();
        else
            cells.emplace_back(QByteArray(raw.utf8, raw.size));
    }
    return cells;
}

RowSnapshot::State RowSnapshot::writeIfUnchanged(Connection& connection,
                                                 const std::function<void()>& write) {
    connection.beginTransaction();
    try {
        m_latest = read(connection, true);
        State state = State::Unchanged;
        if (!m_latest)
            state = State::Gone;
        else if (m_latest != m_seen)
            state = State::Changed;
        if (state != State::Unchanged) {
            connection.rollback();
            return state;
        }
        write();
        // What was written is what a further save of the same window goes over.
        m_seen = read(connection, false);
        connection.commit();
        return State::Unchanged;
    } catch (...) {
        try {
            connection.rollback();
        } catch (...) {
        }
        throw;
    }
}
