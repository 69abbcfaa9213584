#pragma once

#include <QString>
#include <memory>

class ServerLink;

class Failure;
struct sqlite3;

// The description of the engine's last failure on `db`, with a plain hint where the engine's
// own words would leave a user guessing (a locked, read-only, full or damaged file).
QString EngineFailureText(sqlite3* db);

// The database connection: opened with a connection string whose "data source" names the
// database file, or with the URI of a database server ("postgresql://..."), it runs one
// statement at a time. Statements are written in one dialect for both engines; the server
// link translates them. Every failure throws a Failure whose
// description says what went wrong.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the file named by the "data source" of the connection string. The file must exist
    // and be a database of this program; nothing is created. A file of an earlier schema is
    // upgraded in place first (schema_upgrades.h). A file that its permissions (or those of
    // its folder) keep from being written is opened read-only. After a failed open the
    // connection keeps the connection string and tries again when a statement next needs the
    // database, once for each allowRetry(); in between, statements fail with the same cause.
    // A server URI connects to the server instead (server_link.h).
    void open(const QString& connectionString);
    void allowRetry() { m_mayRetry = true; }
    // The description of the last failed open; empty once open.
    const QString& openFailure() const { return m_openFailure; }
    // Opens an empty private database in memory, with the engine functions: a quick proof
    // that the engine works.
    void openInMemory();
    void close();
    // 0 closed, 1 open.
    int state() const { return m_db || m_server ? 1 : 0; }

    // Runs one INSERT, UPDATE or DELETE statement.
    void execute(const QString& sql);
    // Runs one INSERT, UPDATE or DELETE statement in a transaction of its own (inside an open
    // transaction: as part of it); on a server in one round trip.
    void executeAlone(const QString& sql);
    // Rows changed by the last execute.
    int rowsAffected() const { return m_rowsAffected; }

    // Transactions, for statements that must happen together or not at all.
    void beginTransaction();
    void commit();
    void rollback();

    bool inTransaction() const;

    // After a failed open, tries again when allowed (see open()); fails with the cause else.
    void ensureOpen();
    // The open handle of the local file; fails when the connection is closed or is one to a
    // server (after a failed open, it may try again first, see open()).
    sqlite3* handle();
    // The server link, or nullptr for a local file.
    ServerLink* server() const { return m_server.get(); }
    // Nothing can be written: the file is read-only, or the engine found it damaged. Statements
    // that write are refused with a description that says what to do.
    bool readOnly() const { return m_readOnly || m_damaged; }
    bool damaged() const { return m_damaged; }
    // Damage that another connection to the same file found.
    void markDamaged() { m_damaged = true; }
    // What to tell the user about a read-only file (empty while it can be written).
    QString readOnlyText() const;
    // The description of the engine's last failure on this connection. Damage reported by the
    // engine makes the connection read-only from then on, and the description (given once)
    // points to the newest backup and to --restore.
    Failure engineFailure();
    // The database file, or the server URI without its password.
    const QString& path() const { return m_path; }

    // The file path that a connection string names (backslashes become slashes).
    static QString dataSource(const QString& connectionString);

private:
    void openFile(const QString& path);
    void runPlain(const char* sql);
    void refuseWriting() const;
    QString lastError();

    sqlite3* m_db = nullptr;
    QString m_failedOpen;
    QString m_openFailure;
    bool m_mayRetry = false;
    bool m_readOnly = false;
    bool m_damaged = false;
    std::unique_ptr<ServerLink> m_server;
    QString m_path;
    int m_rowsAffected = 0;
};
