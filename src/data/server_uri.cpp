// The server's URI as it may be shown: without a password in any of the forms the client
// library reads one from.

#include "data/server_link.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

bool startsWithScheme(const QString& text, int* length) {
    for (const char* scheme : {"postgresql://", "postgres://"}) {
        const QLatin1String prefix(scheme);
        if (text.startsWith(prefix, Qt::CaseInsensitive)) {
            *length = prefix.size();
            return true;
        }
    }
    return false;
}

// "keyword = value" pairs, as a connection string of keywords writes them: a password's
// pair is left out whole (its value quoted or not).
QString withoutPasswordPairs(const QString& text) {
    static const QRegularExpression pair(
        QStringLiteral(R"((^|\s)password\s*=\s*('(?:[^'\\]|\\.)*'?|\S*)\s*)"),
        QRegularExpression::CaseInsensitiveOption);
    if (!pair.match(text).hasMatch())
        return text;
    QString shown = text;
    return shown.replace(pair, QStringLiteral("\\1")).trimmed();
}

} // namespace

QString ServerLink::displayed(const QString& uri) {
    int scheme = 0;
    if (!startsWithScheme(uri, &scheme))
        return withoutPasswordPairs(uri);
    QString shown = uri.left(scheme);
    QString rest = uri.mid(scheme);
    // The client library takes what stands before the first '@' (ahead of any '/') as the
    // user, and what follows a ':' in it as the password.
    int end = 0;
    while (end < rest.size() && rest.at(end) != QLatin1Char('@') &&
           rest.at(end) != QLatin1Char('/'))
        ++end;
    if (end < rest.size() && rest.at(end) == QLatin1Char('@')) {
        const QString user = rest.left(end).section(QLatin1Char(':'), 0, 0);
        shown += user + QLatin1Char('@');
        rest = rest.mid(end + 1);
    }
    const int question = rest.indexOf(QLatin1Char('?'));
    if (question < 0)
        return shown + rest;
    shown += rest.left(question);
    QStringList kept;
    for (const QString& parameter : rest.mid(question + 1).split(QLatin1Char('&'))) {
        const QString name =
            QUrl::fromPercentEncoding(parameter.section(QLatin1Char('='), 0, 0).toUtf8()).trimmed();
        if (name.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
            continue;
        kept << withoutPasswordPairs(parameter);
    }
    if (!kept.isEmpty())
        shown += QLatin1Char('?') + kept.join(QLatin1Char('&'));
    return shown;
}

bool ServerLink::holdsPassword(const QString& uri) {
    return displayed(uri) != uri;
}
