#include "records/call_summary.h"

#include "data/connection.h"
#include "data/recordset.h"

#include <QHash>
#include <QMap>
#include <algorithm>

namespace {

QString day(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

std::vector<CallSummary::Count> sorted(const QHash<QString, qint64>& counts) {
    std::vector<CallSummary::Count> out;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it)
        out.push_back({it.key(), it.value()});
    std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
        return a.calls != b.calls ? a.calls > b.calls : a.name < b.name;
    });
    return out;
}

QString nameOr(const QString& name) {
    return name.trimmed().isEmpty() ? CallSummary::noneName() : name;
}

} // namespace

QString CallSummary::noneName() {
    return QStringLiteral("(none)");
}

CallSummary ReadCallSummary(Connection& connection, const QDate& today) {
    CallSummary summary;
    summary.today = today;

    QHash<qint64, QString> employees;
    {
        Recordset records;
        records.open(QStringLiteral("select ID, [Employee Name] from [Employees Extended]"),
                     connection);
        while (!records.eof()) {
            employees.insert(records.field(0).toInteger(), records.field(1).joined());
            records.moveNext();
        }
    }

    QHash<QString, qint64> status, assignee, priority;
    {
        Recordset records;
        records.open(QStringLiteral("select Status, Priority, [Assigned To], count(*), "
                                    "sum(case when [Due Date] < '%1' then 1 else 0 end) "
                                    "from Calls where [Resolved Date] is null "
                                    "group by Status, Priority, [Assigned To]")
                         .arg(day(today)),
                     connection);
        while (!records.eof()) {
            const qint64 calls = records.field(3).toInteger();
            status[nameOr(records.field(0).joined())] += calls;
            priority[nameOr(records.field(1).joined())] += calls;
            const Value assigned = records.field(2);
            assignee[nameOr(assigned.isNull() ? QString()
                                              : employees.value(assigned.toInteger()))] += calls;
            summary.open += calls;
            summary.overdue += records.field(4).toInteger();
            records.moveNext();
        }
    }
    summary.byStatus = sorted(status);
    summary.byAssignee = sorted(assignee);
    summary.byPriority = sorted(priority);

    const QDate firstMonday =
        today.addDays(1 - today.dayOfWeek()).addDays(-7 * (CallSummary::kWeeks - 1));
    for (int week = 0; week < CallSummary::kWeeks; ++week)
        summary.weeks.push_back({firstMonday.addDays(7 * week), 0, 0});
    auto weekOf = [&](const QDate& date) -> CallSummary::Week* {
        if (!date.isValid() || date < firstMonday)
            return nullptr;
        const qint64 index = firstMonday.daysTo(date) / 7;
        return index < CallSummary::kWeeks ? &summary.weeks[size_t(index)] : nullptr;
    };
    const QString form = QStringLiteral("yyyy-MM-dd");
    // Each count reads only the recent part of the index on its date: the calls opened per
    // day, then the calls resolved per day with the day each was opened.
    {
        Recordset records;
        records.open(QStringLiteral("select substr([Opened Date],1,10), count(*) from Calls "
                                    "where [Opened Date] >= '%1' "
                                    "group by substr([Opened Date],1,10)")
                         .arg(day(firstMonday)),
                     connection);
        while (!records.eof()) {
            if (auto* week = weekOf(QDate::fromString(records.field(0).joined(), form)))
                week->opened += records.field(1).toInteger();
            records.moveNext();
        }
    }
    // Durations in days and how many calls took each.
    QMap<qint64, qint64> durations;
    {
        Recordset records;
        records.open(
            QStringLiteral("select substr([Resolved Date],1,10), substr([Opened Date],1,10), "
                           "count(*) from Calls where [Resolved Date] >= '%1' "
                           "group by substr([Resolved Date],1,10), substr([Opened Date],1,10)")
                .arg(day(firstMonday)),
            connection);
        while (!records.eof()) {
            const QDate resolved = QDate::fromString(records.field(0).joined(), form);
            const QDate opened = QDate::fromString(records.field(1).joined(), form);
            const qint64 calls = records.field(2).toInteger();
            if (auto* week = weekOf(resolved)) {
                week->resolved += calls;
                if (opened.isValid()) {
                    durations[opened.daysTo(resolved)] += calls;
                    summary.resolvedInWeeks += calls;
                }
            }
            records.moveNext();
        }
    }
    if (summary.resolvedInWeeks > 0) {
        // The middle one, or the mean of the two middle ones.
        const qint64 total = summary.resolvedInWeeks;
        auto at = [&](qint64 position) {
            qint64 seen = 0;
            for (auto it = durations.constBegin(); it != durations.constEnd(); ++it) {
                seen += it.value();
                if (seen > position)
                    return double(it.key());
            }
            return double(durations.lastKey());
        };
        summary.medianDays = (at((total - 1) / 2) + at(total / 2)) / 2;
    }
    return summary;
}
