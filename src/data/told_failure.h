#pragma once

#include "data/failure.h"

// A failure that the error trap tells without the error report around it: its cause is
// nothing the program did wrong (a database server that cannot be reached), and the person
// is told what happens now. `alreadyTold` marks a failure whose cause was told already and
// still holds: the trap tells it no more.
class ToldFailure : public Failure {
public:
    ToldFailure(const QString& description, const QString& cause, bool alreadyTold)
        : Failure(description, cause, QStringLiteral("statements")), m_alreadyTold(alreadyTold) {}
    bool alreadyTold() const { return m_alreadyTold; }

private:
    bool m_alreadyTold;
};

// A server that does not answer at all when a desk connects (it is down, starting or stopping,
// or the network does not reach it), as opposed to one that refuses the desk: `server` is the
// server as it may be shown, `why` the client library's reason.
class ServerUnreachable : public ToldFailure {
public:
    ServerUnreachable(const QString& description, const QString& server, const QString& why)
        : ToldFailure(description, QStringLiteral("outage of ") + server, false), m_server(server),
          m_why(why) {}
    const QString& server() const { return m_server; }
    const QString& why() const { return m_why; }
    // Whether the client library's reason for not connecting means that the server is not
    // reachable now.
    static bool isOutage(const QString& why) {
        for (const char* sign :
             {"Connection refused", "timeout expired", "the database system is starting up",
              "the database system is shutting down", "the database system is in recovery mode",
              "server closed the connection unexpectedly", "No route to host",
              "Network is unreachable", "Connection reset by peer"}) {
            if (why.contains(QLatin1String(sign)))
                return true;
        }
        return false;
    }

private:
    QString m_server;
    QString m_why;
};
