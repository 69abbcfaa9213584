#include "records/deletions.h"

#include "data/connection.h"
#include "data/date_text.h"
#include "data/recordset.h"
#include "records/attachment_store.h"
#include "records/set_aside_triggers.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <algorithm>
#include <iterator>

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
constexpr int kValueListCount = int(std::size(kValueLists));

// What the kept calls that a restore puts back hold, read in one pass over their copies.
struct KeptCalls {
    QList<qint64> ids;
    QList<qint64> absent;  // the IDs not in Calls, which the restore inserts
    bool repeated = false; // an ID picked twice
    bool newer = false;    // a newer kept copy of one of those calls is there too
    bool unstored = false; // one of those missing holds a date not in the stored form
    // Of each value list, the values the calls carry, each once, as first met.
    QStringList values[kValueListCount];
    QSet<qint64> callers;
    QSet<qint64> employees;
};

// The columns that readKeptCalls() reads, by position: by name, finding them would cost more
// than reading them.
enum KeptColumn {
    kId,
    kStatus,
    kCaller = kStatus + kValueListCount,
    kResolvedBy = kCaller + 3,
    kPlace,
    kNewer
};
enum KeptPlace { kMissing, kListed, kMissingUnstored };

KeptCalls readKeptCalls(Connection& connection, const QString& chosen) {
    KeptCalls kept;
    // On a file, also where each call is (and, missing, whether its dates are in the stored
    // form), and whether a newer copy of it is kept, asking the table only for the few IDs
    // kept more than once.
    const bool file = !connection.server();
    const QString more = QStringLiteral(
        ", case when exists (select 1 from Calls c where c.ID = d.ID) then 1 when [Opened Date] "
        "is not StoredDate([Opened Date]) or [Due Date] is not StoredDate([Due Date]) or "
        "[Resolved Date] is not StoredDate([Resolved Date]) or [Call Time] is not "
        "StoredDate([Call Time]) then 2 else 0 end, case when exists (select 1 from "
        "DeletedCalls m where m.ID = d.ID and m.rowid <> d.rowid) then exists (select 1 from "
        "DeletedCalls m where m.ID = d.ID and m.Deletion > d.Deletion) else 0 end");
    QSet<QByteArray> seen[kValueListCount];
    QSet<qint64> picked;
    eachRow(connection,
            QStringLiteral("select ID, Status, Category, Priority, Caller, [Assigned To], "
                           "[Opened By], [Resolved By]%1 from DeletedCalls d where %2")
                .arg(file ? more : QString(), chosen),
            [&](const Recordset& row) {
                const qint64 id = row.field(kId).toInteger();
                kept.ids << id;
                kept.repeated = kept.repeated || picked.contains(id);
                picked.insert(id);
                if (file) {
                    const qint64 place = row.field(kPlace).toInteger();
                    if (place != kListed)
                        kept.absent << id;
                    kept.unstored = kept.unstored || place == kMissingUnstored;
                    kept.newer = kept.newer || row.field(kNewer).toInteger() != 0;
                }
                for (int i = 0; i < kValueListCount; ++i) {
                    const Recordset::Raw value = row.raw(kStatus + i);
                    if (value.null)
                        continue;
                    const QByteArray text = QByteArray::fromRawData(value.utf8, value.size);
                    if (!seen[i].contains(text)) {
                        seen[i].insert(QByteArray(value.utf8, value.size));
                        kept.values[i] << QString::fromUtf8(text);
                    }
                }
                for (int i = kCaller; i <= kResolvedBy; ++i) {
                    const Value person = row.field(i);
                    if (!person.isNull())
                        (i == kCaller ? kept.callers : kept.employees).insert(person.toInteger());
                }
            });
    return kept;
}

// Inserts the kept calls that `chosen` picks and that are not in Calls, inside the caller's
// transaction, with the insert triggers of Calls set aside for the one statement (putting back
// thousands of calls took seconds with them).
void insertCalls(Connection& connection, const QString& chosen, const KeptCalls& kept) {
    const QString insert =
        QStringLiteral("insert into Calls (%1) select %1 from DeletedCalls d where %2")
            .arg(kCallFields, chosen);
    const QString absent =
        QStringLiteral(" and not exists (select 1 from Calls c where c.ID = d.ID)");
    if (connection.server()) {
        connection.execute(insert + absent);
        return;
    }
    if (kept.absent.isEmpty())
        return;
    SetAsideTriggers triggers(connection);
    KeptCopies copies;
    copies.condition = chosen;
    copies.newerCopies = kept.newer;
    copies.unstoredDates = kept.unstored;
    // Usually every call picked is missing, once: the copies' own condition then names the
    // calls inserted, and the insert need not look at Calls (which would make the engine set
    // all the rows aside before inserting the first).
    if (kept.absent.size() == kept.ids.size() && !kept.repeated) {
        connection.execute(insert);
        triggers.putBack(QStringLiteral("ID in (select ID from DeletedCalls where %1)").arg(chosen),
                         copies);
        return;
    }
    connection.execute(insert + absent);
    triggers.putBack(QStringLiteral("ID in (%1)").arg(joinedIds(kept.absent)), copies);
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
        const KeptCalls kept = readKeptCalls(connection, chosen);
        ids = kept.ids;
        const QString ofDeletion = QStringLiteral("Deletion = %1").arg(deletion);

        // Values: those deleted with it and those the calls carry, where the list lacks them.
        for (int i = 0; i < kValueListCount; ++i) {
            const QString table = QLatin1String(kValueLists[i].table);
            const QString column = QLatin1String(kValueLists[i].column);
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
            wanted << kept.values[i];
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
            const QSet<qint64>& named;
        } people[] = {{"Customers", kept.callers}, {"Employees", kept.employees}};
        for (const auto& kind : people) {
            const QString table = QLatin1String(kind.table);
            QList<qint64> named(kind.named.begin(), kind.named.end());
            std::sort(named.begin(), named.end());
            const QString wanted =
                named.isEmpty()
                    ? QStringLiteral("p.") + ofDeletion
                    : QStringLiteral("(p.%1 or p.ID in (%2))").arg(ofDeletion, joinedIds(named));
            connection.execute(
                QStringLiteral(
                    "insert into %1 (%2) select %2 from DeletedPeople p where p.List = '%1' and "
                    "%3 and p.Deletion = (select max(q.Deletion) from DeletedPeople q where "
                    "q.List = p.List and q.ID = p.ID) and not exists (select 1 from %1 c where "
                    "c.ID = p.ID)")
                    .arg(table, kPersonFields, wanted));
        }

        insertCalls(connection, chosen, kept);
        {
            // Every call picked is in Calls now, so the condition of the trigger that follows
            // the comments of the last kept copy of a call to go holds for none of them.
            SetAsideTrigger lastCopy(connection, QStringLiteral("CallsTextOnKeptDelete"));
            connection.execute(QStringLiteral("delete from DeletedCalls where ") + chosen);
            lastCopy.putBack();
        }
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
    Attachments::ForgetOld(connection, cutoff);
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
    QString chosen = QStringLiteral("ID in (%1)").arg(joinedIds(ids));
    // An ID kept more than once (a call deleted, its number taken again and deleted again)
    // comes back from its newest copy: the calls cannot all hold one number.
    QStringList newest;
    QList<qint64> repeated;
    eachRow(connection,
            QStringLiteral("select ID, max(Deletion) from DeletedCalls where %1 group by ID "
                           "having count(*) > 1")
                .arg(chosen),
            [&](const Recordset& row) {
                repeated << row.field(0).toInteger();
                newest << QStringLiteral("(%1, %2)")
                              .arg(row.field(0).toInteger())
                              .arg(row.field(1).toInteger());
            });
    if (!repeated.isEmpty())
        chosen += QStringLiteral(" and (ID not in (%1) or (ID, Deletion) in (values %2))")
                      .arg(joinedIds(repeated), newest.join(QStringLiteral(", ")));
    return restore(connection, chosen, 0);
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
