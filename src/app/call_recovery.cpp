// What the main window offers against slips: undo of the last delete (Ctrl+Z), the history of
// the selected call (Ctrl+H) and the deleted calls kept for restoring (Ctrl+Shift+D).
#include "app/call_history_window.h"
#include "app/call_list_model.h"
#include "app/call_list_tools.h"
#include "app/deleted_calls_window.h"
#include "app/main_window.h"
#include "data/deletions.h"
#include "data/shared_connection.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QShortcut>
#include <algorithm>
#include <iterator>
#include <vector>

void Form1::setUpRecovery() {
    const struct {
        QString text;
        QKeySequence keys;
        void (Form1::*command)();
        bool needsRow;
    } entries[] = {
        {tr("&History…"), QKeySequence(Qt::CTRL | Qt::Key_H), &Form1::showHistory, true},
        {tr("Deleted &calls…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
         &Form1::showDeletedCalls, false},
    };
    for (const auto& entry : entries) {
        auto* shortcut = new QShortcut(entry.keys, this);
        connect(shortcut, &QShortcut::activated, this, entry.command);
        m_tools->addEntry(
            entry.text, entry.keys, [this, entry] { (this->*entry.command)(); }, entry.needsRow);
    }
    auto* undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, &Form1::undoDelete);
}

void Form1::selectIds(const QList<qint64>& ids) {
    const std::vector<int> listed = m_calls->rowsOfIds(std::vector<qint64>(ids.begin(), ids.end()));
    std::vector<int> rows;
    std::copy_if(listed.begin(), listed.end(), std::back_inserter(rows),
                 [](int row) { return row >= 0; });
    if (rows.empty())
        return;
    // One selection of runs of rows: selecting thousands of calls one by one would tell every
    // watcher of the selection thousands of times.
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    const int last = m_calls->columnCount() - 1;
    for (size_t start = 0; start < rows.size();) {
        size_t end = start;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1)
            ++end;
        selection.select(m_calls->index(rows[start], 0), m_calls->index(rows[end], last));
        start = end + 1;
    }
    const QModelIndex first =
        m_calls->index(listed.front() >= 0 ? listed.front() : rows.front(), 0);
    QItemSelectionModel* model = ListView1->selectionModel();
    model->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    ListView1->scrollTo(first);
}

void Form1::undoDelete() {
    if (m_commands > 0)
        return;
    const CommandRunning running(m_commands);
    const qint64 deletion = Deletions::TakeLast();
    if (deletion == 0) {
        QApplication::beep();
        return;
    }
    ErrorTrap trap("Form1", "UndoDelete");
    QList<qint64> restored;
    trap.run(100, [&] { restored = Deletions::Restore(SharedConnection(), deletion); });
    trap.run(102, [&] { RefreshCalls(std::vector<qint64>(restored.begin(), restored.end())); });
    trap.run(104, [&] { selectIds(restored); });
}

void Form1::showHistory() {
    if (m_commands > 0)
        return;
    const CommandRunning running(m_commands);
    const int row = selectedRow();
    if (row < 0)
        return;
    ErrorTrap trap("Form1", "ShowHistory");
    trap.run(100, [&] {
        CallHistoryWindow history(SharedConnection(), m_calls->idAt(row), m_calls->text(row, 1),
                                  this);
        CurrentPrompts().showModal(history);
    });
}

void Form1::showDeletedCalls() {
    if (m_commands > 0)
        return;
    const CommandRunning running(m_commands);
    ErrorTrap trap("Form1", "ShowDeletedCalls");
    QList<qint64> restored;
    trap.run(100, [&] {
        DeletedCallsWindow deleted(SharedConnection(), this);
        CurrentPrompts().showModal(deleted);
        restored = deleted.restored();
    });
    if (restored.isEmpty())
        return;
    trap.run(102, [&] { RefreshCalls(std::vector<qint64>(restored.begin(), restored.end())); });
    trap.run(104, [&] { selectIds(restored); });
}
