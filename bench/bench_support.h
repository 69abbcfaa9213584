#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
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

// --sizes N,N,... and --cache FOLDER from the command line.
struct BenchOptions {
    std::vector<long long> sizes;
    QString cache;
};
BenchOptions parseOptions(std::vector<long long> defaultSizes);
