#include "data/recordset.h"

#include "data/connection.h"
#include "data/date_text.h"
#include "data/failure.h"
#include "data/server_link.h"

#include <sqlite3.h>

Recordset::Recordset() = default;

Recordset::~Recordset() {
    close();
}

void Recordset::open(const QString& sql, Connection& connection, int cursorType, int) {
    if (isOpen())
        throw Failure(QStringLiteral("Operation is not allowed when the object is open."));
    connection.ensureOpen();
    if (ServerLink* server = connection.server()) {
        // The server answers with every row at once and the recordset walks them in memory,
        // or, read forward only, a chunk at a time through a cursor.
        if (cursorType == kForwardOnly) {
            m_rows = server->openCursor(sql);
            m_cursor = server;
        } else {
            m_rows = server->query(sql);
        }
        const int count = m_rows->columns();
        m_names.resize(count);
        m_isDate.resize(count);
        m_index.clear();
        for (int i = 0; i < count; ++i) {
            m_names[i] = m_rows->name(i);
            m_isDate[i] = m_rows->isDate(i);
            const QString key = m_names[i].toLower();
            if (!m_index.contains(key))
                m_index.insert(key, i);
        }
        m_row = 0;
        m_eof = m_rows->rows() == 0;
        if (m_cursor && !m_cursor->moreToFetch())
            endCursor();
        return;
    }
    sqlite3* db = connection.handle();
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        const Failure why = connection.engineFailure();
        sqlite3_finalize(stmt);
        throw why;
    }
    m_connection = &connection;
    if (!stmt)
        throw Failure(QStringLiteral("The statement is empty."));
    m_stmt = stmt;
    const int count = sqlite3_column_count(stmt);
    m_names.resize(count);
    m_isDate.resize(count);
    m_index.clear();
    for (int i = 0; i < count; ++i) {
        m_names[i] = QString::fromUtf8(sqlite3_column_name(stmt, i));
        const QString declared = QString::fromUtf8(sqlite3_column_decltype(stmt, i)).toUpper();
        m_isDate[i] =
            declared.contains(QLatin1String("DATE")) || declared.contains(QLatin1String("TIME"));
        const QString key = m_names[i].toLower();
        if (!m_index.contains(key))
            m_index.insert(key, i);
    }
    m_eof = false;
    step();
}

void Recordset::step() {
    if (m_rows) {
        m_eof = ++m_row >= m_rows->rows();
        if (m_eof && m_cursor) {
            // The next chunk replaces this one.
            std::unique_ptr<ServerResult> next;
            try {
                next = m_cursor->fetchMore(*m_rows);
            } catch (...) {
                endCursor();
                throw;
            }
            m_rows = std::move(next);
            m_row = 0;
            m_eof = m_rows->rows() == 0;
            if (!m_cursor->moreToFetch())
                endCursor();
        }
        return;
    }
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return;
    m_eof = true;
    // A damaged page ends the rows: the connection learns of it, so that nothing more is
    // written into the file.
    if (rc != SQLITE_DONE)
        throw m_connection->engineFailure();
}

void Recordset::endCursor() {
    if (m_cursor)
        m_cursor->closeCursor();
    m_cursor = nullptr;
}

void Recordset::close() {
    endCursor();
    m_rows.reset();
    if (m_stmt) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
    m_eof = true;
}

void Recordset::requireOpen() const {
    if (!isOpen())
        throw Failure(QStringLiteral("Operation is not allowed when the object is closed."));
}

void Recordset::requireRow() const {
    requireOpen();
    if (m_eof)
        throw Failure(QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                     "deleted. Requested operation requires a current record."));
}

bool Recordset::eof() const {
    requireOpen();
    return m_eof;
}

void Recordset::moveNext() {
    requireRow();
    step();
}

int Recordset::fieldIndex(const QString& name) const {
    return m_index.value(name.toLower(), -1);
}

Value Recordset::field(const QString& name) const {
    requireOpen();
    const int index = fieldIndex(name);
    if (index < 0)
        throw Failure(QStringLiteral("Item cannot be found in the collection corresponding to "
                                     "the requested name or ordinal."));
    return field(index);
}

Value Recordset::field(int index) const {
    requireRow();
    if (index < 0 || index >= m_names.size())
        throw Failure(QStringLiteral("Item cannot be found in the collection corresponding to "
                                     "the requested name or ordinal."));
    if (m_rows) {
        if (m_rows->isNull(m_row, index))
            return Value();
        const QByteArray bytes(m_rows->text(m_row, index), m_rows->length(m_row, index));
        if (m_rows->isNumber(index))
            return Value::integer(bytes.toLongLong());
        if (m_rows->isReal(index))
            return Value::real(bytes.toDouble());
        const QString text = QString::fromUtf8(bytes);
        if (m_isDate[index]) {
            if (auto date = DateText::fromStored(text))
                return Value::date(*date);
        }
        return Value::text(text);
    }
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_NULL:
        return Value();
    case SQLITE_INTEGER:
        return Value::integer(sqlite3_column_int64(m_stmt, index));
    case SQLITE_FLOAT:
        return Value::real(sqlite3_column_double(m_stmt, index));
    default:
        break;
    }
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
    const QString text = QString::fromUtf8(bytes, sqlite3_column_bytes(m_stmt, index));
    if (m_isDate[index]) {
        if (auto date = DateText::fromStored(text))
            return Value::date(*date);
    }
    return Value::text(text);
}

Recordset::Raw Recordset::raw(int index) const {
    requireRow();
    Raw raw;
    if (index < 0 || index >= m_names.size())
        return raw;
    if (m_rows) {
        if (m_rows->isNull(m_row, index))
            return raw;
        raw.null = false;
        raw.date = m_isDate[index];
        raw.utf8 = m_rows->text(m_row, index);
        raw.size = m_rows->length(m_row, index);
        return raw;
    }
    // Bulk readers call this for every cell, and every call into SQLite takes the connection's
    // lock: ask for the type only when the text is missing, which is rare apart from Null.
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, index));
    if (!text && sqlite3_column_type(m_stmt, index) == SQLITE_NULL)
        return raw;
    raw.null = false;
    raw.date = m_isDate[index];
    raw.utf8 = text;
    raw.size = sqlite3_column_bytes(m_stmt, index);
    return raw;
}
