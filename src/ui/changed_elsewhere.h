#pragma once

#include <QString>
#include <functional>

class Connection;
class RowSnapshot;

// What became of a save that goes over a row someone else may have changed.
enum class SaveOutcome {
    Saved,      // written (over their version too, when the person chose so)
    KeptTheirs, // someone else changed the row and the person kept their version: nothing written
    Gone,       // someone else deleted the row: nothing written
};

// Runs `write` (the UPDATE of the row that `seen` holds) in one transaction with the check
// that nobody changed the row since the window read it. When someone did, asks whether to save
// over their version; No, the default, keeps theirs. Each time the row changed anew while the
// question was open, asks again. No lock is held while the question is open. `what` names the
// row for the person ("call", "employee", "customer"). Failures are thrown on.
SaveOutcome SaveOverOthers(Connection& connection, RowSnapshot& seen, const QString& what,
                           const std::function<void()>& write);

// The question asked when someone else changed the row named by `what`.
QString ChangedElsewhereQuestion(const QString& what);

// Told when a row that the person deletes was deleted by someone else already; `name` is what
// the window showed of it.
QString AlreadyDeletedText(const QString& name);
