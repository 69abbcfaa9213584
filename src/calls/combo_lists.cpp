#include "calls/combo_lists.h"

#include "data/failure.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "ui/error_trap.h"

#include <QComboBox>

bool ReadListRows(ErrorTrap& trap, int firstLine, const QString& query,
                  const std::function<void(const Recordset&)>& readRow) {
    Recordset records;
    if (!trap.run(firstLine, [&] {
            records.open(query, SharedConnection(), Recordset::kStatic, Recordset::kReadOnly);
        }))
        return false;
    while (!trap.test(firstLine + 2, [&] { return records.eof(); })) {
        trap.run(firstLine + 4, [&] { readRow(records); });
        if (!trap.run(firstLine + 6, [&] { records.moveNext(); }))
            break;
    }
    trap.run(firstLine + 8, [&] { records.close(); });
    return true;
}

void FillList(QComboBox* list, const QStringList& entries) {
    list->clear();
    list->addItems(entries);
    // A pick-only list selects its first entry when it is filled; the editor wants none.
    list->setCurrentIndex(-1);
}

std::optional<qint64> SelectedId(const QComboBox* list, const QList<qint64>& ids) {
    const int index = list->currentIndex();
    if (index < 0 || index >= ids.size())
        return std::nullopt;
    return ids.at(index);
}

void RestorePerson(QComboBox* list, const QList<qint64>& ids, std::optional<qint64> id) {
    const int index = id ? int(ids.indexOf(*id)) : -1;
    list->setCurrentIndex(index < list->count() ? index : -1);
}

bool SelectByName(QComboBox* list, const QString& name) {
    const int index =
        name.isEmpty() ? -1 : list->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    list->setCurrentIndex(index);
    return index >= 0 || name.isEmpty();
}

bool SelectPerson(QComboBox* list, const QList<qint64>& ids, qint64 storedId, bool hasStoredId,
                  const QString& name) {
    if (!hasStoredId)
        return SelectByName(list, name);
    const int index = int(ids.indexOf(storedId));
    list->setCurrentIndex(index < list->count() ? index : -1);
    return list->currentIndex() >= 0;
}

qint64 IdAt(const QList<qint64>& ids, int index) {
    if (index < 0 || index >= ids.size())
        throw Failure(QStringLiteral("Subscript out of range: no id at position %1 of %2.")
                          .arg(index)
                          .arg(ids.size()));
    return ids.at(index);
}
