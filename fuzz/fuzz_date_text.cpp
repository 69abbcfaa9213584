// Dates as text: any text is read without a crash, a date that is read comes back as the same
// date from what the program writes for it (shown text, stored text, ISO 8601), and a sign or a
// year out of range makes no date.
#include "data/date_text.h"
#include "data/date_typing.h"
#include "fuzz_check.h"

#include <QLocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Day before month, so that a mix-up of the two shows.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    static const QLocale locales[] = {QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale(QLocale::German, QLocale::Germany),
                                      QLocale(QLocale::Japanese, QLocale::Japan)};
    const QDate today(2026, 12, 7);
    for (const QLocale& locale : locales) {
        const std::optional<QDateTime> read = ReadTypedDate(text, locale, today);
        if (!read)
            continue;
        check(read->isValid());
        const std::optional<QDateTime> again =
            ReadTypedDate(read->toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")), locale, today);
        check(again && *again == *read);
    }

    const std::optional<QDateTime> parsed = DateText::parse(text);
    check(DateText::isDate(text) == bool(parsed));
    // A sign in front is no date, and a date is never read from a year out of range.
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char('-')) || trimmed.startsWith(QLatin1Char('+')))
        check(!parsed);
    if (parsed)
        check(parsed->date().year() >= 100 && parsed->date().year() <= 9999);
    if (parsed) {
        check(parsed->isValid());
        const std::optional<QDateTime> shown = DateText::parse(DateText::format(*parsed));
        check(shown && *shown == *parsed);
        const std::optional<QDateTime> stored = DateText::fromStored(DateText::toStored(*parsed));
        check(stored && *stored == *parsed);
    }
    return 0;
}
