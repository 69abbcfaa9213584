#include "records/change_watch.h"

#include "data/failure.h"
#include "data/server_link.h"

#include <QSocketNotifier>
#include <QStringList>
#include <algorithm>

namespace {
// Announcements within this time after the first of a burst are taken together.
constexpr int kBurstMs = 60;
// The wait before trying a lost server again: the first, doubled after each failed try up to
// the last.
constexpr int kFirstRetryMs = 250;
constexpr int kLastRetryMs = 5000;
} // namespace

ChangeWatch::ChangeWatch(std::function<int()> ours, QObject* parent)
    : QObject(parent), m_ours(std::move(ours)) {
    m_burst.setSingleShot(true);
    m_burst.setInterval(kBurstMs);
    connect(&m_burst, &QTimer::timeout, this, &ChangeWatch::changed);
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        connectLink();
        if (m_link) {
            m_changes.everything = true;
            emit changed();
        }
    });
}

ChangeWatch::~ChangeWatch() {
    stop();
}

ChangeWatch::Changes ChangeWatch::takeChanges() {
    Changes taken = std::move(m_changes);
    m_changes = Changes();
    std::sort(taken.ids.begin(), taken.ids.end());
    taken.ids.erase(std::unique(taken.ids.begin(), taken.ids.end()), taken.ids.end());
    return taken;
}

const char* ChangeWatch::channel() {
    return "calls_changed";
}

void ChangeWatch::start(const QString& uri) {
    stop();
    m_uri = uri;
    connectLink();
}

void ChangeWatch::stop() {
    m_retry.stop();
    m_burst.stop();
    dropLink();
    m_uri.clear();
}

void ChangeWatch::connectLink() {
    if (m_uri.isEmpty())
        return;
    try {
        auto link = std::make_unique<ServerLink>(m_uri, false);
        link->listen(QString::fromLatin1(channel()));
        m_link = std::move(link);
    } catch (const Failure&) {
        retryLater();
        return;
    }
    m_failedTries = 0;
    emit reachable(true);
    m_notifier = new QSocketNotifier(qintptr(m_link->socket()), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ChangeWatch::readAnnouncements);
}

void ChangeWatch::dropLink() {
    delete m_notifier;
    m_notifier = nullptr;
    m_link.reset();
}

void ChangeWatch::readAnnouncements() {
    try {
        QStringList payloads;
        if (!m_link->takeAnnouncements(m_ours ? m_ours() : 0, &payloads))
            return;
        for (const QString& payload : payloads) {
            if (payload.isEmpty())
                m_changes.everything = true;
            for (const QStringView id :
                 QStringView(payload).split(QLatin1Char(','), Qt::SkipEmptyParts))
                m_changes.ids.push_back(id.toLongLong());
        }
        if (!m_burst.isActive())
            m_burst.start();
    } catch (const Failure&) {
        // The server went away: its socket would stay readable, so it is watched no more.
        dropLink();
        m_failedTries = 0;
        retryLater();
    }
}

void ChangeWatch::retryLater() {
    m_retry.start(qMin(kLastRetryMs, kFirstRetryMs << qMin(m_failedTries, 5)));
    ++m_failedTries;
    emit reachable(false);
}
