#include "list/call_list_loader.h"

#include "data/connection.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/server_link.h"
#include "list/call_list_model.h"
#include "records/call_columns.h"

#include "data/shared_connection.h"

#include <QThread>
#include <algorithm>
#include <atomic>

namespace {
constexpr size_t kBatchRows = 8192;
// Batches read ahead of the window; the reader waits beyond this.
constexpr int kQueuedBatches = 8;
} // namespace

struct CallListLoader::Job {
    std::atomic<bool> cancelled{false};
    std::atomic<int> queued{0};
    std::unique_ptr<Connection> connection;
    std::unique_ptr<Recordset> records;
    std::unique_ptr<QThread> thread;
};

CallListLoader::CallListLoader(CallListModel* model, QObject* parent)
    : QObject(parent), m_model(model) {}

CallListLoader::~CallListLoader() {
    // The list may be gone already: only the reader is stopped.
    if (m_job) {
        m_job->cancelled = true;
        m_job->thread->wait();
    }
}

void CallListLoader::cancel() {
    if (!m_job)
        return;
    std::shared_ptr<Job> job = std::move(m_job);
    job->cancelled = true;
    job->thread->wait();
    m_model->finishAppending();
}

CallRowColumns CallRowColumnsOf(const Recordset& records) {
    CallRowColumns indexes{};
    for (int i = 0; i < CallColumns::kCount; ++i) {
        indexes[i] = records.fieldIndex(QString::fromLatin1(CallColumns::kFields[i]));
        if (indexes[i] < 0)
            throw Failure(QStringLiteral("Item cannot be found in the collection corresponding "
                                         "to the requested name or ordinal."));
    }
    return indexes;
}

void AppendCallRow(const Recordset& records, const CallRowColumns& columns, CallRowBatch& batch) {
    const Recordset::Raw id = records.raw(columns[0]);
    if (id.null)
        throw Failure(QStringLiteral("Invalid use of Null"));
    batch.ids.push_back(QByteArray(id.utf8, id.size).toLongLong());
    for (int i = 0; i < CallRowBatch::kFields; ++i) {
        const Recordset::Raw cell = records.raw(columns[i + 1]);
        batch.dateColumns[i] = batch.dateColumns[i] || cell.date;
        if (!cell.null)
            batch.bytes.append(cell.utf8, size_t(cell.size));
        batch.ends.push_back(uint32_t(batch.bytes.size()));
        batch.nulls.push_back(cell.null ? 1 : 0);
    }
}

CallListLoader::Columns CallListLoader::openList(Job& job, const QString& connectionString) {
    job.connection->open(connectionString);
    // The reader's connection is its own: a server's rows come a chunk at a time.
    job.records->open(QStringLiteral("select * from [Calls Extended]"), *job.connection,
                      Recordset::kForwardOnly);
    return CallRowColumnsOf(*job.records);
}

void CallListLoader::start(Connection& shared) {
    cancel();
    // A closed connection fails here, as a read on it would (after a failed open, it may be
    // opened again first).
    shared.ensureOpen();
    if (!shared.server())
        shared.handle();
    auto job = std::make_shared<Job>();
    job->connection = std::make_unique<Connection>();
    job->records = std::make_unique<Recordset>();
    // A server's connection and query take a while before the first row can be read: they go
    // to the reader, so that the window is painted and usable meanwhile (a failure
    // ends the fill). A file's are quick, and fail here.
    const QString server = shared.server() ? shared.server()->uri() : QString();
    Columns indexes{};
    size_t expected = 0;
    if (server.isEmpty()) {
        indexes = openList(*job, QStringLiteral("data source=") + shared.path());
        // The list takes its room at once: growing step by step would need twice its memory
        // while each step copies.
        Recordset count;
        count.open(QStringLiteral("select count(*) from Calls"), *job->connection);
        if (!count.eof())
            expected = size_t(std::max<qint64>(0, count.field(0).toInteger()));
    }
    m_model->clear();
    m_model->reserveRows(expected);
    m_job = job;
    // The reader holds its job weakly (the job owns the thread); the job outlives the thread,
    // since it is released only after the thread has been waited for.
    job->thread.reset(QThread::create([this, weak = std::weak_ptr<Job>(job), indexes, server] {
        const std::shared_ptr<Job> job = weak.lock();
        Recordset& records = *job->records;
        CallRowBatch batch;
        QString failure;
        Columns columns = indexes;
        try {
            if (!server.isEmpty())
                columns = openList(*job, server);
            while (!job->cancelled && !records.eof()) {
                AppendCallRow(records, columns, batch);
                records.moveNext();
                if (batch.ids.size() == kBatchRows) {
                    while (job->queued >= kQueuedBatches && !job->cancelled)
                        QThread::msleep(2);
                    deliver(job, batch);
                }
            }
        } catch (const std::exception& error) {
            const auto* known = dynamic_cast<const Failure*>(&error);
            failure = known ? known->description() : QString::fromLocal8Bit(error.what());
        }
        if (!batch.ids.empty())
            deliver(job, batch);
        end(job, failure);
    }));
    job->thread->start();
}

void CallListLoader::deliver(const std::shared_ptr<Job>& job, CallRowBatch& batch) {
    ++job->queued;
    auto handed = std::make_shared<CallRowBatch>(std::move(batch));
    batch = CallRowBatch();
    QMetaObject::invokeMethod(
        this,
        [this, job, handed] {
            --job->queued;
            if (job == m_job)
                m_model->appendBatch(*handed);
        },
        Qt::QueuedConnection);
}

void CallListLoader::end(const std::shared_ptr<Job>& job, const QString& failure) {
    QMetaObject::invokeMethod(
        this,
        [this, job, failure] {
            if (job != m_job)
                return;
            job->thread->wait();
            // Damage that the reader found keeps the program from writing into the file.
            if (job->connection && job->connection->damaged() && HasSharedConnection())
                SharedConnection().markDamaged();
            m_job.reset();
            m_model->finishAppending();
            emit finished(failure);
        },
        Qt::QueuedConnection);
}
