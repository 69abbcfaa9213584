#pragma once

#include <QString>

struct sqlite3;

// The description of the engine's last failure on `db`, with a plain hint where the engine's
// own words would leave a user guessing (a locked, read-only, full or damaged file).
QString EngineFailureText(sqlite3* db);

// The database connection: opened with a connection string whose "data source" names the
// database file, it runs one statement at a time. Every failure throws a Failure whose
// description says what went wrong.
class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the file named by the "data source" of the connection string. The file must exist
    // and be a database of this program; nothing is created. A file of an earlier schema is
    // upgraded in place first (schema_upgrades.h).
    void open(const QString& connectionString);
    // Opens an empty private database in memory, with the engine functions: a quick proof
    // that the engine works.
    void openInMemory();
    void close();
    // 0 closed, 1 open.
    int state() const { return m_db ? 1 : 0; }

    // Runs one INSERT, UPDATE or DELETE statement.
    void execute(const QString& sql);
    // Rows changed by the last execute.
    int rowsAffected() const { return m_rowsAffected; }

    // Transactions, for statements that must happen together or not at all.
    void beginTransaction();
    void commit();
    void rollback();

    // The open handle; fails when the connection is closed.
    sqlite3* handle() const;
    const QString& path() const { return m_path; }

    // The file path that a connection string names (backslashes become slashes).
    static QString dataSource(const QString& connectionString);

private:
    void runPlain(const char* sql);
    QString lastError() const;

    sqlite3* m_db = nullptr;
    QString m_path;
    int m_rowsAffected = 0;
};
