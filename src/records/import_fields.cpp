#include "records/import_fields.h"

#include "data/recordset.h"
#include "data/sql_text.h"

namespace ImportFields {

// A header name without letter case, blanks or punctuation: "Assigned To" and "assigned_to"
// are the same.
QString normalized(const QString& header) {
    QString out;
    for (const QChar c : header) {
        if (c.isLetterOrNumber())
            out += c.toCaseFolded();
    }
    return out;
}

// Control characters other than tabs and line breaks cannot be typed into the program's
// boxes (and a NUL cannot be stored): they are left out here too.
QString withoutControls(const QString& text) {
    QString out;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        const bool control = code < 0x20 || (code >= 0x7f && code <= 0x9f);
        if (!control || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            out += c;
    }
    return out;
}

bool hasControls(const QString& text) {
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 0x20 || (code >= 0x7f && code <= 0x9f))
            return true;
    }
    return false;
}

// The export writes a text that a spreadsheet would take for a formula, or that begins with
// an apostrophe, with an apostrophe in front; the stored text is the one without it.
QString unescaped(const QString& field) {
    if (field.size() > 1 && field.at(0) == QLatin1Char('\'') &&
        QStringLiteral("=+-@\t\r'").contains(field.at(1)))
        return field.mid(1);
    return field;
}

QString quoted(const QString& text) {
    return QLatin1Char('\'') + DoubledQuotes(text) + QLatin1Char('\'');
}

// A person named by the display name "First Last": the first name up to the first blank, the
// last name after it, so that the display name reads back as it was given.
std::pair<QString, QString> splitName(const QString& name) {
    const int blank = int(name.indexOf(QLatin1Char(' ')));
    if (blank < 0)
        return {name, QString()};
    return {name.left(blank), name.mid(blank + 1)};
}

QHash<QString, qint64> readPeople(Connection& connection, const QString& view,
                                  const QString& nameField) {
    QHash<QString, qint64> ids;
    Recordset records;
    records.open(QStringLiteral("select ID, [%1] from [%2]").arg(nameField, view), connection);
    while (!records.eof()) {
        const QString name = records.field(1).joined();
        if (!ids.contains(name))
            ids.insert(name, records.field(0).toInteger());
        records.moveNext();
    }
    return ids;
}

// The id of a person by name; a name without a blank also finds the person whose last name
// is empty. Answers 0 for nobody (ids start at 1).
qint64 findPerson(const QHash<QString, qint64>& ids, const QString& name) {
    if (auto it = ids.constFind(name); it != ids.constEnd())
        return *it;
    if (!name.contains(QLatin1Char(' ')))
        return ids.value(name + QLatin1Char(' '), 0);
    return 0;
}

} // namespace ImportFields
