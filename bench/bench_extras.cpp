// Times the work around the call list and prints one "name = value" line per figure:
//
//   bench_extras [--sizes N,N,...] [--cache FOLDER]
//
// - sqlite3_step_ms: the floor under LoadCalls, a plain step loop over the list's query that
//   reads every column;
// - export_csv_s: every call to a CSV file;
// - window_painted_ms: from the launch to the painted main window; filter_ms: one keystroke
//   in the find bar until the list is painted again (median; filter_max_ms the slowest);
// - backup_ms: writing the compact backup of the database (its rows read in one reading,
//   compressed, written to the disk), beside file_copy_ms: a plain copy of the database file,
//   written to the disk too; backup_mb and db_mb, the sizes of the two; restore_s: building a
//   database from the compact backup (the indexes, the comments' index included) and checking
//   it as --restore does; startup_backup_extra_ms: how much later the main window is painted
//   on a day that needs a backup than on one that does not.
// The databases are those of bench_calls (same cache).
#include "app/daily_backup.h"
#include "app/main_window.h"
#include "bench_support.h"
#include "data/backup.h"
#include "data/backup_files.h"
#include "data/connection.h"
#include "data/file_copy.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "list/find_bar.h"
#include "records/call_export.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sqlite3.h>
#include <vector>

namespace {

constexpr int kRuns = 3;

QString connectionString(const QString& path) {
    return QStringLiteral("provider=microsoft.jet.oledb.4.0;data source=") + path +
           QStringLiteral(";JET OLEDB:Database Password=");
}

// The plain step loop: every column of every row read as text, nothing kept.
double stepLoop(const QString& path) {
    Connection connection;
    connection.open(connectionString(path));
    QElapsedTimer timer;
    timer.start();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(connection.handle(), "select * from [Calls Extended]", -1, &stmt,
                           nullptr) != SQLITE_OK)
        fail(QStringLiteral("cannot read the calls"));
    const int columns = sqlite3_column_count(stmt);
    size_t bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            if (sqlite3_column_text(stmt, i))
                bytes += size_t(sqlite3_column_bytes(stmt, i));
        }
    }
    sqlite3_finalize(stmt);
    const double elapsed = milliseconds(timer);
    if (bytes == 0)
        fail(QStringLiteral("the step loop read nothing"));
    return elapsed;
}

void waitForPaint(PaintCounter& counter, int before) {
    QElapsedTimer timeout;
    timeout.start();
    while (counter.count == before) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (timeout.elapsed() > 120000)
            fail(QStringLiteral("the list was not painted within two minutes"));
    }
}

// Child: from the parent's launch of this process to the first painted main window; then
// keystrokes in the find bar, each until the list is painted again.
int childWindow(long long launchedAt, int argc, char** argv) {
    QApplication app(argc, argv);
    FailingPrompts prompts;
    InstallPrompts(&prompts);
    Form1 window;
    PaintCounter counter(window.ListView1->viewport());
    window.Form_Load();
    window.show();
    waitForPaint(counter, 0);
    print(QStringLiteral("window_painted_ms"), double(monotonicNanoseconds() - launchedAt) / 1e6);

    // The rows arrive after the window is painted; the keystrokes go to the full list.
    while (window.listFilling())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    window.tools()->openFind();
    FindBar* bar = window.tools()->findBar();
    std::vector<double> keystrokes;
    // Typing narrows the list, Backspace widens it again, then another word from scratch.
    const QStringList typed = {"p",   "pr", "pri", "prin", "print", "prin",
                               "pri", "",   "h",   "ha",   "har",   "hard"};
    for (const QString& text : typed) {
        const int before = counter.count;
        QElapsedTimer timer;
        timer.start();
        bar->FindText->setText(text);
        waitForPaint(counter, before);
        keystrokes.push_back(milliseconds(timer));
    }
    print(QStringLiteral("filter_ms"), median(keystrokes));
    print(QStringLiteral("filter_max_ms"), *std::max_element(keystrokes.begin(), keystrokes.end()));
    print(QStringLiteral("rows"), window.callList()->totalRowCount());
    bar->FindText->setText(QString());
    const FindAndRefreshTimes times =
        timeFindAndRefresh(window, counter, QString::fromLatin1(kCommentsOnlyWord));
    print(QStringLiteral("find_comments_ms"), times.find);
    print(QStringLiteral("save_refresh_ms"), times.save);
    print(QStringLiteral("delete_refresh_ms"), times.remove);
    InstallPrompts(nullptr);
    return 0;
}

// The size on disk of the comments' text index, in MB.
double textIndexMb(const QString& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        fail(QStringLiteral("cannot open ") + path);
    double bytes = -1;
    sqlite3_stmt* stmt = nullptr;
    // The pages of its tables where the engine can count them, else the bytes they hold.
    const char* const queries[] = {
        "select sum(pgsize) from dbstat where name like 'CallsText%'",
        "select (select sum(length(block)) from CallsText_data) + (select "
        "sum(length(term)) + 16 * count(*) from CallsText_idx) + (select sum(length(sz)) + 8 * "
        "count(*) from CallsText_docsize)"};
    for (const char* sql : queries) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) == SQLITE_OK &&
            sqlite3_step(stmt) == SQLITE_ROW)
            bytes = sqlite3_column_double(stmt, 0);
        sqlite3_finalize(stmt);
        stmt = nullptr;
        if (bytes >= 0)
            break;
    }
    sqlite3_close(db);
    if (bytes < 0)
        fail(QStringLiteral("the text index of the comments is missing"));
    return bytes / (1024.0 * 1024.0);
}

// Child: the program's start-up with its daily backup, in a private data home that holds a
// copy of the database; prints the time from main() to the exposed window.
int childStartup(int argc, char** argv) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    QApplication app(argc, argv);
    FailingPrompts prompts;
    InstallPrompts(&prompts);
    Form1 window;
    window.Form_Load();
    window.show();
    DailyBackup backup;
    backup.start(Form1::DataFolder() + QStringLiteral("/dbData.mdb"));
    while (!window.windowHandle() || !window.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QCoreApplication::processEvents();
    print(QStringLiteral("painted_ms"), milliseconds(sinceMain));
    backup.wait();
    InstallPrompts(nullptr);
    return 0;
}

double startupWithBackup(const QString& path, bool backupDue) {
    QTemporaryDir home;
    const QString dataFolder = home.path() + QStringLiteral("/data/Merrowfen/Quorvane");
    QDir().mkpath(dataFolder);
    const QString copy = dataFolder + QStringLiteral("/dbData.mdb");
    if (!QFile::copy(path, copy))
        fail(QStringLiteral("cannot copy the database"));
    QDir().mkpath(Backups::folderFor(copy));
    if (!backupDue &&
        !QFile::copy(path, Backups::dailyPath(copy, QDate::currentDate(), Backups::Format::Plain)))
        fail(QStringLiteral("cannot place today's backup"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--startup")});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        fail(QStringLiteral("the start-up child failed: ") +
             QString::fromLocal8Bit(child.readAllStandardError()));
    const QByteArray out = child.readAllStandardOutput();
    const int equals = out.indexOf(" = ");
    if (equals < 0)
        fail(QStringLiteral("the start-up child printed nothing"));
    if (backupDue && !QFile::exists(Backups::dailyPath(copy, QDate::currentDate())))
        fail(QStringLiteral("the start-up made no backup"));
    return out.mid(equals + 3).trimmed().toDouble();
}

void benchmark(const QString& cache, long long calls) {
    const QString path = database(cache, calls);
    const QString suffix = QLatin1Char('_') + sizeSuffix(calls);
    std::vector<double> steps;
    for (int run = 0; run < kRuns; ++run)
        steps.push_back(stepLoop(path));
    print(QStringLiteral("sqlite3_step_ms") + suffix, median(steps));

    QTemporaryDir scratch;
    {
        Connection connection;
        connection.open(connectionString(path));
        QElapsedTimer timer;
        timer.start();
        if (!ExportAllCalls(connection, scratch.filePath(QStringLiteral("calls.csv"))))
            fail(QStringLiteral("the export was cancelled"));
        print(QStringLiteral("export_csv_s") + suffix, milliseconds(timer) / 1000);
    }
    std::vector<double> backups, copies;
    const QString compact = scratch.filePath(QStringLiteral("backup.mdbz"));
    const QString copy = scratch.filePath(QStringLiteral("copy.mdb"));
    for (int run = 0; run < kRuns; ++run) {
        // In turns, so that both see the same load.
        QFile::remove(copy);
        QElapsedTimer timer;
        timer.start();
        CopyWholeFile(path, copy);
        Backups::Files::syncFile(copy);
        copies.push_back(milliseconds(timer));
        timer.start();
        QFile::rename(Backups::compactToPart(path, compact, nullptr), compact);
        backups.push_back(milliseconds(timer));
    }
    QFile::remove(copy);
    print(QStringLiteral("db_mb") + suffix, double(QFileInfo(path).size()) / 1e6);
    print(QStringLiteral("backup_mb") + suffix, double(QFileInfo(compact).size()) / 1e6);
    print(QStringLiteral("backup_ms") + suffix, median(backups));
    print(QStringLiteral("file_copy_ms") + suffix, median(copies));
    {
        QElapsedTimer timer;
        timer.start();
        const QString restored = scratch.filePath(QStringLiteral("restored/dbData.mdb"));
        QDir().mkpath(scratch.filePath(QStringLiteral("restored")));
        Backups::restore(compact, restored);
        print(QStringLiteral("restore_s") + suffix, milliseconds(timer) / 1000);
        print(QStringLiteral("restored_db_mb") + suffix, double(QFileInfo(restored).size()) / 1e6);
        QFile::remove(restored);
    }
    QFile::remove(compact);
    print(QStringLiteral("fts_index_mb") + suffix, textIndexMb(path));
    std::vector<double> painted, filter, filterMax, find, save, remove;
    for (int run = 0; run < kRuns; ++run) {
        auto figures = runChild({QStringLiteral("--window")}, path, true);
        if (figures[QStringLiteral("rows")] != double(calls))
            fail(QStringLiteral("the window listed %1 calls").arg(figures[QStringLiteral("rows")]));
        painted.push_back(figures[QStringLiteral("window_painted_ms")]);
        filter.push_back(figures[QStringLiteral("filter_ms")]);
        filterMax.push_back(figures[QStringLiteral("filter_max_ms")]);
        find.push_back(figures[QStringLiteral("find_comments_ms")]);
        save.push_back(figures[QStringLiteral("save_refresh_ms")]);
        remove.push_back(figures[QStringLiteral("delete_refresh_ms")]);
    }
    print(QStringLiteral("window_painted_ms") + suffix, median(painted));
    print(QStringLiteral("filter_ms") + suffix, median(filter));
    print(QStringLiteral("filter_max_ms") + suffix, median(filterMax));
    print(QStringLiteral("find_comments_ms") + suffix, median(find));
    print(QStringLiteral("save_refresh_ms") + suffix, median(save));
    print(QStringLiteral("delete_refresh_ms") + suffix, median(remove));

    std::vector<double> with, without;
    for (int run = 0; run < kRuns; ++run) {
        without.push_back(startupWithBackup(path, false));
        with.push_back(startupWithBackup(path, true));
    }
    print(QStringLiteral("startup_backup_extra_ms") + suffix, median(with) - median(without));
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--startup") == 0)
        return childStartup(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--window") == 0)
        return childWindow(std::atoll(argv[2]), argc, argv);
    QCoreApplication app(argc, argv);
    const BenchOptions options = parseOptions({100000, 1000000});
    for (long long calls : options.sizes)
        benchmark(options.cache, calls);
    return 0;
}
