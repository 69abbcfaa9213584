#include "history/call_recovery.h"

#include "data/shared_connection.h"
#include "history/call_history_window.h"
#include "history/deleted_calls_window.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "records/deletions.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QApplication>
#include <QShortcut>
#include <QWidget>

namespace {
// Counts a command for as long as it runs.
struct CommandRunning {
    explicit CommandRunning(int& count) : m_count(count) { ++m_count; }
    ~CommandRunning() { --m_count; }
    int& m_count;
};
} // namespace

CallRecovery::CallRecovery(Window window) : QObject(window.widget), m_window(std::move(window)) {
    using Place = CallListTools::MenuPlace;
    m_window.tools->addEntry(
        Place::Group, tr("&History…"), QKeySequence(Qt::CTRL | Qt::Key_H),
        [this] { showHistory(); }, true);
    m_window.tools->addEntry(
        Place::Group, tr("Deleted &calls…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
        [this] { showDeletedCalls(); }, false);
    auto* undo = new QShortcut(QKeySequence::Undo, m_window.widget);
    connect(undo, &QShortcut::activated, this, &CallRecovery::undoDelete);
}

void CallRecovery::undoDelete() {
    if (*m_window.commands > 0)
        return;
    const CommandRunning running(*m_window.commands);
    const qint64 deletion = Deletions::TakeLast();
    if (deletion == 0) {
        QApplication::beep();
        return;
    }
    ErrorTrap trap("Form1", "UndoDelete");
    QList<qint64> restored;
    trap.run(100, [&] { restored = Deletions::Restore(SharedConnection(), deletion); });
    listRestored(trap, restored);
}

void CallRecovery::showHistory() {
    if (*m_window.commands > 0)
        return;
    const CommandRunning running(*m_window.commands);
    const int row = m_window.selectedRow();
    if (row < 0)
        return;
    ErrorTrap trap("Form1", "ShowHistory");
    trap.run(100, [&] {
        CallHistoryWindow history(SharedConnection(), m_window.calls->idAt(row),
                                  m_window.calls->text(row, 1), m_window.widget);
        CurrentPrompts().showModal(history);
    });
}

void CallRecovery::showDeletedCalls() {
    if (*m_window.commands > 0)
        return;
    const CommandRunning running(*m_window.commands);
    ErrorTrap trap("Form1", "ShowDeletedCalls");
    QList<qint64> restored;
    trap.run(100, [&] {
        DeletedCallsWindow deleted(SharedConnection(), m_window.widget);
        CurrentPrompts().showModal(deleted);
        restored = deleted.restored();
    });
    if (!restored.isEmpty())
        listRestored(trap, restored);
}

void CallRecovery::listRestored(ErrorTrap& trap, const QList<qint64>& restored) {
    trap.run(102, [&] { m_window.refresh(std::vector<qint64>(restored.begin(), restored.end())); });
    trap.run(104, [&] { m_window.tools->selectIds(restored); });
}
