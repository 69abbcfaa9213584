#pragma once

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

// Reading dates as a person of a locale types them: the day, month and year in the order of
// the locale's short date (or, with the month written as a name, of its long date), with any
// of the usual separators, two- or four-digit years, with or without leading zeros and
// weekday; optionally followed by a time of day (hours and minutes, seconds optional, with
// the locale's or the English AM/PM marker); or ISO 8601 ("2026-01-07", "2026-01-07T14:30").
// Answers nothing for text that is not one whole, existing date.
std::optional<QDateTime> ReadTypedDate(const QString& text, const QLocale& locale,
                                       const QDate& today);

// The order in which the day ('d'), month ('M') and year ('y') appear in a date pattern,
// such as "Mdy"; weekday names and quoted literals are skipped.
QString DateFieldOrder(const QString& pattern);

// The year that a two-digit year means: the one within 80 years before and 19 years after
// `thisYear`.
int ExpandTwoDigitYear(int twoDigits, int thisYear);
