#pragma once

#include <QString>

class Form2;

// A person or value that the call editor's picks name and that no longer exists.
struct MissingReference {
    QString field; // the field as the window labels it
    QString entry; // the pick as the list shows it
};

// Throws MissingReference for the first pick of `editor` that names nothing stored any more.
// On a server it does nothing: the server's own checks refuse such a call when the save's
// transaction ends, and ThrowRefusedReference() names the field.
void CheckCallReferences(const Form2& editor);
// Throws MissingReference for the pick of `editor` that the server's check `constraint`
// ("calls_assigned_to", ...) refused; does nothing for another check.
void ThrowRefusedReference(const Form2& editor, const QString& constraint);
// Says which field names what no longer exists and reads that list of `editor` again.
void TellMissingReference(Form2& editor, const MissingReference& missing);
