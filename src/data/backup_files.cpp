#include "data/backup_files.h"

#include "data/connection.h"
#include "data/engine_functions.h"
#include "data/failure.h"
#include "data/private_files.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace Backups::Files {
namespace {

constexpr int kPagesPerStep = 4096;
constexpr int kBusyRetries = 200;
// A copy of the file's bytes takes this much under one read lock, a mebibyte at a time.
constexpr qint64 kBytesPerStep = 16 * 1024 * 1024;
constexpr qint64 kBytesPerRead = 1024 * 1024;
// Copies of the bytes started again when a writer came between two steps, before the copy
// goes page by page instead.
constexpr int kByteCopies = 3;

bool run(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Whether the database keeps a write-ahead log, which holds changes its file does not yet.
bool wal(sqlite3* db) {
    sqlite3_stmt* stmt = nullptr;
    bool found = true;
    if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        found = sqlite3_strnicmp(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal",
                                 4) == 0;
    sqlite3_finalize(stmt);
    return found;
}

// The first column of the first row of `sql` as a number, or -1.
qint64 number(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    qint64 value = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

void writeAll(int fd, const char* bytes, size_t size, const QString& target) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw Failure(
                SentenceWithCause(QStringLiteral("The file '%1' cannot be written").arg(target),
                                  PrivateFiles::systemCause()));
        bytes += written;
        size -= size_t(written);
    }
}

// Copies the bytes of the database that `from` has open into the empty file `target`, read
// through the engine's own handle of the file (a second handle of this process, closed again,
// would let go of the locks that the program's other connections hold on it). Each step holds
// the engine's read lock, so that a writer waits for one step at most, and the file's version
// must stay the same from the first step to the last: then the bytes are those of one state
// of the database, which is what copying its pages gives, for a fraction of the work. Answers
// false when a writer committed between two steps, or when the file alone is not the whole
// database (a write-ahead log beside it), or cannot be read so: `target` is to be written
// again then.
bool copyBytes(sqlite3* from, const QString& target) {
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(from, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
        !file || !file->pMethods)
        return false;
    const int fd = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        throw Failure(
            SentenceWithCause(QStringLiteral("The file '%1' cannot be written").arg(target),
                              PrivateFiles::systemCause()));
    struct Closed {
        int fd;
        ~Closed() { ::close(fd); }
    } closed{fd};
    std::vector<char> buffer(static_cast<size_t>(kBytesPerRead));
    qint64 version = -1;
    qint64 size = -1;
    qint64 offset = 0;
    do {
        // The read lock, taken by reading; a journal left by a writer that stopped halfway
        // is played back first.
        if (!run(from, "BEGIN") || number(from, "SELECT count(*) FROM sqlite_master") < 0 ||
            wal(from)) {
            run(from, "ROLLBACK");
            return false;
        }
        const qint64 now = number(from, "PRAGMA data_version");
        const qint64 pages = number(from, "PRAGMA page_count");
        const qint64 pageSize = number(from, "PRAGMA page_size");
        const qint64 bytes = pages > 0 && pageSize > 0 ? pages * pageSize : -1;
        if (version < 0) {
            version = now;
            size = bytes;
        }
        bool same = now >= 0 && bytes > 0 && now == version && bytes == size;
        const qint64 end = std::min(size, offset + kBytesPerStep);
        while (same && offset < end) {
            const int part = int(std::min(kBytesPerRead, end - offset));
            same = file->pMethods->xRead(file, buffer.data(), part, offset) == SQLITE_OK;
            if (same) {
                writeAll(fd, buffer.data(), size_t(part), target);
                offset += part;
            }
        }
        run(from, "COMMIT");
        if (!same)
            return false;
    } while (offset < size);
    return true;
}

} // namespace

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
        sqlite3_step(stmt) == SQLITE_ROW) {
        text = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    } else {
        // A file that another program holds could not be read: that says nothing of its
        // pages, and must not be taken for damage.
        const int code = sqlite3_errcode(db);
        text = EngineFailureText(db);
        sqlite3_finalize(stmt);
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            throw Failure(text);
        return QStringLiteral("error: ") + text;
    }
    sqlite3_finalize(stmt);
    return text;
}

void holdWriteLock(Handle& handle, const QString& path) {
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &handle.db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK)
        return;
    sqlite3_busy_timeout(handle.db, 3000);
    const int code = sqlite3_exec(handle.db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        throw Failure(QStringLiteral("The database '%1' is being written by another program, "
                                     "which would go on writing into the replaced file; nothing "
                                     "was restored. Try again when it is done.")
                          .arg(path));
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

// Copies every page of `from` into `to`; the pages are taken in steps, so that the program
// writing the source in between waits only for one step.
void copyPages(sqlite3* from, sqlite3* to, const QString& source) {
    sqlite3_backup* backup = sqlite3_backup_init(to, "main", from, "main");
    if (!backup)
        throw Failure(EngineFailureText(to));
    int rc = SQLITE_OK;
    int retries = 0;
    int system = 0;
    do {
        rc = sqlite3_backup_step(backup, kPagesPerStep);
        // The system's own words say more than the engine's "disk I/O error" for a file-size
        // limit or a full disk; they are taken at once, before anything else can change them.
        if ((rc & 0xff) == SQLITE_IOERR || (rc & 0xff) == SQLITE_FULL)
            system = sqlite3_system_errno(to) != 0 ? sqlite3_system_errno(to) : errno;
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            if (++retries > kBusyRetries)
                break;
            QThread::msleep(25);
        }
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) {
        const QString why = system != 0 ? QString::fromLocal8Bit(std::strerror(system))
                            : sqlite3_errcode(to) != SQLITE_OK ? EngineFailureText(to)
                                                               : EngineFailureText(from);
        throw Failure(SentenceWithCause(
            QStringLiteral("The database '%1' cannot be copied").arg(source), why));
    }
}

void copyIntoNewFile(const QString& source, const QString& target, bool scratch) {
    PrivateFiles::createEmpty(target);
    Handle from;
    openFile(from, source, SQLITE_OPEN_READONLY);
    for (int attempt = 0; attempt < kByteCopies; ++attempt) {
        if (copyBytes(from.db, target)) {
            if (!scratch)
                syncFile(target);
            return;
        }
    }
    // Written page by page instead: a copy that goes on while others write.
    PrivateFiles::createEmpty(target);
    Handle to;
    openFile(to, target, SQLITE_OPEN_READWRITE);
    if (scratch && sqlite3_exec(to.db, "PRAGMA synchronous = OFF; PRAGMA journal_mode = OFF",
                                nullptr, nullptr, nullptr) != SQLITE_OK)
        throw Failure(EngineFailureText(to.db));
    copyPages(from.db, to.db, source);
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
