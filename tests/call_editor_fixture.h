#pragma once

// A database with a few people, values and calls for the call editor's tests, and the moves a
// person makes in the editor.

#include "calls/call_editor.h"
#include "data/date_text.h"
#include "test_support.h"

#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

// Employees by ID: 1 Nora Quill, 2 Bram Holt, 3 Cora Vane, 4 Dale Ames, 5 Eli Stone. The lists
// show them by name, so the list order is not the ID order.
inline const QStringList kEmployees = {"Nora|Quill", "Bram|Holt", "Cora|Vane", "Dale|Ames",
                                       "Eli|Stone"};
// Customers by ID 1 to 7.
inline const QStringList kCustomers = {"Ann|Ray",  "Ben|Cole", "Gus|Park", "Ida|Marsh",
                                       "Kit|Lowe", "Max|Reed", "Pia|Wells"};
inline const QStringList kStatuses = {"Open", "Pending", "Closed"};
inline const QStringList kCategories = {"Network", "Hardware", "Software"};
inline const QStringList kPriorities = {"High", "Medium", "Low"};

// The text a person types in SQL: every single quote doubled.
inline QString sqlText(const QString& text) {
    return QString(text).replace(QLatin1Char('\''), QLatin1String("''"));
}

// Date text of a calendar day, as the program writes it.
inline QString dateText(const QDate& day) {
    return DateText::format(day);
}

// Today in the month/day/year form of the en_US locale, written out independently.
inline QString todayUs() {
    return QDate::currentDate().toString(QStringLiteral("M/d/yyyy"));
}

inline void addPerson(const QString& table, const QString& firstLast) {
    const QStringList parts = firstLast.split(QLatin1Char('|'));
    Exec(QStringLiteral("insert into %1 ([First Name],[Last Name]) values ('%2','%3')")
             .arg(table, sqlText(parts.at(0)), sqlText(parts.at(1))));
}

inline void addValue(const QString& table, const QString& value) {
    Exec(QStringLiteral("insert into [%1] values ('%2')").arg(table, sqlText(value)));
}

// One call; resolvedBy and resolvedDate are SQL text ("NULL" or a quoted value). Answers its ID.
struct CallRow {
    QString title = QStringLiteral("Printer jam");
    int assignedTo = 1;
    int openedBy = 2;
    int caller = 1;
    QString status = QStringLiteral("Open");
    QString category = QStringLiteral("Hardware");
    QString priority = QStringLiteral("Low");
    QString comments;
    QDate opened = QDate(2026, 2, 3);
    QDate due = QDate(2026, 2, 10);
    QString resolvedBy = QStringLiteral("NULL");
    QString resolvedDate = QStringLiteral("NULL");
    QDate callTime = QDate(2026, 2, 3);
};

inline int addCall(const CallRow& call) {
    Exec(QStringLiteral("insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],Status,"
                        "Category,Priority,Comments,[Due Date],[Resolved By],[Resolved Date],"
                        "Caller,[Call Time]) values ('%1',%2,%3,'%4','%5','%6','%7','%8','%9',")
             .arg(sqlText(call.title))
             .arg(call.assignedTo)
             .arg(call.openedBy)
             .arg(dateText(call.opened), sqlText(call.status), sqlText(call.category),
                  sqlText(call.priority), sqlText(call.comments), dateText(call.due)) +
         QStringLiteral("%1,%2,%3,'%4')")
             .arg(call.resolvedBy, call.resolvedDate)
             .arg(call.caller)
             .arg(dateText(call.callTime)));
    return Count(QStringLiteral("select max(ID) from Calls"));
}

// The people and values above, added to the open database.
inline void addListedData() {
    for (const QString& person : kEmployees)
        addPerson(QStringLiteral("Employees"), person);
    for (const QString& person : kCustomers)
        addPerson(QStringLiteral("Customers"), person);
    for (const QString& value : kStatuses)
        addValue(QStringLiteral("Status"), value);
    for (const QString& value : kCategories)
        addValue(QStringLiteral("Categories"), value);
    for (const QString& value : kPriorities)
        addValue(QStringLiteral("Priorities"), value);
}

// A private database with the people and values above, and prompts that the test answers.
struct EditorData {
    TestEnvironment env;
    ScriptedPrompts prompts;

    EditorData() {
        env.openSharedConnection();
        addListedData();
    }
};

// Opens the editor as the main window does and shows it.
inline void openEditor(Form2& editor, const QString& id) {
    editor.m_ID = id;
    editor.Form_Load();
    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor));
}

// Picks the entry with this text, as a person picks from a drop-down list.
inline void pick(QComboBox* list, const QString& text) {
    const int index = list->findText(text);
    QVERIFY2(index >= 0,
             qPrintable(QStringLiteral("no entry '%1' in %2").arg(text, list->objectName())));
    list->setCurrentIndex(index);
}

inline void clickSave(Form2& editor) {
    QTest::mouseClick(editor.PushButton2, Qt::LeftButton);
}

// Fills every required entry of the editor with the values of the worked example.
inline void fillRequired(Form2& editor) {
    QTest::keyClicks(editor.Text1, QStringLiteral("It's down"));
    pick(editor.Combo1, QStringLiteral("Cora Vane"));
    pick(editor.Combo2, QStringLiteral("Eli Stone"));
    pick(editor.Combo6, QStringLiteral("Pia Wells"));
    pick(editor.Combo3, QStringLiteral("Open"));
    pick(editor.Combo4, QStringLiteral("Network"));
    pick(editor.Combo5, QStringLiteral("High"));
}

inline QStringList itemsOf(const QComboBox* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// The place that an error report of the editor names.
inline QString reportLocation(const QString& procedure, int line) {
    return QStringLiteral("in Quorvane2021/08/31.Form2.%1 at line %2").arg(procedure).arg(line);
}

// The stored columns of a call, in INSERT order, with Call Time last.
inline QString storedCall(int id) {
    const QStringList rows = Rows(
        QStringLiteral(
            "select Title,[Assigned To],[Opened By],[Opened "
            "Date],Status,Category,Priority,Comments,"
            "[Due Date],[Resolved By],[Resolved Date],Caller,[Call Time] from Calls where ID=%1")
            .arg(id));
    return rows.value(0);
}
