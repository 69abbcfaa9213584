#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class Connection;

// One value of a row that BulkInsert writes: Null, a whole number or a text. A text is not
// copied: it must outlive the insert.
struct InsertedValue {
    static InsertedValue null() { return {}; }
    static InsertedValue number(qint64 n) { return {kNumber, n, nullptr}; }
    static InsertedValue text(const QString& t) { return {kText, 0, &t}; }

    enum Kind { kNull, kNumber, kText };
    Kind kind = kNull;
    qint64 integer = 0;
    const QString* string = nullptr;
};

// Inserts many rows into one table with few statements, inside the caller's transaction. A
// local file takes statements of many rows prepared once, whose values are bound rather than
// written into the text (reading the text of a statement of thousands of rows costs the engine
// as much as the insert); a server takes the rows written out as text, thousands to a
// statement.
class BulkInsert {
public:
    // `columns` as the statement names them, e.g. "[Opened Date]".
    BulkInsert(Connection& connection, const QString& table, const QStringList& columns);
    // Inserts `count` rows; `fill(row, values)` gives the values of one row, one for each
    // column. `written(rows)` is told after each statement how many rows are in so far, and may
    // stop the insert by answering false, which answers false here too (the caller rolls back).
    // A failure of the engine throws.
    bool run(int count, const std::function<void(int, InsertedValue*)>& fill,
             const std::function<bool(int)>& written);

private:
    bool runBound(int count, const std::function<void(int, InsertedValue*)>& fill,
                  const std::function<bool(int)>& written);
    QString statement(int rows, const QString& values) const;

    Connection& m_connection;
    QString m_head;
    int m_columns;
};
