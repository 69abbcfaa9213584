#pragma once

#include <QDialog>
#include <QList>

class Connection;
class QPushButton;
class QTreeWidget;

// The deleted calls kept for undo, the newest deletion first: when, by whom, the call and what
// took it. Restore puts the selected calls back (with the people and values they need) and
// closes the window; History shows the changes of the selected call.
class DeletedCallsWindow : public QDialog {
    Q_OBJECT
public:
    explicit DeletedCallsWindow(Connection& connection, QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    QPushButton* restoreButton() const { return m_restore; }
    QPushButton* historyButton() const { return m_history; }
    // The IDs of the calls put back.
    const QList<qint64>& restored() const { return m_restored; }

    void restoreSelected();
    void showHistory();

private:
    void fill();

    Connection& m_connection;
    QTreeWidget* m_list;
    QPushButton* m_restore;
    QPushButton* m_history;
    QList<qint64> m_restored;
};
