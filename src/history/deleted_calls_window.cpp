#include "history/deleted_calls_window.h"

#include "data/failure.h"
#include "history/call_history_window.h"
#include "records/deletions.h"
#include "ui/accessible_names.h"
#include "ui/column_fit.h"
#include "ui/prompts.h"
#include "ui/shown_text.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
constexpr int kIdColumn = 2;
constexpr int kTitleColumn = 3;
} // namespace

DeletedCallsWindow::DeletedCallsWindow(Connection& connection, QWidget* parent)
    : QDialog(parent), m_connection(connection) {
    setObjectName(QStringLiteral("DeletedCalls"));
    setWindowTitle(tr("Deleted Calls"));
    auto* layout = new QVBoxLayout(this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("DeletedList"));
    m_list->setAccessibleName(tr("Deleted calls, the newest first"));
    ShowFocusInSelection(m_list);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setHeaderLabels({tr("Deleted"), tr("By"), tr("ID"), tr("Title"), tr("Deleted with")});
    layout->addWidget(m_list);

    auto* buttons = new QDialogButtonBox(this);
    m_restore = buttons->addButton(tr("&Restore"), QDialogButtonBox::ActionRole);
    m_restore->setObjectName(QStringLiteral("RestoreCalls"));
    m_restore->setAccessibleName(tr("Restore the selected calls"));
    m_history = buttons->addButton(tr("&History…"), QDialogButtonBox::ActionRole);
    m_history->setObjectName(QStringLiteral("DeletedCallHistory"));
    m_history->setAccessibleName(tr("Show the history of the selected call"));
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("CloseDeletedCalls"));
    close->setAccessibleName(tr("Close the deleted calls"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_restore, &QPushButton::clicked, this, &DeletedCallsWindow::restoreSelected);
    connect(m_history, &QPushButton::clicked, this, &DeletedCallsWindow::showHistory);
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, [this] {
        m_restore->setEnabled(!m_list->selectedItems().isEmpty());
        m_history->setEnabled(m_list->selectedItems().size() == 1);
    });
    layout->addWidget(buttons);
    // A screen reader hears how many deleted calls there are and which are selected.
    DescribeRowList(m_list, {tr("1 deleted call"), tr("%1 deleted calls"), tr("No deleted calls")},
                    [this](int row) {
                        const QTreeWidgetItem* item = m_list->topLevelItem(row);
                        return tr("call %1, %2").arg(item->text(kIdColumn), item->text(3));
                    });
    fill();
    resize(760, 420);
    // The titles show whole before the other columns.
    FitColumnsWithin(m_list, 3);
}

void DeletedCallsWindow::fill() {
    m_list->clear();
    QList<QTreeWidgetItem*> items;
    for (const Deletions::DeletedCall& call : Deletions::List(m_connection)) {
        // Stored texts show isolated, as the list shows them; the title as stored goes with
        // the row, for the history's caption.
        auto* item = new QTreeWidgetItem(
            QStringList{call.deletedAt, ShownSafely(call.deletedBy), QString::number(call.id),
                        ShownSafely(call.title), ShownSafely(call.deletedWith)});
        item->setData(kTitleColumn, Qt::UserRole, call.title);
        items << item;
    }
    m_list->addTopLevelItems(items);
    m_restore->setEnabled(false);
    m_history->setEnabled(false);
    // The newest deletion is selected, so that Restore and the arrow keys work at once.
    if (!items.isEmpty())
        m_list->setCurrentItem(items.first());
}

void DeletedCallsWindow::restoreSelected() {
    QList<qint64> ids;
    for (const QTreeWidgetItem* item : m_list->selectedItems())
        ids << item->text(kIdColumn).toLongLong();
    if (ids.isEmpty())
        return;
    try {
        m_restored += Deletions::RestoreCalls(m_connection, ids);
    } catch (const Failure& failure) {
        MsgBox(tr("The calls could not be restored; nothing was changed.") +
                   QStringLiteral("\r\n\r\n") + failure.description(),
               Prompts::Exclamation);
        return;
    }
    accept();
}

void DeletedCallsWindow::showHistory() {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.size() != 1)
        return;
    CallHistoryWindow history(m_connection, selected.first()->text(kIdColumn).toLongLong(),
                              selected.first()->data(kTitleColumn, Qt::UserRole).toString(), this);
    CurrentPrompts().showModal(history);
}
