// The check of the database components at start-up and the routines it uses to run the
// repair package: the processor's address width and starting a program to wait for its end.
#include "app/components_check.h"

#include "app/main_window.h"
#include "data/connection.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "ui/app_paths.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <spawn.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

bool componentsBroken = false;

// Failure numbers of a program that cannot be started, and the base they are reported on.
constexpr int kObjectErrorBase = -2147221504;
constexpr int kFileNotFound = 53;
constexpr int kPermissionDenied = 70;
constexpr int kInvalidCall = 5;
constexpr int kStillActive = 259;

// A connection to a private database in memory: what the program needs of its engine.
std::unique_ptr<Connection> createTestConnection() {
    if (componentsBroken)
        throw Failure(QStringLiteral("Class not registered"));
    auto connection = std::make_unique<Connection>();
    connection->openInMemory();
    return connection;
}

// A recordset on it that also calls the engine's own functions.
std::unique_ptr<Recordset> createTestRecordset(Connection& connection) {
    auto records = std::make_unique<Recordset>();
    records->open(QStringLiteral("select First(x), Last(x), StoredDate('2021-08-31') "
                                 "from (select 1 as x)"),
                  connection, Recordset::kStatic, Recordset::kReadOnly);
    return records;
}

int startFailureNumber(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return kFileNotFound;
    case EACCES:
    case EPERM:
        return kPermissionDenied;
    default:
        return kInvalidCall;
    }
}

} // namespace

void SetDatabaseComponentsBroken(bool broken) {
    componentsBroken = broken;
}

QString AddressWidthOf(const QString& cpuinfo, const QString& kernelMachine) {
    const bool kernel64 =
        kernelMachine.contains(QLatin1String("64")) || kernelMachine == QLatin1String("s390x");
    QString width;
    bool inProcessor = false;
    auto processorWidth = [&](const QStringList& flags) {
        return kernel64 && (flags.isEmpty() || flags.contains(QLatin1String("lm")))
                   ? QStringLiteral("64")
                   : QStringLiteral("32");
    };
    QStringList flags;
    const QStringList lines = cpuinfo.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QString key = line.section(QLatin1Char(':'), 0, 0).trimmed();
        if (key == QLatin1String("processor")) {
            if (inProcessor)
                width = processorWidth(flags);
            inProcessor = true;
            flags.clear();
        } else if (inProcessor && key == QLatin1String("flags")) {
            flags = line.section(QLatin1Char(':'), 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
            // A listed but empty set of flags still says the processor has no long mode.
            if (flags.isEmpty())
                flags << QStringLiteral("-");
        }
    }
    if (inProcessor)
        width = processorWidth(flags);
    return width;
}

QString GetAddressWidth() {
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw Failure(
            QStringLiteral("The processors cannot be listed: %1").arg(file.errorString()));
    struct utsname names {};
    if (uname(&names) != 0)
        throw Failure(QStringLiteral("The kernel cannot be asked for its machine type."));
    return AddressWidthOf(QString::fromLocal8Bit(file.readAll()),
                          QString::fromLocal8Bit(names.machine));
}

int ShellAndWait(const QString& commandLine, std::optional<int> windowStyle) {
    int style = windowStyle.value_or(6);
    if (style < 0 || style > 6)
        style = 6;

    // A command line that names an existing file is that program, blanks in its path and all;
    // anything else is a program followed by its arguments.
    const QStringList words = QFileInfo(commandLine).isFile() ? QStringList{commandLine}
                                                              : QProcess::splitCommand(commandLine);
    if (words.isEmpty())
        return kInvalidCall + kObjectErrorBase;
    std::vector<QByteArray> argumentTexts;
    for (const QString& word : words)
        argumentTexts.push_back(word.toLocal8Bit());
    std::vector<char*> arguments;
    for (QByteArray& text : argumentTexts)
        arguments.push_back(text.data());
    arguments.push_back(nullptr);

    QByteArray styleSetting = "QUORVANE_WINDOW_STYLE=" + QByteArray::number(style);
    std::vector<char*> environment;
    for (char** entry = environ; *entry; ++entry) {
        if (qstrncmp(*entry, "QUORVANE_WINDOW_STYLE=", 22) != 0)
            environment.push_back(*entry);
    }
    environment.push_back(styleSetting.data());
    environment.push_back(nullptr);

    pid_t pid = 0;
    const int error =
        posix_spawnp(&pid, arguments[0], nullptr, nullptr, arguments.data(), environment.data());
    if (error != 0)
        return startFailureNumber(error) + kObjectErrorBase;

    int exitCode = kStillActive;
    do {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (done < 0 && errno != EINTR)
            return startFailureNumber(errno) + kObjectErrorBase;
        QCoreApplication::processEvents();
        usleep(100 * 1000);
    } while (exitCode == kStillActive);
    return exitCode;
}

void Form1::IsADOInstalled() {
    // Quiet throughout: a failing statement is skipped without a report.
    bool failed = false;
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Recordset> records;
    failed |= !Quietly([&] { connection = createTestConnection(); });
    failed |= !Quietly([&] {
        if (!connection)
            throw Failure(QStringLiteral("Object variable or With block variable not set"));
        records = createTestRecordset(*connection);
    });
    if (failed || !connection || !records) {
        const int repair = MsgBox(
            QStringLiteral("Error #193: ADO is not properly installed on this computer. ") +
                QStringLiteral("\r\n") +
                QStringLiteral("You need to have it installed to use this software without "
                               "error.") +
                QStringLiteral("\r\n\r\n") + QStringLiteral("Would you like to repair it now?"),
            Prompts::YesNo);
        if (repair == Prompts::Yes) {
            QString package = ProgramFolder() + QLatin1Char('/');
            QString width;
            Quietly([&] { width = GetAddressWidth(); });
            if (width == QLatin1String("64"))
                package += QStringLiteral("ADOFix64.msu");
            else
                package += QStringLiteral("ADOFix86.msu");
            if (FileExists(package)) {
                Quietly([&] { ShellAndWait(package, 0); });
                const int stop = MsgBox(QStringLiteral("ADO is fixed on this computer. ") +
                                            QStringLiteral("\r\n") +
                                            QStringLiteral("You need to restart your computer and "
                                                           "software.") +
                                            QStringLiteral("\r\n\r\n") +
                                            QStringLiteral("Would you like to stop software now?"),
                                        Prompts::YesNo);
                // Ends at once: no closing steps, nothing saved.
                if (stop == Prompts::Yes)
                    std::_Exit(0);
            }
        } else {
            MsgBox(QStringLiteral("Please check for MDAC installation.") +
                       QStringLiteral("\r\n\r\n") + QStringLiteral("Please check this: ") +
                       QStringLiteral(QUORVANE_KNOWLEDGE_BASE_PAGE) +
                       QStringLiteral(" and look for 'How to obtain this update' section and "
                                      "download the appropriate update.") +
                       QStringLiteral("\r\n\r\n") + QStringLiteral("Please email ") +
                       QStringLiteral(QUORVANE_SUPPORT_EMAIL) +
                       QStringLiteral(" with a screenshot of this message if you have any "
                                      "questions."),
                   Prompts::OkOnly);
        }
    }
    Quietly([&] { records.reset(); });
    Quietly([&] { connection.reset(); });
}
