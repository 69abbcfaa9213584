// Files kept with the calls: stored once per content in pieces, read back byte for byte, within
// the size limit, all or nothing, in the history, and kept with a deleted call; the Attachments
// window, the paper clip in the list and files dropped on a call.
#include "app/main_window.h"
#include "data/connection.h"
#include "data/failure.h"
#include "data/gathered_writes.h"
#include "data/shared_connection.h"
#include "exchange/attachments_window.h"
#include "exchange/opened_attachments.h"
#include "list/call_list_model.h"
#include "records/attachment_names.h"
#include "records/attachment_store.h"
#include "records/call_history.h"
#include "records/deletions.h"
#include "test_support.h"

#include <QApplication>
#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <csignal>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

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
        QTest::newRow("three pieces and a part")
            << "scan.pdf" << qint64(3 * Attachments::kPieceSize + 5);
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

    // A stored content that does not give back its size and SHA-256 is refused when read, and
    // nothing is written where it was to be saved.
    void damagedContentIsRefused_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("untouched") << "";
        QTest::newRow("a piece of another content")
            << "update AttachmentPieces set Data = (select p.Data from AttachmentPieces p where "
               "p.Content = 2 and p.Piece = 1) where Content = 1 and Piece = 1";
        QTest::newRow("a piece missing") << "delete from AttachmentPieces where Content = 1 and "
                                            "Piece = 2";
        QTest::newRow("a size one past") << "update AttachmentContents set Size = Size + 1 "
                                            "where ID = 1";
        QTest::newRow("another hash")
            << "update AttachmentContents set Hash = (select c.Hash from AttachmentContents c "
               "where c.ID = 2) || 'x' where ID = 1";
    }
    void damagedContentIsRefused() {
        QFETCH(QString, damage);
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Calls (Title) values ('Printer jam')");
        const QByteArray bytes = bytesOf(2 * Attachments::kPieceSize + 5);
        const qint64 id = storeBytes(1, bytes, "scan.pdf");
        storeBytes(1, bytesOf(2 * Attachments::kPieceSize + 5, 1), "other.pdf");
        if (!damage.isEmpty())
            Exec(damage);
        const QString saved = writeFile(env.dataHome() + "/saved.pdf", "before");
        const QString failure =
            failureOf([&] { Attachments::SaveAs(SharedConnection(), id, saved); });
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (damage.isEmpty()) {
            QCOMPARE(failure, QStringLiteral("<no failure>"));
            QCOMPARE(file.readAll(), bytes);
        } else {
            QVERIFY2(failure.contains("'scan.pdf' is damaged"), qPrintable(failure));
            QCOMPARE(file.readAll(), QByteArray("before"));
        }
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
        // A file's size is known before it is read: the message names it.
        QVERIFY2(added ||
                     fromFile.contains("'scan 'big'.pdf' (" + Attachments::ShownSize(size) + ")"),
                 qPrintable(fromFile));
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
        // The database file may grow by 3 MiB only: the disk fills in the middle of the
        // second file's pieces.
        QTest::newRow("a full disk") << "big.bin" << 1 << "File too large";
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
        writeFile(env.dataHome() + "/big.bin", bytesOf(5 * Attachments::kPieceSize));
        const QString b = other.startsWith('/') ? other : env.dataHome() + "/" + other;
        const bool fullDisk = other == "big.bin";
        if (fullDisk && TestEnvironment::onServer())
            QSKIP("The server's disk is not this process's.");
        const QString failure = failureOf([&] {
            std::optional<FileSizeLimit> room;
            if (fullDisk)
                room.emplace(
                    rlim_t(QFileInfo(env.databasePath()).size() + 3 * Attachments::kPieceSize));
            Attachments::AddFiles(SharedConnection(), call, {a, b}, 10 * Attachments::kPieceSize);
        });
        QVERIFY2(failure.startsWith(message) || failure.contains(message), qPrintable(failure));
        const bool added = message == "<no failure>";
        QCOMPARE(Rows("select Name from Attachments order by ID"),
                 added ? QStringList({"a.txt", "b.txt"}) : QStringList());
        QCOMPARE(stored("AttachmentContents"), added ? 2 : 0);
        QCOMPARE(stored("AttachmentPieces"), added ? 2 : 0);
        if (!TestEnvironment::onServer())
            QCOMPARE(Scalar("pragma integrity_check").toString(), QStringLiteral("ok"));
        // With room again, the same files go in whole.
        if (fullDisk) {
            Attachments::AddFiles(SharedConnection(), call, {a, b}, 10 * Attachments::kPieceSize);
            QCOMPARE(contentOf(Attachments::Find(SharedConnection(), 1, "big.bin")),
                     bytesOf(5 * Attachments::kPieceSize));
        }
    }

    // A gathered write that fails where the engine does not look at the answer (a hint of the
    // file's size) fails the next sync, so that a transaction that lost it is never committed.
    void aLostGatheredWriteFailsTheSync() {
        if (TestEnvironment::onServer())
            QSKIP("about the local file");
        TestEnvironment env;
        env.installDatabase();
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open_v2(env.databasePath().toUtf8().constData(), &db,
                                 SQLITE_OPEN_READWRITE, GatheredWrites::VfsName()),
                 SQLITE_OK);
        sqlite3_file* file = nullptr;
        QCOMPARE(sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file), SQLITE_OK);
        const sqlite3_int64 size = QFileInfo(env.databasePath()).size();
        const QByteArray page(4096, 'x');
        GatheredWrites::Scope gathering(db);
        QCOMPARE(file->pMethods->xWrite(file, page.constData(), page.size(), size), SQLITE_OK);
        {
            const FileSizeLimit full{rlim_t(size)};
            QVERIFY(full.set());
            sqlite3_int64 hint = size + page.size();
            file->pMethods->xFileControl(file, SQLITE_FCNTL_SIZE_HINT, &hint);
        }
        QVERIFY(file->pMethods->xSync(file, SQLITE_SYNC_NORMAL) != SQLITE_OK);
        gathering.finish();
        sqlite3_close(db);
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

    // An opened attachment's file name can neither go elsewhere nor hide what it is.
    void openedNamesAreCleaned_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cleaned");
        QTest::newRow("plain") << "photo.jpg"
                               << "photo.jpg";
        QTest::newRow("markup") << "\"><svg onload=alert(1)>.jpg"
                                << "\"><svg onload=alert(1)>.jpg";
        QTest::newRow("up and hidden") << "../../.bashrc"
                                       << "bashrc";
        QTest::newRow("an option") << "-rf .txt"
                                   << "rf .txt";
        QTest::newRow("backslashes") << "a\\b\\c.txt"
                                     << "abc.txt";
        QTest::newRow("direction controls")
            << QString::fromUtf8("abc\u202Egpj.exe") << "abcgpj.exe";
        QTest::newRow("controls") << "a\nb\tc\x1b.txt"
                                  << "abc.txt";
        QTest::newRow("nothing left") << " .. \n"
                                      << "attachment";
        QTest::newRow("special characters") << "%_'\"[*.txt"
                                            << "%_'\"[*.txt";
        QTest::newRow("at the length") << QString(116, 'a') + ".pdf" << QString(116, 'a') + ".pdf";
        QTest::newRow("one past") << QString(117, 'a') + ".pdf" << QString(116, 'a') + ".pdf";
        QTest::newRow("wide letters") << QString::fromUtf8("\U0001F600").repeated(40) + ".png"
                                      << QString::fromUtf8("\U0001F600").repeated(29) + ".png";
    }
    void openedNamesAreCleaned() {
        QFETCH(QString, name);
        QFETCH(QString, cleaned);
        QCOMPARE(AttachmentNames::Cleaned(name), cleaned);
        QVERIFY(AttachmentNames::Cleaned(name).toUtf8().size() <= AttachmentNames::kMaxBytes);
    }

    // A type that runs code or scripts when opened is named with its risk before it is.
    void riskyTypesAreNamed_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("risk");
        QTest::newRow("desktop entry") << "Invoice.desktop"
                                       << ""
                                       << "desktop entry";
        QTest::newRow("script in capitals") << "run.SH"
                                            << ""
                                            << "script";
        QTest::newRow("program") << "setup.exe"
                                 << ""
                                 << "program";
        QTest::newRow("web page") << "page.html"
                                  << ""
                                  << "web page";
        QTest::newRow("picture that runs scripts") << "logo.svg"
                                                   << ""
                                                   << "SVG";
        QTest::newRow("hidden behind a control")
            << QString::fromUtf8("photo\u202Egpj.desktop") << ""
            << "desktop entry";
        QTest::newRow("by its type alone") << "invoice"
                                           << "application/x-desktop"
                                           << "desktop entry";
        QTest::newRow("a photo") << "photo.jpg"
                                 << "image/jpeg"
                                 << "";
        QTest::newRow("a document") << "form.pdf"
                                    << "application/pdf"
                                    << "";
    }
    void riskyTypesAreNamed() {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(QString, risk);
        const QString told = AttachmentNames::Risk(name, type);
        QCOMPARE(told.isEmpty(), risk.isEmpty());
        QVERIFY2(told.contains(risk), qPrintable(told));
    }

    // The window as a person uses it: files added, opened, saved, removed and brought back; the
    // list marks the call with a paper clip and names the files in its tooltip.
    void theWindowAddsOpensRemovesAndBringsBack() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        Exec("insert into Calls (Title) values ('Printer jam')");
        Exec("insert into Calls (Title, Comments) values ('Other', '<b>It''s</b> on fire')");
        window->LoadCalls();
        const QString folder = env.dataHome() + "/files";
        QDir().mkpath(folder);
        const QByteArray pdf = bytesOf(Attachments::kPieceSize + 99);
        writeFile(folder + "/scan.pdf", pdf);
        writeFile(folder + "/evil.desktop", "[Desktop Entry]\nExec=rm -rf ~\n");
        // (A name with a double quote cannot be typed into the file dialog's list of names.)
        const QString markup = "'><svg onload=alert(1)>.jpg";
        writeFile(folder + "/" + markup, "jpeg");

        QList<QUrl> handed;
        OpenedAttachments::SetOpener([&](const QUrl& url) {
            handed << url;
            return true;
        });
        QStringList shown;
        prompts.onModal([&](QDialog& dialog) {
            auto& attachments = static_cast<AttachmentsWindow&>(dialog);
            QVERIFY(!attachments.openButton()->isEnabled());
            attachments.addButton()->click();
            QCOMPARE(attachments.list()->topLevelItemCount(), 3);
            for (int row = 0; row < 3; ++row) {
                // The name and its tooltip show as typed, also a name that looks like markup.
                const QTreeWidgetItem* item = attachments.list()->topLevelItem(row);
                QTextDocument tip;
                if (Qt::mightBeRichText(item->toolTip(0)))
                    tip.setHtml(item->toolTip(0));
                else
                    tip.setPlainText(item->toolTip(0));
                QCOMPARE(tip.toPlainText(), item->text(0));
                shown << item->text(0);
            }
            // Open: into the private folder, then handed over.
            attachments.list()->setCurrentItem(attachments.list()->topLevelItem(0));
            attachments.openButton()->click();
            // A desktop entry asks first, naming the risk; No opens nothing.
            prompts.answer(Prompts::No);
            attachments.list()->setCurrentItem(attachments.list()->topLevelItem(1));
            attachments.openButton()->click();
            // Remove asks, No the default; Ctrl+Z brings it back.
            prompts.answer(Prompts::Yes);
            attachments.removeButton()->click();
            QCOMPARE(attachments.list()->topLevelItemCount(), 2);
            QCOMPARE(Count("select count(*) from Attachments where [Removed At] is not null"), 1);
            attachments.show();
            QApplication::setActiveWindow(&attachments);
            QVERIFY(QTest::qWaitForWindowActive(&attachments));
            QTest::keyClick(&attachments, Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(attachments.list()->topLevelItemCount(), 3);
            QVERIFY(attachments.changed());
        });
        prompts.onModal([&](QDialog& dialog) {
            auto& files = static_cast<QFileDialog&>(dialog);
            files.setDirectory(folder);
            files.selectFile("\"scan.pdf\" \"evil.desktop\" \"" + markup + "\"");
            dialog.accept();
        });
        window->selectRow(1);
        QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);

        QCOMPARE(shown, QStringList({"scan.pdf", "evil.desktop", markup}));
        QCOMPARE(prompts.boxes.size(), size_t(2));
        QVERIFY(prompts.boxes[0].text.contains("is a desktop entry"));
        QCOMPARE(prompts.boxes[1].style,
                 Prompts::YesNo | Prompts::Question | Prompts::DefaultButton2);
        QCOMPARE(handed.size(), 1);
        const QString opened = handed.first().toLocalFile();
        QVERIFY(opened.startsWith(OpenedAttachments::Folder() + "/"));
        QCOMPARE(QFileInfo(opened).fileName(), "scan.pdf");
        QCOMPARE(QFile(opened).permissions() & 0x7777,
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                     QFileDevice::WriteUser);
        QCOMPARE(QFile(OpenedAttachments::Folder()).permissions() & 0x0077, 0);
        QFile file(opened);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), pdf);
        QCOMPARE(Rows("select CallID, Name from Attachments where [Removed At] is null order by "
                      "ID"),
                 QStringList({"2|scan.pdf", "2|evil.desktop", "2|" + markup}));

        // The paper clip marks the call with attachments, and only it; its tooltip names them
        // as typed, never as markup.
        CallListModel* list = window->callList();
        const int row = list->rowOfId(2);
        QVERIFY(!list->data(list->index(row, 1), Qt::DecorationRole).isNull());
        QVERIFY(list->data(list->index(list->rowOfId(1), 1), Qt::DecorationRole).isNull());
        QCOMPARE(list->data(list->index(list->rowOfId(1), 1), Qt::ToolTipRole).toString(),
                 QString());
        const QString tip = list->data(list->index(row, 1), Qt::ToolTipRole).toString();
        // As a tooltip shows it: taken for markup only when it looks like markup.
        QTextDocument shownTip;
        if (Qt::mightBeRichText(tip))
            shownTip.setHtml(tip);
        else
            shownTip.setPlainText(tip);
        QCOMPARE(shownTip.toPlainText(),
                 "<b>It's</b> on fire\nAttachments: scan.pdf, evil.desktop, " + markup);
        OpenedAttachments::SetOpener({});
    }

    // Files dropped on a call's row are attached after one question naming the call and them.
    void filesDroppedOnACall_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("attached");
        QTest::newRow("yes") << int(Prompts::Yes) << 2;
        QTest::newRow("no") << int(Prompts::No) << 0;
    }
    void filesDroppedOnACall() {
        QFETCH(int, answer);
        QFETCH(int, attached);
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        Exec("insert into Calls (Title) values ('It''s jammed')");
        window->LoadCalls();
        const QString a = writeFile(env.dataHome() + "/shot.png", "png");
        const QString b = writeFile(env.dataHome() + "/form's.pdf", "pdf");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(a), QUrl::fromLocalFile(b)});
        QWidget* viewport = window->ListView1->viewport();
        const QPoint onRow =
            window->ListView1->visualRect(window->callList()->index(0, 1)).center();
        QDragEnterEvent enter(onRow, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(onRow, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        prompts.answer(answer);
        QApplication::sendEvent(viewport, &drop);
        QTRY_COMPARE(prompts.boxes.size(), size_t(1));
        QCOMPARE(prompts.boxes[0].text, "Attach 'shot.png', 'form's.pdf' to call 1, \"It's "
                                        "jammed\"?");
        QCOMPARE(Count("select count(*) from Attachments where CallID = 1"), attached);
        QCOMPARE(window->callList()->hasAttachments(0), attached > 0);
    }
};

QTEST_MAIN(TestAttachments)
#include "test_attachments.moc"
