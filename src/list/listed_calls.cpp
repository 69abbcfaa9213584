#include "list/listed_calls.h"

#include "data/date_text.h"
#include "data/recordset.h"
#include "list/call_list_model.h"
#include "records/call_columns.h"
#include "records/csv_writer.h"

#include <QHash>

namespace {

constexpr int kProgressEvery = 4096;

QStringList captions() {
    QStringList list;
    for (const char* caption : CallColumns::kCaptions)
        list << QString::fromLatin1(caption);
    return list;
}

void appendTsvField(QString& out, const QString& field) {
    const bool quote = field.contains(QLatin1Char('\t')) || field.contains(QLatin1Char('\n')) ||
                       field.contains(QLatin1Char('\r')) || field.contains(QLatin1Char('"'));
    if (!quote) {
        out += field;
        return;
    }
    out += QLatin1Char('"');
    out += QString(field).replace(QLatin1Char('"'), QLatin1String("\"\""));
    out += QLatin1Char('"');
}

} // namespace

QString ListedCallsAsTsv(const CallListModel& model, const std::vector<int>& rows) {
    QString out = captions().join(QLatin1Char('\t')) + QLatin1Char('\n');
    for (const int row : rows) {
        for (int column = 0; column < CallColumns::kCount; ++column) {
            if (column > 0)
                out += QLatin1Char('\t');
            appendTsvField(out, model.text(row, column));
        }
        out += QLatin1Char('\n');
    }
    return out;
}

bool ExportListedCalls(const CallListModel& model, const std::vector<int>& rows,
                       Connection& connection, const QString& path,
                       const ExportProgress& progress) {
    QHash<qint64, QString> comments;
    {
        Recordset records;
        records.open(QStringLiteral("select ID, Comments from Calls where Comments <> ''"),
                     connection);
        while (!records.eof()) {
            comments.insert(records.field(0).toInteger(), records.field(1).joined());
            records.moveNext();
        }
    }
    CsvWriter writer(path);
    writer.addRow(captions() << QString::fromLatin1(CallColumns::kCommentsField));
    // The list shows dates in the local form; the file gets the international one.
    QHash<QString, QString> isoOf;
    auto iso = [&](const QString& shown) {
        auto found = isoOf.constFind(shown);
        if (found != isoOf.constEnd())
            return *found;
        const std::optional<QDateTime> date = DateText::parse(shown);
        return *isoOf.insert(shown, date ? Csv::isoDate(*date) : shown);
    };
    const qint64 total = qint64(rows.size());
    qint64 done = 0;
    for (const int row : rows) {
        QByteArray& out = writer.rowBuffer();
        for (int column = 0; column < CallColumns::kCount; ++column) {
            if (column > 0)
                out.append(',');
            const QString text = model.text(row, column);
            Csv::appendText(out, CallColumns::isDate(column) && !text.isEmpty() ? iso(text) : text,
                            Csv::Text::Guarded);
        }
        out.append(',');
        Csv::appendText(out, comments.value(model.text(row, 0).toLongLong()), Csv::Text::Guarded);
        writer.endRow();
        if (++done % kProgressEvery == 0 && progress && !progress(done, total))
            return false;
    }
    if (progress && !progress(done, total))
        return false;
    writer.commit();
    return true;
}
