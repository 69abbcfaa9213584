#include "app/daily_backup.h"

#include "data/backup.h"
#include "data/failure.h"
#include "ui/prompts.h"

#include <QCoreApplication>
#include <QThread>

DailyBackup::DailyBackup(QObject* parent) : QObject(parent) {}

void DailyBackup::reportDamage() {
    const QString text = QStringLiteral("The database file '%1' is damaged (%2). Today's backup "
                                        "of it failed its check and is kept aside as '%3'; no "
                                        "sound backup was removed. ")
                             .arg(m_database, m_damage, m_written) +
                         Backups::restoreAdvice(m_database);
    MsgBox(text, Prompts::Exclamation);
}

DailyBackup::~DailyBackup() {
    if (m_thread)
        m_thread->wait();
}

void DailyBackup::start(const QString& databasePath, const QDate& today, Backups::Format format) {
    if (m_thread)
        return;
    m_database = databasePath;
    m_thread.reset(QThread::create([this, databasePath, today, format] {
        try {
            m_written = Backups::makeDaily(databasePath, today, &m_damage, format);
        } catch (const Failure& failure) {
            m_failure = failure.description();
        } catch (const std::exception& failure) {
            m_failure = QString::fromLocal8Bit(failure.what());
        }
    }));
    connect(m_thread.get(), &QThread::finished, this, [this] {
        if (m_reported)
            return;
        m_reported = true;
        if (!m_failure.isEmpty())
            MsgBox(QStringLiteral("Today's backup of the database could not be written; the "
                                  "program goes on without it.\r\n\r\n") +
                       m_failure,
                   Prompts::Exclamation);
        else if (!m_damage.isEmpty())
            reportDamage();
        emit finished(m_written, m_failure);
    });
    m_thread->start(QThread::LowPriority);
}

void DailyBackup::wait() {
    if (!m_thread)
        return;
    m_thread->wait();
    QCoreApplication::sendPostedEvents(this);
}
