#pragma once

#include <QHash>
#include <QString>
#include <utility>

class Connection;

// How the import reads the text of a field: header names, control characters, the export's
// formula apostrophe, and people named by their display names.
namespace ImportFields {

// A header name without letter case, blanks or punctuation: "Assigned To" and "assigned_to"
// are the same.
QString normalized(const QString& header);
// The text without control characters other than tabs and line breaks.
QString withoutControls(const QString& text);
bool hasControls(const QString& text);
// The stored text of a field that the export wrote with a formula apostrophe in front.
QString unescaped(const QString& field);
// The text as a quoted SQL literal.
QString quoted(const QString& text);
// A person named by the display name "First Last": first name and last name.
std::pair<QString, QString> splitName(const QString& name);
// The ids of the people of `view` by their display name in `nameField`.
QHash<QString, qint64> readPeople(Connection& connection, const QString& view,
                                  const QString& nameField);
// The id of a person by name, or 0 for nobody.
qint64 findPerson(const QHash<QString, qint64>& ids, const QString& name);

} // namespace ImportFields
