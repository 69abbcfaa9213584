#pragma once

#include <QDate>
#include <QString>
#include <QVector>
#include <optional>

// Copies of the database file: the automatic daily backups kept beside the database, and
// the checked restore of a copy. Failures throw with a description.
//
// The folder "backups" beside the database holds, for "dbData.mdb":
//   dbData-YYYY-MM-DD.mdbz                 a daily backup that passed its check when it was
//                                          made: compact (see below)
//   dbData-YYYY-MM-DD.mdb                  the same as a plain database file, as earlier
//                                          versions made them
//   dbData-YYYY-MM-DD-damaged.mdbz (.mdb)  a daily backup that failed it, kept aside
//   dbData-YYYY-MM-DD-HHmmss-replaced.mdb  the database as it was before a restore
// and nothing else that the program removes. Pruning keeps the newest kKeep good backups and
// also the newest good one of each of the last kMonths months; damaged and replaced copies
// older than kKeepAsideDays go, but the newest of each kind stays. A damaged copy never
// counts among the good ones, so it never makes a good one go.
namespace Backups {

constexpr int kKeep = 14;
constexpr int kMonths = 6;
constexpr int kKeepAsideDays = 14;

enum class Kind { Good, Damaged, Replaced };

// A plain backup is a copy of the database file that any SQLite program opens. A compact one
// holds the rows only, compressed: the comments' index and the tables' indexes are left out
// and built again by a restore. Its check reads it through (it must decompress, its checksum
// and its records must hold), and the engine's integrity check runs on the copy of the
// database that its rows are read from.
enum class Format { Plain, Compact };
constexpr char kCompactSuffix[] = ".mdbz";

struct Entry {
    QString path;
    QDate date;
    qint64 size = 0;
    // The size of the database that it restores to (-1 when that cannot be read).
    qint64 restoredSize = 0;
    Kind kind = Kind::Good;
};

// What `--backup FILE` writes: a plain database file for a name ending in .mdb, else compact.
Format formatFor(const QString& target);
// Whether `path` is a compact backup (by its first bytes).
bool isCompact(const QString& path);
// Writes the compact backup of the database `source` into target.part, readable by its owner
// only and on the disk when this returns, and answers that path. The rows are read from a copy
// taken step by step (target-rows.part, removed again), so that writers never wait for more
// than a step. With `problem`, the engine's integrity check runs on that copy and its answer
// goes there (empty when sound).
QString compactToPart(const QString& source, const QString& target, QString* problem);
// Reads the compact backup through; fails when it does not decompress or its records do not
// hold together.
void checkCompact(const QString& path);
// The size a compact backup restores to, from its header; -1 when it cannot be read.
qint64 restoredSize(const QString& path);
// Builds the database of the compact backup `backup` as target.part (on the disk when this
// returns) and answers that path.
QString expandToPart(const QString& backup, const QString& target);

// Copies the database `source` into `target` with the engine's online backup, so that a copy
// taken while the program writes is still consistent. The copy is written beside `target`
// (as target.part, readable by its owner only) and replaces it only when complete. The
// database itself, its journal and its lock are never a target.
void copyDatabase(const QString& source, const QString& target);

// A backup on request, of the kind formatFor(target) names: the copy is checked before it
// replaces `target`; a copy that fails the check is kept as the damaged name of `target`
// instead, and the failure says so.
void backupTo(const QString& source, const QString& target);

// The folder "backups" beside the database, and the names of one day's backup in it.
QString folderFor(const QString& databasePath);
QString dailyPath(const QString& databasePath, const QDate& day, Format format = Format::Compact);
QString damagedPath(const QString& databasePath, const QDate& day, Format format = Format::Compact);

// Every backup and kept copy of the database, newest first.
QVector<Entry> list(const QString& databasePath);
// The newest backup that passed its check.
std::optional<Entry> newestGood(const QString& databasePath);

// What to do about a damaged database: which sound backup to restore (with its date) and
// how, or that there is none.
QString restoreAdvice(const QString& databasePath);

// Makes the backup of `today` unless there is one (good or damaged), checks it, keeps it
// under the name its check gives it, then prunes. Answers the backup written, or the empty
// text when there was one already (or another process is making it). `damage` receives the
// failure of the check, if any.
QString makeDaily(const QString& databasePath, const QDate& today, QString* damage = nullptr,
                  Format format = Format::Compact);
void prune(const QString& databasePath, const QDate& today);

// Removes what an interrupted copy left in `folder`: *.part and *.part-journal files.
void removeLeftovers(const QString& folder);

// The engine's answer when `path` fails its integrity check (empty when it passes).
QString integrityProblem(const QString& path);
// Checks that `path` is a sound database of this program: readable, passing the engine's
// integrity check, of a schema version this program reads, with its tables and queries. A
// compact backup is read through instead. The quick check leaves out comparing the indexes
// with their tables.
enum class Check { Full, Quick };
void checkDatabaseFile(const QString& path, Check check = Check::Full);

// Replaces the database with the backup `backup` (plain or compact) after checking it. Refused
// while a window has the database open. The database it replaces is kept in the backups folder
// first; answers that kept copy (empty when there was no database). The database is untouched when
// the check or the keeping fails.
QString restore(const QString& backup, const QString& databasePath);
// Restores the newest backup that passes its check now; one that fails is set aside under its
// damaged name (listed in `setAside`). `restoredFrom` receives the backup restored.
QString restoreNewest(const QString& databasePath, QString* restoredFrom, QStringList* setAside);

} // namespace Backups
