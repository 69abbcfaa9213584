// Times the summary window and the import of calls from CSV, and prints one "name = value"
// line per figure.
//
//   bench_summary [--sizes N,N,...] [--cache FOLDER] [--server]
//
// summary_ms: from opening the summary window to all four charts painted, at 1,000,000 calls
// unless told (median of three). import_csv_s: the 100,000 calls of the generated database (and
// the 1,000,000 when that size is asked for, on the file), exported to CSV, read, checked and
// written into an empty call log. With --server the same
// on a database server (QUORVANE_TEST_SERVER, started by bench/run), named ..._pg_...
#include "bench_support.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "records/call_export.h"
#include "records/call_import.h"
#include "summary/summary_page.h"
#include "summary/summary_window.h"

#include <QApplication>
#include <QChartView>
#include <QFile>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <algorithm>

namespace {

constexpr int kRuns = 3;
constexpr long long kImportCalls = 100000;

QString fileConnection(const QString& path) {
    return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + path;
}

double summaryMs() {
    QStandardItemModel calls;
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer clock;
        clock.start();
        auto* window = new SummaryWindow(&calls, nullptr);
        std::vector<std::unique_ptr<PaintCounter>> counters;
        for (QChartView* view : window->page()->findChildren<QChartView*>())
            counters.push_back(std::make_unique<PaintCounter>(view->viewport()));
        window->show();
        // Until every chart has been painted once.
        auto painted = [&] {
            for (auto& counter : counters) {
                if (counter->count == 0)
                    return false;
            }
            return !counters.empty();
        };
        while (!painted()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            if (clock.elapsed() > 120000)
                fail(QStringLiteral("the charts were not painted within two minutes"));
        }
        times.push_back(milliseconds(clock));
        delete window;
    }
    return median(times);
}

double importSeconds(const QString& from, const QString& into, long long calls) {
    QTemporaryDir folder;
    const QString csv = folder.path() + QStringLiteral("/calls.csv");
    {
        Connection source;
        source.open(fileConnection(from));
        ExportAllCalls(source, csv);
    }
    Connection target;
    target.open(into);
    QElapsedTimer clock;
    clock.start();
    CallImport import(csv);
    import.prepare(target);
    if (!import.problems().empty())
        fail(QStringLiteral("line %1 of the export cannot be read: %2")
                 .arg(import.problems().front().line)
                 .arg(import.problems().front().why));
    const int written = import.write(target);
    const double seconds = milliseconds(clock) / 1000;
    Recordset count;
    count.open(QStringLiteral("select count(*) from Calls"), target);
    if (written != calls || count.field(0).toInteger() != calls)
        fail(QStringLiteral("%1 calls were imported instead of %2").arg(written).arg(calls));
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    FailingPrompts prompts;
    InstallPrompts(&prompts);
    const BenchOptions options = parseOptions({1000000});
    const QString infix = options.server ? QStringLiteral("_pg") : QString();
    try {
        for (long long calls : options.sizes) {
            const QString path = database(options.cache, calls);
            CreateSharedConnection();
            SharedConnection().open(options.server ? serverDatabase(options.cache, calls)
                                                   : fileConnection(path));
            print(QStringLiteral("summary%1_ms_%2").arg(infix, sizeSuffix(calls)), summaryMs());
            ReleaseSharedConnection();
        }
        // The import of 100,000 calls, and of 1,000,000 when that size is asked for.
        std::vector<long long> imports{kImportCalls};
        if (!options.server &&
            std::count(options.sizes.begin(), options.sizes.end(), 1000000LL) > 0)
            imports.push_back(1000000);
        for (const long long calls : imports) {
            const QString source = database(options.cache, calls);
            QTemporaryDir folder;
            QString target;
            if (options.server) {
                target = newServerDatabase(QStringLiteral("bench_import"));
            } else {
                target = folder.path() + QStringLiteral("/dbData.mdb");
                if (!QFile::copy(QCoreApplication::applicationDirPath() +
                                     QStringLiteral("/dbBlank.mdb"),
                                 target))
                    fail(QStringLiteral("cannot copy the template database"));
                QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
                target = fileConnection(target);
            }
            print(QStringLiteral("import_csv%1_s_%2").arg(infix, sizeSuffix(calls)),
                  importSeconds(source, target, calls));
        }
    } catch (const Failure& failure) {
        fail(failure.description());
    }
    InstallPrompts(nullptr);
    return 0;
}
