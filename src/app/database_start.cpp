#include "app/database_start.h"
#include "data/told_failure.h"

#include "data/backup.h"
#include "data/database_lock.h"
#include "data/failure.h"
#include "data/file_copy.h"
#include "data/private_files.h"
#include "data/server_link.h"
#include "data/shared_connection.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

bool IsEmptyFile(const QString& path) {
    const QFileInfo info(path);
    return info.isFile() && info.size() == 0;
}

QString MakeDatabaseFromTemplate(const QString& templatePath, const QString& database) {
    if (!QFile::exists(templatePath))
        throw Failure(QStringLiteral("The empty database '%1' that comes with the program is "
                                     "missing, so no database can be made. Install the program "
                                     "again.")
                          .arg(templatePath));
    QString keptAs;
    if (IsEmptyFile(database)) {
        keptAs = database + QStringLiteral(".empty-") +
                 QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (!QFile::rename(database, keptAs))
            throw Failure(QStringLiteral("The database file '%1' is empty and cannot be set "
                                         "aside. Check that its folder can be written.")
                              .arg(database));
    }
    // Says why a copy fails (a full disk, say) and leaves no half copy behind.
    try {
        CopyWholeFile(templatePath, database);
    } catch (const Failure& failure) {
        throw Failure(SentenceWithCause(failure.description(),
                                        QStringLiteral("check that the folder '%1' can be written "
                                                       "and the disk has room")
                                            .arg(QFileInfo(database).absolutePath())));
    }
    // The template may be installed read-only; the copy is the user's to write.
    QFile::setPermissions(database, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ReadUser | QFileDevice::WriteUser);
    return keptAs;
}

void MakeCallLogToWrite(const QString& folder, const QString& templatePath,
                        const QString& database) {
    // Something there that is no file (a folder, a device) is named by the command itself.
    const QFileInfo info(database);
    if ((info.exists() && !info.isFile()) || (info.isFile() && !IsEmptyFile(database)))
        return;
    // The vendor's folder and the program's within it, each private to its owner.
    const QString vendorFolder = QFileInfo(folder).absolutePath();
    for (const QString& path : {vendorFolder, folder}) {
        if (QFileInfo(path).isDir())
            continue;
        if (!QDir().mkdir(path))
            throw Failure(QStringLiteral("Path/File access error: the folder '%1' cannot be "
                                         "created. Check that '%2' is a folder and can be "
                                         "written.")
                              .arg(path, QFileInfo(path).absolutePath()));
        PrivateFiles::restrictFolder(path);
    }
    MakeDatabaseFromTemplate(templatePath, database);
}

void RequireCallLog(const QString& database) {
    // Something there that is no file (a folder, a device) is named by the command itself.
    const QFileInfo info(database);
    if ((info.exists() && !info.isFile()) || (info.isFile() && !IsEmptyFile(database)))
        return;
    throw Failure(QStringLiteral("There is no call log yet: '%1' does not exist. Open the "
                                 "program's window once, or import calls with --import-csv "
                                 "FILE, to make one.")
                      .arg(database));
}

namespace {

// The window's hold on the local file (a restore waits for it to close), taken before the
// file is opened; with it, what an interrupted restore left is cleared away and every file of
// the call log is made private again.
std::unique_ptr<DatabaseLock> holdDatabaseFile(const QString& database) {
    constexpr int kWaitForRestoreMs = 10000;
    // Without the file there is nothing to hold (opening it fails and says why).
    if (!QFileInfo(database).isFile())
        return nullptr;
    const QString folder = QFileInfo(database).absolutePath();
    std::unique_ptr<DatabaseLock> lock = DatabaseLock::shared(database, kWaitForRestoreMs);
    Backups::removeLeftovers(folder);
    PrivateFiles::restrictTree(folder);
    return lock;
}

} // namespace

bool OpenSharedDatabase(const QString& connectionString, ErrorTrap& trap) {
    Connection& connection = SharedConnection();
    for (;;) {
        try {
            std::unique_ptr<DatabaseLock> lock;
            if (!ServerLink::isServerUri(connectionString.trimmed()))
                lock = holdDatabaseFile(Connection::dataSource(connectionString));
            connection.open(connectionString);
            KeepWithSharedConnection(std::move(lock));
            break;
        } catch (const ServerUnreachable& outage) {
            // A desk started while the server is down opens its window and waits for it: the
            // caption says so until it is back, and the list then fills by itself.
            MsgBox(QStringLiteral("The database server %1 cannot be reached (%2). The window "
                                  "opens and waits for it: the calls are listed as soon as it "
                                  "is back.")
                       .arg(outage.server(), outage.why()),
                   Prompts::Exclamation);
            trap.noteReported(connection.openFailure());
            trap.noteReported(outage.cause());
            return false;
        } catch (const Failure& failure) {
            const int answer = MsgBox(
                failure.description() +
                    QStringLiteral("\r\n\r\nRetry once the cause is put right, Continue to open "
                                   "the window without the calls (each command tries again), "
                                   "or Quit."),
                Prompts::AbortRetryIgnore | Prompts::Exclamation);
            if (answer == Prompts::Retry)
                continue;
            if (answer == Prompts::Abort)
                return true;
            trap.noteReported(connection.openFailure());
            return false;
        }
    }
    if (connection.readOnly()) {
        MsgBox(connection.readOnlyText(), Prompts::Exclamation);
        trap.noteReported(connection.readOnlyText());
    }
    return false;
}
