#pragma once

#include <QDialog>
#include <QStringList>
#include <vector>

class QPushButton;
class QTreeWidget;

// The files kept with one call: name, size, type, when and by whom each was added. Add… takes
// several files at once, Open hands one to the desktop's program for its type (asking first for
// a type that could run code), Save As… writes it where the person chooses, Remove asks first
// (No the default); Ctrl+Z brings back the last one removed. A login that may only read opens
// and saves but neither adds nor removes.
class AttachmentsWindow : public QDialog {
    Q_OBJECT
public:
    AttachmentsWindow(qint64 callId, const QString& title, QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* openButton() const { return m_open; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* removeButton() const { return m_remove; }
    // Whether attachments were added, removed or brought back while the window was open.
    bool changed() const { return m_changed; }

    void addFiles(const QStringList& paths);
    void openSelected();
    void saveSelected();
    void removeSelected();
    void undoRemove();

    // Shows the window for the call over `parent`; answers whether its attachments changed.
    static bool showFor(QWidget* parent, qint64 callId, const QString& title);
    // Files dropped on the call's row: one question naming the call and the files, then they
    // are added. Answers whether any were.
    static bool attachDropped(qint64 callId, const QString& title, const QStringList& paths);

private:
    void reload();
    void chooseFiles();
    void updateButtons();
    qint64 selectedId() const;
    QString selectedName() const;

    qint64 m_callId;
    QString m_title;
    QTreeWidget* m_list;
    QPushButton* m_add;
    QPushButton* m_open;
    QPushButton* m_save;
    QPushButton* m_remove;
    bool m_mayChange = true;
    bool m_changed = false;
    std::vector<qint64> m_removed; // this window's removals, newest last
};
