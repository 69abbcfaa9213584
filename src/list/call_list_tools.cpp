#include "list/call_list_tools.h"

#include "data/failure.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"
#include "list/comment_scan.h"
#include "list/find_bar.h"
#include "list/listed_calls.h"
#include "ui/accessible_names.h"
#include "ui/prompts.h"
#include "ui/save_folder.h"

#include "ui/row_list_view.h"
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QProgressDialog>
#include <QShortcut>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <iterator>

namespace {
constexpr int kBarGap = 4;
} // namespace

CallListTools::CallListTools(QWidget* window, RowListView* list, CallListModel* model,
                             std::function<void()> edit, std::function<void()> remove)
    : QObject(window), m_window(window), m_list(list), m_model(model), m_edit(std::move(edit)),
      m_remove(std::move(remove)) {
    m_bar = new FindBar(list->parentWidget());
    m_bar->hide();
    connect(m_bar, &FindBar::changed, this, &CallListTools::applyFilter);
    m_scan = new CommentScan(
        [this](const QString& word, std::vector<qint64> ids) {
            m_model->setCommentMatches(word, std::move(ids));
            updateCount();
        },
        this);
    connect(m_bar, &FindBar::closeRequested, this, &CallListTools::closeFind);
    // The platform's Find key, and Ctrl+F where that is something else.
    QList<QKeySequence> findKeys = QKeySequence::keyBindings(QKeySequence::Find);
    if (!findKeys.contains(QKeySequence(Qt::CTRL | Qt::Key_F)))
        findKeys << QKeySequence(Qt::CTRL | Qt::Key_F);
    for (const QKeySequence& keys : findKeys) {
        auto* find = new QShortcut(keys, window);
        connect(find, &QShortcut::activated, this, &CallListTools::openFind);
    }
    auto* copy = new QShortcut(QKeySequence::Copy, list);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &CallListTools::copyRows);

    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &CallListTools::showMenu);
    // Shift+F10 opens the menu from the keyboard, as the menu key does.
    auto* menuKey = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), list);
    menuKey->setContext(Qt::WidgetShortcut);
    connect(menuKey, &QShortcut::activated, this, &CallListTools::showMenuAtCurrentRow);
    // A screen reader names the list and hears how many calls it lists and which is selected.
    list->setAccessibleName(tr("Calls"));
    ShowFocusInSelection(list);
    DescribeCallList(
        list, [model] { return model->totalRowCount(); },
        [model](int row) {
            return tr("call %1, %2").arg(model->text(row, 0), model->text(row, 1));
        });
    connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CallListTools::rememberSelection);
    connect(model, &QAbstractItemModel::modelReset, this, &CallListTools::updateCount);
    connect(model, &QAbstractItemModel::layoutChanged, this, &CallListTools::updateCount);

    m_midnight = new QTimer(this);
    m_midnight->setSingleShot(true);
    connect(m_midnight, &QTimer::timeout, this, &CallListTools::updateToday);
    updateToday();
    updateOverdueColor();
}

bool CallListTools::searchingComments() const {
    return m_scan->running();
}

bool CallListTools::findOpen() const {
    return !m_bar->isHidden();
}

void CallListTools::openFind() {
    if (!findOpen()) {
        const std::vector<int> rows = selectedRows();
        m_rememberedId = rows.empty() ? -1 : m_model->idAt(rows.front());
        m_bar->show();
        takeRoom();
        updateCount();
    }
    m_bar->focusText();
}

void CallListTools::closeFind() {
    if (!findOpen())
        return;
    const qint64 id = m_rememberedId;
    m_bar->clear();
    m_model->setFilter(QString(), false);
    releaseRoom();
    m_bar->hide();
    const int row = m_model->rowOfId(id);
    if (row >= 0) {
        const QModelIndex index = m_model->index(row, 0);
        m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        m_list->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
    m_list->setFocus(Qt::OtherFocusReason);
}

void CallListTools::releaseRoom() {
    if (m_fullListHeight < 0)
        return;
    m_list->resize(m_list->width(), m_fullListHeight);
    m_fullListHeight = -1;
}

void CallListTools::takeRoom() {
    if (!findOpen() || m_fullListHeight >= 0)
        return;
    const int barHeight = m_bar->sizeHint().height();
    m_fullListHeight = m_list->height();
    m_list->resize(m_list->width(), std::max(0, m_fullListHeight - barHeight - kBarGap));
    m_bar->setGeometry(m_list->x(), m_list->y() + m_fullListHeight - barHeight, m_list->width(),
                       barHeight);
}

void CallListTools::applyFilter() {
    m_model->setFilter(m_bar->needle(), m_bar->openCallsOnly());
    m_scan->request(m_model->wordsAwaitingComments());
    updateCount();
    const std::vector<int> rows = selectedRows();
    if (!rows.empty())
        m_list->scrollTo(m_model->index(rows.front(), 0));
}

void CallListTools::updateCount() {
    if (findOpen())
        m_bar->setCount(m_model->rowCount(), m_model->totalRowCount(),
                        !m_model->wordsAwaitingComments().isEmpty());
}

void CallListTools::rememberSelection() {
    const std::vector<int> rows = selectedRows();
    if (findOpen() && !rows.empty())
        m_rememberedId = m_model->idAt(rows.front());
}

std::vector<int> CallListTools::selectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : m_list->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CallListTools::copyRows() {
    const std::vector<int> rows = selectedRows();
    if (rows.empty())
        return;
    QApplication::clipboard()->setText(ListedCallsAsTsv(*m_model, rows));
}

void CallListTools::exportRows() {
    std::vector<int> rows = selectedRows();
    if (rows.size() < 2) {
        rows.resize(size_t(m_model->rowCount()));
        for (size_t row = 0; row < rows.size(); ++row)
            rows[row] = int(row);
    }
    QFileDialog dialog(m_window, tr("Export Calls"), SaveFolder(),
                       tr("Comma-separated values (*.csv);;All files (*)"));
    dialog.setObjectName(QStringLiteral("ExportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(tr("calls.csv"));
    CurrentPrompts().showModal(dialog);
    if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();

    QProgressDialog progress(tr("Exporting %n calls…", nullptr, int(rows.size())), tr("Cancel"), 0,
                             int(rows.size()), m_window);
    progress.setObjectName(QStringLiteral("ExportProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    try {
        const bool finished =
            ExportListedCalls(*m_model, rows, SharedConnection(), path, [&](qint64 done, qint64) {
                progress.setValue(int(done));
                return !progress.wasCanceled();
            });
        progress.reset();
        if (finished) {
            RememberSaveFolder(path);
            MsgBox(tr("The calls were exported to:") + QStringLiteral("\r\n\r\n") +
                       QDir::toNativeSeparators(path),
                   Prompts::Information);
        }
    } catch (const Failure& failure) {
        progress.reset();
        MsgBox(tr("The calls could not be exported.") + QStringLiteral("\r\n\r\n") +
                   failure.description(),
               Prompts::Exclamation);
    }
}

void CallListTools::showMenu(const QPoint& position) {
    QMenu menu(m_window);
    menu.setObjectName(QStringLiteral("ListMenu"));
    const bool onRow = m_list->indexAt(position).isValid();
    QAction* find = menu.addAction(tr("&Find…"), this, &CallListTools::openFind);
    find->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    menu.addSeparator();
    QAction* edit = menu.addAction(tr("&Edit"), m_window, [this] { m_edit(); });
    QAction* remove = menu.addAction(tr("&Delete"), m_window, [this] { m_remove(); });
    menu.addSeparator();
    QAction* copy = menu.addAction(tr("&Copy"), this, &CallListTools::copyRows);
    copy->setShortcut(QKeySequence::Copy);
    menu.addAction(tr("E&xport…"), this, &CallListTools::exportRows);
    for (const MenuPlace place : {MenuPlace::AfterExport, MenuPlace::Group, MenuPlace::Last}) {
        if (place != MenuPlace::AfterExport)
            menu.addSeparator();
        for (const Entry& entry : m_entries) {
            if (entry.place != place)
                continue;
            QAction* action = menu.addAction(entry.text, m_window, entry.command);
            action->setShortcut(entry.keys);
            action->setEnabled(onRow || !entry.needsRow);
        }
    }
    edit->setEnabled(onRow);
    remove->setEnabled(onRow);
    copy->setEnabled(!selectedRows().empty());
    menu.exec(m_list->viewport()->mapToGlobal(position));
}

void CallListTools::addEntry(MenuPlace place, const QString& text, const QKeySequence& keys,
                             std::function<void()> command, bool needsRow) {
    if (!keys.isEmpty()) {
        auto* shortcut = new QShortcut(keys, m_window);
        connect(shortcut, &QShortcut::activated, m_window, command);
    }
    m_entries.push_back({place, text, keys, std::move(command), needsRow});
}

void CallListTools::selectIds(const QList<qint64>& ids) {
    const std::vector<int> listed = m_model->rowsOfIds(std::vector<qint64>(ids.begin(), ids.end()));
    std::vector<int> rows;
    std::copy_if(listed.begin(), listed.end(), std::back_inserter(rows),
                 [](int row) { return row >= 0; });
    if (rows.empty())
        return;
    // One selection of runs of rows: selecting thousands of calls one by one would tell every
    // watcher of the selection thousands of times.
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    const int last = m_model->columnCount() - 1;
    for (size_t start = 0; start < rows.size();) {
        size_t end = start;
        while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1)
            ++end;
        selection.select(m_model->index(rows[start], 0), m_model->index(rows[end], last));
        start = end + 1;
    }
    const QModelIndex first =
        m_model->index(listed.front() >= 0 ? listed.front() : rows.front(), 0);
    QItemSelectionModel* model = m_list->selectionModel();
    model->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->scrollTo(first);
}

void CallListTools::showMenuAtCurrentRow() {
    const QModelIndex current = m_list->currentIndex();
    if (current.isValid())
        m_list->scrollTo(current);
    showMenu(current.isValid() ? m_list->visualRect(current).center() : QPoint());
}

void CallListTools::updateOverdueColor() {
    // A red that stands out from the theme's text on its background, light or dark.
    const bool dark = m_list->palette().color(QPalette::Base).lightness() < 128;
    m_model->setOverdueColor(dark ? QColor(0xff, 0x80, 0x76) : QColor(0xc0, 0x10, 0x10));
}

void CallListTools::updateToday() {
    m_model->setToday(QDate::currentDate());
    scheduleMidnight();
}

void CallListTools::scheduleMidnight() {
    const QDateTime now = QDateTime::currentDateTime();
    const qint64 untilMidnight = now.msecsTo(now.date().addDays(1).startOfDay());
    m_midnight->start(int(std::clamp<qint64>(untilMidnight + 1000, 1000, 3600 * 1000)));
}

void CallListTools::setFileDrop(std::function<void(qint64, const QStringList&)> drop) {
    m_drop = std::move(drop);
    m_dropTarget = m_list->viewport();
    m_dropTarget->setAcceptDrops(true);
    m_dropTarget->installEventFilter(this);
}

namespace {
// The local files a drag carries; empty for anything else.
QStringList droppedFiles(const QMimeData* data) {
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}
} // namespace

bool CallListTools::eventFilter(QObject* watched, QEvent* event) {
    // The viewport is compared as it was when the drop was set up: while the list is taken
    // down it still has events, and the list may no longer be asked for it.
    if (watched != m_dropTarget || !m_drop)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (droppedFiles(drag->mimeData()).isEmpty())
            return false;
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList paths = droppedFiles(drop->mimeData());
        if (paths.isEmpty())
            return false;
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        const QModelIndex index = m_list->indexAt(drop->position().toPoint());
        const qint64 id = index.isValid() ? m_model->idAt(index.row()) : -1;
        // The question comes once the drag has ended, not while the desktop waits for it.
        QTimer::singleShot(0, m_window, [drop = m_drop, id, paths] { drop(id, paths); });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
