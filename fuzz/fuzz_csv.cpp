// The CSV writer: fields of any text (split at the unit separator) come back from a strict
// reader exactly as written.
#include "../tests/csv_reader.h"
#include "data/csv_writer.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const QStringList fields = text.split(QChar(0x1f));
    QByteArray out("\xef\xbb\xbf");
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        Csv::appendField(out, fields.at(i));
    }
    out += "\r\n";
    const QList<QStringList> records = ReadCsv(out);
    if (records.size() != 1 || records.front() != fields)
        std::abort();
    return 0;
}
