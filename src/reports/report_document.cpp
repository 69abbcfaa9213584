#include "reports/report_document.h"

#include "ui/shown_text.h"

#include <QFontMetricsF>
#include <QLocale>
#include <algorithm>
#include <cmath>

namespace {

// Single-line boxes show line breaks and tabs as blanks.
QString oneLine(QString text) {
    for (QChar& c : text) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    return text;
}

} // namespace

// Text measures in twips. Wrapping sums cached advances of single characters, which is fast
// enough to wrap every row of a large report while paginating; the lines it makes are the
// lines that are drawn, so the preview, the printer and PDF break them alike.
class ReportDocument::Measure {
public:
    explicit Measure(const QVector<QFont>& fonts) {
        for (const QFont& font : fonts)
            m_metrics.emplace_back(font);
        m_advances.resize(m_metrics.size());
    }

    double lineSpacing(int font) const { return m_metrics.at(font).lineSpacing(); }

    QString elided(int font, const QString& text, double width) {
        // Most texts fit by far; summing cached advances tells so without shaping the text.
        double sum = 0;
        for (const QChar c : text) {
            if (c.isSurrogate() || c.unicode() >= 0x0300) {
                sum = -1;
                break;
            }
            sum += advance(font, c);
        }
        if (sum >= 0 && sum <= width * 0.95)
            return text;
        const QFontMetricsF& metrics = m_metrics.at(font);
        // No box is wide enough for more than a few hundred characters: a text of thousands
        // is cut before it is measured, so that a huge value costs no more than a long one.
        constexpr int kLongest = 2000;
        if (text.size() > kLongest) {
            const int cut = text.at(kLongest - 1).isHighSurrogate() ? kLongest - 1 : kLongest;
            return metrics.elidedText(text.left(cut), Qt::ElideRight, width);
        }
        if (metrics.horizontalAdvance(text) <= width)
            return text;
        return metrics.elidedText(text, Qt::ElideRight, width);
    }

    // Breaks `text` into lines no wider than `width`: at line breaks, else after the last
    // blank that fits, else (a word longer than the line) between two characters. Answers the
    // number of lines; fills `lines` when given.
    int wrap(int font, const QString& text, double width, QStringList* lines) {
        int count = 0;
        auto addLine = [&](int from, int to) {
            ++count;
            if (lines)
                *lines << oneLine(text.mid(from, to - from));
        };
        const int n = int(text.size());
        int start = 0;
        while (start < n) {
            int end = start;
            double used = 0;
            int lastBlank = -1;
            bool broke = false;
            while (end < n) {
                const QChar c = text.at(end);
                if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                    break;
                // A pair of surrogates is one character.
                const int length =
                    (c.isHighSurrogate() && end + 1 < n && text.at(end + 1).isLowSurrogate()) ? 2
                                                                                              : 1;
                if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
                    lastBlank = end;
                    used += advance(font, QLatin1Char(' '));
                    ++end;
                    continue;
                }
                const double w = length == 2
                                     ? m_metrics.at(font).horizontalAdvance(text.mid(end, 2))
                                     : advance(font, c);
                if (used + w > width && end > start) {
                    if (lastBlank > start) {
                        addLine(start, lastBlank);
                        end = lastBlank + 1;
                    } else {
                        addLine(start, end);
                    }
                    while (end < n && text.at(end) == QLatin1Char(' '))
                        ++end;
                    broke = true;
                    break;
                }
                used += w;
                end += length;
            }
            if (broke) {
                start = end;
                continue;
            }
            addLine(start, end);
            // One line break ends the line; "\r\n" counts once.
            if (end < n && text.at(end) == QLatin1Char('\r'))
                ++end;
            if (end < n && text.at(end) == QLatin1Char('\n'))
                ++end;
            start = end;
            // A text that ends with a line break has no empty last line.
        }
        return count;
    }

private:
    double advance(int font, QChar c) {
        std::vector<float>& cache = m_advances[font];
        if (cache.empty())
            cache.assign(0x10000, -1.f);
        float& w = cache[c.unicode()];
        if (w < 0)
            w = float(m_metrics.at(font).horizontalAdvance(c));
        return w;
    }

    std::vector<QFontMetricsF> m_metrics;
    std::vector<std::vector<float>> m_advances;
};

QPageSize DefaultPaperSize() {
    const QLocale locale;
    const bool inches = locale.measurementSystem() == QLocale::ImperialUSSystem ||
                        locale.territory() == QLocale::Canada;
    return QPageSize(inches ? QPageSize::Letter : QPageSize::A4);
}

ReportDocument::ReportDocument(ReportLayout layout, ReportRows rows, const QPageSize& paper)
    : m_layout(std::move(layout)), m_rows(std::move(rows)), m_paper(paper) {
    const QSizeF millimetres = m_paper.size(QPageSize::Millimeter);
    QSize twips(qRound(millimetres.width() * 1440 / 25.4),
                qRound(millimetres.height() * 1440 / 25.4));
    if (m_layout.landscape != (twips.width() > twips.height()))
        twips.transpose();
    m_paperSize = twips;

    QVector<QFont> fonts;
    for (int i = 0; i < m_layout.fonts.size(); ++i)
        fonts << font(i);
    m_measure = std::make_shared<Measure>(fonts);

    const ReportBand& detail = m_layout.band(ReportLayout::Detail);
    for (int i = 0; i < detail.controls.size(); ++i) {
        if (detail.controls[i].canGrow && detail.controls[i].kind == ReportControl::TextBox) {
            m_growing = i;
            break;
        }
    }
    if (m_growing >= 0) {
        const ReportControl& box = detail.controls[m_growing];
        m_growingColumn = m_rows.columnIndex(box.column);
        m_lineHeight = int(std::ceil(m_measure->lineSpacing(box.font)));
        m_lineCounts.resize(size_t(m_rows.rowCount()));
        const double width = box.width - 2 * kTextPadding;
        for (int row = 0; row < m_rows.rowCount(); ++row)
            m_lineCounts[size_t(row)] =
                m_measure->wrap(box.font, m_rows.text(row, m_growingColumn), width, nullptr);
    }

    Cursor at;
    while (!at.done) {
        m_starts.push_back(at);
        at = layoutPage(int(m_starts.size()) - 1, at, nullptr);
    }
}

QFont ReportDocument::font(int index) const {
    const ReportFont& spec = m_layout.fonts.at(index);
    QFont font(spec.family);
    // A point is twenty twips: sized in twips, the font draws alike on every device.
    font.setPixelSize(qRound(spec.points * 20));
    font.setBold(spec.bold);
    font.setItalic(spec.italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

ReportPage ReportDocument::page(int index) const {
    ReportPage page;
    if (index >= 0 && index < pageCount())
        layoutPage(index, m_starts[size_t(index)], &page);
    return page;
}

const QStringList& ReportDocument::growingLines(int row) const {
    if (row == m_linesRow)
        return m_lines;
    m_lines.clear();
    m_linesRow = -1;
    const ReportControl& box = m_layout.band(ReportLayout::Detail).controls[m_growing];
    m_measure->wrap(box.font, m_rows.text(row, m_growingColumn), box.width - 2 * kTextPadding,
                    &m_lines);
    m_linesRow = row;
    return m_lines;
}

void ReportDocument::placeBand(ReportLayout::Section section, int top, int row,
                               ReportPage* out) const {
    if (!out)
        return;
    const ReportBand& band = m_layout.band(section);
    out->bands.append({band.name, top, band.height, row});
    for (const ReportControl& control : band.controls) {
        const QString text =
            control.kind == ReportControl::Label
                ? control.caption
                : ShownSafely(m_rows.text(row, m_rows.columnIndex(control.column)));
        const QRect box(m_layout.leftMargin + control.left, top + control.top, control.width,
                        control.height);
        out->texts.append(
            {box, m_measure->elided(control.font, oneLine(text), control.width - 2 * kTextPadding),
             control.font, control.name});
    }
}

// Places the detail band of `row` at `top`: its fixed controls when `fixedPart`, and the lines
// [firstLine, firstLine + lineCount) of its growing box. Without the fixed part the lines start
// at `top` itself (a growing box continued from the previous page).
void ReportDocument::placeDetail(int top, int row, int firstLine, int lineCount, bool fixedPart,
                                 ReportPage* out) const {
    if (!out)
        return;
    const ReportBand& band = m_layout.band(ReportLayout::Detail);
    if (m_growing < 0) {
        placeBand(ReportLayout::Detail, top, row, out);
        return;
    }
    const ReportControl& box = band.controls[m_growing];
    const int lines = m_lineCounts[size_t(row)];
    const int boxHeight = std::max(box.height, lines * m_lineHeight);
    const int growth = boxHeight - box.height;
    out->bands.append({band.name, top, band.height + growth, row});
    if (fixedPart) {
        for (int i = 0; i < band.controls.size(); ++i) {
            const ReportControl& control = band.controls[i];
            if (i == m_growing)
                continue;
            // Controls below the growing box move down with its growth.
            const int shift = control.top >= box.top + box.height ? growth : 0;
            const QString text =
                control.kind == ReportControl::Label
                    ? control.caption
                    : ShownSafely(m_rows.text(row, m_rows.columnIndex(control.column)));
            const QRect place(m_layout.leftMargin + control.left, top + control.top + shift,
                              control.width, control.height);
            out->texts.append(
                {place,
                 m_measure->elided(control.font, oneLine(text), control.width - 2 * kTextPadding),
                 control.font, control.name});
        }
    }
    const int linesTop = fixedPart ? top + box.top : top;
    const int left = m_layout.leftMargin + box.left;
    if (lines == 0) {
        out->texts.append(
            {QRect(left, linesTop, box.width, box.height), QString(), box.font, box.name});
        return;
    }
    const QStringList& all = growingLines(row);
    for (int i = firstLine; i < firstLine + lineCount && i < all.size(); ++i) {
        out->texts.append(
            {QRect(left, linesTop + (i - firstLine) * m_lineHeight, box.width, m_lineHeight),
             ShownSafely(all[i]), box.font, box.name});
    }
}

ReportDocument::Cursor ReportDocument::layoutPage(int index, Cursor at, ReportPage* out) const {
    using S = ReportLayout::Section;
    const ReportBand& detail = m_layout.band(S::Detail);
    const ReportBand& footer = m_layout.band(S::ReportFooter);
    const int bottom =
        m_paperSize.height() - m_layout.bottomMargin - m_layout.band(S::PageFooter).height;
    int y = m_layout.topMargin;
    if (index == 0) {
        placeBand(S::ReportHeader, y, -1, out);
        y += m_layout.band(S::ReportHeader).height;
    }
    placeBand(S::PageHeader, y, -1, out);
    y += m_layout.band(S::PageHeader).height;

    const ReportControl* box = m_growing >= 0 ? &detail.controls[m_growing] : nullptr;
    bool anyDetail = false;
    bool full = false;
    while (at.row < m_rows.rowCount() && !full) {
        const int lines = box ? m_lineCounts[size_t(at.row)] : 0;
        const int growth = box ? std::max(0, lines * m_lineHeight - box->height) : 0;
        // Space the band keeps below its growing box.
        const int tail = box ? detail.height - box->top - box->height : 0;
        if (at.line > 0) {
            // The rest of a growing box begun on an earlier page.
            const int left = lines - at.line;
            const int fit = std::max(1, (bottom - y) / m_lineHeight);
            const int count = std::min(left, fit);
            placeDetail(y, at.row, at.line, count, false, out);
            y += count * m_lineHeight;
            anyDetail = true;
            if (count < left) {
                at.line += count;
                full = true;
            } else {
                y += tail;
                ++at.row;
                at.line = 0;
            }
            continue;
        }
        const int height = detail.height + growth;
        if (y + height <= bottom) {
            placeDetail(y, at.row, 0, lines, true, out);
            y += height;
            ++at.row;
            anyDetail = true;
            continue;
        }
        if (anyDetail) {
            full = true;
            continue;
        }
        // Alone on its page and still too tall: the growing box continues on the next page.
        if (box && lines > 0 && y + box->top + m_lineHeight <= bottom) {
            const int count = (bottom - y - box->top) / m_lineHeight;
            placeDetail(y, at.row, 0, count, true, out);
            at.line = count;
            anyDetail = true;
            full = true;
            continue;
        }
        // A band taller than any page is printed as far as the page goes.
        placeDetail(y, at.row, 0, lines, true, out);
        y += height;
        ++at.row;
        anyDetail = true;
    }
    if (at.row >= m_rows.rowCount() && at.line == 0) {
        // A report footer without controls shows nothing: it never starts a page of its own.
        if (y + footer.height <= bottom || !anyDetail) {
            placeBand(S::ReportFooter, y, -1, out);
            at.done = true;
        } else if (footer.controls.isEmpty()) {
            at.done = true;
        }
    }
    placeBand(S::PageFooter, bottom, -1, out);
    return at;
}
