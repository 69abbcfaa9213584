#pragma once

#include "ui/row_list_view.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <vector>

class CallListLoader;
class CallRecovery;
class ErrorTrap;
class CallListModel;
class CallListTools;
class ListZoom;
class LiveRefresh;
class PointerFeedback;
class QPushButton;
class SummaryWindow;

// The main window: the list of every call and the six commands below it.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: data folder, first-run copy of the template, appearance, the shared
    // connection, the list columns and rows, and the saved window state.
    void Form_Load();
    // Shutdown: saves column widths and window state and releases the shared connection.
    void Form_QueryUnload();

    // Checks at start-up that the database engine works and offers the repair package when it
    // does not. Quiet: nothing is shown while the engine works.
    void IsADOInstalled();

    // Rebuilds the list from the database. Failures are passed to the caller.
    void LoadCalls();
    // Reads the calls `ids` again and puts them in place (main_window_commands.cpp): changed
    // ones where the sort puts them, new ones (also those added by others) added, those no
    // longer stored removed; every other row, the sort, the find filter, the selection and
    // the scroll stay. Many calls, a list still filling, or a file that another program wrote
    // into, are read with the whole list. Failures are passed to the caller.
    void RefreshCalls(const std::vector<qint64>& ids);
    // How many rebuilds have begun.
    int loadCount() const { return m_loads; }
    // How many rebuilds and refreshes of some calls have begun.
    int changeCount() const { return m_loads + m_refreshes; }
    // True while one of the commands below runs (with its windows and boxes).
    bool commandRunning() const { return m_commands > 0; }
    // Follows the calls changed at other desks on a database server (nullptr on a local file).
    LiveRefresh* liveRefresh() const { return m_live; }

    // Commands.
    void PushButton1_Click(); // Edit Selected Call
    void PushButton2_Click(); // Add New Call
    void PushButton3_Click(); // Delete Selected Call
    void PushButton4_Click(); // Load Sample/Example Data
    void PushButton5_Click(); // Reports
    void PushButton6_Click(); // Help

    // A click on a column header (0-based section).
    void ListView1_ColumnClick(int column);

    CallListModel* callList() const { return m_calls; }
    PointerFeedback* pointer() const { return m_pointer; }
    ListZoom* listZoom() const { return m_zoom; }
    CallListTools* tools() const { return m_tools; }
    // True while the list is still being filled at start-up.
    bool listFilling() const;
    // The 0-based display row of the selection (of the current row when several are selected),
    // or -1.
    int selectedRow() const;
    void selectRow(int row);
    // Selects the call `id` wherever it stands, else the row at `row` or, past the end, the
    // last row. Answers whether a row was selected.
    bool reselect(const QString& id, int row);
    // The IDs of the selected calls, top to bottom.
    QStringList selectedIds() const;
    // Selects the listed calls `ids` (the first becomes the current row).
    void selectIds(const QList<qint64>& ids);

    // Puts back what the last delete of this run took (Ctrl+Z), and selects its calls.
    void undoDelete();
    // The changes of the selected call (Ctrl+H).
    void showHistory();
    // The deleted calls kept for restoring (Ctrl+Shift+D); restored calls are selected.
    void showDeletedCalls();
    // Asks for a CSV file and imports its calls (Ctrl+I); the list then lists them.
    void importCalls();
    // Opens the summary window, or brings the open one to the front (Ctrl+Shift+M).
    void openSummary();
    // The files attached to the selected call (Ctrl+Shift+A).
    void showAttachments();
    // Files dropped on the list: on a call's row they are attached to it after one question.
    void dropFiles(qint64 id, const QStringList& paths);
    SummaryWindow* summaryWindow() const;

    // The data folder and the connection string built from it; with a database server chosen,
    // the connection string is the server's URI.
    static QString DataFolder();
    static QString ConnectionString();
    // The database server's URI: the one given on the command line for this run, else the
    // "Server" setting; empty for the local file. A setting that holds a password fails:
    // passwords belong in ~/.pgpass, the service file or the environment.
    static QString ServerUri();
    static void UseServer(const QString& uri);

    RowListView* ListView1;
    QPushButton* PushButton1;
    QPushButton* PushButton2;
    QPushButton* PushButton3;
    QPushButton* PushButton4;
    QPushButton* PushButton5;
    QPushButton* PushButton6;

    // The user chose Quit when the database would not open: the program ends at once.
    bool quitRequested() const { return m_quitRequested; }

    // Set whenever the maximized layout is applied.
    bool WasMaximized = false;

    // The client size in twips at design time.
    static constexpr int kDesignWidth = 12000;
    static constexpr int kDesignHeight = 6705;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Mail dropped on the window beside the list becomes calls (main_window_rooms.cpp).
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Counts a command for as long as it runs.
    struct CommandRunning {
        explicit CommandRunning(int& count) : m_count(count) { ++m_count; }
        ~CommandRunning() { --m_count; }
        int& m_count;
    };

    void buildControls();
    // The commands of other rooms in the list's context menu, with their keys.
    void addRoomCommands();
    // Deletes several selected calls together after one question (`row`: the current row).
    void deleteCalls(ErrorTrap& trap, const QStringList& ids, int row);
    static qint64 fileWrites();
    void keepCurrentRowSelected();
    void applyLayoutForState();
    void editCurrentRow();
    void deleteCurrentRow();

    QWidget* m_client;
    CallListModel* m_calls;
    PointerFeedback* m_pointer;
    ListZoom* m_zoom = nullptr;
    CallListTools* m_tools = nullptr;
    CallRecovery* m_recovery = nullptr;
    QPointer<SummaryWindow> m_summary;
    CallListLoader* m_loader = nullptr;
    LiveRefresh* m_live = nullptr;
    int m_loads = 0;
    int m_refreshes = 0;
    qint64 m_fileWrites = -1; // fileWrites() when the list was read
    int m_commands = 0;
    bool m_unloaded = false;
    QSize m_maximizedSize; // the size of the last maximized layout
    bool m_quitRequested = false;
};
