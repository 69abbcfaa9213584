#pragma once

#include <QString>
#include <QStringList>

class Connection;

// Many calls inserted at once on a local file, without the insert triggers of Calls firing for
// each one. Those triggers (the history, the comments' index, the stored form of the dates)
// cost several times the insert itself for every call; set aside for the inserts, each one's
// work is done once for all the new calls by one statement, and they are made again as they
// were, in their order. Everything happens in the caller's transaction:
//
//     connection.beginTransaction();
//     SetAsideTriggers triggers(connection);
//     ... the inserts into Calls ...
//     triggers.putBack(QStringLiteral("ID > 41")); // the calls inserted
//     connection.commit();
//
// A failure or a cancel before putBack() must roll the transaction back, which brings the
// triggers back as well. On a server there is nothing to set aside (its triggers stay) and both
// steps do nothing.
class SetAsideTriggers {
public:
    // Reads the insert triggers of Calls present in the file and drops them.
    explicit SetAsideTriggers(Connection& connection);
    // Does the work of every trigger set aside for the calls that `inserted` (a condition on
    // Calls) picks, as the triggers would have done it, and makes the triggers again. Calls put
    // back from their kept copies name those copies in `keptCopies` (a condition on
    // DeletedCalls): the comments' index holds their comments still, and indexes only those
    // whose newer kept copy it holds instead.
    void putBack(const QString& inserted, const QString& keptCopies = QString());

    SetAsideTriggers(const SetAsideTriggers&) = delete;
    SetAsideTriggers& operator=(const SetAsideTriggers&) = delete;

private:
    Connection& m_connection;
    QStringList m_names; // the triggers set aside
    QStringList m_texts; // and their statements, in the order they were made
};
