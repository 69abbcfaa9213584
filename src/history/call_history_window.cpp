#include "history/call_history_window.h"

#include "records/call_history.h"
#include "ui/accessible_names.h"
#include "ui/column_fit.h"
#include "ui/shown_text.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

CallHistoryWindow::CallHistoryWindow(Connection& connection, qint64 id, const QString& title,
                                     QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("CallHistory"));
    setWindowTitle(tr("History of call %1: %2").arg(id).arg(ShownSafely(title)));
    auto* layout = new QVBoxLayout(this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("HistoryList"));
    m_list->setAccessibleName(tr("Changes of the call, newest first"));
    ShowFocusInSelection(m_list);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setHeaderLabels({tr("When"), tr("By"), tr("Field"), tr("Before"), tr("After")});
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* close = buttons->button(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("CloseHistory"));
    close->setAccessibleName(tr("Close the history"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    QList<QTreeWidgetItem*> items;
    for (const CallChange& change : ReadCallHistory(connection, id)) {
        // A long comment shows on one line; the whole of it is in the tooltip. Stored texts
        // show isolated, as the list shows them.
        const auto line = [](const QString& text) {
            return ShownSafely(QString(text)
                                   .replace(QLatin1Char('\n'), QLatin1Char(' '))
                                   .remove(QLatin1Char('\r')));
        };
        auto* item =
            new QTreeWidgetItem(QStringList{change.when, ShownSafely(change.who), change.field,
                                            line(change.before), line(change.after)});
        item->setToolTip(3, ShownSafely(change.before));
        item->setToolTip(4, ShownSafely(change.after));
        items << item;
    }
    m_list->addTopLevelItems(items);
    resize(760, 420);
    FitColumnsWithin(m_list, -1);
    // The newest change is selected, so that the arrow keys move from it; a screen reader
    // hears how many changes there are and which is selected.
    DescribeRowList(m_list, {tr("1 change"), tr("%1 changes"), tr("No changes")}, [this](int row) {
        const QTreeWidgetItem* item = m_list->topLevelItem(row);
        return tr("%1, by %2, %3").arg(item->text(2), item->text(1), item->text(0));
    });
    if (!items.isEmpty())
        m_list->setCurrentItem(items.first());
}
