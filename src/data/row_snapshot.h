#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class Connection;

// One row of a table as a window saw it when it opened, so that a save can tell whether
// someone else (another desk on the server, another copy of the program on the same file)
// changed or deleted the row in the meantime. The check and the write happen in one
// transaction with the row locked, so no change slips in between: on the server the row is
// read "for update"; on a local file the transaction holds the file's write lock from its
// start.
class RowSnapshot {
public:
    enum class State { Unchanged, Changed, Gone };

    // Reads the row of `table` whose ID is `id`, every column as the engine stores it.
    // A row that is not there (or an id that is no number) is remembered as missing.
    void take(Connection& connection, const QString& table, const QString& id);
    // Forgets the row: a later save finds nothing to compare and writes as before.
    void clear();
    bool taken() const { return !m_table.isEmpty(); }

    // In one transaction: locks and reads the row again; when it is as it was seen, runs
    // `write` and commits. Otherwise rolls back, writes nothing and answers Changed or Gone;
    // the row read now is kept for adoptLatest(). A failure rolls back and is thrown on.
    State writeIfUnchanged(Connection& connection, const std::function<void()>& write);
    // The row read by the last check becomes the one seen: a following write goes over it.
    void adoptLatest() { m_seen = m_latest; }

private:
    using Row = std::optional<std::vector<std::optional<QByteArray>>>;
    Row read(Connection& connection, bool lock) const;

    QString m_table;
    QString m_id;
    Row m_seen;
    Row m_latest;
};
