// Typed dates: any text is read without a crash, and a date that is read is one that the
// program writes back and reads again as the same date.
#include "data/date_text.h"
#include "data/date_typing.h"

#include <QLocale>
#include <cstdint>
#include <cstdlib>

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
        if (!read->isValid())
            std::abort();
        const QString iso = read->toString(Qt::ISODate);
        const std::optional<QDateTime> again = ReadTypedDate(iso, locale, today);
        if (!again || *again != *read)
            std::abort();
    }
    (void)DateText::isDate(text);
    return 0;
}
