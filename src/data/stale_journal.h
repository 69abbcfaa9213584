#pragma once

#include <QString>

struct sqlite3;

// The engine's rollback journal ("<database>-journal") is its own while a write runs; a run
// killed at the wrong moment can leave one behind that is no longer hot (its header zeroed),
// which the engine would leave there until the next write. Every start and every command on
// the file removes such a journal: no journal outlives the run that made it.
namespace StaleJournal {

// On a connection that may write `path`: takes the write lock at once or not at all (the
// engine first plays back a hot journal, and deletes it), and while this connection alone may
// write, removes a journal that is still there. Does nothing while another writer is at work.
void remove(sqlite3* db, const QString& path);

// The same through a connection of its own, for commands that do not open the database
// otherwise; nothing when there is no database or no journal.
void remove(const QString& path);

} // namespace StaleJournal
