#include "data/date_typing.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTime>

namespace {

// The order in which the day ('d'), month ('M') and year ('y') appear in a date pattern;
// weekday runs (ddd, dddd) and quoted literals are skipped.
QString fieldOrder(const QString& pattern) {
    QString order;
    bool quoted = false;
    for (int i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        int end = i + 1;
        while (end < pattern.size() && pattern.at(end) == c)
            ++end;
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
        } else if (!quoted && (c == QLatin1Char('M') || c == QLatin1Char('y') ||
                               (c == QLatin1Char('d') && end - i <= 2))) {
            if (!order.contains(c))
                order += c;
        }
        i = end;
    }
    return order;
}

// A word as it is compared: lower case, without dots.
QString folded(QString word) {
    return word.remove(QLatin1Char('.')).toLower();
}

// The month that a word names in the locale (long or short, in running text or standing
// alone), or 0.
int monthNamed(const QString& word, const QLocale& locale) {
    const QString wanted = folded(word);
    for (int month = 1; month <= 12; ++month) {
        for (QLocale::FormatType form : {QLocale::LongFormat, QLocale::ShortFormat}) {
            if (folded(locale.monthName(month, form)) == wanted ||
                folded(locale.standaloneMonthName(month, form)) == wanted)
                return month;
        }
    }
    return 0;
}

bool isWeekday(const QString& word, const QLocale& locale) {
    const QString wanted = folded(word);
    for (int day = 1; day <= 7; ++day) {
        for (QLocale::FormatType form : {QLocale::LongFormat, QLocale::ShortFormat}) {
            if (folded(locale.dayName(day, form)) == wanted ||
                folded(locale.standaloneDayName(day, form)) == wanted)
                return true;
        }
    }
    return false;
}

// -1 for no marker, 0 for before noon, 12 for after noon.
int dayHalf(const QString& word, const QLocale& locale) {
    const QString wanted = folded(word);
    if (wanted == folded(locale.amText()) || wanted == QLatin1String("am"))
        return 0;
    if (wanted == folded(locale.pmText()) || wanted == QLatin1String("pm"))
        return 12;
    return -1;
}

int yearOf(const QString& digits, const QDate& today) {
    if (digits.size() <= 2)
        return ExpandTwoDigitYear(digits.toInt(), today.year());
    if (digits.size() == 4)
        return digits.toInt();
    return 0;
}

std::optional<QDateTime> readIso(const QString& text) {
    static const QRegularExpression iso(QStringLiteral(
        R"(^(\d{4})-(\d{1,2})-(\d{1,2})(?:[T ](\d{1,2}):(\d{2})(?::(\d{2})(?:[.,]\d+)?)?)?$)"));
    const QRegularExpressionMatch m = iso.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    QTime time(0, 0);
    if (m.hasCaptured(4))
        time = QTime(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}

} // namespace

QString DateFieldOrder(const QString& pattern) {
    return fieldOrder(pattern);
}

int ExpandTwoDigitYear(int twoDigits, int thisYear) {
    const int first = thisYear - 80;
    return first + ((twoDigits - first) % 100 + 100) % 100;
}

std::optional<QDateTime> ReadTypedDate(const QString& typed, const QLocale& locale,
                                       const QDate& today) {
    QString text = typed;
    // Locales put narrow or no-break spaces before the AM/PM marker; a person types blanks.
    for (QChar space : {QChar(0x00A0), QChar(0x202F), QChar(0x2009)})
        text.replace(space, QLatin1Char(' '));
    text = text.trimmed();
    if (auto iso = readIso(text))
        return iso;

    // The time of day: hours and minutes, seconds optional, then an optional AM/PM marker.
    static const QRegularExpression clock(
        QStringLiteral(R"((?:^|\s)(\d{1,2}):(\d{2})(?::(\d{2}))?(?:\s*([^\s\d]+))?\s*$)"));
    QTime time(0, 0);
    const QRegularExpressionMatch timeMatch = clock.match(text);
    if (timeMatch.hasMatch()) {
        int hour = timeMatch.captured(1).toInt();
        if (timeMatch.hasCaptured(4)) {
            const int half = dayHalf(timeMatch.captured(4), locale);
            if (half < 0 || hour < 1 || hour > 12)
                return std::nullopt;
            hour = hour % 12 + half;
        }
        time = QTime(hour, timeMatch.captured(2).toInt(), timeMatch.captured(3).toInt());
        if (!time.isValid())
            return std::nullopt;
        text = text.left(timeMatch.capturedStart(0)).trimmed();
    }

    // The date: numbers and words between the usual separators, nothing else.
    static const QRegularExpression token(QStringLiteral(R"(\d+|\p{L}+|[\s,./-])"));
    QStringList numbers;
    int month = 0;
    int weekdays = 0;
    int consumed = 0;
    // A mark before the first number or word, or two marks in a row, would be a sign
    // ("-2026-01-07", "7/1/-2026"): no date has one.
    bool afterMark = true;
    auto it = token.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedStart() != consumed)
            return std::nullopt;
        consumed = int(m.capturedEnd());
        const QString piece = m.captured();
        if (!piece.at(0).isLetterOrNumber()) {
            if (piece.at(0).isSpace())
                continue;
            if (afterMark)
                return std::nullopt;
            afterMark = true;
            continue;
        }
        afterMark = false;
        if (piece.at(0).isDigit()) {
            numbers << piece;
        } else if (piece.at(0).isLetter()) {
            if (const int named = monthNamed(piece, locale); named && !month)
                month = named;
            else if (isWeekday(piece, locale) && weekdays++ == 0)
                continue;
            else
                return std::nullopt;
        }
    }
    if (consumed != text.size())
        return std::nullopt;

    int day = 0;
    int year = 0;
    if (month && numbers.size() == 2) {
        // The month is named: day and year stand as in the long date, unless the year is
        // plainly the four-digit number.
        const QString order = fieldOrder(locale.dateFormat(QLocale::LongFormat));
        bool yearFirst = order.indexOf(QLatin1Char('y')) < order.indexOf(QLatin1Char('d'));
        if (numbers.at(0).size() == 4 && numbers.at(1).size() <= 2)
            yearFirst = true;
        else if (numbers.at(1).size() == 4 && numbers.at(0).size() <= 2)
            yearFirst = false;
        const QString dayDigits = numbers.at(yearFirst ? 1 : 0);
        if (dayDigits.size() > 2)
            return std::nullopt;
        day = dayDigits.toInt();
        year = yearOf(numbers.at(yearFirst ? 0 : 1), today);
    } else if (!month && numbers.size() == 3) {
        QString order = fieldOrder(locale.dateFormat(QLocale::ShortFormat));
        // A four-digit number in front is a year, whatever the locale's order.
        if (order.size() != 3 || (numbers.at(0).size() == 4 && !order.startsWith(QLatin1Char('y'))))
            order = QStringLiteral("yMd");
        for (int i = 0; i < 3; ++i) {
            const QString& digits = numbers.at(i);
            const QChar field = order.at(i);
            if (field == QLatin1Char('y')) {
                year = yearOf(digits, today);
            } else if (digits.size() > 2) {
                return std::nullopt;
            } else if (field == QLatin1Char('M')) {
                month = digits.toInt();
            } else {
                day = digits.toInt();
            }
        }
    } else {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    if (year <= 0 || !date.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}
