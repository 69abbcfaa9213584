// Compact backups: the rows of every table that holds what cannot be made again, compressed,
// without the comments' index and the tables' indexes, which a restore builds anew from the
// rows. The records in the compressed stream:
//   'P' schema version, page size
//   'O' type, name, table, SQL of each object of the schema, in the order they were made
//   'T' table name, 1 when the row's own number comes first, the column count and names;
//       then 'R' and the values of each row, and 'E' with the count of rows
//   'Z' the count of tables and of rows: the end
#include "data/backup.h"
#include "data/backup_compact_stream.h"
#include "data/backup_files.h"

#include "data/connection.h"
#include "data/failure.h"
#include "data/private_files.h"

#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>
#include <vector>

namespace Backups {

using namespace Files;

namespace {

struct Statement {
    sqlite3_stmt* statement = nullptr;
    Statement() = default;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(statement); }
};

struct SchemaObject {
    QString type;
    QString name;
    QString table;
    QString sql;
};

QString quoted(const QString& name) {
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

bool prepare(sqlite3* db, const QString& sql, Statement& statement) {
    sqlite3_finalize(statement.statement);
    statement.statement = nullptr;
    return sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement.statement, nullptr) ==
           SQLITE_OK;
}

void execute(sqlite3* db, const QString& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
        const QString why = message ? QString::fromUtf8(message) : EngineFailureText(db);
        sqlite3_free(message);
        throw Failure(why);
    }
}

QString columnText(sqlite3_stmt* statement, int column) {
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)));
}

bool isVirtualTable(const SchemaObject& object) {
    return object.type == QLatin1String("table") &&
           object.sql.startsWith(QLatin1String("CREATE VIRTUAL TABLE"), Qt::CaseInsensitive);
}

// The tables that a virtual table keeps its own data in ("CallsText_data" and the like): what
// the restore makes again when it makes the virtual table and rebuilds its index.
bool isShadowTable(const SchemaObject& object, const std::vector<SchemaObject>& schema) {
    if (object.type != QLatin1String("table"))
        return false;
    for (const SchemaObject& other : schema) {
        if (isVirtualTable(other) &&
            object.name.startsWith(other.name + QLatin1Char('_'), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Every object of the schema that the program made, in the order it was made; the engine's
// own tables and the indexes it makes for UNIQUE columns come with their tables.
std::vector<SchemaObject> schemaOf(sqlite3* db) {
    Statement objects;
    if (!prepare(db,
                 QStringLiteral("select type, name, tbl_name, sql from sqlite_master where sql "
                                "is not null and name not like 'sqlite\\_%' escape '\\' "
                                "order by rowid"),
                 objects))
        throw Failure(EngineFailureText(db));
    std::vector<SchemaObject> schema;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(objects.statement)) == SQLITE_ROW)
        schema.push_back({columnText(objects.statement, 0), columnText(objects.statement, 1),
                          columnText(objects.statement, 2), columnText(objects.statement, 3)});
    if (rc != SQLITE_DONE)
        throw Failure(EngineFailureText(db));
    std::vector<SchemaObject> kept;
    for (const SchemaObject& object : schema) {
        if (!isShadowTable(object, schema))
            kept.push_back(object);
    }
    return kept;
}

qint64 pragmaNumber(sqlite3* db, const char* pragma) {
    return queryText(db, pragma).toLongLong();
}

// Writes the rows of `table` as records 'T', 'R'... 'E'; answers how many.
qint64 writeTable(sqlite3* db, const QString& table, CompactStream::Writer& out) {
    Statement rows;
    bool withRowid = true;
    if (!prepare(db, QStringLiteral("select rowid, * from ") + quoted(table), rows)) {
        withRowid = false; // a table WITHOUT ROWID
        if (!prepare(db, QStringLiteral("select * from ") + quoted(table), rows))
            throw Failure(EngineFailureText(db));
    }
    const int columns = sqlite3_column_count(rows.statement);
    out.putByte('T');
    out.putText(table);
    out.putNumber(withRowid ? 1 : 0);
    out.putNumber(uint64_t(columns));
    for (int column = 0; column < columns; ++column)
        out.putText(QString::fromUtf8(sqlite3_column_name(rows.statement, column)));
    qint64 count = 0;
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(rows.statement)) == SQLITE_ROW) {
        out.putByte('R');
        for (int column = 0; column < columns; ++column)
            out.putColumn(rows.statement, column);
        ++count;
    }
    if (rc != SQLITE_DONE)
        throw Failure(EngineFailureText(db));
    out.putByte('E');
    out.putNumber(uint64_t(count));
    return count;
}

// An open file descriptor closed on every way out.
struct OpenFile {
    int fd = -1;
    ~OpenFile() {
        if (fd >= 0)
            ::close(fd);
    }
};

// The index of the comments is built from the view it reads (schema.sql, "folded comments").
// It gathers what it indexes in memory and writes a piece of the index each time that is full,
// merging the pieces as they grow in number: for a million calls it gathers 256 MB at a time
// instead of 1 MB (a few pieces to merge, not hundreds), then its setting is forgotten again
// (set back, and its row taken out).
constexpr char kRebuildCommentsIndex[] =
    "INSERT INTO CallsText (CallsText, rank) VALUES ('hashsize', 268435456);"
    "INSERT INTO CallsText (CallsText) VALUES ('rebuild');"
    "INSERT INTO CallsText (CallsText, rank) VALUES ('hashsize', 1048576);"
    "DELETE FROM CallsText_config WHERE k = 'hashsize';";

void makeObjects(sqlite3* db, const std::vector<SchemaObject>& schema, bool tables) {
    for (const SchemaObject& object : schema) {
        const bool table = object.type == QLatin1String("table") && !isVirtualTable(object);
        if (table == tables)
            execute(db, object.sql);
    }
}

// Builds the database of the compact backup `reader` reads into the open, empty `db`.
void expandInto(CompactStream::Reader& reader, sqlite3* db) {
    if (reader.byte() != 'P')
        reader.damaged(QStringLiteral("it does not begin with the schema's version"));
    const uint64_t version = reader.number();
    const uint64_t pageSize = reader.number();
    // Written once at the end, whole: no journal, nothing waits for the disk meanwhile.
    // The indexes are sorted by the engine's helper threads where it has them.
    execute(db, QStringLiteral("PRAGMA page_size = %1; PRAGMA journal_mode = OFF; "
                               "PRAGMA synchronous = OFF; PRAGMA cache_size = -262144; "
                               "PRAGMA threads = 4; BEGIN")
                    .arg(pageSize));
    std::vector<SchemaObject> schema;
    bool tablesMade = false;
    uint64_t tables = 0;
    uint64_t rows = 0;
    for (;;) {
        const uint8_t tag = reader.byte();
        if (tag == 'O') {
            SchemaObject object;
            object.type = reader.text();
            object.name = reader.text();
            object.table = reader.text();
            object.sql = reader.text();
            schema.push_back(object);
            continue;
        }
        if (!tablesMade) {
            makeObjects(db, schema, true);
            tablesMade = true;
        }
        if (tag == 'T') {
            const QString table = reader.text();
            const bool withRowid = reader.number() == 1;
            const uint64_t columns = reader.number();
            if (columns == 0 || columns > 2000)
                reader.damaged(QStringLiteral("a table in it has %1 columns").arg(columns));
            QStringList names;
            QStringList marks;
            for (uint64_t column = 0; column < columns; ++column) {
                const QString name = reader.text();
                names << (column == 0 && withRowid ? QStringLiteral("rowid") : quoted(name));
                marks << QStringLiteral("?");
            }
            // The inserts into tables with AUTOINCREMENT have counted already: the counts
            // written are the ones that hold.
            if (table == QLatin1String("sqlite_sequence"))
                execute(db, QStringLiteral("DELETE FROM sqlite_sequence"));
            Statement insert;
            if (!prepare(db,
                         QStringLiteral("insert into %1 (%2) values (%3)")
                             .arg(quoted(table), names.join(QLatin1Char(',')),
                                  marks.join(QLatin1Char(','))),
                         insert))
                reader.damaged(EngineFailureText(db));
            uint64_t count = 0;
            uint8_t next = 0;
            while ((next = reader.byte()) == 'R') {
                for (uint64_t column = 0; column < columns; ++column)
                    reader.bindValue(insert.statement, int(column) + 1);
                if (sqlite3_step(insert.statement) != SQLITE_DONE)
                    throw Failure(EngineFailureText(db));
                sqlite3_reset(insert.statement);
                ++count;
            }
            if (next != 'E' || reader.number() != count)
                reader.damaged(QStringLiteral("the rows of %1 do not end as counted").arg(table));
            ++tables;
            rows += count;
            continue;
        }
        if (tag != 'Z')
            reader.damaged(QStringLiteral("a record in it is of no known kind"));
        if (reader.number() != tables || reader.number() != rows)
            reader.damaged(QStringLiteral("it holds other tables or rows than it counts"));
        break;
    }
    reader.expectEnd();
    // The indexes, the comments' index, the queries and the triggers, made from the rows.
    makeObjects(db, schema, false);
    for (const SchemaObject& object : schema) {
        if (isVirtualTable(object) && object.name == QLatin1String("CallsText"))
            execute(db, QString::fromLatin1(kRebuildCommentsIndex));
    }
    execute(db, QStringLiteral("PRAGMA user_version = %1; COMMIT").arg(version));
}

} // namespace

bool isCompact(const QString& path) {
    return CompactStream::isCompact(path);
}

Format formatFor(const QString& target) {
    return target.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive) ? Format::Plain
                                                                       : Format::Compact;
}

QString compactToPart(const QString& source, const QString& target, QString* problem) {
    const QString temporary = target + QStringLiteral(".part");
    // The rows are read from a copy of the database taken with the engine's online backup,
    // step by step, so that the program writing meanwhile waits only for a step, never for
    // the whole reading or the integrity check.
    const QString snapshot = target + QStringLiteral("-rows.part");
    removeTemporary(temporary);
    removeTemporary(snapshot);
    struct Snapshot {
        QString path;
        ~Snapshot() { removeTemporary(path); }
    } taken{snapshot};
    try {
        copyIntoNewFile(source, snapshot, true);
        PrivateFiles::createEmpty(temporary);
        Handle from;
        openFile(from, snapshot, SQLITE_OPEN_READONLY);
        // Its pages read where the system keeps them, not copied into the engine's cache.
        execute(from.db, QStringLiteral("PRAGMA mmap_size = 2147418112"));
        execute(from.db, QStringLiteral("BEGIN; SELECT count(*) FROM sqlite_master"));
        const std::vector<SchemaObject> schema = schemaOf(from.db);
        OpenFile file;
        file.fd = ::open(QFile::encodeName(temporary).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (file.fd < 0)
            throw Failure(SentenceWithCause(
                QStringLiteral("The backup '%1' cannot be written").arg(temporary),
                PrivateFiles::systemCause()));
        CompactStream::Writer out(file.fd, temporary,
                                  pragmaNumber(from.db, "PRAGMA page_count") *
                                      pragmaNumber(from.db, "PRAGMA page_size"));
        out.putByte('P');
        out.putNumber(uint64_t(pragmaNumber(from.db, "PRAGMA user_version")));
        out.putNumber(uint64_t(pragmaNumber(from.db, "PRAGMA page_size")));
        for (const SchemaObject& object : schema) {
            out.putByte('O');
            out.putText(object.type);
            out.putText(object.name);
            out.putText(object.table);
            out.putText(object.sql);
        }
        QStringList tables;
        for (const SchemaObject& object : schema) {
            if (object.type == QLatin1String("table") && !isVirtualTable(object))
                tables << object.name;
        }
        if (queryText(from.db, "select count(*) from sqlite_master where name = "
                               "'sqlite_sequence'") == QLatin1String("1"))
            tables << QStringLiteral("sqlite_sequence");
        qint64 rows = 0;
        for (const QString& table : tables)
            rows += writeTable(from.db, table, out);
        if (problem) {
            const QString integrity = queryText(from.db, "PRAGMA integrity_check");
            *problem = integrity == QLatin1String("ok") ? QString() : integrity;
        }
        execute(from.db, QStringLiteral("COMMIT"));
        out.putByte('Z');
        out.putNumber(uint64_t(tables.size()));
        out.putNumber(uint64_t(rows));
        out.finish();
        if (::fsync(file.fd) != 0)
            throw Failure(SentenceWithCause(
                QStringLiteral("The backup '%1' cannot be written").arg(temporary),
                PrivateFiles::systemCause()));
    } catch (...) {
        removeTemporary(temporary);
        throw;
    }
    return temporary;
}

void checkCompact(const QString& path) {
    CompactStream::Reader reader(path);
    if (reader.byte() != 'P')
        reader.damaged(QStringLiteral("it does not begin with the schema's version"));
    reader.number();
    reader.number();
    uint64_t tables = 0;
    uint64_t rows = 0;
    for (;;) {
        const uint8_t tag = reader.byte();
        if (tag == 'O') {
            for (int i = 0; i < 4; ++i)
                reader.text();
        } else if (tag == 'T') {
            reader.text();
            reader.number();
            const uint64_t columns = reader.number();
            for (uint64_t column = 0; column < columns; ++column)
                reader.text();
            uint64_t count = 0;
            uint8_t next = 0;
            while ((next = reader.byte()) == 'R') {
                for (uint64_t column = 0; column < columns; ++column)
                    reader.skipValue();
                ++count;
            }
            if (next != 'E' || reader.number() != count)
                reader.damaged(QStringLiteral("its rows do not end as counted"));
            ++tables;
            rows += count;
        } else if (tag == 'Z') {
            if (reader.number() != tables || reader.number() != rows)
                reader.damaged(QStringLiteral("it holds other tables or rows than it counts"));
            break;
        } else {
            reader.damaged(QStringLiteral("a record in it is of no known kind"));
        }
    }
    reader.expectEnd();
}

qint64 restoredSize(const QString& path) {
    try {
        return CompactStream::Reader(path).restoredSize();
    } catch (const Failure&) {
        return -1;
    }
}

QString expandToPart(const QString& backup, const QString& target) {
    const QString temporary = target + QStringLiteral(".part");
    removeTemporary(temporary);
    try {
        CompactStream::Reader reader(backup);
        PrivateFiles::createEmpty(temporary);
        {
            Handle to;
            openFile(to, temporary, SQLITE_OPEN_READWRITE);
            expandInto(reader, to.db);
        }
        syncFile(temporary);
    } catch (...) {
        removeTemporary(temporary);
        throw;
    }
    return temporary;
}

} // namespace Backups
