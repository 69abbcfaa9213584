#include "data/csv_writer.h"

#include "data/failure.h"

#include <QDateTime>
#include <QFileInfo>
#include <cstring>

namespace {
constexpr int kFlushSize = 1 << 20;
}

namespace Csv {

void appendField(QByteArray& out, const char* utf8, int size) {
    bool quote = false;
    for (int i = 0; i < size && !quote; ++i) {
        const char c = utf8[i];
        quote = c == ',' || c == '"' || c == '\r' || c == '\n';
    }
    if (!quote) {
        out.append(utf8, size);
        return;
    }
    out.append('"');
    const char* start = utf8;
    const char* end = utf8 + size;
    while (start < end) {
        const void* found = std::memchr(start, '"', size_t(end - start));
        const char* stop = found ? static_cast<const char*>(found) + 1 : end;
        out.append(start, int(stop - start));
        if (found)
            out.append('"');
        start = stop;
    }
    out.append('"');
}

void appendField(QByteArray& out, const QString& field) {
    const QByteArray utf8 = field.toUtf8();
    appendField(out, utf8.constData(), int(utf8.size()));
}

QString isoDate(const QDateTime& value) {
    if (value.time().isValid() && value.time() != QTime(0, 0))
        return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return value.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace Csv

CsvWriter::CsvWriter(const QString& path) : m_file(path) {
    if (QFileInfo(path).isDir())
        throw Failure(QStringLiteral("'%1' is a folder, not a file.").arg(path));
    if (!m_file.open(QIODevice::WriteOnly))
        throw Failure(
            QStringLiteral("The file '%1' cannot be written: %2.").arg(path, m_file.errorString()));
    m_buffer.reserve(kFlushSize + 4096);
    m_buffer.append("\xEF\xBB\xBF");
}

CsvWriter::~CsvWriter() {
    if (!m_committed)
        m_file.cancelWriting();
}

void CsvWriter::fail() const {
    throw Failure(QStringLiteral("The file '%1' cannot be written: %2.")
                      .arg(m_file.fileName(), m_file.errorString()));
}

void CsvWriter::addRow(const QStringList& fields) {
    for (int i = 0; i < fields.size(); ++i) {
        if (i > 0)
            m_buffer.append(',');
        Csv::appendField(m_buffer, fields.at(i));
    }
    endRow();
}

void CsvWriter::endRow() {
    m_buffer.append("\r\n", 2);
    flush(false);
}

void CsvWriter::flush(bool all) {
    if (!all && m_buffer.size() < kFlushSize)
        return;
    if (m_file.write(m_buffer) != m_buffer.size())
        fail();
    m_buffer.clear();
}

void CsvWriter::commit() {
    flush(true);
    if (!m_file.commit())
        fail();
    m_committed = true;
}
