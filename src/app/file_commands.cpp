#include "app/file_commands.h"

#include "app/database_start.h"
#include "app/main_window.h"
#include "data/backup.h"
#include "data/connection.h"
#include "data/database_lock.h"
#include "data/failure.h"
#include "data/private_files.h"
#include "data/server_link.h"
#include "records/call_import.h"
#include "records/mail_import.h"
#include "records/reference_check.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"
#include "ui/shown_text.h"

#include <QFileInfo>
#include <QLocale>
#include <iterator>

namespace FileCommands {
namespace {

// How long a command waits for a restore that is running, as a window does.
constexpr int kWaitForRestoreMs = 10000;

// What a backup is, as it is now: a backup that passed its check when it was made is checked
// again, since the file may have changed (or been put there by hand) since.
QString describeKind(const Backups::Entry& entry) {
    switch (entry.kind) {
    case Backups::Kind::Good:
        try {
            Backups::checkDatabaseFile(entry.path);
        } catch (const Failure& failure) {
            return QStringLiteral("FAILED its check now (%1)").arg(failure.description());
        }
        return QStringLiteral("passed its check");
    case Backups::Kind::Damaged:
        return QStringLiteral("FAILED its check (damaged)");
    case Backups::Kind::Replaced:
        return QStringLiteral("replaced by a restore (not checked)");
    }
    return QString();
}

} // namespace

bool importCalls(const QString& path, QTextStream& out, QTextStream& err) {
    // Like a window, the import holds the file from the start: a restore waits for it, or is
    // refused, instead of replacing the file under it.
    std::unique_ptr<DatabaseLock> lock;
    const QString connectionString = Form1::ConnectionString();
    if (!ServerLink::isServerUri(connectionString.trimmed())) {
        // A new login's first import makes the call log, as the window's first start would;
        // a file that is not there makes none, and says so first.
        if (!QFileInfo::exists(path))
            (void)CallImport(path);
        const QString database = Connection::dataSource(connectionString);
        MakeCallLogToWrite(Form1::DataFolder(), ProgramFolder() + QStringLiteral("/dbBlank.mdb"),
                           database);
        lock = DatabaseLock::shared(database, kWaitForRestoreMs);
    }
    CallImport import(path);
    const QStringList missing = import.missingFields();
    if (!missing.isEmpty())
        throw Failure(QStringLiteral("The file '%1' has no column for %2.")
                          .arg(path, missing.join(QStringLiteral(", "))));
    Connection connection;
    connection.open(connectionString);
    import.prepare(connection);
    if (!import.problems().empty()) {
        for (const CallImport::Problem& problem : import.problems())
            err << path << ':' << problem.line << ": " << problem.why << '\n';
        err << kProductTitle.toLower() << ": " << import.problems().size()
            << " lines cannot be read; nothing was imported.\n";
        err.flush();
        return false;
    }
    const int written = import.write(connection);
    for (const CallImport::Addition& addition : import.additions())
        out << "Added " << addition.kind.toLower() << ": " << addition.text << '\n';
    out << "Imported " << written << " calls from " << path << '\n';
    return true;
}

void importMail(const QStringList& paths, QTextStream& out) {
    // Every message is read before anything is written: a message that cannot be read whole
    // stops the import with its name.
    std::vector<MailMessage> messages;
    for (const QString& path : paths) {
        std::vector<MailMessage> read = MailMessages::ReadFile(path, HtmlAsText);
        std::move(read.begin(), read.end(), std::back_inserter(messages));
    }
    std::unique_ptr<DatabaseLock> lock;
    const QString connectionString = Form1::ConnectionString();
    if (!ServerLink::isServerUri(connectionString.trimmed())) {
        const QString database = Connection::dataSource(connectionString);
        MakeCallLogToWrite(Form1::DataFolder(), ProgramFolder() + QStringLiteral("/dbBlank.mdb"),
                           database);
        lock = DatabaseLock::shared(database, kWaitForRestoreMs);
    }
    Connection connection;
    connection.open(connectionString);
    const MailImport import(std::move(messages));
    for (const QString& name : import.newCustomers(connection))
        out << "Added customer: " << name << '\n';
    const std::vector<qint64> calls = import.write(connection, AttachmentLimit());
    for (size_t i = 0; i < calls.size(); ++i)
        out << "Imported call " << calls[i] << ": " << ShownSafely(import.messages()[i].subject)
            << '\n';
}

void listBackups(const QString& databasePath, QTextStream& out) {
    const QVector<Backups::Entry> entries = Backups::list(databasePath);
    if (entries.isEmpty()) {
        out << "There are no backups of " << databasePath << " in "
            << Backups::folderFor(databasePath) << " yet.\n";
        return;
    }
    out << "Backups of " << databasePath << ", newest first:\n";
    auto size = [](qint64 bytes) {
        return bytes < 0
                   ? QStringLiteral("?")
                   : QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
    };
    for (const Backups::Entry& entry : entries)
        out << entry.date.toString(QStringLiteral("yyyy-MM-dd")) << "  " << size(entry.size)
            << " (restores to " << size(entry.restoredSize) << ")  " << describeKind(entry) << "  "
            << entry.path << '\n';
}

bool checkDatabase(const QString& databasePath, bool onServer, QTextStream& out) {
    bool sound = true;
    if (!onServer) {
        // A folder or a device is no database: the engine would only say "disk I/O error".
        if (const QString why = PrivateFiles::notAFile(databasePath); !why.isEmpty())
            throw Failure(why);
        const QString problem = Backups::integrityProblem(databasePath);
        out << databasePath
            << (problem.isEmpty() ? QStringLiteral(" passed the integrity check.\n")
                                  : QStringLiteral(" FAILED the integrity check: ") + problem +
                                        QLatin1Char('\n'));
        sound = problem.isEmpty();
    }
    Connection connection;
    connection.open(Form1::ConnectionString());
    qint64 total = 0;
    for (const MissingNames& missing : CallsNamingMissing(connection)) {
        if (missing.calls == 0)
            continue;
        out << missing.field << ": " << missing.calls
            << (missing.calls == 1 ? " call names " : " calls name ") << missing.what
            << " that no longer exists\n";
        total += missing.calls;
    }
    if (total == 0)
        out << "Every call names only people and values that exist.\n";
    else
        out << "Such a call opens with that field empty; pick another there and save it.\n";
    out.flush();
    return sound && total == 0;
}

} // namespace FileCommands
