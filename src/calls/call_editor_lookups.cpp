// The call editor's contact lists and the loading of the call being edited.

#include "calls/call_editor.h"

#include "calls/combo_lists.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringList>

void Form2::LoadCustomers(int keepSelection) {
    ErrorTrap trap("Form2", "LoadCustomers");
    // Each list comes back to the person it showed, wherever the reload puts that person.
    std::optional<qint64> remembered;
    QStringList names;
    trap.run(100, [&] { remembered = SelectedId(Combo6, m_CustomerIDs); });
    trap.run(102, [&] {
        m_CustomerIDs.clear();
        Combo6->clear();
    });
    if (!ReadListRows(trap, 104, QStringLiteral("select * from [Customers Extended]"),
                      [&](const Recordset& records) {
                          const qint64 id = records.field(QStringLiteral("ID")).toInteger();
                          names.append(records.field(QStringLiteral("Customer Name")).toText());
                          m_CustomerIDs.append(id);
                      }))
        return;
    trap.run(112, [&] { FillList(Combo6, names); });
    if (trap.test(114, [&] { return keepSelection == 0; }))
        trap.run(116, [&] { RestorePerson(Combo6, m_CustomerIDs, remembered); });
}

void Form2::LoadEmployees(int listToClear) {
    ErrorTrap trap("Form2", "LoadEmployees");
    std::optional<qint64> remembered1;
    std::optional<qint64> remembered2;
    std::optional<qint64> remembered7;
    QStringList names;
    trap.run(100, [&] {
        remembered1 = SelectedId(Combo1, m_EmployeeIDs);
        remembered2 = SelectedId(Combo2, m_EmployeeIDs);
        remembered7 = SelectedId(Combo7, m_EmployeeIDs);
    });
    trap.run(102, [&] {
        m_EmployeeIDs.clear();
        Combo1->clear();
        Combo2->clear();
        Combo7->clear();
    });
    if (!ReadListRows(trap, 104, QStringLiteral("select * from [Employees Extended]"),
                      [&](const Recordset& records) {
                          const qint64 id = records.field(QStringLiteral("ID")).toInteger();
                          names.append(records.field(QStringLiteral("Employee Name")).toText());
                          m_EmployeeIDs.append(id);
                      }))
        return;
    trap.run(112, [&] {
        FillList(Combo1, names);
        FillList(Combo2, names);
        FillList(Combo7, names);
    });
    if (trap.test(114, [&] { return listToClear != 1; }))
        trap.run(116, [&] { RestorePerson(Combo1, m_EmployeeIDs, remembered1); });
    if (trap.test(118, [&] { return listToClear != 2; }))
        trap.run(120, [&] { RestorePerson(Combo2, m_EmployeeIDs, remembered2); });
    if (trap.test(122, [&] { return listToClear != 7; }))
        trap.run(124, [&] { RestorePerson(Combo7, m_EmployeeIDs, remembered7); });
}

void Form2::LoadData() {
    ErrorTrap trap("Form2", "LoadData");
    Recordset records;
    // [Calls Extended] yields every call, open or closed, with its comments.
    if (!trap.run(100, [&] {
            // Read first: a change made between the two reads then counts as made by
            // someone else, and is never overwritten unasked.
            m_seen.take(SharedConnection(), QStringLiteral("Calls"), m_ID);
            records.open(QStringLiteral("select * from [Calls Extended] where ID=") + m_ID,
                         SharedConnection(), Recordset::kStatic, Recordset::kReadOnly);
        }))
        return;
    auto text = [&](const char* column) { return records.field(QLatin1String(column)).toText(); };
    auto joined = [&](const char* column) { return records.field(QLatin1String(column)).joined(); };
    // What the call names that no longer exists (a person or value deleted without its calls,
    // in a file of an earlier version or by another program): left empty and told once.
    QStringList gone;
    // Two people may share a display name: the stored id picks the right one of them.
    auto selectPerson = [&](QComboBox* list, const QList<qint64>& ids, const char* idColumn,
                            const char* nameColumn) {
        const Value stored = records.field(QLatin1String(idColumn));
        if (!SelectPerson(list, ids, stored.isNull() ? 0 : stored.toInteger(), !stored.isNull(),
                          text(nameColumn)) &&
            text(nameColumn).isEmpty())
            gone << QLatin1String(idColumn);
    };
    auto selectValue = [&](QComboBox* list, const char* column) {
        if (!SelectByName(list, text(column)))
            gone << QStringLiteral("%1 '%2'").arg(QLatin1String(column), text(column));
    };
    if (!trap.test(102, [&] { return records.eof(); })) {
        trap.run(104, [&] { Text2->setText(text("ID")); });
        trap.run(106, [&] { Text1->setText(text("Title")); });
        trap.run(108,
                 [&] { selectPerson(Combo1, m_EmployeeIDs, "Assigned To", "Assigned To Name"); });
        trap.run(110, [&] { selectPerson(Combo2, m_EmployeeIDs, "Opened By", "Opened By Name"); });
        trap.run(112, [&] { selectValue(Combo3, "Status"); });
        trap.run(114, [&] { selectValue(Combo4, "Category"); });
        trap.run(116, [&] { selectValue(Combo5, "Priority"); });
        trap.run(118, [&] { selectPerson(Combo6, m_CustomerIDs, "Caller", "Customer Name"); });
        if (trap.test(120, [&] { return joined("Resolved by Name").isEmpty(); }))
            trap.run(122, [&] { Combo7->setCurrentIndex(-1); });
        else
            trap.run(124, [&] {
                selectPerson(Combo7, m_EmployeeIDs, "Resolved By", "Resolved by Name");
            });
        trap.run(126, [&] { Text4->setText(joined("Resolved Date")); });
        trap.run(128, [&] {
            DateTimePicker1->setDate(records.field(QStringLiteral("Opened Date")).toDate().date());
        });
        trap.run(130, [&] {
            DateTimePicker2->setDate(records.field(QStringLiteral("Due Date")).toDate().date());
        });
        trap.run(132, [&] { Text3->setExactText(joined("comments")); });
    }
    trap.run(134, [&] { records.close(); });
    if (!gone.isEmpty())
        MsgBox(QStringLiteral("This call names what no longer exists: %1. %2")
                   .arg(gone.join(QStringLiteral(", ")),
                        gone.size() == 1 ? QStringLiteral("That field is left empty; pick another "
                                                          "before you save the call.")
                                         : QStringLiteral("Those fields are left empty; pick "
                                                          "others before you save the call.")),
               Prompts::Exclamation);
}
