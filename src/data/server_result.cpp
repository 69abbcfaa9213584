#include "data/server_result.h"

#include "data/failure.h"

#include <libpq-fe.h>

namespace {
// Type numbers of the server's built-in number types.
constexpr Oid kInt2 = 21, kInt4 = 23, kInt8 = 20, kOid = 26, kFloat4 = 700, kFloat8 = 701,
              kNumeric = 1700;
} // namespace

ServerResult::ServerResult(PGresult* result, const QSet<qint64>& dateColumns) : m_result(result) {
    const int count = PQnfields(result);
    m_isDate.resize(count);
    m_number.resize(count);
    for (int i = 0; i < count; ++i) {
        const Oid table = PQftable(result, i);
        const int column = PQftablecol(result, i);
        m_isDate[i] = table != InvalidOid && dateColumns.contains(qint64(table) << 16 | column);
        const Oid type = PQftype(result, i);
        if (type == kInt2 || type == kInt4 || type == kInt8 || type == kOid)
            m_number[i] = 1;
        else if (type == kFloat4 || type == kFloat8 || type == kNumeric)
            m_number[i] = 2;
    }
}

ServerResult::~ServerResult() {
    PQclear(m_result);
}

int ServerResult::rows() const {
    return PQntuples(m_result);
}
int ServerResult::columns() const {
    return PQnfields(m_result);
}
QString ServerResult::name(int column) const {
    return QString::fromUtf8(PQfname(m_result, column));
}
bool ServerResult::isNull(int row, int column) const {
    return PQgetisnull(m_result, row, column);
}
const char* ServerResult::text(int row, int column) const {
    return PQgetvalue(m_result, row, column);
}
int ServerResult::length(int row, int column) const {
    return PQgetlength(m_result, row, column);
}

void ServerResult::takeKinds(const ServerResult& first) {
    if (first.columns() != columns())
        throw Failure(QStringLiteral("The server answered a different set of columns."));
    m_isDate = first.m_isDate;
    m_number = first.m_number;
}
