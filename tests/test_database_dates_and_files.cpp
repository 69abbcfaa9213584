// The database layer on dates, Null and field names, and on the files it opens: date text in
// several locales, files that are no database or are locked, paths with semicolons, and the
// shared connection.
#include "data/connection.h"
#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/server_link.h"
#include "data/shared_connection.h"
#include "data/value.h"
#include "database_fixture.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>
#include <sqlite3.h>

class TestDatabaseDatesAndFiles : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void badDateIsRefusedAndNothingIsStored_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << "soon";
        QTest::newRow("empty") << "";
        QTest::newRow("blanks") << "   ";
        QTest::newRow("month 13") << "13/1/2021";
        QTest::newRow("day 32") << "1/32/2021";
        QTest::newRow("february 30") << "2/30/2021";
        QTest::newRow("date and words") << "3/4/2021 tomorrow";
        QTest::newRow("a number") << "44256";
    }

    void badDateIsRefusedAndNothingIsStored() {
        QFETCH(QString, text);
        TestEnvironment env;
        env.openSharedConnection();
        const QString good = DateText::format(QDate(2021, 3, 4));
        const QString insert =
            "insert into Calls (Title,[Opened Date],[Due Date],[Resolved Date],[Call Time]) "
            "values ('Bad','" +
            good + "','" + text + "',NULL,'" + good + "')";
        const QString why = failureOf([&] { Exec(insert); });
        QVERIFY2(why.contains(QStringLiteral("not a valid date")), qPrintable(why));
        QVERIFY2(why.contains("'" + text + "'"), qPrintable(why));
        QCOMPARE(Count("select count(*) from Calls"), 0);

        // An update with the bad date changes nothing either.
        Exec("insert into Calls (Title,[Due Date]) values ('Good','" + good + "')");
        const QString update =
            "update Calls set Title='Changed', [Due Date]='" + text + "' where Title='Good'";
        QVERIFY(failureOf([&] { Exec(update); }).contains(QStringLiteral("not a valid date")));
        QCOMPARE(Rows("select Title, [Due Date] from Calls"), QStringList({"Good|" + good}));
        QCOMPARE(Rows("select [Due Date] || '' from Calls"), QStringList({"2021-03-04"}));
    }

    void typedDates_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // empty: not a date
        const int year = QDate::currentDate().year();
        const auto twoDigits = [](int y) {
            return QString::number(y % 100).rightJustified(2, '0');
        };
        QTest::newRow("US short") << "en_US"
                                  << "1/7/26"
                                  << "2026-01-07";
        QTest::newRow("US zeros") << "en_US"
                                  << "01/07/2026"
                                  << "2026-01-07";
        QTest::newRow("US with time") << "en_US"
                                      << "1/7/2026 14:30"
                                      << "2026-01-07 14:30:00";
        QTest::newRow("US with PM") << "en_US"
                                    << "1/7/26 2:30 pm"
                                    << "2026-01-07 14:30:00";
        QTest::newRow("US 12 AM") << "en_US"
                                  << "1/7/2026 12:05:09 AM"
                                  << "2026-01-07 00:05:09";
        QTest::newRow("US 12:30 PM") << "en_US"
                                     << "1/7/2026 12:30 PM"
                                     << "2026-01-07 12:30:00";
        QTest::newRow("US 12:15 AM") << "en_US"
                                     << "1/7/2026 12:15 AM"
                                     << "2026-01-07 00:15:00";
        QTest::newRow("US long") << "en_US"
                                 << "Wednesday, January 7, 2026"
                                 << "2026-01-07";
        QTest::newRow("US month name") << "en_US"
                                       << "Jan 7, 26"
                                       << "2026-01-07";
        QTest::newRow("US December by name") << "en_US"
                                             << "Dec 7, 26"
                                             << "2026-12-07";
        QTest::newRow("US last year") << "en_US"
                                      << "12/31/9999"
                                      << "9999-12-31";
        QTest::newRow("US ISO") << "en_US"
                                << "2026-01-07"
                                << "2026-01-07";
        QTest::newRow("US ISO time") << "en_US"
                                     << "2026-01-07T14:30"
                                     << "2026-01-07 14:30:00";
        // The stored form itself, as the import and the history hand it to the engine.
        const char* const stored[][2] = {{"2026-01-07 14:30:05", "2026-01-07 14:30:05"},
                                         {"2026-01-07 00:00:00", "2026-01-07"},
                                         {"2026-01-07T14:30:05", "2026-01-07 14:30:05"},
                                         {"2024-02-29", "2024-02-29"},
                                         {"2026-02-29", ""},
                                         {"2026-01-07 24:00:00", ""},
                                         {"0099-01-07", ""},
                                         {"0100-01-07", "0100-01-07"},
                                         {"9999-12-31", "9999-12-31"},
                                         {"2026-13-01", ""},
                                         {"2026-12-01", "2026-12-01"},
                                         {"2026-02-28 23:59:59", "2026-02-28 23:59:59"},
                                         {"2026-04-31", ""},
                                         {"2026-01-07 12:60:00", ""},
                                         {"2026-1-07", "2026-01-07"}};
        for (const auto& [typed, kept] : stored)
            QTest::newRow(typed) << "en_US" << typed << kept;
        QTest::newRow("US 80 years back")
            << "en_US"
            << "1/7/" + twoDigits(year - 80) << QString::number(year - 80) + "-01-07";
        QTest::newRow("US 19 years on")
            << "en_US"
            << "1/7/" + twoDigits(year + 19) << QString::number(year + 19) + "-01-07";
        QTest::newRow("DE short") << "de_DE"
                                  << "07.01.26"
                                  << "2026-01-07";
        QTest::newRow("DE no zeros") << "de_DE"
                                     << "6.12.2026"
                                     << "2026-12-06";
        QTest::newRow("DE long") << "de_DE"
                                 << "Mittwoch, 7. Januar 2026"
                                 << "2026-01-07";
        QTest::newRow("DE time") << "de_DE"
                                 << "7.1.26 9:05"
                                 << "2026-01-07 09:05:00";
        QTest::newRow("GB day first") << "en_GB"
                                      << "7/1/2026"
                                      << "2026-01-07";
        QTest::newRow("GB short") << "en_GB"
                                  << "07/01/26"
                                  << "2026-01-07";
        QTest::newRow("GB month name") << "en_GB"
                                       << "15 Jan 2027"
                                       << "2027-01-15";
        QTest::newRow("word") << "en_US"
                              << "tomorrow"
                              << "";
        QTest::newRow("no such day") << "en_US"
                                     << "2024-02-30"
                                     << "";
        QTest::newRow("US month 13") << "en_US"
                                     << "13/1/2026"
                                     << "";
        QTest::newRow("GB month 13") << "en_GB"
                                     << "1/13/2026"
                                     << "";
        QTest::newRow("three-digit year") << "en_US"
                                          << "1/7/202"
                                          << "";
        QTest::newRow("hour 25") << "de_DE"
                                 << "7.1.26 25:00"
                                 << "";
        QTest::newRow("PM at 13") << "en_US"
                                  << "1/7/26 13:00 PM"
                                  << "";
        QTest::newRow("two months") << "en_GB"
                                    << "7 Jan Feb 2026"
                                    << "";
        QTest::newRow("quote") << "en_GB"
                               << "7 Jan '26"
                               << "";
        // Years before 100 are not shown in four digits the way they were typed.
        QTest::newRow("ISO year 26") << "en_GB"
                                     << "0026-12-07"
                                     << "";
        QTest::newRow("stored form year 99") << "en_US"
                                             << "0099-01-02 10:00:00"
                                             << "";
        // No sign, year out of range or mark too many (a server takes a sign: the last five).
        const char* const marked[][3] = {
            {"en_US", "+2026-01-07", ""}, {"en_US", "10000-01-07", ""},
            {"en_US", "1/7/10000", ""},   {"de_DE", "7.1.2026.", "2026-01-07"},
            {"en_US", "-2026-01-07", ""}, {"en_US", "-1/7/2026", ""},
            {"en_US", "1/7/-2026", ""},   {"en_US", "1//7/2026", ""},
            {"de_DE", "-07.01.2026", ""}};
        for (int i = 0; i < (TestEnvironment::onServer() ? 4 : 9); ++i)
            QTest::newRow(marked[i][1]) << marked[i][0] << marked[i][1] << marked[i][2];
        QTest::newRow("ISO year 100") << "en_GB"
                                      << "0100-12-07"
                                      << "0100-12-07";
    }

    // What a person of the locale types is read alike by the program and by the engine.
    void typedDates() {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QLocale::setDefault(QLocale(locale));
        TestEnvironment env;
        env.openSharedConnection();
        QCOMPARE(DateText::isDate(typed), !stored.isEmpty());
        // Every date column reads it alike.
        const QString text = "'" + QString(typed).replace("'", "''") + "'";
        const QString why = failureOf([&] {
            Exec("insert into Calls (Title,[Opened Date],[Due Date],[Resolved Date],[Call Time]) "
                 "values ('Typed'," +
                 QStringList{text, text, text, text}.join(',') + ")");
        });
        if (stored.isEmpty()) {
            QVERIFY2(why.contains("not a valid date"), qPrintable(why));
            QCOMPARE(Count("select count(*) from Calls"), 0);
        } else {
            QCOMPARE(why, QStringLiteral("<no failure>"));
            const QString four = QStringList{stored, stored, stored, stored}.join('|');
            QCOMPARE(Rows("select [Opened Date] || '|' || [Due Date] || '|' || [Resolved Date] || "
                          "'|' || [Call Time] from Calls"),
                     QStringList{four});
        }
    }

    void dateTextRoundTrip_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QDateTime>("value");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("stored");
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        const QLocale gb(QLocale::English, QLocale::UnitedKingdom);
        const QLocale de(QLocale::German, QLocale::Germany);
        const QLocale c = QLocale::c();
        const QDateTime march(QDate(2021, 3, 4), QTime(0, 0), Qt::UTC);
        const QDateTime early(QDate(1949, 12, 31), QTime(0, 0), Qt::UTC);
        const QDateTime late(QDate(2071, 7, 9), QTime(0, 0), Qt::UTC);
        const QDateTime afternoon(QDate(2021, 3, 4), QTime(14, 30, 15), Qt::UTC);
        const QDateTime morning(QDate(2021, 12, 24), QTime(9, 5, 0), Qt::UTC);
        QTest::newRow("en_US date") << us << march << "3/4/2021"
                                    << "2021-03-04";
        QTest::newRow("en_US 1949") << us << early << "12/31/1949"
                                    << "1949-12-31";
        QTest::newRow("en_US 2071") << us << late << "7/9/2071"
                                    << "2071-07-09";
        QTest::newRow("en_US afternoon") << us << afternoon << "3/4/2021 2:30:15 PM"
                                         << "2021-03-04 14:30:15";
        QTest::newRow("en_US morning") << us << morning << "12/24/2021 9:05:00 AM"
                                       << "2021-12-24 09:05:00";
        QTest::newRow("en_GB date") << gb << march << "04/03/2021"
                                    << "2021-03-04";
        QTest::newRow("en_GB afternoon") << gb << afternoon << "04/03/2021 14:30:15"
                                         << "2021-03-04 14:30:15";
        QTest::newRow("de_DE date") << de << march << "04.03.2021"
                                    << "2021-03-04";
        QTest::newRow("de_DE 1949") << de << early << "31.12.1949"
                                    << "1949-12-31";
        QTest::newRow("de_DE 2071") << de << late << "09.07.2071"
                                    << "2071-07-09";
        QTest::newRow("de_DE morning") << de << morning << "24.12.2021 09:05:00"
                                       << "2021-12-24 09:05:00";
        QTest::newRow("C date") << c << march << "4 Mar 2021"
                                << "2021-03-04";
        QTest::newRow("C afternoon") << c << afternoon << "4 Mar 2021 14:30:15"
                                     << "2021-03-04 14:30:15";
    }

    void dateTextRoundTrip() {
        QFETCH(QLocale, locale);
        QFETCH(QDateTime, value);
        QFETCH(QString, expected);
        QFETCH(QString, stored);
        QLocale::setDefault(locale);
        TestEnvironment env;
        env.openSharedConnection();

        const QString text = DateText::format(value);
        QCOMPARE(text, expected);
        // Whatever the locale's own pattern, the year is written with four digits.
        QVERIFY(text.contains(QString::number(value.date().year())));
        const std::optional<QDateTime> parsed = DateText::parse(text);
        QVERIFY(parsed.has_value());
        QCOMPARE(*parsed, value);

        Exec("insert into Calls (Title,[Opened Date],[Due Date],[Call Time]) values ('Dates','" +
             text + "','" + text + "','" + text + "')");
        // One stored form, whatever the locale.
        QCOMPARE(Rows("select [Opened Date] || '', [Due Date] || '' from Calls"),
                 QStringList({stored + "|" + stored}));
        const Value read = firstValue("select * from Calls", "Opened Date");
        QCOMPARE(read.type(), Value::Type::Date);
        QCOMPARE(read.toDate(), value);
        QCOMPARE(read.joined(), expected);
        // Saved queries carry dates as dates too.
        const Value viaQuery = firstValue("select * from [Open Calls]", "Due Date");
        QCOMPARE(viaQuery.type(), Value::Type::Date);
        QCOMPARE(viaQuery.joined(), expected);

        // What was read goes back unchanged.
        Exec("update Calls set [Due Date]='" + read.joined() + "' where ID=1");
        QCOMPARE(Rows("select [Due Date] || '' from Calls"), QStringList({stored}));
    }

    void dateTextAcceptsTheShortTimeAndTheStoredForm() {
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Calls (Title,[Opened Date],[Due Date],[Call Time]) values "
             "('Times','3/4/2021 2:30 PM','2021-03-05','2021-03-06 07:08:09')");
        QCOMPARE(Rows("select [Opened Date] || '', [Due Date] || '', [Call Time] || '' from "
                      "Calls"),
                 QStringList({"2021-03-04 14:30:00|2021-03-05|2021-03-06 07:08:09"}));
        QCOMPARE(firstValue("select * from Calls", "Call Time").joined(),
                 QStringLiteral("3/6/2021 7:08:09 AM"));
    }

    void nullReadsBothWays() {
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Calls (Title,[Assigned To],[Resolved By],[Resolved Date]) values "
             "('No resolver',NULL,NULL,NULL)");
        Recordset records;
        records.open("select * from Calls", SharedConnection(), Recordset::kStatic,
                     Recordset::kReadOnly);
        QVERIFY(!records.eof());
        for (const char* name : {"Comments", "Resolved By", "Resolved Date", "Assigned To"}) {
            const Value value = records.field(QString::fromLatin1(name));
            QVERIFY2(value.isNull(), name);
            QCOMPARE(value.joined(), QString());
            QCOMPARE(failureOf([&] { value.toText(); }), QStringLiteral("Invalid use of Null"));
            QCOMPARE(failureOf([&] { value.toInteger(); }), QStringLiteral("Invalid use of Null"));
            QCOMPARE(failureOf([&] { value.toDate(); }), QStringLiteral("Invalid use of Null"));
        }
        QCOMPARE(records.field("Title").toText(), QStringLiteral("No resolver"));
        records.moveNext();
        QVERIFY(records.eof());
        QVERIFY(failureOf([&] { records.field("Title"); }).contains("EOF"));
        records.close();
        QVERIFY(failureOf([&] { records.eof(); }).contains("closed"));
    }

    void fieldNamesIgnoreLetterCase() {
        TestEnvironment env;
        env.openSharedConnection();
        addPerson("Employees", "John", "Wilson");
        addPerson("Customers", "Hanna", "Simmons");
        Exec(insertCall("Case", "1", "1", "1", "NULL", "1"));
        Recordset records;
        records.open("select * from [Calls Extended]", SharedConnection());
        QCOMPARE(records.field("comments").toText(), QStringLiteral("Some comments"));
        QCOMPARE(records.field("COMMENTS").toText(), QStringLiteral("Some comments"));
        QCOMPARE(records.field("assigned to name").toText(), QStringLiteral("John Wilson"));
        QCOMPARE(records.field("Assigned To Name").toText(), QStringLiteral("John Wilson"));
        QCOMPARE(records.field("RESOLVED BY NAME").toText(), QStringLiteral("John Wilson"));
        QCOMPARE(records.field("customer name").toText(), QStringLiteral("Hanna Simmons"));
        QCOMPARE(records.field("id").toInteger(), 1);
        QVERIFY(failureOf([&] {
                    records.field("No Such Field");
                }).contains(QStringLiteral("cannot be found")));
    }

    void aFileThatIsNoDatabaseFailsClearly_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << QByteArray() << false << "Could not find file";
        QTest::newRow("garbage bytes")
            << QByteArray(8192, '\x5a').replace(100, 4, "\x01\x02\x03\x04") << true
            << "cannot be read";
        QTest::newRow("text file")
            << QByteArray("Dear customer,\nthis is a letter.\n") << true << "cannot be read";
        QTest::newRow("empty file") << QByteArray() << true << "not a database of this program";
    }

    void aFileThatIsNoDatabaseFailsClearly() {
        QFETCH(QByteArray, content);
        QFETCH(bool, exists);
        QFETCH(QString, expected);
        TestEnvironment env;
        const QString path = env.programFolder() + "/dbData.mdb";
        if (exists) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        Connection connection;
        const QString why = failureOf([&] { connection.open(connectionStringFor(path)); });
        QVERIFY2(why.contains(expected), qPrintable(why));
        QVERIFY2(why.contains(path), qPrintable(why));
        QVERIFY2(isOneSentence(why), qPrintable(why));
        QCOMPARE(connection.state(), 0);
        // The file is left as it was.
        QCOMPARE(QFile::exists(path), exists);
        if (exists) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), content);
        }
        // Every later statement names the same cause, also when it may try again.
        QCOMPARE(failureOf([&] { connection.execute("delete from Calls"); }), why);
        connection.allowRetry();
        QCOMPARE(failureOf([&] { connection.execute("delete from Calls"); }), why);
    }

    void aDatabaseOfAnotherProgramIsRefused() {
        TestEnvironment env;
        const QString path = env.programFolder() + "/other.db";
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "create table Notes (Text TEXT); insert into Notes values ('x')",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        Connection connection;
        const QString why = failureOf([&] { connection.open(connectionStringFor(path)); });
        QVERIFY2(why.contains("not a database of this program"), qPrintable(why));
        QCOMPARE(connection.state(), 0);
    }

    void theConnectionOpensTheFileItNames() {
        TestEnvironment env;
        env.installDatabase();
        Connection connection;
        QCOMPARE(connection.state(), 0);
        // The program's own connection string, with backslashes in its path.
        QString windowsStyle = env.databasePath();
        windowsStyle.replace('/', '\\');
        connection.open(connectionStringFor(windowsStyle));
        QCOMPARE(connection.state(), 1);
        QCOMPARE(connection.path(), env.databasePath());
        connection.execute("insert into [Status] values ('Open')");
        QCOMPARE(connection.rowsAffected(), 1);
        connection.execute("delete from [Status] where Status='None'");
        QCOMPARE(connection.rowsAffected(), 0);
        connection.close();
        QCOMPARE(connection.state(), 0);
        QVERIFY(failureOf([&] { connection.execute("delete from Status"); }).contains("closed"));
    }

    void theDataSourceIsTheWholePathEvenWithSemicolons_data() {
        QTest::addColumn<QString>("connectionString");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "provider=microsoft.jet.oledb.4.0;data source=/home/a/"
                                  "dbData.mdb;JET OLEDB:Database Password="
                               << "/home/a/dbData.mdb";
        QTest::newRow("backslashes") << "provider=microsoft.jet.oledb.4.0;data source=/home/a\\"
                                        "Merrowfen\\Quorvane\\dbData.mdb;JET OLEDB:Database "
                                        "Password="
                                     << "/home/a/Merrowfen/Quorvane/dbData.mdb";
        QTest::newRow("semicolons in the path")
            << "provider=microsoft.jet.oledb.4.0;data source=/home/a;b/c;d\\dbData.mdb;JET "
               "OLEDB:Database Password="
            << "/home/a;b/c;d/dbData.mdb";
        QTest::newRow("equals sign in the path")
            << "provider=microsoft.jet.oledb.4.0;Data Source=/home/x=y/dbData.mdb;JET "
               "OLEDB:Database Password="
            << "/home/x=y/dbData.mdb";
        QTest::newRow("no data source") << "provider=microsoft.jet.oledb.4.0"
                                        << "";
    }

    void theDataSourceIsTheWholePathEvenWithSemicolons() {
        QFETCH(QString, connectionString);
        QFETCH(QString, path);
        QCOMPARE(Connection::dataSource(connectionString), path);
    }

    void aDatabaseInAFolderWithASemicolonOpens() {
        TestEnvironment env;
        const QString folder = env.programFolder() + "/a;b";
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(env.programFolder() + "/dbBlank.mdb", folder + "/dbData.mdb"));
        QVERIFY(QFile::setPermissions(folder + "/dbData.mdb",
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        Connection connection;
        QCOMPARE(failureOf([&] { connection.open(connectionStringFor(folder + "/dbData.mdb")); }),
                 QStringLiteral("<no failure>"));
        QCOMPARE(connection.state(), 1);
        QCOMPARE(connection.path(), folder + "/dbData.mdb");
    }

    void aDatabaseLockedByAnotherProgramFailsClearly() {
        SKIP_ON_SERVER("the server locks rows, not the database");
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into [Status] values ('Open')");
        // Another program holds the write lock for as long as this test runs.
        Connection other;
        other.open(connectionStringFor(env.databasePath()));
        other.beginTransaction();
        other.execute("insert into [Status] values ('Held')");

        const QString why = failureOf([] { Exec("insert into [Status] values ('Closed')"); });
        QVERIFY2(why.contains("in use by another program") && isOneSentence(why), qPrintable(why));
        other.rollback();
        QCOMPARE(Rows("select Status from Status"), QStringList({"Open"}));
        // Once the other program lets go, writing works again.
        Exec("insert into [Status] values ('Closed')");
        QCOMPARE(Count("select count(*) from Status"), 2);
    }

    void theSharedConnectionExistsOnlyBetweenCreateAndRelease() {
        TestEnvironment env;
        ReleaseSharedConnection();
        QVERIFY(!HasSharedConnection());
        QCOMPARE(failureOf([] { SharedConnection(); }),
                 QStringLiteral("Object variable or With block variable not set"));
        env.openSharedConnection();
        QVERIFY(HasSharedConnection());
        QCOMPARE(SharedConnection().state(), 1);
        ReleaseSharedConnection();
        QVERIFY(!HasSharedConnection());
    }
};

QTEST_GUILESS_MAIN(TestDatabaseDatesAndFiles)
#include "test_database_dates_and_files.moc"
