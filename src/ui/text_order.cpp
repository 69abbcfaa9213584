#include "ui/text_order.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <numeric>

namespace {

// One collator for each thread (a collator may not be shared between threads), in the
// locale of the moment, without regard to letter case: case decides only between texts that
// are equal otherwise.
QCollator& collator() {
    thread_local QCollator ordering;
    thread_local QLocale locale(QLocale::c());
    thread_local bool made = false;
    if (!made || locale != QLocale()) {
        locale = QLocale();
        // The C locale (no language set) would order by character code, accented letters
        // after z: such a person gets the common order of the Latin letters.
        ordering = QCollator(locale.language() == QLocale::C
                                 ? QLocale(QLocale::English, QLocale::UnitedStates)
                                 : locale);
        ordering.setCaseSensitivity(Qt::CaseInsensitive);
        made = true;
    }
    return ordering;
}

int caseOrder(const QString& a, const QString& b) {
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded : QString::compare(a, b, Qt::CaseSensitive);
}

} // namespace

int CompareText(const QString& a, const QString& b) {
    const int order = collator().compare(a, b);
    return order != 0 ? order : caseOrder(a, b);
}

std::vector<uint32_t> SortedByText(uint32_t count, const std::function<QString(uint32_t)>& textAt) {
    QCollator& ordering = collator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(count);
    for (uint32_t i = 0; i < count; ++i)
        keys.push_back(ordering.sortKey(textAt(i)));
    std::vector<uint32_t> positions(count);
    std::iota(positions.begin(), positions.end(), 0U);
    std::sort(positions.begin(), positions.end(), [&](uint32_t a, uint32_t b) {
        const int order = keys[a].compare(keys[b]);
        if (order != 0)
            return order < 0;
        const int cased = caseOrder(textAt(a), textAt(b));
        return cased != 0 ? cased < 0 : a < b;
    });
    return positions;
}
