#pragma once

#include <QTimer>
#include <QWidget>

class QAbstractItemModel;
class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;
class SummaryPage;

// The summary of the calls in a window of its own beside the list: the charts, and the same
// numbers as a table. It is counted again whenever the list is rebuilt (after a change here
// or, on a server, at another desk), and exports its page to PDF or PNG.
class SummaryWindow : public QWidget {
    Q_OBJECT
public:
    // `calls` is the list whose rebuilds bring a new count.
    SummaryWindow(QAbstractItemModel* calls, QWidget* parent);

    // Counts the calls again now. Failures are shown in the window.
    void refresh();
    // How many times the calls were counted.
    int refreshes() const { return m_refreshes; }

    SummaryPage* page() const { return m_page; }
    QTableWidget* table() const { return m_table; }

    void exportPdf();
    void exportPng();

protected:
    // Escape closes the window, as it closes the other windows beside the list.
    void keyPressEvent(QKeyEvent* event) override;
    // Closed while in use, it gives the keyboard back to the window beside it.
    void closeEvent(QCloseEvent* event) override;

private:
    QString askFile(const QString& title, const QString& filter, const QString& suffix);

    SummaryPage* m_page;
    QTabWidget* m_tabs;
    QTableWidget* m_table;
    QLabel* m_failure;
    QTimer m_later;
    int m_refreshes = 0;
};
