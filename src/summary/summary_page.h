#pragma once

#include "records/call_summary.h"

#include <QWidget>

class QChart;
class QChartView;
class QLabel;
class QTableWidget;

// One page that shows a call summary: the key figures in words, then four charts (open calls
// by status, by assigned employee and by priority; calls opened and resolved per week). The
// charts take the colours of the palette, show their numbers on the bars and name them on
// hover. The same page is shown in the summary window and written to PDF and PNG.
class SummaryPage : public QWidget {
    Q_OBJECT
public:
    // The size at which the page is laid out for files (landscape, about A4's proportions).
    static QSize fileSize() { return QSize(1123, 794); }

    explicit SummaryPage(QWidget* parent = nullptr);

    void setSummary(const CallSummary& summary);
    const CallSummary& summary() const { return m_summary; }
    // The key figures as one line of text.
    QString figures() const;
    // Every number behind the charts: section, name, calls.
    void fillTable(QTableWidget* table) const;

    // Writes the page laid out at fileSize() to a PDF or a PNG file. Failures throw.
    void writePdf(const QString& path);
    void writePng(const QString& path);

protected:
    void changeEvent(QEvent* event) override;

private:
    void paintCharts();
    QChart* countChart(const QString& title, const std::vector<CallSummary::Count>& counts,
                       bool horizontal);
    QChart* weeksChart();
    void styleChart(QChart* chart);

    CallSummary m_summary;
    QLabel* m_title;
    QLabel* m_figures;
    QChartView* m_views[4];
};

// Writes the summary of the calls in `connection` as a PDF page (from the command line).
class Connection;
void WriteSummaryPdf(Connection& connection, const QString& path);
