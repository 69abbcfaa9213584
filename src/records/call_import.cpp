#include "records/call_import.h"

#include "data/connection.h"
#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/sql_text.h"
#include "records/bulk_insert.h"
#include "records/call_columns.h"
#include "records/import_fields.h"
#include "records/set_aside_triggers.h"

#include <QHash>
#include <QScopeGuard>
#include <new>

namespace {

// The values that go with each list value field: table, column.
struct ValueList {
    CallImport::Field field;
    const char* table;
    const char* column;
};
constexpr ValueList kValueLists[] = {{CallImport::Status, "Status", "Status"},
                                     {CallImport::Category, "Categories", "Category"},
                                     {CallImport::Priority, "Priorities", "Priority"}};

struct FieldInfo {
    const char* name;
    // Header names that give the field, written as normalized() writes them.
    const char* headers;
};
const FieldInfo kFieldInfo[CallImport::kFieldCount] = {
    {"Title", "title|subject|summary|issue"},
    {"Caller", "caller|customer|customername|client|contact"},
    {"Assigned To", "assignedto|assignedtoname|assignee|owner"},
    {"Opened By", "openedby|openedbyname|createdby|reporter"},
    {"Opened Date", "openeddate|opened|openedon|created|createddate|createdon"},
    {"Due Date", "duedate|due|dueon"},
    {"Status", "status|state"},
    {"Category", "category|type"},
    {"Priority", "priority"},
    {"Comments", "comments|comment|notes|description"},
    {"Resolved By", "resolvedby|resolvedbyname|closedby"},
    {"Resolved Date", "resolveddate|resolvedtime|resolved|resolvedon|closeddate|closed"},
};

// A value list as it is now: each value by its folded form.
QHash<QString, QString> readValues(Connection& connection, int list) {
    QHash<QString, QString> values;
    Recordset records;
    records.open(QStringLiteral("select * from [%1]").arg(kValueLists[list].table), connection);
    while (!records.eof()) {
        const QString value = records.field(0).joined();
        values.insert(value.toCaseFolded(), value);
        records.moveNext();
    }
    return values;
}

bool isDateField(int field) {
    return field == CallImport::OpenedDate || field == CallImport::DueDate ||
           field == CallImport::ResolvedDate;
}
bool isEmployeeField(int field) {
    return field == CallImport::AssignedTo || field == CallImport::OpenedBy ||
           field == CallImport::ResolvedBy;
}
int valueListOf(int field) {
    for (int i = 0; i < 3; ++i) {
        if (kValueLists[i].field == field)
            return i;
    }
    return -1;
}

const QString kNoMemory =
    QStringLiteral("There is not enough memory to import the calls of the file.");

// The engine's page cache while writing, in KiB (a negative cache_size).
constexpr int kImportCacheKiB = -262144;

} // namespace

using namespace ImportFields;

QString CallImport::fieldName(int field) {
    return QString::fromLatin1(kFieldInfo[field].name);
}

bool CallImport::required(int field) {
    return field == Title || field == OpenedDate || field == DueDate;
}

CallImport::CallImport(const QString& path) {
    m_table = CsvRecords::readFile(path);
    matchColumns();
}

CallImport CallImport::fromBytes(const QByteArray& bytes) {
    CallImport import;
    import.m_table = CsvRecords::read(bytes);
    import.matchColumns();
    return import;
}

void CallImport::matchColumns() {
    QStringList exported;
    for (const char* caption : CallColumns::kCaptions)
        exported << QString::fromLatin1(caption);
    exported << QString::fromLatin1(CallColumns::kCommentsField);
    m_fromThisProgram = m_table.header == exported;
    m_columns.fill(-1);
    for (int field = 0; field < kFieldCount; ++field) {
        const QStringList names = QString::fromLatin1(kFieldInfo[field].headers).split('|');
        // The first header name in the field's list that a column has wins.
        for (const QString& name : names) {
            for (int column = 0; column < m_table.header.size(); ++column) {
                if (m_columns[field] < 0 && normalized(m_table.header.at(column)) == name)
                    m_columns[field] = column;
            }
        }
    }
}

void CallImport::setColumn(int field, int column) {
    m_columns.at(size_t(field)) = column >= 0 && column < m_table.header.size() ? column : -1;
}

bool CallImport::setColumn(int field, const QString& headerName) {
    int found = int(m_table.header.indexOf(headerName));
    for (int column = 0; found < 0 && column < m_table.header.size(); ++column) {
        if (normalized(m_table.header.at(column)) == normalized(headerName))
            found = column;
    }
    if (found < 0)
        return false;
    setColumn(field, found);
    return true;
}

QStringList CallImport::missingFields() const {
    QStringList missing;
    for (int field = 0; field < kFieldCount; ++field) {
        if (required(field) && m_columns[field] < 0)
            missing << fieldName(field);
    }
    return missing;
}

void CallImport::prepare(Connection& connection) {
    try {
        prepareCalls(connection);
    } catch (const std::bad_alloc&) {
        m_problems.clear();
        m_calls.clear();
        m_additions.clear();
        throw Failure(kNoMemory);
    }
}

void CallImport::prepareCalls(Connection& connection) {
    m_problems.clear();
    m_calls.clear();
    m_additions.clear();
    m_employees = readPeople(connection, QStringLiteral("Employees Extended"),
                             QStringLiteral("Employee Name"));
    m_customers = readPeople(connection, QStringLiteral("Customers Extended"),
                             QStringLiteral("Customer Name"));
    for (int list = 0; list < 3; ++list)
        m_values[size_t(list)] = readValues(connection, list);
    QHash<QString, qint64> newEmployees;
    QHash<QString, qint64> newCustomers;
    QHash<QString, QString> storedDates;
    const int columns = int(m_table.header.size());
    m_calls.reserve(m_table.records.size());
    for (const CsvRecords::Record& record : m_table.records) {
        auto refuse = [&](const QString& why) { m_problems.push_back({record.line, why}); };
        if (!record.problem.isEmpty()) {
            refuse(record.problem);
            continue;
        }
        if (record.fields.size() != columns) {
            refuse(QStringLiteral("it has %1 fields where the header line has %2")
                       .arg(record.fields.size())
                       .arg(columns));
            continue;
        }
        Call call;
        call.line = record.line;
        QString why;
        for (int field = 0; field < kFieldCount && why.isEmpty(); ++field) {
            if (m_columns[field] < 0)
                continue;
            QString text = record.fields.at(m_columns[field]);
            if (m_fromThisProgram)
                text = unescaped(text);
            if (hasControls(text))
                text = withoutControls(text);
            if (isDateField(field)) {
                if (text.trimmed().isEmpty())
                    continue;
                // A file names the same days many times over: each text is read once.
                auto known = storedDates.constFind(text);
                if (known == storedDates.constEnd()) {
                    const auto date = DateText::parse(text);
                    known = storedDates.insert(text, date ? DateText::toStored(*date) : QString());
                }
                if (known->isEmpty())
                    why = QStringLiteral("the %1 \"%2\" is not a date")
                              .arg(fieldName(field).toLower(), text);
                else
                    call.values[field] = *known;
                continue;
            }
            if (const int list = valueListOf(field); list >= 0 && !text.isEmpty()) {
                const QString folded = text.toCaseFolded();
                auto it = m_values[list].constFind(folded);
                if (it == m_values[list].constEnd()) {
                    it = m_values[list].insert(folded, text);
                    m_additions.push_back({fieldName(field), text});
                }
                text = *it;
            }
            if ((isEmployeeField(field) || field == Caller) && !text.isEmpty()) {
                const bool employee = field != Caller;
                const auto& known = employee ? m_employees : m_customers;
                auto& added = employee ? newEmployees : newCustomers;
                if (!findPerson(known, text) && !added.contains(text)) {
                    added.insert(text, 0);
                    m_additions.push_back(
                        {employee ? QStringLiteral("Employee") : QStringLiteral("Customer"), text});
                }
            }
            call.values[field] = text;
        }
        if (why.isEmpty()) {
            for (int field = 0; field < kFieldCount && why.isEmpty(); ++field) {
                if (required(field) && call.values[field].trimmed().isEmpty())
                    why = QStringLiteral("it has no %1").arg(fieldName(field).toLower());
            }
        }
        if (!why.isEmpty()) {
            refuse(why);
            continue;
        }
        m_calls.push_back(std::move(call));
    }
}

QStringList CallImport::shownCall(int index) const {
    const Call& call = m_calls.at(size_t(index));
    QStringList shown;
    for (int field = 0; field < kFieldCount; ++field) {
        const QString& value = call.values[field];
        if (isDateField(field) && !value.isEmpty())
            shown << DateText::format(*DateText::fromStored(value));
        else
            shown << value;
    }
    return shown;
}

int CallImport::write(Connection& connection, const std::function<bool(int, int)>& progress) {
    try {
        try {
            return writeCalls(connection, progress);
        } catch (const Failure& failure) {
            // Another import (on a server, between this one's look at the lists and its own
            // insert) added the same value: everything is written again, once, and the value
            // is found this time.
            if (!failure.description().contains(QLatin1String("The value is there already")))
                throw;
        }
        return writeCalls(connection, progress);
    } catch (const std::bad_alloc&) {
        throw Failure(kNoMemory);
    }
}

void CallImport::respell(int field, const QString& text, const QString& spelling) {
    if (text == spelling)
        return;
    const QString folded = text.toCaseFolded();
    for (Call& call : m_calls) {
        if (call.values[size_t(field)].toCaseFolded() == folded)
            call.values[size_t(field)] = spelling;
    }
}

int CallImport::writeCalls(Connection& connection, const std::function<bool(int, int)>& progress) {
    const int total = callCount();
    // The engine keeps the pages it changes in memory until the commit; with its usual
    // small cache it writes them out and reads them back many times over in a large import.
    const bool file = connection.server() == nullptr;
    QString cacheSize;
    if (file) {
        Recordset size;
        size.open(QStringLiteral("PRAGMA cache_size"), connection);
        cacheSize = size.field(0).joined();
        connection.execute(QStringLiteral("PRAGMA cache_size = %1").arg(kImportCacheKiB));
    }
    const auto restoreCache = qScopeGuard([&] {
        if (file) {
            try {
                connection.execute(QStringLiteral("PRAGMA cache_size = %1").arg(cacheSize));
            } catch (const Failure&) {
            }
        }
    });
    connection.beginTransaction();
    try {
        // Another import (or a desk) may have added the same person or value since the file
        // was read: what is there by now is used, not added twice.
        std::array<QHash<QString, QString>, 3> present;
        for (int list = 0; list < 3; ++list)
            present[size_t(list)] = readValues(connection, list);
        for (const Addition& addition : m_additions) {
            const bool employee = addition.kind == QLatin1String("Employee");
            if (employee || addition.kind == QLatin1String("Customer")) {
                const QString table =
                    employee ? QStringLiteral("Employees") : QStringLiteral("Customers");
                const auto [first, last] = splitName(addition.text);
                const QString named = QStringLiteral("select max(ID) from %1 where [First Name]=%2 "
                                                     "and [Last Name]=%3")
                                          .arg(table, quoted(first), quoted(last));
                Recordset id;
                id.open(named, connection);
                if (id.field(0).isNull()) {
                    id.close();
                    connection.execute(
                        QStringLiteral("insert into %1 ([First Name],[Last Name]) values (%2,%3)")
                            .arg(table, quoted(first), quoted(last)));
                    id.open(named, connection);
                }
                (employee ? m_employees : m_customers)
                    .insert(addition.text, id.field(0).toInteger());
                continue;
            }
            for (int list = 0; list < 3; ++list) {
                if (addition.kind != fieldName(kValueLists[list].field))
                    continue;
                const QString folded = addition.text.toCaseFolded();
                if (const auto there = present[size_t(list)].constFind(folded);
                    there != present[size_t(list)].constEnd())
                    respell(kValueLists[list].field, addition.text, *there);
                else
                    connection.execute(
                        QStringLiteral("insert into [%1] values (%2)")
                            .arg(QLatin1String(kValueLists[list].table), quoted(addition.text)));
            }
        }

        auto person = [&](const QHash<QString, qint64>& ids, const QString& name) {
            const qint64 id = name.isEmpty() ? 0 : findPerson(ids, name);
            return id > 0 ? InsertedValue::number(id) : InsertedValue::null();
        };
        auto date = [](const QString& stored) {
            return stored.isEmpty() ? InsertedValue::null() : InsertedValue::text(stored);
        };
        // A server refuses a call that names a status, category or priority its lists lack,
        // the empty one included: there a call without one has none (Null).
        const bool server = connection.server() != nullptr;
        auto value = [server](const QString& text) {
            return server && text.isEmpty() ? InsertedValue::null() : InsertedValue::text(text);
        };
        // The calls written get IDs above every ID there is; the insert triggers of Calls are
        // set aside while they go in, and their work is done once for all of them.
        qint64 lastBefore = 0;
        if (file) {
            Recordset last;
            last.open(QStringLiteral("select coalesce(max(ID), 0) from Calls"), connection);
            lastBefore = last.field(0).toInteger();
        }
        SetAsideTriggers triggers(connection);
        BulkInsert insert(connection, QStringLiteral("Calls"),
                          {QStringLiteral("Title"), QStringLiteral("[Assigned To]"),
                           QStringLiteral("[Opened By]"), QStringLiteral("[Opened Date]"),
                           QStringLiteral("Status"), QStringLiteral("Category"),
                           QStringLiteral("Priority"), QStringLiteral("Comments"),
                           QStringLiteral("[Due Date]"), QStringLiteral("[Resolved By]"),
                           QStringLiteral("[Resolved Date]"), QStringLiteral("Caller"),
                           QStringLiteral("[Call Time]")});
        const bool whole = insert.run(
            total,
            [&](int call, InsertedValue* row) {
                const auto& v = m_calls[size_t(call)].values;
                row[0] = InsertedValue::text(v[Title]);
                row[1] = person(m_employees, v[AssignedTo]);
                row[2] = person(m_employees, v[OpenedBy]);
                row[3] = date(v[OpenedDate]);
                row[4] = value(v[Status]);
                row[5] = value(v[Category]);
                row[6] = value(v[Priority]);
                row[7] = InsertedValue::text(v[Comments]);
                row[8] = date(v[DueDate]);
                row[9] = person(m_employees, v[ResolvedBy]);
                row[10] = date(v[ResolvedDate]);
                row[11] = person(m_customers, v[Caller]);
                row[12] = date(v[OpenedDate]);
            },
            [&](int done) { return !progress || progress(done, total); });
        if (!whole) {
            connection.rollback();
            return -1;
        }
        triggers.putBack(QStringLiteral("ID > %1").arg(lastBefore));
        connection.commit();
    } catch (...) {
        if (connection.inTransaction())
            connection.rollback();
        throw;
    }
    return total;
}
