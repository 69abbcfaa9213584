#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

class CallListModel;
class Connection;
class Recordset;

// Rows of the call list read off the window's thread, handed over in batches: the ID and the
// eleven shown fields of each row as the engine's bytes.
struct CallRowBatch {
    static constexpr int kFields = 11;
    std::array<bool, kFields> dateColumns{};
    std::vector<qint64> ids;
    std::string bytes;
    std::vector<uint32_t> ends; // kFields per row: where each field's bytes end
    std::vector<uint8_t> nulls; // kFields per row
};

// The indexes of the ID and the eleven shown fields in a reading of [Calls Extended]; a missing
// field fails.
using CallRowColumns = std::array<int, CallRowBatch::kFields + 1>;
CallRowColumns CallRowColumnsOf(const Recordset& records);
// Adds the current row of `records` to `batch`.
void AppendCallRow(const Recordset& records, const CallRowColumns& columns, CallRowBatch& batch);

// Fills the call list on a second connection in a worker thread, so that the window is painted
// and usable while a large list is read. Starting again, or a rebuild of the list by other
// means, replaces a fill that is still running.
class CallListLoader : public QObject {
    Q_OBJECT
public:
    explicit CallListLoader(CallListModel* model, QObject* parent = nullptr);
    ~CallListLoader() override;

    // Clears the list and starts reading the database that `shared` has open. What fails at
    // once (a closed connection, a missing query) throws here.
    void start(Connection& shared);
    // Stops a running fill; the rows handed over so far stay.
    void cancel();
    bool running() const { return m_job != nullptr; }

signals:
    // The fill has ended; `failure` is empty when every row was read.
    void finished(const QString& failure);

private:
    struct Job;
    using Columns = CallRowColumns;
    // Opens the job's connection and its reading of the list; fails as they fail.
    static Columns openList(Job& job, const QString& connectionString);
    void deliver(const std::shared_ptr<Job>& job, CallRowBatch& batch);
    void end(const std::shared_ptr<Job>& job, const QString& failure);

    CallListModel* m_model;
    std::shared_ptr<Job> m_job;
};
