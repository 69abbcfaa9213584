#pragma once

#include <QString>
#include <QVector>

// Moving a local call log up to a database server, and back down into a file.
struct CopiedTable {
    QString table;
    qint64 rows = 0;
};

// Copies every row of the local database file `path` into the server database `uri`, which
// must be empty (an empty database gets the call log installed first; one with the call log
// must hold no rows). Ids are kept and the servers' counters continue after the highest id
// ever given. Before anything is kept, the rows on the server are counted and compared with
// the file one by one; on any difference, or any failure, the server keeps nothing. The file
// is only read.
QVector<CopiedTable> CopyToServer(const QString& path, const QString& uri);

// Writes the call log of the server database `uri` into a new local database file `target`
// (made from the empty database `templatePath`): one snapshot, read in one transaction that
// sees the log as it was at its start, whatever the other desks write meanwhile. Ids are kept.
// The file is written beside `target` and replaces it only when complete; on any failure
// nothing is left behind. The server is only read.
QVector<CopiedTable> BackupServer(const QString& uri, const QString& templatePath,
                                  const QString& target);
