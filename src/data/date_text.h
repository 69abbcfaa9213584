#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// Date text: how dates travel between the program and the database. The program writes
// dates in the short date format of the current locale, always with a four-digit year,
// followed by the time of day when it is not midnight. The database stores them in one
// locale-independent form ("yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss"). Everything that formats or
// parses dates goes through here, so what the program writes is what the engine accepts.
namespace DateText {

// The locale's short date pattern with its year widened to four digits.
QString datePattern();
// The locale's long time pattern without any time-zone part.
QString timePattern();

// Date text of a value: short date, plus a blank and the time when it is not midnight.
QString format(const QDateTime& value);
QString format(const QDate& value);

// Reads date text: what format() writes, what a person of the locale types (see
// date_typing.h), ISO 8601 and the stored form. Answers nothing for text that is not a date.
// The engine converts date text with this same function.
std::optional<QDateTime> parse(const QString& text);
bool isDate(const QString& text);

// The stored form and back.
QString toStored(const QDateTime& value);
std::optional<QDateTime> fromStored(const QString& stored);

// Today at midnight.
QDateTime today();

} // namespace DateText
