// The employee's open calls in the employee editor: those the employee opened and those
// assigned to the employee, read once when the window opens.

#include "contacts/call_rows_model.h"
#include "contacts/employee_editor.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "ui/error_trap.h"

#include <QHash>

namespace {

// The columns of [Open Calls] shown after the title, in list order. Due Date may be Null.
const char* const kShownColumns[CallRowsModel::kColumns - 1] = {
    "Assigned To Name", "Customer Name", "Priority",       "Status",
    "Category",         "Due Date",      "Opened By Name", "Opened Date",
};
constexpr int kDueDate = 5;

// The text of shown column `shown` (field `index`) of the current row. Only Due Date may be
// Null; `known` keeps the texts already made from the same stored bytes.
QString shownText(const Recordset& records, int index, int shown,
                  QHash<QByteArray, QString>& known) {
    const Recordset::Raw raw = records.raw(index);
    if (raw.null) {
        const Value value = records.field(index);
        return shown == kDueDate ? value.joined() : value.toText();
    }
    const auto found = known.constFind(QByteArray::fromRawData(raw.utf8, raw.size));
    if (found != known.constEnd())
        return *found;
    const QString text = records.field(index).joined();
    known.insert(QByteArray(raw.utf8, raw.size), text);
    return text;
}

} // namespace

void Form3::LoadOpenedCalls() {
    loadCalls("LoadOpenedCalls", m_opened, "[Opened By]");
}

void Form3::LoadAssignedCalls() {
    loadCalls("LoadAssignedCalls", m_assigned, "[Assigned To]");
}

void Form3::loadCalls(const char* procedure, CallRowsModel* model, const char* employeeColumn) {
    ErrorTrap trap("Form3", procedure);
    trap.run(100, [&] { model->clear(); });
    Recordset records;
    if (!trap.run(104, [&] {
            records.open(QStringLiteral("select * from [Open Calls] where ") +
                             QLatin1String(employeeColumn) + QLatin1Char('=') + m_ID,
                         SharedConnection(), Recordset::kStatic, Recordset::kReadOnly);
        }))
        return;
    // The fields are looked up once; a missing one fails on every row, as a lookup by name would.
    const int title = records.fieldIndex(QStringLiteral("Title"));
    const int idField = records.fieldIndex(QStringLiteral("ID"));
    int shown[CallRowsModel::kColumns - 1];
    for (int i = 0; i < CallRowsModel::kColumns - 1; ++i)
        shown[i] = records.fieldIndex(QLatin1String(kShownColumns[i]));

    // Names, values and dates repeat from call to call: each distinct one is converted once.
    QHash<QByteArray, QString> known[CallRowsModel::kColumns - 1];
    std::vector<CallRowsModel::Row> rows;
    std::vector<qint64> ids;
    while (trap.test(106, [&] { return !records.eof(); })) {
        CallRowsModel::Row& row = rows.emplace_back();
        // The ID opens the call from the list; it is not shown.
        const Recordset::Raw id = idField >= 0 ? records.raw(idField) : Recordset::Raw{};
        ids.push_back(idField >= 0 && !id.null ? QByteArray(id.utf8, id.size).toLongLong() : -1);
        trap.run(108, [&] { row[0] = records.field(title).toText(); });
        int line = 110;
        for (int i = 0; i < CallRowsModel::kColumns - 1; ++i) {
            trap.run(line, [&] { row[size_t(i + 1)] = shownText(records, shown[i], i, known[i]); });
            line += 2;
        }
        // A failed move ends the reading rather than reading the same row forever.
        if (!trap.run(126, [&] { records.moveNext(); }))
            break;
    }
    model->setRows(std::move(rows), std::move(ids));
    trap.run(128, [&] { records.close(); });
}
