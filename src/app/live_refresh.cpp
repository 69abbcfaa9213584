#include "app/live_refresh.h"

#include "app/main_window.h"
#include "data/connection.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/server_link.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"
#include "records/change_watch.h"
#include "ui/appearance.h"
#include "ui/error_trap.h"

#include "ui/row_list_view.h"
#include <QApplication>
#include <QScrollBar>
#include <QSet>
#include <QThread>

namespace {
// How often a postponed change looks whether the person is done.
constexpr int kWaitMs = 150;
// How often the local file is looked at for another window's changes.
constexpr int kFileWatchMs = 500;
// More calls named than this are read with the whole list, on the worker thread.
constexpr size_t kMostInPlace = 2000;

int ourBackend() {
    if (!HasSharedConnection())
        return 0;
    const ServerLink* server = SharedConnection().server();
    return server ? server->backendId() : 0;
}
} // namespace

LiveRefresh::LiveRefresh(Form1* window)
    : QObject(window), m_window(window), m_watch(new ChangeWatch(ourBackend, this)) {
    connect(m_watch, &ChangeWatch::changed, this, &LiveRefresh::changedElsewhere);
    connect(m_watch, &ChangeWatch::reachable, this, &LiveRefresh::serverReachable);
    m_wait.setSingleShot(true);
    m_wait.setInterval(kWaitMs);
    connect(&m_wait, &QTimer::timeout, this, &LiveRefresh::step);
    m_fileWatch.setInterval(kFileWatchMs);
    connect(&m_fileWatch, &QTimer::timeout, this, &LiveRefresh::checkFile);
}

LiveRefresh::~LiveRefresh() {
    stop();
}

void LiveRefresh::start(const QString& uri) {
    m_uri = uri;
    m_watch->start(uri);
}

void LiveRefresh::watchFile(const QString& connectionString) {
    m_uri = connectionString;
    m_dataVersion = -1;
    checkFile();
    m_fileWatch.start();
}

void LiveRefresh::checkFile() {
    if (!HasSharedConnection())
        return;
    qint64 version = -1;
    Quietly([&] {
        Recordset records;
        records.open(QStringLiteral("PRAGMA data_version"), SharedConnection(),
                     Recordset::kForwardOnly, Recordset::kReadOnly);
        version = records.field(0).toInteger();
    });
    if (version < 0)
        return;
    const bool changed = m_dataVersion >= 0 && version != m_dataVersion;
    m_dataVersion = version;
    if (changed) {
        markPending(true, {});
        step();
    }
}

void LiveRefresh::serverReachable(bool reached) {
    // The caption says so while the server cannot be reached.
    const QString caption = reached ? kProductTitle
                                    : QStringLiteral("%1 - cannot reach the database server %2")
                                          .arg(kProductTitle, ServerLink::displayed(m_uri));
    if (m_window->windowTitle() != caption)
        m_window->setWindowTitle(caption);
    if (!reached || !HasSharedConnection())
        return;
    // The desk's own connection comes back with it, before the person's next command.
    Quietly([] {
        Connection& connection = SharedConnection();
        if (ServerLink* server = connection.server()) {
            server->reconnect();
        } else {
            connection.allowRetry();
            connection.ensureOpen();
        }
    });
}

void LiveRefresh::stop() {
    m_watch->stop();
    m_fileWatch.stop();
    m_wait.stop();
    m_pending = false;
    if (m_reader) {
        m_reader->disconnect(this);
        m_reader->wait();
        m_reader.reset();
    }
    dropRead();
}

bool LiveRefresh::watching() const {
    return m_watch->listening();
}

void LiveRefresh::changedElsewhere() {
    const ChangeWatch::Changes changes = m_watch->takeChanges();
    markPending(changes.everything, changes.ids);
    step();
}

void LiveRefresh::markPending(bool everything, const std::vector<qint64>& ids) {
    if (!m_pending) {
        m_pending = true;
        m_pendingLoads = m_window->loadCount();
        m_pendingEverything = false;
        m_pendingIds.clear();
    }
    m_pendingEverything = m_pendingEverything || everything;
    m_pendingIds.insert(m_pendingIds.end(), ids.begin(), ids.end());
}

bool LiveRefresh::personBusy() const {
    return QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
           QApplication::mouseButtons() != Qt::NoButton || m_window->commandRunning() ||
           m_window->listFilling();
}

void LiveRefresh::step() {
    if (m_reader)
        return; // readingDone() comes back here
    if (m_ready) {
        // A rebuild of the window's own since the reading began has listed the calls anew.
        if (m_window->changeCount() != m_readLoads) {
            // A rebuild lists every change; a refresh of some calls may have come after this
            // reading began and missed the others' change: it is read again.
            const bool rebuilt = m_window->loadCount() != m_readFullLoads;
            dropRead();
            if (!rebuilt)
                markPending(true, {});
        } else if (personBusy()) {
            m_wait.start();
            return;
        } else {
            adopt();
        }
    }
    if (!m_pending)
        return;
    // A rebuild of the window's own since the change was seen has listed it.
    if (m_window->loadCount() != m_pendingLoads) {
        m_pending = false;
        return;
    }
    // The calls named are read and put in place at once, on the window's thread: a few rows.
    if (!m_pendingEverything && m_pendingIds.size() <= kMostInPlace) {
        if (personBusy()) {
            m_wait.start();
            return;
        }
        m_pending = false;
        const std::vector<qint64> ids = std::move(m_pendingIds);
        m_pendingIds.clear();
        ErrorTrap trap("Form1", "LoadCalls");
        trap.run(100, [&] { m_window->RefreshCalls(ids); });
        ++m_rebuilds;
        return;
    }
    m_pending = false;
    m_pendingIds.clear();
    startReading();
}

void LiveRefresh::startReading() {
    if (m_uri.isEmpty())
        return;
    m_readLoads = m_window->changeCount();
    m_readFullLoads = m_window->loadCount();
    m_readFailure.clear();
    m_read = std::make_unique<CallListModel>();
    m_reader.reset(QThread::create([uri = m_uri, read = m_read.get(), failure = &m_readFailure] {
        try {
            Connection connection;
            connection.open(uri);
            Recordset records;
            records.open(QStringLiteral("select * from [Calls Extended]"), connection,
                         Recordset::kForwardOnly);
            read->appendFrom(records);
        } catch (const Failure& error) {
            *failure = error.description();
        } catch (const std::exception& error) {
            *failure = QString::fromLocal8Bit(error.what());
        }
    }));
    connect(m_reader.get(), &QThread::finished, this, &LiveRefresh::readingDone);
    m_reader->start();
}

void LiveRefresh::readingDone() {
    m_reader->wait();
    m_reader.reset();
    if (!m_readFailure.isEmpty()) {
        const QString failure = m_readFailure;
        dropRead();
        ErrorTrap trap("Form1", "LoadCalls");
        trap.run(100, [&] { throw Failure(failure); });
        return;
    }
    m_ready = true;
    step();
}

void LiveRefresh::dropRead() {
    m_ready = false;
    m_read.reset();
}

void LiveRefresh::adopt() {
    RowListView* list = m_window->ListView1;
    CallListModel* model = m_window->callList();
    QItemSelectionModel* selection = list->selectionModel();
    // What the person sees: the calls selected, the current one, the call at the top.
    QSet<qint64> selected;
    for (const QModelIndex& index : selection->selectedRows())
        selected.insert(model->idAt(index.row()));
    const QModelIndex current = selection->currentIndex();
    const qint64 currentId = current.isValid() ? model->idAt(current.row()) : -1;
    const int scrolled = list->verticalScrollBar()->value();
    const QModelIndex top = list->indexAt(QPoint(0, 0));
    const qint64 topId = scrolled > 0 && top.isValid() ? model->idAt(top.row()) : -1;
    const int across = list->horizontalScrollBar()->value();

    model->adoptRows(*m_read);
    dropRead();
    model->refreshAttachments();
    ++m_rebuilds;

    int currentRow = -1;
    int topRow = -1;
    QItemSelection rows;
    const int lastColumn = model->columnCount() - 1;
    for (int row = 0, count = model->rowCount(); row < count; ++row) {
        const qint64 id = model->idAt(row);
        if (id == currentId)
            currentRow = row;
        if (id == topId)
            topRow = row;
        if (selected.contains(id))
            rows.select(model->index(row, 0), model->index(row, lastColumn));
    }
    // A call deleted elsewhere leaves no selection behind: no other call is chosen unasked.
    if (currentRow >= 0)
        selection->setCurrentIndex(model->index(currentRow, 0), QItemSelectionModel::NoUpdate);
    selection->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (topRow >= 0)
        list->scrollTo(model->index(topRow, 0), QAbstractItemView::PositionAtTop);
    else
        list->verticalScrollBar()->setValue(scrolled);
    list->horizontalScrollBar()->setValue(across);
}
