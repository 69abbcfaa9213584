// The command line: any arguments (split at NUL) give an exit status of 0, 1 or 2, a message
// whenever the status is not 0, and status 2 for an option that does not exist. The data and
// config folders are empty ones of its own and file names are kept inside the working folder
// (one of its own too), so nothing outside is read or written.
#include "app/command_line.h"
#include "fuzz_check.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Every name of an option, the one-letter ones included ("--h" is "-h").
const QStringList kOptions = {"h",      "?",       "help",           "help-all",
                              "v",      "version", "export-csv",     "csv-raw",
                              "backup", "restore", "restore-newest", "list-backups",
                              "report", "pdf",     "server",         "init-server",
                              "copy-to"};
// Options that reach a database server are not tried: a name could be anyone's host.
const QStringList kServerOptions = {"server", "init-server", "copy-to"};
const QStringList kTakeValues = {"export-csv", "backup",      "restore", "report",
                                 "pdf",        "init-server", "copy-to", "server"};

// True when an argument in option position names no option of the program.
bool hasUnknownOption(const QStringList& arguments) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            return false;
        if (!argument.startsWith(QLatin1String("--")))
            continue;
        const QString name = argument.mid(2).section(QLatin1Char('='), 0, 0);
        if (!kOptions.contains(name))
            return true;
        if (kTakeValues.contains(name) && !argument.contains(QLatin1Char('=')))
            ++i; // the next argument is this option's value, whatever it looks like
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication application(*argc, *argv);
    static QTemporaryDir home;
    QTemporaryDir* folder = &home;
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder->path() + "/data"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder->path() + "/config"));
    QDir::setCurrent(folder->path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QStringList arguments{QStringLiteral("quorvane")};
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    for (const QByteArray& piece : bytes.split('\0'))
        arguments << QString::fromUtf8(piece);
    // Files named with a folder could lie anywhere; only names in the working folder are used.
    for (const QString& argument : arguments)
        if (argument.contains(QLatin1Char('/')) || argument.contains(QLatin1Char('\\')) ||
            kServerOptions.contains(argument.mid(2).section(QLatin1Char('='), 0, 0)))
            return 0;
    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    const int status = RunCommands(arguments, out, err);
    check(status >= 0 && status <= 2);
    check(status == 0 || !errText.isEmpty());
    if (hasUnknownOption(arguments))
        check(status == 2);
    return 0;
}
