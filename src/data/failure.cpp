#include "data/failure.h"

namespace {

QString withoutFinalStop(QString text) {
    text = text.trimmed();
    while (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text.trimmed();
}

} // namespace

QString Sentence(const QString& text) {
    QString sentence = text.trimmed();
    if (sentence.isEmpty())
        return sentence;
    sentence[0] = sentence.at(0).toUpper();
    if (sentence.endsWith(QLatin1Char('?')) || sentence.endsWith(QLatin1Char('!')))
        return sentence;
    return withoutFinalStop(sentence) + QLatin1Char('.');
}

QString SentenceWithCause(const QString& what, const QString& cause) {
    QString reason = withoutFinalStop(cause);
    if (reason.isEmpty())
        return Sentence(what);
    // The cause goes on in small letters unless it opens with a name or an abbreviation.
    if (reason.size() > 1 && reason.at(0).isUpper() && !reason.at(1).isUpper())
        reason[0] = reason.at(0).toLower();
    return Sentence(withoutFinalStop(what) + QStringLiteral(": ") + reason);
}
