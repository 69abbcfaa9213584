// The soak's kills during the copies of the database: a backup on request (--backup), a
// restore (--restore) and the daily backup at start-up. After each kill the same work runs
// again to its end, as the next run of the command or the next start would, and then: no
// leftover of the copy cut short, the copy itself sound, every file of the call log private.
#include "soak.h"

#include "app/command_line.h"
#include "app/daily_backup.h"
#include "app/main_window.h"
#include "data/backup.h"
#include "data/failure.h"
#include "test_support.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cstdio>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace Soak {
namespace {

const char* const kKindNames[] = {"backup", "restore", "startup-backup"};

QString databasePath() {
    return Form1::DataFolder() + QStringLiteral("/dbData.mdb");
}
// Every other child works with compact backups, the others with plain database files.
bool compact(int child) {
    return child % 2 == 1;
}
QString backupTarget(const QString& root, int child) {
    return root +
           (compact(child) ? QStringLiteral("/backup.backup") : QStringLiteral("/backup.mdb"));
}
QString restoreSource(const QString& root, int child) {
    return root + (compact(child) ? QStringLiteral("/restore-from.backup")
                                  : QStringLiteral("/restore-from.mdb"));
}
// The daily backups of the soak are made for days of their own, one per child.
QDate dayOf(int child) {
    return QDate(2030, 1, 1).addDays(child);
}

int runCommand(const QStringList& arguments) {
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int status = RunCommands(QStringList{"quorvane"} + arguments, outStream, errStream);
    if (status != 0)
        std::fprintf(stderr, "soak: %s: %s\n", qPrintable(arguments.join(' ')), qPrintable(err));
    return status;
}

// Runs the copy of kind `kind` to its end (also what the child does until it is killed).
bool runCopy(const QString& root, Copy kind, int child) {
    switch (kind) {
    case Copy::Backup:
        return runCommand({"--backup", backupTarget(root, child)}) == 0;
    case Copy::Restore:
        return runCommand({"--restore", restoreSource(root, child)}) == 0;
    case Copy::StartupBackup:
        try {
            Backups::makeDaily(databasePath(), dayOf(child), nullptr,
                               compact(child) ? Backups::Format::Compact : Backups::Format::Plain);
            return true;
        } catch (const Failure& failure) {
            std::fprintf(stderr, "soak: daily backup: %s\n", qPrintable(failure.description()));
            return false;
        }
    }
    return false;
}

// Every leftover of a copy cut short, and every file or folder that others could read.
QStringList leftovers(const QString& root) {
    QStringList found;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String(".part")) || path.endsWith(QLatin1String(".part-journal")))
            found << path;
    }
    return found;
}

QStringList notPrivate(const QString& folder) {
    QStringList found;
    QStringList paths = {folder};
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    for (const QString& path : paths) {
        struct stat info {};
        if (lstat(QFile::encodeName(path).constData(), &info) != 0)
            continue;
        if ((info.st_mode & 07777) != (S_ISDIR(info.st_mode) ? 0700u : 0600u))
            found << path;
    }
    return found;
}

pid_t spawnCopy(const QString& root, Copy kind, int child) {
    return SpawnSelf({"--copy", QFile::encodeName(root), QByteArray::number(int(kind)),
                      QByteArray::number(child)});
}

} // namespace

int RunCopyChild(const QString& root, Copy kind, int child) {
    UseFolders(root);
    QFile(ReadyPath(root)).open(QIODevice::WriteOnly);
    return runCopy(root, kind, child) ? 0 : 1;
}

void KillDuringCopy(const QString& root, Copy kind, int child, QRandomGenerator& random,
                    Figures& figures) {
    if (kind == Copy::Restore)
        Backups::backupTo(databasePath(), restoreSource(root, child));
    QFile::remove(ReadyPath(root));
    const pid_t pid = spawnCopy(root, kind, child);
    if (pid < 0) {
        std::fprintf(stderr, "soak: the copy cannot be started\n");
        ++figures.failedReruns;
        return;
    }
    while (!QFile::exists(ReadyPath(root))) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            break;
        QThread::usleep(500);
    }
    // Within the time the copy took before, now and then just after it.
    qint64& took = figures.copyMicros[int(kind)];
    QThread::usleep(random.bounded(quint32(std::max<qint64>(took, 1000) * 5 / 4)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ++figures.kills;
    ++figures.copyKills[int(kind)];
    if (!leftovers(root).isEmpty())
        ++figures.killsDuringCopies;

    // The next run of the same work clears up and does it whole.
    QElapsedTimer timer;
    timer.start();
    if (!runCopy(root, kind, child))
        ++figures.failedReruns;
    took = std::max(took, timer.nsecsElapsed() / 1000);
    for (const QString& left : leftovers(root)) {
        ++figures.leftovers;
        std::fprintf(stderr, "soak: left over after %s: %s\n", kKindNames[int(kind)],
                     qPrintable(left));
    }
    const QString copy =
        kind == Copy::Backup ? backupTarget(root, child)
        : kind == Copy::StartupBackup
            ? Backups::dailyPath(databasePath(), dayOf(child),
                                 compact(child) ? Backups::Format::Compact : Backups::Format::Plain)
            : databasePath();
    try {
        Backups::checkDatabaseFile(copy);
    } catch (const Failure& failure) {
        ++figures.badCopies;
        std::fprintf(stderr, "soak: %s: %s\n", kKindNames[int(kind)],
                     qPrintable(failure.description()));
    }
    CheckAfterKill(root, figures);
    for (const QString& path : notPrivate(Form1::DataFolder())) {
        ++figures.filesNotPrivate;
        std::fprintf(stderr, "soak: readable by others: %s\n", qPrintable(path));
    }
}

} // namespace Soak
