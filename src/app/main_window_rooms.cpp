// The main window's wiring between rooms: the commands of the history, exchange and summary
// rooms in the list's context menu, with their keys.
#include "app/main_window.h"

#include "data/failure.h"
#include "exchange/attachments_window.h"
#include "exchange/import_window.h"
#include "exchange/mail_drop.h"
#include "history/call_recovery.h"
#include "list/call_list_model.h"
#include "list/call_list_tools.h"
#include "summary/summary_window.h"
#include "ui/prompts.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

void Form1::addRoomCommands() {
    using Place = CallListTools::MenuPlace;
    m_tools->addEntry(
        Place::AfterExport, tr("&Import calls…"), QKeySequence(Qt::CTRL | Qt::Key_I),
        [this] { importCalls(); }, false);
    m_recovery =
        new CallRecovery({this, m_calls, m_tools, &m_commands, [this] { return selectedRow(); },
                          [this](const std::vector<qint64>& ids) { RefreshCalls(ids); }});
    m_tools->addEntry(
        Place::Group, tr("&Attachments…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
        [this] { showAttachments(); }, true);
    m_tools->setFileDrop([this](qint64 id, const QStringList& paths) { dropFiles(id, paths); });
    setAcceptDrops(true);
    m_tools->addEntry(
        Place::Last, tr("&Summary…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M),
        [this] { openSummary(); }, false);
}

void Form1::undoDelete() {
    m_recovery->undoDelete();
}

void Form1::showHistory() {
    m_recovery->showHistory();
}

void Form1::showDeletedCalls() {
    m_recovery->showDeletedCalls();
}

void Form1::selectIds(const QList<qint64>& ids) {
    m_tools->selectIds(ids);
}

void Form1::importCalls() {
    if (ImportWindow::importFile(this) <= 0)
        return;
    try {
        LoadCalls();
    } catch (const Failure& failure) {
        MsgBox(failure.description(), Prompts::Exclamation);
    }
}

void Form1::showAttachments() {
    const int row = selectedRow();
    if (row < 0)
        return;
    const qint64 id = m_calls->idAt(row);
    if (AttachmentsWindow::showFor(this, id, m_calls->text(row, 1)))
        RefreshCalls({id});
}

void Form1::dropFiles(qint64 id, const QStringList& paths) {
    // Mail dropped beside the calls becomes calls; anything dropped on a call is attached.
    if (id < 0) {
        if (!MailDrop::AreMail(paths))
            return;
        const std::vector<qint64> calls = MailDrop::ImportDropped(paths, this);
        if (calls.empty())
            return;
        RefreshCalls(calls);
        selectIds(QList<qint64>(calls.begin(), calls.end()));
        return;
    }
    const int row = m_calls->rowOfId(id);
    if (row < 0)
        return;
    if (AttachmentsWindow::attachDropped(id, m_calls->text(row, 1), paths))
        RefreshCalls({id});
}

namespace {
// The local files a drag carries; empty for anything else.
QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data ? data->urls() : QList<QUrl>()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}
} // namespace

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Form1::dropEvent(QDropEvent* event) {
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    // The question comes once the drag has ended, not while the desktop waits for it.
    QTimer::singleShot(0, this, [this, paths] { dropFiles(-1, paths); });
}

void Form1::openSummary() {
    if (!m_summary)
        m_summary = new SummaryWindow(m_calls, this);
    m_summary->show();
    m_summary->raise();
    m_summary->activateWindow();
}

SummaryWindow* Form1::summaryWindow() const {
    return m_summary;
}
