#include "data/server_dialect.h"

namespace {

bool isNameChar(QChar c) {
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

struct Translator {
    const QString& in;
    int pos = 0;

    // Translates up to the end of the text, or up to the ')' that closes a group opened
    // before `pos` when `inGroup` is set (the ')' is consumed, not written).
    QString run(bool inGroup) {
        QString out;
        int depth = 0;
        while (pos < in.size()) {
            const QChar c = in.at(pos);
            if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
                const int end = closingQuote(c);
                out += in.mid(pos, end - pos);
                pos = end;
            } else if (c == QLatin1Char('[')) {
                const int close = in.indexOf(QLatin1Char(']'), pos + 1);
                if (close < 0) {
                    out += in.mid(pos);
                    pos = int(in.size());
                    break;
                }
                QString name = in.mid(pos + 1, close - pos - 1).toLower();
                name.replace(QLatin1Char('"'), QLatin1String("\"\""));
                out += QLatin1Char('"') + name + QLatin1Char('"');
                pos = close + 1;
            } else if (isNameChar(c)) {
                int end = pos;
                while (end < in.size() && isNameChar(in.at(end)))
                    ++end;
                const QString word = in.mid(pos, end - pos);
                pos = end;
                const bool first = word.compare(QLatin1String("first"), Qt::CaseInsensitive) == 0;
                const bool last = word.compare(QLatin1String("last"), Qt::CaseInsensitive) == 0;
                int next = pos;
                while (next < in.size() && in.at(next).isSpace())
                    ++next;
                if ((first || last) && next < in.size() && in.at(next) == QLatin1Char('(')) {
                    pos = next + 1;
                    const QString argument = run(true);
                    out += (first ? QLatin1String("first(") : QLatin1String("last(")) + argument +
                           storedOrder(argument) + QLatin1Char(')');
                } else {
                    out += word;
                }
            } else {
                if (c == QLatin1Char('('))
                    ++depth;
                if (c == QLatin1Char(')')) {
                    if (inGroup && depth == 0) {
                        ++pos;
                        return out;
                    }
                    --depth;
                }
                out += c;
                ++pos;
            }
        }
        return out;
    }

    // The position after the quoted run that starts at `pos`; a doubled quote stays inside.
    int closingQuote(QChar quote) const {
        int i = pos + 1;
        while (i < in.size()) {
            if (in.at(i) == quote) {
                if (i + 1 < in.size() && in.at(i + 1) == quote) {
                    i += 2;
                    continue;
                }
                return i + 1;
            }
            ++i;
        }
        return int(in.size());
    }

    // " ORDER BY t.id" for an argument "t.column" of a table whose rows have ids.
    static QString storedOrder(const QString& argument) {
        const QString trimmed = argument.trimmed();
        const int dot = trimmed.indexOf(QLatin1Char('.'));
        if (dot <= 0)
            return QString();
        QString table = trimmed.left(dot);
        if (table.startsWith(QLatin1Char('"')) && table.endsWith(QLatin1Char('"')))
            table = table.mid(1, table.size() - 2);
        const QString lower = table.toLower();
        if (lower != QLatin1String("calls") && lower != QLatin1String("customers") &&
            lower != QLatin1String("employees"))
            return QString();
        return QStringLiteral(" ORDER BY ") + trimmed.left(dot) + QStringLiteral(".id");
    }
};

} // namespace

QString ServerStatement(const QString& sql) {
    Translator translator{sql};
    return translator.run(false);
}
