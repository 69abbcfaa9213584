#include "data/server_link.h"

#include "data/connection.h"
#include "data/date_text.h"
#include "data/date_typing.h"
#include "data/failure.h"
#include "data/schema_upgrades.h"
#include "data/server_dialect.h"
#include "data/server_failure.h"
#include "data/server_upgrades.h"
#include "data/told_failure.h"

#include <QLocale>
#include <QUrl>
#include <libpq-fe.h>
#include <poll.h>

namespace {

QString folded(QString word) {
    return word.remove(QLatin1Char('.')).toLower();
}

} // namespace

bool ServerLink::isServerUri(const QString& text) {
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

ServerLink::ServerLink(const QString& uri, bool requireSchema) : m_uri(uri) {
    connectNow();
    if (!m_conn)
        throw Failure(QStringLiteral("Cannot connect to the database server: out of memory."));
    if (PQstatus(m_conn) != CONNECTION_OK) {
        const QString why = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
        PQfinish(m_conn);
        m_conn = nullptr;
        // An encrypted connection to a server that is not the one named is refused.
        if (why.contains(QLatin1String("certificate")))
            throw Failure(QStringLiteral("The database server %1 was refused: its certificate "
                                         "does not prove that it is the server named (%2). Check "
                                         "the host name in the URI, which the certificate must "
                                         "name, and the authority that signed it (sslrootcert "
                                         "in the URI, or ~/.postgresql/root.crt).")
                              .arg(displayed(uri), why));
        const QString text =
            QStringLiteral(
                "Cannot connect to the database server %1: %2\nCheck that the server is running "
                "and accepts connections at that address, that the database exists, and that "
                "your user name and password are in ~/.pgpass, the connection service file or "
                "the environment (PGUSER, PGPASSWORD).")
                .arg(displayed(uri), why);
        // A server that is down is told plainly: the desk waits for it.
        if (ServerUnreachable::isOutage(why))
            throw ServerUnreachable(text, displayed(uri), why.section(QLatin1Char('\n'), 0, 0));
        throw Failure(text);
    }
    PQsetClientEncoding(m_conn, "UTF8");
    try {
        // Notices (such as those of the schema script) are not for the person at the desk.
        PQsetNoticeProcessor(
            m_conn, [](void*, const char*) {}, nullptr);
        if (requireSchema) {
            std::unique_ptr<ServerResult> version;
            try {
                version = run(QStringLiteral("select version from quorvane_schema"));
            } catch (const Failure& failure) {
                // A login without rights on the tables sees them but may not read them.
                if (failure.description().startsWith(QLatin1String("This login has no right")))
                    throw Failure(QStringLiteral("The login of this desk has no right to read the "
                                                 "call log in %1. Ask the administrator of the "
                                                 "database server to grant it the role "
                                                 "quorvane_writer (to read and change the call "
                                                 "log) or quorvane_reader (to read it only).")
                                      .arg(displayed(uri)));
                throw Failure(QStringLiteral("The database %1 holds no call log of this program; "
                                             "install one into an empty database with "
                                             "--init-server.")
                                  .arg(displayed(uri)));
            }
            const int number = version->rows() ? QByteArray(version->text(0, 0)).toInt() : 0;
            if (number > ServerSchemaVersion())
                throw Failure(QStringLiteral("The database %1 was written by a newer version of "
                                             "this program (schema %2; this version reads %3).")
                                  .arg(displayed(uri))
                                  .arg(number)
                                  .arg(ServerSchemaVersion()));
            // A call log of an earlier version is brought up to this one first.
            if (number < ServerSchemaVersion())
                UpgradeServerSchema(*this, number);
            loadDateColumns();
            addIndexes();
            auto rights = run(QStringLiteral("select has_table_privilege('calls', 'INSERT')"));
            m_mayWrite = rights->rows() && QByteArray(rights->text(0, 0)) == "t";
        }
        tellDateHabits();
    } catch (...) {
        PQfinish(m_conn);
        m_conn = nullptr;
        throw;
    }
}

ServerLink::~ServerLink() {
    if (m_conn)
        PQfinish(m_conn);
}

void ServerLink::loadDateColumns() {
    m_dateColumns.clear();
    auto columns = run(QStringLiteral("select attrelid::bigint, attnum from pg_attribute "
                                      "where atttypid = 'stored_date'::regtype"));
    for (int row = 0; row < columns->rows(); ++row)
        m_dateColumns.insert(QByteArray(columns->text(row, 0)).toLongLong() << 16 |
                             QByteArray(columns->text(row, 1)).toInt());
    m_knownRelations.clear();
    auto relations = run(QStringLiteral("select oid from pg_class where relkind in ('r', 'v')"));
    for (int row = 0; row < relations->rows(); ++row)
        m_knownRelations.insert(QByteArray(relations->text(row, 0)).toUInt());
}

// The server reads date text as this desk writes and types it: the order of day, month and
// year, the names of months and weekdays and the day-half markers of the desk's locale.
void ServerLink::tellDateHabits() {
    const QLocale locale;
    QString months = QStringLiteral("|");
    for (int month = 1; month <= 12; ++month) {
        QStringList names;
        for (QLocale::FormatType form : {QLocale::LongFormat, QLocale::ShortFormat})
            names << folded(locale.monthName(month, form))
                  << folded(locale.standaloneMonthName(month, form));
        names.removeDuplicates();
        for (const QString& name : names)
            months += name + QLatin1Char('=') + QString::number(month) + QLatin1Char('|');
    }
    QString weekdays = QStringLiteral("|");
    for (int day = 1; day <= 7; ++day) {
        for (QLocale::FormatType form : {QLocale::LongFormat, QLocale::ShortFormat})
            weekdays += folded(locale.dayName(day, form)) + QLatin1Char('|') +
                        folded(locale.standaloneDayName(day, form)) + QLatin1Char('|');
    }
    run(QStringLiteral("select set_config('quorvane.short_order', $1, false), "
                       "set_config('quorvane.long_order', $2, false), "
                       "set_config('quorvane.months', $3, false), "
                       "set_config('quorvane.weekdays', $4, false), "
                       "set_config('quorvane.am', $5, false), "
                       "set_config('quorvane.pm', $6, false), "
                       "set_config('quorvane.example', $7, false), "
                       // Cursors (see openCursor) are read to the end: planned as for that.
                       "set_config('cursor_tuple_fraction', '1', false)"),
        {DateFieldOrder(locale.dateFormat(QLocale::ShortFormat)),
         DateFieldOrder(locale.dateFormat(QLocale::LongFormat)), months, weekdays,
         folded(locale.amText()), folded(locale.pmText()), DateText::format(DateText::today())});
}

PGresult* ServerLink::runOnce(const QByteArray& sql, const QStringList& parameters, bool script) {
    if (script)
        return PQexec(m_conn, sql.constData());
    QVector<QByteArray> values;
    QVector<const char*> pointers;
    for (const QString& parameter : parameters)
        values << parameter.toUtf8();
    for (const QByteArray& value : values)
        pointers << value.constData();
    // The extended protocol runs exactly one statement: text after it is refused, as the
    // local engine refuses it.
    return PQexecParams(m_conn, sql.constData(), int(pointers.size()), nullptr,
                        pointers.constData(), nullptr, nullptr, 0);
}

void ServerLink::connectAgainIfClosed() {
    // A connection the server closed since the last statement is noticed before the next one
    // is sent, and made again. What the server sent while the connection was idle is read
    // first (the notice that it ends the connection, then the end itself), as long as any is
    // waiting.
    for (int reads = 0; reads < 8 && PQstatus(m_conn) == CONNECTION_OK &&
                        PQtransactionStatus(m_conn) == PQTRANS_IDLE;
         ++reads) {
        pollfd waiting{PQsocket(m_conn), POLLIN, 0};
        if (poll(&waiting, 1, 0) <= 0 || !PQconsumeInput(m_conn))
            break;
    }
    reconnect();
}

PGresult* ServerLink::runRaw(const QByteArray& sql, const QStringList& parameters, bool retry,
                             bool script) {
    if (!m_conn)
        throw Failure(QStringLiteral("Operation is not allowed when the object is closed."));
    const bool outside = !m_transaction && !m_reconnecting;
    if (outside) {
        connectAgainIfClosed();
    } else if (lost()) {
        // The transaction went with the connection: nothing of it was written.
        m_transaction = false;
        throwOutage(QString::fromUtf8(PQerrorMessage(m_conn)).section(QLatin1Char('\n'), 0, 0));
    }
    PGresult* result = runOnce(sql, parameters, script);
    ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && lost() && !m_reconnecting) {
        const QString why =
            QString::fromUtf8(PQerrorMessage(m_conn)).section(QLatin1Char('\n'), 0, 0);
        PQclear(result);
        m_transaction = false;
        if (!(outside && retry))
            throwOutage(why);
        reconnect();
        result = runOnce(sql, parameters, script);
        status = PQresultStatus(result);
    }
    if (!lost()) {
        const PGTransactionStatusType now = PQtransactionStatus(m_conn);
        m_transaction = now == PQTRANS_INTRANS || now == PQTRANS_INERROR;
    }
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        const QString why = ServerFailureText(result, m_conn);
        PQclear(result);
        if (lost() && !m_reconnecting) {
            m_transaction = false;
            throwOutage(why);
        }
        throw Failure(why);
    }
    return result;
}

std::unique_ptr<ServerResult> ServerLink::run(const QString& sql, const QStringList& parameters) {
    return answer(runRaw(sql.toUtf8(), parameters));
}

std::unique_ptr<ServerResult> ServerLink::answer(PGresult* result) {
    // A table or view made since the date columns were read (such as a saved query made
    // anew) has its date columns looked up before its rows are read.
    if (!m_knownRelations.isEmpty()) {
        for (int i = 0; i < PQnfields(result); ++i) {
            const Oid table = PQftable(result, i);
            if (table != InvalidOid && !m_knownRelations.contains(table)) {
                try {
                    loadDateColumns();
                } catch (...) {
                    PQclear(result);
                    throw;
                }
                break;
            }
        }
    }
    return std::make_unique<ServerResult>(result, m_dateColumns);
}

std::unique_ptr<ServerResult> ServerLink::query(const QString& sql) {
    if (sql.trimmed().isEmpty())
        throw Failure(QStringLiteral("The statement is empty."));
    // A query reads: run again on a new connection when the old one is found lost.
    return answer(runRaw(ServerStatement(sql).toUtf8(), {}, true));
}

int ServerLink::execute(const QString& sql) {
    if (sql.trimmed().isEmpty())
        throw Failure(QStringLiteral("The statement is empty."));
    PGresult* result = runRaw(ServerStatement(sql).toUtf8(), {});
    const int changed = QByteArray(PQcmdTuples(result)).toInt();
    PQclear(result);
    return changed;
}

void ServerLink::runScript(const QString& script) {
    if (!m_conn)
        throw Failure(QStringLiteral("Operation is not allowed when the object is closed."));
    PGresult* result = PQexec(m_conn, script.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    const QString why = ok ? QString() : ServerFailureText(result, m_conn);
    PQclear(result);
    if (!lost()) {
        const PGTransactionStatusType now = PQtransactionStatus(m_conn);
        m_transaction = now == PQTRANS_INTRANS || now == PQTRANS_INERROR;
    }
    if (!ok)
        throw Failure(why);
    loadDateColumns();
}

void ServerLink::listen(const QString& channel) {
    const QByteArray name = channel.toUtf8();
    char* quoted = PQescapeIdentifier(m_conn, name.constData(), size_t(name.size()));
    const QByteArray sql = QByteArray("LISTEN ") + quoted;
    PQfreemem(quoted);
    PQclear(runRaw(sql, {}, true));
    if (!m_channels.contains(channel))
        m_channels << channel;
}

int ServerLink::socket() const {
    return m_conn ? PQsocket(m_conn) : -1;
}

bool ServerLink::takeAnnouncements(int alsoOurs, QStringList* payloads) {
    if (!m_conn)
        return false;
    if (!PQconsumeInput(m_conn) || PQstatus(m_conn) != CONNECTION_OK)
        throw Failure(ServerFailureText(nullptr, m_conn));
    bool fromOthers = false;
    const int self = PQbackendPID(m_conn);
    while (PGnotify* notice = PQnotifies(m_conn)) {
        if (notice->be_pid != self && notice->be_pid != alsoOurs) {
            fromOthers = true;
            if (payloads)
                *payloads << QString::fromUtf8(notice->extra);
        }
        PQfreemem(notice);
    }
    return fromOthers;
}

int ServerLink::backendId() const {
    return m_conn ? PQbackendPID(m_conn) : 0;
}
