#include "data/backup.h"
#include "data/backup_files.h"

#include "data/connection.h"
#include "data/database_lock.h"
#include "data/engine_functions.h"
#include "data/failure.h"
#include "data/file_copy.h"
#include "data/private_files.h"
#include "data/schema_upgrades.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>

namespace Backups {

using namespace Files;

namespace {

// Copies the database into target.part, complete and private, and answers that path.
QString copyToPart(const QString& source, const QString& target) {
    if (const QString why = PrivateFiles::notAFile(source); !why.isEmpty())
        throw Failure(why);
    if (!QFileInfo::exists(source))
        throw Failure(QStringLiteral("Could not find file '%1'.").arg(source));
    if (const QString why = PrivateFiles::notAFile(target); !why.isEmpty())
        throw Failure(why);
    refuseLiveTarget(source, target);
    const QString temporary = target + QStringLiteral(".part");
    // What a copy that was cut short left behind.
    removeTemporary(temporary);
    try {
        copyIntoNewFile(source, temporary);
    } catch (...) {
        removeTemporary(temporary);
        throw;
    }
    return temporary;
}

} // namespace

void copyDatabase(const QString& source, const QString& target) {
    replaceFile(copyToPart(source, target), target);
}

void backupTo(const QString& source, const QString& target) {
    QString problem;
    QString part;
    if (formatFor(target) == Format::Plain) {
        part = copyToPart(source, target);
        problem = integrityProblem(part);
    } else {
        if (const QString why = PrivateFiles::notAFile(target); !why.isEmpty())
            throw Failure(why);
        if (!QFileInfo::exists(source))
            throw Failure(QStringLiteral("Could not find file '%1'.").arg(source));
        refuseLiveTarget(source, target);
        part = compactToPart(source, target, &problem);
        if (problem.isEmpty()) {
            try {
                checkCompact(part);
            } catch (const Failure& failure) {
                problem = failure.description();
            }
        }
    }
    if (problem.isEmpty()) {
        replaceFile(part, target);
        return;
    }
    const QFileInfo info(target);
    const QString damaged =
        info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
        QStringLiteral("-damaged") +
        (info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix());
    replaceFile(part, damaged);
    throw Failure(QStringLiteral("The database '%1' is damaged (%2): its copy failed the "
                                 "integrity check and is kept as '%3', not as '%4'.")
                      .arg(source, problem, damaged, target));
}

QString integrityProblem(const QString& path) {
    Handle handle;
    openFile(handle, path, SQLITE_OPEN_READONLY);
    const QString integrity = queryText(handle.db, "PRAGMA integrity_check");
    return integrity == QLatin1String("ok") ? QString() : integrity;
}

void checkDatabaseFile(const QString& path, Check check) {
    if (const QString why = PrivateFiles::notAFile(path); !why.isEmpty())
        throw Failure(why);
    if (!QFileInfo(path).isFile())
        throw Failure(QStringLiteral("Could not find file '%1'.").arg(path));
    if (isCompact(path)) {
        checkCompact(path);
        return;
    }
    // Text or bytes of another kind are not a damaged database but no database at all.
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray head = file.read(16);
        if (!head.isEmpty() && head != QByteArray("SQLite format 3\0", 16))
            throw Failure(
                QStringLiteral("The file '%1' is not a database of this program.").arg(path));
    }
    Handle handle;
    openFile(handle, path, SQLITE_OPEN_READONLY);
    const QString integrity = queryText(
        handle.db, check == Check::Quick ? "PRAGMA quick_check" : "PRAGMA integrity_check");
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
    // No window may go on writing into the file that is replaced.
    const auto lock = DatabaseLock::exclusive(databasePath);
    if (sameFile(backup, databasePath))
        throw Failure(QStringLiteral("'%1' is the database itself.").arg(backup));
    // Nor may another program that writes into it (a tool of the engine's, a script): the
    // engine's write lock is held until the file is replaced.
    Handle writing;
    if (QFileInfo::exists(databasePath))
        holdWriteLock(writing, databasePath);
    removeLeftovers(QFileInfo(databasePath).absolutePath());
    // A database that is a symbolic link (to a file in a synchronised folder, say) stays one:
    // the copy is written beside the file it points to and replaces that file, whole.
    const QString target = linkedFile(databasePath);
    QString part;
    if (isCompact(backup)) {
        // Built from the rows, then checked as a database of this program (its pages and
        // rows by the engine's quick check: the indexes were made from the rows just now);
        // the database itself is untouched until the built file replaces it.
        part = expandToPart(backup, target);
        try {
            checkDatabaseFile(part, Check::Quick);
        } catch (...) {
            removeTemporary(part);
            throw;
        }
    } else {
        checkDatabaseFile(backup);
    }
    QString kept;
    if (QFileInfo::exists(databasePath)) {
        const QString folder = folderFor(databasePath);
        PrivateFiles::makeFolder(folder);
        removeLeftovers(folder);
        // Two restores in one second keep two copies.
        QDateTime at = QDateTime::currentDateTime();
        do {
            kept = folder + QLatin1Char('/') + QFileInfo(databasePath).completeBaseName() +
                   QLatin1Char('-') + at.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
                   QStringLiteral("-replaced.mdb");
            at = at.addSecs(1);
        } while (QFileInfo::exists(kept));
        try {
            copyDatabase(databasePath, kept);
        } catch (const Failure&) {
            // A database too damaged for the engine is kept byte for byte.
            try {
                CopyWholeFile(databasePath, kept);
            } catch (const Failure& failure) {
                if (!part.isEmpty())
                    removeTemporary(part);
                throw Failure(QStringLiteral("The database '%1' cannot be kept as '%2' (%3); "
                                             "nothing was restored.")
                                  .arg(databasePath, kept, failure.description()));
            }
        }
    }
    if (part.isEmpty())
        part = copyToPart(backup, target);
    // The copy replaces the database whole; a journal left by the replaced file (kept above)
    // must not be played into the restored one.
    QFile::remove(target + QStringLiteral("-journal"));
    replaceFile(part, target);
    PrivateFiles::restrictFile(target);
    return kept;
}

} // namespace Backups
