// The engine functions as a loadable extension: a plain SQLite connection, as the sqlite3 tool
// has, reads and writes the database file once it has loaded them.
#include "data/date_text.h"

#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

namespace {

// Runs `sql`; the engine's message when it fails, else the rows as "a|b" lines.
QString run(sqlite3* db, const QString& sql) {
    QStringList rows;
    auto collect = [](void* out, int columns, char** values, char**) {
        QStringList cells;
        for (int i = 0; i < columns; ++i)
            cells << QString::fromUtf8(values[i] ? values[i] : "<null>");
        static_cast<QStringList*>(out)->append(cells.join('|'));
        return 0;
    };
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), collect, &rows, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error);
        sqlite3_free(error);
        return "error: " + message;
    }
    return rows.join('\n');
}

} // namespace

class TestSqliteExtension : public QObject {
    Q_OBJECT
private slots:
    void aPlainConnectionWithTheExtension() {
        QTemporaryDir dir;
        const QString path = dir.filePath("dbData.mdb");
        QVERIFY(QFile::copy(QUORVANE_BLANK_DB_PATH, path));
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
        const QString insert = "insert into Calls (Title,[Opened Date],[Due Date],[Call Time]) "
                               "values ('Printer jams','%1','%1','%1')";
        const QString date = DateText::format(QDate(2021, 8, 31));
        // The triggers of the calls (dates, history) need the engine's functions.
        QVERIFY(run(db, insert.arg(date)).startsWith("error: no such function: "));

        sqlite3_enable_load_extension(db, 1);
        char* error = nullptr;
        QCOMPARE(sqlite3_load_extension(db, QUORVANE_SQLITE_EXTENSION, nullptr, &error), SQLITE_OK);
        QCOMPARE(run(db, insert.arg(date)), QString());
        QVERIFY(run(db, insert.arg("31st of Augst")).startsWith("error: Data type mismatch"));
        QCOMPARE(run(db, "select [Opened Date],[Due Date],[Call Time] from Calls"),
                 "2021-08-31|2021-08-31|2021-08-31");
        // First and Last go by the order the rows were stored, not by the unique index.
        run(db, "insert into Status values ('Zeta'); insert into Status values ('Alpha');"
                "insert into Status values ('Mu'); analyze; delete from sqlite_stat1;"
                "insert into sqlite_stat1 values ('Status',null,'3 sz=200'),"
                "('Status','sqlite_autoindex_Status_1','3 1 sz=2'); analyze sqlite_schema");
        QCOMPARE(run(db, "SELECT First(Status.Status), Last(Status.Status) FROM Status"),
                 "Zeta|Mu");
        sqlite3_close(db);
    }
};

QTEST_GUILESS_MAIN(TestSqliteExtension)
#include "test_sqlite_extension.moc"
