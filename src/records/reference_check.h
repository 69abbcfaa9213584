#pragma once

#include <QString>
#include <QVector>

class Connection;

// Calls that name a person or value that no longer exists: a file of an earlier version, a
// call log of a server without its own checks, or another program may hold them. They keep
// opening (with that field empty); this counts them, one field at a time.
struct MissingNames {
    QString field; // as the call editor labels it
    QString what;  // "an employee", "a customer", "a status", ...
    qint64 calls = 0;
};

// A field of a call that names a person or value, and where that person or value is kept.
struct CallReference {
    const char* field;  // as the call editor labels it
    const char* what;   // "an employee", "a customer", "a status", ...
    const char* column; // the field's column in Calls, quoted as a statement needs it
    const char* table;  // the list that holds what it names, quoted likewise
    const char* key;    // that list's column the field holds
};

// The seven fields a call names, in the order of the call editor.
extern const CallReference kCallReferences[7];

// Every field that a call names, in the order of the call editor, with the calls whose entry
// in it no longer exists; one statement on either engine.
QVector<MissingNames> CallsNamingMissing(Connection& connection);
