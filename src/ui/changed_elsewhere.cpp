#include "ui/changed_elsewhere.h"

#include "data/row_snapshot.h"
#include "ui/prompts.h"

QString ChangedElsewhereQuestion(const QString& what) {
    return QStringLiteral("Someone else changed this %1 after you opened it.\r\nSave your "
                          "version over theirs?\r\n\r\nYes replaces their version with yours. No "
                          "keeps theirs and shows it here, without your changes.")
        .arg(what);
}

QString AlreadyDeletedText(const QString& name) {
    return QStringLiteral("'%1' was already deleted by someone else, so nothing was deleted.")
        .arg(name);
}

SaveOutcome SaveOverOthers(Connection& connection, RowSnapshot& seen, const QString& what,
                           const std::function<void()>& write) {
    for (;;) {
        switch (seen.writeIfUnchanged(connection, write)) {
        case RowSnapshot::State::Unchanged:
            return SaveOutcome::Saved;
        case RowSnapshot::State::Gone:
            return SaveOutcome::Gone;
        case RowSnapshot::State::Changed:
            break;
        }
        if (MsgBox(ChangedElsewhereQuestion(what),
                   Prompts::YesNo | Prompts::Exclamation | Prompts::DefaultButton2) != Prompts::Yes)
            return SaveOutcome::KeptTheirs;
        // Their version, as read just now, is the one the next attempt goes over.
        seen.adoptLatest();
    }
}
