#include "data/date_text.h"

#include "data/date_typing.h"

#include <QLocale>
#include <optional>

namespace DateText {
namespace {

QDateTime naive(const QDate& date, const QTime& time) {
    return QDateTime(date, time, Qt::UTC);
}

// Replaces every run of the pattern letter `letter` outside quoted literals by `replacement`
// when the run is shorter than `minimum`; a replacement that is empty also drops the blanks
// in front of the run.
QString rewriteRuns(const QString& pattern, QChar letter, int minimum, const QString& replacement) {
    QString out;
    bool quoted = false;
    for (int i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        if (!quoted && c == letter) {
            int end = i;
            while (end < pattern.size() && pattern.at(end) == letter)
                ++end;
            if (end - i < minimum) {
                if (replacement.isEmpty()) {
                    while (out.endsWith(QLatin1Char(' ')))
                        out.chop(1);
                } else {
                    out += replacement;
                }
            } else {
                out += pattern.mid(i, end - i);
            }
            i = end;
            continue;
        }
        out += c;
        ++i;
    }
    return out.trimmed();
}

QString withoutZone(const QString& pattern) {
    return rewriteRuns(pattern, QLatin1Char('t'), 100, QString());
}

bool plausible(const QDateTime& value) {
    return value.isValid() && value.date().year() >= 100 && value.date().year() <= 9999;
}

// The patterns of the current locale, made again only when the locale changes: a list of a
// thousand dates asked for them a thousand times.
struct Patterns {
    QLocale locale;
    QString date;
    QString time;
};

const Patterns& patterns() {
    thread_local std::optional<Patterns> made;
    const QLocale locale;
    if (!made || !(made->locale == locale))
        made = Patterns{locale,
                        rewriteRuns(locale.dateFormat(QLocale::ShortFormat), QLatin1Char('y'), 3,
                                    QStringLiteral("yyyy")),
                        withoutZone(locale.timeFormat(QLocale::LongFormat))};
    return *made;
}

} // namespace

QString datePattern() {
    return patterns().date;
}

QString timePattern() {
    return patterns().time;
}

QString format(const QDateTime& value) {
    const Patterns& shown = patterns();
    QString text = shown.locale.toString(value.date(), shown.date);
    if (value.time().isValid() && value.time() != QTime(0, 0))
        text += QLatin1Char(' ') + shown.locale.toString(value.time(), shown.time);
    return text;
}

QString format(const QDate& value) {
    return format(naive(value, QTime(0, 0)));
}

std::optional<QDateTime> parse(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    // The stored form too must lie in the years that dates are shown and typed in, or a date
    // would be stored whose shown text is not read back.
    if (auto stored = fromStored(trimmed))
        return plausible(*stored) ? stored : std::nullopt;
    // What this program writes, read back exactly; then what a person types.
    const QLocale locale;
    const QString date = datePattern();
    if (QDate d = locale.toDate(trimmed, date); d.isValid() && plausible(naive(d, QTime(0, 0))))
        return naive(d, QTime(0, 0));
    const QDateTime written = locale.toDateTime(trimmed, date + QLatin1Char(' ') + timePattern());
    if (written.isValid() && plausible(naive(written.date(), written.time())))
        return naive(written.date(), written.time());
    if (auto typed = ReadTypedDate(trimmed, locale, QDate::currentDate())) {
        const QDateTime value = naive(typed->date(), typed->time());
        if (plausible(value))
            return value;
    }
    return std::nullopt;
}

bool isDate(const QString& text) {
    return parse(text).has_value();
}

QString toStored(const QDateTime& value) {
    if (value.time().isValid() && value.time() != QTime(0, 0))
        return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return value.toString(QStringLiteral("yyyy-MM-dd"));
}

std::optional<QDateTime> fromStored(const QString& stored) {
    // Fast path for the two forms the engine writes.
    if (stored.size() == 10 || stored.size() == 19) {
        const QDate d = QDate::fromString(stored.left(10), QStringLiteral("yyyy-MM-dd"));
        if (d.isValid()) {
            if (stored.size() == 10)
                return naive(d, QTime(0, 0));
            const QChar sep = stored.at(10);
            const QTime t = QTime::fromString(stored.mid(11), QStringLiteral("HH:mm:ss"));
            if ((sep == QLatin1Char(' ') || sep == QLatin1Char('T')) && t.isValid())
                return naive(d, t);
        }
    }
    if (stored.size() == 16) {
        const QDateTime dt = QDateTime::fromString(stored, QStringLiteral("yyyy-MM-dd HH:mm"));
        if (dt.isValid())
            return naive(dt.date(), dt.time());
    }
    return std::nullopt;
}

QDateTime today() {
    return naive(QDate::currentDate(), QTime(0, 0));
}

} // namespace DateText
