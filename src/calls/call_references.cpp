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
#include "ui/prompts.h"

#include <QComboBox>
#include <QStringList>
#include <vector>

namespace {

struct Reference {
    const char* field;
    QComboBox* Form2::*list;
    // 'e' employee, 'c' customer, or the value table and its column.
    char kind;
    const char* table;
    const char* column;
};

const Reference kReferences[] = {
    {"Assigned To", &Form2::Combo1, 'e', "Employees", "ID"},
    {"Opened By", &Form2::Combo2, 'e', "Employees", "ID"},
    {"Caller", &Form2::Combo6, 'c', "Customers", "ID"},
    {"Resolved By", &Form2::Combo7, 'e', "Employees", "ID"},
    {"Status", &Form2::Combo3, 'v', "[Status]", "Status"},
    {"Category", &Form2::Combo4, 'v', "Categories", "Category"},
    {"Priority", &Form2::Combo5, 'v', "Priorities", "Priority"},
};

} // namespace

void CheckCallReferences(const Form2& editor) {
    // One statement counts what each pick names.
    QStringList counts;
    std::vector<const Reference*> checked;
    for (const Reference& reference : kReferences) {
        const QComboBox* list = editor.*reference.list;
        const int index = list->currentIndex();
        // Only the resolver may be left empty; the other lists are checked before.
        if (index < 0)
            continue;
        const QString value =
            reference.kind == 'v'
                ? QLatin1Char('\'') + DoubledQuotes(list->currentText()) + QLatin1Char('\'')
                : QString::number(IdAt(
                      reference.kind == 'e' ? editor.m_EmployeeIDs : editor.m_CustomerIDs, index));
        counts << QStringLiteral("(select count(*) from %1 where %2=%3) as n%4")
                      .arg(QLatin1String(reference.table), QLatin1String(reference.column), value)
                      .arg(counts.size());
        checked.push_back(&reference);
    }
    if (counts.isEmpty())
        return;
    Recordset records;
    records.open(QStringLiteral("select ") + counts.join(QStringLiteral(", ")), SharedConnection());
    for (size_t i = 0; i < checked.size(); ++i) {
        if (records.field(QStringLiteral("n%1").arg(i)).toInteger() == 0)
            throw MissingReference{QLatin1String(checked[i]->field),
                                   (editor.*checked[i]->list)->currentText()};
    }
}

void TellMissingReference(Form2& editor, const MissingReference& missing) {
    MsgBox(QStringLiteral("%1 names '%2', which no longer exists: it was deleted while the "
                          "editor was open. Nothing was saved; everything you typed is kept. "
                          "Pick another %1 and save again.")
               .arg(missing.field, missing.entry),
           Prompts::Exclamation);
    // That list is read again; the others keep their picks.
    for (const Reference& reference : kReferences) {
        if (missing.field != QLatin1String(reference.field))
            continue;
        if (reference.kind == 'e')
            editor.LoadEmployees(0);
        else if (reference.kind == 'c')
            editor.LoadCustomers(0);
        else if (reference.list == &Form2::Combo3)
            editor.LoadStatus();
        else if (reference.list == &Form2::Combo4)
            editor.LoadCategories();
        else
            editor.LoadPriorities();
        (editor.*reference.list)->setFocus();
    }
}
