#pragma once

#include <QString>
#include <vector>

class Connection;

// The shortest word that the index of three-letter pieces finds by itself; a shorter one is
// looked for by reading every call's comments, which takes a while on a large log.
constexpr int kShortestIndexedWord = 3;

// Finding a word in the comments of the calls through the database's own text index: the
// comments are not in the call list, and reading them all for every keystroke would take
// seconds on a large log.

// The IDs of the calls whose comments hold `word` anywhere, without regard to letter case and
// accents, in
// ascending order; with `among`, only those of the calls it names. Failures throw.
std::vector<qint64> CallsWithCommentsHolding(Connection& connection, const QString& word,
                                             const std::vector<qint64>* among = nullptr);

// Makes a search running on `connection` in another thread stop soon: it fails as if the
// statement had failed. Only the engine of a local file can be stopped; a server's search runs
// to its end. The connection must stay open while this runs.
void StopCommentsSearch(Connection& connection);

// The part of `comments` around the first place that holds `word` (letter case and accents
// aside), cut to
// about `length` characters with an ellipsis where it was cut; empty when it holds no such
// place.
QString CommentsAround(const QString& comments, const QString& word, int length);
