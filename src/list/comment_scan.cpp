#include "list/comment_scan.h"

#include "data/connection.h"
#include "data/server_link.h"
#include "data/shared_connection.h"
#include "records/comments_search.h"

#include <QThread>
#include <QTimer>
#include <mutex>

namespace {
// How long the typing must pause before the comments are read: about the time between two
// keys of someone typing a word.
constexpr int kPauseMs = 250;
} // namespace

// The connection of the running search, for stopping it from the window's thread.
struct CommentScan::Stop {
    std::mutex mutex;
    Connection* connection = nullptr;
    bool stopped = false;
};

CommentScan::CommentScan(Found found, QObject* parent)
    : QObject(parent), m_found(std::move(found)), m_pause(new QTimer(this)) {
    m_pause->setSingleShot(true);
    m_pause->setInterval(kPauseMs);
    connect(m_pause, &QTimer::timeout, this, [this] {
        if (!m_thread)
            startNext();
    });
}

CommentScan::~CommentScan() {
    if (m_thread) {
        m_thread->disconnect(this);
        stopRunning();
        m_thread->wait();
    }
}

void CommentScan::request(const QStringList& words) {
    m_waiting = words;
    if (m_thread && !m_stop->stopped) {
        // The word being read is read to its end only while it is still asked for.
        if (m_waiting.contains(m_word, Qt::CaseInsensitive))
            m_waiting.removeAll(m_word);
        else
            stopRunning();
    }
    if (!m_waiting.isEmpty())
        m_pause->start();
}

void CommentScan::stopRunning() {
    const std::lock_guard<std::mutex> lock(m_stop->mutex);
    m_stop->stopped = true;
    if (m_stop->connection)
        StopCommentsSearch(*m_stop->connection);
}

void CommentScan::startNext() {
    if (m_waiting.isEmpty() || !HasSharedConnection())
        return;
    m_word = m_waiting.takeFirst();
    m_ids.clear();
    Connection& shared = SharedConnection();
    const QString where =
        shared.server() ? shared.server()->uri() : QStringLiteral("data source=") + shared.path();
    m_stop = std::make_shared<Stop>();
    m_thread.reset(QThread::create([where, word = m_word, ids = &m_ids, stop = m_stop] {
        try {
            Connection connection;
            connection.open(where);
            // Known to the window's thread while it reads, so that it can be stopped.
            struct Registered {
                Registered(Stop& stop, Connection* connection) : m_stop(stop) {
                    const std::lock_guard<std::mutex> lock(m_stop.mutex);
                    m_stop.connection = connection;
                    stopped = m_stop.stopped;
                }
                ~Registered() {
                    const std::lock_guard<std::mutex> lock(m_stop.mutex);
                    m_stop.connection = nullptr;
                }
                Stop& m_stop;
                bool stopped = false;
            } registered(*stop, &connection);
            if (!registered.stopped)
                *ids = CallsWithCommentsHolding(connection, word);
        } catch (const std::exception&) {
            // Stopped, or without the comments: the words are still found in the list's
            // columns.
            ids->clear();
        }
    }));
    connect(m_thread.get(), &QThread::finished, this, &CommentScan::finished);
    m_thread->start();
}

void CommentScan::finished() {
    m_thread->wait();
    m_thread.reset();
    // A stopped search found only part of the calls: they are not handed on.
    if (!m_stop->stopped)
        m_found(m_word, std::move(m_ids));
    m_stop.reset();
    if (!m_pause->isActive())
        startNext();
}
