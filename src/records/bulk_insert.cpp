#include "records/bulk_insert.h"

#include "data/connection.h"
#include "data/failure.h"
#include "data/sql_text.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

// Rows written out as text to one statement for a server, and the most text of one statement.
constexpr int kTextRows = 5000;
constexpr int kTextBytes = 8 << 20;
// Rows of one statement with bound values on a local file (fewer when the engine takes fewer
// values to one statement).
constexpr int kBoundRows = 5000;

QString literal(const InsertedValue& value) {
    switch (value.kind) {
    case InsertedValue::kNumber:
        return QString::number(value.integer);
    case InsertedValue::kText:
        return QLatin1Char('\'') + DoubledQuotes(*value.string) + QLatin1Char('\'');
    case InsertedValue::kNull:
        break;
    }
    return QStringLiteral("NULL");
}

// A prepared statement, finalized when it goes.
class Prepared {
public:
    Prepared(Connection& connection, const QString& sql) : m_connection(connection) {
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(connection.handle(), text.constData(), int(text.size()), &m_stmt,
                               nullptr) != SQLITE_OK)
            throw connection.engineFailure();
    }
    ~Prepared() { sqlite3_finalize(m_stmt); }
    Prepared(const Prepared&) = delete;
    Prepared& operator=(const Prepared&) = delete;

    void bind(int index, const InsertedValue& value) {
        int rc = SQLITE_OK;
        switch (value.kind) {
        case InsertedValue::kNumber:
            rc = sqlite3_bind_int64(m_stmt, index, value.integer);
            break;
        case InsertedValue::kText:
            // The engine would keep a NUL in a bound text, where a statement's text ends at it.
            RefuseNulText(*value.string);
            rc = sqlite3_bind_text16(m_stmt, index, value.string->utf16(),
                                     int(value.string->size() * sizeof(char16_t)), SQLITE_STATIC);
            break;
        case InsertedValue::kNull:
            rc = sqlite3_bind_null(m_stmt, index);
            break;
        }
        if (rc != SQLITE_OK)
            throw m_connection.engineFailure();
    }
    void run() {
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        if (rc != SQLITE_DONE)
            throw m_connection.engineFailure();
    }

private:
    Connection& m_connection;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace

BulkInsert::BulkInsert(Connection& connection, const QString& table, const QStringList& columns)
    : m_connection(connection),
      m_head(
          QStringLiteral("insert into %1 (%2) values ").arg(table, columns.join(QLatin1Char(',')))),
      m_columns(int(columns.size())) {}

QString BulkInsert::statement(int rows, const QString& values) const {
    QString sql = m_head;
    for (int row = 0; row < rows; ++row)
        sql += (row > 0 ? QStringLiteral(",(") : QStringLiteral("(")) + values + QLatin1Char(')');
    return sql;
}

bool BulkInsert::run(int count, const std::function<void(int, InsertedValue*)>& fill,
                     const std::function<bool(int)>& written) {
    if (!m_connection.server())
        return runBound(count, fill, written);
    auto values = std::vector<InsertedValue>(size_t(m_columns));
    int done = 0;
    while (done < count) {
        QString sql = m_head;
        for (int rows = 0; done < count && rows < kTextRows && sql.size() < kTextBytes;
             ++done, ++rows) {
            fill(done, values.data());
            sql += rows > 0 ? QStringLiteral(",(") : QStringLiteral("(");
            for (int column = 0; column < m_columns; ++column) {
                if (column > 0)
                    sql += QLatin1Char(',');
                sql += literal(values[size_t(column)]);
            }
            sql += QLatin1Char(')');
        }
        m_connection.execute(sql);
        if (written && !written(done))
            return false;
    }
    return true;
}

bool BulkInsert::runBound(int count, const std::function<void(int, InsertedValue*)>& fill,
                          const std::function<bool(int)>& written) {
    const int limit = sqlite3_limit(m_connection.handle(), SQLITE_LIMIT_VARIABLE_NUMBER, -1);
    const int perStatement = std::max(1, std::min(kBoundRows, limit / std::max(1, m_columns)));
    QStringList marks;
    for (int column = 0; column < m_columns; ++column)
        marks << QStringLiteral("?");
    const QString values = marks.join(QLatin1Char(','));
    auto row = std::vector<InsertedValue>(size_t(m_columns));
    std::unique_ptr<Prepared> full;
    int done = 0;
    while (done < count) {
        const int rows = std::min(perStatement, count - done);
        std::unique_ptr<Prepared> last;
        if (rows == perStatement && !full)
            full = std::make_unique<Prepared>(m_connection, statement(rows, values));
        if (rows < perStatement)
            last = std::make_unique<Prepared>(m_connection, statement(rows, values));
        Prepared& insert = last ? *last : *full;
        for (int r = 0; r < rows; ++r) {
            fill(done + r, row.data());
            for (int column = 0; column < m_columns; ++column)
                insert.bind(r * m_columns + column + 1, row[size_t(column)]);
        }
        insert.run();
        done += rows;
        if (written && !written(done))
            return false;
    }
    return true;
}
