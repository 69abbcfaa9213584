// Reading a long answer in chunks through a cursor, one chunk fetched while the last one is
// read.
#include "data/failure.h"
#include "data/server_dialect.h"
#include "data/server_failure.h"
#include "data/server_link.h"

#include <atomic>
#include <libpq-fe.h>

namespace {
std::atomic<int> chunkSize{10000};
} // namespace

int ServerLink::chunkRows() {
    return chunkSize;
}
void ServerLink::setChunkRows(int rows) {
    chunkSize = qMax(1, rows);
}

std::unique_ptr<ServerResult> ServerLink::openCursor(const QString& sql) {
    if (sql.trimmed().isEmpty())
        throw Failure(QStringLiteral("The statement is empty."));
    // A cursor lives in a transaction: the caller's, or a read-only one of its own that ends
    // with it.
    m_cursorTransaction = !inTransaction();
    if (m_cursorTransaction) {
        PQclear(runRaw("BEGIN READ ONLY", {}, true));
        m_transaction = true;
    }
    try {
        PQclear(runRaw(
            "DECLARE quorvane_rows NO SCROLL CURSOR FOR " + ServerStatement(sql).toUtf8(), {}));
        sendFetch();
        return takeFetched();
    } catch (...) {
        closeCursor();
        throw;
    }
}

std::unique_ptr<ServerResult> ServerLink::fetchMore(const ServerResult& first) {
    if (!m_fetchSent)
        return std::make_unique<ServerResult>(PQmakeEmptyPGresult(m_conn, PGRES_TUPLES_OK),
                                              QSet<qint64>());
    auto chunk = takeFetched();
    chunk->takeKinds(first);
    return chunk;
}

void ServerLink::sendFetch() {
    const QByteArray sql =
        "FETCH FORWARD " + QByteArray::number(chunkSize.load()) + " FROM quorvane_rows";
    if (!PQsendQueryParams(m_conn, sql.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0))
        throw Failure(ServerFailureText(nullptr, m_conn));
    m_fetchSent = true;
    m_fetchRows = chunkSize;
}

// The chunk asked for; a full one asks for the next at once, so that the server reads it
// while this one is walked.
std::unique_ptr<ServerResult> ServerLink::takeFetched() {
    PGresult* result = nullptr;
    while (PGresult* next = PQgetResult(m_conn)) {
        PQclear(result);
        result = next;
    }
    m_fetchSent = false;
    if (PQresultStatus(result) != PGRES_TUPLES_OK) {
        const QString why = ServerFailureText(result, m_conn);
        PQclear(result);
        throw Failure(why);
    }
    auto chunk = answer(result);
    if (chunk->rows() >= m_fetchRows)
        sendFetch();
    return chunk;
}

void ServerLink::closeCursor() {
    if (!m_conn)
        return;
    if (m_fetchSent) {
        while (PGresult* next = PQgetResult(m_conn))
            PQclear(next);
        m_fetchSent = false;
    }
    // Nothing was written: ending the cursor's own transaction either way drops the cursor.
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    if (m_cursorTransaction && status != PQTRANS_IDLE && !lost())
        PQclear(PQexec(m_conn, "ROLLBACK"));
    else if (!m_cursorTransaction && status == PQTRANS_INTRANS)
        PQclear(PQexec(m_conn, "CLOSE quorvane_rows"));
    if (m_cursorTransaction)
        m_transaction = false;
    m_cursorTransaction = false;
}
