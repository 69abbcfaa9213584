// The "+", "*" and "-" buttons beside the call editor's four contact lists: they open the
// employee or customer editor to add or edit a contact, and delete a contact together with
// every call linked to it.

#include "calls/call_editor.h"

#include "calls/combo_lists.h"
#include "contacts/customer_editor.h"
#include "contacts/employee_editor.h"
#include "data/shared_connection.h"
#include "ui/changed_elsewhere.h"
#include "ui/discard_guard.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <memory>

// What differs between the four contact lists.
struct Form2::ContactRow {
    QComboBox* Form2::*list;
    bool employees;
    // The argument of the reload after a delete, which leaves this list without selection.
    int clearedList;
    const char* addProcedure;
    const char* editProcedure;
    const char* deleteProcedure;
    const char* warning;
};

const Form2::ContactRow Form2::kAssignedToRow = {
    &Form2::Combo1,
    true,
    1,
    "PushButton5_Click",
    "PushButton9_Click",
    "PushButton6_Click",
    "Warning: Deleting assigned to will also delete issue data that is linked to this employee.",
};

const Form2::ContactRow Form2::kCallerRow = {
    &Form2::Combo6,
    false,
    1,
    "PushButton15_Click",
    "PushButton17_Click",
    "PushButton16_Click",
    "Warning: Deleting caller will also delete issue data that is linked to this customer.",
};

const Form2::ContactRow Form2::kOpenedByRow = {
    &Form2::Combo2,
    true,
    2,
    "PushButton3_Click",
    "PushButton10_Click",
    "PushButton4_Click",
    "Warning: Deleting opened by will also delete issue data that is linked to this employee.",
};

const Form2::ContactRow Form2::kResolvedByRow = {
    &Form2::Combo7,
    true,
    7,
    "PushButton18_Click",
    "PushButton20_Click",
    "PushButton19_Click",
    "Warning: Deleting resolve by will also delete issue data that is linked to this employee.",
};

namespace {

// Opens a contact list's entry for editing from the keyboard or with a double-click.
class ContactListKeys : public QObject {
public:
    ContactListKeys(QComboBox* list, QPushButton* edit)
        : QObject(list), m_list(list), m_edit(edit) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && watched == m_list) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                key->modifiers() == Qt::NoModifier && m_list->currentIndex() >= 0) {
                m_edit->click();
                return true;
            }
        } else if (event->type() == QEvent::MouseButtonDblClick) {
            // The first click may have opened the list; the entry chosen is the one edited.
            m_list->hidePopup();
            if (m_list->currentIndex() >= 0)
                QMetaObject::invokeMethod(m_edit, &QPushButton::click, Qt::QueuedConnection);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QComboBox* m_list;
    QPushButton* m_edit;
};

std::unique_ptr<ContactEditor> makeEditor(bool employees, QWidget* parent) {
    if (employees) {
        // The employee's call lists open a call in a call editor of its own, over them.
        if (!Form3::CallOpener())
            Form3::CallOpener() = [](const QString& id) {
                Form2 editor(QApplication::activeModalWidget());
                ErrorTrap trap("Form3", "OpenCall");
                trap.run(100, [&] {
                    editor.m_ID = id;
                    editor.Form_Load();
                    editor.setWindowTitle(QStringLiteral("Edit Data"));
                    CurrentPrompts().showModal(editor);
                });
            };
        return std::make_unique<Form3>(parent);
    }
    return std::make_unique<Form5>(parent);
}

} // namespace

void Form2::connectContactButtons() {
    const std::pair<QPushButton*, void (Form2::*)()> handlers[] = {
        {PushButton5, &Form2::PushButton5_Click},   {PushButton9, &Form2::PushButton9_Click},
        {PushButton6, &Form2::PushButton6_Click},   {PushButton15, &Form2::PushButton15_Click},
        {PushButton17, &Form2::PushButton17_Click}, {PushButton16, &Form2::PushButton16_Click},
        {PushButton3, &Form2::PushButton3_Click},   {PushButton10, &Form2::PushButton10_Click},
        {PushButton4, &Form2::PushButton4_Click},   {PushButton18, &Form2::PushButton18_Click},
        {PushButton20, &Form2::PushButton20_Click}, {PushButton19, &Form2::PushButton19_Click},
    };
    for (const auto& [button, handler] : handlers) {
        auto run = handler;
        connect(button, &QPushButton::clicked, this, [this, run] { (this->*run)(); });
    }
    // Enter on a contact list with a contact chosen, or a double-click on it, edits the
    // contact as its "*" button does; with none chosen, Enter saves as anywhere else.
    const std::pair<QComboBox*, QPushButton*> editing[] = {{Combo1, PushButton9},
                                                           {Combo6, PushButton17},
                                                           {Combo2, PushButton10},
                                                           {Combo7, PushButton20}};
    for (const auto& [list, button] : editing) {
        auto* keys = new ContactListKeys(list, button);
        list->installEventFilter(keys);
        list->view()->viewport()->installEventFilter(keys);
    }
}

void Form2::PushButton5_Click() {
    addContact(kAssignedToRow);
}
void Form2::PushButton9_Click() {
    editContact(kAssignedToRow);
}
void Form2::PushButton6_Click() {
    deleteContact(kAssignedToRow);
}
void Form2::PushButton15_Click() {
    addContact(kCallerRow);
}
void Form2::PushButton17_Click() {
    editContact(kCallerRow);
}
void Form2::PushButton16_Click() {
    deleteContact(kCallerRow);
}
void Form2::PushButton3_Click() {
    addContact(kOpenedByRow);
}
void Form2::PushButton10_Click() {
    editContact(kOpenedByRow);
}
void Form2::PushButton4_Click() {
    deleteContact(kOpenedByRow);
}
void Form2::PushButton18_Click() {
    addContact(kResolvedByRow);
}
void Form2::PushButton20_Click() {
    editContact(kResolvedByRow);
}
void Form2::PushButton19_Click() {
    deleteContact(kResolvedByRow);
}

void Form2::reloadContacts(const ContactRow& row, int argument) {
    // A list loaded again is the program's doing, not the person's.
    m_discard->programWrites([&] {
        if (row.employees)
            LoadEmployees(argument);
        else
            LoadCustomers(argument);
    });
}

void Form2::addContact(const ContactRow& row) {
    m_touchedOther = true;
    ErrorTrap trap("Form2", row.addProcedure);
    const auto editor = makeEditor(row.employees, this);
    trap.run(100, [&] {
        editor->m_ID = QString();
        editor->Form_Load();
    });
    trap.run(102, [&] { CurrentPrompts().showModal(*editor); });
    // Every list keeps the person it showed; the new contact is selected nowhere.
    trap.run(104, [&] { reloadContacts(row, 0); });
}

void Form2::editContact(const ContactRow& row) {
    m_touchedOther = true;
    ErrorTrap trap("Form2", row.editProcedure);
    QComboBox* list = this->*row.list;
    if (trap.test(100, [&] { return list->currentIndex() < 0; }))
        return;
    const auto editor = makeEditor(row.employees, this);
    // Without the contact's id the editor would add a new one instead: it does not open.
    if (!trap.run(102, [&] {
            editor->m_ID = QString::number(
                IdAt(row.employees ? m_EmployeeIDs : m_CustomerIDs, list->currentIndex()));
            editor->Form_Load();
        }))
        return;
    trap.run(104, [&] { CurrentPrompts().showModal(*editor); });
    trap.run(106, [&] { reloadContacts(row, 0); });
}

void Form2::deleteContact(const ContactRow& row) {
    m_touchedOther = true;
    ErrorTrap trap("Form2", row.deleteProcedure);
    QComboBox* list = this->*row.list;
    QString id;
    if (deleteWithCalls(
            trap, list, row.warning,
            [&] {
                id = QString::number(
                    IdAt(row.employees ? m_EmployeeIDs : m_CustomerIDs, list->currentIndex()));
                return (row.employees ? QStringLiteral("delete from Employees where ID=")
                                      : QStringLiteral("delete from Customers where ID=")) +
                       id;
            },
            [&] {
                // Calls that name an employee only as resolver stay.
                return row.employees ? QStringLiteral("delete from Calls where [Assigned To]=") +
                                           id + QStringLiteral(" Or [Opened By] = ") + id
                                     : QStringLiteral("delete from Calls where [Caller]=") + id;
            }))
        trap.run(118, [&] { reloadContacts(row, row.clearedList); });
}
