// "Load Sample/Example Data": the people and value lists topped up to two rows, the three
// example calls naming the first and last stored rows, and a refused row.
#include "app/main_window.h"
#include "data/date_text.h"
#include "data/shared_connection.h"
#include "test_support.h"

#include <QPushButton>
#include <QTest>
#include <QTreeView>

namespace {

const char* const kTables[] = {"Employees", "Customers", "Status", "Categories", "Priorities"};

// Fills the fresh database with `statements`, then starts the program on it and presses the
// button `presses` times.
std::unique_ptr<Form1> pressOnDatabase(const TestEnvironment& env, const QStringList& statements,
                                       int presses) {
    env.openSharedConnection();
    for (const QString& sql : statements)
        Exec(sql);
    ReleaseSharedConnection();
    auto window = StartProgram();
    for (int i = 0; i < presses; ++i)
        QTest::mouseClick(window->PushButton4, Qt::LeftButton);
    return window;
}

// Each call in ID order: title, assigned to, opened by, status, category, priority, resolver,
// caller.
QStringList storedCalls() {
    return Rows("select Title,[Assigned To Name],[Opened By Name],Status,Category,Priority,"
                "[Resolved By Name],[Customer Name] from [Calls Extended] order by ID");
}

} // namespace

class TestSampleData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void loadingSampleData_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<int>("presses");
        QTest::addColumn<QString>("rowsPerTable");
        QTest::addColumn<QStringList>("calls");
        const QString last = "Daniel Carter|Daniel Carter|Cancelled|Main Category|Low|Daniel "
                             "Carter|Neil Burgess";
        const QString first = "John Wilson|John Wilson|In process|New Category|High|John "
                              "Wilson|Hanna Simmons";
        const QString mixed = "Daniel Carter|John Wilson|In process|Main Category|High|Daniel "
                              "Carter|Neil Burgess";
        const QStringList samples{"Offer a discount to next purchase|" + last,
                                  "Phone call to customer|" + first,
                                  "Find out why delivery is delayed|" + mixed};
        QTest::newRow("empty database") << QStringList() << 1 << "2 2 2 2 2" << samples;
        QTest::newRow("second use adds only calls")
            << QStringList() << 2 << "2 2 2 2 2" << samples + samples;
        QTest::newRow("one row each: only the first sample row")
            << QStringList{"insert into Employees ([First Name],[Last Name]) values "
                           "('Ada','Byron')",
                           "insert into Customers ([First Name],[Last Name]) values "
                           "('Grace','Hop')",
                           "insert into [Status] values ('Waiting')",
                           "insert into [Categories] values ('Billing')",
                           "insert into [Priorities] values ('Urgent')"}
            << 1 << "2 2 2 2 2"
            << QStringList{"Offer a discount to next purchase|" + first,
                           "Phone call to customer|Ada Byron|Ada Byron|Waiting|Billing|Urgent|"
                           "Ada Byron|Grace Hop",
                           "Find out why delivery is delayed|John Wilson|Ada Byron|Waiting|New "
                           "Category|Urgent|John Wilson|Hanna Simmons"};
        // Stored out of alphabetical order, so that reading the unique index of a one-column
        // table would give other first and last values; the statistics make that index look
        // the cheaper way to read the table.
        const QStringList outOfOrder{
            "insert into [Status] values ('Zeta')",      "insert into [Status] values ('Alpha')",
            "insert into [Status] values ('Mu')",        "insert into [Categories] values ('Z')",
            "insert into [Categories] values ('A')",     "insert into [Priorities] values ('P2')",
            "insert into [Priorities] values ('P1')",    "insert into [Priorities] values ('P3')",
            "insert into [Priorities] values ('Won''t')"};
        const QStringList ends{
            "Offer a discount to next purchase|" +
                QString(last).replace("Cancelled|Main Category|Low", "Mu|A|Won't"),
            "Phone call to customer|" +
                QString(first).replace("In process|New Category|High", "Zeta|Z|P2"),
            "Find out why delivery is delayed|" +
                QString(mixed).replace("In process|Main Category|High", "Zeta|A|P2")};
        QTest::newRow("two or more rows out of order are left alone")
            << outOfOrder << 1 << "2 2 3 2 4" << ends;
        QStringList withStatistics = outOfOrder;
        withStatistics << "ANALYZE"
                       << "delete from sqlite_stat1";
        for (const char* table : {"Status", "Categories", "Priorities"})
            withStatistics << QString("insert into sqlite_stat1 values ('%1',null,'4 sz=200'),"
                                      "('%1','sqlite_autoindex_%1_1','4 1 sz=2')")
                                  .arg(table);
        QTest::newRow("out of order, index looks cheaper")
            << withStatistics << 1 << "2 2 3 2 4" << ends;
    }

    void loadingSampleData() {
        QFETCH(QStringList, before);
        QFETCH(int, presses);
        QFETCH(QString, rowsPerTable);
        QFETCH(QStringList, calls);
        if (before.contains("ANALYZE"))
            SKIP_ON_SERVER("about the local engine's statistics");
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = pressOnDatabase(env, before, presses);

        QCOMPARE(prompts.texts(), QStringList());
        QStringList counts;
        for (const char* table : kTables)
            counts << QString::number(Count(QString("select count(*) from [%1]").arg(table)));
        QCOMPARE(counts.join(' '), rowsPerTable);
        QCOMPARE(storedCalls(), calls);
        // Dates are today's, the resolver is stored as a number, and no call is resolved.
        const QString today = DateText::toStored(DateText::today());
        QCOMPARE(Count("select count(*) from Calls where [Opened Date]='" + today +
                       "' and [Due Date]='" + today + "' and [Call Time]='" + today +
                       "' and typeof([Resolved By])='integer' and [Resolved Date] is null"),
                 calls.size());
        QCOMPARE(window->ListView1->model()->rowCount(), calls.size());
    }

    void aRefusedRowIsReportedAndTheRestGoesOn() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = pressOnDatabase(env, {"insert into [Status] values ('In process')"}, 1);

        QCOMPARE(int(prompts.boxes.size()), 1);
        QVERIFY(prompts.boxes.at(0).text.contains(
            "\r\nin Quorvane2021/08/31.Form1.PushButton4_Click at line 198\r\r"));
        // The refused row still counted: no second status, and the calls use the one there is.
        QCOMPARE(Rows("select * from Status"), QStringList{"In process"});
        QCOMPARE(Rows("select distinct Status from Calls"), QStringList{"In process"});
        QCOMPARE(Count("select count(*) from Employees"), 2);
        QCOMPARE(window->ListView1->model()->rowCount(), 3);
    }
};

QTEST_MAIN(TestSampleData)
#include "test_sample_data.moc"
