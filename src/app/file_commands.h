#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// The commands that work on the call log's files and on CSV files: the import, the list of
// backups and the check. Failures throw with a description; the command line prints it.
namespace FileCommands {

// Imports the calls of a CSV file without asking: the people and values added are listed on
// `out`; lines that cannot be read are listed on `err`, and then nothing is written. False
// when a line cannot be read.
bool importCalls(const QString& path, QTextStream& out, QTextStream& err);

// Makes one call of each mail message in the files `paths` (each a message or an mbox), in one
// transaction, and lists the customers added and the calls made on `out`. A message that
// cannot be read whole fails before anything is written.
void importMail(const QStringList& paths, QTextStream& out);

// Lists the backups of the database at `databasePath`, each checked as it is now: one that
// passed its check when it was made but fails now says so and why.
void listBackups(const QString& databasePath, QTextStream& out);

// The integrity check of the file (unless the work is on a server) and the calls naming what
// no longer exists; true when nothing is found.
bool checkDatabase(const QString& databasePath, bool onServer, QTextStream& out);

} // namespace FileCommands
