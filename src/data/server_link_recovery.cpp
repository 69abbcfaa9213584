// The connection to the server lost and made again, and the transactions on it: a commit whose
// answer was lost with the connection is looked up rather than repeated.

#include "data/failure.h"
#include "data/server_failure.h"
#include "data/server_link.h"
#include "data/told_failure.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <libpq-fe.h>
#include <pwd.h>
#include <unistd.h>

QString ServerLink::applicationName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) {
        if (const passwd* entry = getpwuid(getuid()))
            user = QString::fromLocal8Bit(entry->pw_name);
    }
    const QString program = QCoreApplication::applicationName();
    return QStringLiteral("%1 %2@%3")
        .arg(program.isEmpty() ? QStringLiteral("Quorvane") : program, user,
             QSysInfo::machineHostName());
}

// Connects with the URI's settings; the desk names itself to the server, and a server that does
// not answer is given up on after a while unless the URI says otherwise.
void ServerLink::connectNow() {
    const QByteArray name = applicationName().left(63).toUtf8();
    const QByteArray uri = m_uri.toUtf8();
    const char* keywords[] = {"connect_timeout", "dbname", "application_name", nullptr};
    const char* values[] = {"10", uri.constData(), name.constData(), nullptr};
    m_conn = PQconnectdbParams(keywords, values, 1);
}

bool ServerLink::lost() const {
    return m_conn && PQstatus(m_conn) != CONNECTION_OK;
}

void ServerLink::throwOutage(const QString& why) {
    const QString text =
        QStringLiteral("The database server %1 cannot be reached (%2). Nothing you typed is "
                       "lost: it stays where it is. Try again when the server is back; the "
                       "program connects again by itself.")
            .arg(displayed(m_uri),
                 why.trimmed().isEmpty() ? QStringLiteral("no answer") : why.trimmed());
    const QString cause = QStringLiteral("outage of ") + displayed(m_uri);
    const bool told = m_outageTold;
    m_outageTold = true;
    throw ToldFailure(text, cause, told);
}

bool ServerLink::reconnect() {
    if (!m_conn)
        throw Failure(QStringLiteral("Operation is not allowed when the object is closed."));
    if (!lost() || m_reconnecting)
        return false;
    m_reconnecting = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_reconnecting};
    PQfinish(m_conn);
    connectNow();
    if (PQstatus(m_conn) != CONNECTION_OK)
        throwOutage(QString::fromUtf8(PQerrorMessage(m_conn)).section(QLatin1Char('\n'), 0, 0));
    PQsetClientEncoding(m_conn, "UTF8");
    PQsetNoticeProcessor(
        m_conn, [](void*, const char*) {}, nullptr);
    m_fetchSent = false;
    m_cursorTransaction = false;
    m_transaction = false;
    try {
        tellDateHabits();
        for (const QString& channel : std::as_const(m_channels))
            listen(channel);
        // A commit whose answer was lost: did it land?
        if (!m_doubtfulCommit.isEmpty()) {
            auto status = run(QStringLiteral("select pg_xact_status($1::xid8)"),
                              {QString::fromLatin1(m_doubtfulCommit)});
            m_landedUntold = status->rows() && QByteArray(status->text(0, 0)) == "committed";
            m_doubtfulCommit.clear();
        }
    } catch (const Failure& failure) {
        if (lost())
            throwOutage(failure.description());
        throw;
    }
    m_outageTold = false;
    return true;
}

void ServerLink::beginTransaction() {
    // The transaction's number comes with its start, in the same round trip, to look the
    // commit up should its answer be lost.
    PGresult* begun = runRaw("BEGIN; SELECT pg_current_xact_id()::text", {}, true, true);
    m_transactionNumber =
        PQntuples(begun) == 1 ? QByteArray(PQgetvalue(begun, 0, 0)) : QByteArray();
    PQclear(begun);
    m_transaction = true;
    if (m_landedUntold) {
        rollback();
        tellLandedUntold();
    }
}

void ServerLink::tellLandedUntold() {
    if (!m_landedUntold)
        return;
    m_landedUntold = false;
    throw Failure(QStringLiteral("The last save reached the database server %1 just before the "
                                 "connection was lost, so it is saved; it is not saved again. "
                                 "Check the list before saving once more.")
                      .arg(displayed(m_uri)));
}

void ServerLink::commit() {
    if (!inTransaction())
        throw Failure(QStringLiteral("No transaction is active."));
    // The transaction's number, to look the commit up should its answer be lost.
    const QByteArray written = m_transactionNumber;
    PGresult* result = PQexec(m_conn, "COMMIT");
    if (PQresultStatus(result) != PGRES_COMMAND_OK && lost()) {
        PQclear(result);
        m_transaction = false;
        lookUpLostCommit(written);
        return;
    }
    takeCommitAnswer(result);
}

void ServerLink::takeCommitAnswer(PGresult* result) {
    m_transaction = false;
    if (PQresultStatus(result) == PGRES_COMMAND_OK) {
        PQclear(result);
        return;
    }
    const QString why = ServerFailureText(result, m_conn);
    const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
    const char* check = PQresultErrorField(result, PG_DIAG_CONSTRAINT_NAME);
    const QString constraint =
        state && qstrcmp(state, "23503") == 0 && check ? QString::fromUtf8(check) : QString();
    PQclear(result);
    if (PQtransactionStatus(m_conn) != PQTRANS_IDLE)
        PQclear(PQexec(m_conn, "ROLLBACK"));
    if (!constraint.isEmpty())
        throw ReferenceRefused(why, constraint);
    throw Failure(why);
}

void ServerLink::lookUpLostCommit(const QByteArray& number) {
    const QString why = QString::fromUtf8(PQerrorMessage(m_conn)).section(QLatin1Char('\n'), 0, 0);
    if (number.isEmpty())
        throwOutage(why);
    m_doubtfulCommit = number;
    reconnect();
    // Connected again at once: the commit was looked up.
    if (m_landedUntold) {
        m_landedUntold = false;
        return;
    }
    throw ToldFailure(QStringLiteral("The connection to the database server %1 was lost during "
                                     "the save (%2), and the save did not reach the server: "
                                     "nothing was saved. What you typed is kept; save again.")
                          .arg(displayed(m_uri), why),
                      QStringLiteral("lost commit on ") + displayed(m_uri), false);
}

void ServerLink::rollback() {
    const bool open = inTransaction();
    m_transaction = false;
    if (open && !lost())
        PQclear(PQexec(m_conn, "ROLLBACK"));
}

bool ServerLink::inTransaction() const {
    if (!m_conn || lost())
        return false;
    const PGTransactionStatusType status = PQtransactionStatus(m_conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}
