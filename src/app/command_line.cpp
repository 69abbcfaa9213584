#include "app/command_line.h"

#include "app/attachment_commands.h"
#include "app/database_start.h"
#include "app/file_commands.h"
#include "app/main_window.h"
#include "data/backup.h"
#include "data/connection.h"
#include "data/failure.h"
#include "data/server_link.h"
#include "data/server_setup.h"
#include "data/shared_connection.h"
#include "data/stale_journal.h"
#include "records/call_export.h"
#include "records/csv_writer.h"
#include "records/server_copy.h"
#include "reports/report_catalog.h"
#include "summary/summary_page.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <new>

namespace {

enum Status { kSuccess = 0, kFailed = 1, kUsage = 2 };

QString databasePath() {
    return Form1::DataFolder() + QStringLiteral("/dbData.mdb");
}

} // namespace

bool IsCommandLineWork(const QStringList& arguments) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        // Choosing the server alone still opens the window.
        if (argument == QLatin1String("--server")) {
            ++i;
            continue;
        }
        if (argument.startsWith(QLatin1String("--server=")))
            continue;
        if (argument.startsWith(QLatin1String("--")) || argument == QLatin1String("-h") ||
            argument == QLatin1String("-v") || argument == QLatin1String("-?"))
            return true;
    }
    return false;
}

namespace {

// The options of the program, shared by the work without a window and the window's own
// check of its arguments.
struct Options {
    QCommandLineParser parser;
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption exportCsv{
        QStringLiteral("export-csv"),
        QStringLiteral("Write every call to FILE as comma-separated values. A text that a "
                       "spreadsheet would take for a formula (beginning with =, +, -, @, a tab or "
                       "a carriage return) is written with a leading apostrophe."),
        QStringLiteral("FILE")};
    QCommandLineOption csvRaw{QStringLiteral("csv-raw"),
                              QStringLiteral("With --export-csv: write every text as stored, "
                                             "without the leading apostrophe.")};
    QCommandLineOption backup{
        QStringLiteral("backup"),
        QStringLiteral("Back the database up into FILE: a plain database file when FILE ends "
                       "in .mdb, else a compact backup (the rows, compressed; the indexes are "
                       "built again by --restore). The backup is checked before it counts (with "
                       "--server: the server's call log, as one snapshot, of the same kind)."),
        QStringLiteral("FILE")};
    QCommandLineOption restore{
        QStringLiteral("restore"),
        QStringLiteral("Replace the database with the backup FILE (plain or compact) after "
                       "checking it; the "
                       "replaced database is kept in the backups folder. Without FILE, the "
                       "newest sound backup is restored. Refused while a window has the "
                       "database open (with --server: copy FILE into the empty server "
                       "database)."),
        QStringLiteral("FILE")};
    QCommandLineOption restoreNewest{QStringLiteral("restore-newest")};
    QCommandLineOption listBackups{
        QStringLiteral("list-backups"),
        QStringLiteral("List the backups of the database with their dates, sizes, the sizes "
                       "they restore to and whether they pass their check.")};
    QCommandLineOption report{QStringLiteral("report"), QString(), QStringLiteral("NAME")};
    QCommandLineOption pdf{QStringLiteral("pdf"),
                           QStringLiteral("The PDF file that --report writes."),
                           QStringLiteral("FILE")};
    QCommandLineOption server{
        QStringLiteral("server"),
        QStringLiteral("Use the call log in the database server that URI names "
                       "(postgresql://host/database) instead of the local file, for this run."),
        QStringLiteral("URI")};
    QCommandLineOption initServer{
        QStringLiteral("init-server"),
        QStringLiteral("Install an empty call log into the empty server database URI."),
        QStringLiteral("URI")};
    QCommandLineOption copyTo{
        QStringLiteral("copy-to"),
        QStringLiteral("Copy the local database into the empty server database URI, ids kept, "
                       "and compare every row; the local file is only read."),
        QStringLiteral("URI")};
    QCommandLineOption importCsv{
        QStringLiteral("import-csv"),
        QStringLiteral("Add the calls of the CSV file FILE (an export of this program, or a "
                       "spreadsheet's, columns found by their header names); people and list "
                       "values that do not exist yet are added and listed. Nothing is written "
                       "when a line cannot be read."),
        QStringLiteral("FILE")};
    QCommandLineOption summary{
        QStringLiteral("summary"),
        QStringLiteral("Write the summary of the calls (the page of the Summary window) to the "
                       "PDF file FILE."),
        QStringLiteral("FILE")};
    QCommandLineOption check{
        QStringLiteral("check"),
        QStringLiteral("Check the database (with --server: the server's call log): the "
                       "engine's integrity check of the file, and the calls that name a person "
                       "or value that no longer exists, counted by field. Exit status 1 when "
                       "either finds something.")};
    QCommandLineOption attachments{
        QStringLiteral("attachments"),
        QStringLiteral("List the files attached to the call ID, one a line: name, size in bytes, "
                       "type, when and by whom added, separated by tabs."),
        QStringLiteral("ID")};
    QCommandLineOption saveAttachment{
        QStringLiteral("save-attachment"),
        QStringLiteral("With NAME FILE after it: write the attachment NAME of the call ID (as "
                       "--attachments lists it) into FILE."),
        QStringLiteral("ID")};
    QCommandLineOption importMail{
        QStringLiteral("import-mail"),
        QStringLiteral("Make a call of each mail message in FILE and the files after it (each a "
                       "message as a mail program saves it, or an mbox): title, caller, date, "
                       "text, and the other parts and the message as attachments. Nothing is "
                       "written when a message cannot be read whole."),
        QStringLiteral("FILE")};
    QStringList reportNames;

    Options() {
        parser.setApplicationDescription(
            QStringLiteral("Logs customer calls. Without options it opens its window; the "
                           "options below work without one."));
        for (const ReportEntry& entry : ReportEntries())
            reportNames << QLatin1Char('"') + entry.name + QLatin1Char('"');
        report.setDescription(
            QStringLiteral("Write the report NAME to the file given by --pdf; NAME is one of %1.")
                .arg(reportNames.join(QStringLiteral(", "))));
        restoreNewest.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOptions({exportCsv, csvRaw, backup, restore, restoreNewest, listBackups, report,
                           pdf, server, initServer, copyTo, importCsv, summary, check, attachments,
                           saveAttachment, importMail});
    }

    QVector<const QCommandLineOption*> actions() const {
        return {&exportCsv, &backup,      &restore,        &restoreNewest, &listBackups,
                &report,    &initServer,  &copyTo,         &importCsv,     &summary,
                &check,     &attachments, &saveAttachment, &importMail};
    }
};

// "--restore" with no file after it asks for the newest sound backup.
QStringList withBareRestore(QStringList arguments) {
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--restore") &&
            (i + 1 == arguments.size() || arguments.at(i + 1).startsWith(QLatin1Char('-'))))
            arguments[i] = QStringLiteral("--restore-newest");
    }
    return arguments;
}

int usage(QTextStream& err, const QString& why) {
    err << kProductTitle.toLower() << ": " << why << '\n' << "Try '--help' for the options.\n";
    err.flush();
    return kUsage;
}

// A URI on the command line is seen by every login of the computer (in the list of its
// processes): one holding a password is refused, and the person told where it goes.
std::optional<int> refusedPassword(const QString& option, const QString& uri, QTextStream& err) {
    if (!ServerLink::holdsPassword(uri))
        return std::nullopt;
    return usage(err, QStringLiteral("'--%1' takes no password in the URI, where every login of "
                                     "this computer can read it in the list of processes. Give "
                                     "the URI without it (%2) and keep the password in ~/.pgpass, "
                                     "the connection service file or the environment "
                                     "(PGPASSWORD).")
                          .arg(option, ServerLink::displayed(uri)));
}

// The server that --server names, when there is one: given once, not empty, a server URI.
std::optional<int> checkServer(const Options& options, QTextStream& err) {
    const QStringList values = options.parser.values(options.server);
    if (values.size() > 1)
        return usage(err, QStringLiteral("'--server' is given more than once."));
    if (values.isEmpty())
        return std::nullopt;
    const QString uri = values.first().trimmed();
    if (uri.isEmpty())
        return usage(err, QStringLiteral("'--server' needs the URI of a database server, such "
                                         "as postgresql://host/database."));
    if (const std::optional<int> status = refusedPassword(QStringLiteral("server"), uri, err))
        return status;
    if (!ServerLink::isServerUri(uri))
        return usage(err, QStringLiteral("'%1' is not the URI of a database server, such as "
                                         "postgresql://host/database.")
                              .arg(uri));
    return std::nullopt;
}

} // namespace

std::optional<int> CheckWindowArguments(const QStringList& arguments, QTextStream& err) {
    Options options;
    if (!options.parser.parse(arguments))
        return usage(err, options.parser.errorText());
    if (!options.parser.positionalArguments().isEmpty())
        return usage(err, QStringLiteral("unexpected argument '%1'.")
                              .arg(options.parser.positionalArguments().first()));
    if (const std::optional<int> status = checkServer(options, err))
        return status;
    if (options.parser.isSet(options.server))
        Form1::UseServer(options.parser.value(options.server));
    return std::nullopt;
}

int RunCommands(const QStringList& givenArguments, QTextStream& out, QTextStream& err) {
    Options options;
    QCommandLineParser& parser = options.parser;
    const QStringList arguments = withBareRestore(givenArguments);
    if (!parser.parse(arguments))
        return usage(err, parser.errorText());
    if (parser.isSet(options.help)) {
        out << parser.helpText();
        out.flush();
        return kSuccess;
    }
    if (parser.isSet(options.version)) {
        out << kProductTitle << ' ' << QUORVANE_VERSION << '\n';
        out.flush();
        return kSuccess;
    }
    // Only --save-attachment takes arguments of its own: the name and the file.
    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(options.saveAttachment) && positional.size() != 2)
        return usage(err, QStringLiteral("--save-attachment ID takes the attachment's NAME and the "
                                         "FILE to write after it."));
    if (!parser.isSet(options.saveAttachment) && !parser.isSet(options.importMail) &&
        !positional.isEmpty())
        return usage(err, QStringLiteral("unexpected argument '%1'.").arg(positional.first()));
    int actions = 0;
    for (const QCommandLineOption* option : options.actions()) {
        if (parser.isSet(*option)) {
            ++actions;
            if (parser.values(*option).size() > 1 ||
                (option->valueName().isEmpty() &&
                 arguments.count(QStringLiteral("--") + option->names().first()) > 1))
                return usage(
                    err,
                    QStringLiteral("'--%1' is given more than once.").arg(option->names().first()));
        }
    }
    if (parser.isSet(options.csvRaw) && !parser.isSet(options.exportCsv))
        return usage(err, QStringLiteral("--csv-raw goes with --export-csv."));
    if (parser.isSet(options.restore) && parser.isSet(options.restoreNewest))
        return usage(err, QStringLiteral("'--restore' is given more than once."));
    if (actions != 1)
        return usage(err,
                     QStringLiteral("give exactly one of --export-csv, --import-csv, --backup, "
                                    "--restore, --list-backups, --check, --report, "
                                    "--summary, --init-server, --copy-to, --attachments, "
                                    "--save-attachment, --import-mail."));
    for (const QCommandLineOption* option :
         {&options.exportCsv, &options.backup, &options.restore, &options.pdf, &options.initServer,
          &options.copyTo, &options.importCsv, &options.summary, &options.attachments,
          &options.saveAttachment, &options.importMail}) {
        if (parser.isSet(*option) && parser.value(*option).trimmed().isEmpty())
            return usage(err, QStringLiteral("'--%1' needs a value that is not empty.")
                                  .arg(option->names().first()));
    }
    for (const QCommandLineOption* option : {&options.attachments, &options.saveAttachment}) {
        if (parser.isSet(*option) && !AttachmentCommands::callNumber(parser.value(*option)))
            return usage(err, QStringLiteral("'--%1' needs the ID of a call (a whole number "
                                             "above 0), not '%2'.")
                                  .arg(option->names().first(), parser.value(*option)));
    }
    if (parser.isSet(options.saveAttachment) && positional.at(1).trimmed().isEmpty())
        return usage(err, QStringLiteral("'--save-attachment' needs a FILE that is not empty."));
    if (const std::optional<int> status = checkServer(options, err))
        return *status;
    for (const QCommandLineOption* option : {&options.initServer, &options.copyTo}) {
        if (parser.isSet(*option)) {
            if (const std::optional<int> status =
                    refusedPassword(option->names().first(), parser.value(*option), err))
                return *status;
        }
    }
    if (parser.isSet(options.server) && !parser.isSet(options.exportCsv) &&
        !parser.isSet(options.importCsv) && !parser.isSet(options.report) &&
        !parser.isSet(options.summary) && !parser.isSet(options.backup) &&
        !parser.isSet(options.restore) && !parser.isSet(options.check) &&
        !parser.isSet(options.attachments) && !parser.isSet(options.saveAttachment) &&
        !parser.isSet(options.importMail))
        return usage(err, QStringLiteral("--server goes with --export-csv, --import-csv, --report, "
                                         "--summary, --backup, --restore, --check, "
                                         "--attachments, --save-attachment, --import-mail or "
                                         "the window."));
    if (parser.isSet(options.server))
        Form1::UseServer(parser.value(options.server));
    if (parser.isSet(options.report) != parser.isSet(options.pdf))
        return usage(err, QStringLiteral("--report and --pdf go together."));
    if (parser.isSet(options.report) && !FindReportEntry(parser.value(options.report)))
        return usage(err, QStringLiteral("there is no report named \"%1\"; the reports are %2.")
                              .arg(parser.value(options.report),
                                   options.reportNames.join(QStringLiteral(", "))));

    try {
        // The commands that read the local call log need one; they do not make it.
        const bool reads = parser.isSet(options.exportCsv) || parser.isSet(options.summary) ||
                           parser.isSet(options.report) || parser.isSet(options.check) ||
                           parser.isSet(options.backup) || parser.isSet(options.copyTo) ||
                           parser.isSet(options.attachments) ||
                           parser.isSet(options.saveAttachment);
        if (reads && !ServerLink::isServerUri(Form1::ConnectionString().trimmed()))
            RequireCallLog(databasePath());
        // What a run killed at the wrong moment left of the engine's journal goes first.
        if (!parser.isSet(options.server) && !parser.isSet(options.initServer))
            StaleJournal::remove(databasePath());
        if (parser.isSet(options.exportCsv)) {
            Connection connection;
            connection.open(Form1::ConnectionString());
            ExportAllCalls(connection, parser.value(options.exportCsv), {},
                           parser.isSet(options.csvRaw) ? Csv::Text::AsStored : Csv::Text::Guarded);
        } else if (parser.isSet(options.attachments)) {
            AttachmentCommands::list(
                AttachmentCommands::callNumber(parser.value(options.attachments)), out);
        } else if (parser.isSet(options.saveAttachment)) {
            AttachmentCommands::save(
                AttachmentCommands::callNumber(parser.value(options.saveAttachment)),
                positional.at(0), positional.at(1), out);
        } else if (parser.isSet(options.importMail)) {
            FileCommands::importMail(QStringList{parser.value(options.importMail)} + positional,
                                     out);
        } else if (parser.isSet(options.importCsv)) {
            if (!FileCommands::importCalls(parser.value(options.importCsv), out, err))
                return kFailed;
        } else if (parser.isSet(options.summary)) {
            Connection connection;
            connection.open(Form1::ConnectionString());
            WriteSummaryPdf(connection, parser.value(options.summary));
        } else if (parser.isSet(options.backup) && parser.isSet(options.server)) {
            // The server's call log, as one snapshot, into a file that --copy-to (or --server
            // with --restore) puts back.
            const QString uri = parser.value(options.server).trimmed();
            const QString target = parser.value(options.backup);
            const bool plain = Backups::formatFor(target) == Backups::Format::Plain;
            // A compact backup is made from a database file of the server's call log, written
            // beside it first and removed again.
            const QString file = plain ? target : target + QStringLiteral("-rows.mdb");
            struct Removed {
                QString path;
                ~Removed() {
                    if (!path.isEmpty())
                        QFile::remove(path);
                }
            } removed{plain ? QString() : file};
            const QVector<CopiedTable> tables =
                BackupServer(uri, ProgramFolder() + QStringLiteral("/dbBlank.mdb"), file);
            if (!plain)
                Backups::backupTo(file, target);
            for (const CopiedTable& table : tables)
                out << table.table << ": " << table.rows << " rows\n";
            out << "Backed up the call log of " << ServerLink::displayed(uri) << " into " << target
                << (plain ? " (a plain database file)\n" : " (a compact backup)\n");
        } else if (parser.isSet(options.restore) && parser.isSet(options.server)) {
            const QString uri = parser.value(options.server).trimmed();
            QString from = parser.value(options.restore);
            // A compact backup goes up from the database built from it, removed again.
            QTemporaryDir built;
            if (Backups::isCompact(from)) {
                if (!built.isValid())
                    throw Failure(QStringLiteral("No temporary folder can be made to build '%1' "
                                                 "in.")
                                      .arg(from));
                from = Backups::expandToPart(from, built.filePath(QStringLiteral("restored.mdb")));
            }
            const QVector<CopiedTable> tables = CopyToServer(from, uri);
            for (const CopiedTable& table : tables)
                out << table.table << ": " << table.rows << " rows copied and compared\n";
            out << "Restored the call log of " << ServerLink::displayed(uri) << " from "
                << parser.value(options.restore) << '\n';
        } else if (parser.isSet(options.backup)) {
            const QString target = parser.value(options.backup);
            Backups::backupTo(databasePath(), target);
            out << (Backups::formatFor(target) == Backups::Format::Plain
                        ? "Wrote a plain database file (any SQLite program opens it): "
                        : "Wrote a compact backup (restored with --restore): ")
                << target << '\n';
        } else if (parser.isSet(options.listBackups)) {
            FileCommands::listBackups(databasePath(), out);
        } else if (parser.isSet(options.check)) {
            if (!FileCommands::checkDatabase(databasePath(), parser.isSet(options.server), out))
                return kFailed;
        } else if (parser.isSet(options.initServer)) {
            InstallServerSchema(parser.value(options.initServer));
            out << "Installed an empty call log into "
                << ServerLink::displayed(parser.value(options.initServer)) << '\n'
                << "Logins get the role quorvane_writer to read and change it, or "
                   "quorvane_reader to read it only (GRANT quorvane_writer TO login;).\n";
        } else if (parser.isSet(options.copyTo)) {
            const QVector<CopiedTable> tables =
                CopyToServer(databasePath(), parser.value(options.copyTo));
            for (const CopiedTable& table : tables)
                out << table.table << ": " << table.rows << " rows copied and compared\n";
            out << "Copied the database to " << ServerLink::displayed(parser.value(options.copyTo))
                << '\n';
        } else if (parser.isSet(options.restore) || parser.isSet(options.restoreNewest)) {
            QString from = parser.value(options.restore);
            QStringList setAside;
            const QString kept = from.isEmpty()
                                     ? Backups::restoreNewest(databasePath(), &from, &setAside)
                                     : Backups::restore(from, databasePath());
            for (const QString& aside : setAside)
                out << "Set aside a backup that failed its check: " << aside << '\n';
            out << "Restored the database from " << from << '\n';
            if (!kept.isEmpty())
                out << "The replaced database is kept as " << kept << '\n';
        } else if (parser.isSet(options.report)) {
            CreateSharedConnection();
            struct Release {
                ~Release() { ReleaseSharedConnection(); }
            } release;
            SharedConnection().open(Form1::ConnectionString());
            WriteNamedReportPdf(parser.value(options.report), parser.value(options.pdf));
        }
    } catch (const Failure& failure) {
        out.flush();
        err << kProductTitle.toLower() << ": " << failure.description() << '\n';
        err.flush();
        return kFailed;
    } catch (const std::bad_alloc&) {
        // Whatever ran out of memory, the command ends with a message, never an abort.
        out.flush();
        err << kProductTitle.toLower() << ": there is not enough memory for this work.\n";
        err.flush();
        return kFailed;
    }
    out.flush();
    return kSuccess;
}

std::optional<int> RunCommandLine(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!IsCommandLineWork(arguments)) {
        // The window: its arguments are checked as strictly as the work's.
        QTextStream err(stderr);
        return CheckWindowArguments(arguments, err);
    }
    // Reports are drawn, which takes a graphical application, but never on a screen; the
    // summary's charts are widgets.
    std::unique_ptr<QCoreApplication> app;
    if (arguments.contains(QStringLiteral("--summary")) ||
        !arguments.filter(QStringLiteral("--summary=")).isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QApplication>(argc, argv);
    } else if (arguments.contains(QStringLiteral("--report")) ||
               !arguments.filter(QStringLiteral("--report=")).isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(kProductTitle);
    QCoreApplication::setOrganizationName(kVendor);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunCommands(QCoreApplication::arguments(), out, err);
}
