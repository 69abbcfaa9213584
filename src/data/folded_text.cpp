#include "data/folded_text.h"

QString FoldedForFind(const QString& text) {
    bool ascii = true;
    bool lower = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            lower = false;
    }
    if (ascii) {
        if (lower)
            return text;
        // Nothing to take apart: only the capitals change.
        QString folded = text;
        for (QChar& c : folded) {
            if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                c = QChar(c.unicode() + ('a' - 'A'));
        }
        return folded;
    }
    const QString decomposed = text.normalized(QString::NormalizationForm_KD);
    QString folded;
    folded.reserve(decomposed.size());
    for (const QChar c : decomposed) {
        if (c.category() != QChar::Mark_NonSpacing)
            folded += c;
    }
    return folded.toCaseFolded();
}
