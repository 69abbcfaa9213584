// What the benchmarks share: figures, timing, memory, the generated databases and child runs.
#include "bench_support.h"

#include "app/main_window.h"
#include "data/failure.h"
#include "data/server_link.h"
#include "data/server_setup.h"
#include "list/call_list_model.h"
#include "records/server_copy.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double milliseconds(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

long long monotonicNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Peak resident memory of this process in MB.
double peakMemoryMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

void print(const QString& name, double value) {
    std::printf("%s = %.1f\n", qPrintable(name), value);
    std::fflush(stdout);
}

[[noreturn]] void fail(const QString& message) {
    std::fprintf(stderr, "bench: %s\n", qPrintable(message));
    std::exit(1);
}

QString sizeSuffix(long long calls) {
    if (calls > 0 && calls % 1000000 == 0)
        return QString::number(calls / 1000000) + QLatin1Char('m');
    if (calls > 0 && calls % 1000 == 0)
        return QString::number(calls / 1000) + QLatin1Char('k');
    return QString::number(calls);
}

QByteArray fileHash(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("cannot read '%1'").arg(path));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

// The generated database for `calls`, made when missing. The name carries a hash of the
// schema and of the generator, so that changing either makes a new file.
QString database(const QString& cache, long long calls) {
    QCryptographicHash key(QCryptographicHash::Sha256);
    key.addData(fileHash(QStringLiteral(QUORVANE_SCHEMA_FILE)));
    key.addData(fileHash(QStringLiteral(QUORVANE_GENERATOR_SOURCE)));
    const QString path = cache + QStringLiteral("/calls-%1-%2.mdb")
                                     .arg(calls)
                                     .arg(QString::fromLatin1(key.result().toHex().left(12)));
    if (QFile::exists(path))
        return path;
    // Files of the same size made by an older schema or generator are of no further use.
    const QStringList stale = QDir(cache).entryList({QStringLiteral("calls-%1-*.mdb").arg(calls)});
    for (const QString& name : stale)
        QFile::remove(cache + QLatin1Char('/') + name);
    std::fprintf(stderr, "bench: generating %lld calls into %s\n", calls, qPrintable(path));
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer timer;
    timer.start();
    generator.start(QCoreApplication::applicationDirPath() + QStringLiteral("/generate_calls"),
                    {QString::number(calls), path});
    if (!generator.waitForFinished(-1) || generator.exitStatus() != QProcess::NormalExit ||
        generator.exitCode() != 0)
        fail(QStringLiteral("generate_calls failed for %1 calls").arg(calls));
    std::fprintf(stderr, "bench: generated in %.1f s\n", milliseconds(timer) / 1000);
    return path;
}

// Runs this program as a child over `path` in a private data and config home; answers the
// "name = value" lines it printed.
std::map<QString, double> runChild(const QStringList& arguments, const QString& path,
                                   bool stampLaunch) {
    QTemporaryDir home;
    if (!home.isValid())
        fail(QStringLiteral("cannot make a temporary folder"));
    const QString dataFolder = home.path() + QStringLiteral("/data/Merrowfen/Quorvane");
    QDir().mkpath(dataFolder);
    QDir().mkpath(home.path() + QStringLiteral("/config"));
    // A link, not a copy: the program only reads, and the large files stay in the cache.
    if (!QFile::link(path, dataFolder + QStringLiteral("/dbData.mdb")))
        fail(QStringLiteral("cannot link the database into '%1'").arg(dataFolder));

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess child;
    child.setProcessEnvironment(environment);
    QStringList all = arguments;
    if (stampLaunch)
        all.insert(1, QString::number(monotonicNanoseconds()));
    child.start(QCoreApplication::applicationFilePath(), all);
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit ||
        child.exitCode() != 0) {
        std::fprintf(stderr, "%s", child.readAllStandardError().constData());
        fail(QStringLiteral("the child run %1 failed").arg(arguments.join(QLatin1Char(' '))));
    }
    std::map<QString, double> figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const int equals = line.indexOf(" = ");
        if (equals > 0)
            figures[QString::fromUtf8(line.left(equals))] = line.mid(equals + 3).toDouble();
    }
    return figures;
}

// Processes events until the list's viewport has been painted again, i.e. until the view has
// laid out its rows and drawn the visible ones.
void waitForPaint(PaintCounter& counter) {
    const int before = counter.count;
    QElapsedTimer timeout;
    timeout.start();
    while (counter.count == before) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (timeout.elapsed() > 120000)
            fail(QStringLiteral("the list was not painted within two minutes"));
    }
}

void openWindow(Form1& window, PaintCounter& counter) {
    window.Form_Load();
    window.show();
    QElapsedTimer timeout;
    timeout.start();
    while (!window.windowHandle() || !window.windowHandle()->isExposed() || counter.count == 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (timeout.elapsed() > 120000)
            fail(QStringLiteral("the main window was not shown within two minutes"));
    }
    // The rows arrive after the window is painted: wait for the last of them to be painted.
    if (window.listFilling()) {
        while (window.listFilling()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (timeout.elapsed() > 120000)
                fail(QStringLiteral("the list was not filled within two minutes"));
        }
        const int before = counter.count;
        window.ListView1->viewport()->update();
        while (counter.count == before)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

QString withDatabase(const QString& uri, const QString& database) {
    QUrl url(uri);
    url.setPath(QLatin1Char('/') + database);
    return url.toString();
}

namespace {
QString maintenanceUri() {
    const QString uri = qEnvironmentVariable("QUORVANE_TEST_SERVER");
    if (uri.isEmpty())
        fail(QStringLiteral("no database server: run the server benchmarks through bench/run, "
                            "which starts one (QUORVANE_TEST_SERVER)"));
    return uri;
}
} // namespace

QString newServerDatabase(const QString& name) {
    try {
        ServerLink maintenance(maintenanceUri(), false);
        maintenance.run(QStringLiteral("drop database if exists %1 with (force)").arg(name));
        maintenance.run(QStringLiteral("create database %1").arg(name));
        const QString uri = withDatabase(maintenanceUri(), name);
        InstallServerSchema(uri);
        return uri;
    } catch (const Failure& failure) {
        fail(failure.description());
    }
}

QString serverDatabase(const QString& cache, long long calls) {
    const QString name = QStringLiteral("bench_calls_%1").arg(calls);
    const QString uri = withDatabase(maintenanceUri(), name);
    try {
        {
            ServerLink maintenance(maintenanceUri(), false);
            auto exists = maintenance.run(
                QStringLiteral("select count(*) from pg_database where datname = $1"), {name});
            if (QByteArray(exists->text(0, 0)).toInt() > 0) {
                ServerLink link(uri);
                if (QByteArray(link.run(QStringLiteral("select count(*) from calls"))->text(0, 0))
                        .toLongLong() == calls)
                    return uri;
            }
            maintenance.run(QStringLiteral("drop database if exists %1 with (force)").arg(name));
            maintenance.run(QStringLiteral("create database %1").arg(name));
        }
        const QString path = database(cache, calls);
        std::fprintf(stderr, "bench: copying %lld calls to the server\n", calls);
        QElapsedTimer timer;
        timer.start();
        // The generated file holds its dates in the stored form already: the trigger that reads
        // date text stays off while the rows go in, which makes the copy several times faster.
        // Every row is still compared with the file.
        InstallServerSchema(uri);
        ServerLink(uri).run(QStringLiteral("alter table calls disable trigger calls_dates"));
        CopyToServer(path, uri);
        ServerLink link(uri);
        link.run(QStringLiteral("alter table calls enable trigger calls_dates"));
        link.run(QStringLiteral("vacuum analyze"));
        std::fprintf(stderr, "bench: copied in %.1f s\n", milliseconds(timer) / 1000);
    } catch (const Failure& failure) {
        fail(failure.description());
    }
    return uri;
}

BenchOptions parseOptions(std::vector<long long> defaultSizes) {
    BenchOptions options;
    options.sizes = std::move(defaultSizes);
    options.cache = QDir::tempPath() + QStringLiteral("/quorvane-bench");
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--sizes") && i + 1 < arguments.size()) {
            options.sizes.clear();
            for (const QString& size : arguments[++i].split(QLatin1Char(','))) {
                bool ok = false;
                const long long value = size.toLongLong(&ok);
                if (!ok || value < 0)
                    fail(QStringLiteral("'%1' is not a number of calls").arg(size));
                options.sizes.push_back(value);
            }
        } else if (argument == QLatin1String("--cache") && i + 1 < arguments.size()) {
            options.cache = arguments[++i];
        } else if (argument == QLatin1String("--server")) {
            options.server = true;
        } else {
            fail(QStringLiteral("usage: [--sizes N,N,...] [--cache FOLDER] [--server]"));
        }
    }
    if (!QDir().mkpath(options.cache))
        fail(QStringLiteral("cannot make the cache folder '%1'").arg(options.cache));
    return options;
}

LoadCallsTimes timeLoadCalls(Form1& window, PaintCounter& counter, int runs,
                             const std::function<double()>& floorRun) {
    const int rows = window.callList()->rowCount();
    std::vector<double> model, shown, floor;
    for (int run = 0; run < runs; ++run) {
        floor.push_back(floorRun());
        QElapsedTimer timer;
        timer.start();
        window.LoadCalls();
        model.push_back(milliseconds(timer));
        waitForPaint(counter);
        shown.push_back(milliseconds(timer));
        if (window.callList()->rowCount() != rows)
            fail(QStringLiteral("LoadCalls listed a different number of calls"));
    }
    return {median(shown), median(model), median(floor)};
}
