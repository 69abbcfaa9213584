#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <vector>

class CallListModel;
class ChangeWatch;
class Form1;
class QThread;

// Keeps the main window's call list up to date with the calls that other desks add, change
// and delete on the database server, or that another window commits to the same local file. The
// calls that the server names as changed are read again and put in place; when it names none (the
// people's names changed, or very many calls), every call is read on a connection of its own in a
// worker thread, so the window stays usable however many there are, and they take the place of the
// listed ones at once. Either way the same calls stay selected, with the same sort and find filter
// and, where the call at the top is still listed, the same place. Nothing changes while the person
// is busy (a window or box open over the main window, a command running, a menu open, a mouse
// button held, the list still filling); the rows follow once they are done, unless the list was
// rebuilt meanwhile anyway.
class LiveRefresh : public QObject {
    Q_OBJECT
public:
    explicit LiveRefresh(Form1* window);
    ~LiveRefresh() override;

    // Starts watching the server that `uri` names.
    void start(const QString& uri);
    // Starts watching the local file that `connectionString` names for the changes another
    // copy of the program (or another program) commits to it: the engine's data version,
    // looked at twice a second, which only a change by another connection moves.
    void watchFile(const QString& connectionString);
    void stop();
    bool watching() const;
    // How many times the list took the calls read after a change elsewhere.
    int rebuilds() const { return m_rebuilds; }

private:
    void changedElsewhere();
    void checkFile();
    void markPending(bool everything, const std::vector<qint64>& ids);
    void serverReachable(bool reached);
    void step();
    bool personBusy() const;
    void startReading();
    void readingDone();
    void dropRead();
    void adopt();

    Form1* m_window;
    QString m_uri;
    ChangeWatch* m_watch;
    QTimer m_wait;
    QTimer m_fileWatch;
    qint64 m_dataVersion = -1;
    // A change seen and not read yet, and the window's count of rebuilds when it was seen.
    bool m_pending = false;
    int m_pendingLoads = 0;
    // Every call changed, or only those named.
    bool m_pendingEverything = false;
    std::vector<qint64> m_pendingIds;
    // The reading, and the calls read, waiting to be listed.
    std::unique_ptr<QThread> m_reader;
    std::unique_ptr<CallListModel> m_read;
    QString m_readFailure;
    int m_readLoads = 0; // the window's count of changes when the reading began
    int m_readFullLoads = 0;
    bool m_ready = false;
    int m_rebuilds = 0;
};
