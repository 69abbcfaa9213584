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
#include <QTreeView>

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
    QItemSelectionModel* selection = ListView1->selectionModel();
    bool first = true;
    for (qint64 id : ids) {
        const int row = m_calls->rowOfId(id);
        if (row < 0)
            continue;
        const QModelIndex index = m_calls->index(row, 0);
        if (first) {
            selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                  QItemSelectionModel::Rows);
            ListView1->scrollTo(index);
            first = false;
        } else {
            selection->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
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
    trap.run(102, [&] { LoadCalls(); });
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
    trap.run(102, [&] { LoadCalls(); });
    trap.run(104, [&] { selectIds(restored); });
}
