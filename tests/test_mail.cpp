// Mail in: a saved message or an mbox makes one call per message, with its sender, date, text and
// files; hostile mail is refused whole with a message naming it; mail dropped beside the calls.
#include "app/command_line.h"
#include "app/main_window.h"
#include "data/shared_connection.h"
#include "exchange/mail_preview_window.h"
#include "list/call_list_model.h"
#include "test_support.h"
#include "ui/app_paths.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeView>
#include <QUrl>

namespace {

QString writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

int importMail(const QStringList& paths, QString* errors = nullptr) {
    ReleaseSharedConnection();
    QString output, failures;
    QTextStream out(&output), err(&failures);
    const int status = RunCommands(QStringList{"quorvane", "--import-mail"} + paths, out, err);
    if (errors)
        *errors = failures;
    CreateSharedConnection();
    SharedConnection().open(Form1::ConnectionString());
    return status;
}

const QByteArray kPlain = "From: \"Zo\xc3\xab \xc3\x9cnal\" <Zoe@Example.com>\r\n"
                          "To: desk@example.com\r\n"
                          "Subject: Printer jams again\r\n"
                          "Date: Tue, 01 Dec 2026 10:30:00 +0000\r\n"
                          "Content-Type: text/plain; charset=utf-8\r\n"
                          "\r\n"
                          "It's jammed, 100% of the time.\r\n";

QByteArray multipart(const QByteArray& headers, const QByteArray& parts) {
    return headers + "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n" +
           parts + "--b1--\r\n";
}

QByteArray part(const QByteArray& headers, const QByteArray& body) {
    return "--b1\r\n" + headers + "\r\n" + body + "\r\n";
}

} // namespace

class TestMail : public QObject {
    Q_OBJECT

private slots:
    void aMessageBecomesACall_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("caller");
        QTest::addColumn<QString>("comments");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("plain") << kPlain << "Printer jams again" << QString::fromUtf8("Zoë Ünal")
                               << "It's jammed, 100% of the time.\n"
                               << QStringList{"message.eml"};
        QTest::newRow("encoded headers and body")
            << QByteArray("From: =?ISO-8859-1?Q?J=F6rg_M=FCller?= <jm@example.de>\r\n"
                          "Subject: =?UTF-8?B?RHJ1Y2tlciBrbGVtbXQg4oCTIMOkcmdlcmxpY2g=?=\r\n"
                          "Content-Type: text/plain; charset=iso-8859-1\r\n"
                          "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                          "Gr=FC=DFe, der Drucker =\r\nklemmt.\r\n")
            << QString::fromUtf8("Drucker klemmt – ärgerlich") << QString::fromUtf8("Jörg Müller")
            << QString::fromUtf8("Grüße, der Drucker klemmt.\n") << QStringList{"message.eml"};
        QTest::newRow("only html")
            << multipart("From: Bo <bo@example.com>\r\nSubject: Fax\r\n",
                         part("Content-Type: text/html\r\n",
                              "<p>The <b>fax</b> &amp; phone</p><script>x()</script>"))
            << "Fax"
            << "Bo "
            << "The fax & phone" << QStringList{"part-1.html", "message.eml"};
        QTest::newRow("a file and hostile names")
            << multipart("From: bo@example.com\r\nSubject: Scan\r\n",
                         part("Content-Type: text/plain\r\n", "See the scan.") +
                             part("Content-Type: application/pdf; name=\"scan.pdf\"\r\n"
                                  "Content-Disposition: attachment; filename=\"scan.pdf\"\r\n"
                                  "Content-Transfer-Encoding: base64\r\n",
                                  "JVBERi0xLjQK") +
                             part("Content-Type: text/plain\r\n"
                                  "Content-Disposition: attachment; filename=\"../../.bashrc\"\r\n",
                                  "rm -rf ~") +
                             part("Content-Type: application/octet-stream\r\n"
                                  "Content-Disposition: attachment; "
                                  "filename*=UTF-8''abc%E2%80%AEgpj.exe\r\n",
                                  "MZ"))
            << "Scan"
            << "bo@example.com "
            << "See the scan."
            << QStringList{"scan.pdf", "../../.bashrc", QString::fromUtf8("abc\u202Egpj.exe"),
                           "message.eml"};
        QTest::newRow("no sender, no subject, unknown charset")
            << QByteArray("Content-Type: text/plain; charset=x-no-such-charset\r\n\r\nplain\r\n")
            << "(no subject)"
            << ""
            << "plain\n"
            << QStringList{"message.eml"};
        QTest::newRow("a header line of 10 MB")
            << QByteArray("From: a@example.com\r\nSubject: " + QByteArray(10 * 1024 * 1024, 'x') +
                          "\r\n\r\nlong\r\n")
            << QString(254, 'x') + QChar(0x2026) << "a@example.com "
            << "long\n"
            << QStringList{"message.eml"};
    }
    void aMessageBecomesACall() {
        QFETCH(QByteArray, message);
        QFETCH(QString, title);
        QFETCH(QString, caller);
        QFETCH(QString, comments);
        QFETCH(QStringList, files);
        TestEnvironment env;
        env.openSharedConnection();
        const QString path = writeFile(env.dataHome() + "/message.eml", message);
        QString errors;
        QCOMPARE(importMail({path}, &errors), 0);
        QCOMPARE(errors, QString());
        QCOMPARE(Rows("select Title, [Customer Name], Comments from [Calls Extended]")
                     .replaceInStrings("\r", ""),
                 QStringList{title + "|" + caller + "|" + comments});
        QCOMPARE(Rows("select Name from Attachments order by ID"), files);
        // The message itself is kept byte for byte as far as its text goes.
        QVERIFY(Scalar("select Size from Attachments where Name = 'message.eml'").toInt() > 0);
    }

    // The date of the message, else now; the sender found by address without regard to case.
    void datesAndKnownSenders() {
        TestEnvironment env;
        env.openSharedConnection();
        Exec("insert into Customers ([First Name], [E-mail Address]) values ('Known', "
             "'zoe@example.COM')");
        const QString path = writeFile(env.dataHome() + "/plain.eml", kPlain);
        QCOMPARE(importMail({path}), 0);
        QCOMPARE(Rows("select Caller from Calls"), QStringList{"1"});
        QCOMPARE(Count("select count(*) from Customers"), 1);
        const QDateTime sent = QDateTime(QDate(2026, 12, 1), QTime(10, 30), Qt::UTC).toLocalTime();
        QCOMPARE(Scalar("select [Opened Date] || '' from Calls").toString(),
                 sent.toString("yyyy-MM-dd HH:mm:ss"));
        QCOMPARE(Scalar("select [Due Date] || '' from Calls").toString(),
                 QDate::currentDate().toString("yyyy-MM-dd"));
    }

    // An mbox makes a call of every message in one transaction; one sender is one customer.
    void anMboxImportsEveryMessage() {
        TestEnvironment env;
        env.openSharedConnection();
        QByteArray mbox;
        for (int i = 1; i <= 3; ++i)
            mbox += "From bo@example.com Tue Dec  1 10:30:00 2026\n"
                    "From: Bo Ek <bo@example.com>\nSubject: Call " +
                    QByteArray::number(i) + "\n\nThe text of call " + QByteArray::number(i) +
                    "\n\n";
        const QString path = writeFile(env.dataHome() + "/inbox", mbox);
        QCOMPARE(importMail({path}), 0);
        QCOMPARE(Rows("select Title, [Customer Name] from [Calls Extended] order by ID"),
                 QStringList({"Call 1|Bo Ek", "Call 2|Bo Ek", "Call 3|Bo Ek"}));
        QCOMPARE(Count("select count(*) from Customers"), 1);
        QCOMPARE(Count("select count(*) from Attachments"), 3);
    }

    // Hostile mail is refused whole, with a message naming it; nothing is half imported.
    void hostileMailIsRefusedWhole_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QString>("told");
        QByteArray parts;
        for (int i = 0; i < 100000; ++i)
            parts += "--b1\n\nx\n";
        QTest::newRow("100,000 parts") << multipart("From: a@example.com\nSubject: Many\n", parts)
                                       << "has more than 1000 parts";
        QByteArray nested = "Subject: Deep\n";
        for (int i = 0; i < 1000; ++i)
            nested += "Content-Type: multipart/mixed; boundary=\"n" + QByteArray::number(i) +
                      "\"\n\n--n" + QByteArray::number(i) + "\n";
        nested += "\nx\n";
        for (int i = 999; i >= 0; --i)
            nested += "--n" + QByteArray::number(i) + "--\n";
        QTest::newRow("nested 1000 deep") << nested << "nested more than";
        QTest::newRow("cut short")
            << QByteArray(
                   "From: a@example.com\nSubject: Cut\nMIME-Version: 1.0\nContent-Type: "
                   "multipart/mixed; boundary=\"b1\"\n\n--b1\nContent-Type: text/plain\n\nhal")
            << "is cut short";
        QTest::newRow("a part larger than a file may be")
            << multipart("From: a@example.com\nSubject: Big\n",
                         part("Content-Type: application/zip\nContent-Disposition: attachment; "
                              "filename=\"bomb.txt\"\n",
                              QByteArray(2 * 1024 * 1024, 'A')))
            << "is larger than an attachment may be";
    }
    void hostileMailIsRefusedWhole() {
        QFETCH(QByteArray, message);
        QFETCH(QString, told);
        TestEnvironment env;
        env.openSharedConnection();
        SaveSetting("Merrowfen", "Quorvane", "AttachmentLimitMB", "1");
        const QString good = writeFile(env.dataHome() + "/good.eml", kPlain);
        const QString bad = writeFile(env.dataHome() + "/bad.eml", message);
        QString errors;
        QCOMPARE(importMail({good, bad}, &errors), 1);
        QVERIFY2(errors.contains(told) && errors.contains("nothing was"), qPrintable(errors));
        QCOMPARE(Count("select count(*) from Calls"), 0);
        QCOMPARE(Count("select count(*) from Customers"), 0);
        QCOMPARE(Count("select count(*) from AttachmentPieces"), 0);
    }

    // Mail dropped on the empty part of the list: one question naming the messages and the new
    // customers; No writes nothing.
    void mailDroppedBesideTheCalls_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("calls");
        QTest::addColumn<bool>("onWindow");
        QTest::newRow("yes") << int(Prompts::Yes) << 1 << false;
        QTest::newRow("no") << int(Prompts::No) << 0 << false;
        QTest::newRow("on the window") << int(Prompts::Yes) << 1 << true;
    }
    void mailDroppedBesideTheCalls() {
        QFETCH(int, answer);
        QFETCH(int, calls);
        QFETCH(bool, onWindow);
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        const QString path = writeFile(env.dataHome() + "/it's.eml", kPlain);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QWidget* viewport =
            onWindow ? static_cast<QWidget*>(window.get()) : window->ListView1->viewport();
        const QPoint empty(onWindow ? window->width() - 2 : 5,
                           onWindow ? window->height() - 2 : viewport->height() - 5);
        QDragEnterEvent enter(empty, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(empty, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        prompts.answer(answer);
        QApplication::sendEvent(viewport, &drop);
        QTRY_COMPARE(prompts.boxes.size(), size_t(1));
        QCOMPARE(prompts.boxes[0].text,
                 QString::fromUtf8("Make a new call of the mail in 'it's.eml'? New customers: "
                                   "Zoë Ünal."));
        QCOMPARE(Count("select count(*) from Calls where Title = 'Printer jams again'"), calls);
        QCOMPARE(window->callList()->totalRowCount(), calls);
        QCOMPARE(Count("select count(*) from Customers"), calls);
    }

    // An mbox dropped beside the calls: every message in a preview first (subject, sender, date,
    // files, what is odd), then one question; Cancel, or No and then Cancel, writes nothing.
    void anMboxDroppedIsPreviewed_data() {
        QTest::addColumn<bool>("import");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("calls");
        QTest::newRow("imported") << true << int(Prompts::Yes) << 2;
        QTest::newRow("no to the question") << true << int(Prompts::No) << 0;
        QTest::newRow("cancelled") << false << int(Prompts::Yes) << 0;
    }
    void anMboxDroppedIsPreviewed() {
        QFETCH(bool, import);
        QFETCH(int, answer);
        QFETCH(int, calls);
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        const QString path = writeFile(
            env.dataHome() + "/inbox",
            "From bo@example.com Tue Dec  1 10:30:00 2026\nFrom: Bo Ek <bo@example.com>\n"
            "Subject: 100% \"jammed\" [*]_\\\nDate: Tue, 01 Dec 2026 10:30:00 +0000\n\nIt "
            "jams.\n\nFrom x Tue Dec  1 10:30:00 2026\nContent-Type: text/plain\n\nNo subject, no "
            "date.\n\n");
        QStringList shown;
        prompts.onModal([&](QDialog& dialog) {
            QTableWidget* table = static_cast<MailPreviewWindow&>(dialog).preview();
            for (int row = 0; row < table->rowCount(); ++row) {
                QStringList cells;
                for (int column = 0; column < table->columnCount(); ++column)
                    cells << table->item(row, column)->text();
                shown << cells.join('|');
            }
            QCOMPARE(Count("select count(*) from Calls"), 0);
            if (import)
                static_cast<MailPreviewWindow&>(dialog).importButton()->click();
            if (dialog.result() != QDialog::Accepted)
                dialog.findChild<QPushButton*>("CancelButton")->click();
        });
        prompts.answer(answer);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QWidget* viewport = window->ListView1->viewport();
        const QPoint empty(5, viewport->height() - 5);
        QDragEnterEvent enter(empty, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDropEvent drop(empty, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QTRY_VERIFY2(prompts.modalCount == 1 || !prompts.boxes.empty(),
                     qPrintable(prompts.texts().join('\n')));
        const QString sent = QLocale().toString(
            QDateTime::fromString("2026-12-01T10:30:00Z", Qt::ISODate).toLocalTime(),
            QLocale::ShortFormat);
        QCOMPARE(shown,
                 QStringList({"100% \"jammed\" [*]_\\|Bo Ek <bo@example.com>|" + sent + "|1|",
                              "|||1|no subject: titled \"(no subject)\"; no sender's "
                              "address: no caller; no date that can be read: opened now"}));
        QCOMPARE(prompts.texts(),
                 import ? QStringList{"Make 2 new calls of the mail in 'inbox'? New customers: "
                                      "Bo Ek."}
                        : QStringList());
        QCOMPARE(Count("select count(*) from Calls"), calls);
        QCOMPARE(Count("select count(*) from Customers"), calls ? 1 : 0);
        QCOMPARE(window->callList()->totalRowCount(), calls);
    }
};

QTEST_MAIN(TestMail)
#include "test_mail.moc"
