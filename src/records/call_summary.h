#pragma once

#include <QDate>
#include <QString>
#include <optional>
#include <vector>

class Connection;

// The workload at a glance, counted by the database (grouped queries that work the same on
// the local file and on a server), never by reading every call: the open calls by status,
// by the employee they are assigned to and by priority, the overdue ones, the calls opened
// and resolved in each of the last weeks, and the median time from opened to resolved of the
// calls resolved in those weeks. A call is open while it has no resolved date, and overdue
// while open with a due date before today.
struct CallSummary {
    static constexpr int kWeeks = 12;

    struct Count {
        QString name;
        qint64 calls = 0;
    };
    struct Week {
        QDate monday;
        qint64 opened = 0;
        qint64 resolved = 0;
    };

    QDate today;
    qint64 open = 0;
    qint64 overdue = 0;
    // Largest count first; equal counts by name.
    std::vector<Count> byStatus;
    std::vector<Count> byAssignee;
    std::vector<Count> byPriority;
    // The oldest week first; the last is the week of today (weeks begin on Monday).
    std::vector<Week> weeks;
    // In days, of the calls resolved in those weeks; nothing when none was.
    std::optional<double> medianDays;
    qint64 resolvedInWeeks = 0;

    // The name shown for calls without a value or without an assigned employee.
    static QString noneName();
};

CallSummary ReadCallSummary(Connection& connection, const QDate& today);
