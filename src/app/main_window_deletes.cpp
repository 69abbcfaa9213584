// Deleting calls from the main window: the selected call after the usual question, or several
// selected calls together after one question that counts them.
#include "app/main_window.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"
#include "records/deletions.h"
#include "ui/changed_elsewhere.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"
#include "ui/shown_text.h"

#include <QItemSelectionModel>
#include <algorithm>

QStringList Form1::selectedIds() const {
    QList<int> rows;
    for (const QModelIndex& index : ListView1->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QStringList ids;
    for (int row : rows)
        ids << m_calls->text(row, 0);
    return ids;
}

void Form1::PushButton3_Click() {
    ErrorTrap trap("Form1", "PushButton3_Click");
    const CommandRunning running(m_commands);
    if (trap.test(100, [&] { return m_calls->rowCount() == 0; }))
        return;
    // Without a selected row there is nothing to delete.
    const int row = selectedRow();
    if (row < 0)
        return;
    const QStringList ids = selectedIds();
    if (ids.size() > 1) {
        deleteCalls(trap, ids, row);
        return;
    }
    const QString id = m_calls->text(row, 0);
    const QString title = m_calls->text(row, 1);
    if (trap.test(102, [&] {
            return MsgBox(QStringLiteral("Are you sure you want to delete [") + ShownSafely(title) +
                              QStringLiteral("]?"),
                          Prompts::YesNo | Prompts::DefaultButton2) == Prompts::No;
        }))
        return;
    trap.run(104, [&] {
        int deleted = 0;
        // Kept, so that it can be undone.
        Deletions::Run(SharedConnection(), [&] {
            SharedConnection().execute(QStringLiteral("delete from Calls where ID=") + id);
            deleted = SharedConnection().rowsAffected();
        });
        // Someone else deleted it since the list was read.
        if (deleted == 0)
            MsgBox(AlreadyDeletedText(title), Prompts::Exclamation);
    });
    trap.run(106, [&] { RefreshCalls({id.toLongLong()}); });
    // The row that took the deleted call's place is selected (the call itself, when the
    // delete failed).
    trap.run(108, [&] { reselect(id, row); });
}

void Form1::deleteCalls(ErrorTrap& trap, const QStringList& ids, int row) {
    if (trap.test(102, [&] {
            return MsgBox(QStringLiteral("Are you sure you want to delete these %1 calls?")
                              .arg(ids.size()),
                          Prompts::YesNo | Prompts::DefaultButton2) != Prompts::Yes;
        }))
        return;
    // All of them or none: a failure leaves every call where it was.
    trap.run(104, [&] {
        Deletions::Run(SharedConnection(), [&] {
            SharedConnection().execute(QStringLiteral("delete from Calls where ID in (") +
                                       ids.join(QLatin1Char(',')) + QLatin1Char(')'));
        });
    });
    trap.run(106, [&] {
        std::vector<qint64> gone;
        for (const QString& id : ids)
            gone.push_back(id.toLongLong());
        RefreshCalls(gone);
    });
    trap.run(108, [&] { reselect(ids.first(), row); });
}
