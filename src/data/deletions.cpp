#include "data/deletions.h"

#include "data/connection.h"
#include "data/date_text.h"
#include "data/recordset.h"
#include "data/set_aside_triggers.h"

#include <QDateTime>
#include <QHash>
#include <QSet>

namespace {

// The fields of a call and of a person, as both tables and their kept copies name them.
const QString kCallFields = QStringLiteral(
    "ID, Title, [Assigned To], [Opened By], [Opened Date], Status, Category, Priority, Comments, "
    "[Due Date], [Resolved By], [Resolved Date], Caller, [Call Time]");
const QString kPersonFields = QStringLiteral(
    "ID, [First Name], [Last Name], [E-mail Address], Company, [Job Title], [Business Phone], "
    "[Home Phone], [Mobile Phone], [Fax Number], Address, City, State, ZIP, Country, "
    "[Web Page], Notes");

std::vector<qint64>& remembered() {
    static std::vector<qint64> deletions;
    return deletions;
}

template <typename Fn> void eachRow(Connection& connection, const QString& sql, Fn fn) {
    Recordset records;
    records.open(sql, connection, Recordset::kForwardOnly, Recordset::kReadOnly);
    while (!records.eof()) {
        fn(records);
        records.moveNext();
    }
    records.close();
}

QString joinedIds(const QList<qint64>& ids) {
    QStringList texts;
    for (qint64 id : ids)
        texts << QString::number(id);
    return texts.join(QLatin1Char(','));
}

QString quoted(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) +
           QLatin1Char('\'');
}

// Runs `work` in a transaction of its own: all of it happens, or none.
template <typename Fn> void together(Connection& connection, Fn work) {
    connection.beginTransaction();
    try {
        work();
        connection.commit();
    } catch (...) {
        if (connection.inTransaction())
            connection.rollback();
        throw;
    }
}

struct ValueList {
    const char* table;
    const char* column;
};
const ValueList kValueLists[] = {
    {"Status", "Status"}, {"Categories", "Category"}, {"Priorities", "Priority"}};

// Inserts the kept calls that `chosen` picks and that are not in Calls, inside the caller's
// transaction, with the insert triggers of Calls set aside for the one statement (putting back
// thousands of calls took seconds with them). The kept rows hold their dates in the stored form
// already, so the dates trigger's part normally changes nothing.
void insertCalls(Connection& connection, const QString& chosen) {
    const QString insert = QStringLiteral("insert into Calls (%1) select %1 from DeletedCalls d "
                                          "where %2 and not exists (select 1 from Calls c "
                                          "where c.ID = d.ID)")
                               .arg(kCallFields, chosen);
    if (connection.server()) {
        connection.execute(insert);
        return;
    }
    QList<qint64> inserted;
    eachRow(connection,
            QStringLiteral("select ID from DeletedCalls d where %1 and not exists (select 1 "
                           "from Calls c where c.ID = d.ID)")
                .arg(chosen),
            [&](const Recordset& row) { inserted << row.field(QStringLiteral("ID")).toInteger(); });
    if (inserted.isEmpty())
        return;
    SetAsideTriggers triggers(connection);
    connection.execute(insert);
    triggers.putBack(QStringLiteral("ID in (%1)").arg(joinedIds(inserted)), chosen);
}

// While a restore runs, the engine keeps more of the file's pages at hand: thousands of calls
// go into every index of Calls at scattered places, and with the engine's small default cache
// each insert would read its page again and again. The cache is set back afterwards.
class WiderPageCache {
public:
    explicit WiderPageCache(Connection& connection) : m_connection(connection) {
        if (connection.server())
            return;
        eachRow(connection, QStringLiteral("pragma cache_size"), [&](const Recordset& row) {
            m_before = row.field(0).toInteger();
            m_known = true;
        });
        if (m_known)
            connection.execute(QStringLiteral("pragma cache_size = %1").arg(kRestoreCacheSize));
    }
    ~WiderPageCache() {
        if (!m_known)
            return;
        try {
            m_connection.execute(QStringLiteral("pragma cache_size = %1").arg(m_before));
        } catch (const std::exception&) {
            // The wider cache stays: it only holds more memory.
        }
    }
    WiderPageCache(const WiderPageCache&) = delete;
    WiderPageCache& operator=(const WiderPageCache&) = delete;

private:
    // In kibibytes, as the engine takes a negative size.
    static constexpr int kRestoreCacheSize = -65536;
    Connection& m_connection;
    qint64 m_before = 0;
    bool m_known = false;
};

// Puts back the calls that `chosen` (a condition on DeletedCalls) picks, with what they need;
// `deletion` (or 0) also puts back the people and values deleted with it.
QList<qint64> restore(Connection& connection, const QString& chosen, qint64 deletion) {
    QList<qint64> ids;
    const WiderPageCache cache(connection);
    together(connection, [&] {
        eachRow(connection, QStringLiteral("select ID from DeletedCalls where ") + chosen,
                [&](const Recordset& row) { ids << row.field(QStringLiteral("ID")).toInteger(); });
        const QString ofDeletion = QStringLiteral("Deletion = %1").arg(deletion);

        // Values: those deleted with it and those the calls carry, where the list lacks them.
        for (const ValueList& list : kValueLists) {
            const QString table = QLatin1String(list.table);
            const QString column = QLatin1String(list.column);
            QSet<QString> present;
            eachRow(connection, QStringLiteral("select [%1] from [%2]").arg(column, table),
                    [&](const Recordset& row) {
                        present.insert(row.field(column).joined().toCaseFolded());
                    });
            QStringList wanted;
            eachRow(connection,
                    QStringLiteral("select Value from DeletedValues where List = '%1' and %2")
                        .arg(table, ofDeletion),
                    [&](const Recordset& row) {
                        wanted << row.field(QStringLiteral("Value")).joined();
                    });
            eachRow(connection,
                    QStringLiteral("select distinct [%1] from DeletedCalls where %2")
                        .arg(column, chosen),
                    [&](const Recordset& row) {
                        if (!row.field(column).isNull())
                            wanted << row.field(column).joined();
                    });
            for (const QString& value : wanted) {
                if (present.contains(value.toCaseFolded()))
                    continue;
                present.insert(value.toCaseFolded());
                connection.execute(
                    QStringLiteral("insert into [%1] values (%2)").arg(table, quoted(value)));
            }
        }

        // People: those deleted with it and those the calls name, from their newest kept copy.
        const struct {
            const char* table;
            QStringList columns;
        } people[] = {{"Customers", {QStringLiteral("Caller")}},
                      {"Employees",
                       {QStringLiteral("[Assigned To]"), QStringLiteral("[Opened By]"),
                        QStringLiteral("[Resolved By]")}}};
        for (const auto& kind : people) {
            const QString table = QLatin1String(kind.table);
            QStringList selects;
            for (const QString& column : kind.columns)
                selects
                    << QStringLiteral("select %1 from DeletedCalls where %2").arg(column, chosen);
            const QString named = selects.join(QStringLiteral(" union "));
            connection.execute(
                QStringLiteral(
                    "insert into %1 (%2) select %2 from DeletedPeople p where p.List = '%1' and "
                    "(p.%3 or p.ID in (%4)) and p.Deletion = (select max(q.Deletion) from "
                    "DeletedPeople q where q.List = p.List and q.ID = p.ID) and not exists "
                    "(select 1 from %1 c where c.ID = p.ID)")
                    .arg(table, kPersonFields, ofDeletion, named));
        }

        insertCalls(connection, chosen);
        connection.execute(QStringLiteral("delete from DeletedCalls where ") + chosen);
        connection.execute(QStringLiteral("delete from DeletedValues where ") + ofDeletion);
        connection.execute(QStringLiteral("delete from DeletedPeople where ") + ofDeletion);
        // A deletion with nothing left to put back is gone.
        connection.execute(QStringLiteral(
            "delete from Deletions where Pending = 0 and not exists (select 1 from DeletedCalls "
            "d where d.Deletion = Deletions.ID) and not exists (select 1 from DeletedPeople p "
            "where p.Deletion = Deletions.ID) and not exists (select 1 from DeletedValues v "
            "where v.Deletion = Deletions.ID)"));
    });
    return ids;
}

} // namespace

namespace Deletions {

qint64 Begin(Connection& connection) {
    const QString cutoff = QDateTime::currentDateTime()
                               .addDays(-kKeptDays)
                               .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString old =
        QStringLiteral("Deletion in (select ID from Deletions where [Deleted At] < '%1')")
            .arg(cutoff);
    for (const char* table : {"DeletedCalls", "DeletedPeople", "DeletedValues"})
        connection.execute(QStringLiteral("delete from %1 where ").arg(QLatin1String(table)) + old);
    connection.execute(
        QStringLiteral("delete from Deletions where [Deleted At] < '%1'").arg(cutoff));
    connection.execute(QStringLiteral("insert into Deletions ([Deleted At], [Deleted By], "
                                      "Pending) values (ChangeTime(), ChangedBy(), 1)"));
    qint64 deletion = 0;
    eachRow(connection, QStringLiteral("select ID from Deletions where Pending = 1"),
            [&](const Recordset& row) { deletion = row.field(QStringLiteral("ID")).toInteger(); });
    return deletion;
}

void End(Connection& connection, qint64 deletion) {
    connection.execute(
        QStringLiteral("update Deletions set Pending = 0 where ID = %1").arg(deletion));
}

void Run(Connection& connection, const std::function<void()>& deletes) {
    qint64 deletion = 0;
    together(connection, [&] {
        deletion = Begin(connection);
        deletes();
        End(connection, deletion);
    });
    Remember(deletion);
}

void Remember(qint64 deletion) {
    if (deletion > 0)
        remembered().push_back(deletion);
}

bool CanUndo() {
    return !remembered().empty();
}

qint64 TakeLast() {
    if (remembered().empty())
        return 0;
    const qint64 deletion = remembered().back();
    remembered().pop_back();
    return deletion;
}

void ForgetAll() {
    remembered().clear();
}

QList<qint64> Restore(Connection& connection, qint64 deletion) {
    return restore(connection, QStringLiteral("Deletion = %1").arg(deletion), deletion);
}

QList<qint64> RestoreCalls(Connection& connection, const QList<qint64>& ids) {
    if (ids.isEmpty())
        return {};
    return restore(connection, QStringLiteral("ID in (%1)").arg(joinedIds(ids)), 0);
}

std::vector<DeletedCall> List(Connection& connection) {
    // What took each deletion's calls: the values and people deleted with them.
    QHash<qint64, QString> with;
    const auto add = [&](qint64 deletion, const QString& what) {
        QString& text = with[deletion];
        text += (text.isEmpty() ? QString() : QStringLiteral(", ")) + what;
    };
    eachRow(connection, QStringLiteral("select Deletion, List, Value from DeletedValues"),
            [&](const Recordset& row) {
                const QString list = row.field(QStringLiteral("List")).joined();
                const QString kind = list == QLatin1String("Status") ? QStringLiteral("Status")
                                     : list == QLatin1String("Categories")
                                         ? QStringLiteral("Category")
                                         : QStringLiteral("Priority");
                add(row.field(QStringLiteral("Deletion")).toInteger(),
                    kind + QStringLiteral(" \"") + row.field(QStringLiteral("Value")).joined() +
                        QLatin1Char('"'));
            });
    eachRow(connection,
            QStringLiteral("select Deletion, List, [First Name], [Last Name] from DeletedPeople"),
            [&](const Recordset& row) {
                const bool customer =
                    row.field(QStringLiteral("List")).joined() == QLatin1String("Customers");
                add(row.field(QStringLiteral("Deletion")).toInteger(),
                    (customer ? QStringLiteral("Caller ") : QStringLiteral("Employee ")) +
                        row.field(QStringLiteral("First Name")).joined() + QLatin1Char(' ') +
                        row.field(QStringLiteral("Last Name")).joined());
            });
    std::vector<DeletedCall> calls;
    eachRow(connection,
            QStringLiteral("select d.ID as ID, d.Title as Title, x.ID as Deletion, x.[Deleted "
                           "At] as [Deleted At], x.[Deleted By] as [Deleted By] from "
                           "DeletedCalls d inner join Deletions x on x.ID = d.Deletion order by "
                           "x.ID desc, d.ID"),
            [&](const Recordset& row) {
                DeletedCall call;
                call.id = row.field(QStringLiteral("ID")).toInteger();
                call.title = row.field(QStringLiteral("Title")).joined();
                call.deletedAt = row.field(QStringLiteral("Deleted At")).joined();
                call.deletedBy = row.field(QStringLiteral("Deleted By")).joined();
                call.deletedWith = with.value(row.field(QStringLiteral("Deletion")).toInteger());
                calls.push_back(call);
            });
    return calls;
}

} // namespace Deletions
