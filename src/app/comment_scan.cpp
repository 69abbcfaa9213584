#include "app/comment_scan.h"

#include "data/comments_search.h"
#include "data/connection.h"
#include "data/server_link.h"
#include "data/shared_connection.h"

#include <QThread>

CommentScan::CommentScan(Found found, QObject* parent)
    : QObject(parent), m_found(std::move(found)) {}

CommentScan::~CommentScan() {
    if (m_thread) {
        m_thread->disconnect(this);
        m_thread->wait();
    }
}

void CommentScan::request(const QStringList& words) {
    m_waiting = words;
    if (!m_thread)
        startNext();
}

void CommentScan::startNext() {
    if (m_waiting.isEmpty() || !HasSharedConnection())
        return;
    m_word = m_waiting.takeFirst();
    m_ids.clear();
    Connection& shared = SharedConnection();
    const QString where =
        shared.server() ? shared.server()->uri() : QStringLiteral("data source=") + shared.path();
    m_thread.reset(QThread::create([where, word = m_word, ids = &m_ids] {
        try {
            Connection connection;
            connection.open(where);
            *ids = CallsWithCommentsHolding(connection, word);
        } catch (const std::exception&) {
            // Without the comments, the words are still found in the list's columns.
            ids->clear();
        }
    }));
    connect(m_thread.get(), &QThread::finished, this, &CommentScan::finished);
    m_thread->start();
}

void CommentScan::finished() {
    m_thread->wait();
    m_thread.reset();
    m_found(m_word, std::move(m_ids));
    startNext();
}
