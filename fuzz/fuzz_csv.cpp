// The CSV writer: fields of any text (split at the unit separator) come back from a strict
// reader exactly as written, whether appended as text or as UTF-8 bytes. The reader the
// import uses takes any bytes, as they are and behind each byte order mark it knows, within
// its limits: every record it keeps has its fields or says why it cannot be read, on a line
// of the file, in order.
#include "../tests/csv_reader.h"
#include "data/failure.h"
#include "fuzz_check.h"
#include "records/csv_records.h"
#include "records/csv_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Reads `bytes` as the import does and checks what it kept.
void checkRead(const QByteArray& bytes) {
    CsvRecords::Table table;
    try {
        table = CsvRecords::read(bytes);
    } catch (const Failure&) {
        return; // no header line, or the file beyond its limits: said, nothing read
    }
    const int lines = int(bytes.count('\n') + bytes.count('\r')) + 1;
    int last = 0;
    for (const CsvRecords::Record& record : table.records) {
        check(record.line >= 1 && record.line <= lines);
        check(record.line > last);
        last = record.line;
        check(!record.fields.isEmpty() || !record.problem.isEmpty());
        check(record.fields.size() <= CsvRecords::kRecordFields);
        for (const QString& field : record.fields)
            check(field.size() <= CsvRecords::kFieldChars);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray raw(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QByteArray& mark : {QByteArray(), QByteArray("\xFF\xFE"), QByteArray("\xFE\xFF"),
                                   QByteArray("\xFF\xFE\0\0", 4), QByteArray("\0\0\xFE\xFF", 4)})
        checkRead(mark + raw);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QStringList fields = text.split(QChar(0x1f));
    QByteArray out("\xef\xbb\xbf");
    QByteArray bytes("\xef\xbb\xbf");
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            out += ',';
            bytes += ',';
        }
        Csv::appendField(out, fields.at(i));
        const QByteArray utf8 = fields.at(i).toUtf8();
        Csv::appendField(bytes, utf8.constData(), int(utf8.size()));
    }
    out += "\r\n";
    bytes += "\r\n";
    check(ReadCsv(out) == QList<QStringList>{fields});
    check(bytes == out);
    return 0;
}
