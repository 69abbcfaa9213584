#pragma once

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QThread;

// Looks for words too short for the comments' index in every call's comments, one word at a
// time on a connection of its own in a worker thread, so that the window stays usable while a
// large log is read. Each word's calls are handed to `found` on the window's thread.
class CommentScan : public QObject {
    Q_OBJECT
public:
    using Found = std::function<void(const QString& word, std::vector<qint64> ids)>;
    CommentScan(Found found, QObject* parent = nullptr);
    ~CommentScan() override;

    // The words to look for; words asked for before and not begun yet are dropped.
    void request(const QStringList& words);
    bool running() const { return m_thread != nullptr; }

private:
    void startNext();
    void finished();

    Found m_found;
    QStringList m_waiting;
    std::unique_ptr<QThread> m_thread;
    QString m_word;
    std::vector<qint64> m_ids;
};
