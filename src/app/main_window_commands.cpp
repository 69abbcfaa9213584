// The main window's commands on the calls, and putting the calls they changed in place.
#include "app/main_window.h"

#include "calls/call_editor.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "list/call_list_loader.h"
#include "list/call_list_model.h"
#include "records/call_columns.h"
#include "ui/changed_elsewhere.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <algorithm>

namespace {

// Counts a command for as long as it runs.
struct CommandRunning {
    explicit CommandRunning(int& count) : m_count(count) { ++m_count; }
    ~CommandRunning() { --m_count; }
    int& m_count;
};

// Up to this many calls are always put in place; more are, while they are at most a quarter
// of the list: beyond that reading the whole list costs about as much.
constexpr size_t kCallsAlwaysInPlace = 5000;
constexpr size_t kShareOfListInPlace = 4;
// Calls named in one statement.
constexpr size_t kCallsPerStatement = 500;

// The calls stored with an ID above `largest`.
std::vector<qint64> CallsAddedAfter(qint64 largest) {
    std::vector<qint64> ids;
    Recordset records;
    records.open(QStringLiteral("select ID from Calls where ID > ") + QString::number(largest),
                 SharedConnection());
    while (!records.eof()) {
        ids.push_back(records.field(0).toInteger());
        records.moveNext();
    }
    return ids;
}

// The ID and the fields the list shows: the rest of the row (the comments above all) would
// only be read and dropped.
QString ShownFields() {
    QStringList fields;
    for (const char* field : CallColumns::kFields)
        fields << QLatin1Char('[') + QLatin1String(field) + QLatin1Char(']');
    return fields.join(QStringLiteral(", "));
}

} // namespace

// How many times another program has written into the local file since this connection
// began; -1 on a server, whose other desks announce their changes.
qint64 Form1::fileWrites() {
    if (!HasSharedConnection() || SharedConnection().server())
        return -1;
    // A connection that cannot tell fails on the reading that follows, where it is reported.
    try {
        Recordset records;
        records.open(QStringLiteral("PRAGMA data_version"), SharedConnection());
        return records.eof() ? -2 : records.field(0).toInteger();
    } catch (const std::exception&) {
        return -2;
    }
}

void Form1::RefreshCalls(const std::vector<qint64>& given) {
    // While the list still fills, for many calls, or when another program wrote into the
    // file since the list was read, the whole list is read.
    const size_t most =
        std::max(kCallsAlwaysInPlace, size_t(m_calls->totalRowCount()) / kShareOfListInPlace);
    if (m_loader->running() || given.size() > most || fileWrites() != m_fileWrites) {
        LoadCalls();
        return;
    }
    // Calls added since the list was read, by whoever added them, come along. A call named
    // twice (an undone delete of the newest call is also added after the list) is read once.
    std::vector<qint64> ids = CallsAddedAfter(m_calls->largestId());
    ids.insert(ids.end(), given.begin(), given.end());
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    ++m_refreshes;
    CallRowBatch fresh;
    for (size_t first = 0; first < ids.size(); first += kCallsPerStatement) {
        QStringList numbers;
        for (size_t i = first; i < std::min(ids.size(), first + kCallsPerStatement); ++i)
            numbers << QString::number(ids[i]);
        Recordset records;
        records.open(QStringLiteral("select ") + ShownFields() +
                         QStringLiteral(" from [Calls Extended] where ID in (") +
                         numbers.join(QLatin1Char(',')) + QLatin1Char(')'),
                     SharedConnection());
        const CallRowColumns columns = CallRowColumnsOf(records);
        while (!records.eof()) {
            AppendCallRow(records, columns, fresh);
            records.moveNext();
        }
    }
    // The call at the top of a scrolled list stays there, also when calls are added above it
    // (rows that only changed where they are move nothing). The model carries its index along
    // with the change, as it does the selection's.
    const QPersistentModelIndex top(ListView1->verticalScrollBar()->value() > 0
                                        ? ListView1->indexAt(QPoint(0, 0))
                                        : QModelIndex());
    const bool moved = m_calls->replaceCalls(ids, fresh);
    m_calls->refreshAttachments(&ids);
    if (moved && top.isValid())
        ListView1->scrollTo(m_calls->index(top.row(), 0), QAbstractItemView::PositionAtTop);
}

int Form1::selectedRow() const {
    const QItemSelectionModel* selection = ListView1->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (current.isValid() && selection->isRowSelected(current.row(), QModelIndex()))
        return current.row();
    const QModelIndexList rows = selection->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void Form1::selectRow(int row) {
    const QModelIndex index = m_calls->index(row, 0);
    ListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
    ListView1->scrollTo(index);
}

bool Form1::reselect(const QString& id, int row) {
    bool isNumber = false;
    const qint64 number = id.toLongLong(&isNumber);
    const int listed = isNumber ? m_calls->rowOfId(number) : -1;
    if (listed >= 0)
        row = listed;
    else
        row = std::min(row, m_calls->rowCount() - 1);
    if (row < 0)
        return false;
    selectRow(row);
    return true;
}

void Form1::PushButton2_Click() {
    ErrorTrap trap("Form1", "PushButton2_Click");
    const CommandRunning running(m_commands);
    Form2 editor(this);
    trap.run(116, [&] {
        editor.m_ID = QString();
        editor.Form_Load();
    });
    trap.run(118, [&] { editor.setWindowTitle(QStringLiteral("Add New Call")); });
    // The new call gets an ID above every listed one; without one, the selection stays.
    const qint64 largest = m_calls->largestId();
    const int row = selectedRow();
    const QString selected = row >= 0 ? m_calls->text(row, 0) : QString();
    trap.run(120, [&] { CurrentPrompts().showModal(editor); });
    // Only the calls added since the list was read are read, unless the editor changed
    // people or values that other calls show too.
    trap.run(122, [&] {
        if (editor.touchedOtherRecords())
            LoadCalls();
        else
            RefreshCalls(CallsAddedAfter(largest));
    });
    trap.run(124, [&] {
        const qint64 added = m_calls->largestId();
        if (added > largest)
            reselect(QString::number(added), -1);
        else if (row >= 0)
            reselect(selected, row);
    });
}

void Form1::PushButton1_Click() {
    ErrorTrap trap("Form1", "PushButton1_Click");
    const CommandRunning running(m_commands);
    if (trap.test(100, [&] { return m_calls->rowCount() == 0; }))
        return;
    // Without a selected row there is nothing to edit.
    const int position = selectedRow() + 1;
    if (position <= 0)
        return;
    Form2 editor(this);
    trap.run(104, [&] {
        editor.m_ID = m_calls->text(position - 1, 0);
        editor.Form_Load();
    });
    trap.run(106, [&] { editor.setWindowTitle(QStringLiteral("Edit Data")); });
    trap.run(108, [&] { CurrentPrompts().showModal(editor); });
    trap.run(110, [&] {
        if (editor.touchedOtherRecords())
            LoadCalls();
        else
            RefreshCalls({editor.m_ID.toLongLong()});
    });
    // The edited call stays selected wherever the rebuilt list now shows it; when it is gone,
    // the row that took its place.
    if (trap.test(112, [&] { return m_calls->rowCount() > 0; }))
        trap.run(114, [&] { reselect(editor.m_ID, position - 1); });
}

void Form1::editCurrentRow() {
    if (PushButton1->isEnabled())
        PushButton1_Click();
}

void Form1::deleteCurrentRow() {
    if (PushButton3->isEnabled())
        PushButton3_Click();
}
