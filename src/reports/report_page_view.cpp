#include "reports/report_page_view.h"

#include "reports/report_output.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QWheelEvent>
#include <algorithm>

namespace {

// Grey space around the page, in pixels.
constexpr int kGap = 12;

} // namespace

const QVector<double>& ReportPageView::zoomSteps() {
    static const QVector<double> steps = {0.25, 0.5, 0.75, 1, 1.25, 1.5, 2, 3, 4};
    return steps;
}

ReportPageView::ReportPageView(std::shared_ptr<const ReportDocument> document, QWidget* parent)
    : QAbstractScrollArea(parent), m_document(std::move(document)) {
    setObjectName(QStringLiteral("PageView"));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(false);
    updateScrollBars();
}

void ReportPageView::setCurrentPage(int index) {
    index = std::clamp(index, 0, std::max(0, m_document->pageCount() - 1));
    if (index == m_page)
        return;
    m_page = index;
    viewport()->update();
    emit pageChanged(m_page);
}

double ReportPageView::fitScale(ZoomMode mode) const {
    const QSize paper = m_document->paperSize();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const double width = std::max(1, viewport()->width() - 2 * kGap - (mode == FitWidth ? bar : 0));
    const double height = std::max(1, viewport()->height() - 2 * kGap);
    const double across = width / paper.width();
    return mode == FitWidth ? across : std::min(across, height / paper.height());
}

double ReportPageView::scale() const {
    if (m_mode == Fixed)
        return m_zoom * logicalDpiX() / 1440.0;
    return fitScale(m_mode);
}

double ReportPageView::zoom() const {
    return scale() * 1440.0 / logicalDpiX();
}

void ReportPageView::setZoomMode(ZoomMode mode) {
    m_mode = mode;
    updateScrollBars();
    viewport()->update();
    emit zoomChanged();
}

void ReportPageView::setZoom(double factor) {
    const QVector<double>& steps = zoomSteps();
    m_zoom = std::clamp(factor, steps.first(), steps.last());
    setZoomMode(Fixed);
}

void ReportPageView::zoomIn() {
    const double now = zoom();
    for (double step : zoomSteps()) {
        if (step > now + 1e-6) {
            setZoom(step);
            return;
        }
    }
    setZoom(zoomSteps().last());
}

void ReportPageView::zoomOut() {
    const double now = zoom();
    const QVector<double>& steps = zoomSteps();
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        if (*it < now - 1e-6) {
            setZoom(*it);
            return;
        }
    }
    setZoom(steps.first());
}

const ReportPage& ReportPageView::shownPage() const {
    if (m_madePage != m_page) {
        m_made = m_document->page(m_page);
        m_madePage = m_page;
        ++m_pagesMade;
    }
    return m_made;
}

void ReportPageView::updateScrollBars() {
    const double s = scale();
    const QSize paper = m_document->paperSize();
    const int width = int(paper.width() * s) + 2 * kGap;
    const int height = int(paper.height() * s) + 2 * kGap;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(20);
}

void ReportPageView::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Dark));
    const double s = scale();
    const QSize paper = m_document->paperSize();
    const QSizeF shown(paper.width() * s, paper.height() * s);
    // A page narrower than the window stands in its middle.
    const double left = shown.width() + 2 * kGap <= viewport()->width()
                            ? (viewport()->width() - shown.width()) / 2
                            : kGap - horizontalScrollBar()->value();
    const double top = kGap - verticalScrollBar()->value();
    const QRectF sheet(QPointF(left, top), shown);
    painter.fillRect(sheet.translated(3, 3), QColor(0, 0, 0, 60));
    painter.fillRect(sheet, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(sheet.topLeft());
    painter.scale(s, s);
    PaintReportPage(painter, *m_document, shownPage());
}

void ReportPageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ReportPageView::scrollContentsBy(int, int) {
    viewport()->update();
}

void ReportPageView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (event->modifiers() & Qt::ControlModifier) {
        if (delta > 0)
            zoomIn();
        else if (delta < 0)
            zoomOut();
        event->accept();
        return;
    }
    // Scrolling on past the end of a page turns it.
    QScrollBar* bar = verticalScrollBar();
    if (delta < 0 && bar->value() >= bar->maximum() && m_page + 1 < m_document->pageCount()) {
        setCurrentPage(m_page + 1);
        bar->setValue(bar->minimum());
        event->accept();
        return;
    }
    if (delta > 0 && bar->value() <= bar->minimum() && m_page > 0) {
        setCurrentPage(m_page - 1);
        bar->setValue(bar->maximum());
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void ReportPageView::keyPressEvent(QKeyEvent* event) {
    // Paging keys belong to the preview window.
    switch (event->key()) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
        event->ignore();
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}
