#include "records/reference_check.h"

#include "data/recordset.h"

#include <QStringList>

const CallReference kCallReferences[7] = {
    {"Assigned To", "an employee", "[Assigned To]", "Employees", "ID"},
    {"Opened By", "an employee", "[Opened By]", "Employees", "ID"},
    {"Caller", "a customer", "Caller", "Customers", "ID"},
    {"Resolved By", "an employee", "[Resolved By]", "Employees", "ID"},
    {"Status", "a status", "Status", "[Status]", "Status"},
    {"Category", "a category", "Category", "Categories", "Category"},
    {"Priority", "a priority", "Priority", "Priorities", "Priority"},
};

QVector<MissingNames> CallsNamingMissing(Connection& connection) {
    QStringList counts;
    for (const CallReference& reference : kCallReferences) {
        // A call that an import left without a status, category or priority holds the empty
        // text on a file: it names none, as Null does.
        const bool text = qstrcmp(reference.key, "ID") != 0;
        counts << QStringLiteral("(select count(*) from Calls where %1 is not null%4 and not "
                                 "exists (select 1 from %2 as named where named.%3 = Calls.%1))")
                      .arg(
                          QLatin1String(reference.column), QLatin1String(reference.table),
                          QLatin1String(reference.key),
                          text
                              ? QStringLiteral(" and %1 <> ''").arg(QLatin1String(reference.column))
                              : QString());
    }
    Recordset records;
    records.open(QStringLiteral("select ") + counts.join(QStringLiteral(", ")), connection);
    QVector<MissingNames> missing;
    int column = 0;
    for (const CallReference& reference : kCallReferences)
        missing.push_back({QLatin1String(reference.field), QLatin1String(reference.what),
                           records.field(column++).toInteger()});
    return missing;
}
