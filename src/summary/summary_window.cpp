#include "summary/summary_window.h"

#include "data/failure.h"
#include "data/shared_connection.h"
#include "summary/summary_page.h"
#include "ui/accessible_names.h"
#include "ui/prompts.h"

#include <QAbstractItemModel>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
// Rebuilds that come in a burst are counted once.
constexpr int kRefreshDelayMs = 250;
} // namespace

SummaryWindow::SummaryWindow(QAbstractItemModel* calls, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("SummaryWindow"));
    setWindowTitle(tr("Summary"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    m_failure = new QLabel(this);
    m_failure->setObjectName(QStringLiteral("SummaryFailure"));
    m_failure->setWordWrap(true);
    m_failure->hide();
    layout->addWidget(m_failure);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SummaryTabs"));
    m_tabs->setAccessibleName(tr("Charts or table"));
    m_page = new SummaryPage(m_tabs);
    m_page->setAccessibleName(tr("Charts"));
    m_tabs->addTab(m_page, tr("&Charts"));
    m_table = new QTableWidget(m_tabs);
    m_table->setObjectName(QStringLiteral("SummaryTable"));
    m_table->setAccessibleName(tr("The numbers behind the charts"));
    ShowFocusInSelection(m_table);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(false);
    m_tabs->addTab(m_table, tr("&Table"));
    layout->addWidget(m_tabs, 1);

    auto* buttons = new QHBoxLayout;
    auto* pdf = new QPushButton(tr("Export to &PDF…"), this);
    pdf->setObjectName(QStringLiteral("SummaryPdfButton"));
    pdf->setAccessibleName(tr("Export the summary to PDF"));
    auto* png = new QPushButton(tr("Export to P&NG…"), this);
    png->setObjectName(QStringLiteral("SummaryPngButton"));
    png->setAccessibleName(tr("Export the summary to PNG"));
    auto* close = new QPushButton(tr("Close"), this);
    close->setObjectName(QStringLiteral("SummaryCloseButton"));
    close->setAccessibleName(tr("Close the summary"));
    connect(pdf, &QPushButton::clicked, this, &SummaryWindow::exportPdf);
    connect(png, &QPushButton::clicked, this, &SummaryWindow::exportPng);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addStretch(1);
    buttons->addWidget(pdf);
    buttons->addWidget(png);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    m_later.setSingleShot(true);
    m_later.setInterval(kRefreshDelayMs);
    connect(&m_later, &QTimer::timeout, this, &SummaryWindow::refresh);
    // The list is rebuilt whole, or only the calls concerned are put in place.
    const auto later = qOverload<>(&QTimer::start);
    connect(calls, &QAbstractItemModel::modelReset, &m_later, later);
    connect(calls, &QAbstractItemModel::rowsInserted, &m_later, later);
    connect(calls, &QAbstractItemModel::rowsRemoved, &m_later, later);
    connect(calls, &QAbstractItemModel::dataChanged, &m_later, later);
    connect(calls, &QAbstractItemModel::layoutChanged, &m_later, later);
    resize(1000, 720);
    refresh();
}

void SummaryWindow::refresh() {
    m_later.stop();
    ++m_refreshes;
    try {
        m_page->setSummary(ReadCallSummary(SharedConnection(), QDate::currentDate()));
        m_page->fillTable(m_table);
        m_table->resizeColumnsToContents();
        m_failure->hide();
    } catch (const Failure& failure) {
        m_failure->setText(tr("The calls could not be counted: %1").arg(failure.description()));
        m_failure->show();
    }
}

void SummaryWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SummaryWindow::closeEvent(QCloseEvent* event) {
    if (isActiveWindow() && parentWidget() && parentWidget()->isVisible())
        parentWidget()->activateWindow();
    QWidget::closeEvent(event);
}

QString SummaryWindow::askFile(const QString& title, const QString& filter, const QString& suffix) {
    QFileDialog dialog(this, title, QString(), filter);
    dialog.setObjectName(QStringLiteral("SummaryExportDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(tr("summary.%1").arg(suffix));
    CurrentPrompts().showModal(dialog);
    if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

void SummaryWindow::exportPdf() {
    const QString path =
        askFile(tr("Export to PDF"), tr("PDF files (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty())
        return;
    // The file gets the page laid out as for print, whatever the window's size.
    SummaryPage print;
    print.setAttribute(Qt::WA_DontShowOnScreen);
    print.setPalette(m_page->palette());
    print.setSummary(m_page->summary());
    try {
        print.writePdf(path);
    } catch (const Failure& failure) {
        MsgBox(failure.description(), Prompts::Exclamation);
    }
}

void SummaryWindow::exportPng() {
    const QString path =
        askFile(tr("Export to PNG"), tr("PNG images (*.png)"), QStringLiteral("png"));
    if (path.isEmpty())
        return;
    try {
        m_page->writePng(path);
    } catch (const Failure& failure) {
        MsgBox(failure.description(), Prompts::Exclamation);
    }
}
