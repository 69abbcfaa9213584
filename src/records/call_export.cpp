#include "records/call_export.h"

#include "data/connection.h"
#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "records/attachment_store.h"
#include "records/call_columns.h"
#include "records/csv_writer.h"

#include <QHash>
#include <array>

namespace {
constexpr int kProgressEvery = 4096;

// "yyyy-MM-dd", optionally followed by " HH:mm:ss": written to the file as it is.
bool isStoredDate(const char* text, int size) {
    if (size != 10 && size != 19)
        return false;
    for (int i = 0; i < size; ++i) {
        const char c = text[i];
        const bool digit = c >= '0' && c <= '9';
        const bool ok = (i == 4 || i == 7)     ? c == '-'
                        : i == 10              ? c == ' '
                        : (i == 13 || i == 16) ? c == ':'
                                               : digit;
        if (!ok)
            return false;
    }
    return true;
}
} // namespace

bool ExportAllCalls(Connection& connection, const QString& path, const ExportProgress& progress,
                    Csv::Text text) {
    qint64 total = 0;
    {
        Recordset count;
        count.open(QStringLiteral("select count(*) from Calls"), connection);
        total = count.field(0).toInteger();
    }
    CsvWriter writer(path);
    constexpr int kColumns = CallColumns::kCount + 1;
    QStringList header;
    for (const char* caption : CallColumns::kCaptions)
        header << QString::fromLatin1(caption);
    header << QString::fromLatin1(CallColumns::kCommentsField)
           << QString::fromLatin1(CallColumns::kAttachmentsField);
    writer.addRow(header);
    const QHash<qint64, QStringList> attachments = Attachments::NamesByCall(connection);

    Recordset records;
    records.open(QStringLiteral("select * from [Calls Extended]"), connection);
    std::array<int, kColumns> indexes{};
    for (int i = 0; i < kColumns; ++i) {
        const char* field =
            i < CallColumns::kCount ? CallColumns::kFields[i] : CallColumns::kCommentsField;
        indexes[i] = records.fieldIndex(QString::fromLatin1(field));
        if (indexes[i] < 0)
            throw Failure(QStringLiteral("The calls have no column '%1'.").arg(field));
    }
    const int idIndex = records.fieldIndex(QStringLiteral("ID"));
    qint64 done = 0;
    while (!records.eof()) {
        QByteArray& row = writer.rowBuffer();
        for (int i = 0; i < kColumns; ++i) {
            if (i > 0)
                row.append(',');
            const Recordset::Raw cell = records.raw(indexes[i]);
            if (cell.null)
                continue;
            if (cell.date && !isStoredDate(cell.utf8, cell.size)) {
                // Dates are stored in the international form already; anything else that a
                // date column holds is converted where it can be.
                const QString stored = QString::fromUtf8(cell.utf8, cell.size);
                if (auto date = DateText::fromStored(stored)) {
                    row.append(Csv::isoDate(*date).toLatin1());
                    continue;
                }
            }
            Csv::appendText(row, cell.utf8, cell.size, text);
        }
        row.append(',');
        if (!attachments.isEmpty()) {
            const auto names = attachments.constFind(records.field(idIndex).toInteger());
            if (names != attachments.constEnd())
                Csv::appendText(row, names->join(QLatin1Char('\n')), text);
        }
        writer.endRow();
        records.moveNext();
        if (++done % kProgressEvery == 0 && progress && !progress(done, total))
            return false;
    }
    records.close();
    if (progress && !progress(done, total))
        return false;
    writer.commit();
    return true;
}
