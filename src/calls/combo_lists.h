#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class ErrorTrap;
class QComboBox;
class Recordset;

// Helpers for the editor's pick-only lists. Each failure throws a Failure whose description
// the caller's error trap reports.

// Reads every row of `query` for a list under the caller's trap, numbering the steps from
// `firstLine`: open, the end test, `readRow` on each row, the move to the next row, and the
// close at firstLine + 8. A query that cannot be opened has no rows (answers false); a failed
// move ends the reading rather than reading the same row forever.
bool ReadListRows(ErrorTrap& trap, int firstLine, const QString& query,
                  const std::function<void(const Recordset&)>& readRow);

// Replaces the entries of `list` by `entries` and leaves it without selection.
void FillList(QComboBox* list, const QStringList& entries);
// Selects the entry at `index` (-1 for none). An index that the list does not have fails and
// leaves the list without selection.
void RestorePosition(QComboBox* list, int index);
// Selects the first entry whose text equals `name`. A name that no entry bears fails and
// leaves the list without selection.
void SelectByName(QComboBox* list, const QString& name);
// Selects the person whose id is `storedId` when the list holds that person under `name`;
// otherwise selects by name like SelectByName. Namesakes thus keep the stored person.
void SelectPerson(QComboBox* list, const QList<qint64>& ids, qint64 storedId, bool hasStoredId,
                  const QString& name);
// The id at `index` of an id list; an index outside the list fails.
qint64 IdAt(const QList<qint64>& ids, int index);
// Text ready to go between single quotes in SQL: every single quote doubled.
QString DoubledQuotes(const QString& text);
