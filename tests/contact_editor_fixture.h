#pragma once

// What the contact editor suites share: opening a contact in its editor, its stored row,
// saving, and the employee and customer rows the cases run twice over.

#include "call_editor_fixture.h"
#include "calls/call_editor.h"
#include "contacts/call_rows_model.h"
#include "contacts/customer_editor.h"
#include "contacts/employee_editor.h"
#include "ui/twips.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeView>
#include <memory>

inline const char* const kColumns[] = {
    "First Name",   "Last Name",      "Job Title", "Company", "Business Phone", "Home Phone",
    "Mobile Phone", "Fax Number",     "Address",   "City",    "State",          "ZIP",
    "Country",      "E-mail Address", "Web Page",  "Notes"};

inline std::unique_ptr<ContactEditor> openContact(bool employees, const QString& id) {
    std::unique_ptr<ContactEditor> editor;
    if (employees)
        editor = std::make_unique<Form3>();
    else
        editor = std::make_unique<Form5>();
    editor->m_ID = id;
    editor->Form_Load();
    editor->show();
    if (!QTest::qWaitForWindowExposed(editor.get()))
        qWarning("The contact editor was not shown.");
    return editor;
}

inline QString table(bool employees) {
    return employees ? "Employees" : "Customers";
}

// The sixteen stored columns of a contact in box order, Null as "<null>".
inline QStringList stored(bool employees, int id) {
    QStringList columns;
    for (const char* column : kColumns)
        columns << QStringLiteral("[%1]").arg(column);
    return Rows(QStringLiteral("select %1 from %2 where ID=%3")
                    .arg(columns.join(','), table(employees))
                    .arg(id))
        .value(0)
        .split('|');
}

inline void save(ContactEditor& editor) {
    QTest::mouseClick(editor.PushButton2, Qt::LeftButton);
}

inline void twinRows() {
    QTest::addColumn<bool>("employees");
    QTest::newRow("employees") << true;
    QTest::newRow("customers") << false;
}
