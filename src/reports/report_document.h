#pragma once

#include "reports/report_layouts.h"
#include "reports/report_rows.h"

#include <QFont>
#include <QPageSize>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>
#include <memory>
#include <vector>

// One text placed on a page: a line of a label or text box, already cut to fit its box.
struct PageText {
    QRect box;       // in twips from the top-left corner of the paper
    QString text;    // as printed, on one line
    int font;        // index into the layout's fonts
    QString control; // name of the control that printed it
};

// A band placed on a page; `row` is the row of a detail band, -1 for the other bands.
struct PlacedBand {
    QString name;
    int top;
    int height;
    int row;
};

// What one page shows: everything the preview, the printer and PDF draw.
struct ReportPage {
    QVector<PlacedBand> bands;
    QVector<PageText> texts;
};

// The paper that reports are printed on when nobody chooses: Letter where the locale measures
// in inches (the United States and Canada), A4 everywhere else.
QPageSize DefaultPaperSize();

// A layout filled with rows and cut into pages. Pagination happens at once and only computes
// where each page starts; a page's texts are made when that page is asked for, so that a
// report of thousands of pages takes little time and memory until it is drawn.
//
// Report header on the first page, page header at the top and page footer at the bottom of
// every page, one detail band per row, report footer after the last row. A growing text box
// makes its band taller; a band that does not fit moves to the next page, and one that does
// not fit on a page of its own continues its growing box on the next pages.
class ReportDocument {
public:
    ReportDocument(ReportLayout layout, ReportRows rows,
                   const QPageSize& paper = DefaultPaperSize());

    const ReportLayout& layout() const { return m_layout; }
    const ReportRows& rows() const { return m_rows; }
    const QPageSize& paper() const { return m_paper; }
    // The size of the paper in twips, turned for landscape layouts.
    QSize paperSize() const { return m_paperSize; }

    int pageCount() const { return int(m_starts.size()); }
    ReportPage page(int index) const;

    // The font of the layout's font `index`, sized for drawing in twips.
    QFont font(int index) const;

    // Free space left and right of the text inside its box, in twips.
    static constexpr int kTextPadding = 30;

private:
    // Where a page begins: the row, the first line of that row's growing box still to print,
    // and whether everything including the report footer is printed.
    struct Cursor {
        int row = 0;
        int line = 0;
        bool done = false;
    };
    class Measure;

    Cursor layoutPage(int index, Cursor at, ReportPage* out) const;
    void placeBand(ReportLayout::Section section, int top, int row, ReportPage* out) const;
    void placeDetail(int top, int row, int firstLine, int lineCount, bool fixedPart,
                     ReportPage* out) const;
    // The lines of the growing box of `row`. A long text spans many pages, each of which asks
    // for its lines: the lines of the last row asked for are kept, so that laying out a text
    // takes time in proportion to its length, not to its length times its pages.
    const QStringList& growingLines(int row) const;

    ReportLayout m_layout;
    ReportRows m_rows;
    QPageSize m_paper;
    QSize m_paperSize;
    std::shared_ptr<Measure> m_measure;
    // The detail band's growing box, its column, and the number of lines it takes per row.
    int m_growing = -1;
    int m_growingColumn = -1;
    int m_lineHeight = 0;
    std::vector<int> m_lineCounts;
    std::vector<Cursor> m_starts;
    mutable int m_linesRow = -1;
    mutable QStringList m_lines;
};
