#include "records/set_aside_triggers.h"

#include "data/connection.h"
#include "data/recordset.h"
#include "data/value.h"

#include <optional>

namespace {

QString quoted(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("''")) +
           QLatin1Char('\'');
}

// The triggers that follow each call inserted on a local file, and what each of them does
// for every call in %1 (a condition on Calls) at once, in the order they act on one call; %2
// is when and by whom, as the history records it. For calls put back from kept copies,
// `fromKept` (where given) does that work instead, with %2 the condition on DeletedCalls that
// picks those copies.
struct InsertTrigger {
    const char* name;
    const char* work;
    const char* fromKept;
};
const InsertTrigger kInsertTriggers[] = {
    {"CallsHistoryOnInsert",
     "insert into CallHistory (CallID, [Changed At], [Changed By], Field, OldValue, NewValue) "
     "select ID, %2, '', NULL, coalesce(Title, '') from Calls where %1 order by ID",
     nullptr},
    // The comments' index still holds those of the newest kept copy of a deleted call: a call
    // inserted under a kept ID first takes those out, unless its comments are the same, and is
    // then indexed. A call put back from its newest kept copy needs neither, so for calls put
    // back only those from an older copy are looked at, by the copies' numbers alone.
    {"CallsTextOnInsert",
     "insert into CallsText (CallsText, rowid, Comments) select 'delete', k.ID, "
     "FindFolded(k.Comments) from "
     "DeletedCalls k where exists (select 1 from Calls where Calls.ID = k.ID and (%1)) and "
     "k.Deletion = (select max(n.Deletion) from DeletedCalls n where n.ID = k.ID) and "
     "k.Comments is not (select Calls.Comments from Calls where Calls.ID = k.ID)",
     "insert into CallsText (CallsText, rowid, Comments) select 'delete', n.ID, "
     "FindFolded(n.Comments) from "
     "DeletedCalls n where n.Deletion = (select max(m.Deletion) from DeletedCalls m where m.ID = "
     "n.ID) and n.ID in (select k.ID from DeletedCalls k where (%2) and exists (select 1 from "
     "DeletedCalls m where m.ID = k.ID and m.Deletion > k.Deletion) and exists (select 1 from "
     "Calls where Calls.ID = k.ID and (%1)))"},
    {"CallsTextOnInsert",
     "insert into CallsText (rowid, Comments) select ID, FindFolded(Comments) from Calls where "
     "(%1) and (not "
     "exists (select 1 from DeletedCalls k where k.ID = Calls.ID) or Comments is not (select "
     "k.Comments from DeletedCalls k where k.ID = Calls.ID order by k.Deletion desc limit 1)) "
     "order by ID",
     "insert into CallsText (rowid, Comments) select k.ID, FindFolded(k.Comments) from "
     "DeletedCalls k where "
     "(%2) and exists (select 1 from DeletedCalls m where m.ID = k.ID and m.Deletion > "
     "k.Deletion) and exists (select 1 from Calls where Calls.ID = k.ID and (%1)) order by k.ID"},
    {"CallsDatesOnInsert",
     "update Calls set [Opened Date] = StoredDate([Opened Date]), [Due Date] = "
     "StoredDate([Due Date]), [Resolved Date] = StoredDate([Resolved Date]), [Call Time] = "
     "StoredDate([Call Time]) where %1 and ([Opened Date] is not StoredDate([Opened Date]) or "
     "[Due Date] is not StoredDate([Due Date]) or [Resolved Date] is not "
     "StoredDate([Resolved Date]) or [Call Time] is not StoredDate([Call Time]))",
     nullptr},
};

// The comments' index gathers what it is given in memory and writes it out as a new piece
// of the index every megabyte, merging the pieces as they grow in number; given the comments
// of a hundred thousand calls at once, the merging cost as much as the indexing. While it
// takes them it gathers more at a time (the index it ends with finds the same), and then its
// setting is put back as it was, in the same transaction: the file keeps no trace of it.
class WiderTextBuffer {
public:
    explicit WiderTextBuffer(Connection& connection) : m_connection(connection) {
        Recordset setting;
        setting.open(QStringLiteral("select v from CallsText_config where k = 'hashsize'"),
                     connection, Recordset::kForwardOnly, Recordset::kReadOnly);
        if (!setting.eof())
            m_before = setting.field(0).joined();
        setting.close();
        set(QString::number(kWideBytes));
    }
    void putBack() {
        if (!m_before.isEmpty()) {
            set(m_before);
            return;
        }
        // The index knows no way to forget a setting: the default is set, then its row goes.
        set(QString::number(kDefaultBytes));
        m_connection.execute(QStringLiteral("delete from CallsText_config where k = 'hashsize'"));
    }

private:
    void set(const QString& bytes) {
        m_connection.execute(
            QStringLiteral("insert into CallsText (CallsText, rank) values ('hashsize', %1)")
                .arg(bytes));
    }
    static constexpr int kDefaultBytes = 1 << 20;
    static constexpr int kWideBytes = 16 << 20;
    Connection& m_connection;
    QString m_before;
};

// Drops the triggers that `which` (a condition on the schema table) picks, keeping their names
// and statements in the order they were made, so that they can be made again as they were.
void setAside(Connection& connection, const QString& which, QStringList& names,
              QStringList& texts) {
    Recordset present;
    present.open(QStringLiteral("select name, sql from sqlite_master where type = 'trigger' and "
                                "%1 order by rowid")
                     .arg(which),
                 connection, Recordset::kForwardOnly, Recordset::kReadOnly);
    while (!present.eof()) {
        names << present.field(QStringLiteral("name")).joined();
        texts << present.field(QStringLiteral("sql")).joined();
        present.moveNext();
    }
    present.close();
    for (const QString& name : names)
        connection.execute(QStringLiteral("drop trigger [%1]").arg(name));
}

} // namespace

SetAsideTriggers::SetAsideTriggers(Connection& connection) : m_connection(connection) {
    if (connection.server())
        return;
    QStringList names;
    for (const InsertTrigger& trigger : kInsertTriggers)
        names << quoted(QLatin1String(trigger.name));
    setAside(
        connection,
        QStringLiteral("tbl_name = 'Calls' and name in (%1)").arg(names.join(QLatin1Char(','))),
        m_names, m_texts);
}

void SetAsideTriggers::putBack(const QString& inserted, const KeptCopies& kept) {
    if (m_names.isEmpty())
        return;
    const bool putBackCalls = !kept.condition.isEmpty();
    // What the caller knows to change nothing is left out.
    const bool commentsKept = putBackCalls && !kept.newerCopies;
    const auto needless = [&](const InsertTrigger& trigger) {
        if (trigger.fromKept)
            return commentsKept;
        return putBackCalls && !kept.unstoredDates &&
               qstrcmp(trigger.name, "CallsDatesOnInsert") == 0;
    };
    // Asked once: the trigger asks for every call.
    QString stamp;
    {
        Recordset row;
        row.open(QStringLiteral("select ChangeTime() as t, ChangedBy() as b"), m_connection,
                 Recordset::kForwardOnly, Recordset::kReadOnly);
        const Value by = row.field(QStringLiteral("b"));
        stamp = quoted(row.field(QStringLiteral("t")).joined()) + QLatin1Char(',') +
                (by.isNull() ? QStringLiteral("NULL") : quoted(by.joined()));
    }
    std::optional<WiderTextBuffer> buffer;
    if (m_names.contains(QLatin1String("CallsTextOnInsert")) && !commentsKept)
        buffer.emplace(m_connection);
    for (const InsertTrigger& trigger : kInsertTriggers) {
        if (!m_names.contains(QLatin1String(trigger.name)) || needless(trigger))
            continue;
        const bool fromKept = putBackCalls && trigger.fromKept;
        const QString work = QString::fromLatin1(fromKept ? trigger.fromKept : trigger.work);
        m_connection.execute(work.contains(QLatin1String("%2"))
                                 ? work.arg(inserted, fromKept ? kept.condition : stamp)
                                 : work.arg(inserted));
    }
    if (buffer)
        buffer->putBack();
    for (const QString& text : m_texts)
        m_connection.execute(text);
    m_names.clear();
    m_texts.clear();
}

SetAsideTrigger::SetAsideTrigger(Connection& connection, const QString& name)
    : m_connection(connection) {
    if (connection.server())
        return;
    QStringList names, texts;
    setAside(connection, QStringLiteral("name = %1").arg(quoted(name)), names, texts);
    if (!texts.isEmpty())
        m_text = texts.first();
}

void SetAsideTrigger::putBack() {
    if (m_text.isEmpty())
        return;
    m_connection.execute(m_text);
    m_text.clear();
}
