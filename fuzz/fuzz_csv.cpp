// The CSV writer: fields of any text (split at the unit separator) come back from a strict
// reader exactly as written, whether appended as text or as UTF-8 bytes.
#include "../tests/csv_reader.h"
#include "records/csv_writer.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// A property that does not hold is a finding: say which, and stop.
void check(bool holds, int line = __builtin_LINE()) {
    if (!holds) {
        std::fprintf(stderr, "%s:%d: the property does not hold\n", __FILE__, line);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
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
