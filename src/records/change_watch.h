#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class ServerLink;

// Listens on the database server for changes of the listed calls made at other desks (the
// server announces every statement that changes the calls or the people they name) and
// announces them, a burst of them as one. It keeps a connection of its own that does nothing
// else, so no announcement is swallowed by a statement of the desk's. A lost connection is
// tried again, soon at first and then less often (up to every few seconds); once it is back,
// a change is announced, since changes may have been missed meanwhile.
class ChangeWatch : public QObject {
    Q_OBJECT
public:
    // `ours` answers the server's number of this desk's own connection (ServerLink::backendId),
    // whose changes the desk lists by itself and are not announced.
    explicit ChangeWatch(std::function<int()> ours, QObject* parent = nullptr);
    ~ChangeWatch() override;

    // Starts listening on the server that `uri` names. Never fails: a server that cannot be
    // reached is tried again later.
    void start(const QString& uri);
    void stop();
    // Listening now (connected).
    bool listening() const { return m_link != nullptr; }

    // The channel on which the server announces changes of the calls.
    static const char* channel();

    // What changed since the last call: every call (the people's names changed, a change
    // was missed, or the server names no calls), or the calls `ids` only.
    struct Changes {
        bool everything = false;
        std::vector<qint64> ids;
    };
    Changes takeChanges();

signals:
    void changed();
    // The server could be reached (again), or could not.
    void reachable(bool reached);

private:
    void connectLink();
    void dropLink();
    void readAnnouncements();
    void retryLater();

    std::function<int()> m_ours;
    QString m_uri;
    std::unique_ptr<ServerLink> m_link;
    QSocketNotifier* m_notifier = nullptr;
    QTimer m_burst;
    Changes m_changes;
    QTimer m_retry;
    int m_failedTries = 0;
};
