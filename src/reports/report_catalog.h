#pragma once

#include "reports/report_output.h"

#include <QString>
#include <QVector>
#include <memory>

class ReportDocument;

// The six reports a user can choose: the name in the chooser, the SQL text that reads its
// rows, the layout that prints them and, where the layout's own title does not fit, the title
// to print instead.
struct ReportEntry {
    QString name;
    QString sql;
    QString layout;
    QString title; // empty: the layout's own title
};

// The column a report is ordered by (its statement's "order by"), or empty. The rows read are
// put in the order of its texts as the person's language sorts them, whichever engine read
// them.
QString ReportOrderColumn(const ReportEntry& entry);

// The reports in the order the chooser lists them.
const QVector<ReportEntry>& ReportEntries();
// The entry whose name is `name` (exactly, with case), or nullptr.
const ReportEntry* FindReportEntry(const QString& name);

// The report `entry` over the shared connection, paginated for landscape paper. Fails like the
// statements it runs.
std::unique_ptr<ReportDocument> OpenReport(const ReportEntry& entry);

// Writes the report named `name` (as the chooser lists it) into the PDF file `path`, without
// any window: usable with no display, given a QGuiApplication (the offscreen platform will do)
// and the shared connection. An unknown name, a failing query or an unwritable file fail;
// answers false when stopped through `progress`.
bool WriteNamedReportPdf(const QString& name, const QString& path,
                         const ReportProgress& progress = {});
