#include "records/row_snapshot.h"

#include "data/connection.h"
#include "data/recordset.h"
#include "data/sql_text.h"

namespace {
// Whether two stored values are the same to the person: an empty text is no entry, as Null.
bool same(const std::optional<QByteArray>& a, const std::optional<QByteArray>& b) {
    const bool aEmpty = !a || a->isEmpty();
    const bool bEmpty = !b || b->isEmpty();
    return aEmpty || bEmpty ? aEmpty == bEmpty : *a == *b;
}

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
    m_clashes.clear();
    m_decided.clear();
}

RowSnapshot::Row RowSnapshot::read(Connection& connection, bool lock) {
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
    m_columns.clear();
    for (int i = 0; i < records.fieldCount(); ++i) {
        m_columns << records.fieldName(i);
        const Recordset::Raw raw = records.raw(i);
        if (raw.null)
            cells.emplace_back();
        else
            cells.emplace_back(QByteArray(raw.utf8, raw.size));
    }
    return cells;
}

void RowSnapshot::decide(bool mine) {
    for (const Clash& clash : m_clashes)
        m_decided[clash.column] = {clash.theirs, mine};
}

RowSnapshot::State RowSnapshot::writeIfUnchanged(Connection& connection,
                                                 const std::function<void()>& write) {
    connection.beginTransaction();
    try {
        m_clashes.clear();
        m_latest = read(connection, true);
        if (!m_latest) {
            connection.rollback();
            return State::Gone;
        }
        if (m_seen && m_latest->size() == m_seen->size() && *m_latest != *m_seen) {
            // What this person would write is learnt by writing it and taking it back: then
            // only the fields that they changed are written, so that the history holds no
            // field written and put back.
            connection.execute(QStringLiteral("savepoint mine"));
            write();
            const Row mine = read(connection, false);
            connection.execute(QStringLiteral("rollback to savepoint mine"));
            QStringList written;
            for (size_t i = 0; mine && i < m_latest->size() && i < mine->size(); ++i) {
                const auto& base = (*m_seen)[i];
                const auto& theirs = (*m_latest)[i];
                const auto& ours = (*mine)[i];
                if (same(ours, base) || same(ours, theirs))
                    continue;
                const QString& column = m_columns.value(int(i));
                if (!same(theirs, base)) {
                    const auto decided = m_decided.find(column);
                    if (decided == m_decided.end() || !same(decided->second.first, theirs)) {
                        m_clashes.push_back({column, theirs, ours});
                        continue;
                    }
                    if (!decided->second.second)
                        continue;
                }
                written << QLatin1Char('[') + column + QStringLiteral("]=") +
                               (ours ? QStringLiteral("'%1'").arg(
                                           DoubledQuotes(QString::fromUtf8(*ours)))
                                     : QStringLiteral("NULL"));
            }
            if (!m_clashes.empty()) {
                connection.rollback();
                return State::Changed;
            }
            if (!written.isEmpty())
                connection.execute(QStringLiteral("update ") + m_table + QStringLiteral(" set ") +
                                   written.join(QLatin1Char(',')) + QStringLiteral(" where ID=") +
                                   m_id);
        } else {
            write();
        }
        // What was written is what a further save of the same window goes over.
        m_seen = read(connection, false);
        m_decided.clear();
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
