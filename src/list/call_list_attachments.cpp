// The paper clip of the calls that have attachments, and their names in the Title's tooltip.
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"
#include "records/attachment_store.h"
#include "ui/paper_clip.h"
#include "ui/shown_text.h"

#include <QIcon>
#include <QStringList>
#include <QTextDocument>

namespace {
// Calls looked up by their IDs rather than all at once.
constexpr size_t kCallsLookedUpByIds = 500;
} // namespace

void CallListModel::refreshAttachments(const std::vector<qint64>* ids) {
    if (!HasSharedConnection() || (ids && ids->empty()))
        return;
    const bool few = ids && ids->size() <= kCallsLookedUpByIds;
    QString sql =
        QStringLiteral("select distinct CallID from Attachments where [Removed At] is null");
    if (few) {
        QStringList listed;
        for (qint64 id : *ids)
            listed << QString::number(id);
        sql += QStringLiteral(" and CallID in (%1)").arg(listed.join(QLatin1Char(',')));
    }
    std::unordered_set<qint64> found;
    try {
        Recordset records;
        records.open(sql, SharedConnection());
        while (!records.eof()) {
            found.insert(records.field(0).toInteger());
            records.moveNext();
        }
    } catch (const std::exception&) {
        // The mark is no place to report a failure: the list itself reports its own.
        return;
    }
    if (few) {
        for (qint64 id : *ids) {
            if (found.count(id))
                m_attached.insert(id);
            else
                m_attached.erase(id);
        }
    } else {
        m_attached.swap(found);
    }
    if (rowCount() > 0)
        emit dataChanged(index(0, kTitleColumn), index(rowCount() - 1, kTitleColumn),
                         {Qt::DecorationRole, Qt::ToolTipRole});
}

bool CallListModel::hasAttachments(int row) const {
    return !m_attached.empty() && m_attached.count(idAt(row)) > 0;
}

QVariant CallListModel::paperClip(int row) const {
    if (!hasAttachments(row))
        return QVariant();
    return PaperClipIcon();
}

QString CallListModel::withAttachmentNames(int row, const QString& tip) const {
    if (!hasAttachments(row) || !HasSharedConnection())
        return tip;
    QStringList names;
    try {
        for (const Attachments::Attachment& one : Attachments::List(SharedConnection(), idAt(row)))
            names << ShownSafely(one.name);
    } catch (const std::exception&) {
        return tip;
    }
    if (names.isEmpty())
        return tip;
    const QString line = tr("Attachments: %1").arg(names.join(QStringLiteral(", ")));
    // Names are shown as typed: one that looks like markup is escaped, never taken for it.
    static const QString escapedStart = QStringLiteral("<p style=\"white-space:pre-wrap\">");
    if (tip.startsWith(escapedStart))
        return tip.chopped(4) + QLatin1Char('\n') + line.toHtmlEscaped() + QStringLiteral("</p>");
    const QString whole = tip.isEmpty() ? line : tip + QLatin1Char('\n') + line;
    if (Qt::mightBeRichText(whole))
        return escapedStart + whole.toHtmlEscaped() + QStringLiteral("</p>");
    return whole;
}
