#pragma once

#include <QString>

class Form2;

// A person or value that the call editor's picks name and that no longer exists.
struct MissingReference {
    QString field; // the field as the window labels it
    QString entry; // the pick as the list shows it
};

// Throws MissingReference for the first pick of `editor` that names nothing stored any more.
void CheckCallReferences(const Form2& editor);
// Says which field names what no longer exists and reads that list of `editor` again.
void TellMissingReference(Form2& editor, const MissingReference& missing);
