#include "reports/report_preview.h"

#include "data/failure.h"
#include "reports/report_document.h"
#include "reports/report_page_view.h"
#include "ui/prompts.h"
#include "ui/save_folder.h"
#include "ui/twips.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

// The zoom choices: the two fits, then the fixed steps.
constexpr int kFitPageChoice = 0;
constexpr int kFitWidthChoice = 1;
constexpr int kFirstStepChoice = 2;

QAction* addTool(QToolBar* bar, const char* name, const QString& text, QStyle::StandardPixmap icon,
                 const QKeySequence& keys) {
    QAction* action = bar->addAction(bar->style()->standardIcon(icon), text);
    action->setObjectName(QLatin1String(name));
    action->setToolTip(keys.isEmpty()
                           ? text
                           : text + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) +
                                 QLatin1Char(')'));
    return action;
}

} // namespace

ReportPreview::ReportPreview(std::shared_ptr<ReportDocument> document, QWidget* parent)
    : QDialog(parent), m_document(std::move(document)) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(m_document->layout().caption);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    resize(TwipsToPixels(m_document->layout().previewWidth),
           TwipsToPixels(m_document->layout().previewHeight));

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    firstAction = addTool(bar, "FirstPage", tr("First Page"), QStyle::SP_MediaSkipBackward,
                          QKeySequence(Qt::Key_Home));
    previousAction = addTool(bar, "PreviousPage", tr("Previous"), QStyle::SP_MediaSeekBackward,
                             QKeySequence(Qt::Key_PageUp));
    pageNumber = new QSpinBox(bar);
    pageNumber->setObjectName(QStringLiteral("PageNumber"));
    pageNumber->setRange(1, std::max(1, m_document->pageCount()));
    pageNumber->setKeyboardTracking(false);
    pageNumber->setAccessibleName(tr("Page number"));
    bar->addWidget(pageNumber);
    pageTotal = new QLabel(bar);
    pageTotal->setObjectName(QStringLiteral("PageTotal"));
    pageTotal->setText(tr(" of %1 ").arg(m_document->pageCount()));
    bar->addWidget(pageTotal);
    nextAction = addTool(bar, "NextPage", tr("Next"), QStyle::SP_MediaSeekForward,
                         QKeySequence(Qt::Key_PageDown));
    lastAction = addTool(bar, "LastPage", tr("Last Page"), QStyle::SP_MediaSkipForward,
                         QKeySequence(Qt::Key_End));
    bar->addSeparator();
    zoomChoice = new QComboBox(bar);
    zoomChoice->setObjectName(QStringLiteral("Zoom"));
    zoomChoice->setAccessibleName(tr("Zoom"));
    // A list is named by the label tied to it where the toolkit names it by its entry; this
    // one's label is heard, not seen.
    auto* zoomLabel = new QLabel(tr("Zoom"), bar);
    zoomLabel->hide();
    zoomLabel->setBuddy(zoomChoice);
    zoomChoice->addItem(tr("Fit Page"));
    zoomChoice->addItem(tr("Fit Width"));
    for (double step : ReportPageView::zoomSteps())
        zoomChoice->addItem(QString::number(qRound(step * 100)) + QLatin1Char('%'));
    bar->addWidget(zoomChoice);
    bar->addSeparator();
    printAction =
        addTool(bar, "Print", tr("Print..."), QStyle::SP_DialogSaveButton, QKeySequence::Print);
    exportAction =
        addTool(bar, "ExportPdf", tr("Export to PDF..."), QStyle::SP_DriveFDIcon, QKeySequence());
    printAction->setIcon(QIcon::fromTheme(QStringLiteral("document-print"), printAction->icon()));
    exportAction->setIcon(
        QIcon::fromTheme(QStringLiteral("document-export"), exportAction->icon()));
    QAction* closeAction = addTool(bar, "ClosePreview", tr("Close"), QStyle::SP_DialogCloseButton,
                                   QKeySequence(Qt::Key_Escape));

    m_view = new ReportPageView(m_document, this);
    // A screen reader names the page shown and hears its number; every command of the bar is
    // reached with Tab too.
    m_view->setAccessibleName(tr("Report page"));
    for (QToolButton* button : bar->findChildren<QToolButton*>())
        button->setFocusPolicy(Qt::TabFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_view, 1);
    m_view->setFocus();

    connect(firstAction, &QAction::triggered, this, [this] { goToPage(0); });
    connect(previousAction, &QAction::triggered, this, [this] { goToPage(currentPage() - 1); });
    connect(nextAction, &QAction::triggered, this, [this] { goToPage(currentPage() + 1); });
    connect(lastAction, &QAction::triggered, this,
            [this] { goToPage(m_document->pageCount() - 1); });
    connect(pageNumber, &QSpinBox::valueChanged, this,
            [this](int number) { goToPage(number - 1); });
    connect(zoomChoice, &QComboBox::activated, this, [this](int choice) {
        if (choice == kFitPageChoice)
            m_view->setZoomMode(ReportPageView::FitPage);
        else if (choice == kFitWidthChoice)
            m_view->setZoomMode(ReportPageView::FitWidth);
        else
            m_view->setZoom(ReportPageView::zoomSteps().value(choice - kFirstStepChoice, 1));
        m_view->setFocus();
    });
    connect(printAction, &QAction::triggered, this, &ReportPreview::print);
    connect(exportAction, &QAction::triggered, this, &ReportPreview::exportPdf);
    connect(closeAction, &QAction::triggered, this, &QDialog::reject);
    connect(m_view, &ReportPageView::pageChanged, this, &ReportPreview::showPageState);
    connect(m_view, &ReportPageView::zoomChanged, this, &ReportPreview::showZoomState);
    showPageState();
    showZoomState();
}

ReportPreview::~ReportPreview() = default;

int ReportPreview::currentPage() const {
    return m_view->currentPage();
}

void ReportPreview::goToPage(int index) {
    m_view->setCurrentPage(index);
}

void ReportPreview::showPageState() {
    const int page = currentPage();
    const int last = m_document->pageCount() - 1;
    firstAction->setEnabled(page > 0);
    previousAction->setEnabled(page > 0);
    nextAction->setEnabled(page < last);
    lastAction->setEnabled(page < last);
    const QSignalBlocker quiet(pageNumber);
    pageNumber->setValue(page + 1);
    m_view->setAccessibleDescription(tr("Page %1 of %2").arg(page + 1).arg(last + 1));
}

void ReportPreview::showZoomState() {
    int choice = kFitWidthChoice;
    if (m_view->zoomMode() == ReportPageView::FitPage)
        choice = kFitPageChoice;
    else if (m_view->zoomMode() == ReportPageView::Fixed) {
        // The step nearest to the zoom in effect.
        const QVector<double>& steps = ReportPageView::zoomSteps();
        int nearest = 0;
        for (int i = 1; i < steps.size(); ++i) {
            if (std::abs(steps[i] - m_view->zoom()) < std::abs(steps[nearest] - m_view->zoom()))
                nearest = i;
        }
        choice = kFirstStepChoice + nearest;
    }
    const QSignalBlocker quiet(zoomChoice);
    zoomChoice->setCurrentIndex(std::max(0, choice));
}

void ReportPreview::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Print)) {
        print();
        return;
    }
    // Ctrl with "+" zooms in whether the keyboard needs Shift for "+" or not (on a US keyboard
    // "+" is Shift with "="), and Ctrl with "=" does too.
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (event->matches(QKeySequence::ZoomIn) ||
        (control && (event->key() == Qt::Key_Plus || event->key() == Qt::Key_Equal))) {
        m_view->zoomIn();
        return;
    }
    if (event->matches(QKeySequence::ZoomOut) || (control && event->key() == Qt::Key_Minus)) {
        m_view->zoomOut();
        return;
    }
    switch (event->key()) {
    case Qt::Key_PageUp:
        goToPage(currentPage() - 1);
        return;
    case Qt::Key_PageDown:
        goToPage(currentPage() + 1);
        return;
    case Qt::Key_Home:
        goToPage(0);
        return;
    case Qt::Key_End:
        goToPage(m_document->pageCount() - 1);
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

bool ReportPreview::withProgress(const QString& caption,
                                 const std::function<bool(const ReportProgress&)>& work) {
    QProgressDialog progress(caption, tr("Cancel"), 0, m_document->pageCount(), this);
    progress.setObjectName(QStringLiteral("ReportProgress"));
    progress.setWindowTitle(windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const bool finished = work([&](int done, int total) {
        if (progress.maximum() != total)
            progress.setMaximum(total);
        progress.setValue(done);
        progress.setLabelText(caption + QLatin1Char('\n') +
                              tr("Page %1 of %2").arg(done).arg(total));
        return !progress.wasCanceled();
    });
    progress.close();
    return finished;
}

void ReportPreview::print() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_document->layout().titleLabel().caption);
    printer.setPageSize(m_document->paper());
    printer.setPageOrientation(QPageLayout::Landscape);
    printer.setFromTo(1, m_document->pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(tr("Print %1").arg(windowTitle()));
    dialog.setMinMax(1, m_document->pageCount());
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintCurrentPage | QAbstractPrintDialog::PrintToFile |
                      QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (printer.printRange() == QPrinter::CurrentPage) {
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(currentPage() + 1, currentPage() + 1);
    }
    try {
        withProgress(tr("Printing..."), [&](const ReportProgress& progress) {
            return PrintReport(*m_document, printer, progress);
        });
    } catch (const Failure& failure) {
        MsgBox(failure.description(), Prompts::Exclamation);
    }
}

void ReportPreview::exportPdf() {
    QString path = QFileDialog::getSaveFileName(this, tr("Export to PDF"),
                                                SaveFolder() + QLatin1Char('/') + windowTitle() +
                                                    QStringLiteral(".pdf"),
                                                tr("PDF files (*.pdf)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive) && !QFileInfo(path).exists())
        path += QStringLiteral(".pdf");
    exportPdfTo(path);
}

bool ReportPreview::exportPdfTo(const QString& path) {
    try {
        const bool finished =
            withProgress(tr("Writing %1...").arg(QDir::toNativeSeparators(path)),
                         [&](const ReportProgress& progress) {
                             return WriteReportPdfFile(*m_document, path, progress);
                         });
        if (finished) {
            RememberSaveFolder(path);
            MsgBox(tr("The report was exported to:") + QStringLiteral("\r\n\r\n") +
                       QDir::toNativeSeparators(path),
                   Prompts::Information);
        }
        return finished;
    } catch (const Failure& failure) {
        MsgBox(failure.description(), Prompts::Exclamation);
        return false;
    }
}
