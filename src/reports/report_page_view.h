#pragma once

#include "reports/report_document.h"

#include <QAbstractScrollArea>
#include <memory>

// Shows one page of a report at a chosen zoom. Only the page on screen is made and drawn, so
// paging through thousands of pages costs nothing until a page is looked at.
class ReportPageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum ZoomMode { FitPage, FitWidth, Fixed };
    // The fixed zoom steps; 1 is the paper's real size.
    static const QVector<double>& zoomSteps();

    explicit ReportPageView(std::shared_ptr<const ReportDocument> document,
                            QWidget* parent = nullptr);

    int currentPage() const { return m_page; }
    void setCurrentPage(int index);

    ZoomMode zoomMode() const { return m_mode; }
    // The zoom in effect: 1 is the real size, whatever the mode.
    double zoom() const;
    void setZoomMode(ZoomMode mode);
    void setZoom(double factor);
    // One step larger or smaller than the zoom in effect.
    void zoomIn();
    void zoomOut();

    // The page on screen, as the preview shows it.
    const ReportPage& shownPage() const;
    // How often a page was made for showing.
    int pagesMade() const { return m_pagesMade; }

signals:
    void pageChanged(int index);
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    // Device pixels per twip at the zoom in effect.
    double scale() const;
    double fitScale(ZoomMode mode) const;
    void updateScrollBars();

    std::shared_ptr<const ReportDocument> m_document;
    int m_page = 0;
    ZoomMode m_mode = FitWidth;
    double m_zoom = 1;
    mutable int m_madePage = -1;
    mutable ReportPage m_made;
    mutable int m_pagesMade = 0;
};
