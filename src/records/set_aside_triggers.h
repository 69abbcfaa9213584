#pragma once

#include <QString>
#include <QStringList>

class Connection;

// The kept copies (rows of DeletedCalls) that inserted calls were put back from, and what their
// caller knows of them: what the set-aside triggers would have done for those calls depends on
// it.
struct KeptCopies {
    // Picks the copies in DeletedCalls; empty for calls that are not put back.
    QString condition;
    // The comments' index holds the comments of the newest kept copy of each call still: it
    // needs to change only for calls of which a newer copy is kept too.
    bool newerCopies = true;
    // The dates of calls put back are already in the stored form, unless one of them is not.
    bool unstoredDates = true;
};

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
    // back from their kept copies name those copies in `kept`.
    void putBack(const QString& inserted, const KeptCopies& kept = KeptCopies());

    SetAsideTriggers(const SetAsideTriggers&) = delete;
    SetAsideTriggers& operator=(const SetAsideTriggers&) = delete;

private:
    Connection& m_connection;
    QStringList m_names; // the triggers set aside
    QStringList m_texts; // and their statements, in the order they were made
};

// One trigger set aside for statements for which its condition holds on no row, as the caller
// knows: the engine then need not test it for each row. It is made again as it was by
// putBack(), in the caller's transaction, whose rollback brings it back as well. On a server,
// or where the file has no such trigger, both do nothing.
class SetAsideTrigger {
public:
    SetAsideTrigger(Connection& connection, const QString& name);
    void putBack();

    SetAsideTrigger(const SetAsideTrigger&) = delete;
    SetAsideTrigger& operator=(const SetAsideTrigger&) = delete;

private:
    Connection& m_connection;
    QString m_text; // the trigger's statement, while it is set aside
};
