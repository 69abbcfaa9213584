#include "reports/report_catalog.h"

#include "data/failure.h"
#include "data/recordset.h"
#include "data/shared_connection.h"
#include "reports/report_document.h"

const QVector<ReportEntry>& ReportEntries() {
    static const QVector<ReportEntry> entries = [] {
        const QString openByTitle = QStringLiteral("select * from [Open Calls] order by Title");
        const ReportLayout openCalls = MakeReportLayout(QStringLiteral("rptOpenCalls"));
        const ReportLayout callDetails = MakeReportLayout(QStringLiteral("rptCallDetails"));
        const QString closedCalls = QStringLiteral("Closed Calls");
        return QVector<ReportEntry>{
            {openCalls.caption, openByTitle, openCalls.name, QString()},
            {QStringLiteral("Calls by Categories"),
             QStringLiteral("select * from [Open Calls] order by Category"),
             QStringLiteral("rptCallsByCategory"), QString()},
            {QStringLiteral("Calls by Status"),
             QStringLiteral("select * from [Open Calls] order by Status"),
             QStringLiteral("rptCallsByStatus"), QString()},
            {QStringLiteral("Calls by Assigned To"),
             QStringLiteral("select * from [Open Calls] order by [Assigned To Name]"),
             QStringLiteral("rptCallsByAssigned"), QString()},
            {callDetails.caption, openByTitle, callDetails.name, QString()},
            {closedCalls, QStringLiteral("select * from [Closed Calls] order by Title"),
             openCalls.name, closedCalls},
        };
    }();
    return entries;
}

QString ReportOrderColumn(const ReportEntry& entry) {
    const QString orderBy = QStringLiteral(" order by ");
    const int at = int(entry.sql.lastIndexOf(orderBy, -1, Qt::CaseInsensitive));
    if (at < 0)
        return QString();
    QString column = entry.sql.mid(at + orderBy.size()).trimmed();
    if (column.startsWith(QLatin1Char('[')) && column.endsWith(QLatin1Char(']')))
        column = column.mid(1, column.size() - 2);
    return column;
}

const ReportEntry* FindReportEntry(const QString& name) {
    for (const ReportEntry& entry : ReportEntries()) {
        if (entry.name == name)
            return &entry;
    }
    return nullptr;
}

std::unique_ptr<ReportDocument> OpenReport(const ReportEntry& entry) {
    Recordset records;
    records.open(entry.sql, SharedConnection(), Recordset::kStatic, Recordset::kReadOnly);
    ReportLayout layout = MakeReportLayout(entry.layout);
    ReportRows rows;
    rows.read(records, layout.boundColumns());
    rows.sortBy(ReportOrderColumn(entry));
    if (!entry.title.isEmpty())
        layout.titleLabel().caption = entry.title;
    layout.landscape = true;
    records.close();
    return std::make_unique<ReportDocument>(std::move(layout), std::move(rows));
}

bool WriteNamedReportPdf(const QString& name, const QString& path, const ReportProgress& progress) {
    const ReportEntry* entry = FindReportEntry(name);
    if (!entry) {
        QStringList names;
        for (const ReportEntry& known : ReportEntries())
            names << QLatin1Char('"') + known.name + QLatin1Char('"');
        throw Failure(QStringLiteral("There is no report named \"%1\". The reports are %2.")
                          .arg(name, names.join(QStringLiteral(", "))));
    }
    const std::unique_ptr<ReportDocument> document = OpenReport(*entry);
    return WriteReportPdfFile(*document, path, progress);
}
