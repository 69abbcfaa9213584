#pragma once

#include "data/backup.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <memory>

class QThread;

// Today's automatic backup of the database, made at start-up on a thread of its own so that
// the window does not wait for it. A backup that cannot be written is reported once, in a
// box, and the program goes on. A backup that fails its integrity check means the database
// is damaged: the copy is kept aside, and the box names the newest sound backup to restore.
class DailyBackup : public QObject {
    Q_OBJECT
public:
    explicit DailyBackup(QObject* parent = nullptr);
    // Waits for a copy still running.
    ~DailyBackup() override;

    // A compact backup unless told otherwise.
    void start(const QString& databasePath, const QDate& today = QDate::currentDate(),
               Backups::Format format = Backups::Format::Compact);
    // Waits until the copy has ended and its outcome was reported.
    void wait();

signals:
    // The backup written (empty when there was one already), or the failure's description.
    void finished(const QString& written, const QString& failure);

private:
    void reportDamage();

    std::unique_ptr<QThread> m_thread;
    QString m_database;
    QString m_written;
    QString m_failure;
    QString m_damage;
    bool m_reported = false;
};
