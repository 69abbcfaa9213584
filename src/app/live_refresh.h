#pragma once

#include <QObject>
#include <QTimer>

class ChangeWatch;
class Form1;

// Keeps the main window's call list up to date with the calls that other desks add, change
// and delete on the database server: the list is rebuilt with the same calls selected, the
// same sort and find filter and, where the call at the top is still listed, the same place.
// Nothing is rebuilt while the person is busy (a window or box open over the main window, a
// command running, a menu open, a mouse button held, the list still filling); the rebuild
// follows once they are done, unless the list was rebuilt meanwhile anyway.
class LiveRefresh : public QObject {
    Q_OBJECT
public:
    explicit LiveRefresh(Form1* window);
    ~LiveRefresh() override;

    // Starts watching the server that `uri` names.
    void start(const QString& uri);
    void stop();
    bool watching() const;

private:
    void changedElsewhere();
    void rebuildWhenFree();
    bool personBusy() const;
    void rebuild();

    Form1* m_window;
    ChangeWatch* m_watch;
    QTimer m_wait;
    bool m_pending = false;
    int m_loadsBefore = 0;
};
