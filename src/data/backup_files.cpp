#include "data/backup_files.h"

#include "data/connection.h"
#include "data/engine_functions.h"
#include "data/failure.h"
#include "data/private_files.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Backups::Files {

Handle::~Handle() {
    sqlite3_close_v2(db);
}

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
        const QString cause = PrivateFiles::systemCause();
        QFile::remove(temporary);
        throw Failure(SentenceWithCause(
            QStringLiteral("The file '%1' cannot be replaced").arg(target), cause));
    }
}

void removeTemporary(const QString& temporary) {
    QFile::remove(temporary);
    QFile::remove(temporary + QStringLiteral("-journal"));
}

bool sameFile(const QString& a, const QString& b) {
    struct stat first {
    }, second{};
    if (::stat(QFile::encodeName(a).constData(), &first) == 0 &&
        ::stat(QFile::encodeName(b).constData(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

QString linkedFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

void refuseLiveTarget(const QString& source, const QString& target) {
    for (const char* suffix : {"", "-journal", "-wal", "-shm", ".lock"}) {
        const QString live = source + QLatin1String(suffix);
        if (sameFile(target, live) ||
            (QFileInfo(target).absoluteFilePath() == QFileInfo(live).absoluteFilePath()))
            throw Failure(QStringLiteral("'%1' is the database itself (or a file the engine "
                                         "keeps beside it); a copy must go elsewhere.")
                              .arg(target));
    }
}

void syncFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const QString cause = PrivateFiles::systemCause();
        if (fd >= 0)
            ::close(fd);
        throw Failure(SentenceWithCause(
            QStringLiteral("The file '%1' cannot be written to the disk").arg(path), cause));
    }
    ::close(fd);
}

} // namespace Backups::Files
