#include "data/connection.h"
#include "data/told_failure.h"

#include "data/backup.h"
#include "data/engine_functions.h"
#include "data/failure.h"
#include "data/gathered_writes.h"
#include "data/schema_upgrades.h"
#include "data/server_link.h"
#include "data/sql_text.h"
#include "data/stale_journal.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cstring>
#include <sqlite3.h>

namespace {
const char* const kClosedObject = "Operation is not allowed when the object is closed.";
const char* const kDamaged = "The database file is damaged";

// A file (or the folder that must hold its journal) that cannot be written. The owner's write
// permission counts even for the superuser: a file made read-only is meant to stay as it is.
bool cannotBeWritten(const QFileInfo& info) {
    return !info.isWritable() || !(info.permissions() & QFileDevice::WriteOwner);
}

} // namespace

Connection::Connection() = default;

Connection::~Connection() {
    close();
}

QString Connection::dataSource(const QString& connectionString) {
    const QStringList parts = connectionString.split(QLatin1Char(';'));
    for (int i = 0; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (part.left(eq).trimmed().compare(QLatin1String("data source"), Qt::CaseInsensitive) ==
            0) {
            // The path is written unquoted and may itself hold semicolons: every following
            // piece that is no "name=value" setting still belongs to it.
            QString path = part.mid(eq + 1);
            while (i + 1 < parts.size() && !parts.at(i + 1).contains(QLatin1Char('=')))
                path += QLatin1Char(';') + parts.at(++i);
            path = path.trimmed();
            path.replace(QLatin1Char('\\'), QLatin1Char('/'));
            return path;
        }
    }
    return QString();
}

void Connection::open(const QString& connectionString) {
    if (m_db || m_server)
        throw Failure(QStringLiteral("Operation is not allowed when the object is open."));
    m_mayRetry = false;
    try {
        const QString trimmed = connectionString.trimmed();
        if (ServerLink::isServerUri(trimmed)) {
            m_server = std::make_unique<ServerLink>(trimmed);
            m_path = ServerLink::displayed(trimmed);
            m_readOnly = !m_server->mayWrite();
        } else {
            openFile(dataSource(connectionString));
        }
    } catch (const Failure& failure) {
        m_failedOpen = connectionString;
        m_openFailure = failure.description();
        throw;
    }
    m_failedOpen.clear();
    m_openFailure.clear();
}

void Connection::openFile(const QString& path) {
    if (path.isEmpty())
        throw Failure(QStringLiteral("The connection string names no data source."));
    const QFileInfo info(path);
    if (info.isDir())
        throw Failure(QStringLiteral("'%1' is a folder, not a database file.").arg(path));
    if (!info.exists() || !info.isFile())
        throw Failure(QStringLiteral("Could not find file '%1'.").arg(path));

    m_readOnly = cannotBeWritten(info) || cannotBeWritten(QFileInfo(info.absolutePath()));
    m_damaged = false;
    sqlite3* db = nullptr;
    // The program talks to the database from one thread only, so the connection needs no
    // locking of its own.
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db,
                                   (m_readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                                       SQLITE_OPEN_NOMUTEX,
                                   GatheredWrites::VfsName());
    if (rc != SQLITE_OK) {
        const QString why =
            db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
        sqlite3_close(db);
        throw Failure(
            SentenceWithCause(QStringLiteral("Cannot open the database file '%1'").arg(path), why));
    }
    m_db = db;
    m_path = path;
    sqlite3_busy_timeout(m_db, 3000);
    sqlite3_extended_result_codes(m_db, 1);
    RegisterEngineFunctions(m_db);

    // Reading the schema proves the file is a database and not locked away from us.
    sqlite3_stmt* stmt = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(m_db, "PRAGMA user_version", -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        version = sqlite3_column_int(stmt, 0);
    const QString why = EngineFailureText(m_db);
    sqlite3_finalize(stmt);
    if (version < 0) {
        close();
        throw Failure(SentenceWithCause(
            QStringLiteral("The database file '%1' cannot be read").arg(path), why));
    }
    // SQLite reads an empty file, or the database of some other program, as a database with
    // version 0: neither holds our tables, and every later statement would fail obscurely.
    if (version < 1) {
        close();
        throw Failure(QStringLiteral("The file '%1' is not a database of this program. Move it "
                                     "elsewhere (the program then starts with a new, empty "
                                     "database) or restore a backup with quorvane --restore.")
                          .arg(path));
    }
    if (version > SchemaVersion()) {
        close();
        throw Failure(QStringLiteral("The database file '%1' was written by a newer version of "
                                     "this program (schema %2; this version reads %3).")
                          .arg(path)
                          .arg(version)
                          .arg(SchemaVersion()));
    }
    if (version < SchemaVersion()) {
        try {
            UpgradeSchema(m_db, path, version);
        } catch (const Failure&) {
            close();
            throw;
        }
    }
    if (!m_readOnly)
        StaleJournal::remove(m_db, path);
}

void Connection::openInMemory() {
    if (m_db)
        throw Failure(QStringLiteral("Operation is not allowed when the object is open."));
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(":memory:", &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw Failure(QStringLiteral("The database engine cannot be started."));
    }
    m_db = db;
    m_path = QStringLiteral(":memory:");
    RegisterEngineFunctions(m_db);
}

void Connection::close() {
    m_failedOpen.clear();
    m_openFailure.clear();
    m_server.reset();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void Connection::ensureOpen() {
    if (!m_db && !m_server && !m_failedOpen.isEmpty()) {
        if (!m_mayRetry)
            throw Failure(m_openFailure, m_openFailure, QStringLiteral("statements"));
        const QString again = m_failedOpen;
        open(again);
    }
}

sqlite3* Connection::handle() {
    ensureOpen();
    if (m_server)
        throw Failure(QStringLiteral("This works only on a local database file."));
    if (!m_db)
        throw Failure(QString::fromLatin1(kClosedObject));
    return m_db;
}

QString Connection::readOnlyText() const {
    if (m_damaged)
        return QStringLiteral("The database file '%1' is damaged, so nothing is written to it; "
                              "close the program and restore the newest sound backup with "
                              "quorvane --restore.")
            .arg(m_path);
    if (m_readOnly && m_server)
        return QStringLiteral("This login may only read the call log in %1: the calls can be "
                              "listed, found, exported and printed, but nothing can be saved. To "
                              "change calls, ask the administrator of the database server to "
                              "grant this login the role quorvane_writer.")
            .arg(m_path);
    if (m_readOnly)
        return QStringLiteral("The database file '%1' is read-only: the calls can be seen, but "
                              "nothing can be saved. Make the file and its folder writable (for "
                              "example chmod u+w) and start the program again.")
            .arg(m_path);
    return QString();
}

void Connection::refuseWriting() const {
    // A login that may only read expects the refusal: it is told as it is, once per command,
    // without the error report around it.
    if (m_server && m_readOnly && !m_damaged)
        throw ToldFailure(readOnlyText(), readOnlyText(), false);
    if (readOnly())
        throw Failure(readOnlyText(), m_damaged ? QLatin1String(kDamaged) : readOnlyText(),
                      QStringLiteral("statements"));
}

Failure Connection::engineFailure() {
    if (!m_db)
        return Failure(QString::fromLatin1(kClosedObject));
    const int code = sqlite3_extended_errcode(m_db) & 0xff;
    if (code != SQLITE_CORRUPT && code != SQLITE_NOTADB)
        return Failure(EngineFailureText(m_db));
    if (m_damaged)
        return Failure(EngineFailureText(m_db), QLatin1String(kDamaged),
                       QStringLiteral("statements"));
    // Said once: from now on nothing is written into the damaged file.
    m_damaged = true;
    QString text = QStringLiteral("%1 (%2). Nothing more is written to it: the program goes on "
                                  "read-only. ")
                       .arg(QLatin1String(kDamaged), QString::fromUtf8(sqlite3_errmsg(m_db)));
    text += Backups::restoreAdvice(m_path);
    return Failure(text, QLatin1String(kDamaged), QStringLiteral("statements"));
}

QString EngineFailureText(sqlite3* db) {
    const QString engine = QString::fromUtf8(sqlite3_errmsg(db));
    const int extended = sqlite3_extended_errcode(db);
    // The plain cause, then the engine's own words in brackets, then what to do, if anything.
    const char* cause = nullptr;
    const char* advice = nullptr;
    switch (extended & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        cause = "The database is in use by another program";
        advice = "try again in a moment";
        break;
    case SQLITE_READONLY:
        cause = "The database file or its folder cannot be written";
        break;
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_PERM:
        cause = "The database file or its folder cannot be read or written";
        break;
    case SQLITE_FULL:
        cause = "The disk is full";
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        cause = "The database file is damaged";
        break;
    case SQLITE_CONSTRAINT:
        if (extended == SQLITE_CONSTRAINT_UNIQUE || extended == SQLITE_CONSTRAINT_PRIMARYKEY)
            cause = "The value is there already";
        break;
    default:
        break;
    }
    if (!cause)
        return Sentence(engine);
    QString text = QLatin1String(cause);
    // For a failed read or write the system's own words ("File too large", "No space left on
    // device", "Is a directory") name the cause that the engine calls "disk I/O error".
    const int code = extended & 0xff;
    if ((code == SQLITE_IOERR || code == SQLITE_FULL || code == SQLITE_CANTOPEN) &&
        sqlite3_system_errno(db) != 0)
        text +=
            QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(sqlite3_system_errno(db)));
    text += QStringLiteral(" (") + engine + QLatin1Char(')');
    if (advice)
        text += QStringLiteral("; ") + QLatin1String(advice);
    return Sentence(text);
}

QString Connection::lastError() {
    return engineFailure().description();
}

void RefuseNulText(const QString& text) {
    if (text.contains(QChar(0)))
        throw Failure(QStringLiteral("The text holds a NUL character, which cannot be stored; "
                                     "remove it and try again."));
}

void Connection::execute(const QString& sql) {
    ensureOpen();
    if (m_server) {
        refuseWriting();
        m_rowsAffected = m_server->execute(sql);
        return;
    }
    sqlite3* db = handle();
    refuseWriting();
    // The engine stops reading a statement at a NUL character.
    RefuseNulText(sql);
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, &tail) != SQLITE_OK) {
        const Failure why = engineFailure();
        sqlite3_finalize(stmt);
        throw why;
    }
    if (!stmt)
        throw Failure(QStringLiteral("The statement is empty."));
    if (tail && QByteArray(tail).trimmed().size() > 0) {
        sqlite3_finalize(stmt);
        throw Failure(QStringLiteral("Characters found after end of SQL statement."));
    }
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) {
        const Failure why = engineFailure();
        sqlite3_finalize(stmt);
        throw why;
    }
    sqlite3_finalize(stmt);
    m_rowsAffected = sqlite3_changes(db);
}

void Connection::runPlain(const char* sql) {
    if (sqlite3_exec(handle(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw engineFailure();
}

void Connection::executeAlone(const QString& sql) {
    ensureOpen();
    if (m_server) {
        refuseWriting();
        m_rowsAffected = m_server->executeAlone(sql);
        return;
    }
    if (inTransaction()) {
        execute(sql);
        return;
    }
    beginTransaction();
    try {
        execute(sql);
        commit();
    } catch (...) {
        try {
            rollback();
        } catch (...) {
        }
        throw;
    }
}

void Connection::beginTransaction() {
    ensureOpen();
    if (m_server) {
        refuseWriting();
        m_server->beginTransaction();
        return;
    }
    handle();
    refuseWriting();
    runPlain("BEGIN IMMEDIATE");
}
void Connection::commit() {
    if (m_server)
        m_server->commit();
    else
        runPlain("COMMIT");
}
void Connection::rollback() {
    if (m_server)
        m_server->rollback();
    else if (m_db && !sqlite3_get_autocommit(m_db))
        runPlain("ROLLBACK");
}
bool Connection::inTransaction() const {
    if (m_server)
        return m_server->inTransaction();
    return m_db && !sqlite3_get_autocommit(m_db);
}
