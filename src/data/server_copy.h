#pragma once

#include <QString>
#include <QVector>

// Moving a local call log up to a database server.
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
