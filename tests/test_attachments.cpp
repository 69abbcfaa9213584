// Files kept with the calls: stored once per content in pieces, read back byte for byte, within
// the size limit, all or nothing, in the history, and kept with a deleted call.
#include "data/connection.h"
#include "data/failure.h"
#include "data/shared_connection.h"
#include "records/attachment_store.h"
#include "records/call_history.h"
#include "records/deletions.h"
#include "test_support.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {

template <class Fn> QString failureOf(Fn fn) {
    try {
        fn();
    } catch (const Failure& failure) {
        return failure.description();
    }
    return QStringLiteral("<no failure>");
}

// `size` bytes that differ from piece to piece, so that a piece out of place shows.
QByteArray bytesOf(qint64 size, int seed = 0) {
    QByteArray bytes(int(size), Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[int(i)] = char((i * 31 + i / 4096 + seed) & 0xff);
    return bytes;
}

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

qint64 storeBytes(qint64 call, const QByteArray& bytes, const QString& name,
                  qint64 limit = Attachments::kDefaultLimit) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    Connection& connection = SharedConnection();
    connection.beginTransaction();
    try {
        const qint64 id = Attachments::Store(connection, call, buffer, name, limit);
        connection.commit();
        return id;
    } catch (...) {
        connection.rollback();
        throw;
    }
}

QByteArray contentOf(qint64 id) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    Attachments::Write(SharedConnection(), id, buffer);
    return buffer.data();
}

int stored(const QString& table) {
    return Count("select count(*) from " + table);
}

} // namespace

class TestAttachments : public QObject {
    Q_OBJECT

private slots:
    void aFileComesBackByteForByte_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::newRow("empty") << "empty.txt" << qint64(0);
        QTest::newRow("one byte") << "one.bin" << qint64(1);
        QTest::newRow("one piece") << "piece.bin" << qint64(Attachments::kPieceSize);
        QTest::newRow("one piece and a byte") << "more.bin" << qint64(Attachments::kPieceSize + 1);
        QTest::newRow("special characters") << "%_'\"\\[*.txt" << qint64(300);
        QTest::newRow("markup") << "\"><svg onload=alert(1)>.jpg" << qint64(5);
        QTest::newRow("a path") << "../../.bashrc" << qint64(7);
        QTest::newRow("direction controls") << QString::fromUtf8("abc\u202Egpj.exe") << qint64(9);
        QTest::newRow("no name") << "" << qint64(2);
    }
    void aFileComesBackByteForByte() {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Calls (Title) values ('Printer jam')");
        const QByteArray bytes = bytesOf(size);
        const qint64 id = storeBytes(1, bytes, name);
        QCOMPARE(contentOf(id), bytes);
        const QString shownName = name.isEmpty() ? QStringLiteral("attachment") : name;
        QCOMPARE(Rows(QStringLiteral("select Name, Size from Attachments where ID = %1").arg(id)),
                 QStringList{shownName + "|" + QString::number(size)});
        QCOMPARE(Scalar("select Hash from AttachmentContents").toString(),
                 QString::fromLatin1(
                     QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
        QCOMPARE(stored("AttachmentPieces"),
                 int((size + Attachments::kPieceSize - 1) / Attachments::kPieceSize));
        // Saved into a file, the same bytes; a file there before is replaced whole.
        const QString saved = writeFile(env.dataHome() + "/saved", "older and longer text");
        Attachments::SaveAs(SharedConnection(), id, saved);
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }

    // One content is stored once, however many attachments hold it, and goes with the last.
    void aContentIsStoredOnce() {
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Calls (Title) values ('One')");
        Exec("insert into Calls (Title) values ('Two')");
        const QByteArray bytes = bytesOf(Attachments::kPieceSize + 10);
        const qint64 first = storeBytes(1, bytes, "photo.jpg");
        const qint64 second = storeBytes(2, bytes, "copy.jpg");
        storeBytes(2, bytes, "photo.jpg");
        QCOMPARE(stored("Attachments"), 3);
        QCOMPARE(stored("AttachmentContents"), 1);
        QCOMPARE(stored("AttachmentPieces"), 2);
        QCOMPARE(Attachments::Find(SharedConnection(), 2, "photo.jpg"), second + 1);
        Exec(QStringLiteral("delete from Attachments where ID in (%1, %2)").arg(first).arg(second));
        QCOMPARE(stored("AttachmentContents"), 1);
        QCOMPARE(contentOf(second + 1), bytes);
        Exec("delete from Attachments");
        QCOMPARE(stored("AttachmentContents"), 0);
        QCOMPARE(stored("AttachmentPieces"), 0);
    }

    // The size limit is checked before anything is written, with a message naming the file.
    void theSizeLimitHolds_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("added");
        QTest::newRow("at the limit") << qint64(1000) << qint64(1000) << true;
        QTest::newRow("one past") << qint64(1001) << qint64(1000) << false;
        QTest::newRow("empty at none") << qint64(0) << qint64(0) << true;
        QTest::newRow("a piece past")
            << qint64(Attachments::kPieceSize + 1) << qint64(Attachments::kPieceSize) << false;
    }
    void theSizeLimitHolds() {
        QFETCH(qint64, size);
        QFETCH(qint64, limit);
        QFETCH(bool, added);
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Calls (Title) values ('Printer jam')");
        const QString path = writeFile(env.dataHome() + "/scan 'big'.pdf", bytesOf(size));
        // From a file, whose size is known first, and from a stream read to its end.
        const QString fromFile =
            failureOf([&] { Attachments::AddFiles(SharedConnection(), 1, {path}, limit); });
        const QString fromStream =
            failureOf([&] { storeBytes(1, bytesOf(size), "scan.pdf", limit); });
        for (const QString& failure : {fromFile, fromStream}) {
            QCOMPARE(failure == "<no failure>", added);
            if (!added)
                QVERIFY2(failure.contains("is larger than an attachment may be"),
                         qPrintable(failure));
        }
        QVERIFY(added || fromFile.contains("'scan 'big'.pdf'"));
        QCOMPARE(stored("Attachments"), added ? 2 : 0);
        QCOMPARE(stored("AttachmentContents"), added ? 1 : 0);
        QCOMPARE(stored("AttachmentPieces"),
                 added ? int((size + Attachments::kPieceSize - 1) / Attachments::kPieceSize) : 0);
    }

    // Several files go in together or not at all.
    void filesAreAddedAllOrNone_data() {
        QTest::addColumn<QString>("other");
        QTest::addColumn<int>("call");
        QTest::addColumn<QString>("message");
        QTest::newRow("all there") << "b.txt" << 1 << "<no failure>";
        QTest::newRow("a missing file") << "missing.txt" << 1 << "Could not find file";
        QTest::newRow("a folder") << "." << 1 << "is not a file";
        QTest::newRow("a device") << "/dev/zero" << 1 << "is not a file";
        QTest::newRow("a deleted call") << "b.txt" << 2 << "There is no call 2";
    }
    void filesAreAddedAllOrNone() {
        QFETCH(QString, other);
        QFETCH(int, call);
        QFETCH(QString, message);
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Calls (Title) values ('Printer jam')");
        const QString a = writeFile(env.dataHome() + "/a.txt", "first");
        writeFile(env.dataHome() + "/b.txt", "second");
        const QString b = other.startsWith('/') ? other : env.dataHome() + "/" + other;
        const QString failure = failureOf([&] {
            Attachments::AddFiles(SharedConnection(), call, {a, b}, 1000);
        });
        QVERIFY2(failure.startsWith(message) || failure.contains(message), qPrintable(failure));
        const bool added = message == "<no failure>";
        QCOMPARE(Rows("select Name from Attachments order by ID"),
                 added ? QStringList({"a.txt", "b.txt"}) : QStringList());
        QCOMPARE(stored("AttachmentContents"), added ? 2 : 0);
    }

    // Adding, removing and bringing back are changes of the call, each once.
    void theHistoryRecordsEachChange() {
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Calls (Title) values ('Printer jam')");
        const qint64 id = storeBytes(1, "12345", "it's.png");
        Attachments::Remove(SharedConnection(), id);
        QVERIFY(failureOf([&] {
                    Attachments::Remove(SharedConnection(), id);
                }).contains("no longer there"));
        QCOMPARE(Attachments::List(SharedConnection(), 1).size(), size_t(0));
        Attachments::BringBack(SharedConnection(), id);
        QVERIFY(failureOf([&] {
                    Attachments::BringBack(SharedConnection(), id);
                }).contains("cannot be brought back"));
        QCOMPARE(Attachments::List(SharedConnection(), 1).size(), size_t(1));
        QStringList changes;
        for (const CallChange& change : ReadCallHistory(SharedConnection(), 1)) {
            QVERIFY(!change.who.isEmpty() && !change.when.isEmpty());
            changes << change.field + ": " + change.before + " > " + change.after;
        }
        QCOMPARE(
            changes,
            QStringList({"Attachment:  > it's.png (5 bytes)", "Attachment: it's.png (5 bytes) > ",
                         "Attachment:  > it's.png (5 bytes)", "Call created:  > Printer jam"}));
    }

    // A deleted call keeps its attachments while its kept copy stays, and they come back with
    // it; they go for good with the copy, as do attachments removed as long ago.
    void aDeletedCallKeepsItsAttachments() {
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Calls (Title) values ('Printer jam')");
        Exec("insert into Calls (Title) values ('Other')");
        const QByteArray bytes = bytesOf(2 * Attachments::kPieceSize + 3);
        storeBytes(1, bytes, "photo.jpg");
        const qint64 removed = storeBytes(2, "old", "old.txt");
        Attachments::Remove(SharedConnection(), removed);
        Deletions::Run(SharedConnection(), [] { Exec("delete from Calls where ID = 1"); });
        QCOMPARE(Deletions::RestoreCalls(SharedConnection(), {1}), QList<qint64>{1});
        const auto back = Attachments::List(SharedConnection(), 1);
        QCOMPARE(back.size(), size_t(1));
        QCOMPARE(contentOf(back.front().id), bytes);

        Deletions::Run(SharedConnection(), [] { Exec("delete from Calls where ID = 1"); });
        QCOMPARE(stored("Attachments"), 2);
        Exec("update Deletions set [Deleted At] = '2001-01-01'");
        Exec("update Attachments set [Removed At] = '2001-01-01' where [Removed At] is not null");
        Deletions::Run(SharedConnection(), [] { Exec("delete from Calls where ID = 5"); });
        QCOMPARE(stored("Attachments"), 0);
        QCOMPARE(stored("AttachmentPieces"), 0);
    }
};

QTEST_MAIN(TestAttachments)
#include "test_attachments.moc"
