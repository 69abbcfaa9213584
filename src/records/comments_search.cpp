#include "records/comments_search.h"

#include "data/connection.h"
#include "data/folded_text.h"
#include "data/recordset.h"
#include "data/sql_text.h"

#include <QStringList>
#include <algorithm>
#include <sqlite3.h>

namespace {

constexpr int kIndexedLength = kShortestIndexedWord;

// `word` for a LIKE pattern with the escape character '\': its own wildcards match themselves.
QString likeLiteral(const QString& word) {
    QString escaped;
    escaped.reserve(word.size() + 8);
    for (const QChar c : word) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return escaped;
}

QString statementFor(const Connection& connection, const QString& word) {
    if (connection.server()) {
        // The server's index of the folded comments' three-letter pieces serves LIKE for a word
        // of three letters or more; the word is folded by the same function.
        return QStringLiteral("select ID from Calls where folded_for_find(Comments) like "
                              "'%' || folded_for_find('") +
               DoubledQuotes(likeLiteral(word)) + QStringLiteral("') || '%' ESCAPE '\\'");
    }
    const QString folded = DoubledQuotes(FoldedForFind(word));
    if (word.size() >= kIndexedLength) {
        // LIKE through the index of the folded comments: it takes the calls that hold every
        // piece of the word, then compares their folded comments. The index is offered only a
        // LIKE without ESCAPE, so the word's own wildcards stand for any one character there,
        // and instr() holds them to themselves. The index also holds the comments of deleted
        // calls while they are kept.
        QString loose = folded;
        loose.replace(QLatin1Char('%'), QLatin1Char('_'));
        return QStringLiteral("select rowid from CallsText where Comments like '%") + loose +
               QStringLiteral("%' and instr(Comments, '") + folded +
               QStringLiteral("') > 0 and rowid not in (select k.ID from DeletedCalls k where "
                              "not exists (select 1 from Calls c where c.ID = k.ID))");
    }
    // Too short for the index: every call's comments are read.
    return QStringLiteral("select ID from Calls where instr(FindFolded(Comments), '") + folded +
           QStringLiteral("') > 0");
}

} // namespace

std::vector<qint64> CallsWithCommentsHolding(Connection& connection, const QString& word,
                                             const std::vector<qint64>* among) {
    std::vector<qint64> ids;
    if (word.isEmpty() || (among && among->empty()))
        return ids;
    QString sql = statementFor(connection, word);
    if (among) {
        QStringList numbers;
        for (const qint64 id : *among)
            numbers << QString::number(id);
        const bool indexed = !connection.server() && word.size() >= kIndexedLength;
        sql += (indexed ? QStringLiteral(" and rowid in (") : QStringLiteral(" and ID in (")) +
               numbers.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    Recordset records;
    records.open(sql, connection);
    while (!records.eof()) {
        const Recordset::Raw raw = records.raw(0);
        if (!raw.null)
            ids.push_back(QByteArray::fromRawData(raw.utf8, raw.size).toLongLong());
        records.moveNext();
    }
    records.close();
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

void StopCommentsSearch(Connection& connection) {
    if (!connection.server())
        sqlite3_interrupt(connection.handle());
}

QString CommentsAround(const QString& comments, const QString& word, int length) {
    if (word.isEmpty())
        return QString();
    // Where the word stands in the comments as finding compares them (letter case and
    // accents aside), each folded character mapped back to the one it came from.
    QString folded;
    std::vector<int> origin;
    folded.reserve(comments.size());
    origin.reserve(size_t(comments.size()));
    for (int i = 0; i < comments.size();) {
        const int units = comments.at(i).isHighSurrogate() && i + 1 < comments.size() ? 2 : 1;
        const QString part = FoldedForFind(comments.mid(i, units));
        folded += part;
        origin.insert(origin.end(), size_t(part.size()), i);
        i += units;
    }
    const int found = folded.indexOf(FoldedForFind(word));
    if (found < 0)
        return QString();
    const int at = origin[size_t(found)];
    const int foldedEnd = found + int(FoldedForFind(word).size());
    int end = foldedEnd < int(origin.size()) ? origin[size_t(foldedEnd)] : int(comments.size());
    end = std::max(end, at + 1);
    const int wordLength = end - at;
    // The word with what stands before and after it, about as much on each side.
    const int room = std::max(0, length - wordLength);
    int from = std::max(0, at - room / 2);
    const int to = std::min(int(comments.size()), from + wordLength + room);
    from = std::max(0, std::min(from, to - length));
    QString part = comments.mid(from, to - from).simplified();
    if (from > 0)
        part.prepend(QChar(0x2026));
    if (to < comments.size())
        part.append(QChar(0x2026));
    return part;
}
