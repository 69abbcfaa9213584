// Database files of an earlier schema are upgraded in place on open, after a backup beside
// them; a failed upgrade leaves the file as it was.

#include "data/connection.h"
#include "data/engine_functions.h"
#include "data/failure.h"
#include "data/schema_upgrades.h"
#include "data/shared_connection.h"
#include "test_support.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>
#include <sqlite3.h>

namespace {

QString connectionStringFor(const QString& path) {
    return "provider=microsoft.jet.oledb.4.0;data source=" + path + ";JET OLEDB:Database Password=";
}

// A database file as version 1 made it, with the statements `sql` run on it.
void makeVersionOneFile(const QString& path, const QString& sql) {
    QFile schema(QStringLiteral(QUORVANE_SCHEMA_1));
    QVERIFY(schema.open(QIODevice::ReadOnly));
    QDir().mkpath(QFileInfo(path).path());
    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    RegisterEngineFunctions(db);
    QCOMPARE(sqlite3_exec(db, schema.readAll().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    QCOMPARE(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

QByteArray hashOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

const char* const kOldData =
    "insert into Status values ('Open');"
    "insert into Status values ('Closed');"
    "insert into Status values ('open');"
    "insert into Categories values ('printer');"
    "insert into Categories values ('Network');"
    "insert into Priorities values ('High');"
    "insert into Employees ([First Name],[Last Name]) values ('Nora','Quill');"
    "insert into Customers ([First Name],[Last Name]) values ('Ann','Ray');"
    "insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],Status,Category,Priority,"
    "Comments,[Due Date],Caller,[Call Time]) values ('Jam',1,1,'2026-01-05','open','printer',"
    "'High','Old note','2026-01-09',1,'2026-01-05');";

} // namespace

class SchemaUpgradeTest : public QObject {
    Q_OBJECT
private slots:
    void oldFileIsUpgradedWithItsData() {
        TestEnvironment env;
        makeVersionOneFile(env.databasePath(), kOldData);
        const QByteArray before = hashOf(env.databasePath());
        env.openSharedConnection();

        QCOMPARE(Scalar("PRAGMA user_version").toInt(), SchemaVersion());
        QCOMPARE(Rows("select * from Status order by Status"),
                 QStringList({"Closed", "open", "Open"}));
        QCOMPARE(Rows("select * from Categories order by Category"),
                 QStringList({"Network", "printer"}));
        QCOMPARE(Rows("select Title, Status, Category, Comments, [Due Date] || '' from Calls"),
                 QStringList({"Jam|open|printer|Old note|2026-01-09"}));
        QCOMPARE(Count("select count(*) from [Calls Extended]"), 1);
        // The comments of the calls there were are found through the text index.
        QCOMPARE(Rows("select rowid from CallsText where Comments like '%old note%'"),
                 QStringList({"1"}));
        // The upgraded lists behave as those of a new file.
        QVERIFY(failureOf([] {
                    Exec("insert into [Status] values ('CLOSED')");
                }).contains("The value is there already"));
        Exec("insert into [Priorities] values ('low')");
        QCOMPARE(Rows("select * from Priorities order by Priority"), QStringList({"High", "low"}));
        Exec("insert into Calls (Title,[Due Date]) values ('New','2026-01-02')");
        QCOMPARE(Rows("select [Due Date] || '' from Calls where Title='New'"),
                 QStringList({"2026-01-02"}));
        // It keeps the history of its calls and what is deleted, as a new file does.
        Exec("update Calls set Title='Jammed' where Title='Jam'");
        Exec("delete from Calls where Title='New'");
        QCOMPARE(Rows("select Field, OldValue, NewValue from CallHistory where Field <> '' "),
                 QStringList({"Title|Jam|Jammed"}));
        QCOMPARE(Rows("select Title from DeletedCalls"), QStringList({"New"}));

        // The backup beside the file is the file as it was.
        const QString backup = UpgradeBackupPath(env.databasePath(), 1);
        QCOMPARE(QFileInfo(backup).path(), QFileInfo(env.databasePath()).path());
        QCOMPARE(hashOf(backup), before);
        QVERIFY(!QFile::exists(backup + ".part"));

        // Opening again upgrades nothing more.
        ReleaseSharedConnection();
        QFile::remove(backup);
        env.openSharedConnection();
        QVERIFY(!QFile::exists(backup));
    }

    // The upgraded file has the indexes of a new file, and the summary's counts read them.
    void upgradedFileHasTheIndexesOfANewFile() {
        const QString indexes =
            "select name || ': ' || sql from sqlite_master where type = 'index' and sql "
            "is not null order by name";
        TestEnvironment fresh;
        fresh.openSharedConnection();
        const QStringList expected = Rows(indexes);
        ReleaseSharedConnection();

        TestEnvironment env;
        makeVersionOneFile(env.databasePath(), kOldData);
        env.openSharedConnection();
        QCOMPARE(Rows(indexes), expected);
        QCOMPARE(Count("select count(*) from Calls indexed by CallsOpen "
                       "where [Resolved Date] is null and Status = 'open'"),
                 1);
        QCOMPARE(Count("select count(*) from Calls indexed by CallsByOpenedDate "
                       "where [Opened Date] >= '2026-01-05'"),
                 1);
    }

    void failedUpgradeLeavesTheFileAsItWas_data() {
        QTest::addColumn<QString>("oldSql");
        QTest::addColumn<bool>("holdLock");
        QTest::addColumn<QString>("cause");
        QTest::addColumn<bool>("backedUp");
        // A table of the user's own stands where the upgrade builds its third list, after the
        // first two were rebuilt.
        QTest::newRow("fails halfway") << QString(kOldData) + "create table NewPriorities (x);"
                                       << false << "already exists" << true;
        QTest::newRow("file in use")
            << QString(kOldData) << true << "in use by another program" << false;
    }

    void failedUpgradeLeavesTheFileAsItWas() {
        QFETCH(QString, oldSql);
        QFETCH(bool, holdLock);
        QFETCH(QString, cause);
        QFETCH(bool, backedUp);
        TestEnvironment env;
        makeVersionOneFile(env.databasePath(), oldSql);
        sqlite3* other = nullptr;
        if (holdLock) {
            QCOMPARE(sqlite3_open(env.databasePath().toUtf8().constData(), &other), SQLITE_OK);
            QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        }
        const QByteArray before = hashOf(env.databasePath());

        Connection connection;
        QString why;
        try {
            connection.open(connectionStringFor(env.databasePath()));
        } catch (const Failure& failure) {
            why = failure.description();
        }
        sqlite3_close(other);
        QVERIFY2(why.contains("cannot be upgraded from schema 1 to") && why.contains(cause),
                 qPrintable(why));
        QVERIFY2(why.endsWith(QLatin1Char('.')) && !why.contains(".)") && !why.contains(".:"),
                 qPrintable(why));
        QCOMPARE(connection.state(), 0);
        QCOMPARE(hashOf(env.databasePath()), before);
        QCOMPARE(QFile::exists(UpgradeBackupPath(env.databasePath(), 1)), backedUp);
    }

private:
    template <class Fn> static QString failureOf(Fn fn) {
        try {
            fn();
        } catch (const Failure& failure) {
            return failure.description();
        }
        return QStringLiteral("<no failure>");
    }
};

QTEST_MAIN(SchemaUpgradeTest)
#include "test_schema_upgrade.moc"
