// Times the call log on a database server and prints one "name = value" line per figure:
//
//   bench_server [--sizes N,N,...] [--cache FOLDER]      (needs QUORVANE_TEST_SERVER; bench/run)
//
// - loadcalls_pg_ms: LoadCalls on a shown window until the list is painted again, over a server
//   database of N calls (copied up from the generated file of bench_calls), in turns with the
//   psql command-line client reading the same query, output discarded (loadcalls_pg_psql_ms,
//   the floor); loadcalls_pg_ratio divides the two;
// - pg_saves_per_s_1, _8, _32: one, eight and 32 desks, each a process with its own
//   connection (by the Unix socket; pg_saves_per_s_8_tls by TCP with the certificate checked),
//   saving new calls through the call editor at once for a fixed time; afterwards every
//   confirmed save must be there exactly once (pg_saves_lost, pg_saves_duplicated, over every
//   run); their floor, pg_plain_inserts_per_s_1 and _8: one and eight connections inserting the
//   same rows, one autocommit statement each, into a table of the same columns without
//   triggers, keys or indexes (bench_server --saving prints these figures alone);
// - pg_connections_per_desk: the connections that one desk with its window open holds;
// - pg_reconnect_s: the server stops as in a crash and starts again under a desk with an open
//   editor; the time from the server being back until the next Save succeeds.
#include "app/main_window.h"
#include "bench_support.h"
#include "calls/call_editor.h"
#include "data/failure.h"
#include "data/server_dialect.h"
#include "data/server_link.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"
#include "ui/record_messages.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeView>
#include <QUrl>
#include <QUrlQuery>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <libpq-fe.h>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kRuns = 3;
constexpr int kSavingMs = 5000;

// The psql client reading the list's query as the server runs it, output discarded.
double psqlRun(const QString& uri) {
    QProcess psql;
    psql.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    psql.start(QStringLiteral("psql"),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-A"),
                QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), uri,
                QStringLiteral("-c"),
                ServerStatement(QStringLiteral("select * from [Calls Extended]"))});
    if (!psql.waitForFinished(-1) || psql.exitStatus() != QProcess::NormalExit ||
        psql.exitCode() != 0)
        fail(QStringLiteral("psql failed: ") + QString::fromLocal8Bit(psql.readAllStandardError()));
    return milliseconds(timer);
}

// Child: LoadCalls on the server, in turns with psql.
int childLoadCalls(const QString& uri, int argc, char** argv) {
    QApplication app(argc, argv);
    FailingPrompts prompts;
    InstallPrompts(&prompts);
    Form1::UseServer(uri);
    Form1 window;
    PaintCounter counter(window.ListView1->viewport());
    openWindow(window, counter);
    const int rows = window.callList()->rowCount();
    const LoadCallsTimes times =
        timeLoadCalls(window, counter, kRuns, [&] { return psqlRun(uri); });
    print(QStringLiteral("loadcalls_ms"), times.shown);
    print(QStringLiteral("loadcalls_model_ms"), times.model);
    print(QStringLiteral("psql_ms"), times.floor);
    print(QStringLiteral("rss_mb"), peakMemoryMb());
    print(QStringLiteral("rows"), rows);
    const FindAndRefreshTimes found =
        timeFindAndRefresh(window, counter, QString::fromLatin1(kCommentsOnlyWord));
    print(QStringLiteral("find_comments_ms"), found.find);
    print(QStringLiteral("save_refresh_ms"), found.save);
    print(QStringLiteral("delete_refresh_ms"), found.remove);
    window.close();
    InstallPrompts(nullptr);
    return 0;
}

// A desk's confirmations, counted; any other box is a failed save.
class SavingPrompts : public Prompts {
public:
    int saved = 0;
    int failed = 0;
    // Failures expected (an outage): not written out.
    bool quiet = false;
    int message(const QString& text, int, const QString&) override {
        if (text == kRecordSaved) {
            ++saved;
        } else {
            if (!failed && !quiet)
                std::fprintf(stderr, "bench: a save failed: %s\n", qPrintable(text));
            ++failed;
        }
        return Ok;
    }
    std::optional<QString> input(const QString& prompt, const QString&) override {
        fail(QStringLiteral("the program asked: ") + prompt);
    }
    void showModal(QDialog&) override { fail(QStringLiteral("the program opened a window")); }
};

// Child: one desk saving new calls in the call editor from `startNs` for kSavingMs; each
// title names the desk and counts its saves.
int childDesk(int desk, const QString& uri, long long startNs, int argc, char** argv) {
    QApplication app(argc, argv);
    SavingPrompts prompts;
    InstallPrompts(&prompts);
    CreateSharedConnection();
    SharedConnection().open(uri);
    {
        Form2 editor;
        editor.m_ID = QString();
        editor.Form_Load();
        for (QComboBox* list : {editor.Combo1, editor.Combo2, editor.Combo3, editor.Combo4,
                                editor.Combo5, editor.Combo6})
            list->setCurrentIndex(0);
        while (monotonicNanoseconds() < startNs)
            QThread::usleep(200);
        const long long endNs = startNs + kSavingMs * 1000000LL;
        int attempts = 0;
        while (monotonicNanoseconds() < endNs) {
            editor.Text1->setText(QStringLiteral("Desk %1 call %2").arg(desk).arg(++attempts));
            editor.PushButton2_Click();
        }
        print(QStringLiteral("attempts"), attempts);
        print(QStringLiteral("saved"), prompts.saved);
        print(QStringLiteral("failed"), prompts.failed);
    }
    ReleaseSharedConnection();
    InstallPrompts(nullptr);
    return 0;
}

long long number(ServerLink& link, const QString& sql, const QStringList& parameters = {}) {
    return QByteArray(link.run(sql, parameters)->text(0, 0)).toLongLong();
}

// The saves that were confirmed but are missing, and those stored twice, over every run.
long long savesLost = 0;
long long savesDuplicated = 0;
long long savesFailed = 0;

// The same server by its Unix socket, unencrypted (the test server takes TCP only encrypted).
QString unencrypted(const QString& uri) {
    const QString folder = qEnvironmentVariable("QUORVANE_SERVER_DIR");
    if (folder.isEmpty())
        return uri;
    const QUrl url(uri);
    return QStringLiteral("postgresql://%1?host=%2&port=%3&user=%4")
        .arg(url.path(), folder, QString::number(url.port()),
             QUrlQuery(url).queryItemValue(QStringLiteral("user")));
}

// The floor of saving: `clients` connections inserting the rows a save writes, one autocommit
// statement each, into a table of the same columns without triggers, keys or indexes.
void plainInserts(int clients) {
    const QString uri = newServerDatabase(QStringLiteral("bench_plain"));
    ServerLink(uri).run(QStringLiteral("create table plain_calls (like calls including identity)"));
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    std::atomic<long long> inserted{0};
    std::vector<std::thread> threads;
    const long long endNs = monotonicNanoseconds() + kSavingMs * 1000000LL;
    for (int client = 1; client <= clients; ++client) {
        threads.emplace_back([&, client] {
            PGconn* conn = PQconnectdb(unencrypted(uri).toUtf8().constData());
            for (int row = 1; PQstatus(conn) == CONNECTION_OK && monotonicNanoseconds() < endNs;
                 ++row) {
                const QByteArray insert =
                    QStringLiteral("insert into plain_calls (title, \"assigned to\", \"opened "
                                   "by\", \"opened date\", status, category, priority, comments, "
                                   "\"due date\", \"resolved by\", \"resolved date\", caller, "
                                   "\"call time\") values ('Desk %1 call %2', 1, 1, '%3', 'Open', "
                                   "'Network', 'High', '', '%3', NULL, NULL, 1, '%3')")
                        .arg(client)
                        .arg(row)
                        .arg(today)
                        .toUtf8();
                PGresult* result = PQexecParams(conn, insert.constData(), 0, nullptr, nullptr,
                                                nullptr, nullptr, 0);
                if (PQresultStatus(result) == PGRES_COMMAND_OK)
                    ++inserted;
                PQclear(result);
            }
            PQfinish(conn);
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    print(QStringLiteral("pg_plain_inserts_per_s_%1").arg(clients),
          double(inserted) * 1000.0 / kSavingMs);
}

// `tls`: the desks connect by TCP with the server's certificate checked (the figure's name
// ends in _tls); otherwise by the Unix socket.
void savesAtOnce(int desks, bool tls = false) {
    const QString uri = newServerDatabase(QStringLiteral("bench_saves"));
    const QString deskUri = tls ? uri : unencrypted(uri);
    ServerLink link(uri);
    link.execute(QStringLiteral("insert into Employees ([First Name],[Last Name]) values "
                                "('Nora','Quill')"));
    link.execute(QStringLiteral("insert into Customers ([First Name],[Last Name]) values "
                                "('Ann','Ray')"));
    link.execute(QStringLiteral("insert into [Status] values ('Open')"));
    link.execute(QStringLiteral("insert into [Categories] values ('Network')"));
    link.execute(QStringLiteral("insert into [Priorities] values ('High')"));

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Every desk is ready (started, connected, editor loaded) before the clock starts.
    const long long startNs = monotonicNanoseconds() + (4000LL + 500LL * desks) * 1000000LL;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int desk = 1; desk <= desks; ++desk) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment);
        process->start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("--desk"), QString::number(desk), deskUri, QString::number(startNs)});
        processes.push_back(std::move(process));
    }
    long long saved = 0;
    for (int desk = 1; desk <= desks; ++desk) {
        QProcess& process = *processes[size_t(desk - 1)];
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            std::fprintf(stderr, "%s", process.readAllStandardError().constData());
            fail(QStringLiteral("desk %1 failed").arg(desk));
        }
        std::fprintf(stderr, "%s", process.readAllStandardError().constData());
        std::map<QString, long long> figures;
        for (const QByteArray& line : process.readAllStandardOutput().split('\n')) {
            const int equals = line.indexOf(" = ");
            if (equals > 0)
                figures[QString::fromUtf8(line.left(equals))] = line.mid(equals + 3).toDouble();
        }
        const long long confirmed = figures[QStringLiteral("saved")];
        saved += confirmed;
        savesFailed += figures[QStringLiteral("failed")];
        // Every confirmed title of the desk once; a title that was tried but not confirmed
        // may be there at most once.
        const QString pattern = QStringLiteral("Desk %1 call %").arg(desk);
        const long long rows = number(
            link, QStringLiteral("select count(*) from calls where title like $1"), {pattern});
        const long long distinct = number(
            link, QStringLiteral("select count(distinct title) from calls where title like $1"),
            {pattern});
        savesDuplicated += rows - distinct;
        savesLost += std::max(0LL, confirmed - distinct);
    }
    print(QStringLiteral("pg_saves_per_s_%1%2").arg(desks).arg(tls ? "_tls" : ""),
          double(saved) * 1000.0 / kSavingMs);
}

// The figures of saving, each beside its floor.
void savingFigures() {
    savesAtOnce(1);
    plainInserts(1);
    savesAtOnce(8);
    plainInserts(8);
    savesAtOnce(8, true);
    savesAtOnce(32);
    std::printf("pg_saves_lost = %lld\npg_saves_duplicated = %lld\npg_saves_failed = %lld\n",
                savesLost, savesDuplicated, savesFailed);
    std::fflush(stdout);
}

// Runs a function of the test server script on the server that bench/run started.
void serverScript(const QString& call) {
    QProcess bash;
    bash.start(QStringLiteral("bash"),
               {QStringLiteral("-c"), QStringLiteral("source '%1/scripts/test_server.sh' && %2")
                                          .arg(QStringLiteral(QUORVANE_SOURCE_DIR), call)});
    if (!bash.waitForFinished(-1) || bash.exitCode() != 0)
        fail(QStringLiteral("%1 failed: %2")
                 .arg(call, QString::fromLocal8Bit(bash.readAllStandardError())));
}

// Child: the connections that a desk with its window open holds on its database.
int childConnections(const QString& uri, int argc, char** argv) {
    QApplication app(argc, argv);
    FailingPrompts prompts;
    InstallPrompts(&prompts);
    Form1::UseServer(uri);
    {
        Form1 window;
        window.Form_Load();
        window.show();
        // The list is read and the desk listens for the others' changes.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        auto count = SharedConnection().server()->run(
            QStringLiteral("select count(*) from pg_stat_activity where datname = "
                           "current_database() and application_name = $1"),
            {ServerLink::applicationName()});
        print(QStringLiteral("connections"), QByteArray(count->text(0, 0)).toDouble());
        window.close();
    }
    ReleaseSharedConnection();
    InstallPrompts(nullptr);
    return 0;
}

// Child: a desk with an open editor; the server crashes and comes back; how long from its
// return until Save succeeds.
int childReconnect(const QString& uri, int argc, char** argv) {
    QApplication app(argc, argv);
    SavingPrompts prompts;
    prompts.quiet = true;
    InstallPrompts(&prompts);
    CreateSharedConnection();
    SharedConnection().open(uri);
    double seconds = 0;
    {
        Form2 editor;
        editor.Form_Load();
        for (QComboBox* list : {editor.Combo1, editor.Combo2, editor.Combo3, editor.Combo4,
                                editor.Combo5, editor.Combo6})
            list->setCurrentIndex(0);
        editor.Text1->setText(QStringLiteral("Before the crash"));
        editor.PushButton2_Click();
        serverScript(QStringLiteral("quorvane_server_pause"));
        editor.Text1->setText(QStringLiteral("Typed during the outage"));
        editor.PushButton2_Click();
        serverScript(QStringLiteral("quorvane_server_resume"));
        QElapsedTimer back;
        back.start();
        while (prompts.saved < 2 && back.elapsed() < 60000) {
            editor.PushButton2_Click();
            if (prompts.saved < 2)
                QThread::msleep(10);
        }
        seconds = back.elapsed() / 1000.0;
        if (prompts.saved < 2)
            fail(QStringLiteral("no save succeeded within a minute of the server's return"));
    }
    std::printf("pg_reconnect_s = %.3f\n", seconds);
    ReleaseSharedConnection();
    InstallPrompts(nullptr);
    return 0;
}

int parent(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const BenchOptions options = parseOptions({100000, 1000000});
    for (long long calls : options.sizes) {
        const QString uri = serverDatabase(options.cache, calls);
        const QString suffix = QLatin1Char('_') + sizeSuffix(calls);
        psqlRun(uri); // one untimed pass for the server's cache
        auto figures =
            runChild({QStringLiteral("--loadcalls"), uri}, database(options.cache, calls));
        if (figures[QStringLiteral("rows")] != double(calls))
            fail(QStringLiteral("the window listed %1 calls instead of %2")
                     .arg(figures[QStringLiteral("rows")])
                     .arg(calls));
        const double loadCalls = figures[QStringLiteral("loadcalls_ms")];
        const double floor = figures[QStringLiteral("psql_ms")];
        print(QStringLiteral("loadcalls_pg_ms") + suffix, loadCalls);
        print(QStringLiteral("loadcalls_pg_psql_ms") + suffix, floor);
        std::printf("loadcalls_pg_ratio%s = %.2f\n", qPrintable(suffix), loadCalls / floor);
        print(QStringLiteral("loadcalls_pg_model_ms") + suffix,
              figures[QStringLiteral("loadcalls_model_ms")]);
        print(QStringLiteral("loadcalls_pg_rss_mb") + suffix, figures[QStringLiteral("rss_mb")]);
        for (const char* name : {"find_comments", "save_refresh", "delete_refresh"})
            print(QLatin1String(name) + QStringLiteral("_pg_ms") + suffix,
                  figures[QLatin1String(name) + QStringLiteral("_ms")]);
    }
    savingFigures();
    const QString desk = newServerDatabase(QStringLiteral("bench_desk"));
    {
        ServerLink link(desk);
        link.execute(QStringLiteral("insert into Employees ([First Name]) values ('Nora')"));
        link.execute(QStringLiteral("insert into Customers ([First Name]) values ('Ann')"));
        link.execute(QStringLiteral("insert into [Status] values ('Open')"));
        link.execute(QStringLiteral("insert into [Categories] values ('Network')"));
        link.execute(QStringLiteral("insert into [Priorities] values ('High')"));
    }
    // The desks keep no file of their own: the link given to them is never opened.
    const QString noFile = QCoreApplication::applicationFilePath();
    auto connections = runChild({QStringLiteral("--connections"), desk}, noFile);
    print(QStringLiteral("pg_connections_per_desk"), connections[QStringLiteral("connections")]);
    auto reconnect = runChild({QStringLiteral("--reconnect"), desk}, noFile);
    print(QStringLiteral("pg_reconnect_s"), reconnect[QStringLiteral("pg_reconnect_s")]);
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--loadcalls") == 0)
        return childLoadCalls(QString::fromLocal8Bit(argv[2]), argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--connections") == 0)
        return childConnections(QString::fromLocal8Bit(argv[2]), argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--reconnect") == 0)
        return childReconnect(QString::fromLocal8Bit(argv[2]), argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "--desk") == 0)
        return childDesk(std::atoi(argv[2]), QString::fromLocal8Bit(argv[3]), std::atoll(argv[4]),
                         argc, argv);
    // The saving figures alone.
    if (argc == 2 && std::strcmp(argv[1], "--saving") == 0) {
        QCoreApplication app(argc, argv);
        savingFigures();
        return 0;
    }
    return parent(argc, argv);
}
