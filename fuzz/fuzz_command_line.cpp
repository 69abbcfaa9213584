// The command line: any arguments (split at NUL) give an exit status of 0, 1 or 2 and a
// message, never a crash. The data folder is an empty one of its own, so no database is
// touched and nothing is written.
#include "app/command_line.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QTemporaryDir* home = [] {
        static int argc = 1;
        static char name[] = "fuzz_command_line";
        static char* argv[] = {name, nullptr};
        new QCoreApplication(argc, argv);
        auto* folder = new QTemporaryDir;
        qputenv("XDG_DATA_HOME", (folder->path() + "/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (folder->path() + "/config").toUtf8());
        QDir::setCurrent(folder->path());
        return folder;
    }();
    (void)home;
    QStringList arguments{QStringLiteral("quorvane")};
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    for (const QByteArray& piece : bytes.split('\0'))
        arguments << QString::fromUtf8(piece);
    // Work that writes files (a backup, an export, a PDF, a restore) is not asked for: only the
    // reading of the arguments is under test.
    static const QStringList writers = {QStringLiteral("--export-csv"), QStringLiteral("--backup"),
                                        QStringLiteral("--restore"), QStringLiteral("--pdf")};
    for (const QString& argument : arguments) {
        if (writers.contains(argument.section(QLatin1Char('='), 0, 0)))
            return 0;
    }
    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    const int status = RunCommands(arguments, out, err);
    if (status < 0 || status > 2)
        std::abort();
    if (status != 0 && errText.isEmpty())
        std::abort();
    return 0;
}
