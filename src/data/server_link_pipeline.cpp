// A statement in a transaction of its own, in one round trip: the client library's pipeline
// sends the transaction's start, the statement, the question for the transaction's number
// and the commit together. The server sends the number back before it reads the commit, so
// that a commit whose answer is lost with the connection can still be looked up; a number
// that never came means that the commit never started.

#include "data/failure.h"
#include "data/server_dialect.h"
#include "data/server_failure.h"
#include "data/server_link.h"

#include <libpq-fe.h>
#include <vector>

namespace {

// The pipeline's parts, in the order their answers come.
enum Part { Begin, Statement, Number, Commit, Parts };

bool succeeded(const PGresult* result) {
    const ExecStatusType status = PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

} // namespace

int ServerLink::executeAlone(const QString& sql) {
    if (sql.trimmed().isEmpty())
        throw Failure(QStringLiteral("The statement is empty."));
    // Part of the caller's transaction.
    if (!m_conn || m_transaction || m_reconnecting)
        return execute(sql);
    const QByteArray statement = ServerStatement(sql).toUtf8();
    connectAgainIfClosed();
    tellLandedUntold();
    if (PQenterPipelineMode(m_conn) != 1)
        throw Failure(ServerFailureText(nullptr, m_conn));
    const char* const texts[Parts] = {"BEGIN", statement.constData(),
                                      "SELECT pg_current_xact_id()::text", "COMMIT"};
    bool sent = true;
    for (int part = Begin; part < Parts && sent; ++part) {
        sent = PQsendQueryParams(m_conn, texts[part], 0, nullptr, nullptr, nullptr, nullptr, 0);
        // The number is on its way back before the commit is read.
        if (sent && part == Number)
            sent = PQsendFlushRequest(m_conn);
    }
    sent = sent && PQpipelineSync(m_conn);

    // One answer per part, each followed by an empty one; the end of the pipeline last. A
    // lost connection ends the reading.
    std::vector<PGresult*> answers;
    struct Clear {
        std::vector<PGresult*>& answers;
        ~Clear() {
            for (PGresult* result : answers)
                PQclear(result);
        }
    } clear{answers};
    for (int empty = 0; sent && empty <= Parts && !lost();) {
        PGresult* result = PQgetResult(m_conn);
        if (!result) {
            ++empty;
            continue;
        }
        if (PQresultStatus(result) == PGRES_PIPELINE_SYNC) {
            PQclear(result);
            break;
        }
        if (lost()) {
            PQclear(result);
            break;
        }
        answers.push_back(result);
    }
    if (lost() || !sent) {
        m_transaction = false;
        // The commit's answer came before the connection went: it is saved.
        if (answers.size() > Commit && succeeded(answers[Commit]))
            return QByteArray(PQcmdTuples(answers[Statement])).toInt();
        const bool numbered = answers.size() > Number && succeeded(answers[Number]) &&
                              PQntuples(answers[Number]) == 1;
        // Returns only when the commit is found to have landed.
        lookUpLostCommit(numbered ? QByteArray(PQgetvalue(answers[Number], 0, 0)) : QByteArray());
        return QByteArray(PQcmdTuples(answers[Statement])).toInt();
    }
    PQexitPipelineMode(m_conn);
    if (answers.size() != Parts)
        throw Failure(ServerFailureText(nullptr, m_conn));
    for (int part : {Begin, Statement}) {
        if (succeeded(answers[size_t(part)]))
            continue;
        // Nothing after the failed part ran; the transaction is ended here.
        const QString why = ServerFailureText(answers[size_t(part)], m_conn);
        if (PQtransactionStatus(m_conn) != PQTRANS_IDLE)
            PQclear(PQexec(m_conn, "ROLLBACK"));
        m_transaction = false;
        throw Failure(why);
    }
    const int changed = QByteArray(PQcmdTuples(answers[Statement])).toInt();
    PGresult* commit = answers[Commit];
    answers.pop_back();
    takeCommitAnswer(commit);
    return changed;
}
