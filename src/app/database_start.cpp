#include "app/database_start.h"

#include "data/failure.h"
#include "data/file_copy.h"
#include "data/shared_connection.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QDateTime>
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

bool OpenSharedDatabase(const QString& connectionString, ErrorTrap& trap) {
    Connection& connection = SharedConnection();
    for (;;) {
        try {
            connection.open(connectionString);
            break;
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
