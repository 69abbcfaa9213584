#include "data/server_failure.h"

#include "data/failure.h"

#include <libpq-fe.h>

QString ServerFailureText(const PGresult* result, PGconn* conn) {
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const QString server =
        primary ? QString::fromUtf8(primary) : QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QByteArray code = state ? QByteArray(state) : QByteArray();
    const char* cause = nullptr;
    const char* advice = nullptr;
    if (code == "23505" && !server.startsWith(QLatin1String("The value is there already"))) {
        cause = "The value is there already";
    } else if (code == "23503") {
        cause = "The call names a person or value that no longer exists";
        advice = "pick another and save again";
    } else if (code == "55P03" || code == "40001" || code == "40P01") {
        cause = "The row is in use at another desk";
        advice = "try again in a moment";
    } else if (PQstatus(conn) != CONNECTION_OK || code.startsWith("08")) {
        cause = "The connection to the database server was lost";
        advice = "try again when the server is back; the program connects again by itself";
    } else if (code == "42501") {
        cause = "This login has no right to do this";
        advice = "ask the administrator of the database server to grant the role quorvane_writer "
                 "(to read and change the call log) or quorvane_reader (to read it)";
    }
    if (!cause)
        return Sentence(server);
    QString text = QLatin1String(cause) + QStringLiteral(" (") + server + QLatin1Char(')');
    if (advice)
        text += QStringLiteral("; ") + QLatin1String(advice);
    return Sentence(text);
}
