// Crash-safety soak: runs the program's own save paths in a child process, kills the child
// with SIGKILL at a random moment, and checks the database file after every kill: the
// engine's integrity check, every save that the child had confirmed, no delete left half
// done, and a clean start of the program on the file.
//
//   quorvane_soak [--kills N] [--seed S]
//
// prints kills, integrity_failures, confirmed_rows_lost, half_cascades and failed_starts, and
// for the kills during copies of the database (a backup, a restore, the daily backup) and
// during the commands that write many calls at once (an import, an undo, a restore of
// deleted calls) leftovers, bad_copies, half_bulks, failed_reruns and files_not_private; it
// exits with 1 when any of
// them but the counts of kills is not 0.
#include "soak.h"

#include "app/main_window.h"
#include "data/shared_connection.h"
#include "test_support.h"
#include "ui/app_paths.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace Soak {

void UseFolders(const QString& root) {
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + "/data"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + "/config"));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(root + "/runtime"));
    SetProgramFolder(root + "/program");
}

QString LogPath(const QString& root) {
    return root + "/confirmed.log";
}

QString ReadyPath(const QString& root) {
    return root + "/ready";
}

pid_t SpawnSelf(const QByteArrayList& arguments) {
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    QByteArrayList texts = QByteArrayList{program} + arguments;
    std::vector<char*> pointers;
    for (QByteArray& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.constData(), nullptr, nullptr, pointers.data(), environ) != 0)
        return -1;
    return pid;
}

namespace {

// The first start makes the file from the template; three people of each kind and one value
// of each list are there for every call to name, and are never deleted.
void seedDatabase() {
    ScriptedPrompts prompts;
    Form1 window;
    window.Form_Load();
    for (const char* table : {"Employees", "Customers"})
        for (const char* last : {"Quill", "Holt", "Vane"})
            SharedConnection().execute(
                QStringLiteral("insert into %1 ([First Name],[Last Name]) values ('Keep','%2')")
                    .arg(QLatin1String(table), QLatin1String(last)));
    SharedConnection().execute("insert into Status values ('Open')");
    SharedConnection().execute("insert into Categories values ('Network')");
    SharedConnection().execute("insert into Priorities values ('High')");
    window.Form_QueryUnload();
}

pid_t spawnChild(const QString& root, int child, quint32 seed) {
    return SpawnSelf(
        {"--child", QFile::encodeName(root), QByteArray::number(child), QByteArray::number(seed)});
}

// Waits until the child has started on the file; false when it ended first.
bool waitUntilReady(const QString& root, pid_t child) {
    while (!QFile::exists(ReadyPath(root))) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) {
            std::fprintf(stderr, "soak: the child ended by itself (status %d)\n", status);
            return false;
        }
        QThread::msleep(5);
    }
    return true;
}

int runParent(int kills, quint32 seed) {
    QTemporaryDir folder;
    const QString root = folder.path();
    QDir().mkpath(root + "/program");
    QDir().mkpath(root + "/runtime");
    QFile::setPermissions(root + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::copy(QStringLiteral(QUORVANE_BLANK_DB_PATH), root + "/program/dbBlank.mdb");
    UseFolders(root);
    seedDatabase();

    QRandomGenerator random(seed);
    Figures figures;
    for (int child = 1; figures.kills < kills; ++child) {
        // One kill in four falls during a copy of the database.
        if (random.bounded(4) == 0) {
            KillDuringCopy(root, Copy(random.bounded(kCopyKinds)), child, random, figures);
            continue;
        }
        QFile::remove(ReadyPath(root));
        const pid_t pid = spawnChild(root, child, random.generate());
        if (pid < 0) {
            std::fprintf(stderr, "soak: the child cannot be started\n");
            return 2;
        }
        // Mostly while the child saves; now and then while it starts.
        bool running = true;
        if (random.bounded(10) > 0)
            running = waitUntilReady(root, pid);
        if (running) {
            QThread::usleep(random.bounded(300000));
            kill(pid, SIGKILL);
            int status = 0;
            waitpid(pid, &status, 0);
            running = WIFSIGNALED(status);
            if (!running)
                std::fprintf(stderr, "soak: the child ended by itself (status %d)\n", status);
        }
        if (!running)
            ++figures.failedStarts;
        ++figures.kills;
        CheckAfterKill(root, figures);
    }
    std::printf("kills = %d\nintegrity_failures = %d\nconfirmed_rows_lost = %d\n"
                "half_cascades = %d\nfailed_starts = %d\nconfirmations_checked = %d\n"
                "kills_during_writes = %d\n",
                figures.kills, figures.integrityFailures, figures.confirmedRowsLost,
                figures.halfCascades, figures.failedStarts, figures.confirmations,
                figures.killsDuringWrites);
    std::printf("kills_in_backup = %d\nkills_in_restore = %d\nkills_in_startup_backup = %d\n"
                "kills_in_import = %d\nkills_in_undo = %d\nkills_in_recover = %d\n"
                "kills_during_copies = %d\nleftovers = %d\nbad_copies = %d\n"
                "half_bulks = %d\nfailed_reruns = %d\nfiles_not_private = %d\n",
                figures.copyKills[0], figures.copyKills[1], figures.copyKills[2],
                figures.copyKills[3], figures.copyKills[4], figures.copyKills[5],
                figures.killsDuringCopies, figures.leftovers, figures.badCopies, figures.halfBulks,
                figures.failedReruns, figures.filesNotPrivate);
    const bool sound = figures.integrityFailures == 0 && figures.confirmedRowsLost == 0 &&
                       figures.halfCascades == 0 && figures.failedStarts == 0 &&
                       figures.leftovers == 0 && figures.badCopies == 0 && figures.halfBulks == 0 &&
                       figures.failedReruns == 0 && figures.filesNotPrivate == 0;
    return sound ? 0 : 1;
}

} // namespace
} // namespace Soak

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 5 && arguments[1] == QLatin1String("--child"))
        return Soak::RunChild(arguments[2], arguments[3].toInt(), arguments[4].toUInt());
    if (arguments.size() == 5 && arguments[1] == QLatin1String("--copy"))
        return Soak::RunCopyChild(arguments[2], Soak::Copy(arguments[3].toInt()),
                                  arguments[4].toInt());
    int kills = 100;
    quint32 seed = QRandomGenerator::system()->generate();
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--kills"))
            kills = arguments[i + 1].toInt();
        else if (arguments[i] == QLatin1String("--seed"))
            seed = arguments[i + 1].toUInt();
    }
    std::printf("seed = %u\n", seed);
    std::fflush(stdout);
    return Soak::runParent(kills, seed);
}
