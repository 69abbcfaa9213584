#include "records/call_history.h"

#include "data/connection.h"
#include "data/date_text.h"
#include "data/recordset.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace {

struct FieldKind {
    const char* caption;
    enum { Plain, Customer, Employee, Date } kind;
};

// The fields of a call by the name the history records (either engine's spelling).
const QHash<QString, FieldKind>& fieldKinds() {
    static const QHash<QString, FieldKind> kinds{
        {QStringLiteral("title"), {"Title", FieldKind::Plain}},
        {QStringLiteral("caller"), {"Caller", FieldKind::Customer}},
        {QStringLiteral("assigned to"), {"Assigned To", FieldKind::Employee}},
        {QStringLiteral("opened by"), {"Opened By", FieldKind::Employee}},
        {QStringLiteral("opened date"), {"Opened Date", FieldKind::Date}},
        {QStringLiteral("due date"), {"Due Date", FieldKind::Date}},
        {QStringLiteral("status"), {"Status", FieldKind::Plain}},
        {QStringLiteral("category"), {"Category", FieldKind::Plain}},
        {QStringLiteral("priority"), {"Priority", FieldKind::Plain}},
        {QStringLiteral("comments"), {"Comments", FieldKind::Plain}},
        {QStringLiteral("resolved by"), {"Resolved By", FieldKind::Employee}},
        {QStringLiteral("resolved date"), {"Resolved Date", FieldKind::Date}},
        {QStringLiteral("call time"), {"Call Time", FieldKind::Date}},
        {QStringLiteral("attachment"), {"Attachment", FieldKind::Plain}},
    };
    return kinds;
}

struct Recorded {
    QString when, who, field;
    bool beforeNull, afterNull;
    QString before, after;
};

// The names of the people `ids` of one list, also of those deleted since.
QHash<qint64, QString> namesOf(Connection& connection, const QString& table,
                               const QSet<qint64>& ids) {
    QHash<qint64, QString> names;
    if (ids.isEmpty())
        return names;
    QStringList texts;
    for (qint64 id : ids)
        texts << QString::number(id);
    const QString list = texts.join(QLatin1Char(','));
    for (const QString& sql :
         {QStringLiteral("select ID, [First Name], [Last Name] from %1 where ID in (%2)")
              .arg(table, list),
          QStringLiteral("select ID, [First Name], [Last Name] from DeletedPeople where List = "
                         "'%1' and ID in (%2) order by Deletion")
              .arg(table, list)}) {
        Recordset records;
        records.open(sql, connection, Recordset::kForwardOnly, Recordset::kReadOnly);
        while (!records.eof()) {
            const qint64 id = records.field(QStringLiteral("ID")).toInteger();
            if (!names.contains(id))
                names.insert(id, records.field(QStringLiteral("First Name")).joined() +
                                     QLatin1Char(' ') +
                                     records.field(QStringLiteral("Last Name")).joined());
            records.moveNext();
        }
        records.close();
    }
    return names;
}

} // namespace

std::vector<CallChange> ReadCallHistory(Connection& connection, qint64 id) {
    std::vector<Recorded> rows;
    QSet<qint64> customers, employees;
    Recordset records;
    records.open(QStringLiteral("select [Changed At], [Changed By], Field, OldValue, NewValue from "
                                "CallHistory where CallID = %1 order by ID")
                     .arg(id),
                 connection, Recordset::kForwardOnly, Recordset::kReadOnly);
    while (!records.eof()) {
        Recorded row;
        row.when = records.field(QStringLiteral("Changed At")).joined();
        row.who = records.field(QStringLiteral("Changed By")).joined();
        row.field = records.field(QStringLiteral("Field")).joined().toLower();
        const Value before = records.field(QStringLiteral("OldValue"));
        const Value after = records.field(QStringLiteral("NewValue"));
        row.beforeNull = before.isNull();
        row.afterNull = after.isNull();
        row.before = before.joined();
        row.after = after.joined();
        const auto kind = fieldKinds().constFind(row.field);
        if (kind != fieldKinds().constEnd() && kind->kind != FieldKind::Plain &&
            kind->kind != FieldKind::Date) {
            QSet<qint64>& ids = kind->kind == FieldKind::Customer ? customers : employees;
            for (const QString& value : {row.before, row.after}) {
                bool number = false;
                const qint64 person = value.toLongLong(&number);
                if (number)
                    ids.insert(person);
            }
        }
        rows.push_back(row);
        records.moveNext();
    }
    records.close();

    const QHash<qint64, QString> customerNames =
        namesOf(connection, QStringLiteral("Customers"), customers);
    const QHash<qint64, QString> employeeNames =
        namesOf(connection, QStringLiteral("Employees"), employees);
    const auto shown = [&](const FieldKind& kind, const QString& value) {
        if (value.isEmpty())
            return value;
        if (kind.kind == FieldKind::Date) {
            const auto date = DateText::fromStored(value);
            return date ? DateText::format(*date) : value;
        }
        if (kind.kind == FieldKind::Plain)
            return value;
        const QHash<qint64, QString>& names =
            kind.kind == FieldKind::Customer ? customerNames : employeeNames;
        return names.value(value.toLongLong(), value);
    };

    std::vector<CallChange> changes;
    changes.reserve(rows.size());
    bool deleted = false;
    for (const Recorded& row : rows) {
        CallChange change;
        change.when = row.when;
        change.who = row.who;
        if (row.field.isEmpty()) {
            // The call itself: it came (again) or went.
            change.field = !row.afterNull ? (deleted ? QStringLiteral("Call restored")
                                                     : QStringLiteral("Call created"))
                                          : QStringLiteral("Call deleted");
            deleted = row.afterNull;
            change.before = row.before;
            change.after = row.after;
        } else {
            const FieldKind plain{nullptr, FieldKind::Plain};
            const auto found = fieldKinds().constFind(row.field);
            const FieldKind& kind = found == fieldKinds().constEnd() ? plain : *found;
            change.field = kind.caption ? QLatin1String(kind.caption) : row.field;
            change.before = shown(kind, row.before);
            change.after = shown(kind, row.after);
        }
        changes.push_back(change);
    }
    std::reverse(changes.begin(), changes.end());
    return changes;
}
