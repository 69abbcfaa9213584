#pragma once

#include <QDate>
#include <QString>

// Copies of the database file: the automatic daily backups kept beside the database, and
// the checked restore of a copy. Failures throw with a description.
namespace Backups {

// How many daily backups are kept.
constexpr int kKeep = 14;

// Copies the database `source` into `target` with the engine's online backup, so that a copy
// taken while the program writes is still consistent. The copy is written beside `target`
// and replaces it only when complete.
void copyDatabase(const QString& source, const QString& target);

// The folder "backups" beside the database, and the backup of one day in it
// ("dbData-YYYY-MM-DD.mdb" for "dbData.mdb").
QString folderFor(const QString& databasePath);
QString dailyPath(const QString& databasePath, const QDate& day);

// Makes the backup of `today` unless there is one, then removes the oldest daily backups
// beyond kKeep. Answers the backup written, or the empty text when there was one already.
QString makeDaily(const QString& databasePath, const QDate& today);

// Checks that `path` is a sound database of this program: readable, passing the engine's
// integrity check, of a schema version this program reads, with its tables and queries.
void checkDatabaseFile(const QString& path);

// Replaces the database with the copy `backup` after checking it. The database it replaces
// is kept in the backups folder first; answers that kept copy (empty when there was no
// database). The database is untouched when the check or the keeping fails.
QString restore(const QString& backup, const QString& databasePath);

} // namespace Backups
