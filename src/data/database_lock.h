#pragma once

#include <QList>
#include <QString>
#include <memory>

// One writer at a time on the local database file. Every window that opens the file holds a
// shared lock on "<database>.lock" beside it for as long as it has the file open; a command
// that replaces the file (a restore) takes the lock alone, and is refused while any window
// holds it. The locks are the system's advisory locks: a process that ends, however it ends,
// lets go of its lock.
class DatabaseLock {
public:
    ~DatabaseLock();
    DatabaseLock(const DatabaseLock&) = delete;
    DatabaseLock& operator=(const DatabaseLock&) = delete;

    // A window's lock. A restore that is running is waited for, up to `waitMs`; after that the
    // failure names the process that holds the lock.
    static std::unique_ptr<DatabaseLock> shared(const QString& databasePath, int waitMs);
    // The lock of a restore: fails at once, naming the windows that have the file open.
    // Both answer nullptr where no lock file can be made beside the database.
    static std::unique_ptr<DatabaseLock> exclusive(const QString& databasePath);

    static QString lockPath(const QString& databasePath);
    // The processes that hold a lock on the file beside `databasePath` (as the system lists
    // them; empty where it does not).
    static QList<qint64> holders(const QString& databasePath);

private:
    explicit DatabaseLock(int fd) : m_fd(fd) {}
    int m_fd = -1;
};
