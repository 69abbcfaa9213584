#include "records/attachment_store.h"

#include "data/connection.h"
#include "data/failure.h"
#include "data/gathered_writes.h"
#include "data/recordset.h"
#include "data/server_link.h"
#include "data/sql_text.h"
#include "records/content_hash.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeDatabase>
#include <QSaveFile>
#include <cstring>
#include <libpq-fe.h>
#include <memory>
#include <optional>
#include <sqlite3.h>

namespace {

template <typename Fn> void eachRow(Connection& connection, const QString& sql, Fn fn) {
    Recordset records;
    records.open(sql, connection);
    while (!records.eof()) {
        fn(records);
        records.moveNext();
    }
    records.close();
}

qint64 scalar(Connection& connection, const QString& sql) {
    qint64 value = 0;
    eachRow(connection, sql, [&](const Recordset& row) {
        if (!row.field(0).isNull())
            value = row.field(0).toInteger();
    });
    return value;
}

struct Statement {
    sqlite3_stmt* stmt = nullptr;
    ~Statement() { sqlite3_finalize(stmt); }
};

struct Answer {
    PGresult* result = nullptr;
    ~Answer() { PQclear(result); }
};

Failure serverFailure(PGconn* conn, PGresult* result) {
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    return Failure(QString::fromUtf8(primary ? primary : PQerrorMessage(conn)).trimmed());
}

// Writes the pieces of one content, in order, on either engine.
class PieceWriter {
public:
    PieceWriter(Connection& connection, qint64 content)
        : m_connection(connection), m_content(content) {
        if (connection.server())
            return;
        sqlite3* db = connection.handle();
        if (sqlite3_prepare_v2(
                db, "insert into AttachmentPieces (Content, Piece, Data) values (?, ?, ?)", -1,
                &m_insert.stmt, nullptr) != SQLITE_OK)
            throw connection.engineFailure();
    }

    void write(int piece, const QByteArray& data) {
        if (ServerLink* link = m_connection.server()) {
            const QByteArray content = QByteArray::number(m_content);
            const QByteArray number = QByteArray::number(piece);
            const char* values[] = {content.constData(), number.constData(), data.constData()};
            const int lengths[] = {0, 0, int(data.size())};
            const int formats[] = {0, 0, 1};
            Answer answer{PQexecParams(link->connection(),
                                       "insert into attachmentpieces (content, piece, data) "
                                       "values ($1::integer, $2::integer, $3::bytea)",
                                       3, nullptr, values, lengths, formats, 0)};
            if (PQresultStatus(answer.result) != PGRES_COMMAND_OK)
                throw serverFailure(link->connection(), answer.result);
            return;
        }
        sqlite3_reset(m_insert.stmt);
        sqlite3_bind_int64(m_insert.stmt, 1, m_content);
        sqlite3_bind_int(m_insert.stmt, 2, piece);
        sqlite3_bind_blob(m_insert.stmt, 3, data.constData(), int(data.size()), SQLITE_STATIC);
        const int rc = sqlite3_step(m_insert.stmt);
        // The statement keeps no pointer to the caller's bytes past this call.
        sqlite3_clear_bindings(m_insert.stmt);
        if (rc != SQLITE_DONE)
            throw m_connection.engineFailure();
    }

private:
    Connection& m_connection;
    qint64 m_content;
    Statement m_insert;
};

// Reads the pieces of one content, in order, on either engine.
class PieceReader {
public:
    PieceReader(Connection& connection, qint64 content)
        : m_connection(connection), m_content(content) {
        if (connection.server())
            return;
        sqlite3* db = connection.handle();
        if (sqlite3_prepare_v2(db,
                               "select Data from AttachmentPieces where Content = ? order by Piece",
                               -1, &m_select.stmt, nullptr) != SQLITE_OK)
            throw connection.engineFailure();
        sqlite3_bind_int64(m_select.stmt, 1, m_content);
    }

    // The next piece, into `data` (its allocation reused); false at the end.
    bool next(QByteArray& data) {
        if (ServerLink* link = m_connection.server()) {
            const QByteArray content = QByteArray::number(m_content);
            const QByteArray number = QByteArray::number(m_piece++);
            const char* values[] = {content.constData(), number.constData()};
            Answer answer{PQexecParams(link->connection(),
                                       "select data from attachmentpieces where content = "
                                       "$1::integer and piece = $2::integer",
                                       2, nullptr, values, nullptr, nullptr, 1)};
            if (PQresultStatus(answer.result) != PGRES_TUPLES_OK)
                throw serverFailure(link->connection(), answer.result);
            if (PQntuples(answer.result) == 0)
                return false;
            assign(data, PQgetvalue(answer.result, 0, 0), PQgetlength(answer.result, 0, 0));
            return true;
        }
        const int rc = sqlite3_step(m_select.stmt);
        if (rc == SQLITE_DONE)
            return false;
        if (rc != SQLITE_ROW)
            throw m_connection.engineFailure();
        const void* blob = sqlite3_column_blob(m_select.stmt, 0);
        assign(data, static_cast<const char*>(blob), sqlite3_column_bytes(m_select.stmt, 0));
        return true;
    }

private:
    static void assign(QByteArray& data, const char* bytes, int size) {
        data.resize(size);
        if (size > 0)
            std::memcpy(data.data(), bytes, size_t(size));
    }

    Connection& m_connection;
    qint64 m_content;
    int m_piece = 0;
    Statement m_select;
};

QString tooLarge(const QString& name, qint64 size, qint64 limit) {
    return QStringLiteral("The file '%1' (%2) is larger than an attachment may be (%3); nothing "
                          "was added. The limit is the setting AttachmentLimitMB.")
        .arg(name, size >= 0 ? Attachments::ShownSize(size) : QStringLiteral("more"),
             Attachments::ShownSize(limit));
}

void requireCall(Connection& connection, qint64 callId) {
    if (scalar(connection,
               QStringLiteral("select count(*) from Calls where ID = %1").arg(callId)) == 0)
        throw Failure(QStringLiteral("There is no call %1 (another desk may have deleted it); "
                                     "nothing was added.")
                          .arg(callId));
}

} // namespace

namespace Attachments {

QString ShownSize(qint64 bytes) {
    if (bytes < 1024)
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

qint64 Store(Connection& connection, qint64 callId, QIODevice& source, const QString& name,
             qint64 limit) {
    RefuseNulText(name);
    const QString stored = name.isEmpty() ? QStringLiteral("attachment") : name;
    // The pieces go under a content of their own first; the hash is known only at the end.
    qint64 content = 0;
    if (ServerLink* link = connection.server()) {
        content = QByteArray(link->run(QStringLiteral("insert into attachmentcontents (size) "
                                                      "values (0) returning id"))
                                 ->text(0, 0))
                      .toLongLong();
    } else {
        connection.execute(QStringLiteral("insert into AttachmentContents (Size) values (0)"));
        content = sqlite3_last_insert_rowid(connection.handle());
    }

    PieceWriter writer(connection, content);
    // Two buffers: a piece is read into one while the other may still be hashed.
    QByteArray buffers[2];
    ContentHash hash; // after the buffers: its thread ends before they go
    QByteArray first;
    qint64 size = 0;
    int pieces = 0;
    // The pages of a large content go to the file in large writes, not one at a time.
    std::optional<GatheredWrites::Scope> gathered;
    for (;;) {
        QByteArray& piece = buffers[pieces % 2];
        piece.resize(kPieceSize);
        qint64 filled = 0;
        // A pipe or a socket may give less than a piece at a time.
        while (filled < kPieceSize) {
            const qint64 got = source.read(piece.data() + filled, kPieceSize - filled);
            if (got < 0)
                throw Failure(QStringLiteral("The file '%1' cannot be read: %2")
                                  .arg(name, source.errorString()));
            if (got == 0)
                break;
            filled += got;
        }
        if (filled == 0)
            break;
        piece.resize(int(filled));
        size += filled;
        if (size > limit)
            throw Failure(tooLarge(name, -1, limit));
        if (pieces == 0)
            first = piece.left(4096);
        // Hashed by a helper thread while the engine writes the same bytes.
        hash.add(piece.constData(), piece.size());
        if (filled == kPieceSize && !gathered && !connection.server())
            gathered.emplace(connection.handle());
        writer.write(pieces++, piece);
        if (filled < kPieceSize)
            break;
    }
    if (gathered) {
        if (const int rc = gathered->finish())
            throw Failure(QStringLiteral("The file '%1' cannot be stored: %2")
                              .arg(name, QString::fromUtf8(sqlite3_errstr(rc))));
    }

    const QString hex = hash.hex();
    const qint64 existing = scalar(
        connection, QStringLiteral("select ID from AttachmentContents where Hash = '%1'").arg(hex));
    if (existing) {
        // Stored before: this content's pieces are not needed.
        connection.execute(
            QStringLiteral("delete from AttachmentPieces where Content = %1").arg(content));
        connection.execute(
            QStringLiteral("delete from AttachmentContents where ID = %1").arg(content));
        content = existing;
    } else {
        connection.execute(QStringLiteral("update AttachmentContents set Hash = '%1', Size = %2 "
                                          "where ID = %3")
                               .arg(hex)
                               .arg(size)
                               .arg(content));
    }
    const QString type = QMimeDatabase().mimeTypeForFileNameAndData(stored, first).name();
    connection.execute(QStringLiteral("insert into Attachments (CallID, Name, Type, Size, Content, "
                                      "[Added At], [Added By]) values (%1, '%2', '%3', %4, %5, "
                                      "ChangeTime(), ChangedBy())")
                           .arg(callId)
                           .arg(DoubledQuotes(stored), DoubledQuotes(type))
                           .arg(size)
                           .arg(content));
    return scalar(connection,
                  QStringLiteral("select max(ID) from Attachments where CallID = %1").arg(callId));
}

QList<qint64> AddFiles(Connection& connection, qint64 callId, const QStringList& paths,
                       qint64 limit) {
    // Every file is looked at before anything is written.
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.exists())
            throw Failure(QStringLiteral("Could not find file '%1'; nothing was added.").arg(path));
        if (!info.isFile())
            throw Failure(
                QStringLiteral("'%1' is not a file (a folder or a device); nothing was added.")
                    .arg(path));
        if (info.size() > limit)
            throw Failure(tooLarge(info.fileName(), info.size(), limit));
        if (!info.isReadable())
            throw Failure(
                QStringLiteral("The file '%1' cannot be read; nothing was added.").arg(path));
    }
    QList<qint64> ids;
    // The new pages go to the file in large writes up to the commit's sync.
    std::optional<GatheredWrites::Scope> gathered;
    if (!connection.server())
        gathered.emplace(connection.handle());
    connection.beginTransaction();
    try {
        requireCall(connection, callId);
        for (const QString& path : paths) {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                throw Failure(QStringLiteral("The file '%1' cannot be read: %2; nothing was "
                                             "added.")
                                  .arg(path, file.errorString()));
            ids << Store(connection, callId, file, QFileInfo(path).fileName(), limit);
        }
        connection.commit();
    } catch (...) {
        if (connection.inTransaction())
            connection.rollback();
        throw;
    }
    return ids;
}

std::vector<Attachment> List(Connection& connection, qint64 callId) {
    std::vector<Attachment> list;
    eachRow(connection,
            QStringLiteral("select ID, CallID, Name, Type, Size, [Added At], [Added By] from "
                           "Attachments where CallID = %1 and [Removed At] is null order by ID")
                .arg(callId),
            [&](const Recordset& row) {
                Attachment one;
                one.id = row.field(QStringLiteral("ID")).toInteger();
                one.callId = row.field(QStringLiteral("CallID")).toInteger();
                one.name = row.field(QStringLiteral("Name")).joined();
                one.type = row.field(QStringLiteral("Type")).joined();
                one.size = row.field(QStringLiteral("Size")).toInteger();
                one.addedAt = row.field(QStringLiteral("Added At")).joined();
                one.addedBy = row.field(QStringLiteral("Added By")).joined();
                list.push_back(one);
            });
    return list;
}

qint64 Find(Connection& connection, qint64 callId, const QString& name) {
    RefuseNulText(name);
    return scalar(connection, QStringLiteral("select max(ID) from Attachments where CallID = %1 "
                                             "and Name = '%2' and [Removed At] is null")
                                  .arg(callId)
                                  .arg(DoubledQuotes(name)));
}

QHash<qint64, QStringList> NamesByCall(Connection& connection) {
    QHash<qint64, QStringList> names;
    eachRow(
        connection,
        QStringLiteral("select CallID, Name from Attachments where [Removed At] is null "
                       "order by CallID, ID"),
        [&](const Recordset& row) { names[row.field(0).toInteger()] << row.field(1).joined(); });
    return names;
}

void Write(Connection& connection, qint64 id, QIODevice& target) {
    qint64 content = 0;
    qint64 size = 0;
    QString hex;
    QString name;
    eachRow(connection,
            QStringLiteral("select a.Content, a.Name, c.Size, c.Hash from Attachments a join "
                           "AttachmentContents c on c.ID = a.Content where a.ID = %1")
                .arg(id),
            [&](const Recordset& row) {
                content = row.field(0).toInteger();
                name = row.field(1).joined();
                size = row.field(2).toInteger();
                hex = row.field(3).joined();
            });
    if (!content)
        throw Failure(QStringLiteral("The attachment is no longer there (another desk may have "
                                     "removed it)."));
    PieceReader reader(connection, content);
    // Two buffers: a piece is read into one while the other may still be hashed.
    QByteArray buffers[2];
    ContentHash hash; // after the buffers: its thread ends before they go
    qint64 written = 0;
    for (int pieces = 0;; ++pieces) {
        QByteArray& piece = buffers[pieces % 2];
        if (!reader.next(piece))
            break;
        hash.add(piece.constData(), piece.size());
        if (target.write(piece) != piece.size())
            throw Failure(QStringLiteral("The attachment '%1' cannot be written: %2")
                              .arg(name, target.errorString()));
        written += piece.size();
    }
    if (written != size || hash.hex() != hex)
        throw Failure(QStringLiteral("The stored content of the attachment '%1' is damaged (it "
                                     "does not give back what was added); nothing was written.")
                          .arg(name));
}

void SaveAs(Connection& connection, qint64 id, const QString& path, bool privateFile) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(
            QStringLiteral("The file '%1' cannot be written: %2").arg(path, file.errorString()));
    if (privateFile)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    Write(connection, id, file);
    if (!file.commit())
        throw Failure(
            QStringLiteral("The file '%1' cannot be written: %2").arg(path, file.errorString()));
}

void Remove(Connection& connection, qint64 id) {
    connection.execute(QStringLiteral("update Attachments set [Removed At] = ChangeTime(), "
                                      "[Removed By] = ChangedBy() where ID = %1 and [Removed At] "
                                      "is null")
                           .arg(id));
    if (connection.rowsAffected() == 0)
        throw Failure(QStringLiteral("The attachment is no longer there (another desk may have "
                                     "removed it); nothing was changed."));
}

void BringBack(Connection& connection, qint64 id) {
    connection.execute(QStringLiteral("update Attachments set [Removed At] = null, [Removed By] = "
                                      "null where ID = %1 and [Removed At] is not null")
                           .arg(id));
    if (connection.rowsAffected() == 0)
        throw Failure(QStringLiteral("The attachment cannot be brought back: it is there already "
                                     "or was deleted for good; nothing was changed."));
}

void ForgetOld(Connection& connection, const QString& cutoff) {
    connection.execute(
        QStringLiteral("delete from Attachments where CallID not in (select ID from Calls) and "
                       "CallID not in (select ID from DeletedCalls)"));
    connection.execute(
        QStringLiteral("delete from Attachments where [Removed At] < '%1'").arg(cutoff));
}

} // namespace Attachments
