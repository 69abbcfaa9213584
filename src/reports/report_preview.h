#pragma once

#include "reports/report_output.h"

#include <QDialog>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QSpinBox;
class ReportDocument;
class ReportPageView;

// The preview of a report: one page at a time, with page navigation, zoom, printing through
// the system's print dialog and export to PDF. Keys: PageUp, PageDown, Home and End turn the
// pages, Ctrl+P prints, Ctrl+plus and Ctrl+minus zoom, Escape closes.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    explicit ReportPreview(std::shared_ptr<ReportDocument> document, QWidget* parent = nullptr);
    ~ReportPreview() override;

    const ReportDocument& document() const { return *m_document; }
    ReportPageView* view() const { return m_view; }
    int currentPage() const;
    void goToPage(int index);

    // Asks for printer, copies and pages, then prints with a progress window.
    void print();
    // Asks for a file name, then writes the PDF with a progress window.
    void exportPdf();
    // Writes the PDF into `path`; a failure is shown in a message box. Answers whether the
    // file was written.
    bool exportPdfTo(const QString& path);

    QAction* firstAction;
    QAction* previousAction;
    QAction* nextAction;
    QAction* lastAction;
    QAction* printAction;
    QAction* exportAction;
    QSpinBox* pageNumber;
    QLabel* pageTotal;
    QComboBox* zoomChoice;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showPageState();
    void showZoomState();
    // Runs `work` with a progress window that can stop it.
    bool withProgress(const QString& caption,
                      const std::function<bool(const ReportProgress&)>& work);

    std::shared_ptr<ReportDocument> m_document;
    ReportPageView* m_view;
};
