// Times the call list against large databases and prints one "name = value" line per figure.
//
//   bench_calls [--sizes N,N,...] [--cache FOLDER]
//
// For every size it makes (or reuses) a generated database, then:
// - starts a child process that opens the main window on that database and reports the time
//   from its launch to the first painted list, and its peak memory (three times);
// - starts a child process that times LoadCalls, in turns with the sqlite3 command-line tool
//   running "select * from [Calls Extended];" as the reference, and header-click sorts in a
//   shown window.
// Each child is a fresh process, so peak memory belongs to one size alone.
#include "app/main_window.h"
#include "bench_support.h"
#include "list/call_list_model.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

namespace {

constexpr int kRuns = 3;     // LoadCalls, the command-line tool and start-up
constexpr int kSortRuns = 5; // header clicks per column

// Runs the command-line tool over the list's query, output discarded; wall time in ms.
double cliRun(const QString& path) {
    QProcess cli;
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    cli.start(QStringLiteral("sqlite3"), {QStringLiteral("-readonly"), path,
                                          QStringLiteral("select * from [Calls Extended];")});
    if (!cli.waitForFinished(-1) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
        fail(QStringLiteral("sqlite3 failed: ") +
             QString::fromLocal8Bit(cli.readAllStandardError()));
    return milliseconds(timer);
}

// ---------------------------------------------------------------------------------------------
// Child side: the main window in this process.

// Start-up: from the parent's launch of this process to the first painted list.
int childStartup(long long launchedAt, const QElapsedTimer& sinceMain, int argc, char** argv) {
    QApplication app(argc, argv);
    FailingPrompts prompts;
    InstallPrompts(&prompts);
    Form1 window;
    PaintCounter counter(window.ListView1->viewport());
    openWindow(window, counter);
    const long long shownAt = monotonicNanoseconds();
    print(QStringLiteral("startup_ms"), double(shownAt - launchedAt) / 1e6);
    print(QStringLiteral("startup_in_process_ms"), milliseconds(sinceMain));
    print(QStringLiteral("rss_mb"), peakMemoryMb());
    print(QStringLiteral("rows"), window.callList()->rowCount());
    InstallPrompts(nullptr);
    return 0;
}

// LoadCalls and header clicks in a shown window. LoadCalls takes turns with the command-line
// tool over the same file, so that both see the same machine load.
int childMeasure(const QString& path, int argc, char** argv) {
    QApplication app(argc, argv);
    FailingPrompts prompts;
    InstallPrompts(&prompts);
    Form1 window;
    PaintCounter counter(window.ListView1->viewport());
    openWindow(window, counter);
    const int rows = window.callList()->rowCount();

    const LoadCallsTimes times =
        timeLoadCalls(window, counter, kRuns, [&] { return cliRun(path); });
    print(QStringLiteral("loadcalls_ms"), times.shown);
    print(QStringLiteral("loadcalls_model_ms"), times.model);
    print(QStringLiteral("sqlite3_cli_ms"), times.floor);

    // One click is the handler plus the repaint of the reordered list.
    auto clicks = [&](int column) {
        std::vector<double> times;
        for (int run = 0; run < kSortRuns; ++run) {
            QElapsedTimer timer;
            timer.start();
            window.ListView1_ColumnClick(column);
            waitForPaint(counter);
            times.push_back(milliseconds(timer));
        }
        return median(times);
    };
    const double byTitle = clicks(1);
    const double byId = clicks(0);
    print(QStringLiteral("sort_ms"), std::max(byTitle, byId));
    print(QStringLiteral("sort_title_ms"), byTitle);
    print(QStringLiteral("sort_id_ms"), byId);

    // A sorted list stays sorted when it is rebuilt. Each LoadCalls takes its turn after the
    // command-line tool, as the unsorted ones above do, so that both find the file in the
    // page cache alike.
    window.ListView1_ColumnClick(1);
    waitForPaint(counter);
    std::vector<double> sorted;
    for (int run = 0; run < kRuns; ++run) {
        cliRun(path);
        QElapsedTimer timer;
        timer.start();
        window.LoadCalls();
        waitForPaint(counter);
        sorted.push_back(milliseconds(timer));
    }
    print(QStringLiteral("loadcalls_sorted_ms"), median(sorted));
    print(QStringLiteral("rss_after_sorting_mb"), peakMemoryMb());
    print(QStringLiteral("rows"), rows);
    InstallPrompts(nullptr);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Parent side.

void benchmark(const QString& cache, long long calls) {
    const QString path = database(cache, calls);
    const QString suffix = QLatin1Char('_') + sizeSuffix(calls);
    auto report = [&](const char* name, double value) {
        print(QString::fromLatin1(name) + suffix, value);
    };

    // One untimed pass puts the file into the page cache for everybody.
    cliRun(path);

    std::vector<double> startup, startupInProcess, memory;
    for (int run = 0; run < kRuns; ++run) {
        auto figures = runChild({QStringLiteral("--startup")}, path, true);
        if (figures[QStringLiteral("rows")] != double(calls))
            fail(QStringLiteral("the window listed %1 calls instead of %2")
                     .arg(figures[QStringLiteral("rows")])
                     .arg(calls));
        startup.push_back(figures[QStringLiteral("startup_ms")]);
        startupInProcess.push_back(figures[QStringLiteral("startup_in_process_ms")]);
        memory.push_back(figures[QStringLiteral("rss_mb")]);
    }
    auto measured = runChild({QStringLiteral("--measure"), path}, path);

    const double loadCalls = measured[QStringLiteral("loadcalls_ms")];
    const double reference = measured[QStringLiteral("sqlite3_cli_ms")];
    report("loadcalls_ms", loadCalls);
    report("sqlite3_cli_ms", reference);
    std::printf("loadcalls_ratio%s = %.2f\n", qPrintable(suffix), loadCalls / reference);
    report("loadcalls_model_ms", measured[QStringLiteral("loadcalls_model_ms")]);
    report("loadcalls_sorted_ms", measured[QStringLiteral("loadcalls_sorted_ms")]);
    report("sort_ms", measured[QStringLiteral("sort_ms")]);
    report("sort_title_ms", measured[QStringLiteral("sort_title_ms")]);
    report("sort_id_ms", measured[QStringLiteral("sort_id_ms")]);
    report("startup_ms", median(startup));
    report("startup_in_process_ms", median(startupInProcess));
    report("rss_mb", median(memory));
    report("rss_after_sorting_mb", measured[QStringLiteral("rss_after_sorting_mb")]);
    std::fflush(stdout);
}

int parent(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<long long> sizes = {100000, 1000000};
    QString cache = QDir::tempPath() + QStringLiteral("/quorvane-bench");
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--sizes") && i + 1 < arguments.size()) {
            sizes.clear();
            for (const QString& size : arguments[++i].split(QLatin1Char(','))) {
                bool ok = false;
                const long long value = size.toLongLong(&ok);
                if (!ok || value < 0)
                    fail(QStringLiteral("'%1' is not a number of calls").arg(size));
                sizes.push_back(value);
            }
        } else if (argument == QLatin1String("--cache") && i + 1 < arguments.size()) {
            cache = arguments[++i];
        } else {
            std::fprintf(stderr, "usage: bench_calls [--sizes N,N,...] [--cache FOLDER]\n");
            return 2;
        }
    }
    if (!QDir().mkpath(cache))
        fail(QStringLiteral("cannot make the cache folder '%1'").arg(cache));
    for (long long calls : sizes)
        benchmark(cache, calls);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    if (argc == 3 && std::strcmp(argv[1], "--startup") == 0)
        return childStartup(std::atoll(argv[2]), sinceMain, argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--measure") == 0)
        return childMeasure(QString::fromLocal8Bit(argv[2]), argc, argv);
    return parent(argc, argv);
}
