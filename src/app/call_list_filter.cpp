// Finding in the call list and the overdue calls: the parts of the list's model that are
// not needed to show every row as read.
#include "app/call_list_model.h"
#include "app/find_bar.h"
#include "data/date_text.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "ui/shown_text.h"

#include <QTextDocument>
#include <cstdio>
#include <string_view>

namespace {
// How much of a call's comments its row's tooltip shows.
constexpr int kTipLength = 300;
} // namespace

void CallListModel::setFilter(const QString& needle, bool openOnly) {
    const bool filtering = !needle.isEmpty() || openOnly;
    if (filtering == m_filtering && needle == m_needle && openOnly == m_openOnly)
        return;
    // Typing on narrows the rows listed: only they, and only the texts that held the shorter
    // needle, can hold the longer one.
    const bool narrowing = m_filtering && filtering && openOnly == m_openOnly &&
                           !m_needle.isEmpty() && needle.contains(m_needle);
    relayout([&] {
        m_needle = needle;
        m_openOnly = openOnly;
        m_filtering = filtering;
        if (narrowing) {
            narrowFilter();
        } else if (filtering) {
            applyFilter();
        } else {
            m_shown.clear();
            m_shown.shrink_to_fit();
        }
    });
}

void CallListModel::applyFilter() {
    // Which distinct texts of each column hold the needle; each text is folded once.
    for (int column = 0; column < kPooled; ++column) {
        std::vector<QString>& folded = m_folded[column];
        const StringPool& pool = m_pools[column];
        for (size_t id = folded.size(); id < pool.size(); ++id)
            folded.push_back(FoldForFind(pool.text(uint32_t(id))));
        std::vector<uint8_t>& matches = m_poolMatches[column];
        matches.assign(folded.size(), 0);
        if (m_needle.isEmpty())
            continue;
        for (size_t id = 0; id < folded.size(); ++id)
            matches[id] = folded[id].contains(m_needle) ? 1 : 0;
    }
    const size_t rows = m_ids.size();
    m_shown.clear();
    m_shown.reserve(rows);
    for (size_t row = 0; row < rows; ++row) {
        const uint32_t stored = m_order.empty() ? uint32_t(row) : m_order[row];
        if (rowMatches(stored))
            m_shown.push_back(stored);
    }
}

void CallListModel::narrowFilter() {
    for (int column = 0; column < kPooled; ++column) {
        const std::vector<QString>& folded = m_folded[column];
        std::vector<uint8_t>& matches = m_poolMatches[column];
        for (size_t id = 0; id < matches.size(); ++id) {
            if (matches[id])
                matches[id] = folded[id].contains(m_needle) ? 1 : 0;
        }
    }
    size_t kept = 0;
    for (const uint32_t stored : m_shown) {
        if (rowMatches(stored))
            m_shown[kept++] = stored;
    }
    m_shown.resize(kept);
}

bool CallListModel::rowMatches(uint32_t stored) const {
    const int resolved = kResolvedDateColumn - 1;
    if (m_openOnly && !m_pools[resolved].text(cell(stored, resolved)).isEmpty())
        return false;
    if (m_needle.isEmpty())
        return true;
    for (int column = 0; column < kPooled; ++column) {
        if (m_poolMatches[column][cell(stored, column)])
            return true;
    }
    // The ID is digits only: only a needle of digits can be found in it.
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%lld", (long long)m_ids[stored]);
    const QByteArray needle = m_needle.toLatin1();
    return m_needle.size() <= length &&
           std::string_view(digits, size_t(length)).find(needle.constData()) !=
               std::string_view::npos;
}

int CallListModel::rowOfId(qint64 id) const {
    const int rows = rowCount();
    for (int row = 0; row < rows; ++row) {
        if (m_ids[storageRow(row)] == id)
            return row;
    }
    return -1;
}

qint64 CallListModel::idAt(int row) const {
    return row >= 0 && row < rowCount() ? m_ids[storageRow(row)] : -1;
}

void CallListModel::setToday(const QDate& today) {
    if (today == m_today)
        return;
    m_today = today;
    if (rowCount() > 0)
        emit dataChanged(index(0, kDueDateColumn), index(rowCount() - 1, kDueDateColumn));
}

void CallListModel::setOverdueColor(const QColor& color) {
    m_overdueColor = color;
    if (rowCount() > 0)
        emit dataChanged(index(0, kDueDateColumn), index(rowCount() - 1, kDueDateColumn),
                         {Qt::ForegroundRole});
}

bool CallListModel::overdue(int row) const {
    if (!m_today.isValid() || row < 0 || row >= rowCount())
        return false;
    const uint32_t stored = storageRow(row);
    const int resolved = kResolvedDateColumn - 1;
    if (!m_pools[resolved].text(cell(stored, resolved)).isEmpty())
        return false;
    const int due = kDueDateColumn - 1;
    const uint32_t entry = cell(stored, due);
    if (m_dueDays.size() < m_pools[due].size())
        m_dueDays.resize(m_pools[due].size(), 0);
    qint64& day = m_dueDays[entry];
    if (day == 0) {
        const std::optional<QDateTime> date = DateText::parse(m_pools[due].text(entry));
        day = date ? date->date().toJulianDay() : -1;
    }
    return day > 0 && day < m_today.toJulianDay();
}

QString CallListModel::commentsTip(int row) const {
    const qint64 id = idAt(row);
    if (id < 0 || !HasSharedConnection())
        return QString();
    QString comments;
    try {
        Recordset records;
        records.open(QStringLiteral("select Comments from Calls where ID=") + QString::number(id),
                     SharedConnection());
        if (!records.eof())
            comments = records.field(0).joined().trimmed();
    } catch (const std::exception&) {
        return QString(); // a tooltip is no place to report a failure
    }
    if (comments.size() > kTipLength)
        comments = comments.left(kTipLength).trimmed() + QChar(0x2026);
    comments = ShownSafely(comments);
    // A tooltip takes a text that looks like markup for markup ("<b>" would turn bold, a
    // picture tag would load the file it names): such comments are shown as escaped text.
    if (Qt::mightBeRichText(comments))
        return QStringLiteral("<p style=\"white-space:pre-wrap\">") + comments.toHtmlEscaped() +
               QStringLiteral("</p>");
    return comments;
}
