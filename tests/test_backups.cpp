// The safety nets around the call log: backups of a damaged file, pruning, a restore while a
// window has the file open, leftovers of interrupted copies and files that only their owner
// can read.
#include "app/command_line.h"
#include "app/daily_backup.h"
#include "app/main_window.h"
#include "data/backup.h"
#include "data/database_lock.h"
#include "data/engine_functions.h"
#include "data/shared_connection.h"
#include "test_support.h"

#include <QDirIterator>
#include <QLocale>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <atomic>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

// Two damaged pages and more: everything after the first page written over (after the first
// half of a file smaller than two pages, such as a compact backup).
void damage(const QString& path) {
    const QByteArray bytes = contentOf(path);
    const int kept = bytes.size() > 8192 ? 4096 : bytes.size() / 2;
    writeFile(path, bytes.left(kept) + QByteArray(bytes.size() - kept, '\x5a'));
}

// The first column of the first row that `sql` gives in the database file `path`, as text.
QString firstIn(const QString& path, const QByteArray& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    RegisterEngineFunctions(db);
    QString first;
    sqlite3_exec(
        db, sql.constData(),
        [](void* out, int, char** values, char**) {
            *static_cast<QString*>(out) = QString::fromUtf8(values[0]);
            return 0;
        },
        &first, nullptr);
    sqlite3_close(db);
    return first;
}

QString titlesIn(const QString& path) {
    return firstIn(path, "select group_concat(Title) from Calls");
}

int run(const QStringList& arguments, QString* output = nullptr) {
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int status = RunCommands(QStringList{"quorvane"} + arguments, outStream, errStream);
    if (output)
        *output = out + err;
    return status;
}

QStringList namesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// `root` and every file and folder below it whose mode is not the owner's alone.
QStringList notPrivate(const QString& root) {
    QStringList found;
    QStringList paths = {root};
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        paths << it.next();
    for (const QString& path : paths) {
        struct stat info {};
        lstat(QFile::encodeName(path).constData(), &info);
        const mode_t wanted = S_ISDIR(info.st_mode) ? 0700 : 0600;
        if ((info.st_mode & 07777) != wanted)
            found << QStringLiteral("%1 %2").arg(path).arg(info.st_mode & 07777, 0, 8);
    }
    return found;
}

} // namespace

class TestBackups : public QObject {
    Q_OBJECT
private slots:
    // Every case runs over both kinds of backup: plain database files and compact backups.
    void initTestCase_data() {
        QTest::addColumn<bool>("compact");
        QTest::newRow("plain") << false;
        QTest::newRow("compact") << true;
    }
    void init() {
        m_env = std::make_unique<TestEnvironment>();
        m_env->openSharedConnection();
        Exec("insert into Calls (Title) values ('kept call')");
        ReleaseSharedConnection();
        m_db = m_env->databasePath();
    }
    void cleanup() { m_env.reset(); }

    // A backup restores to a file whose every table equals the original's; the rebuilt
    // comments' index finds what the old one found, the kept copy of a deleted call included.
    void restoredFileEqualsTheOriginal() {
        SKIP_ON_SERVER("about the local file");
        m_env->openSharedConnection();
        Exec("insert into Calls (Title, Comments) values ('odd %_''\"\\[*', 'Schäden abîmées "
             "%_''\"\\[*'), ('no comments', NULL), ('gone', 'deleted quillfeather')");
        Exec("delete from Calls where Title = 'gone'");
        Exec("insert into Status (Status) values ('Waiting ''here''')");
        ReleaseSharedConnection();
        const QString original = m_env->dataHome() + "/original.mdb";
        QVERIFY(QFile::copy(m_db, original));
        QString said;
        QCOMPARE(run({"--backup", copyPath()}, &said), 0);
        QVERIFY2(said.contains(format() == Backups::Format::Plain ? "plain" : "compact"),
                 qPrintable(said));
        QCOMPARE(Backups::isCompact(copyPath()), format() == Backups::Format::Compact);
        QVERIFY2(run({"--restore", copyPath()}, &said) == 0, qPrintable(said));
        const QStringList tables = rowsOf(original, "select name from sqlite_master where type "
                                                    "= 'table' and name not like 'CallsText%'");
        QVERIFY(tables.contains("3:DeletedCalls") && tables.contains("3:sqlite_sequence"));
        QCOMPARE(rowsOf(m_db, "select type, name, sql from sqlite_master order by name"),
                 rowsOf(original, "select type, name, sql from sqlite_master order by name"));
        for (QString table : tables) {
            const QString all = "select rowid, * from [" + table.mid(2) + "] order by rowid";
            QCOMPARE(rowsOf(m_db, all), rowsOf(original, all));
        }
        for (const char* word : {"abi", "quillfeather", "%_'", "\\[*"}) {
            const QString find = QString("select rowid from CallsText where Comments like '%%1%'")
                                     .arg(QString(word).replace("'", "''"));
            QCOMPARE(rowsOf(m_db, find), rowsOf(original, find));
            QVERIFY2(!rowsOf(m_db, find).isEmpty(), word);
        }
        QCOMPARE(Backups::integrityProblem(m_db), QString());
    }

    // Fourteen good backups, then the file is damaged: no start costs a good backup, and the
    // advice given works when followed.
    void damagedFileKeepsEveryGoodBackup() {
        SKIP_ON_SERVER("about the local file");
        const QDate today(2026, 12, 7);
        for (int day = 14; day >= 1; --day)
            QCOMPARE(Backups::makeDaily(m_db, today.addDays(-day), nullptr, format()),
                     Backups::dailyPath(m_db, today.addDays(-day), format()));
        damage(m_db);
        const QString newest = Backups::dailyPath(m_db, today.addDays(-1), format());
        // A second start on the same day tries no second copy and tells nothing new.
        bool toldToday = false;
        for (const int start : {0, 0, 1, 2}) {
            ScriptedPrompts prompts;
            DailyBackup backup;
            backup.start(m_db, today.addDays(start), format());
            backup.wait();
            const bool again = start == 0 && toldToday;
            toldToday = true;
            if (again) {
                QCOMPARE(prompts.boxes.size(), size_t(0));
                continue;
            }
            QCOMPARE(prompts.boxes.size(), size_t(1));
            const QString& told = prompts.boxes[0].text;
            // Too damaged to be read, the file is kept aside byte for byte, as a plain file.
            QVERIFY2(told.contains(
                         Backups::damagedPath(m_db, today.addDays(start), Backups::Format::Plain)),
                     qPrintable(told));
            QVERIFY(told.contains(newest));
            QVERIFY(told.contains(QLocale().toString(today.addDays(-1), QLocale::LongFormat)));
            QVERIFY(told.contains("quorvane --restore"));
        }
        QString listed;
        QCOMPARE(run({"--list-backups"}, &listed), 0);
        QCOMPARE(listed.count("passed its check"), 14);
        QCOMPARE(listed.count("FAILED its check"), 3);

        // Followed: the newest sound backup comes back, and the damaged file is kept.
        QString said;
        QCOMPARE(run({"--restore"}, &said), 0);
        QVERIFY2(said.contains("Restored the database from " + newest), qPrintable(said));
        Backups::checkDatabaseFile(m_db);
        QCOMPARE(titlesIn(m_db), "kept call");
        QCOMPARE(run({"--list-backups"}, &listed), 0);
        QCOMPARE(listed.count("passed its check"), 14);
        QCOMPARE(listed.count("replaced by a restore"), 1);
    }

    // --list-backups checks each copy as it is now: one that went bad, or was put there by
    // hand, fails and says why; --restore then sets it aside.
    void listedBackupsAreChecked_data() {
        QTest::addColumn<QByteArray>("bad");
        QTest::addColumn<QString>("listed");
        QTest::newRow("sound") << QByteArray() << "passed its check";
        QTest::newRow("damaged pages") << QByteArray("damage") << "FAILED its check now (The file";
        QTest::newRow("random bytes") << QByteArray("random")
                                      << "FAILED its check now (The file '{PATH}' is not a "
                                         "database of this program.)";
        QTest::newRow("link to a device")
            << QByteArray("/dev/zero")
            << "FAILED its check now ('{PATH}' is a device, not a file.)";
    }
    void listedBackupsAreChecked() {
        SKIP_ON_SERVER("about the local file");
        QFETCH(QByteArray, bad);
        QFETCH(QString, listed);
        const QDate day(2026, 12, 1);
        Backups::makeDaily(m_db, day, nullptr, format());
        const QString path = Backups::dailyPath(m_db, day.addDays(1), format());
        Backups::makeDaily(m_db, day.addDays(1), nullptr, format());
        if (bad == "damage")
            damage(path);
        else if (bad == "random")
            writeFile(path, QByteArray(200 * 1024, '\x93'));
        else if (!bad.isEmpty())
            QVERIFY(QFile::remove(path) && QFile::link(QString::fromLatin1(bad), path));
        QString said;
        QCOMPARE(run({"--list-backups"}, &said), 0);
        const QString line = said.split('\n').filter(path).value(0);
        QVERIFY2(line.contains(listed.replace("{PATH}", path)), qPrintable(said));
        QCOMPARE(said.count("passed its check"), bad.isEmpty() ? 2 : 1);
        QCOMPARE(run({"--restore"}, &said), 0);
        QCOMPARE(said.contains("failed its check"), !bad.isEmpty());
    }

    // A data file that is a symbolic link (into a synchronised folder) stays one: the restore
    // writes the file it points to.
    void restoreKeepsALinkedDatabaseALink() {
        SKIP_ON_SERVER("about the local file");
        const QString synced = m_env->dataHome() + "/synced/dbData.mdb";
        QVERIFY(QDir().mkpath(m_env->dataHome() + "/synced"));
        QVERIFY(QFile::rename(m_db, synced) && QFile::link(synced, m_db));
        const QString copy = copyPath();
        Backups::backupTo(m_db, copy);
        m_env->openSharedConnection();
        Exec("update Calls set Title = 'stale call'");
        ReleaseSharedConnection();
        QCOMPARE(run({"--restore", copy}), 0);
        QCOMPARE(QFileInfo(m_db).symLinkTarget(), synced);
        QCOMPARE(titlesIn(synced), "kept call");
        QCOMPARE(namesIn(m_env->dataHome() + "/synced"), QStringList{"dbData.mdb"});
    }

    // A backup holds every committed call even when the file alone does not: a database that
    // another program switched to a write-ahead log keeps its newest calls in the log.
    void backupHoldsTheCallsStillInTheLog() {
        SKIP_ON_SERVER("about the local file");
        sqlite3* writer = nullptr;
        QCOMPARE(sqlite3_open(m_db.toUtf8().constData(), &writer), SQLITE_OK);
        RegisterEngineFunctions(writer);
        QCOMPARE(sqlite3_exec(writer,
                              "PRAGMA journal_mode = WAL; PRAGMA wal_autocheckpoint = 0; insert "
                              "into Calls (Title) values ('logged call')",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        Backups::backupTo(m_db, copyPath());
        sqlite3_close(writer);
        QCOMPARE(run({"--restore", copyPath()}), 0);
        QCOMPARE(titlesIn(m_db), "kept call,logged call");
    }

    // A backup taken while another program keeps committing into the file holds one state of
    // it: a copy of the file's bytes starts again when a commit came between two of its steps.
    void backupWhileAnotherProgramCommits() {
        SKIP_ON_SERVER("about the local file");
        QFETCH_GLOBAL(bool, compact);
        if (compact)
            QSKIP("the copy is the same for both kinds; a compact one keeps the call log alone");
        sqlite3* writer = nullptr;
        QCOMPARE(sqlite3_open(m_db.toUtf8().constData(), &writer), SQLITE_OK);
        sqlite3_busy_timeout(writer, 10000);
        // Rows of a page each over several steps of the copy, marked ones from first to last.
        QCOMPARE(sqlite3_exec(writer,
                              "create table Ballast (k integer primary key, v integer, b blob); "
                              "with recursive n(i) as (select 1 union all select i + 1 from n "
                              "where i < 12000) insert into Ballast select i, 0, zeroblob(3000) "
                              "from n",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        QStringList marked;
        for (int k = 500; k <= 12000; k += 500)
            marked << QString::number(k);
        const QByteArray which = " where k in (" + marked.join(',').toLatin1() + ")";
        std::atomic<int> commits{0};
        std::thread writes([&] {
            for (int value = 1; value <= 40; ++value) {
                const QByteArray sql =
                    "update Ballast set v = " + QByteArray::number(value) + which;
                if (sqlite3_exec(writer, sql.constData(), nullptr, nullptr, nullptr) == SQLITE_OK)
                    ++commits;
                QThread::usleep(2000);
            }
        });
        while (commits == 0)
            QThread::usleep(200);
        Backups::backupTo(m_db, copyPath());
        writes.join();
        sqlite3_close(writer);
        QCOMPARE(firstIn(copyPath(), "select count(distinct v) from Ballast" + which), "1");
    }

    // A journal that no write owns any more (its header zeroed by a run that was killed) is
    // removed by the next command or start; the journal of a write at work stays.
    void noJournalOutlivesItsRun_data() {
        QTest::addColumn<QStringList>("arguments"); // empty: the window starts
        QTest::addColumn<bool>("writing");          // another connection is writing
        QTest::newRow("check") << QStringList{"--check"} << false;
        QTest::newRow("list backups") << QStringList{"--list-backups"} << false;
        QTest::newRow("window") << QStringList{} << false;
        QTest::newRow("list backups, a write at work") << QStringList{"--list-backups"} << true;
        QTest::newRow("window, a write at work") << QStringList{} << true;
    }
    void noJournalOutlivesItsRun() {
        SKIP_ON_SERVER("about the local file");
        QFETCH(QStringList, arguments);
        QFETCH(bool, writing);
        const QString journal = m_db + "-journal";
        sqlite3* writer = nullptr;
        if (writing) {
            sqlite3_open_v2(m_db.toUtf8().constData(), &writer, SQLITE_OPEN_READWRITE, nullptr);
            RegisterEngineFunctions(writer);
            QCOMPARE(sqlite3_exec(writer, "begin; update Calls set Title = 'busy'", nullptr,
                                  nullptr, nullptr),
                     SQLITE_OK);
        } else {
            writeFile(journal, QByteArray(8192, '\0'));
        }
        QVERIFY(QFile::exists(journal));
        if (arguments.isEmpty())
            StartProgram().reset();
        else
            QCOMPARE(run(arguments), 0);
        QCOMPARE(QFile::exists(journal), writing);
        if (writer) {
            QCOMPARE(sqlite3_exec(writer, "commit", nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(writer);
            QCOMPARE(titlesIn(m_db), "busy");
        }
    }

    // A backup that has gone bad since is set aside, and the one before it restored.
    void restoreSkipsABackupThatFailsItsCheckNow() {
        SKIP_ON_SERVER("about the local file");
        const QDate day(2026, 12, 1);
        Backups::makeDaily(m_db, day, nullptr, format());
        Backups::makeDaily(m_db, day.addDays(1), nullptr, format());
        damage(Backups::dailyPath(m_db, day.addDays(1), format()));
        QString said;
        QCOMPARE(run({"--restore"}, &said), 0);
        QVERIFY(said.contains("failed its check: " +
                              Backups::damagedPath(m_db, day.addDays(1), format())));
        QVERIFY(
            said.contains("Restored the database from " + Backups::dailyPath(m_db, day, format())));
        QCOMPARE(Backups::newestGood(m_db)->date, day);
    }

    void pruningKeepsRecentDaysAndEachMonth() {
        SKIP_ON_SERVER("about the local file");
        const QDate today(2026, 12, 15);
        QDir().mkpath(Backups::folderFor(m_db));
        QList<QDate> days;
        for (int month = 1; month <= 10; ++month)
            days << QDate(2026, month, 10);
        for (int day = 19; day >= 0; --day)
            days << today.addDays(-day);
        for (const QDate& day : days)
            QFile::copy(m_db, Backups::dailyPath(m_db, day, format()));
        const QString folder = Backups::folderFor(m_db) + "/";
        for (const char* aside : {"dbData-2026-09-01-damaged.mdb", "dbData-2026-10-01-damaged.mdb",
                                  "dbData-2026-11-01-101010-replaced.mdb",
                                  "dbData-2026-12-10-101010-replaced.mdb", "notes.txt"})
            writeFile(folder + aside, "x");
        Backups::prune(m_db, today);
        QStringList kept = {"dbData-2026-10-01-damaged.mdb",
                            "dbData-2026-12-10-101010-replaced.mdb", "notes.txt"};
        for (const QDate& day : {QDate(2026, 7, 10), QDate(2026, 8, 10), QDate(2026, 9, 10),
                                 QDate(2026, 10, 10), QDate(2026, 11, 30)})
            kept << QFileInfo(Backups::dailyPath(m_db, day, format())).fileName();
        for (int day = 13; day >= 0; --day)
            kept << QFileInfo(Backups::dailyPath(m_db, today.addDays(-day), format())).fileName();
        kept.sort();
        QCOMPARE(namesIn(Backups::folderFor(m_db)), kept);
    }

    // A restore never replaces the file under an open window: it is refused, naming the
    // window's process, and the window goes on saving.
    void restoreRefusedWhileAWindowHasTheFile() {
        SKIP_ON_SERVER("about the local file");
        const QString copy = copyPath();
        Backups::backupTo(m_db, copy);
        ScriptedPrompts prompts;
        auto window = StartProgram();
        for (const QStringList& arguments : {QStringList{"--restore", copy}, {"--restore"}}) {
            QString said;
            QCOMPARE(run(arguments, &said), 1);
            QVERIFY2(said.contains("open in a window of the program (process " +
                                   QString::number(QCoreApplication::applicationPid())),
                     qPrintable(said));
        }
        Exec("insert into Calls (Title) values ('saved after')");
        QCOMPARE(titlesIn(m_db), "kept call,saved after");
        window->Form_QueryUnload();
        window.reset();
        QCOMPARE(run({"--restore", copy}), 0);
        QCOMPARE(titlesIn(m_db), "kept call");
    }

    // The same with the program's own window in a process of its own.
    // A command-line import holds the file as a window does: a restore is refused while it
    // works, and goes ahead once it is done.
    void restoreRefusedWhileAnImportRuns() {
        SKIP_ON_SERVER("about the local file");
        const QString copy = copyPath();
        Backups::backupTo(m_db, copy);
        const QString pipe = m_env->dataHome() + "/calls.csv";
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        QProcess import;
        import.start(QUORVANE_EXECUTABLE, {"--import-csv", pipe});
        QTRY_VERIFY(DatabaseLock::holders(m_db).contains(import.processId()));
        QString said;
        QCOMPARE(run({"--restore", copy}, &said), 1);
        QVERIFY2(said.contains(QStringLiteral("(process %1").arg(import.processId())),
                 qPrintable(said));
        writeFile(pipe, "Title,Opened Date,Due Date\nImported,2026-01-02,2026-01-03\n");
        QVERIFY(import.waitForFinished(60000));
        QCOMPARE(import.exitCode(), 0);
        QCOMPARE(titlesIn(m_db), "kept call,Imported");
        QCOMPARE(run({"--restore", copy}), 0);
        QCOMPARE(titlesIn(m_db), "kept call");
    }

    void restoreRefusedUnderTheProgramsWindow() {
        SKIP_ON_SERVER("about the local file");
        const QString copy = copyPath();
        Backups::backupTo(m_db, copy);
        QProcess window;
        window.start(QUORVANE_EXECUTABLE, {});
        QVERIFY(window.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(DatabaseLock::holders(m_db).contains(window.processId()), 60000);
        QProcess restore;
        restore.start(QUORVANE_EXECUTABLE, {"--restore", copy});
        QVERIFY(restore.waitForFinished(60000));
        QCOMPARE(restore.exitStatus(), QProcess::NormalExit);
        QCOMPARE(restore.exitCode(), 1);
        QVERIFY(restore.readAllStandardError().contains("(process " +
                                                        QByteArray::number(window.processId())));
        window.kill();
        window.waitForFinished();
        restore.start(QUORVANE_EXECUTABLE, {"--restore", copy});
        QVERIFY(restore.waitForFinished(60000));
        QCOMPARE(restore.exitCode(), 0);
    }

    void aBackupNeverTargetsTheLiveFile_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("the database") << "dbData.mdb";
        QTest::newRow("its journal") << "dbData.mdb-journal";
        QTest::newRow("its lock") << "dbData.mdb.lock";
    }
    void aBackupNeverTargetsTheLiveFile() {
        SKIP_ON_SERVER("about the local file");
        QFETCH(QString, target);
        const QByteArray before = contentOf(m_db);
        QString said;
        QCOMPARE(run({"--backup", m_env->dataFolder() + "/" + target}, &said), 1);
        QVERIFY2(said.contains("is the database itself"), qPrintable(said));
        QCOMPARE(contentOf(m_db), before);
    }

    // Whatever the umask, and whatever an older version left: after a start, a backup and a
    // restore, every file is the owner's alone and no leftover of a copy cut short remains.
    // Umasks that leave the group's bits open, the others' bits open, or both.
    void everyFileIsPrivateAndNoLeftoverStays_data() {
        QTest::addColumn<int>("mask");
        QTest::newRow("nothing masked") << 0;
        QTest::newRow("group open") << 0007;
        QTest::newRow("others open") << 0070;
    }
    void everyFileIsPrivateAndNoLeftoverStays() {
        SKIP_ON_SERVER("about the local file");
        QFETCH(int, mask);
        const mode_t umaskBefore = umask(mode_t(mask));
        const QString folder = m_env->dataFolder();
        QDir().mkpath(Backups::folderFor(m_db));
        const QString copy = copyPath();
        for (const QString& leftover :
             {folder + "/dbData.mdb.part", folder + "/dbData.mdb.part-journal",
              Backups::dailyPath(m_db, QDate(2026, 1, 1)) + ".part",
              Backups::folderFor(m_db) + "/dbData-2026-01-02-101010-replaced.mdb.part",
              copy + ".part", copy + ".part-journal"})
            writeFile(leftover, "left over");
        chmod(QFile::encodeName(folder).constData(), 0755);
        chmod(QFile::encodeName(m_db).constData(), 0644);
        {
            ScriptedPrompts prompts;
            auto window = StartProgram();
            DailyBackup backup;
            backup.start(m_db, QDate::currentDate(), format());
            backup.wait();
            window->Form_QueryUnload();
        }
        QCOMPARE(run({"--backup", copy}), 0);
        QCOMPARE(run({"--restore", copy}), 0);
        QProcess program;
        program.setChildProcessModifier([mask] { umask(mode_t(mask)); });
        program.start(QUORVANE_EXECUTABLE, {"--restore", copy});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        umask(umaskBefore);

        QCOMPARE(notPrivate(folder), QStringList());
        QCOMPARE(notPrivate(m_env->configHome() + "/Merrowfen"), QStringList());
        QStringList everything =
            namesIn(folder) + namesIn(Backups::folderFor(m_db)) + namesIn(m_env->dataHome());
        QCOMPARE(everything.filter(".part"), QStringList());
        QCOMPARE(namesIn(Backups::folderFor(m_db)).filter("-replaced.mdb").size(), 2);
    }

private:
    static Backups::Format format() {
        QFETCH_GLOBAL(bool, compact);
        return compact ? Backups::Format::Compact : Backups::Format::Plain;
    }
    // Where --backup writes: the name tells the kind.
    QString copyPath() const {
        return m_env->dataHome() +
               (format() == Backups::Format::Plain ? "/copy.mdb" : "/copy.backup");
    }
    // The rows of `sql` on the file `path`, each value with its type.
    static QStringList rowsOf(const QString& path, const QString& sql) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        RegisterEngineFunctions(db);
        QStringList rows;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) != SQLITE_OK)
            rows << QString("error: ") + sqlite3_errmsg(db);
        while (statement && sqlite3_step(statement) == SQLITE_ROW) {
            QStringList row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i)
                row << QString::number(sqlite3_column_type(statement, i)) + ":" +
                           QString::fromUtf8(
                               reinterpret_cast<const char*>(sqlite3_column_text(statement, i)));
            rows << row.join('|');
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return rows;
    }

    std::unique_ptr<TestEnvironment> m_env;
    QString m_db;
};

QTEST_MAIN(TestBackups)
#include "test_backups.moc"
