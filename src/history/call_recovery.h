#pragma once

#include <QList>
#include <QObject>
#include <functional>
#include <vector>

class CallListModel;
class CallListTools;
class ErrorTrap;
class QWidget;

// What the main window offers against slips: undo of the last delete (Ctrl+Z), the history of
// the selected call (Ctrl+H) and the deleted calls kept for restoring (Ctrl+Shift+D), with their
// entries in the list's context menu. Calls put back are read into the list and selected.
class CallRecovery : public QObject {
    Q_OBJECT
public:
    struct Window {
        QWidget* widget;
        CallListModel* calls;
        CallListTools* tools;
        // The window's count of running commands: nothing starts while one runs.
        int* commands;
        // The display row of the selection, or -1.
        std::function<int()> selectedRow;
        // Reads the calls `ids` into the list again.
        std::function<void(const std::vector<qint64>&)> refresh;
    };
    explicit CallRecovery(Window window);

    // Puts back what the last delete of this run took, and selects its calls.
    void undoDelete();
    // The changes of the selected call.
    void showHistory();
    // The deleted calls kept for restoring; restored calls are selected.
    void showDeletedCalls();

private:
    void listRestored(ErrorTrap& trap, const QList<qint64>& restored);

    Window m_window;
};
