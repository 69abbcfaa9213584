#include "reports/report_output.h"

#include "data/failure.h"
#include "data/private_files.h"
#include "data/whole_writes.h"
#include "reports/report_document.h"
#include "ui/appearance.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QSaveFile>

namespace {

QPageLayout pageLayoutOf(const ReportDocument& document) {
    return QPageLayout(document.paper(),
                       document.layout().landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0));
}

// Paints `pages` (0-based) on `device`, one sheet each, with `painter` already scaled to twips.
bool paintPages(const ReportDocument& document, QPagedPaintDevice& device, QPainter& painter,
                const QVector<int>& pages, const ReportProgress& progress) {
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0)
            device.newPage();
        PaintReportPage(painter, document, document.page(pages[i]));
        if (progress && !progress(i + 1, int(pages.size())))
            return false;
    }
    return true;
}

} // namespace

void PaintReportPage(QPainter& painter, const ReportDocument& document, const ReportPage& page) {
    QVector<QFont> fonts;
    QVector<double> ascents;
    for (int i = 0; i < document.layout().fonts.size(); ++i) {
        fonts << document.font(i);
        ascents << QFontMetricsF(fonts.last()).ascent();
    }
    int current = -1;
    painter.save();
    painter.setPen(Qt::black);
    // Texts were cut to fit inside their padding when the page was made, so they are drawn
    // without a clip: a clip per text would double what a long PDF has to write.
    for (const PageText& text : page.texts) {
        if (text.text.isEmpty())
            continue;
        if (text.font != current) {
            current = text.font;
            painter.setFont(fonts.value(current));
        }
        painter.drawText(QPointF(text.box.left() + ReportDocument::kTextPadding,
                                 text.box.top() + ascents.value(current)),
                         text.text);
    }
    painter.restore();
}

bool PrintReport(const ReportDocument& document, QPrinter& printer,
                 const ReportProgress& progress) {
    printer.setPageLayout(pageLayoutOf(document));
    printer.setFullPage(true);
    int first = 0;
    int last = document.pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = printer.fromPage() - 1;
        last = std::min(last, printer.toPage() - 1);
    }
    // Printers that cannot make copies themselves get each page as often as asked.
    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    QVector<int> pages;
    if (printer.collateCopies()) {
        for (int copy = 0; copy < copies; ++copy)
            for (int page = first; page <= last; ++page)
                pages << page;
    } else {
        for (int page = first; page <= last; ++page)
            for (int copy = 0; copy < copies; ++copy)
                pages << page;
    }
    if (pages.isEmpty())
        return true;
    QPainter painter;
    if (!painter.begin(&printer))
        throw Failure(QStringLiteral("The printer cannot be used."));
    const double scale = printer.resolution() / 1440.0;
    painter.scale(scale, scale);
    if (!paintPages(document, printer, painter, pages, progress)) {
        printer.abort();
        painter.end();
        return false;
    }
    painter.end();
    return true;
}

bool WriteReportPdf(const ReportDocument& document, QIODevice& output,
                    const ReportProgress& progress) {
    QPdfWriter writer(&output);
    writer.setPageLayout(pageLayoutOf(document));
    // One device unit is one twip.
    writer.setResolution(1440);
    writer.setTitle(document.layout().titleLabel().caption);
    writer.setCreator(kProductTitle);
    QPainter painter;
    if (!painter.begin(&writer))
        throw Failure(QStringLiteral("The PDF cannot be written."));
    QVector<int> pages;
    for (int i = 0; i < document.pageCount(); ++i)
        pages << i;
    const bool finished = paintPages(document, writer, painter, pages, progress);
    painter.end();
    return finished;
}

namespace {

// Why `file` could not be written, in the system's words where Qt has none.
[[noreturn]] void failWriting(const QString& path, const QFileDevice& file) {
    QString cause = file.errorString();
    if (cause.isEmpty() || cause == QLatin1String("Unknown error"))
        cause = PrivateFiles::systemCause();
    throw Failure(
        SentenceWithCause(QStringLiteral("The file '%1' cannot be written").arg(path), cause));
}

} // namespace

bool WriteReportPdfFile(const ReportDocument& document, const QString& path,
                        const ReportProgress& progress) {
    if (const QString why = PrivateFiles::notAFile(path); !why.isEmpty())
        throw Failure(why);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        failWriting(path, file);
    // The PDF writer does not look at what its writes answer: every piece is checked here.
    WholeWrites output(file);
    if (!WriteReportPdf(document, output, progress)) {
        file.cancelWriting();
        return false;
    }
    if (!output.finish()) {
        file.cancelWriting();
        throw Failure(SentenceWithCause(QStringLiteral("The file '%1' cannot be written").arg(path),
                                        output.cause()));
    }
    if (!file.commit())
        failWriting(path, file);
    return true;
}
