#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QStringList>
#include <functional>
#include <vector>

class CallListModel;
class CommentScan;
class FindBar;
class QTimer;
class RowListView;
class QWidget;

// What the call list offers beyond showing the calls: the find bar (Ctrl+F), the overdue
// colour that follows the date, the context menu, copying rows (Ctrl+C) and exporting them.
// With the find bar closed, the list keeps its place and size. The window adds the commands of
// other rooms to the context menu with their keys.
class CallListTools : public QObject {
    Q_OBJECT
public:
    // `edit` and `remove` are the window's commands for the current row.
    CallListTools(QWidget* window, RowListView* list, CallListModel* model,
                  std::function<void()> edit, std::function<void()> remove);

    FindBar* findBar() const { return m_bar; }
    // True while the comments are read for a short word of the find.
    bool searchingComments() const;
    bool findOpen() const;
    void openFind();
    // Empties the find bar and hides it; every call is listed again, with the call selected
    // in the bar's list (or before it opened) selected.
    void closeFind();
    // Gives the list back its full height while the window lays itself out, and takes the
    // bar's room again afterwards.
    void releaseRoom();
    void takeRoom();

    // The display rows selected, top to bottom.
    std::vector<int> selectedRows() const;
    // Copies the selected rows with a header line to the clipboard as tab-separated text.
    void copyRows();
    // Asks for a file and writes the selected rows (several selected) or every listed row to
    // it as CSV, showing progress with a Cancel button.
    void exportRows();
    void showMenu(const QPoint& position);
    // Where a further entry stands in the context menu: after Export…, in a group of its own,
    // or last.
    enum class MenuPlace { AfterExport, Group, Last };
    // A further entry of the context menu, shown with its keys, which the window takes as a
    // shortcut too; `needsRow`: only over a row.
    void addEntry(MenuPlace place, const QString& text, const QKeySequence& keys,
                  std::function<void()> command, bool needsRow);
    // Files dropped from the desktop on the list go to `drop`, with the ID of the call on whose
    // row they fell (-1 for the empty part of the list). Without it the list takes no drops.
    void setFileDrop(std::function<void(qint64 id, const QStringList& paths)> drop);
    // Selects the listed calls `ids` (the first becomes the current row) and scrolls to it.
    void selectIds(const QList<qint64>& ids);
    // The menu of the current row, opened from the keyboard.
    void showMenuAtCurrentRow();

    // Follows the colours of the window's theme and the current date.
    void updateOverdueColor();
    void updateToday();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter();
    void updateCount();
    void rememberSelection();
    void scheduleMidnight();

    QWidget* m_window;
    RowListView* m_list;
    CallListModel* m_model;
    std::function<void()> m_edit;
    std::function<void()> m_remove;
    FindBar* m_bar;
    CommentScan* m_scan;
    QTimer* m_midnight;
    qint64 m_rememberedId = -1;
    int m_fullListHeight = -1;
    struct Entry {
        MenuPlace place;
        QString text;
        QKeySequence keys;
        std::function<void()> command;
        bool needsRow;
    };
    std::vector<Entry> m_entries;
    std::function<void(qint64, const QStringList&)> m_drop;
    QWidget* m_dropTarget = nullptr; // the list's viewport, which takes the drops
};
