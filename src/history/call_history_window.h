#pragma once

#include <QDialog>

class QTreeWidget;
class Connection;

// The changes of one call, newest first, as a person reads them: when, by whom, which field,
// the value before and after. Works for a deleted call too.
class CallHistoryWindow : public QDialog {
    Q_OBJECT
public:
    CallHistoryWindow(Connection& connection, qint64 id, const QString& title,
                      QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }

private:
    QTreeWidget* m_list;
};
