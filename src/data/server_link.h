#pragma once

#include "data/server_result.h"

#include <QSet>
#include <QString>
#include <memory>

struct pg_conn;
struct pg_result;

// One connection to the database server, given as a connection URI
// ("postgresql://host/database?..."). Passwords come from where the client library finds
// them (~/.pgpass, the connection service file, the environment), never from us. Statements
// are translated into the server's dialect (server_dialect.h) before they run; every failure
// throws a Failure with the server's reason.
class ServerLink {
public:
    // Connects, tells the server how this desk writes dates and checks that the database holds
    // this program's schema of the right version. `requireSchema` false skips the check (for
    // installing the schema).
    explicit ServerLink(const QString& uri, bool requireSchema = true);
    ~ServerLink();
    ServerLink(const ServerLink&) = delete;
    ServerLink& operator=(const ServerLink&) = delete;

    static bool isServerUri(const QString& text);
    // The URI without a password in any form (user:password@, password=... among the
    // parameters, a "password = ..." pair of a keyword string), for messages and captions.
    static QString displayed(const QString& uri);
    // Whether the URI holds a password, which belongs in ~/.pgpass, the connection service
    // file or the environment instead.
    static bool holdsPassword(const QString& uri);

    // Runs one statement of the program's dialect; answers the rows changed.
    int execute(const QString& sql);
    // Runs one statement of the program's dialect in a transaction of its own, in one round
    // trip (inside an open transaction: as part of it, as execute() does); answers the rows
    // changed. A commit refused by a reference check throws ReferenceRefused, as commit() does.
    int executeAlone(const QString& sql);
    std::unique_ptr<ServerResult> query(const QString& sql);
    // Runs server SQL as it is (no translation), with text parameters $1, $2 ...
    std::unique_ptr<ServerResult> run(const QString& sql, const QStringList& parameters = {});
    // Runs a script of several statements of the server's own dialect.
    void runScript(const QString& script);

    // Reads a statement's rows a chunk at a time: openCursor() declares a cursor for the
    // statement (outside a transaction, in a read-only transaction of its own) and answers the
    // first chunk; fetchMore() the next (empty at the end); closeCursor() drops the cursor and
    // ends its own transaction. Nothing else runs on the connection in between: the next
    // chunk is asked for while the caller walks the last.
    std::unique_ptr<ServerResult> openCursor(const QString& sql);
    std::unique_ptr<ServerResult> fetchMore(const ServerResult& first);
    // Whether the cursor may have more rows (the next chunk is on its way).
    bool moreToFetch() const { return m_fetchSent; }
    void closeCursor();
    // Rows in one chunk (settable so that tests can read many chunks from a few rows).
    static int chunkRows();
    static void setChunkRows(int rows);

    // A commit whose answer was lost with the connection is looked up once a connection is
    // back: found committed, it counts as done and is not repeated.
    void beginTransaction();
    void commit();
    void rollback();
    bool inTransaction() const;

    // A lost connection is made again by the next statement that runs outside a transaction
    // (or by reconnect()). While the server cannot be reached, statements fail with one plain
    // description naming the server; it is told once per outage, later failures of the same
    // outage are not told again.
    bool lost() const;
    // Connects again when the connection is lost; fails (as above) while the server cannot be
    // reached. Answers whether it connected anew.
    bool reconnect();
    // The program's name with the desk's user and host, as the server lists this connection.
    static QString applicationName();

    // Change announcements from other connections: start listening on `channel`; the socket
    // becomes readable when one may have come; takeAnnouncements() reads them and answers
    // whether any came from a connection other than this one and the one whose backendId()
    // is `alsoOurs`; `payloads`, when given, gets the text of each of those. A lost
    // connection fails.
    void listen(const QString& channel);
    int socket() const;
    bool takeAnnouncements(int alsoOurs = 0, QStringList* payloads = nullptr);
    // The server's number for this connection's session (0 when closed).
    int backendId() const;

    const QString& uri() const { return m_uri; }
    // Whether this login may change the call log's rows (read when connecting).
    bool mayWrite() const { return m_mayWrite; }
    // The client library's connection, for bulk copies.
    pg_conn* connection() const { return m_conn; }

private:
    // `retry`: the statement may run again on a new connection when the old one turns out to
    // be lost (it read or began something, and nothing was running).
    // `script`: `sql` is several statements of our own, without parameters, run in one round
    // trip (the result is the last one's).
    pg_result* runRaw(const QByteArray& sql, const QStringList& parameters, bool retry = false,
                      bool script = false);
    pg_result* runOnce(const QByteArray& sql, const QStringList& parameters, bool script = false);
    [[noreturn]] void throwOutage(const QString& why);
    void connectAgainIfClosed();
    // Fails, once, when a commit found landed after its answer was lost is still to be told.
    void tellLandedUntold();
    // The connection was lost while a commit was on its way: the transaction `number` (empty
    // when unknown: the commit cannot have started) is looked up on a new connection. Returns
    // when it landed; fails saying that nothing was saved otherwise.
    void lookUpLostCommit(const QByteArray& number);
    // The commit's answer: fails as commit() does when the server refused it.
    void takeCommitAnswer(pg_result* result);
    void connectNow();
    std::unique_ptr<ServerResult> answer(pg_result* result);
    void sendFetch();
    std::unique_ptr<ServerResult> takeFetched();
    void loadDateColumns();
    // The comments' index and those of the summary's counts, each added when missing by a
    // desk of the login that owns the calls (server_indexes.cpp).
    void addIndexes();
    void tellDateHabits();

    pg_conn* m_conn = nullptr;
    QString m_uri;
    QSet<qint64> m_dateColumns;
    // Whether the open cursor's transaction is its own.
    bool m_cursorTransaction = false;
    // Whether the cursor's next chunk is asked for, and its size.
    bool m_fetchSent = false;
    int m_fetchRows = 0;
    // The tables and views whose date columns are known.
    QSet<quint32> m_knownRelations;
    // A transaction of ours is open (the server's own state is unknown once the connection is
    // lost).
    bool m_transaction = false;
    // The outage was told; connecting anew ends it.
    bool m_outageTold = false;
    bool m_reconnecting = false;
    // The channels listened on, listened on again after connecting anew.
    QStringList m_channels;
    // The transaction whose commit was sent when the connection was lost and could not be
    // looked up yet, and whether one found committed is still to be told.
    QByteArray m_doubtfulCommit;
    // The number of the open transaction, read when it began.
    QByteArray m_transactionNumber;
    bool m_landedUntold = false;
    bool m_mayWrite = true;
};
