#pragma once

#include "data/sql_text.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

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
// The id of the person selected in `list`, whose entries stand at the same indexes as `ids`;
// nothing when no one is selected.
std::optional<qint64> SelectedId(const QComboBox* list, const QList<qint64>& ids);
// Selects person `id` again after a reload, wherever that person now stands; leaves the list
// without selection when no one was selected or the person is no longer in it.
void RestorePerson(QComboBox* list, const QList<qint64>& ids, std::optional<qint64> id);
// Selects the first entry whose text equals `name`. An empty name, or one that no entry bears
// (a value deleted since the call named it), leaves the list without selection; answers
// whether the name was empty or found.
bool SelectByName(QComboBox* list, const QString& name);
// Selects the person whose id is `storedId`, so that namesakes keep the stored person. A call
// that names no one is selected by name like SelectByName; one whose person is not in the list
// (deleted since) leaves it without selection and answers false.
bool SelectPerson(QComboBox* list, const QList<qint64>& ids, qint64 storedId, bool hasStoredId,
                  const QString& name);
// The id at `index` of an id list; an index outside the list fails.
qint64 IdAt(const QList<qint64>& ids, int index);
