#pragma once

#include <QString>
#include <functional>

#include "records/row_snapshot.h"

class Connection;

// What became of a save that goes over a row someone else may have changed.
enum class SaveOutcome {
    Saved,      // written (over their version too, when the person chose so)
    KeptTheirs, // the person kept someone else's values where both changed the same fields;
                // the rest of the person's changes are written
    Gone,       // someone else deleted the row: nothing written
};

// Runs `write` (the UPDATE of the row that `seen` holds) in one transaction with the check
// that nobody changed the row since the window read it. What someone else changed meanwhile in
// other fields is kept without a question; where both changed the same fields, asks whether
// to save this person's values over theirs, naming each field with both values; No, the
// default, keeps theirs there. Each time the row changed anew while the question was open,
// asks again. No lock is held while the question is open. `what` names the row for the person
// ("call", "employee", "customer"). Failures are thrown on.
SaveOutcome SaveOverOthers(Connection& connection, RowSnapshot& seen, const QString& what,
                           const std::function<void()>& write);

// The question asked when someone else changed the same fields of the row named by `what`.
QString ChangedElsewhereQuestion(const QString& what,
                                 const std::vector<RowSnapshot::Clash>& clashes);

// Told when a row that the person deletes was deleted by someone else already; `name` is what
// the window showed of it.
QString AlreadyDeletedText(const QString& name);
