#pragma once

#include <QByteArrayList>
#include <QRandomGenerator>
#include <QSet>
#include <QString>
#include <sys/types.h>

// What the soak's child and parent share: the folders of one run and the log of what the child
// confirmed to its user.
//
// The child appends one line per confirmation, fields separated by tabs, with one write() the
// moment the program shows its confirmation (or, for what has none, once the list shows the
// change), so a kill leaves whole lines only:
//   call TITLE                     a new call was saved ("Record Successfully Saved")
//   call-edit ID N                 the call's comments were saved as "edit N"
//   value TABLE VALUE              a value was added to Status, Categories or Priorities
//   contact TABLE FIRST LAST       an employee or customer was saved
//   contact-edit TABLE ID N        the contact's notes were saved as "edit N"
//   cascade-call TITLE TABLE KEY   a call was saved that the delete of KEY (a value or a contact
//                                  ID) in TABLE must take along
//   deleted TABLE KEY              a call (KEY its ID), value or contact was deleted and the
//                                  list showed it gone
// Numbers N grow from one confirmation to the next, over every child of a run.

namespace Soak {

// Starts this program again with `arguments` after its own path; -1 when it cannot start.
pid_t SpawnSelf(const QByteArrayList& arguments);

// Points the program's data, config and program folders into the run's folder.
void UseFolders(const QString& root);
QString LogPath(const QString& root);
// Written by the child once the program has started on the file.
QString ReadyPath(const QString& root);

// Runs the program's save paths in this process until it is killed. `child` numbers the child
// in its run (for unique names and growing numbers). Answers 3 when the program did not start
// cleanly.
int RunChild(const QString& root, int child, quint32 seed);

struct Figures {
    int kills = 0;
    int integrityFailures = 0;
    int confirmedRowsLost = 0;
    int halfCascades = 0;
    int failedStarts = 0;
    // Lines of the log at the last check: how many confirmations a run has checked.
    int confirmations = 0;
    // Kills that left a hot journal, that is kills in the middle of a write.
    int killsDuringWrites = 0;
    // Kills during the copies of the database (soak_copies.cpp), by kind; how many of them
    // left a copy cut short; after the same work ran again: leftovers of the copy, copies that
    // fail their check, runs that failed, files of the call log that others could read.
    int copyKills[6] = {0, 0, 0, 0, 0, 0};
    int killsDuringCopies = 0;
    int leftovers = 0;
    int badCopies = 0;
    int failedReruns = 0;
    int filesNotPrivate = 0;
    // Imports, undos and restores of deleted calls that a kill or the run after it left with
    // part of their calls.
    int halfBulks = 0;
    // How long each kind of copy took when it ran whole (microseconds).
    qint64 copyMicros[6] = {0, 0, 0, 0, 0, 0};
    // What was already counted: a row lost stays lost, and is counted once.
    QSet<QString> counted;
};

// The copies that the soak kills: a backup on request, a restore, the daily backup; and the
// commands that write many calls in one transaction: an import from the command line, an undo
// of a delete of many calls, a restore of many calls from the deleted calls.
enum class Copy { Backup = 0, Restore = 1, StartupBackup = 2, Import = 3, Undo = 4, Recover = 5 };
constexpr int kCopyKinds = 6;

// The child of a copy: runs it to its end (or until it is killed).
int RunCopyChild(const QString& root, Copy kind, int child);
// Starts a copy in a child, kills it at a random moment, runs the same copy again and checks
// what is left; then the checks of CheckAfterKill.
void KillDuringCopy(const QString& root, Copy kind, int child, QRandomGenerator& random,
                    Figures& figures);

// Checks the run's database after a kill and adds what it finds to the figures.
void CheckAfterKill(const QString& root, Figures& figures);

} // namespace Soak
