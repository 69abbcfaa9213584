#pragma once

#include "data/value.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <memory>

class Connection;
class ServerLink;
class ServerResult;
struct sqlite3_stmt;

// A read-only, forward-reading result of one SELECT. Fields are found by name without regard
// to case. Columns declared as dates read as dates.
class Recordset {
public:
    // Cursor and lock types as callers name them; every recordset is static and read-only.
    static constexpr int kStatic = 3;
    // On a server, reads the rows a chunk at a time through a cursor (in a read-only
    // transaction that ends when the rows are read or the recordset is closed, unless one is
    // active): nothing else may run on the connection meanwhile. On a file, as kStatic.
    static constexpr int kForwardOnly = 0;
    static constexpr int kReadOnly = 1;

    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    void open(const QString& sql, Connection& connection, int cursorType = kStatic,
              int lockType = kReadOnly);
    void close();
    bool isOpen() const { return m_stmt != nullptr || m_rows != nullptr; }

    // True at once for an empty result and after moving past the last row.
    bool eof() const;
    void moveNext();

    int fieldCount() const { return int(m_names.size()); }
    QString fieldName(int index) const { return m_names.value(index); }
    // -1 when no field has that name.
    int fieldIndex(const QString& name) const;
    // The field's value in the current row; a missing field or no current row fails.
    Value field(const QString& name) const;
    Value field(int index) const;

    // Raw view of a field of the current row for bulk readers: valid until the next move.
    struct Raw {
        bool null = true;
        bool date = false;
        const char* utf8 = nullptr;
        int size = 0;
    };
    Raw raw(int index) const;

private:
    void requireOpen() const;
    void requireRow() const;
    void step();
    void endCursor();

    sqlite3_stmt* m_stmt = nullptr;
    Connection* m_connection = nullptr;
    // The rows of a server's answer, and the current one.
    std::unique_ptr<ServerResult> m_rows;
    // The server link whose cursor the rows come from, while more may come.
    ServerLink* m_cursor = nullptr;
    int m_row = 0;
    bool m_eof = true;
    QVector<QString> m_names;
    QVector<bool> m_isDate;
    QHash<QString, int> m_index;
};
