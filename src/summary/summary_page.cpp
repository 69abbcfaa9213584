#include "summary/summary_page.h"

#include "data/date_text.h"
#include "data/date_typing.h"
#include "data/failure.h"
#include "ui/shown_text.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGridLayout>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTableWidget>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>

namespace {

// Lays the page out at `size` off the screen, so that the charts place their bars, labels and
// legends before the page is drawn into a file.
void layOutOffScreen(QWidget* page, const QSize& size) {
    if (!page->isVisible()) {
        page->setAttribute(Qt::WA_DontShowOnScreen);
        page->resize(size);
        page->show();
    }
    // The charts place their labels and legends as they are first drawn.
    for (int pass = 0; pass < 2; ++pass) {
        page->grab();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// The employees shown by name; the others are counted together.
constexpr int kAssigneesShown = 12;

bool darkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

// Bar colours that stand out on the palette's background, light or dark.
QColor barColor(const QPalette& palette, int set) {
    if (set == 0)
        return palette.color(QPalette::Highlight);
    return darkPalette(palette) ? QColor(0xf0, 0xa0, 0x50) : QColor(0xc0, 0x60, 0x10);
}

// An axis of counts: from 0 to a little above the largest, in whole steps of 1, 2 or 5 times a
// power of ten, at most five of them, so that every mark is a whole number.
void countAxis(QValueAxis* axis, qint64 largest) {
    const qint64 top = std::max<qint64>(1, largest + largest / 6 + 1);
    qint64 step = 1;
    for (qint64 power = 1; top > step * 5; power *= 10) {
        for (const qint64 factor : {1, 2, 5}) {
            step = factor * power;
            if (top <= step * 5)
                break;
        }
    }
    const qint64 steps = (top + step - 1) / step;
    axis->setRange(0, double(steps * step));
    axis->setTickCount(int(steps) + 1);
    axis->setLabelFormat(QStringLiteral("%d"));
}

// A name under a bar: shown safely and cut to a length a chart can lay out (the chart cuts a
// long label one character at a time, which takes minutes for a text of thousands), kept
// apart from the labels before it, since a chart axis lists each label once. The table
// shows every name whole.
QString chartLabel(const QString& name, const QStringList& before) {
    constexpr int kLongest = 60;
    QString label = name;
    if (label.size() > kLongest) {
        const int cut = label.at(kLongest - 2).isHighSurrogate() ? kLongest - 2 : kLongest - 1;
        label = label.left(cut) + QChar(0x2026);
    }
    label = ShownSafely(label);
    const QString cutLabel = label;
    for (int same = 2; before.contains(label); ++same)
        label = cutLabel + QStringLiteral(" (%1)").arg(same);
    return label;
}

QString daysText(double days) {
    return QObject::tr("%1 days").arg(QLocale().toString(days, 'f', days == int(days) ? 0 : 1));
}

} // namespace

SummaryPage::SummaryPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("SummaryPage"));
    auto* layout = new QVBoxLayout(this);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("SummaryTitle"));
    QFont big = m_title->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    m_title->setFont(big);
    m_figures = new QLabel(this);
    m_figures->setObjectName(QStringLiteral("SummaryFigures"));
    m_figures->setWordWrap(true);
    m_figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_title);
    layout->addWidget(m_figures);
    auto* grid = new QGridLayout;
    const char* names[] = {"StatusChart", "AssigneeChart", "PriorityChart", "WeeksChart"};
    const char* spoken[] = {"Open calls by status", "Open calls by assigned employee",
                            "Open calls by priority", "Calls opened and resolved per week"};
    for (int i = 0; i < 4; ++i) {
        m_views[i] = new QChartView(this);
        m_views[i]->setObjectName(QString::fromLatin1(names[i]));
        m_views[i]->setAccessibleName(tr(spoken[i]));
        m_views[i]->viewport()->setAccessibleName(tr(spoken[i]));
        m_views[i]->setRenderHint(QPainter::Antialiasing);
        m_views[i]->setMinimumSize(240, 180);
        grid->addWidget(m_views[i], i / 2, i % 2);
    }
    layout->addLayout(grid, 1);
}

QString SummaryPage::figures() const {
    QString text =
        tr("Open calls: %1. Overdue: %2.")
            .arg(QLocale().toString(m_summary.open), QLocale().toString(m_summary.overdue));
    if (m_summary.medianDays)
        text += QLatin1Char(' ') + tr("Median time from opened to resolved: %1 (%2 calls resolved "
                                      "in the last %3 weeks).")
                                       .arg(daysText(*m_summary.medianDays),
                                            QLocale().toString(m_summary.resolvedInWeeks))
                                       .arg(CallSummary::kWeeks);
    else
        text += QLatin1Char(' ') +
                tr("No call was resolved in the last %1 weeks.").arg(CallSummary::kWeeks);
    return text;
}

void SummaryPage::setSummary(const CallSummary& summary) {
    m_summary = summary;
    m_title->setText(tr("Summary of the calls on %1").arg(DateText::format(summary.today)));
    m_figures->setText(figures());
    paintCharts();
}

void SummaryPage::paintCharts() {
    std::vector<CallSummary::Count> assignees = m_summary.byAssignee;
    if (assignees.size() > size_t(kAssigneesShown)) {
        qint64 others = 0;
        for (size_t i = kAssigneesShown - 1; i < assignees.size(); ++i)
            others += assignees[i].calls;
        assignees.resize(kAssigneesShown - 1);
        assignees.push_back(
            {tr("%1 others").arg(m_summary.byAssignee.size() - kAssigneesShown + 1), others});
    }
    QChart* charts[] = {countChart(tr("Open calls by status"), m_summary.byStatus, false),
                        countChart(tr("Open calls by assigned employee"), assignees, true),
                        countChart(tr("Open calls by priority"), m_summary.byPriority, false),
                        weeksChart()};
    for (int i = 0; i < 4; ++i) {
        QChart* old = m_views[i]->chart();
        m_views[i]->setChart(charts[i]);
        // A view owns the chart it was given only until it is given another.
        if (old && old != charts[i])
            delete old;
    }
}

void SummaryPage::styleChart(QChart* chart) {
    const QPalette& colours = palette();
    chart->setTheme(darkPalette(colours) ? QChart::ChartThemeDark : QChart::ChartThemeLight);
    chart->setBackgroundBrush(colours.brush(QPalette::Base));
    chart->setBackgroundPen(QPen(colours.color(QPalette::Mid)));
    chart->setTitleBrush(colours.brush(QPalette::Text));
    chart->legend()->setLabelColor(colours.color(QPalette::Text));
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsColor(colours.color(QPalette::Text));
        axis->setGridLineColor(colours.color(QPalette::Midlight));
        axis->setLinePenColor(colours.color(QPalette::Mid));
    }
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 4, 4, 4));
}

QChart* SummaryPage::countChart(const QString& title, const std::vector<CallSummary::Count>& counts,
                                bool horizontal) {
    auto* chart = new QChart;
    chart->setTitle(title);
    auto* set = new QBarSet(tr("Open calls"));
    QStringList names;
    qint64 largest = 0;
    // A horizontal chart lists from the bottom up: the largest goes last, so it stands on top.
    for (size_t i = 0; i < counts.size(); ++i) {
        const auto& count = horizontal ? counts[counts.size() - 1 - i] : counts[i];
        *set << double(count.calls);
        names << chartLabel(count.name, names);
        largest = std::max(largest, count.calls);
    }
    set->setColor(barColor(palette(), 0));
    set->setBorderColor(barColor(palette(), 0));
    set->setLabelColor(palette().color(QPalette::Text));
    QAbstractBarSeries* series =
        horizontal ? static_cast<QAbstractBarSeries*>(new QHorizontalBarSeries) : new QBarSeries;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    chart->addSeries(series);
    auto* categories = new QBarCategoryAxis;
    categories->append(names.isEmpty() ? QStringList{CallSummary::noneName()} : names);
    auto* values = new QValueAxis;
    countAxis(values, largest);
    chart->addAxis(categories, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(values, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(categories);
    series->attachAxis(values);
    chart->legend()->hide();
    connect(set, &QBarSet::hovered, this, [names, set](bool on, int index) {
        if (on && index >= 0 && index < names.size())
            QToolTip::showText(
                QCursor::pos(),
                QObject::tr("%1: %2 open calls").arg(names.at(index)).arg(qint64(set->at(index))));
        else
            QToolTip::hideText();
    });
    styleChart(chart);
    return chart;
}

QChart* SummaryPage::weeksChart() {
    auto* chart = new QChart;
    chart->setTitle(tr("Calls opened and resolved per week"));
    auto* opened = new QBarSet(tr("Opened"));
    auto* resolved = new QBarSet(tr("Resolved"));
    QStringList weeks;
    // Day and month only, in the locale's order, so that twelve weeks fit under the bars.
    const QString shortDay =
        DateFieldOrder(QLocale().dateFormat(QLocale::ShortFormat)).indexOf(QLatin1Char('d')) <
                DateFieldOrder(QLocale().dateFormat(QLocale::ShortFormat)).indexOf(QLatin1Char('M'))
            ? QStringLiteral("d/M")
            : QStringLiteral("M/d");
    qint64 largest = 0;
    for (const CallSummary::Week& week : m_summary.weeks) {
        *opened << double(week.opened);
        *resolved << double(week.resolved);
        weeks << QLocale().toString(week.monday, shortDay);
        largest = std::max({largest, week.opened, week.resolved});
    }
    auto* series = new QBarSeries;
    int index = 0;
    for (QBarSet* set : {opened, resolved}) {
        set->setColor(barColor(palette(), index));
        set->setBorderColor(barColor(palette(), index++));
        set->setLabelColor(palette().color(QPalette::Text));
        series->append(set);
        connect(set, &QBarSet::hovered, this, [this, set](bool on, int week) {
            if (on && week >= 0 && week < int(m_summary.weeks.size()))
                QToolTip::showText(QCursor::pos(),
                                   tr("Week of %1: %2 %3")
                                       .arg(DateText::format(m_summary.weeks[size_t(week)].monday))
                                       .arg(qint64(set->at(week)))
                                       .arg(set->label().toLower()));
            else
                QToolTip::hideText();
        });
    }
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value"));
    chart->addSeries(series);
    auto* axis = new QBarCategoryAxis;
    axis->append(weeks);
    // Twelve dates side by side would be cut to a digit each in a window of the usual size;
    // upright, each keeps its whole text.
    axis->setLabelsAngle(-90);
    auto* values = new QValueAxis;
    countAxis(values, largest);
    chart->addAxis(axis, Qt::AlignBottom);
    chart->addAxis(values, Qt::AlignLeft);
    series->attachAxis(axis);
    series->attachAxis(values);
    chart->legend()->setAlignment(Qt::AlignBottom);
    styleChart(chart);
    return chart;
}

void SummaryPage::fillTable(QTableWidget* table) const {
    struct Section {
        QString name;
        const std::vector<CallSummary::Count>* counts;
    };
    const Section sections[] = {{tr("Open calls by status"), &m_summary.byStatus},
                                {tr("Open calls by assigned employee"), &m_summary.byAssignee},
                                {tr("Open calls by priority"), &m_summary.byPriority}};
    QList<QStringList> rows;
    rows << QStringList{tr("All calls"), tr("Open"), QLocale().toString(m_summary.open)}
         << QStringList{tr("All calls"), tr("Overdue"), QLocale().toString(m_summary.overdue)};
    if (m_summary.medianDays)
        rows << QStringList{tr("All calls"), tr("Median time from opened to resolved"),
                            daysText(*m_summary.medianDays)};
    for (const Section& section : sections) {
        for (const CallSummary::Count& count : *section.counts)
            rows << QStringList{section.name, ShownSafely(count.name),
                                QLocale().toString(count.calls)};
    }
    for (const CallSummary::Week& week : m_summary.weeks) {
        const QString name = tr("Week of %1").arg(DateText::format(week.monday));
        rows << QStringList{tr("Opened per week"), name, QLocale().toString(week.opened)}
             << QStringList{tr("Resolved per week"), name, QLocale().toString(week.resolved)};
    }
    table->clear();
    table->setColumnCount(3);
    table->setHorizontalHeaderLabels({tr("Figure"), tr("Of"), tr("Calls")});
    table->setRowCount(int(rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(rows[row][column]);
            if (column == 2)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(row, column, item);
        }
    }
}

void SummaryPage::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_summary.weeks.empty())
        paintCharts();
}

void SummaryPage::writePdf(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(
            QStringLiteral("The file '%1' cannot be written: %2.").arg(path, file.errorString()));
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(m_title->text());
        pdf.setCreator(QStringLiteral("Quorvane"));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageOrientation(QPageLayout::Landscape);
        pdf.setPageMargins(QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter);
        // The page is drawn at the resolution the window is laid out at, so that every text
        // keeps the room the layout gave it.
        pdf.setResolution(logicalDpiX());
        const QSize size = fileSize();
        layOutOffScreen(this, size);
        // Drawn straight onto the page, the texts stay text (searchable, copyable, read
        // aloud) and the bars and axes stay lines, sharp at any zoom.
        QPainter painter(&pdf);
        const QRect area = painter.viewport();
        const double scale =
            std::min(double(area.width()) / size.width(), double(area.height()) / size.height());
        painter.scale(scale, scale);
        painter.fillRect(rect(), palette().brush(QPalette::Window));
        for (QWidget* text : {static_cast<QWidget*>(m_title), static_cast<QWidget*>(m_figures)})
            text->render(&painter, text->mapTo(this, QPoint()), QRegion(), QWidget::DrawChildren);
        // The charts' scenes are drawn item by item: through their views, some labels and the
        // legends' marks stay behind on a PDF page.
        for (QChartView* view : m_views) {
            const QRectF place(view->mapTo(this, QPoint()), QSizeF(view->size()));
            view->scene()->render(&painter, place,
                                  view->mapToScene(view->viewport()->rect()).boundingRect());
        }
    }
    if (!file.commit())
        throw Failure(
            QStringLiteral("The file '%1' cannot be written: %2.").arg(path, file.errorString()));
}

void SummaryPage::writePng(const QString& path) {
    layOutOffScreen(this, fileSize());
    const QSize size = this->size();
    QImage image(size * 2, QImage::Format_ARGB32);
    image.setDevicePixelRatio(2);
    image.fill(palette().color(QPalette::Window));
    {
        QPainter painter(&image);
        render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
        throw Failure(
            QStringLiteral("The file '%1' cannot be written: %2.").arg(path, file.errorString()));
}

void WriteSummaryPdf(Connection& connection, const QString& path) {
    SummaryPage page;
    page.setAttribute(Qt::WA_DontShowOnScreen);
    page.setSummary(ReadCallSummary(connection, QDate::currentDate()));
    page.writePdf(path);
}
