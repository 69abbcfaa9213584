#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QThread;
class QTimer;

// Looks for words too short for the comments' index in every call's comments, one word at a
// time on a connection of its own in a worker thread, so that the window stays usable while a
// large log is read. Each word's calls are handed to `found` on the window's thread.
//
// Reading every comment takes a while and a processor of its own, so it waits for a pause in
// the typing, and a word that is no longer asked for is not read on: while "p", "pr", "pri"
// are typed, the comments are not read for "p" and "pr".
class CommentScan : public QObject {
    Q_OBJECT
public:
    using Found = std::function<void(const QString& word, std::vector<qint64> ids)>;
    CommentScan(Found found, QObject* parent = nullptr);
    ~CommentScan() override;

    // The words to look for; words asked for before and not read yet are dropped.
    void request(const QStringList& words);
    // Words are waiting or being read.
    bool running() const { return m_thread != nullptr || !m_waiting.isEmpty(); }

private:
    struct Stop;
    void startNext();
    void finished();
    void stopRunning();

    Found m_found;
    QStringList m_waiting;
    QTimer* m_pause;
    std::unique_ptr<QThread> m_thread;
    std::shared_ptr<Stop> m_stop;
    QString m_word;
    std::vector<qint64> m_ids;
};
