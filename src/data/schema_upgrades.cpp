#include "data/schema_upgrades.h"

#include "data/connection.h"
#include "data/failure.h"
#include "data/file_copy.h"

#include <iterator>
#include <sqlite3.h>

namespace {

// The steps in order: kSteps[i] upgrades a file of version i + 1 to version i + 2.
const char* const kSteps[] = {
    // 1 to 2: the value lists compare and sort without regard to letter case. Values that
    // already differ only in case stay; new ones are refused.
    R"(
CREATE TABLE NewStatus (Status TEXT NOT NULL UNIQUE COLLATE Caseless);
INSERT INTO NewStatus SELECT Status FROM Status ORDER BY rowid;
DROP TABLE Status;
ALTER TABLE NewStatus RENAME TO Status;
CREATE TABLE NewCategories (Category TEXT NOT NULL UNIQUE COLLATE Caseless);
INSERT INTO NewCategories SELECT Category FROM Categories ORDER BY rowid;
DROP TABLE Categories;
ALTER TABLE NewCategories RENAME TO Categories;
CREATE TABLE NewPriorities (Priority TEXT NOT NULL UNIQUE COLLATE Caseless);
INSERT INTO NewPriorities SELECT Priority FROM Priorities ORDER BY rowid;
DROP TABLE Priorities;
ALTER TABLE NewPriorities RENAME TO Priorities;
CREATE TRIGGER StatusOnce BEFORE INSERT ON Status
WHEN EXISTS (SELECT 1 FROM Status WHERE FoldedCase(Status) = FoldedCase(NEW.Status))
BEGIN SELECT RAISE(ABORT, 'The value is there already, in these or other capitals'); END;
CREATE TRIGGER CategoriesOnce BEFORE INSERT ON Categories
WHEN EXISTS (SELECT 1 FROM Categories WHERE FoldedCase(Category) = FoldedCase(NEW.Category))
BEGIN SELECT RAISE(ABORT, 'The value is there already, in these or other capitals'); END;
CREATE TRIGGER PrioritiesOnce BEFORE INSERT ON Priorities
WHEN EXISTS (SELECT 1 FROM Priorities WHERE FoldedCase(Priority) = FoldedCase(NEW.Priority))
BEGIN SELECT RAISE(ABORT, 'The value is there already, in these or other capitals'); END;
)",
    // 2 to 3: the history of every call, and deleted calls, people and values kept for undo.
    HistorySchemaScript(),
    // 3 to 4: the comments of the calls get a full-text index of three-letter pieces, kept in
    // step by triggers, and built from the calls there are.
    CommentsIndexSchemaScript(),
    // 4 to 5: indexes from which the summary counts open calls and recent weeks.
    SummaryIndexesSchemaScript(),
    // 5 to 6: a deleted call keeps its entries in the comments' index while it is kept.
    KeptCommentsSchemaScript(),
    // 6 to 7: the comments' index holds the comments without letter case and accents, and
    // only which calls hold each piece: a third of its size.
    FoldedCommentsSchemaScript(),
    // 7 to 8: files kept with the calls.
    AttachmentsSchemaScript(),
};

void run(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throw Failure(EngineFailureText(db));
}

} // namespace

int SchemaVersion() {
    return int(std::size(kSteps)) + 1;
}

QString UpgradeBackupPath(const QString& path, int version) {
    return path + QStringLiteral(".schema%1.bak").arg(version);
}

void UpgradeSchema(sqlite3* db, const QString& path, int version) {
    const QString what =
        QStringLiteral("The database file '%1' cannot be upgraded from schema %2 to %3, and "
                       "is unchanged")
            .arg(path)
            .arg(version)
            .arg(SchemaVersion());
    try {
        // No other program writes while the file is copied and upgraded.
        run(db, "BEGIN IMMEDIATE");
        try {
            CopyWholeFile(path, UpgradeBackupPath(path, version));
            for (int from = version; from < SchemaVersion(); ++from)
                run(db, kSteps[from - 1]);
            run(db, QStringLiteral("PRAGMA user_version = %1")
                        .arg(SchemaVersion())
                        .toUtf8()
                        .constData());
            run(db, "COMMIT");
        } catch (const Failure&) {
            if (!sqlite3_get_autocommit(db))
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    } catch (const Failure& failure) {
        throw Failure(SentenceWithCause(what, failure.description()));
    }
}
