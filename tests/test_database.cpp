// The database layer and the template database: every statement shape the windows send,
// transactions, and the tables and saved queries that the windows read.
#include "data/connection.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/schema_upgrades.h"
#include "data/server_link.h"
#include "data/server_upgrades.h"
#include "data/shared_connection.h"
#include "data/value.h"
#include "database_fixture.h"
#include "test_support.h"

#include <QLocale>
#include <QTest>

class TestDatabase : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void schemaHoldsSixTablesAndFiveSavedQueries() {
        // The history of the calls, the deleted rows kept for undo and the files kept with the
        // calls come on top.
        const QString kKeptTables = "('CallHistory', 'Deletions', 'DeletedCalls', "
                                    "'DeletedPeople', 'DeletedValues', 'Attachments', "
                                    "'AttachmentContents', 'AttachmentPieces')";
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
            QCOMPARE(Scalar("select version from quorvane_schema").toInt(), ServerSchemaVersion());
            return;
        }
        QCOMPARE(Rows("select name from sqlite_master where type='table' and name not like "
                      "'sqlite%' and name not in " +
                      kKeptTables + " order by name"),
                 QStringList({"Calls", "CallsText", "CallsText_config", "CallsText_data",
                              "CallsText_docsize", "CallsText_idx", "Categories", "Customers",
                              "Employees", "Priorities", "Status"}));
        QCOMPARE(Rows("select name from sqlite_master where type='view' order by name"),
                 QStringList({"Calls Extended", "CallsFoldedComments", "Closed Calls",
                              "Customers Extended", "Employees Extended", "Open Calls"}));
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
};

QTEST_GUILESS_MAIN(TestDatabase)
#include "test_database.moc"
