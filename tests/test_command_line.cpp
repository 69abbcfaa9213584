// Work without a window: the command line's options and exit statuses, the daily backups and
// the checked restore.
#include "app/command_line.h"
#include "app/daily_backup.h"
#include "data/backup.h"
#include "data/engine_functions.h"
#include "data/failure.h"
#include "data/shared_connection.h"
#include "records/attachment_store.h"
#include "reports/report_catalog.h"
#include "test_support.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <sqlite3.h>
#include <sys/resource.h>

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

// Runs SQL on a database file; answers the first value of the first row.
QString runSql(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    // The value lists' triggers and collation are the engine's own.
    RegisterEngineFunctions(db);
    QString first;
    sqlite3_exec(
        db, sql,
        [](void* out, int, char** values, char**) {
            *static_cast<QString*>(out) = QString::fromUtf8(values[0]);
            return 1;
        },
        &first, nullptr);
    sqlite3_close(db);
    return first;
}

// The titles of a database's calls and its list of statuses.
QString contentsOf(const QString& path) {
    return runSql(path, "select (select group_concat(Title) from Calls) || '/' || "
                        "(select ifnull(group_concat(Status), '') from Status)");
}

// Damages a database file as `damage` says: a file of garbage, cut in half, scribbled pages, or
// a statement run on it.
void damageFile(const QString& path, const QByteArray& damage) {
    const QByteArray bytes = contentOf(path);
    if (damage == "garbage")
        writeFile(path, QByteArray(8192, 'x'));
    else if (damage == "truncate")
        writeFile(path, bytes.left(bytes.size() / 2));
    else if (damage == "scribble")
        writeFile(path, bytes.left(4096) + QByteArray(bytes.size() - 4096, '\x5a'));
    else
        runSql(path, damage.constData());
}

// Leaves beside a database the journal of a write cut short: a transaction that spilled pages
// into the file, its journal kept as a crash would leave it.
void leaveHotJournal(const QString& path) {
    const QString journal = path + "-journal";
    sqlite3* db = nullptr;
    sqlite3_open(path.toUtf8().constData(), &db);
    RegisterEngineFunctions(db);
    sqlite3_exec(db,
                 "pragma cache_size = 2; begin; update Calls set Title = 'torn'; "
                 "create table Filler (x); insert into Filler values (randomblob(200000));",
                 nullptr, nullptr, nullptr);
    QFile::remove(journal + ".kept");
    QFile::copy(journal, journal + ".kept");
    sqlite3_close(db);
    QFile::rename(journal + ".kept", journal);
}

// A name that a web page would take for markup.
const QString kMarkup = QStringLiteral("\"><svg onload=alert(1)>.jpg");

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestEnvironment>();
        m_env->installDatabase();
        m_env->openSharedConnection();
        Exec("insert into Calls (Title) values ('kept call')");
        for (const QString& name : {kMarkup, QStringLiteral("two\nlines.txt")}) {
            QBuffer photo;
            photo.setData("photo bytes of " + name.toUtf8());
            photo.open(QIODevice::ReadOnly);
            SharedConnection().beginTransaction();
            Attachments::Store(SharedConnection(), 1, photo, name, 1000);
            SharedConnection().commit();
        }
        ReleaseSharedConnection();
    }
    void cleanup() { m_env.reset(); }

    void options_data() {
        QTest::addColumn<QStringList>("arguments"); // {DIR} is a private folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");  // expected in standard output or error
        QTest::addColumn<QString>("written"); // a file that must exist afterwards
        QTest::newRow("help") << QStringList{"--help"} << 0 << "--export-csv <FILE>"
                              << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << "1.0"
                                 << "";
        QTest::newRow("export") << QStringList{"--export-csv", "{DIR}/all.csv"} << 0 << ""
                                << "all.csv";
        QTest::newRow("backup") << QStringList{"--backup", "{DIR}/copy.mdb"} << 0 << "plain"
                                << "copy.mdb";
        QTest::newRow("compact backup")
            << QStringList{"--backup", "{DIR}/copy.backup"} << 0 << "compact"
            << "copy.backup";
        QTest::newRow("compact backup unwritable")
            << QStringList{"--backup", "{DIR}/no/copy.backup"} << 1 << "cannot be"
            << "";
        QTest::newRow("export unwritable")
            << QStringList{"--export-csv", "{DIR}/no/all.csv"} << 1 << "cannot be written"
            << "";
        QTest::newRow("backup unwritable")
            << QStringList{"--backup", "{DIR}/no/copy.mdb"} << 1 << "cannot be opened"
            << "";
        QTest::newRow("restore missing")
            << QStringList{"--restore", "{DIR}/none.mdb"} << 1 << "Could not find"
            << "";
        QTest::newRow("report") << QStringList{"--report", "{REPORT}", "--pdf", "{DIR}/r.pdf"} << 0
                                << ""
                                << "r.pdf";
        QTest::newRow("report unwritable")
            << QStringList{"--report", "{REPORT}", "--pdf", "{DIR}/no/r.pdf"} << 1 << "r.pdf"
            << "";
        QTest::newRow("wrong report name")
            << QStringList{"--report", "Overdue", "--pdf", "{DIR}/r.pdf"} << 2
            << "no report named \"Overdue\""
            << "";
        QTest::newRow("report without pdf")
            << QStringList{"--report", "{REPORT}"} << 2 << "--report and --pdf go together"
            << "";
        QTest::newRow("unknown option")
            << QStringList{"--exprot-csv", "x"} << 2 << "Unknown option 'exprot-csv'"
            << "";
        QTest::newRow("option without file") << QStringList{"--backup"} << 2 << "Missing value"
                                             << "";
        QTest::newRow("two actions")
            << QStringList{"--backup", "{DIR}/a.mdb", "--export-csv", "{DIR}/b.csv"} << 2
            << "exactly one"
            << "";
        QTest::newRow("stray argument")
            << QStringList{"--backup", "{DIR}/a.mdb", "extra"} << 2 << "unexpected argument 'extra'"
            << "";
        QTest::newRow("empty file name")
            << QStringList{"--export-csv", ""} << 2 << "needs a value that is not empty"
            << "";
        QTest::newRow("empty server")
            << QStringList{"--export-csv", "{DIR}/all.csv", "--server="} << 2 << "needs the URI"
            << "";
        QTest::newRow("no server") << QStringList{"--export-csv", "{DIR}/all.csv", "--server", "x"}
                                   << 2 << "'x' is not the URI of a database server"
                                   << "";
        QTest::newRow("raw without export")
            << QStringList{"--csv-raw"} << 2 << "--csv-raw goes with --export-csv"
            << "";
        QTest::newRow("raw with a backup") << QStringList{"--backup", "{DIR}/copy.mdb", "--csv-raw"}
                                           << 2 << "--csv-raw goes with --export-csv"
                                           << "";
        QTest::newRow("raw with an import")
            << QStringList{"--import-csv", "{DIR}/in.csv", "--csv-raw"} << 2
            << "--csv-raw goes with --export-csv"
            << "";
        QTest::newRow("raw with the list of backups")
            << QStringList{"--list-backups", "--csv-raw"} << 2 << "--csv-raw goes with --export-csv"
            << "";
        QTest::newRow("import missing")
            << QStringList{"--import-csv", "{DIR}/none.csv"} << 1 << "No such file"
            << "";
        QTest::newRow("import a folder")
            << QStringList{"--import-csv", "{DIR}"} << 1 << "cannot be read"
            << "";
        QTest::newRow("summary unwritable")
            << QStringList{"--summary", "{DIR}/no/s.pdf"} << 1 << "s.pdf"
            << "";
        QTest::newRow("raw export")
            << QStringList{"--export-csv", "{DIR}/all.csv", "--csv-raw"} << 0 << ""
            << "all.csv";
        QTest::newRow("export to a folder")
            << QStringList{"--export-csv", "{DIR}"} << 1 << "is a folder, not a file"
            << "";
        QTest::newRow("backup to a device")
            << QStringList{"--backup", "/dev/null"} << 1 << "'/dev/null' is a device, not a file"
            << "";
        QTest::newRow("restore a folder")
            << QStringList{"--restore", "{DIR}"} << 1 << "is a folder, not a file"
            << "";
        QTest::newRow("restore a device")
            << QStringList{"--restore", "/dev/zero"} << 1 << "'/dev/zero' is a device, not a file"
            << "";
        QTest::newRow("import a device") << QStringList{"--import-csv", "/dev/zero"} << 1
                                         << "'/dev/zero' is a device, not a file"
                                         << "";
        QTest::newRow("import a kernel's file") << QStringList{"--import-csv", "/proc/self/status"}
                                                << 1 << "a file of the system's kernel"
                                                << "";
        QTest::newRow("import a folder")
            << QStringList{"--import-csv", "{DIR}"} << 1 << "is a folder, not a file"
            << "";
        QTest::newRow("restore a text file") << QStringList{"--restore", "/etc/passwd"} << 1
                                             << "'/etc/passwd' is not a database of this program"
                                             << "";
        QTest::newRow("export to a kernel's file")
            << QStringList{"--export-csv", "/proc/version"} << 1
            << "'/proc/version' is a file of the system's kernel, not a file"
            << "";
        QTest::newRow("check a database that is a folder")
            << QStringList{"--check", "{FOLDER}"} << 1 << "is a folder, not a file"
            << "";
        QTest::newRow("restore with no backup")
            << QStringList{"--restore"} << 1 << "no sound backup"
            << "";
        QTest::newRow("no backups listed")
            << QStringList{"--list-backups"} << 0 << "There are no backups"
            << "";
        QTest::newRow("attachments listed")
            << QStringList{"--attachments", "1"} << 0
            << kMarkup + "\t" + QString::number(15 + kMarkup.size()) << "";
        QTest::newRow("attachments with a control")
            << QStringList{"--attachments", "1"} << 0 << "two\\nlines.txt\t"
            << "";
        QTest::newRow("attachments of no call")
            << QStringList{"--attachments", "9"} << 1 << "There is no call 9."
            << "";
        QTest::newRow("attachments of call zero")
            << QStringList{"--attachments", "0"} << 2 << "needs the ID of a call"
            << "";
        QTest::newRow("attachments of a word")
            << QStringList{"--attachments", "1x"} << 2 << "not '1x'"
            << "";
        QTest::newRow("attachment saved")
            << QStringList{"--save-attachment", "1", kMarkup, "{DIR}/out.jpg"} << 0 << "Saved"
            << "out.jpg";
        QTest::newRow("attachment saved by its listed name")
            << QStringList{"--save-attachment", "1", "two\\nlines.txt", "{DIR}/two.txt"} << 0
            << "Saved"
            << "two.txt";
        QTest::newRow("attachment not there")
            << QStringList{"--save-attachment", "1", "x.jpg", "{DIR}/x.jpg"} << 1
            << "Call 1 has no attachment named 'x.jpg'."
            << "";
        QTest::newRow("attachment without its file")
            << QStringList{"--save-attachment", "1", kMarkup} << 2
            << "takes the attachment's NAME and the FILE"
            << "";
        QTest::newRow("attachment into a folder that is not there")
            << QStringList{"--save-attachment", "1", kMarkup, "{DIR}/no/x.jpg"} << 1
            << "cannot be written"
            << "";
        QTest::newRow("attachments and an export")
            << QStringList{"--attachments", "1", "--export-csv", "{DIR}/b.csv"} << 2
            << "exactly one"
            << "";
        QTest::newRow("mail missing")
            << QStringList{"--import-mail", "{DIR}/none.eml"} << 1 << "Could not find file"
            << "";
        QTest::newRow("mail from a folder")
            << QStringList{"--import-mail", "{DIR}"} << 1 << "is not a file"
            << "";
        QTest::newRow("mail and an export")
            << QStringList{"--import-mail", "{DIR}/a.eml", "--export-csv", "{DIR}/b.csv"} << 2
            << "exactly one"
            << "";
        QTest::newRow("sound database checked")
            << QStringList{"--check"} << 0 << "Every call names only people and values that exist"
            << "";
    }
    void options() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        QFETCH(QString, written);
        arguments.replaceInStrings("{DIR}", m_env->dataHome());
        arguments.replaceInStrings("{REPORT}", ReportEntries().first().name);
        // The database replaced by a folder.
        if (arguments.removeAll("{FOLDER}") > 0)
            QVERIFY(QFile::remove(m_env->databasePath()) && QDir().mkdir(m_env->databasePath()));
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(RunCommands(QStringList{"quorvane"} + arguments, outStream, errStream), status);
        QVERIFY2((out + err).contains(output), qPrintable(out + err));
        QCOMPARE(err.isEmpty(), status == 0);
        if (!written.isEmpty())
            QVERIFY(contentOf(m_env->dataHome() + "/" + written).size() > 4);
        if (written.endsWith(".pdf"))
            QVERIFY(contentOf(m_env->dataHome() + "/" + written).startsWith("%PDF"));
        QCOMPARE(QDir(m_env->dataHome()).entryList({"*.part"}, QDir::Files), QStringList());
    }

    // A new login's first command: an import makes the call log from the template, as the
    // window's first start does; the commands that read say there is none yet, make none and
    // fail.
    void aNewLoginsFirstCommand_data() {
        QTest::addColumn<QStringList>("arguments"); // {DIR} is a private folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("made"); // the calls of the call log afterwards, or "none"
        QTest::newRow("import") << QStringList{"--import-csv", "{DIR}/in.csv"} << 0 << "First/";
        QTest::newRow("import twice")
            << QStringList{"--import-csv", "{DIR}/in.csv", "again"} << 0 << "First,First/";
        QTest::newRow("import of a file that is not there")
            << QStringList{"--import-csv", "{DIR}/none.csv"} << 1 << "none";
        QTest::newRow("export") << QStringList{"--export-csv", "{DIR}/all.csv"} << 1 << "none";
        QTest::newRow("summary") << QStringList{"--summary", "{DIR}/s.pdf"} << 1 << "none";
        QTest::newRow("report") << QStringList{"--report", "{REPORT}", "--pdf", "{DIR}/r.pdf"} << 1
                                << "none";
        QTest::newRow("check") << QStringList{"--check"} << 1 << "none";
        QTest::newRow("backup") << QStringList{"--backup", "{DIR}/copy.mdb"} << 1 << "none";
    }
    void aNewLoginsFirstCommand() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, made);
        if (TestEnvironment::onServer())
            QSKIP("A desk on a server keeps no call log of its own.");
        m_env.reset();
        m_env = std::make_unique<TestEnvironment>();
        QVERIFY(!QFile::exists(m_env->dataHome() + "/Merrowfen"));
        writeFile(m_env->dataHome() + "/in.csv",
                  "Title,Opened Date,Due Date\r\nFirst,2026-01-02,2026-01-03\r\n");
        const bool twice = arguments.removeAll("again") > 0;
        arguments.replaceInStrings("{DIR}", m_env->dataHome());
        arguments.replaceInStrings("{REPORT}", ReportEntries().first().name);
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        for (int run = 0; run < (twice ? 2 : 1); ++run)
            QCOMPARE(RunCommands(QStringList{"quorvane"} + arguments, outStream, errStream),
                     status);
        if (made == "none") {
            QVERIFY(!QFile::exists(m_env->databasePath()));
            if (!arguments.contains(m_env->dataHome() + "/none.csv"))
                QVERIFY2(err.contains("There is no call log yet: '" + m_env->databasePath() +
                                      "' does not exist") &&
                             err.contains("--import-csv"),
                         qPrintable(err));
            return;
        }
        QVERIFY2(err.isEmpty(), qPrintable(err));
        QCOMPARE(contentsOf(m_env->databasePath()), made);
        QCOMPARE(QFileInfo(m_env->dataFolder()).permissions() & 0x0077, QFileDevice::Permissions());
        QCOMPARE(QFile::permissions(m_env->databasePath()),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                     QFileDevice::WriteUser);
    }

    // While another program writes into the file, a command that writes waits for it and then
    // refuses, naming the cause, with nothing changed and the other program's work kept; one
    // that reads goes on. A file held whole is never called damaged.
    void whileAnotherProgramWrites_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("whole"); // the other program holds the file whole
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("told");
        const QString busy = "in use by another program";
        QTest::newRow("import") << QStringList{"--import-csv", "{DIR}/in.csv"} << false << 1
                                << busy;
        QTest::newRow("export") << QStringList{"--export-csv", "{DIR}/all.csv"} << false << 0 << "";
        QTest::newRow("backup") << QStringList{"--backup", "{DIR}/copy.mdb"} << false << 0 << "";
        QTest::newRow("restore") << QStringList{"--restore", "{DIR}/copy.mdb"} << false << 1
                                 << "being written by another program";
        QTest::newRow("check") << QStringList{"--check"} << false << 0 << "passed";
        QTest::newRow("check of a file held whole") << QStringList{"--check"} << true << 1 << busy;
    }
    void whileAnotherProgramWrites() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, whole);
        QFETCH(int, status);
        QFETCH(QString, told);
        writeFile(m_env->dataHome() + "/in.csv", "Title,Opened Date,Due Date\nnew,2026-01-02,"
                                                 "2026-01-03\n");
        Backups::copyDatabase(m_env->databasePath(), m_env->dataHome() + "/copy.mdb");
        runSql(m_env->dataHome() + "/copy.mdb", "update Calls set Title = 'restored call'");
        sqlite3* other = nullptr;
        sqlite3_open(m_env->databasePath().toUtf8().constData(), &other);
        QCOMPARE(sqlite3_exec(other, whole ? "begin exclusive" : "begin immediate", nullptr,
                              nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_exec(other, "create table Other (x)", nullptr, nullptr, nullptr);
        arguments.replaceInStrings("{DIR}", m_env->dataHome());
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(RunCommands(QStringList{"quorvane"} + arguments, outStream, errStream), status);
        QVERIFY2((out + err).contains(told) && !(out + err).contains("FAILED"),
                 qPrintable(out + err));
        QCOMPARE(sqlite3_exec(other, "commit", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(other);
        QCOMPARE(contentsOf(m_env->databasePath()), "kept call/");
        QCOMPARE(runSql(m_env->databasePath(), "select count(*) from sqlite_master where name = "
                                               "'Other'"),
                 "1");
    }

    // Calls naming what was deleted without them are counted by field, and fail the check; a
    // call an import left without a status names none.
    void checkCountsCallsNamingWhatIsGone() {
        m_env->openSharedConnection();
        Exec("insert into Employees ([First Name]) values ('Ann')");
        Exec("insert into Status values ('Open')");
        Exec("insert into Calls (Title,[Assigned To],[Opened By],Status,Priority) values "
             "('a',1,7,'Open','Gone')");
        Exec("insert into Calls (Title,[Assigned To],Caller,Status) values ('b',8,9,'Gone')");
        if (!TestEnvironment::onServer())
            Exec("insert into Calls (Title,Status,Category,Priority) values ('c','','','')");
        ReleaseSharedConnection();
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(RunCommands({"quorvane", "--check"}, outStream, errStream), 1);
        QVERIFY2(out.contains("passed the integrity check"), qPrintable(out));
        const QStringList told{"Assigned To: 1 call names an employee",
                               "Opened By: 1 call names an employee",
                               "Caller: 1 call names a customer", "Status: 1 call names a status",
                               "Priority: 1 call names a priority"};
        for (const QString& line : told)
            QVERIFY2(out.contains(line + " that no longer exists"), qPrintable(out));
        QVERIFY2(!out.contains("Category:") && !out.contains("Resolved By:"), qPrintable(out));
    }

    // The real program, started with no display at all.
    void runsWithoutDisplay() {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        program.setProcessEnvironment(environment);
        program.start(QUORVANE_EXECUTABLE, {"--export-csv", m_env->dataHome() + "/all.csv"});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(contentOf(m_env->dataHome() + "/all.csv").contains("kept call"));
        program.start(QUORVANE_EXECUTABLE, {"--report", ReportEntries().first().name, "--pdf",
                                            m_env->dataHome() + "/report.pdf"});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(contentOf(m_env->dataHome() + "/report.pdf").startsWith("%PDF"));
        program.start(QUORVANE_EXECUTABLE, {"--restore", m_env->dataHome() + "/all.csv"});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 1);
        QVERIFY(program.readAllStandardError().contains("is not a database of this program"));
    }

    // The window's arguments are as strictly checked, and without a display the program says
    // so, whatever it was asked: it never aborts.
    void windowArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("display"); // empty: none
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString server = "postgresql://nowhere.invalid/calls";
        QTest::newRow("server without value")
            << QStringList{"--server"} << "" << 2 << "Missing value after '--server'";
        QTest::newRow("empty server") << QStringList{"--server="} << "" << 2 << "needs the URI";
        QTest::newRow("empty server apart")
            << QStringList{"--server", ""} << "" << 2 << "needs the URI";
        QTest::newRow("stray argument")
            << QStringList{"somefile"} << "" << 2 << "unexpected argument 'somefile'";
        QTest::newRow("server and stray argument")
            << QStringList{"--server", server, "somefile"} << "" << 2 << "unexpected argument";
        QTest::newRow("no display") << QStringList{} << "" << 1 << "no display available";
        QTest::newRow("server, no display")
            << QStringList{"--server", server} << "" << 1 << "no display available";
        QTest::newRow("display that cannot be reached")
            << QStringList{} << ":1019" << 1 << "no display available";
        QTest::newRow("server, display that cannot be reached")
            << QStringList{"--server", server} << ":1019" << 1 << "no display available";
    }
    void windowArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, display);
        QFETCH(int, status);
        QFETCH(QString, message);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        if (!display.isEmpty())
            environment.insert("DISPLAY", display);
        program.setProcessEnvironment(environment);
        program.start(QUORVANE_EXECUTABLE, arguments);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        const QString said = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(said.contains(message), qPrintable(said));
    }

    // Under a file-size limit the writes fail, and each says why, instead of the program
    // being ended by the signal.
    void fileSizeLimitNamed_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("export") << QStringList{"--export-csv", "{DIR}/all.csv"};
        QTest::newRow("backup") << QStringList{"--backup", "{DIR}/copy.mdb"};
        QTest::newRow("report") << QStringList{"--report", "{REPORT}", "--pdf", "{DIR}/r.pdf"};
        QTest::newRow("import") << QStringList{"--import-csv", "{DIR}/in/calls.csv"};
    }
    void fileSizeLimitNamed() {
        QFETCH(QStringList, arguments);
        arguments.replaceInStrings("{DIR}", m_env->dataHome());
        arguments.replaceInStrings("{REPORT}", ReportEntries().first().name);
        // Calls to import, from a folder of their own.
        QDir().mkdir(m_env->dataHome() + "/in");
        writeFile(m_env->dataHome() + "/in/calls.csv",
                  "Title,Opened Date,Due Date\nPrinter,2026-01-02,2026-01-03\n");
        QProcess program;
        program.setChildProcessModifier([] {
            const rlimit limit{64, 64};
            setrlimit(RLIMIT_FSIZE, &limit);
        });
        program.start(QUORVANE_EXECUTABLE, arguments);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(program.readAllStandardError());
        QVERIFY2(said.contains("ile too large"), qPrintable(said));
        QCOMPARE(QDir(m_env->dataHome()).entryList(QDir::Files), QStringList());
    }

    void oneBackupPerDayKeepingFourteen() {
        const QString db = m_env->databasePath();
        const QDate first(2024, 3, 1);
        const Backups::Format plain = Backups::Format::Plain;
        for (int day = 0; day < 15; ++day) {
            QCOMPARE(Backups::makeDaily(db, first.addDays(day), nullptr, plain),
                     Backups::dailyPath(db, first.addDays(day), plain));
            // Once a day, of whichever kind.
            QCOMPARE(Backups::makeDaily(db, first.addDays(day)), QString());
        }
        writeFile(Backups::folderFor(db) + "/notes.txt", "mine");
        Backups::makeDaily(db, first.addDays(15), nullptr, plain);
        QStringList expected;
        for (int day = 2; day <= 15; ++day)
            expected << QFileInfo(Backups::dailyPath(db, first.addDays(day), plain)).fileName();
        expected << "notes.txt";
        QCOMPARE(QDir(Backups::folderFor(db)).entryList(QDir::Files, QDir::Name), expected);
        QCOMPARE(contentsOf(Backups::dailyPath(db, first.addDays(15), plain)), "kept call/");
    }

    void failedBackupReportedOnce() {
        ScriptedPrompts prompts;
        writeFile(Backups::folderFor(m_env->databasePath()), "a file where the folder goes");
        DailyBackup backup;
        QSignalSpy finished(&backup, &DailyBackup::finished);
        backup.start(m_env->databasePath());
        backup.start(m_env->databasePath());
        backup.wait();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(prompts.boxes.size(), size_t(1));
        QVERIFY(prompts.boxes[0].text.contains("backup"));
    }

    void restoreRefusesBadFiles_data() {
        QTest::addColumn<QByteArray>("damage");
        QTest::newRow("not a database") << QByteArray("garbage");
        QTest::newRow("truncated") << QByteArray("truncate");
        QTest::newRow("newer schema") << QByteArray("PRAGMA user_version = 99");
        QTest::newRow("missing table") << QByteArray("DROP TABLE Calls");
        QTest::newRow("damaged pages") << QByteArray("scribble");
    }
    void restoreRefusesBadFiles() {
        QFETCH(QByteArray, damage);
        const QString copy = m_env->dataHome() + "/copy.mdb";
        Backups::copyDatabase(m_env->databasePath(), copy);
        damageFile(copy, damage);
        const QByteArray before = contentOf(m_env->databasePath());
        QVERIFY_THROWS_EXCEPTION(Failure, Backups::restore(copy, m_env->databasePath()));
        QCOMPARE(contentOf(m_env->databasePath()), before);
        QVERIFY(!QFile::exists(Backups::folderFor(m_env->databasePath())));
    }

    // --check of a database that the engine cannot read or whose check fails: status 1, and
    // the output says what is wrong.
    void checkFailsOnADamagedDatabase_data() { restoreRefusesBadFiles_data(); }
    void checkFailsOnADamagedDatabase() {
        QFETCH(QByteArray, damage);
        damageFile(m_env->databasePath(), damage);
        QString out, err;
        QTextStream outStream(&out), errStream(&err);
        QCOMPARE(RunCommands({"quorvane", "--check"}, outStream, errStream), 1);
        QVERIFY2(out.contains("FAILED the integrity check") || !err.isEmpty(),
                 qPrintable(out + err));
        if (damage == "scribble")
            QVERIFY2(out.contains("FAILED the integrity check"), qPrintable(out + err));
    }

    // The journal of the replaced database's last write, cut short, is not played into the
    // restored one.
    // The journal of the file replaced is never played into the restored one, whether the
    // engine can still read that file or not.
    void restoreOverAHotJournal_data() {
        QTest::addColumn<bool>("damaged");
        QTest::newRow("beside a sound file") << false;
        QTest::newRow("beside a file that is no database") << true;
    }
    void restoreOverAHotJournal() {
        QFETCH(bool, damaged);
        const QString copy = m_env->dataHome() + "/copy.mdb";
        Backups::copyDatabase(m_env->databasePath(), copy);
        runSql(copy, "insert into Status values ('restored')");
        runSql(copy, "update Calls set Title = 'restored call'");
        leaveHotJournal(m_env->databasePath());
        QVERIFY(contentOf(m_env->databasePath() + "-journal").size() > 512);
        if (damaged)
            damageFile(m_env->databasePath(), "garbage");
        Backups::restore(copy, m_env->databasePath());
        QCOMPARE(contentsOf(m_env->databasePath()), "restored call/restored");
        QCOMPARE(runSql(m_env->databasePath(), "pragma integrity_check"), "ok");
    }

    void restoreKeepsTheReplacedDatabase() {
        const QString copy = m_env->dataHome() + "/copy.mdb";
        Backups::copyDatabase(m_env->databasePath(), copy);
        runSql(copy, "insert into Status values ('restored')");
        runSql(m_env->databasePath(), "update Calls set Title = 'replaced call'");
        const QString kept = Backups::restore(copy, m_env->databasePath());
        QCOMPARE(contentsOf(kept), "replaced call/");
        QCOMPARE(contentsOf(m_env->databasePath()), "kept call/restored");
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
