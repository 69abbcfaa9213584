#pragma once

#include <QString>
#include <QVector>
#include <functional>

class QIODevice;
class QPainter;
class QPagedPaintDevice;
class QPrinter;
class ReportDocument;
struct ReportPage;

// Told after each page: the pages done and the pages in all. Answers false to stop.
using ReportProgress = std::function<bool(int done, int total)>;

// Draws one page with `painter`, whose coordinates are twips from the paper's corner.
void PaintReportPage(QPainter& painter, const ReportDocument& document, const ReportPage& page);

// Prints the pages of `document` that the printer's settings ask for (page range, copies).
// Answers false when stopped through `progress`; the print job is then abandoned.
bool PrintReport(const ReportDocument& document, QPrinter& printer,
                 const ReportProgress& progress = {});

// Writes every page of `document` as PDF, with its texts as real text. Answers false when
// stopped through `progress`.
bool WriteReportPdf(const ReportDocument& document, QIODevice& output,
                    const ReportProgress& progress = {});
// The same into a file, which is replaced only when the whole PDF was written: stopping or a
// failure leaves an earlier file untouched. A file that cannot be written fails.
bool WriteReportPdfFile(const ReportDocument& document, const QString& path,
                        const ReportProgress& progress = {});
