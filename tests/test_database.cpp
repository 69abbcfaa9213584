// The database layer and the template database: every statement shape the windows send, date
// text in several locales, Null handling, failures of the file and of statements, and the
// tables and saved queries that the windows read.
#include "data/connection.h"
#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/schema_upgrades.h"
#include "data/server_link.h"
#include "data/shared_connection.h"
#include "data/value.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTest>
#include <sqlite3.h>

namespace {

QString connectionStringFor(const QString& path) {
    return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + path +
           QStringLiteral(";JET OLEDB:Database Password=");
}

// The description of the failure that `fn` throws; fails the test when nothing is thrown.
// A description that reads as one sentence: one full stop at its end, none before a bracket
// or a colon.
bool isOneSentence(const QString& text) {
    return text.endsWith(QLatin1Char('.')) && !text.contains(".)") && !text.contains("..") &&
           !text.contains(".:") && !text.contains(".;");
}

template <class Fn> QString failureOf(Fn fn) {
    try {
        fn();
    } catch (const Failure& failure) {
        return failure.description();
    }
    return QStringLiteral("<no failure>");
}

// The value of `field` in the first row of `sql`.
Value firstValue(const QString& sql, const QString& field) {
    Recordset records;
    records.open(sql, SharedConnection(), Recordset::kStatic, Recordset::kReadOnly);
    if (records.eof())
        throw Failure(QStringLiteral("no row for: ") + sql);
    return records.field(field);
}

// A call as the call editor writes it; dates are date text, ids bare, absent values NULL.
QString insertCall(const QString& title, const QString& assignedTo, const QString& openedBy,
                   const QString& resolvedBy, const QString& resolvedDate, const QString& caller) {
    const QString today = DateText::format(DateText::today());
    return QStringLiteral("insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],"
                          "Status,Category,Priority,Comments,[Due Date],[Resolved By],"
                          "[Resolved Date],Caller,[Call Time]) values ('") +
           title + "'," + assignedTo + "," + openedBy + ",'" + today +
           "','In process','Main Category','High','Some comments','" + today + "'," + resolvedBy +
           "," + resolvedDate + "," + caller + ",'" + today + "')";
}

void addPerson(const QString& table, const QString& first, const QString& last) {
    Exec("insert into " + table +
         " ([First Name],[Last Name],[E-mail Address],Company,[Job Title]) values ('" + first +
         "','" + last + "','" + first.toLower() + "@example.com','ACME','Manager')");
}

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void schemaHoldsSixTablesAndFiveSavedQueries() {
        // The history of the calls and the deleted rows kept for undo come on top.
        const QString kKeptTables = "('CallHistory', 'Deletions', 'DeletedCalls', "
                                    "'DeletedPeople', 'DeletedValues')";
        TestEnvironment env;
        env.openSharedConnection();
        if (TestEnvironment::onServer()) {
            // The value lists are views over tables that keep their stored order.
            QCOMPARE(Rows("select table_name from information_schema.tables where table_schema = "
                          "current_schema() and table_name not like '%entries' and "
                          "table_name <> 'quorvane_schema' and table_name not in " +
                          kKeptTables.toLower() + " order by 1"),
                     QStringList({"calls", "calls extended", "categories", "closed calls",
                                  "customers", "customers extended", "employees",
                                  "employees extended", "open calls", "priorities", "status"}));
            QCOMPARE(Scalar("select version from quorvane_schema").toInt(), SchemaVersion());
            return;
        }
        QCOMPARE(Rows("select name from sqlite_master where type='table' and name not like "
                      "'sqlite%' and name not in " +
                      kKeptTables + " order by name"),
                 QStringList({"Calls", "CallsText", "CallsText_config", "CallsText_data",
                              "CallsText_docsize", "CallsText_idx", "Categories", "Customers",
                              "Employees", "Priorities", "Status"}));
        QCOMPARE(Rows("select name from sqlite_master where type='view' order by name"),
                 QStringList({"Calls Extended", "Closed Calls", "Customers Extended",
                              "Employees Extended", "Open Calls"}));
        QCOMPARE(Scalar("PRAGMA user_version").toInt(), SchemaVersion());
        QVERIFY(SchemaVersion() >= 2);
    }

    void savedQueriesYieldTheColumnsTheWindowsRead_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("columns");
        QTest::newRow("Calls Extended") << "Calls Extended" << QStringList{"ID",
                                                                           "Title",
                                                                           "Customer Name",
                                                                           "Assigned to Name",
                                                                           "Priority",
                                                                           "Status",
                                                                           "Category",
                                                                           "Due Date",
                                                                           "Opened Date",
                                                                           "Resolved by Name",
                                                                           "Resolved Date",
                                                                           "Opened by Name",
                                                                           "Comments",
                                                                           "Assigned To",
                                                                           "Opened By",
                                                                           "Resolved By",
                                                                           "Caller"};
        QTest::newRow("Open Calls") << "Open Calls"
                                    << QStringList{"ID",
                                                   "Title",
                                                   "Assigned To Name",
                                                   "Opened By Name",
                                                   "Customer Name",
                                                   "Status",
                                                   "Category",
                                                   "Priority",
                                                   "Comments",
                                                   "Due Date",
                                                   "Opened Date",
                                                   "Resolved by Name",
                                                   "Resolved Date",
                                                   "Assigned To",
                                                   "Opened By"};
        QTest::newRow("Closed Calls")
            << "Closed Calls"
            << QStringList{"ID",       "Title",    "Assigned To Name", "Opened By Name", "Status",
                           "Category", "Priority", "Due Date",         "Opened Date"};
        QTest::newRow("Customers Extended")
            << "Customers Extended" << QStringList{"ID", "Customer Name"};
        QTest::newRow("Employees Extended")
            << "Employees Extended" << QStringList{"ID", "Employee Name"};
    }

    void savedQueriesYieldTheColumnsTheWindowsRead() {
        QFETCH(QString, query);
        QFETCH(QStringList, columns);
        TestEnvironment env;
        env.openSharedConnection();
        Recordset records;
        records.open("select * from [" + query + "]", SharedConnection());
        QVERIFY(records.eof());
        for (const QString& column : columns)
            QVERIFY2(records.fieldIndex(column) >= 0, qPrintable(query + ": " + column));
    }

    void callsExtendedNamesThePeopleOfEveryCall() {
        TestEnvironment env;
        env.openSharedConnection();
        addPerson("Employees", "John", "Wilson");
        addPerson("Employees", "Daniel", "Carter");
        addPerson("Customers", "Hanna", "Simmons");
        Exec(insertCall("Resolved by Daniel", "1", "1", "2", "NULL", "1"));
        Exec(insertCall("Nobody resolved", "2", "1", "NULL", "NULL", "1"));

        QCOMPARE(Rows("select ID, Title, [Customer Name], [Assigned To Name], [Opened By Name], "
                      "[Resolved By Name] from [Calls Extended] order by ID"),
                 QStringList({"1|Resolved by Daniel|Hanna Simmons|John Wilson|John "
                              "Wilson|Daniel Carter",
                              "2|Nobody resolved|Hanna Simmons|Daniel Carter|John Wilson|"}));

        // Deleting the resolver keeps the call; its resolver's name becomes empty, not Null.
        Exec("delete from Employees where ID=2");
        Exec("delete from Calls where [Assigned To]=2 Or [Opened By] = 2");
        QCOMPARE(Count("select count(*) from [Calls Extended]"), 1);
        const Value resolver =
            firstValue("select * from [Calls Extended] where ID=1", "Resolved by Name");
        QVERIFY(!resolver.isNull());
        QCOMPARE(resolver.toText(), QString());
        // The server keeps no call naming a deleted employee: it clears the resolver.
        const Value resolverId =
            firstValue("select * from [Calls Extended] where ID=1", "Resolved By");
        if (TestEnvironment::onServer())
            QVERIFY(resolverId.isNull());
        else
            QCOMPARE(resolverId.toInteger(), 2);
    }

    void displayNamesMatchBetweenCallsAndContacts() {
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Customers ([First Name]) values ('Cher')");
        Exec("insert into Employees ([Last Name]) values ('Madonna')");
        Exec(insertCall("Names", "1", "1", "1", "NULL", "1"));
        const QString customer =
            firstValue("select * from [Customers Extended]", "Customer Name").toText();
        const QString employee =
            firstValue("select * from [Employees Extended]", "Employee Name").toText();
        QCOMPARE(firstValue("select * from [Calls Extended]", "Customer Name").toText(), customer);
        QCOMPARE(firstValue("select * from [Open Calls]", "Assigned To Name").toText(), employee);
        QCOMPARE(firstValue("select * from [Open Calls]", "Opened By Name").toText(), employee);
        QCOMPARE(firstValue("select * from [Open Calls]", "Resolved By Name").toText(), employee);
    }

    void extendedContactQueriesAreOrderedByDisplayName() {
        TestEnvironment env;
        env.openSharedConnection();
        addPerson("Employees", "Zoe", "Adams");
        addPerson("Employees", "Anna", "Young");
        addPerson("Employees", "Mark", "Brown");
        addPerson("Customers", "Neil", "Burgess");
        addPerson("Customers", "Hanna", "Simmons");
        QCOMPARE(Rows("select [Employee Name], ID from [Employees Extended]"),
                 QStringList({"Anna Young|2", "Mark Brown|3", "Zoe Adams|1"}));
        QCOMPARE(Rows("select [Customer Name], ID from [Customers Extended]"),
                 QStringList({"Hanna Simmons|2", "Neil Burgess|1"}));
    }

    void openAndClosedCallsSplitOnTheResolvedDate() {
        TestEnvironment env;
        env.openSharedConnection();
        addPerson("Employees", "John", "Wilson");
        addPerson("Customers", "Hanna", "Simmons");
        const QString resolved = "'" + DateText::format(QDate(2021, 5, 6)) + "'";
        Exec(insertCall("Open, resolver named", "1", "1", "1", "NULL", "1"));
        Exec(insertCall("Closed", "1", "1", "1", resolved, "1"));
        Exec(insertCall("Closed without resolver", "1", "1", "NULL", resolved, "1"));
        Exec(insertCall("Open", "1", "1", "NULL", "NULL", "1"));
        QCOMPARE(Rows("select ID from [Open Calls] order by ID"), QStringList({"1", "4"}));
        QCOMPARE(Rows("select ID from [Closed Calls]"), QStringList({"2", "3"}));
        QCOMPARE(Rows("select Title from [Closed Calls] order by Title"),
                 QStringList({"Closed", "Closed without resolver"}));
        QCOMPARE(Count("select count(*) from [Calls Extended]"), 4);
    }

    void savedQueriesAreUsedLikeTables() {
        TestEnvironment env;
        env.openSharedConnection();
        addPerson("Employees", "John", "Wilson");
        addPerson("Employees", "Daniel", "Carter");
        addPerson("Customers", "Hanna", "Simmons");
        Exec(insertCall("b title", "1", "2", "NULL", "NULL", "1"));
        Exec(insertCall("a title", "2", "1", "NULL", "NULL", "1"));
        Exec(insertCall("c title", "2", "2", "NULL", "NULL", "1"));
        QCOMPARE(Rows("select ID from [Open Calls] where [Assigned To]=2 order by ID"),
                 QStringList({"2", "3"}));
        QCOMPARE(Rows("select ID from [Open Calls] where [Opened By]=2 order by ID"),
                 QStringList({"1", "3"}));
        QCOMPARE(Rows("select Title from [Open Calls] where ID=2"), QStringList({"a title"}));
        QCOMPARE(Rows("select Title from [Open Calls] order by Title"),
                 QStringList({"a title", "b title", "c title"}));
        QCOMPARE(Rows("select Title from [Open Calls] order by [Assigned To Name], Title"),
                 QStringList({"a title", "c title", "b title"}));
        QCOMPARE(Rows("SELECT ID FROM [Open Calls] ORDER BY Category, Status, ID"),
                 QStringList({"1", "2", "3"}));
    }

    void bracketedNamesAndKeywordsInAnyCase() {
        TestEnvironment env;
        env.openSharedConnection();
        Exec("INSERT INTO [Customers] ([First Name],[Last Name],[E-mail Address],[Company],"
             "[Job Title]) VALUES ('Neil','Burgess','neil@example.com','WestEast','CEO')");
        Exec("update Customers set [First Name]='Neill', [Web Page]='example.com' where ID=1");
        QCOMPARE(Rows("Select [First Name], [Last Name], Company, [Web Page], Notes From "
                      "[Customers] Where [ID]=1"),
                 QStringList({"Neill|Burgess|WestEast|example.com|<null>"}));
        Exec("insert into [Status] values ('In process')");
        Exec("Insert Into [Categories] Values ('Main Category')");
        Exec("insert into [Priorities] values ('High')");
        QCOMPARE(Rows("select * from Status order by Status"), QStringList({"In process"}));
        QCOMPARE(Rows("select * from Categories order by Category"),
                 QStringList({"Main Category"}));
        QCOMPARE(Rows("select * from Priorities order by Priority"), QStringList({"High"}));
        Exec("delete from [Status] where Status='In process'");
        QCOMPARE(Count("select count(*) from Status"), 0);
    }

    void automaticNumbersIncreaseAndAreNotReused() {
        TestEnvironment env;
        env.openSharedConnection();
        addPerson("Employees", "A", "One");
        addPerson("Employees", "B", "Two");
        Exec("delete from Employees where ID=2");
        addPerson("Employees", "C", "Three");
        QCOMPARE(Rows("select ID, [First Name] from Employees order by ID"),
                 QStringList({"1|A", "3|C"}));
    }

    void quotedDigitsGoIntoNumberColumns() {
        TestEnvironment env;
        env.openSharedConnection();
        addPerson("Employees", "John", "Wilson");
        addPerson("Employees", "Daniel", "Carter");
        addPerson("Customers", "Hanna", "Simmons");
        // The resolver's id travels in quotes.
        Exec(insertCall("Quoted resolver", "1", "1", "'2'", "NULL", "'1'"));
        const Value resolver = firstValue("select [Resolved By] from Calls", "Resolved By");
        QCOMPARE(resolver.type(), Value::Type::Integer);
        QCOMPARE(resolver.toInteger(), 2);
        QCOMPARE(Count("select count(*) from Calls where [Resolved By]=2 and Caller=1"), 1);
        QCOMPARE(firstValue("select * from [Calls Extended]", "Resolved by Name").toText(),
                 QStringLiteral("Daniel Carter"));

        // Letters are no number: the statement fails and nothing is stored.
        QVERIFY(failureOf([] { Exec(insertCall("Letters", "1", "1", "'two'", "NULL", "1")); }) !=
                "<no failure>");
        QCOMPARE(Count("select count(*) from Calls"), 1);
    }

    void countFirstAndLastWithBracketedAliases_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QStringList>("inserts");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        // Lookup values are inserted out of alphabetical order: First and Last follow the
        // order of the rows in the table, not the order of the values.
        QTest::newRow("Status") << "Status"
                                << "Status"
                                << QStringList{"insert into [Status] values ('In process')",
                                               "insert into [Status] values ('Cancelled')",
                                               "insert into [Status] values ('Waiting')",
                                               "insert into [Status] values ('Archived')"}
                                << "In process"
                                << "Archived";
        QTest::newRow("Categories")
            << "Categories"
            << "Category"
            << QStringList{"insert into [Categories] values ('New Category')",
                           "insert into [Categories] values ('Main Category')",
                           "insert into [Categories] values ('Other')"}
            << "New Category"
            << "Other";
        QTest::newRow("Priorities") << "Priorities"
                                    << "Priority"
                                    << QStringList{"insert into [Priorities] values ('Low')",
                                                   "insert into [Priorities] values ('High')"}
                                    << "Low"
                                    << "High";
        QTest::newRow("Employees")
            << "Employees"
            << "ID"
            << QStringList{"insert into Employees ([First Name]) values ('Zed')",
                           "insert into Employees ([First Name]) values ('Al')",
                           "insert into Employees ([First Name]) values ('Mo')",
                           "delete from Employees where ID=1",
                           "update Employees set [First Name]='Al B' where ID=2"}
            << "2"
            << "3";
        QTest::newRow("Customers")
            << "Customers"
            << "ID"
            << QStringList{"insert into Customers ([First Name]) values ('Neil')",
                           "insert into Customers ([First Name]) values ('Hanna')"}
            << "1"
            << "2";
    }

    void countFirstAndLastWithBracketedAliases() {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QStringList, inserts);
        QFETCH(QString, first);
        QFETCH(QString, last);
        TestEnvironment env;
        env.openSharedConnection();
        const QString qualified = table + "." + column;
        const QString count = "SELECT Count(" + qualified + ") AS [CountID] From " + table;
        const QString firstQuery = "SELECT First(" + qualified + ") AS [MaxID] FROM " + table;
        const QString lastQuery = "SELECT Last(" + qualified + ") AS [MaxID] FROM " + table;

        // An empty table: one row, count 0, First and Last Null.
        QCOMPARE(firstValue(count, "CountID").toInteger(), 0);
        QVERIFY(firstValue(firstQuery, "MaxID").isNull());
        QVERIFY(firstValue(lastQuery, "MaxID").isNull());

        for (const QString& sql : inserts)
            Exec(sql);
        QCOMPARE(firstValue(count, "countid").toInteger(),
                 qint64(Count("select count(*) from " + table)));
        QCOMPARE(firstValue(firstQuery, "MaxID").toText(), first);
        QCOMPARE(firstValue(lastQuery, "maxid").toText(), last);
        if (column == QLatin1String("ID")) {
            QCOMPARE(firstValue(firstQuery, "MaxID").type(), Value::Type::Integer);
            QCOMPARE(firstValue(lastQuery, "MaxID").toInteger(), last.toLongLong());
        }
    }

    void duplicateLookupValuesAreRefused_data() {
        QTest::addColumn<QString>("table");
        QTest::newRow("Status") << "Status";
        QTest::newRow("Categories") << "Categories";
        QTest::newRow("Priorities") << "Priorities";
    }

    void duplicateLookupValuesAreRefused() {
        QFETCH(QString, table);
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into [" + table + "] values ('Urgent')");
        const QString why =
            failureOf([&] { Exec("insert into [" + table + "] values ('Urgent')"); });
        QVERIFY2(why.contains("The value is there already") && isOneSentence(why), qPrintable(why));
        // Letter case aside, too, in any script.
        for (const char* same : {"urgent", "URGENT"}) {
            QVERIFY(failureOf([&] {
                        Exec("insert into [" + table + "] values ('" + same + "')");
                    }).contains("The value is there already"));
        }
        Exec("insert into [" + table + "] values ('Ärger')");
        QVERIFY(failureOf([&] {
                    Exec("insert into [" + table + "] values ('ärger')");
                }).contains("The value is there already"));
        QCOMPARE(Count("select count(*) from " + table), 2);
        // Values differing in blanks are other values.
        Exec("insert into [" + table + "] values ('Urgent ')");
        QCOMPARE(Count("select count(*) from " + table), 3);
    }

    void aQuoteInTextIsStoredOnce() {
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Customers ([First Name],[Last Name],Company) values "
             "('Sean','O''Neill','O''Neill''s ''Pub''')");
        QCOMPARE(Rows("select [Last Name], Company from Customers"),
                 QStringList({"O'Neill|O'Neill's 'Pub'"}));
        QCOMPARE(Count("select count(*) from Customers where [Last Name]='O''Neill'"), 1);
        QCOMPARE(firstValue("select * from [Customers Extended]", "Customer Name").toText(),
                 QStringLiteral("Sean O'Neill"));
        // An undoubled quote breaks the statement, which then stores nothing.
        QVERIFY(failureOf([] {
                    Exec("insert into Customers ([First Name]) values ('O'Neill')");
                }) != "<no failure>");
        QCOMPARE(Count("select count(*) from Customers"), 1);
    }

    void onlyOneStatementRunsAtATime() {
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into [Status] values ('Kept')");
        const QString why = failureOf([] {
            Exec("insert into [Status] values ('New'); delete from [Status] where Status='Kept'");
        });
        QVERIFY2(why != "<no failure>", qPrintable(why));
        QCOMPARE(Rows("select Status from Status"), QStringList({"Kept"}));
    }

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
        QTest::newRow("US ISO") << "en_US"
                                << "2026-01-07"
                                << "2026-01-07";
        QTest::newRow("US ISO time") << "en_US"
                                     << "2026-01-07T14:30"
                                     << "2026-01-07 14:30:00";
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
        const QString why = failureOf([&] {
            Exec("insert into Calls (Title,[Due Date]) values ('Typed','" +
                 QString(typed).replace("'", "''") + "')");
        });
        if (stored.isEmpty()) {
            QVERIFY2(why.contains("not a valid date"), qPrintable(why));
            QCOMPARE(Count("select count(*) from Calls"), 0);
        } else {
            QCOMPARE(why, QStringLiteral("<no failure>"));
            QCOMPARE(Rows("select [Due Date] || '' from Calls"), QStringList{stored});
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

    void transactionsKeepStatementsTogether() {
        TestEnvironment env;
        env.openSharedConnection();
        Connection& connection = SharedConnection();
        Exec("insert into [Status] values ('Open')");
        Exec("insert into Calls (Title,Status) values ('An open call','Open')");

        // A refused second statement takes the first one back with it.
        if (TestEnvironment::onServer()) {
            SharedConnection().server()->run(
                "create function refuse() returns trigger language plpgsql as "
                "$$ begin raise exception 'refused'; end $$");
            SharedConnection().server()->run("create trigger RefuseCallDeletes before delete on "
                                             "calls execute function refuse()");
        } else {
            Exec("create temp trigger RefuseCallDeletes before delete on Calls begin "
                 "select raise(abort, 'refused'); end");
        }
        connection.beginTransaction();
        Exec("delete from [Status] where Status='Open'");
        QCOMPARE(failureOf([] { Exec("delete from Calls where Status='Open'"); }),
                 QStringLiteral("Refused."));
        connection.rollback();
        QCOMPARE(Rows("select Status from Status"), QStringList({"Open"}));
        QCOMPARE(Count("select count(*) from Calls"), 1);

        Exec(TestEnvironment::onServer() ? "drop trigger RefuseCallDeletes on Calls"
                                         : "drop trigger RefuseCallDeletes");
        connection.beginTransaction();
        Exec("delete from [Status] where Status='Open'");
        Exec("delete from Calls where Status='Open'");
        connection.commit();
        QCOMPARE(Count("select count(*) from Status"), 0);
        QCOMPARE(Count("select count(*) from Calls"), 0);

        // Rolling back without a transaction does nothing; committing one fails.
        connection.rollback();
        QVERIFY(failureOf([&] { connection.commit(); }) != "<no failure>");
        // A second open of an open connection fails and keeps it open.
        QVERIFY(failureOf([&] {
                    connection.open(connectionStringFor(env.databasePath()));
                }).contains("open"));
        QCOMPARE(connection.state(), 1);
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

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
