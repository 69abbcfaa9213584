#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <vector>

class Connection;

// Deleted calls, people and values are kept for 30 days with every field and ID, so that a
// delete can be undone. The triggers of the schema keep them; the program groups the rows of
// one delete as a person made it (a call, several calls, or a value or contact with the calls
// it took) into one deletion:
//
//     connection.beginTransaction();
//     const qint64 deletion = BeginDeletion(connection);
//     ... the delete statements ...
//     EndDeletion(connection, deletion);
//     connection.commit();
//     RememberDeletion(deletion);
namespace Deletions {

// How long deleted rows are kept.
constexpr int kKeptDays = 30;

// Opens a deletion inside the transaction running on `connection`, and forgets deletions older
// than kKeptDays.
qint64 Begin(Connection& connection);
// Closes it, before the transaction ends.
void End(Connection& connection, qint64 deletion);

// Runs `deletes` as one deletion in a transaction of its own (all of it or nothing), and
// remembers it for undo once it is committed.
void Run(Connection& connection, const std::function<void()>& deletes);

// The deletions made in this run, newest last: what undo takes back.
void Remember(qint64 deletion);
bool CanUndo();
// The newest remembered deletion, which is forgotten (0 when there is none).
qint64 TakeLast();
void ForgetAll();

// Puts back everything a deletion kept, in one transaction: its calls, the people and values
// deleted with them, and the people and values that its calls name and that are gone
// meanwhile. Answers the IDs of the calls put back.
QList<qint64> Restore(Connection& connection, qint64 deletion);
// Puts back the deleted calls `ids` in one transaction, with the people and values they name.
QList<qint64> RestoreCalls(Connection& connection, const QList<qint64>& ids);

// A deleted call as the list of deleted calls shows it.
struct DeletedCall {
    qint64 id = 0;
    QString title;
    QString deletedAt; // date text in the program's format
    QString deletedBy;
    QString deletedWith; // the value or contact whose delete took it; empty for none
};
// Every kept deleted call, the newest deletion first.
std::vector<DeletedCall> List(Connection& connection);

} // namespace Deletions
