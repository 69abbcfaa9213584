// The people and values a call names must exist when it is saved: someone at another desk (or
// another copy of the program on the same file) may have deleted one while the editor was
// open. The check runs inside the save's transaction, so nothing slips in between on a local
// file (the transaction holds the file's write lock); on a server the database's own
// deferred foreign keys refuse what a concurrent delete could still slip past.

#include "calls/call_references.h"

#include "calls/call_editor.h"
#include "calls/combo_lists.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "data/sql_text.h"
#include "records/reference_check.h"
#include "ui/prompts.h"

#include <QComboBox>
#include <QStringList>
#include <iterator>
#include <vector>

namespace {

// The call editor's list of each field a call names, in the order of kCallReferences.
QComboBox* Form2::*const kLists[] = {&Form2::Combo1, &Form2::Combo2, &Form2::Combo6, &Form2::Combo7,
                                     &Form2::Combo3, &Form2::Combo4, &Form2::Combo5};
static_assert(std::size(kLists) == std::size(kCallReferences));

bool names(const CallReference& reference, const char* table) {
    return qstrcmp(reference.table, table) == 0;
}

} // namespace

void CheckCallReferences(const Form2& editor) {
    // The server checks by itself at the end of the transaction, without a round trip more.
    if (SharedConnection().server())
        return;
    // One statement counts what each pick names.
    QStringList counts;
    std::vector<size_t> checked;
    for (size_t i = 0; i < std::size(kCallReferences); ++i) {
        const CallReference& reference = kCallReferences[i];
        const QComboBox* list = editor.*kLists[i];
        const int index = list->currentIndex();
        // Only the resolver may be left empty; the other lists are checked before.
        if (index < 0)
            continue;
        const QString value =
            names(reference, "Employees") ? QString::number(IdAt(editor.m_EmployeeIDs, index))
            : names(reference, "Customers")
                ? QString::number(IdAt(editor.m_CustomerIDs, index))
                : QLatin1Char('\'') + DoubledQuotes(list->currentText()) + QLatin1Char('\'');
        counts << QStringLiteral("(select count(*) from %1 where %2=%3) as n%4")
                      .arg(QLatin1String(reference.table), QLatin1String(reference.key), value)
                      .arg(counts.size());
        checked.push_back(i);
    }
    if (counts.isEmpty())
        return;
    Recordset records;
    records.open(QStringLiteral("select ") + counts.join(QStringLiteral(", ")), SharedConnection());
    for (size_t i = 0; i < checked.size(); ++i) {
        if (records.field(QStringLiteral("n%1").arg(i)).toInteger() == 0)
            throw MissingReference{QLatin1String(kCallReferences[checked[i]].field),
                                   (editor.*kLists[checked[i]])->currentText()};
    }
}

void ThrowRefusedReference(const Form2& editor, const QString& constraint) {
    for (size_t i = 0; i < std::size(kCallReferences); ++i) {
        // The server's check is named after the field: calls_assigned_to, calls_caller, ...
        const QString check =
            QStringLiteral("calls_") + QString::fromLatin1(kCallReferences[i].field)
                                           .toLower()
                                           .replace(QLatin1Char(' '), QLatin1Char('_'));
        if (check == constraint)
            throw MissingReference{QLatin1String(kCallReferences[i].field),
                                   (editor.*kLists[i])->currentText()};
    }
}

void TellMissingReference(Form2& editor, const MissingReference& missing) {
    MsgBox(QStringLiteral("%1 names '%2', which no longer exists: it was deleted while the "
                          "editor was open. Nothing was saved; everything you typed is kept. "
                          "Pick another %1 and save again.")
               .arg(missing.field, missing.entry),
           Prompts::Exclamation);
    // That list is read again; the others keep their picks.
    for (size_t i = 0; i < std::size(kCallReferences); ++i) {
        const CallReference& reference = kCallReferences[i];
        if (missing.field != QLatin1String(reference.field))
            continue;
        if (names(reference, "Employees"))
            editor.LoadEmployees(0);
        else if (names(reference, "Customers"))
            editor.LoadCustomers(0);
        else if (names(reference, "[Status]"))
            editor.LoadStatus();
        else if (names(reference, "Categories"))
            editor.LoadCategories();
        else
            editor.LoadPriorities();
        (editor.*kLists[i])->setFocus();
    }
}
