#include "data/backup.h"

#include "data/connection.h"
#include "data/engine_functions.h"
#include "data/failure.h"
#include "data/schema_upgrades.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>
#include <sqlite3.h>

namespace Backups {
namespace {

constexpr int kPagesPerStep = 4096;
constexpr int kBusyRetries = 200;

// An engine handle closed on every way out.
struct Handle {
    sqlite3* db = nullptr;
    ~Handle() { sqlite3_close_v2(db); }
};

void openFile(Handle& handle, const QString& path, int flags) {
    if (sqlite3_open_v2(path.toUtf8().constData(), &handle.db, flags | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        throw Failure(SentenceWithCause(
            QStringLiteral("The database file '%1' cannot be opened").arg(path),
            handle.db ? EngineFailureText(handle.db) : QStringLiteral("out of memory")));
    sqlite3_busy_timeout(handle.db, 3000);
    // The check of a file reads its indexes, which use the engine's own collation.
    RegisterEngineFunctions(handle.db);
}

// Copies every page of `from` into `to`; the pages are taken in steps, so that the program
// writing the source in between waits only for one step.
void copyPages(sqlite3* from, sqlite3* to, const QString& source) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        throw Failure(EngineFailureText(to));
    int rc = SQLITE_OK;
    int retries = 0;
    do {
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (++retries > kBusyRetries)
                break;
            QThread::msleep(25);
        }
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        const QString why =
            sqlite3_errcode(to) != SQLITE_OK ? EngineFailureText(to) : EngineFailureText(from);
        throw Failure(SentenceWithCause(
            QStringLiteral("The database '%1' cannot be copied").arg(source), why));
    }
}

QString queryText(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    QString text;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    else
        text = QStringLiteral("error: ") + EngineFailureText(db);
    sqlite3_finalize(stmt);
    return text;
}

void replaceFile(const QString& temporary, const QString& target) {
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        QFile::remove(temporary);
        throw Failure(QStringLiteral("The file '%1' cannot be replaced.").arg(target));
    }
}

} // namespace

void copyDatabase(const QString& source, const QString& target) {
    const QFileInfo info(source);
    if (!info.isFile())
        throw Failure(QStringLiteral("Could not find file '%1'.").arg(source));
    if (QFileInfo(target).isDir())
        throw Failure(QStringLiteral("'%1' is a folder, not a file.").arg(target));
    const QString temporary = target + QStringLiteral(".part");
    QFile::remove(temporary);
    {
        Handle from;
        openFile(from, source, SQLITE_OPEN_READONLY);
        Handle to;
        openFile(to, temporary, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        try {
            copyPages(from.db, to.db, source);
        } catch (...) {
            sqlite3_close_v2(to.db);
            to.db = nullptr;
            QFile::remove(temporary);
            throw;
        }
    }
    replaceFile(temporary, target);
}

QString folderFor(const QString& databasePath) {
    return QFileInfo(databasePath).absolutePath() + QStringLiteral("/backups");
}

QString dailyPath(const QString& databasePath, const QDate& day) {
    return folderFor(databasePath) + QLatin1Char('/') + QFileInfo(databasePath).completeBaseName() +
           QLatin1Char('-') + day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".mdb");
}

QString makeDaily(const QString& databasePath, const QDate& today) {
    const QString target = dailyPath(databasePath, today);
    QString written;
    if (!QFileInfo::exists(target)) {
        const QString folder = folderFor(databasePath);
        if (!QDir().mkpath(folder))
            throw Failure(QStringLiteral("The folder '%1' cannot be created.").arg(folder));
        copyDatabase(databasePath, target);
        written = target;
    }
    // Daily backups sort by their names; only files named like one are ever removed.
    const QRegularExpression daily(
        QStringLiteral("^%1-\\d{4}-\\d{2}-\\d{2}\\.mdb$")
            .arg(QRegularExpression::escape(QFileInfo(databasePath).completeBaseName())));
    QStringList names =
        QDir(folderFor(databasePath)).entryList(QDir::Files, QDir::Name).filter(daily);
    for (int i = 0; i + kKeep < names.size(); ++i)
        QFile::remove(folderFor(databasePath) + QLatin1Char('/') + names.at(i));
    return written;
}

void checkDatabaseFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        throw Failure(QStringLiteral("Could not find file '%1'.").arg(path));
    Handle handle;
    openFile(handle, path, SQLITE_OPEN_READONLY);
    const QString integrity = queryText(handle.db, "PRAGMA integrity_check");
    if (integrity != QLatin1String("ok"))
        throw Failure(QStringLiteral("The file '%1' is damaged (%2).").arg(path, integrity));
    const int version = queryText(handle.db, "PRAGMA user_version").toInt();
    if (version < 1 || version > SchemaVersion())
        throw Failure(QStringLiteral("The file '%1' is not a database of this version of the "
                                     "program (schema %2; this version reads %3).")
                          .arg(path)
                          .arg(version)
                          .arg(SchemaVersion()));
    const int objects =
        queryText(handle.db, "select count(*) from sqlite_master where "
                             "(type='table' and name in ('Calls','Customers','Employees','Status',"
                             "'Categories','Priorities')) or (type='view' and name in "
                             "('Calls Extended','Customers Extended','Employees Extended',"
                             "'Open Calls','Closed Calls'))")
            .toInt();
    if (objects != 11)
        throw Failure(
            QStringLiteral("The file '%1' lacks tables or queries of this program.").arg(path));
}

QString restore(const QString& backup, const QString& databasePath) {
    checkDatabaseFile(backup);
    if (QFileInfo(backup).canonicalFilePath() == QFileInfo(databasePath).canonicalFilePath())
        throw Failure(QStringLiteral("'%1' is the database itself.").arg(backup));
    QString kept;
    if (QFileInfo::exists(databasePath)) {
        const QString folder = folderFor(databasePath);
        if (!QDir().mkpath(folder))
            throw Failure(QStringLiteral("The folder '%1' cannot be created.").arg(folder));
        kept = folder + QLatin1Char('/') + QFileInfo(databasePath).completeBaseName() +
               QLatin1Char('-') +
               QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
               QStringLiteral("-replaced.mdb");
        try {
            copyDatabase(databasePath, kept);
        } catch (const Failure&) {
            // A database too damaged for the engine is kept byte for byte.
            QFile::remove(kept);
            if (!QFile::copy(databasePath, kept))
                throw Failure(QStringLiteral("The database '%1' cannot be kept as '%2'; "
                                             "nothing was restored.")
                                  .arg(databasePath, kept));
        }
    }
    // The copy goes in beside the database and replaces it whole; a journal left by the
    // replaced file (kept above) must not be played into the restored one.
    QFile::remove(databasePath + QStringLiteral("-journal"));
    copyDatabase(backup, databasePath);
    return kept;
}

} // namespace Backups
