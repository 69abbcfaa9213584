#include "data/stale_journal.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <unistd.h>

namespace StaleJournal {
namespace {

QString journalOf(const QString& path) {
    return path + QStringLiteral("-journal");
}

} // namespace

void remove(sqlite3* db, const QString& path) {
    const QString journal = journalOf(path);
    if (!QFileInfo(journal).isFile())
        return;
    // Another writer at work keeps its journal: this connection does not wait for it.
    sqlite3_busy_timeout(db, 0);
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK) {
        // The engine opens its own journal only with the first page it changes: what is there
        // now, while no other connection may write, belongs to no transaction.
        if (QFileInfo(journal).isFile())
            ::unlink(QFile::encodeName(journal).constData());
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    sqlite3_busy_timeout(db, 3000);
}

void remove(const QString& path) {
    if (!QFileInfo(journalOf(path)).isFile() || !QFileInfo(path).isFile())
        return;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK)
        remove(db, path);
    sqlite3_close_v2(db);
}

} // namespace StaleJournal
