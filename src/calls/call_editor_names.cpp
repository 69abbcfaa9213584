// What a screen reader calls the controls of the call editor: each box and list after the
// label above it, each small "+", "*" or "-" button after what it does to which list.

#include "calls/call_editor.h"

#include "ui/accessible_names.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

void Form2::nameControls() {
    // In the order of the labels Label1, Label2, ...
    QWidget* const labelled[] = {Text1,           Text2,           Combo1, Combo6, Combo2,
                                 DateTimePicker1, DateTimePicker2, Combo3, Combo4, Combo5,
                                 Combo7,          Text4,           Text3};
    int number = 0;
    for (QWidget* box : labelled)
        NameAfterLabel(findChild<QLabel*>(QStringLiteral("Label%1").arg(++number)), box);

    const std::pair<QPushButton*, const char*> buttons[] = {
        {PushButton5, "Add an employee for Assigned To"},
        {PushButton9, "Edit the employee chosen for Assigned To"},
        {PushButton6, "Delete the employee chosen for Assigned To"},
        {PushButton15, "Add a caller"},
        {PushButton17, "Edit the chosen caller"},
        {PushButton16, "Delete the chosen caller"},
        {PushButton3, "Add an employee for Opened By"},
        {PushButton10, "Edit the employee chosen for Opened By"},
        {PushButton4, "Delete the employee chosen for Opened By"},
        {PushButton18, "Add an employee for Resolved By"},
        {PushButton20, "Edit the employee chosen for Resolved By"},
        {PushButton19, "Delete the employee chosen for Resolved By"},
        {PushButton7, "Add a status"},
        {PushButton8, "Delete the chosen status"},
        {PushButton11, "Add a category"},
        {PushButton12, "Delete the chosen category"},
        {PushButton13, "Add a priority"},
        {PushButton14, "Delete the chosen priority"},
    };
    for (const auto& [button, action] : buttons)
        NameSignButton(button, QLatin1String(action));
}
