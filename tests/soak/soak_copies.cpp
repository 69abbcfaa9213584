// The soak's kills during the copies of the database: a backup on request (--backup), a
// restore (--restore) and the daily backup at start-up; and during the commands that write
// many calls in one transaction: an import (--import-csv), an undo of a delete and a restore
// from the deleted calls. After each kill the same work runs again to its end, as the next
// run of the command or the next start would, and then: no leftover of the work cut short
// (nor a journal after the next start), the copy itself sound, the calls of the bulk work all
// there or all absent, every file of the call log private.
#include "soak.h"

#include "app/command_line.h"
#include "app/daily_backup.h"
#include "app/main_window.h"
#include "data/backup.h"
#include "data/connection.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "records/deletions.h"
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

const char* const kKindNames[] = {"backup", "restore", "startup-backup",
                                  "import", "undo",    "recover"};

// The calls of one bulk work: an import file's, or those deleted for an undo or a recover.
constexpr int kBulkCalls = 1500;

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

QString importFile(const QString& root) {
    return root + QStringLiteral("/import.csv");
}
// The deletion to undo, or the first and last ID of the calls to recover, as the parent
// made them.
QString bulkFile(const QString& root) {
    return root + QStringLiteral("/bulk");
}
QString bulkTitle(Copy kind, int child) {
    return QStringLiteral("%1 %2 ").arg(QLatin1String(kKindNames[int(kind)])).arg(child);
}

qint64 countOf(Connection& connection, const QString& sql) {
    Recordset records;
    records.open(sql, connection);
    return records.field(0).toInteger();
}

// The calls of the child's bulk work that the calls and the deleted calls hold.
std::pair<qint64, qint64> bulkCounts(Copy kind, int child) {
    Connection connection;
    connection.open(Form1::ConnectionString());
    const QString like = QStringLiteral(" where Title like '%1%'").arg(bulkTitle(kind, child));
    return {countOf(connection, QStringLiteral("select count(*) from Calls") + like),
            countOf(connection, QStringLiteral("select count(*) from DeletedCalls") + like)};
}

// Before a bulk work: the file to import, or the calls deleted in one deletion.
void prepareBulk(const QString& root, Copy kind, int child) {
    const QString title = bulkTitle(kind, child);
    if (kind == Copy::Import) {
        QFile file(importFile(root));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write("Title,Caller,Assigned To,Opened By,Opened Date,Due Date,Status,Category,"
                   "Priority\n");
        for (int i = 0; i < kBulkCalls; ++i)
            file.write((title + QString::number(i) +
                        ",Keep Quill,Keep Holt,Keep Vane,2026-01-02,2026-01-03,Open,Network,High\n")
                           .toUtf8());
        return;
    }
    Connection connection;
    connection.open(Form1::ConnectionString());
    connection.beginTransaction();
    for (int i = 0; i < kBulkCalls; ++i)
        connection.execute(
            QStringLiteral("insert into Calls (Title) values ('%1%2')").arg(title).arg(i));
    connection.commit();
    const QString where = QStringLiteral(" from Calls where Title like '%1%'").arg(title);
    const qint64 first = countOf(connection, "select min(ID)" + where);
    const qint64 last = countOf(connection, "select max(ID)" + where);
    Deletions::Run(connection, [&] { connection.execute("delete" + where); });
    QFile file(bulkFile(root));
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(QByteArray::number(kind == Copy::Undo ? Deletions::TakeLast() : first) + ' ' +
               QByteArray::number(last));
}

bool runBulk(const QString& root, Copy kind) {
    QFile file(bulkFile(root));
    file.open(QIODevice::ReadOnly);
    const QList<QByteArray> numbers = file.readAll().split(' ');
    Connection connection;
    connection.open(Form1::ConnectionString());
    if (kind == Copy::Undo) {
        Deletions::Restore(connection, numbers.value(0).toLongLong());
    } else {
        QList<qint64> ids;
        for (qint64 id = numbers.value(0).toLongLong(); id <= numbers.value(1).toLongLong(); ++id)
            ids << id;
        Deletions::RestoreCalls(connection, ids);
    }
    return true;
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
    case Copy::Undo:
    case Copy::Recover:
        try {
            if (kind == Copy::StartupBackup)
                Backups::makeDaily(databasePath(), dayOf(child), nullptr,
                                   compact(child) ? Backups::Format::Compact
                                                  : Backups::Format::Plain);
            else
                runBulk(root, kind);
            return true;
        } catch (const Failure& failure) {
            std::fprintf(stderr, "soak: %s: %s\n", kKindNames[int(kind)],
                         qPrintable(failure.description()));
            return false;
        }
    case Copy::Import:
        return runCommand({"--import-csv", importFile(root)}) == 0;
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
    const bool bulk = kind == Copy::Import || kind == Copy::Undo || kind == Copy::Recover;
    if (kind == Copy::Restore)
        Backups::backupTo(databasePath(), restoreSource(root, child));
    if (bulk)
        prepareBulk(root, kind, child);
    // All of a bulk work's calls or none, in the calls and in the deleted calls alike.
    const auto checkBulk = [&](bool rerun) {
        if (!bulk)
            return;
        const auto [listed, kept] = bulkCounts(kind, child);
        const bool whole = kind == Copy::Import
                               ? (listed == kBulkCalls || (listed == 0 && !rerun) ||
                                  (listed == 2 * kBulkCalls && rerun))
                               : listed + kept == kBulkCalls &&
                                     (listed == 0 || listed == kBulkCalls) &&
                                     (!rerun || listed == kBulkCalls);
        if (!whole) {
            ++figures.halfBulks;
            std::fprintf(stderr, "soak: %s %s: %lld calls listed, %lld kept\n",
                         kKindNames[int(kind)], rerun ? "run again" : "killed",
                         static_cast<long long>(listed), static_cast<long long>(kept));
        }
    };
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
    checkBulk(false);

    // The next run of the same work clears up and does it whole.
    QElapsedTimer timer;
    timer.start();
    if (!runCopy(root, kind, child))
        ++figures.failedReruns;
    took = std::max(took, timer.nsecsElapsed() / 1000);
    checkBulk(true);
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
    // No journal outlives the next start.
    QDirIterator journals(root, {QStringLiteral("*-journal")}, QDir::Files | QDir::Hidden,
                          QDirIterator::Subdirectories);
    while (journals.hasNext()) {
        ++figures.leftovers;
        std::fprintf(stderr, "soak: journal left after %s and a start: %s\n", kKindNames[int(kind)],
                     qPrintable(journals.next()));
    }
    for (const QString& path : notPrivate(Form1::DataFolder())) {
        ++figures.filesNotPrivate;
        std::fprintf(stderr, "soak: readable by others: %s\n", qPrintable(path));
    }
}

} // namespace Soak
