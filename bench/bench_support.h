#pragma once

#include "ui/prompts.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

double median(std::vector<double> values);
double milliseconds(const QElapsedTimer& timer);
long long monotonicNanoseconds();
// Peak resident memory of this process in MB.
double peakMemoryMb();
// Prints one figure as "name = value".
void print(const QString& name, double value);
[[noreturn]] void fail(const QString& message);

// "100k", "1m" or the number itself.
QString sizeSuffix(long long calls);
// The generated database of `calls` calls in the folder `cache`, made when missing.
QString database(const QString& cache, long long calls);
// Runs this program with `arguments` over the database `path` in a private data and config
// home; answers the "name = value" lines it printed. With `stampLaunch` the launch time goes
// in as the second argument.
std::map<QString, double> runChild(const QStringList& arguments, const QString& path,
                                   bool stampLaunch = false);

// The database of `calls` calls on the throwaway database server that QUORVANE_TEST_SERVER
// names (bench/run starts one), copied up from the generated file when missing; answers its
// URI.
QString serverDatabase(const QString& cache, long long calls);
// A new empty server database with the call log installed; answers its URI.
QString newServerDatabase(const QString& name);
// The server's URI with another database name.
QString withDatabase(const QString& uri, const QString& database);

// --sizes N,N,..., --cache FOLDER and --server (on the database server) from the command line.
struct BenchOptions {
    std::vector<long long> sizes;
    QString cache;
    bool server = false;
};
BenchOptions parseOptions(std::vector<long long> defaultSizes);

// A box would wait for a person; in a benchmark any box means something went wrong.
class FailingPrompts : public Prompts {
public:
    int message(const QString& text, int, const QString&) override {
        fail(QStringLiteral("the program showed a box: ") + text);
    }
    std::optional<QString> input(const QString& prompt, const QString&) override {
        fail(QStringLiteral("the program asked: ") + prompt);
    }
    void showModal(QDialog&) override { fail(QStringLiteral("the program opened a window")); }
};

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

class Form1;
// Processes events until the list's viewport has been painted again, i.e. until the view has
// laid out its rows and drawn the visible ones.
void waitForPaint(PaintCounter& counter);
// Loads and shows the main window and waits until every call is listed and painted.
void openWindow(Form1& window, PaintCounter& counter);

// Medians of `runs` reloads of a shown window's list, each after one run of `floorRun` (a
// command-line client reading the same rows), so both see the same machine load: the list
// painted again, LoadCalls alone, and the client. Fails when a reload lists another number
// of calls than the window did.
struct LoadCallsTimes {
    double shown;
    double model;
    double floor;
};
LoadCallsTimes timeLoadCalls(Form1& window, PaintCounter& counter, int runs,
                             const std::function<double()>& floorRun);

// The word that the generator puts into the comments of a few calls only, and into no column.
inline const char* const kCommentsOnlyWord = "quillfeather";
// Medians of: typing `word` into the find bar until the list is painted; Save in the call
// editor on a changed title until the list is painted with it; Yes to the delete question
// until the list is painted without the call (bench_refresh.cpp). Deletes three calls.
struct FindAndRefreshTimes {
    double find;
    double save;
    double remove;
};
FindAndRefreshTimes timeFindAndRefresh(Form1& window, PaintCounter& counter, const QString& word);
