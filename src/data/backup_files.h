#pragma once

#include <QString>

struct sqlite3;

// What the backups' files share: engine handles on them, and the checks and renames around a
// copy that is written under a temporary name first.
namespace Backups::Files {

// An engine handle closed on every way out.
struct Handle {
    sqlite3* db = nullptr;
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle();
};

// Opens the database file `path` with the engine's functions; fails with the engine's words.
void openFile(Handle& handle, const QString& path, int flags);
// The first column of the first row of `sql`, or "error: " and the engine's words; fails
// when another program holds the file.
QString queryText(sqlite3* db, const char* sql);
// Holds the engine's write lock on the database at `path` (other programs may go on reading
// it); fails when another program writes into it. A file that is no database, or none at
// all, is left to the steps that follow.
void holdWriteLock(Handle& handle, const QString& path);
// Renames `temporary` over `target`; removes `temporary` when that fails.
void replaceFile(const QString& temporary, const QString& target);
// Removes `temporary` and the journal the engine may have left beside it.
void removeTemporary(const QString& temporary);
bool sameFile(const QString& a, const QString& b);
// The file that `path` names at the end of its symbolic links (`path` itself when it is none).
QString linkedFile(const QString& path);
// Refuses a target that is the database or one of the files the engine keeps beside it.
void refuseLiveTarget(const QString& source, const QString& target);
// Copies every page of `from` into `to` with the engine's online backup, in steps, so that a
// program writing `from` meanwhile waits only for one step; fails with the system's or the
// engine's words.
void copyPages(sqlite3* from, sqlite3* to, const QString& source);
// Copies the database `source` into `target`, made new and private: its bytes, a step at a
// time under the engine's read lock, when no writer commits in between (else every page with
// copyPages). A `scratch` copy, read once and removed, neither waits for the disk nor keeps a
// journal.
void copyIntoNewFile(const QString& source, const QString& target, bool scratch = false);
// Writes what the system still holds of the file `path` to the disk; fails with its cause.
void syncFile(const QString& path);

} // namespace Backups::Files
