#include "records/csv_writer.h"

#include "data/failure.h"
#include "data/private_files.h"

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

bool looksLikeFormula(const char* utf8, int size) {
    if (size <= 0)
        return false;
    switch (utf8[0]) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
        return true;
    default:
        return false;
    }
}

void appendText(QByteArray& out, const char* utf8, int size, Text mode) {
    // A text that begins with an apostrophe of its own gets one more, so that the import,
    // which takes the first one off, gives back the text as stored.
    if (mode == Text::AsStored ||
        !(looksLikeFormula(utf8, size) || (size > 0 && utf8[0] == '\''))) {
        appendField(out, utf8, size);
        return;
    }
    QByteArray guarded;
    guarded.reserve(size + 1);
    guarded.append('\'');
    guarded.append(utf8, size);
    appendField(out, guarded.constData(), int(guarded.size()));
}

void appendText(QByteArray& out, const QString& field, Text mode) {
    const QByteArray utf8 = field.toUtf8();
    appendText(out, utf8.constData(), int(utf8.size()), mode);
}

QString isoDate(const QDateTime& value) {
    if (value.time().isValid() && value.time() != QTime(0, 0))
        return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return value.toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace Csv

CsvWriter::CsvWriter(const QString& path) : m_file(path) {
    if (const QString why = PrivateFiles::notAFile(path); !why.isEmpty())
        throw Failure(why);
    // Unbuffered, so that a failed write (a full disk, a file-size limit) is seen, with its
    // cause, at once.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail();
    m_buffer.reserve(kFlushSize + 4096);
    m_buffer.append("\xEF\xBB\xBF");
}

CsvWriter::~CsvWriter() {
    if (!m_committed)
        m_file.cancelWriting();
}

void CsvWriter::fail() const {
    QString cause = m_file.errorString();
    if (cause.isEmpty() || cause == QLatin1String("Unknown error"))
        cause = PrivateFiles::systemCause();
    throw Failure(SentenceWithCause(
        QStringLiteral("The file '%1' cannot be written").arg(m_file.fileName()), cause));
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
