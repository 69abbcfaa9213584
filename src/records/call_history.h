#pragma once

#include <QString>
#include <vector>

class Connection;

// One change of a call as a person reads it: people by name, dates in the program's format.
struct CallChange {
    QString when;
    QString who;
    // The field's caption; for the call itself "Call created", "Call deleted" or
    // "Call restored" with its title before or after.
    QString field;
    QString before;
    QString after;
};

// Every change of the call `id` (also of a deleted one), newest first.
std::vector<CallChange> ReadCallHistory(Connection& connection, qint64 id);
