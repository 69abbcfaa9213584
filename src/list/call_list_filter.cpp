// Finding in the call list and the overdue calls: the parts of the list's model that are
// not needed to show every row as read.
#include "data/date_text.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "list/call_list_model.h"
#include "list/find_bar.h"
#include "records/comments_search.h"
#include "ui/shown_text.h"

#include <QTextDocument>
#include <algorithm>
#include <cstdio>
#include <string_view>

namespace {
// How much of a call's comments its row's tooltip shows.
constexpr int kTipLength = 300;
} // namespace

namespace {
// The most words a find looks for; further ones are left out.
constexpr int kMostWords = 32;

bool digitsOnly(const QString& text) {
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}
} // namespace

std::vector<qint64> CallListModel::commentsHolding(const QString& word,
                                                   const std::vector<qint64>* among) const {
    if (m_commentSearch)
        return m_commentSearch(word, among);
    if (!HasSharedConnection())
        return {};
    try {
        return CallsWithCommentsHolding(SharedConnection(), word, among);
    } catch (const std::exception&) {
        // Without the comments' index the list's own columns are still searched.
        return {};
    }
}

void CallListModel::setFilter(const QString& text, bool openOnly) {
    QStringList raw = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (raw.size() > kMostWords)
        raw = raw.mid(0, kMostWords);
    QStringList words;
    for (const QString& word : raw)
        words << FoldForFind(word);
    const bool filtering = !words.isEmpty() || openOnly;
    if (filtering == m_filtering && words == m_words && raw == m_rawWords && openOnly == m_openOnly)
        return;
    // The comments are searched again only for the words that changed. Those of a word too
    // short for the index are read elsewhere (see setCommentMatches) and awaited meanwhile.
    std::vector<std::vector<qint64>> comments(size_t(raw.size()));
    QStringList awaiting;
    for (int i = 0; i < raw.size(); ++i) {
        const bool same =
            i < m_rawWords.size() && raw[i].compare(m_rawWords[i], Qt::CaseInsensitive) == 0;
        if (same)
            comments[size_t(i)] = std::move(m_commentIds[size_t(i)]);
        else if (!m_commentSearch && raw[i].size() < kShortestIndexedWord)
            awaiting << raw[i];
        else
            comments[size_t(i)] = commentsHolding(raw[i]);
        if (same && m_awaiting.contains(raw[i], Qt::CaseInsensitive))
            awaiting << raw[i];
    }
    // Typing on narrows the rows listed: only they, and only the texts that held the shorter
    // words, can hold the longer ones. Rows found without the comments of a word still
    // awaited lack those that its comments hold: a longer word narrows them only while its
    // comments are awaited too, else every row is tested again.
    bool narrowing = m_filtering && filtering && openOnly == m_openOnly &&
                     words.size() == m_words.size() && !words.isEmpty();
    for (int i = 0; narrowing && i < words.size(); ++i) {
        // The comments are matched as typed, the columns folded: both must narrow.
        narrowing = words[i].contains(m_words[i]) &&
                    raw[i].contains(m_rawWords[i], Qt::CaseInsensitive) &&
                    (!m_awaiting.contains(m_rawWords[i], Qt::CaseInsensitive) ||
                     awaiting.contains(raw[i], Qt::CaseInsensitive));
    }
    m_awaiting = awaiting;
    relayout([&] {
        m_words = words;
        m_digitWords = 0;
        for (int i = 0; i < words.size(); ++i) {
            if (digitsOnly(words[i]))
                m_digitWords |= 1u << i;
        }
        m_rawWords = raw;
        m_commentIds = std::move(comments);
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

void CallListModel::setCommentMatches(const QString& word, std::vector<qint64> ids) {
    if (!m_awaiting.contains(word, Qt::CaseInsensitive))
        return;
    m_awaiting.removeAll(word);
    std::sort(ids.begin(), ids.end());
    for (int i = 0; i < m_rawWords.size(); ++i) {
        if (m_rawWords[i].compare(word, Qt::CaseInsensitive) == 0)
            m_commentIds[size_t(i)] = ids;
    }
    relayout([this] { applyFilter(); });
}

uint32_t CallListModel::allWords() const {
    return m_words.size() >= 32 ? ~0u : (1u << m_words.size()) - 1;
}

uint32_t CallListModel::wordsIn(const QString& folded) const {
    uint32_t mask = 0;
    for (int i = 0; i < m_words.size(); ++i) {
        if (folded.contains(m_words[i]))
            mask |= 1u << i;
    }
    return mask;
}

void CallListModel::applyFilter() {
    compactCells();
    // Which words each distinct text of each column holds; each text is folded once.
    for (int column = 0; column < kPooled; ++column) {
        std::vector<QString>& folded = m_folded[column];
        const StringPool& pool = m_pools[column];
        for (size_t id = folded.size(); id < pool.size(); ++id)
            folded.push_back(FoldForFind(pool.text(uint32_t(id))));
        std::vector<uint32_t>& matches = m_poolMatches[column];
        matches.assign(folded.size(), 0);
        if (m_words.isEmpty())
            continue;
        for (size_t id = 0; id < folded.size(); ++id)
            matches[id] = wordsIn(folded[id]);
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
    compactCells();
    for (int column = 0; column < kPooled; ++column) {
        const std::vector<QString>& folded = m_folded[column];
        std::vector<uint32_t>& matches = m_poolMatches[column];
        for (size_t id = 0; id < matches.size(); ++id) {
            if (matches[id])
                matches[id] &= wordsIn(folded[id]);
        }
    }
    size_t kept = 0;
    for (const uint32_t stored : m_shown) {
        if (rowMatches(stored))
            m_shown[kept++] = stored;
    }
    m_shown.resize(kept);
}

uint32_t CallListModel::wordsInColumns(uint32_t stored) const {
    uint32_t mask = 0;
    for (int column = 0; column < kPooled; ++column)
        mask |= m_poolMatches[column][cell(stored, column)];
    // The ID is digits only: only a word of digits can be found in it.
    if ((m_digitWords & ~mask) == 0)
        return mask;
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%lld", (long long)m_ids[stored]);
    const std::string_view id(digits, size_t(length));
    for (int i = 0; i < m_words.size(); ++i) {
        const uint32_t bit = 1u << i;
        if (!(mask & bit) && (m_digitWords & bit) && m_words[i].size() <= length &&
            id.find(m_words[i].toLatin1().constData()) != std::string_view::npos)
            mask |= bit;
    }
    return mask;
}

bool CallListModel::rowMatches(uint32_t stored) const {
    const int resolved = kResolvedDateColumn - 1;
    if (m_openOnly && !m_pools[resolved].text(cell(stored, resolved)).isEmpty())
        return false;
    if (m_words.isEmpty())
        return true;
    uint32_t mask = wordsInColumns(stored);
    const uint32_t all = allWords();
    for (size_t i = 0; mask != all && i < m_commentIds.size(); ++i) {
        const uint32_t bit = 1u << i;
        if (!(mask & bit) &&
            std::binary_search(m_commentIds[i].begin(), m_commentIds[i].end(), m_ids[stored]))
            mask |= bit;
    }
    return mask == all;
}

QString CallListModel::wordFoundInCommentsOnly(int row) const {
    if (!m_filtering || m_words.isEmpty() || row < 0 || row >= rowCount())
        return QString();
    const uint32_t mask = wordsInColumns(storageRow(row));
    for (int i = 0; i < m_words.size(); ++i) {
        if (!(mask & (1u << i)))
            return m_rawWords[i];
    }
    return QString();
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
    // A call found by its comments alone shows where they hold the word.
    const QString word = wordFoundInCommentsOnly(row);
    const QString part = CommentsAround(comments, word, kTipLength);
    if (!part.isEmpty())
        comments = tr("Found in the comments: %1").arg(part);
    else if (comments.size() > kTipLength)
        comments = comments.left(kTipLength).trimmed() + QChar(0x2026);
    comments = ShownSafely(comments);
    // A tooltip takes a text that looks like markup for markup ("<b>" would turn bold, a
    // picture tag would load the file it names): such comments are shown as escaped text.
    if (Qt::mightBeRichText(comments))
        return QStringLiteral("<p style=\"white-space:pre-wrap\">") + comments.toHtmlEscaped() +
               QStringLiteral("</p>");
    return comments;
}
