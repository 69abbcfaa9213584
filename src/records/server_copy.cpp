#include "records/server_copy.h"

#include "data/connection.h"
#include "data/engine_functions.h"
#include "data/failure.h"
#include "data/file_copy.h"
#include "data/schema_upgrades.h"
#include "data/server_link.h"
#include "data/server_setup.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <libpq-fe.h>
#include <memory>
#include <optional>
#include <sqlite3.h>

namespace {

// A table of the file and where its rows go on the server, in the order they were stored.
struct TablePlan {
    const char* name;    // in the file
    const char* target;  // on the server
    const char* order;   // how the server gives them back in stored order
    QStringList columns; // in the file, bracketed where needed
    bool keepsIds;
    const char* fileOrder = "rowid"; // the same order in the file
    int binary = -1;                 // the column that holds bytes rather than text, if any
    int batchRows = 20000;           // rows read from the server at a time
};

QStringList contactColumns() {
    return {"ID",
            "[First Name]",
            "[Last Name]",
            "[E-mail Address]",
            "Company",
            "[Job Title]",
            "[Business Phone]",
            "[Home Phone]",
            "[Mobile Phone]",
            "[Fax Number]",
            "Address",
            "City",
            "State",
            "ZIP",
            "Country",
            "[Web Page]",
            "Notes"};
}

QVector<TablePlan> plans() {
    return {
        {"Customers", "customers", "id", contactColumns(), true},
        {"Employees", "employees", "id", contactColumns(), true},
        {"Status", "status_entries", "entry", {"Status"}, false},
        {"Categories", "category_entries", "entry", {"Category"}, false},
        {"Priorities", "priority_entries", "entry", {"Priority"}, false},
        {"Calls",
         "calls",
         "id",
         {"ID", "Title", "[Assigned To]", "[Opened By]", "[Opened Date]", "Status", "Category",
          "Priority", "Comments", "[Due Date]", "[Resolved By]", "[Resolved Date]", "Caller",
          "[Call Time]"},
         true},
        // The files kept with the calls: a piece of a content is a mebibyte, read a few at a
        // time. (Before the deletions: the attachments written into a file make history rows
        // of their own, which the server's history replaces.)
        {"AttachmentContents", "attachmentcontents", "id", {"ID", "Hash", "Size"}, true},
        {"Attachments",
         "attachments",
         "id",
         {"ID", "CallID", "Name", "Type", "Size", "Content", "[Added At]", "[Added By]",
          "[Removed At]", "[Removed By]"},
         true},
        {"AttachmentPieces",
         "attachmentpieces",
         "content, attachmentpieces.piece",
         {"Content", "Piece", "Data"},
         false,
         "Content, Piece",
         2,
         8},
        // What is kept about the calls beyond their rows: the deletions with the rows they
        // took, and the history of every change, with their original times and logins.
        {"Deletions", "deletions", "id", {"ID", "[Deleted At]", "[Deleted By]", "Pending"}, true},
        {"DeletedCalls",
         "deletedcalls",
         "deletion, deletedcalls.id",
         {"Deletion", "ID", "Title", "[Assigned To]", "[Opened By]", "[Opened Date]", "Status",
          "Category", "Priority", "Comments", "[Due Date]", "[Resolved By]", "[Resolved Date]",
          "Caller", "[Call Time]"},
         false,
         "Deletion, ID"},
        {"DeletedPeople", "deletedpeople",
         "deletion, deletedpeople.list collate \"C\", deletedpeople.id",
         QStringList{"Deletion", "List"} + contactColumns(), false, "Deletion, List, ID"},
        {"DeletedValues",
         "deletedvalues",
         "deletion, deletedvalues.list collate \"C\", deletedvalues.value collate \"C\" nulls "
         "first",
         {"Deletion", "List", "Value"},
         false,
         "Deletion, List, Value"},
        {"CallHistory",
         "callhistory",
         "id",
         {"ID", "CallID", "[Changed At]", "[Changed By]", "Field", "OldValue", "NewValue"},
         true},
    };
}

QString serverName(const QString& column) {
    QString name = column;
    if (name.startsWith(QLatin1Char('[')))
        name = name.mid(1, name.size() - 2);
    return QLatin1Char('"') + name.toLower() + QLatin1Char('"');
}

struct File {
    sqlite3* db = nullptr;
    ~File() { sqlite3_close_v2(db); }
};

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

void prepare(File& file, Statement& statement, const QString& sql) {
    if (sqlite3_prepare_v2(file.db, sql.toUtf8().constData(), -1, &statement.stmt, nullptr) !=
        SQLITE_OK)
        throw Failure(EngineFailureText(file.db));
}

// The cell as text as the server writes it back (Null as nothing); bytes in the server's hex
// form.
std::optional<QByteArray> cell(sqlite3_stmt* stmt, int column, const TablePlan& plan) {
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL)
        return std::nullopt;
    if (column == plan.binary)
        return QByteArray("\\x") +
               QByteArray::fromRawData(static_cast<const char*>(sqlite3_column_blob(stmt, column)),
                                       sqlite3_column_bytes(stmt, column))
                   .toHex();
    return QByteArray(reinterpret_cast<const char*>(sqlite3_column_text(stmt, column)),
                      sqlite3_column_bytes(stmt, column));
}

// A value in the text form of the server's COPY.
void appendCopyField(QByteArray& line, const std::optional<QByteArray>& value) {
    if (!value) {
        line += "\\N";
        return;
    }
    for (const char c : *value) {
        switch (c) {
        case '\\':
            line += "\\\\";
            break;
        case '\t':
            line += "\\t";
            break;
        case '\n':
            line += "\\n";
            break;
        case '\r':
            line += "\\r";
            break;
        default:
            line += c;
            break;
        }
    }
}

void sendRows(File& file, PGconn* conn, const TablePlan& plan) {
    QStringList targets;
    for (const QString& column : plan.columns)
        targets << serverName(column);
    const QByteArray copy = QStringLiteral("COPY %1 (%2) FROM STDIN")
                                .arg(QLatin1String(plan.target), targets.join(QLatin1Char(',')))
                                .toUtf8();
    PGresult* started = PQexec(conn, copy.constData());
    const bool ready = PQresultStatus(started) == PGRES_COPY_IN;
    PQclear(started);
    if (!ready)
        throw Failure(QString::fromUtf8(PQerrorMessage(conn)).trimmed());

    Statement rows;
    prepare(file, rows,
            QStringLiteral("select %1 from [%2] order by rowid")
                .arg(plan.columns.join(QLatin1Char(',')), QLatin1String(plan.name)));
    QByteArray batch;
    int rc;
    while ((rc = sqlite3_step(rows.stmt)) == SQLITE_ROW) {
        for (int i = 0; i < plan.columns.size(); ++i) {
            if (i)
                batch += '\t';
            appendCopyField(batch, cell(rows.stmt, i, plan));
        }
        batch += '\n';
        if (batch.size() > (1 << 20)) {
            if (PQputCopyData(conn, batch.constData(), int(batch.size())) != 1)
                break;
            batch.clear();
        }
    }
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        PQputCopyEnd(conn, "the file could not be read");
        PQclear(PQgetResult(conn));
        throw Failure(EngineFailureText(file.db));
    }
    if (!batch.isEmpty())
        PQputCopyData(conn, batch.constData(), int(batch.size()));
    PQputCopyEnd(conn, nullptr);
    QString why;
    while (PGresult* result = PQgetResult(conn)) {
        if (PQresultStatus(result) != PGRES_COMMAND_OK && why.isEmpty()) {
            const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
            why = QString::fromUtf8(primary ? primary : PQerrorMessage(conn));
        }
        PQclear(result);
    }
    if (!why.isEmpty())
        throw Failure(QStringLiteral("The rows of %1 cannot be copied: %2")
                          .arg(QLatin1String(plan.name), why));
}

// Compares every row of the table on the server with the file, in stored order, reading the
// server's rows in batches.
qint64 compareRows(File& file, ServerLink& link, const TablePlan& plan) {
    QStringList targets;
    for (const QString& column : plan.columns)
        targets << serverName(column) + QStringLiteral("::text");
    // The order names the table's column: the bare name would be the text of the same name
    // in the select list, which sorts 10 before 2.
    link.run(QStringLiteral("declare copied cursor for select %1 from %2 order by %2.%3")
                 .arg(targets.join(QLatin1Char(',')), QLatin1String(plan.target),
                      QLatin1String(plan.order)));
    Statement rows;
    prepare(file, rows,
            QStringLiteral("select %1 from [%2] order by %3")
                .arg(plan.columns.join(QLatin1Char(',')), QLatin1String(plan.name),
                     QLatin1String(plan.fileOrder)));
    auto differ = [&](const QString& what) {
        return Failure(QStringLiteral("The copy of %1 differs from the file (%2); nothing was "
                                      "kept on the server.")
                           .arg(QLatin1String(plan.name), what));
    };
    qint64 compared = 0;
    std::unique_ptr<ServerResult> batch;
    int at = 0;
    while (sqlite3_step(rows.stmt) == SQLITE_ROW) {
        if (!batch || at == batch->rows()) {
            batch = link.run(QStringLiteral("fetch %1 from copied").arg(plan.batchRows));
            at = 0;
            if (batch->rows() == 0)
                throw differ(QStringLiteral("fewer rows"));
        }
        for (int i = 0; i < plan.columns.size(); ++i) {
            const std::optional<QByteArray> local = cell(rows.stmt, i, plan);
            const bool null = batch->isNull(at, i);
            if (bool(local) == null ||
                (local && *local != QByteArray(batch->text(at, i), batch->length(at, i))))
                throw differ(
                    QStringLiteral("row %1, column %2").arg(compared + 1).arg(plan.columns.at(i)));
        }
        ++at;
        ++compared;
    }
    if ((batch && at < batch->rows()) || link.run(QStringLiteral("fetch 1 from copied"))->rows())
        throw differ(QStringLiteral("more rows"));
    link.run(QStringLiteral("close copied"));
    return compared;
}

// Binds bytes given in the server's hex form ("\x0a1b...").
void bindHex(sqlite3_stmt* stmt, int index, const char* text, int length) {
    const QByteArray bytes =
        QByteArray::fromHex(QByteArray::fromRawData(text + 2, std::max(length - 2, 0)));
    sqlite3_bind_blob(stmt, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

bool hasTable(File& file, const TablePlan& plan) {
    Statement found;
    prepare(file, found,
            QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = "
                           "'%1'")
                .arg(QLatin1String(plan.name)));
    return sqlite3_step(found.stmt) == SQLITE_ROW && sqlite3_column_int(found.stmt, 0) > 0;
}

qint64 highestIdEver(File& file, const TablePlan& plan) {
    Statement highest;
    prepare(file, highest,
            QStringLiteral("select max(ifnull((select seq from sqlite_sequence where name = "
                           "'%1'), 0), ifnull((select max(ID) from [%1]), 0))")
                .arg(QLatin1String(plan.name)));
    return sqlite3_step(highest.stmt) == SQLITE_ROW ? sqlite3_column_int64(highest.stmt, 0) : 0;
}

} // namespace

QVector<CopiedTable> CopyToServer(const QString& path, const QString& uri) {
    if (!QFileInfo(path).isFile())
        throw Failure(QStringLiteral("Could not find file '%1'.").arg(path));
    File file;
    if (sqlite3_open_v2(path.toUtf8().constData(), &file.db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK)
        throw Failure(QStringLiteral("Cannot open the database file '%1': %2")
                          .arg(path, EngineFailureText(file.db)));
    sqlite3_busy_timeout(file.db, 3000);
    {
        Statement version;
        prepare(file, version, QStringLiteral("PRAGMA user_version"));
        const int number =
            sqlite3_step(version.stmt) == SQLITE_ROW ? sqlite3_column_int(version.stmt, 0) : 0;
        if (number < 1 || number > SchemaVersion())
            throw Failure(QStringLiteral("The file '%1' is not a database of this version of the "
                                         "program.")
                              .arg(path));
    }

    {
        // An empty database gets the call log first.
        ServerLink probe(uri, false);
        auto tables = probe.run(QStringLiteral(
            "select count(*) from pg_class c join pg_namespace n on n.oid = c.relnamespace "
            "where n.nspname = current_schema() and c.relkind in ('r', 'v')"));
        if (QByteArray(tables->text(0, 0)).toInt() == 0)
            InstallServerSchema(uri);
    }
    ServerLink link(uri);
    const QVector<TablePlan> tables = plans();
    for (const TablePlan& plan : tables) {
        auto count =
            link.run(QStringLiteral("select count(*) from %1").arg(QLatin1String(plan.target)));
        if (QByteArray(count->text(0, 0)).toLongLong() > 0)
            throw Failure(QStringLiteral("The server database %1 is not empty (%2 holds rows): a "
                                         "local database is copied only into an empty one.")
                              .arg(ServerLink::displayed(uri), QLatin1String(plan.name)));
    }

    QVector<CopiedTable> copied;
    // One snapshot of the file, one transaction on the server: all or nothing.
    Statement begin;
    prepare(file, begin, QStringLiteral("BEGIN"));
    sqlite3_step(begin.stmt);
    link.beginTransaction();
    try {
        // The history comes from the file as it was: the calls put in make none of their own.
        link.run(QStringLiteral("alter table calls disable trigger calls_history"));
        link.run(QStringLiteral("alter table attachments disable trigger attachments_history"));
        for (const TablePlan& plan : tables) {
            // A file of an earlier schema lacks the tables added since: they stay empty.
            if (!hasTable(file, plan)) {
                copied.push_back({QLatin1String(plan.name), 0});
                continue;
            }
            sendRows(file, link.connection(), plan);
            if (plan.keepsIds)
                link.run(QStringLiteral("select setval(pg_get_serial_sequence('%1', 'id'), $1, "
                                        "false)")
                             .arg(QLatin1String(plan.target)),
                         {QString::number(highestIdEver(file, plan) + 1)});
            copied.push_back({QLatin1String(plan.name), compareRows(file, link, plan)});
        }
        // The checks of what the calls name run now, so that the table may change again.
        link.run(QStringLiteral("set constraints all immediate"));
        link.run(QStringLiteral("alter table calls enable trigger calls_history"));
        link.run(QStringLiteral("alter table attachments enable trigger attachments_history"));
        link.commit();
    } catch (...) {
        link.rollback();
        throw;
    }
    return copied;
}

QVector<CopiedTable> BackupServer(const QString& uri, const QString& templatePath,
                                  const QString& target) {
    ServerLink link(uri);
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    CopyWholeFile(templatePath, part);
    struct Leftover {
        QString path;
        ~Leftover() {
            if (!path.isEmpty())
                QFile::remove(path);
        }
    } leftover{part};
    QVector<CopiedTable> copied;
    {
        File file;
        if (sqlite3_open_v2(part.toUtf8().constData(), &file.db, SQLITE_OPEN_READWRITE, nullptr) !=
            SQLITE_OK)
            throw Failure(QStringLiteral("Cannot write the backup '%1': %2")
                              .arg(target, EngineFailureText(file.db)));
        // The file's triggers store dates through the engine's functions.
        RegisterEngineFunctions(file.db);
        auto runFile = [&](const char* sql) {
            if (sqlite3_exec(file.db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
                throw Failure(QStringLiteral("Cannot write the backup '%1': %2")
                                  .arg(target, EngineFailureText(file.db)));
        };
        runFile("BEGIN");
        // Every table as it was at one moment.
        link.run(QStringLiteral("begin isolation level repeatable read read only"));
        for (const TablePlan& plan : plans()) {
            // The calls written into the file made history rows of their own (by this login,
            // now): the server's history takes their place.
            if (QLatin1String(plan.name) == QLatin1String("Deletions"))
                runFile("DELETE FROM CallHistory; DELETE FROM sqlite_sequence WHERE name = "
                        "'CallHistory'");
            QStringList sources;
            QStringList marks;
            for (const QString& column : plan.columns) {
                sources << serverName(column) + QStringLiteral("::text");
                marks << QStringLiteral("?");
            }
            Statement insert;
            prepare(file, insert,
                    QStringLiteral("insert into [%1] (%2) values (%3)")
                        .arg(QLatin1String(plan.name), plan.columns.join(QLatin1Char(',')),
                             marks.join(QLatin1Char(','))));
            link.run(QStringLiteral("declare saved cursor for select %1 from %2 order by %2.%3")
                         .arg(sources.join(QLatin1Char(',')), QLatin1String(plan.target),
                              QLatin1String(plan.order)));
            qint64 rows = 0;
            for (;;) {
                auto batch = link.run(QStringLiteral("fetch %1 from saved").arg(plan.batchRows));
                if (batch->rows() == 0)
                    break;
                for (int row = 0; row < batch->rows(); ++row) {
                    sqlite3_reset(insert.stmt);
                    for (int i = 0; i < plan.columns.size(); ++i) {
                        if (batch->isNull(row, i))
                            sqlite3_bind_null(insert.stmt, i + 1);
                        else if (i == plan.binary)
                            bindHex(insert.stmt, i + 1, batch->text(row, i), batch->length(row, i));
                        else
                            sqlite3_bind_text(insert.stmt, i + 1, batch->text(row, i),
                                              batch->length(row, i), SQLITE_TRANSIENT);
                    }
                    if (sqlite3_step(insert.stmt) != SQLITE_DONE)
                        throw Failure(QStringLiteral("Cannot write the backup '%1': %2")
                                          .arg(target, EngineFailureText(file.db)));
                    ++rows;
                }
            }
            link.run(QStringLiteral("close saved"));
            copied.push_back({QLatin1String(plan.name), rows});
        }
        link.run(QStringLiteral("commit"));
        // A deleted call keeps its comments in the file's index while a kept copy of it stays:
        // those of its newest copy.
        runFile("INSERT INTO CallsText (rowid, Comments) SELECT k.ID, FindFolded(k.Comments) FROM "
                "DeletedCalls k WHERE NOT EXISTS (SELECT 1 FROM Calls c WHERE c.ID = k.ID) AND "
                "k.Deletion = (SELECT max(n.Deletion) FROM DeletedCalls n WHERE n.ID = k.ID)");
        runFile("COMMIT");
    }
    QFile::remove(target);
    if (!QFile::rename(part, target))
        throw Failure(QStringLiteral("Cannot write the backup '%1': the finished copy '%2' "
                                     "cannot take its name.")
                          .arg(target, part));
    leftover.path.clear();
    return copied;
}
