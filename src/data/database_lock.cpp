#include "data/database_lock.h"

#include "data/failure.h"
#include "data/private_files.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QThread>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// -1 where no lock file can be made (a folder that cannot be written): nothing can replace
// the database there either, so there is nothing to lock.
int openLockFile(const QString& databasePath) {
    const QString path = DatabaseLock::lockPath(databasePath);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::fchmod(fd, S_IRUSR | S_IWUSR);
    return fd;
}

// "process 1234 (quorvane)" for each holder, or a plain "another process".
QString describeHolders(const QString& databasePath) {
    QStringList named;
    for (const qint64 pid : DatabaseLock::holders(databasePath)) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        const QString program = comm.open(QIODevice::ReadOnly)
                                    ? QString::fromLocal8Bit(comm.readAll()).trimmed()
                                    : QString();
        named << (program.isEmpty() ? QStringLiteral("process %1").arg(pid)
                                    : QStringLiteral("process %1 (%2)").arg(pid).arg(program));
    }
    return named.isEmpty() ? QStringLiteral("another process") : named.join(QStringLiteral(", "));
}

} // namespace

DatabaseLock::~DatabaseLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

QString DatabaseLock::lockPath(const QString& databasePath) {
    return databasePath + QStringLiteral(".lock");
}

QList<qint64> DatabaseLock::holders(const QString& databasePath) {
    QList<qint64> pids;
    struct stat info {};
    if (::stat(QFile::encodeName(lockPath(databasePath)).constData(), &info) != 0)
        return pids;
    // Lines such as "1: FLOCK  ADVISORY  READ 1234 08:01:56789 0 EOF".
    const QString file = QStringLiteral("%1:%2:%3")
                             .arg(major(info.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(minor(info.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(quint64(info.st_ino));
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return pids;
    for (const QByteArray& line : locks.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // Waiting requests ("->") are no holders.
        if (fields.size() < 6 || fields.at(1) == "->")
            continue;
        if (QString::fromLatin1(fields.at(5)) == file) {
            const qint64 pid = fields.at(4).toLongLong();
            if (pid > 0 && !pids.contains(pid))
                pids << pid;
        }
    }
    return pids;
}

std::unique_ptr<DatabaseLock> DatabaseLock::shared(const QString& databasePath, int waitMs) {
    const int fd = openLockFile(databasePath);
    if (fd < 0)
        return nullptr;
    for (int waited = 0;; waited += 50) {
        if (::flock(fd, LOCK_SH | LOCK_NB) == 0)
            return std::unique_ptr<DatabaseLock>(new DatabaseLock(fd));
        if (waited >= waitMs)
            break;
        QThread::msleep(50);
    }
    const QString holders = describeHolders(databasePath);
    ::close(fd);
    throw Failure(QStringLiteral("The database '%1' is being replaced by %2 (a restore); try "
                                 "again when it is done.")
                      .arg(databasePath, holders));
}

std::unique_ptr<DatabaseLock> DatabaseLock::exclusive(const QString& databasePath) {
    const int fd = openLockFile(databasePath);
    if (fd < 0)
        return nullptr;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return std::unique_ptr<DatabaseLock>(new DatabaseLock(fd));
    const QString holders = describeHolders(databasePath);
    ::close(fd);
    throw Failure(QStringLiteral("The database '%1' is open in a window of the program (%2), "
                                 "which would go on writing into the replaced file. Close that "
                                 "window first, then run the command again; nothing was "
                                 "restored.")
                      .arg(databasePath, holders));
}
