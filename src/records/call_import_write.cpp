#include "records/call_import.h"

#include "data/connection.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "records/bulk_insert.h"
#include "records/import_fields.h"
#include "records/set_aside_triggers.h"

#include <QScopeGuard>
#include <new>

// The write of an import: the additions, then every call at once.

namespace {

// The engine's page cache while writing, in KiB (a negative cache_size).
constexpr int kImportCacheKiB = -262144;

} // namespace

using namespace ImportFields;

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
        throw Failure(noMemory());
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
                if (addition.kind != fieldName(valueField(list)))
                    continue;
                const QString folded = addition.text.toCaseFolded();
                if (const auto there = present[size_t(list)].constFind(folded);
                    there != present[size_t(list)].constEnd())
                    respell(valueField(list), addition.text, *there);
                else
                    connection.execute(QStringLiteral("insert into [%1] values (%2)")
                                           .arg(valueTable(list), quoted(addition.text)));
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
