#include "ui/changed_elsewhere.h"

#include "records/row_snapshot.h"
#include "ui/prompts.h"
#include "ui/shown_text.h"

namespace {

// A column as the window labels it: the server names columns in small letters.
QString fieldLabel(const QString& column) {
    QString label = column;
    for (int i = 0; i < label.size(); ++i) {
        if (i == 0 || label.at(i - 1) == QLatin1Char(' '))
            label[i] = label.at(i).toUpper();
    }
    return label;
}

QString valueText(const std::optional<QByteArray>& value) {
    return value && !value->isEmpty() ? QString::fromUtf8(*value) : QStringLiteral("(empty)");
}

} // namespace

QString ChangedElsewhereQuestion(const QString& what,
                                 const std::vector<RowSnapshot::Clash>& clashes) {
    QString fields;
    for (const RowSnapshot::Clash& clash : clashes)
        fields += fieldLabel(clash.column) + QStringLiteral("\r\n    theirs: ") +
                  valueText(clash.theirs) + QStringLiteral("\r\n    yours: ") +
                  valueText(clash.mine) + QStringLiteral("\r\n");
    return QStringLiteral("Someone else changed this %1 after you opened it, in fields that you "
                          "changed too:\r\n\r\n%2\r\nSave your version of these fields over "
                          "theirs?\r\n\r\nYes saves yours in these fields. No keeps theirs "
                          "there and shows them here. Their changes and yours in other fields are "
                          "saved either way; the texts above can be selected and copied.")
        .arg(what, fields);
}

QString AlreadyDeletedText(const QString& name) {
    return QStringLiteral("'%1' was already deleted by someone else, so nothing was deleted.")
        .arg(ShownSafely(name));
}

SaveOutcome SaveOverOthers(Connection& connection, RowSnapshot& seen, const QString& what,
                           const std::function<void()>& write) {
    bool keptTheirs = false;
    for (;;) {
        switch (seen.writeIfUnchanged(connection, write)) {
        case RowSnapshot::State::Unchanged:
            return keptTheirs ? SaveOutcome::KeptTheirs : SaveOutcome::Saved;
        case RowSnapshot::State::Gone:
            return SaveOutcome::Gone;
        case RowSnapshot::State::Changed:
            break;
        }
        const bool mine =
            MsgBox(ChangedElsewhereQuestion(what, seen.clashes()),
                   Prompts::YesNo | Prompts::Exclamation | Prompts::DefaultButton2) == Prompts::Yes;
        keptTheirs = keptTheirs || !mine;
        seen.decide(mine);
    }
}
