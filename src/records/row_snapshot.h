#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
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

    // A field that both this window and someone else changed, to different values.
    struct Clash {
        QString column;
        std::optional<QByteArray> theirs;
        std::optional<QByteArray> mine;
    };

    // Reads the row of `table` whose ID is `id`, every column as the engine stores it.
    // A row that is not there (or an id that is no number) is remembered as missing.
    void take(Connection& connection, const QString& table, const QString& id);
    // Forgets the row: a later save finds nothing to compare and writes as before.
    void clear();
    bool taken() const { return !m_table.isEmpty(); }

    // In one transaction: locks and reads the row again and runs `write`. When someone else
    // changed the row since it was seen, their changes are kept: `write` runs in a savepoint
    // that is taken back, and only the fields that it changed are then written; a field that
    // both changed, to different values, is a clash (see clashes()) unless the person already
    // chose between the same two values, and is written only when they chose their own.
    // Without clashes the transaction commits and the row as written is the one seen.
    // With clashes, or when the row is gone, it rolls back, writes nothing and answers
    // Changed or Gone. A failure rolls back and is thrown on.
    State writeIfUnchanged(Connection& connection, const std::function<void()>& write);
    // The clashes of the last Changed answer.
    const std::vector<Clash>& clashes() const { return m_clashes; }
    // The person's choice for the clashes of the last Changed answer: the following write
    // keeps their own values (true) or the other person's (false) in those fields, as long as
    // the other person's values stay the ones shown.
    void decide(bool mine);

private:
    using Row = std::optional<std::vector<std::optional<QByteArray>>>;
    Row read(Connection& connection, bool lock);

    QString m_table;
    QString m_id;
    QStringList m_columns;
    Row m_seen;
    Row m_latest;
    std::vector<Clash> m_clashes;
    // Per clashing column: the other person's value that the person chose over, and whether
    // the person kept their own.
    std::map<QString, std::pair<std::optional<QByteArray>, bool>> m_decided;
};
