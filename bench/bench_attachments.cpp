// Times the files kept with the calls and the mail import, and prints one "name = value" line
// per figure:
//
//   bench_attachments [--cache FOLDER] [--sizes N]
//
// - attach_mb_per_s: a 200 MB file added to a call, against copy_mb_per_s, a plain copy of the
//   same file on the same disk (both written to the disk before the clock stops);
// - attach_rss_mb: the peak memory of this process, taken right after that add;
// - open_attachment_ms: a 10 MB attachment written to the path handed to the desktop;
// - import_mail_per_s: an mbox of 10,000 messages with a small attachment each, read and made
//   into calls on the file;
// - loadcalls_ratio_1m and loadcalls_ratio_1m_attachments: LoadCalls against the sqlite3
//   command-line tool at 1,000,000 calls, without attachments and with 100,000 of them.
#include "app/main_window.h"
#include "bench_support.h"
#include "data/connection.h"
#include "data/failure.h"
#include "exchange/opened_attachments.h"
#include "records/attachment_store.h"
#include "records/mail_import.h"
#include "ui/app_paths.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr qint64 kMegabyte = 1024 * 1024;

double cliRun(const QString& path) {
    QProcess cli;
    cli.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    cli.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), path,
                                          QStringLiteral("select * from [Calls Extended];")});
    if (!cli.waitForFinished(-1) || cli.exitCode() != 0)
        fail(QStringLiteral("sqlite3 failed: ") +
             QString::fromLocal8Bit(cli.readAllStandardError()));
    return milliseconds(timer);
}

// A file of `megabytes` MB, written a mebibyte at a time.
void makeFile(const QString& path, qint64 megabytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        fail(QStringLiteral("cannot write '%1'").arg(path));
    QByteArray piece(int(kMegabyte), Qt::Uninitialized);
    for (qint64 i = 0; i < megabytes; ++i) {
        for (int j = 0; j < piece.size(); j += 8)
            std::memcpy(piece.data() + j, &i, 8), piece[j + 7] = char(j);
        file.write(piece);
    }
    file.flush();
    fsync(file.handle());
}

Connection& openFresh(Connection& connection, const QString& path) {
    QFile::remove(path);
    if (!QFile::copy(ProgramFolder() + QStringLiteral("/dbBlank.mdb"), path))
        fail(QStringLiteral("cannot copy the template to '%1'").arg(path));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    connection.open(QStringLiteral("data source=") + path);
    connection.execute(QStringLiteral("insert into Calls (Title) values ('Printer jam')"));
    return connection;
}

void benchAttach(const QString& folder) {
    const QString source = folder + QStringLiteral("/photo.bin");
    makeFile(source, 200);
    // The plain copy: read and written a mebibyte at a time, and on the disk at the end.
    QElapsedTimer copyTimer;
    copyTimer.start();
    {
        QFile in(source);
        QFile out(folder + QStringLiteral("/copy.bin"));
        if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
            fail(QStringLiteral("cannot copy the file"));
        QByteArray buffer(int(kMegabyte), Qt::Uninitialized);
        qint64 got;
        while ((got = in.read(buffer.data(), buffer.size())) > 0)
            out.write(buffer.constData(), got);
        out.flush();
        fsync(out.handle());
    }
    const double copyMs = milliseconds(copyTimer);
    QFile::remove(folder + QStringLiteral("/copy.bin"));

    Connection connection;
    openFresh(connection, folder + QStringLiteral("/attach.mdb"));
    QElapsedTimer attachTimer;
    attachTimer.start();
    Attachments::AddFiles(connection, 1, {source}, 400 * kMegabyte);
    const double attachMs = milliseconds(attachTimer);
    print(QStringLiteral("attach_rss_mb"), peakMemoryMb());
    print(QStringLiteral("copy_mb_per_s"), 200.0 / (copyMs / 1000.0));
    print(QStringLiteral("attach_mb_per_s"), 200.0 / (attachMs / 1000.0));
    QFile::remove(source);

    // Opening: a 10 MB attachment to the path handed over, five times.
    const QString ten = folder + QStringLiteral("/scan.pdf");
    makeFile(ten, 10);
    const qint64 id = Attachments::AddFiles(connection, 1, {ten}, 400 * kMegabyte).first();
    std::vector<double> opens;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        OpenedAttachments::WriteForOpening(connection, id, QStringLiteral("scan.pdf"));
        opens.push_back(milliseconds(timer));
    }
    print(QStringLiteral("open_attachment_ms"), median(opens));
}

void benchMail(const QString& folder) {
    QByteArray mbox;
    const QByteArray attachment = QByteArray(1024, 'q').toBase64();
    for (int i = 0; i < 10000; ++i) {
        const QByteArray n = QByteArray::number(i);
        mbox += "From desk" + n +
                "@example.com Tue Dec  1 10:30:00 2026\n"
                "From: Customer " +
                n + " <c" + QByteArray::number(i % 500) + "@example.com>\nSubject: Printer " + n +
                "\nDate: Tue, 01 Dec 2026 10:30:00 +0000\nMIME-Version: 1.0\n"
                "Content-Type: multipart/mixed; boundary=\"b\"\n\n--b\nContent-Type: text/plain\n\n"
                "The printer jams again, call " +
                n +
                ".\n--b\nContent-Type: application/pdf\nContent-Disposition: attachment; "
                "filename=\"scan" +
                n + ".pdf\"\nContent-Transfer-Encoding: base64\n\n" + attachment + "\n--b--\n\n";
    }
    const QString path = folder + QStringLiteral("/inbox.mbox");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(mbox) != mbox.size())
        fail(QStringLiteral("cannot write the mbox"));
    file.close();
    Connection connection;
    openFresh(connection, folder + QStringLiteral("/mail.mdb"));
    QElapsedTimer timer;
    timer.start();
    const MailImport import(MailMessages::ReadFile(path, [](const QString& html) { return html; }));
    const size_t calls = import.write(connection, Attachments::kDefaultLimit).size();
    const double ms = milliseconds(timer);
    if (calls != 10000)
        fail(QStringLiteral("the mbox made %1 calls").arg(calls));
    print(QStringLiteral("import_mail_per_s"), double(calls) / (ms / 1000.0));
}

// A copy of the generated database with `count` attachments spread over its calls.
QString withAttachments(const QString& path, int count) {
    const QString copy = path + QStringLiteral("-attachments-%1.mdb").arg(count);
    if (QFile::exists(copy))
        return copy;
    QFile::remove(copy + QStringLiteral(".part"));
    if (!QFile::copy(path, copy + QStringLiteral(".part")))
        fail(QStringLiteral("cannot copy '%1'").arg(path));
    {
        Connection connection;
        connection.open(QStringLiteral("data source=") + copy + QStringLiteral(".part"));
        connection.beginTransaction();
        connection.execute(
            QStringLiteral("insert into AttachmentContents (Hash, Size) values ('bench', 5)"));
        connection.execute(QStringLiteral(
            "insert into AttachmentPieces (Content, Piece, Data) values (1, 0, x'3132333435')"));
        connection.execute(
            QStringLiteral(
                "insert into Attachments (CallID, Name, Type, Size, Content, [Added At]) "
                "select ID, 'scan ' || ID || '.pdf', 'application/pdf', 5, 1, "
                "'2026-12-01 10:30:00' from Calls where ID % 10 = 0 limit %1")
                .arg(count));
        connection.commit();
    }
    QFile::rename(copy + QStringLiteral(".part"), copy);
    return copy;
}

int childMeasure(const QString& path, int argc, char** argv) {
    QApplication app(argc, argv);
    FailingPrompts prompts;
    InstallPrompts(&prompts);
    Form1 window;
    PaintCounter counter(window.ListView1->viewport());
    openWindow(window, counter);
    const LoadCallsTimes times = timeLoadCalls(window, counter, 3, [&] { return cliRun(path); });
    print(QStringLiteral("loadcalls_ms"), times.shown);
    print(QStringLiteral("sqlite3_cli_ms"), times.floor);
    InstallPrompts(nullptr);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--measure") == 0)
        return childMeasure(QString::fromLocal8Bit(argv[2]), argc, argv);
    QApplication app(argc, argv);
    const BenchOptions options = parseOptions({1000000});
    try {
        QTemporaryDir scratch(options.cache + QStringLiteral("/attachments-XXXXXX"));
        if (!scratch.isValid())
            fail(QStringLiteral("cannot make a folder in '%1'").arg(options.cache));
        benchAttach(scratch.path());
        benchMail(scratch.path());
        std::fflush(stdout);
        for (long long calls : options.sizes) {
            const QString plain = database(options.cache, calls);
            const QString suffix = QLatin1Char('_') + sizeSuffix(calls);
            cliRun(plain);
            for (const auto& [path, name] :
                 {std::pair{plain, QString()}, std::pair{withAttachments(plain, int(calls / 10)),
                                                         QStringLiteral("_attachments")}}) {
                auto measured = runChild({QStringLiteral("--measure"), path}, path);
                const double ratio = measured[QStringLiteral("loadcalls_ms")] /
                                     measured[QStringLiteral("sqlite3_cli_ms")];
                print(QStringLiteral("loadcalls_ms") + suffix + name,
                      measured[QStringLiteral("loadcalls_ms")]);
                std::printf("loadcalls_ratio%s%s = %.2f\n", qPrintable(suffix), qPrintable(name),
                            ratio);
                std::fflush(stdout);
            }
        }
    } catch (const Failure& failure) {
        fail(failure.description());
    }
    return 0;
}
