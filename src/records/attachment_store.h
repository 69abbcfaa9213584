#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

class Connection;
class QIODevice;

// The files kept with the calls, in the call log itself (the Attachments tables of the
// schemas), so that backups, restores, copies between engines and the kept copies of deleted
// calls carry them. A content is stored once, found by its SHA-256, in pieces of kPieceSize
// bytes: it is read and written a piece at a time and is never whole in memory.
namespace Attachments {

// The largest file that may be added, unless the settings say otherwise.
constexpr qint64 kDefaultLimit = 100LL * 1024 * 1024;
constexpr int kPieceSize = 1 << 20;

struct Attachment {
    qint64 id = 0;
    qint64 callId = 0;
    QString name;
    QString type; // the MIME type's name
    qint64 size = 0;
    QString addedAt; // date text in the program's format
    QString addedBy;
};

// A size as a person reads it ("512 bytes", "1.5 MB").
QString ShownSize(qint64 bytes);

// Stores everything `source` gives (read to its end) as the attachment `name` of the call
// `callId`, inside the transaction the caller has open on `connection`. More than `limit` bytes
// fail before the rest is read; the caller's rollback then takes back what was written.
// Answers the new attachment's ID.
qint64 Store(Connection& connection, qint64 callId, QIODevice& source, const QString& name,
             qint64 limit);

// Adds the files `paths` to the call `callId` under their own names, in one transaction: all of
// them or none. Every file is checked first (that it is a readable file of at most `limit`
// bytes) and nothing is written when one fails. Answers the new attachments' IDs.
QList<qint64> AddFiles(Connection& connection, qint64 callId, const QStringList& paths,
                       qint64 limit);

// The attachments of the call `callId` that are not removed, in the order they were added.
std::vector<Attachment> List(Connection& connection, qint64 callId);
// The newest attachment of the call `callId` named `name` (0 when there is none).
qint64 Find(Connection& connection, qint64 callId, const QString& name);
// The names of the attachments of every call that has some, in the order they were added.
QHash<qint64, QStringList> NamesByCall(Connection& connection);

// Writes the content of the attachment `id` into `target`, a piece at a time; fails when the
// stored content does not give back its size and SHA-256.
void Write(Connection& connection, qint64 id, QIODevice& target);
// Writes it into the file `path`, which is replaced only when complete; nothing is left behind
// on failure. `privateFile` makes the file readable by its owner alone.
void SaveAs(Connection& connection, qint64 id, const QString& path, bool privateFile = false);

// Removes the attachment `id` from its call (it is kept for undo, and with the kept copies of
// deleted rows); BringBack() takes the removal back. Each fails when another desk did it first.
void Remove(Connection& connection, qint64 id);
void BringBack(Connection& connection, qint64 id);

// Deletes for good the attachments of calls that are neither in the call log nor kept as
// deleted, and those removed before `cutoff` (stored date text); their contents go with the
// last attachment that holds them.
void ForgetOld(Connection& connection, const QString& cutoff);

} // namespace Attachments
