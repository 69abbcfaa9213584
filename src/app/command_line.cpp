#include "app/command_line.h"

#include "app/main_window.h"
#include "data/backup.h"
#include "data/call_export.h"
#include "data/connection.h"
#include "data/failure.h"
#include "data/server_copy.h"
#include "data/server_link.h"
#include "data/server_setup.h"
#include "data/shared_connection.h"
#include "reports/report_catalog.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <memory>

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

int RunCommands(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Logs customer calls. Without options it opens its window; the options "
                       "below work without one."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption exportCsv(
        QStringLiteral("export-csv"),
        QStringLiteral("Write every call to FILE as comma-separated values."),
        QStringLiteral("FILE"));
    const QCommandLineOption backup(
        QStringLiteral("backup"),
        QStringLiteral("Copy the database to FILE (with --server: the server's call log, as one "
                       "snapshot, into a local database file)."),
        QStringLiteral("FILE"));
    const QCommandLineOption restore(
        QStringLiteral("restore"),
        QStringLiteral("Replace the database with the copy FILE after checking it; the "
                       "replaced database is kept in the backups folder (with --server: copy "
                       "FILE into the empty server database)."),
        QStringLiteral("FILE"));
    QStringList reportNames;
    for (const ReportEntry& entry : ReportEntries())
        reportNames << QLatin1Char('"') + entry.name + QLatin1Char('"');
    const QCommandLineOption report(
        QStringLiteral("report"),
        QStringLiteral("Write the report NAME to the file given by --pdf; NAME is one of %1.")
            .arg(reportNames.join(QStringLiteral(", "))),
        QStringLiteral("NAME"));
    const QCommandLineOption pdf(QStringLiteral("pdf"),
                                 QStringLiteral("The PDF file that --report writes."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption server(
        QStringLiteral("server"),
        QStringLiteral("Use the call log in the database server that URI names "
                       "(postgresql://host/database) instead of the local file, for this run."),
        QStringLiteral("URI"));
    const QCommandLineOption initServer(
        QStringLiteral("init-server"),
        QStringLiteral("Install an empty call log into the empty server database URI."),
        QStringLiteral("URI"));
    const QCommandLineOption copyTo(
        QStringLiteral("copy-to"),
        QStringLiteral("Copy the local database into the empty server database URI, ids kept, "
                       "and compare every row; the local file is only read."),
        QStringLiteral("URI"));
    parser.addOptions({exportCsv, backup, restore, report, pdf, server, initServer, copyTo});

    auto usage = [&](const QString& why) {
        err << kProductTitle.toLower() << ": " << why << '\n' << "Try '--help' for the options.\n";
        err.flush();
        return kUsage;
    };
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(help)) {
        out << parser.helpText();
        out.flush();
        return kSuccess;
    }
    if (parser.isSet(version)) {
        out << kProductTitle << ' ' << QUORVANE_VERSION << '\n';
        out.flush();
        return kSuccess;
    }
    if (!parser.positionalArguments().isEmpty())
        return usage(
            QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    int actions = 0;
    for (const QCommandLineOption* option :
         {&exportCsv, &backup, &restore, &report, &pdf, &initServer, &copyTo}) {
        if (option == &pdf)
            continue;
        if (parser.isSet(*option)) {
            ++actions;
            if (parser.values(*option).size() > 1)
                return usage(
                    QStringLiteral("'--%1' is given more than once.").arg(option->names().first()));
        }
    }
    if (actions != 1)
        return usage(
            QStringLiteral("give exactly one of --export-csv, --backup, --restore, --report, "
                           "--init-server, --copy-to."));
    if (parser.values(server).size() > 1)
        return usage(QStringLiteral("'--server' is given more than once."));
    if (parser.isSet(server) && !parser.isSet(exportCsv) && !parser.isSet(report) &&
        !parser.isSet(backup) && !parser.isSet(restore))
        return usage(QStringLiteral(
            "--server goes with --export-csv, --report, --backup, --restore or the window."));
    if (parser.isSet(server))
        Form1::UseServer(parser.value(server));
    if (parser.isSet(report) != parser.isSet(pdf))
        return usage(QStringLiteral("--report and --pdf go together."));
    if (parser.isSet(report) && !FindReportEntry(parser.value(report)))
        return usage(QStringLiteral("there is no report named \"%1\"; the reports are %2.")
                         .arg(parser.value(report), reportNames.join(QStringLiteral(", "))));

    try {
        if (parser.isSet(exportCsv)) {
            Connection connection;
            connection.open(Form1::ConnectionString());
            ExportAllCalls(connection, parser.value(exportCsv));
        } else if (parser.isSet(backup) && parser.isSet(server)) {
            // The server's call log, as one snapshot, into a file that --copy-to (or --server
            // with --restore) puts back.
            const QVector<CopiedTable> tables = BackupServer(
                parser.value(server).trimmed(), ProgramFolder() + QStringLiteral("/dbBlank.mdb"),
                parser.value(backup));
            for (const CopiedTable& table : tables)
                out << table.table << ": " << table.rows << " rows\n";
            out << "Backed up the call log of " << ServerLink::displayed(parser.value(server))
                << " into " << parser.value(backup) << '\n';
        } else if (parser.isSet(restore) && parser.isSet(server)) {
            const QVector<CopiedTable> tables =
                CopyToServer(parser.value(restore), parser.value(server).trimmed());
            for (const CopiedTable& table : tables)
                out << table.table << ": " << table.rows << " rows copied and compared\n";
            out << "Restored the call log of " << ServerLink::displayed(parser.value(server))
                << " from " << parser.value(restore) << '\n';
        } else if (parser.isSet(backup)) {
            Backups::copyDatabase(databasePath(), parser.value(backup));
        } else if (parser.isSet(initServer)) {
            InstallServerSchema(parser.value(initServer));
            out << "Installed an empty call log into " << parser.value(initServer) << '\n'
                << "Logins get the role quorvane_writer to read and change it, or "
                   "quorvane_reader to read it only (GRANT quorvane_writer TO login;).\n";
        } else if (parser.isSet(copyTo)) {
            const QVector<CopiedTable> tables = CopyToServer(databasePath(), parser.value(copyTo));
            for (const CopiedTable& table : tables)
                out << table.table << ": " << table.rows << " rows copied and compared\n";
            out << "Copied the database to " << parser.value(copyTo) << '\n';
        } else if (parser.isSet(restore)) {
            const QString kept = Backups::restore(parser.value(restore), databasePath());
            out << "Restored the database from " << parser.value(restore) << '\n';
            if (!kept.isEmpty())
                out << "The replaced database is kept as " << kept << '\n';
        } else if (parser.isSet(report)) {
            CreateSharedConnection();
            struct Release {
                ~Release() { ReleaseSharedConnection(); }
            } release;
            SharedConnection().open(Form1::ConnectionString());
            WriteNamedReportPdf(parser.value(report), parser.value(pdf));
        }
    } catch (const Failure& failure) {
        err << kProductTitle.toLower() << ": " << failure.description() << '\n';
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
        // The window, on the server that the command line names.
        const int at = int(arguments.indexOf(QStringLiteral("--server")));
        if (at > 0 && at + 1 < arguments.size())
            Form1::UseServer(arguments.at(at + 1));
        for (const QString& argument : arguments) {
            if (argument.startsWith(QLatin1String("--server=")))
                Form1::UseServer(argument.mid(9));
        }
        return std::nullopt;
    }
    // Reports are drawn, which takes a graphical application, but never on a screen.
    std::unique_ptr<QCoreApplication> app;
    if (arguments.contains(QStringLiteral("--report")) ||
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
