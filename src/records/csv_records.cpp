#include "records/csv_records.h"

#include "data/failure.h"
#include "data/private_files.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>
#include <QtEndian>
#include <algorithm>
#include <new>

namespace CsvRecords {
namespace {

// The separator that the first line uses more, outside quotes: a comma unless semicolons
// outnumber commas.
// A limit as the messages give it, in thousands whatever the locale: "16,777,216".
QString grouped(qint64 number) {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::DefaultNumberOptions);
    return c.toString(number);
}

QChar guessSeparator(const QString& text) {
    int commas = 0;
    int semicolons = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            break;
        else if (c == QLatin1Char(','))
            ++commas;
        else if (c == QLatin1Char(';'))
            ++semicolons;
    }
    return semicolons > commas ? QLatin1Char(';') : QLatin1Char(',');
}

class Parser {
public:
    Parser(const QString& text, QChar separator) : m_text(text), m_separator(separator) {}

    // Reads the next record; false at the end of the text. A record beyond the limits is
    // kept with the reason and without its fields.
    bool next(Record& record) {
        record = Record();
        if (m_pos >= m_text.size())
            return false;
        // Room for as many fields as the widest record so far (up to a bound: one wide record
        // must not make every record take room for it).
        record.fields.reserve(std::min(m_widest, kReservedFields));
        record.line = m_line;
        m_start = m_pos;
        m_tooLarge = false;
        QString field;
        bool wasQuoted = false;
        bool afterQuote = false;
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
                wasQuoted = true;
                m_quoteLine = m_line;
                if (!readQuoted(record, field)) {
                    m_unclosed = true;
                    record.problem = QStringLiteral("a quote opened on this line is never closed");
                    record.fields << field;
                    return true;
                }
                afterQuote = true;
                continue;
            }
            if (c == m_separator) {
                addField(record, field);
                field.clear();
                wasQuoted = afterQuote = false;
                ++m_pos;
                continue;
            }
            if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
                endOfLine();
                break;
            }
            if (afterQuote && record.problem.isEmpty())
                record.problem = QStringLiteral("text follows the closing quote of field %1")
                                     .arg(record.fields.size() + 1);
            // The plain text up to the field's end goes in at once (a quote inside it is
            // text).
            qsizetype end = m_pos + 1;
            while (end < m_text.size() && !endsField(m_text.at(end)))
                ++end;
            append(record, field, QStringView(m_text).sliced(m_pos, end - m_pos));
            m_pos = end;
        }
        addField(record, field);
        m_widest = std::max(m_widest, record.fields.size());
        // Each record is kept until the import ends: it keeps no room it does not use.
        if (record.fields.capacity() > record.fields.size())
            record.fields.squeeze();
        return true;
    }

    // The lines after the one whose quote is never closed, which that quote took in: each is
    // named, so that no line is left out without a word. Blank lines lose nothing.
    std::vector<Record> swallowedLines() const {
        std::vector<Record> lines;
        if (!m_unclosed)
            return lines;
        const QString why =
            QStringLiteral("it lies inside the quote opened on line %1, which is never closed")
                .arg(m_quoteLine);
        const QStringView text(m_text);
        qsizetype pos = m_quoteStart;
        int line = m_quoteLine;
        while (pos < text.size()) {
            qsizetype end = pos;
            while (end < text.size() && text.at(end) != QLatin1Char('\n') &&
                   text.at(end) != QLatin1Char('\r'))
                ++end;
            if (line > m_quoteLine && !text.sliced(pos, end - pos).trimmed().isEmpty())
                lines.push_back(Record{line, {}, why});
            if (end + 1 < text.size() && text.at(end) == QLatin1Char('\r') &&
                text.at(end + 1) == QLatin1Char('\n'))
                ++end;
            pos = end + 1;
            ++line;
        }
        return lines;
    }

private:
    bool endsField(QChar c) const {
        return c == m_separator || c == QLatin1Char('\r') || c == QLatin1Char('\n');
    }

    // Adds text to the field while the field and the record stay within their limits.
    void append(Record& record, QString& field, QStringView run) {
        if (m_tooLarge)
            return;
        if (field.size() + run.size() > kFieldChars) {
            tooLarge(record, QStringLiteral("field %1 is longer than %2 characters")
                                 .arg(record.fields.size() + 1)
                                 .arg(grouped(kFieldChars)));
            field.clear();
        } else if (m_pos + run.size() - m_start > kRecordChars) {
            tooLarge(record,
                     QStringLiteral("it is longer than %1 characters").arg(grouped(kRecordChars)));
            field.clear();
        } else if (field.isEmpty() && !run.isEmpty()) {
            // Most fields are one run: made to its size, where appending would keep room to
            // grow (nearly twice the text, for every field of a million records).
            field = run.toString();
        } else {
            field += run;
        }
    }

    void addField(Record& record, const QString& field) {
        if (m_tooLarge)
            return;
        if (record.fields.size() >= kRecordFields) {
            tooLarge(record, QStringLiteral("it has more than %1 fields").arg(kRecordFields));
            return;
        }
        record.fields << field;
    }

    // A record beyond a limit keeps only the reason; the rest of it is read and dropped.
    void tooLarge(Record& record, const QString& why) {
        if (m_tooLarge)
            return;
        m_tooLarge = true;
        record.problem = why;
        record.fields.clear();
    }

    // Reads a quoted field from its opening quote to its closing one; false when the text ends
    // first.
    bool readQuoted(Record& record, QString& field) {
        ++m_pos;
        m_quoteStart = m_pos;
        while (m_pos < m_text.size()) {
            const qsizetype quote = m_text.indexOf(QLatin1Char('"'), m_pos);
            const qsizetype end = quote < 0 ? m_text.size() : quote;
            const QStringView run = QStringView(m_text).sliced(m_pos, end - m_pos);
            countLines(run);
            append(record, field, run);
            m_pos = end;
            if (quote < 0)
                return false;
            if (quote + 1 < m_text.size() && m_text.at(quote + 1) == QLatin1Char('"')) {
                append(record, field, QStringView(m_text).sliced(quote, 1));
                m_pos = quote + 2;
                continue;
            }
            m_pos = quote + 1;
            return true;
        }
        return false;
    }

    void countLines(QStringView run) {
        for (qsizetype i = 0; i < run.size(); ++i) {
            if (run.at(i) == QLatin1Char('\n') ||
                (run.at(i) == QLatin1Char('\r') &&
                 (i + 1 >= run.size() || run.at(i + 1) != QLatin1Char('\n'))))
                ++m_line;
        }
    }

    void endOfLine() {
        if (m_text.at(m_pos) == QLatin1Char('\r') && m_pos + 1 < m_text.size() &&
            m_text.at(m_pos + 1) == QLatin1Char('\n'))
            ++m_pos;
        ++m_pos;
        ++m_line;
    }

    const QString& m_text;
    QChar m_separator;
    qsizetype m_pos = 0;
    qsizetype m_start = 0; // where the record being read begins
    int m_line = 1;
    bool m_tooLarge = false; // the record being read is beyond a limit (set with its problem)
    bool m_unclosed = false;
    static constexpr qsizetype kReservedFields = 64;
    qsizetype m_widest = 0; // the most fields a record has had
    qsizetype m_quoteStart = 0;
    int m_quoteLine = 0;
};

// The encoding that the byte order mark names (UTF-8 without one) and the length of the mark.
struct Encoding {
    QStringDecoder::Encoding decoder;
    const char* name;
    qsizetype bom;
};
Encoding encodingOf(const QByteArray& bytes) {
    const auto starts = [&](const char* mark, qsizetype size) {
        return bytes.size() >= size && bytes.startsWith(QByteArrayView(mark, size));
    };
    // UTF-32 little-endian first: its mark begins with UTF-16's.
    if (starts("\xFF\xFE\0\0", 4))
        return {QStringDecoder::Utf32LE, "UTF-32", 4};
    if (starts("\0\0\xFE\xFF", 4))
        return {QStringDecoder::Utf32BE, "UTF-32", 4};
    if (starts("\xFF\xFE", 2))
        return {QStringDecoder::Utf16LE, "UTF-16", 2};
    if (starts("\xFE\xFF", 2))
        return {QStringDecoder::Utf16BE, "UTF-16", 2};
    if (starts("\xEF\xBB\xBF", 3))
        return {QStringDecoder::Utf8, "UTF-8", 3};
    return {QStringDecoder::Utf8, "UTF-8", 0};
}

// UTF-32 text, each unit checked: one that is no character (beyond U+10FFFF, a surrogate, or
// an incomplete unit at the end) reads as a replacement character. (The engine's own decoder
// turns such a unit into other characters, line breaks among them.)
QString fromUtf32(QByteArrayView bytes, bool bigEndian, bool* bad) {
    QString text;
    text.reserve(bytes.size() / 4);
    const auto* data = reinterpret_cast<const uchar*>(bytes.data());
    qsizetype i = 0;
    for (; i + 4 <= bytes.size(); i += 4) {
        const char32_t unit =
            bigEndian ? qFromBigEndian<quint32>(data + i) : qFromLittleEndian<quint32>(data + i);
        if (unit > 0x10FFFF || (unit >= 0xD800 && unit <= 0xDFFF)) {
            text += QChar(QChar::ReplacementCharacter);
            *bad = true;
        } else {
            text += QChar::fromUcs4(unit);
        }
    }
    if (i < bytes.size()) {
        text += QChar(QChar::ReplacementCharacter);
        *bad = true;
    }
    return text;
}

bool blank(const Record& record) {
    for (const QString& field : record.fields) {
        if (!field.isEmpty())
            return false;
    }
    return record.problem.isEmpty();
}

} // namespace

Table read(QByteArray bytes) {
    if (bytes.size() > kFileBytes)
        throw Failure(QStringLiteral("The file is larger than %1 bytes, the most that is read "
                                     "from one file.")
                          .arg(grouped(kFileBytes)));
    try {
        const Encoding encoding = encodingOf(bytes);
        const QByteArrayView content = QByteArrayView(bytes).sliced(encoding.bom);
        bool badBytes = false;
        QString text;
        if (encoding.decoder == QStringDecoder::Utf32LE ||
            encoding.decoder == QStringDecoder::Utf32BE) {
            text = fromUtf32(content, encoding.decoder == QStringDecoder::Utf32BE, &badBytes);
        } else {
            QStringDecoder decoder(encoding.decoder, QStringDecoder::Flag::Stateless);
            text = decoder.decode(content);
            badBytes = decoder.hasError();
        }
        bytes = QByteArray(); // the text is all that is read from here on
        // Bytes that are not text of the encoding read as replacement characters: the records
        // that hold one cannot be read. UTF-16 lets a lone surrogate through; it is no text
        // either.
        const bool notText = badBytes || !text.isValidUtf16();
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        const bool nul = text.contains(QChar(0));

        Table table;
        table.separator = guessSeparator(text);
        Parser parser(text, table.separator);
        Record record;
        while (parser.next(record) && blank(record)) {
        }
        if (record.fields.isEmpty() || blank(record))
            throw Failure(QStringLiteral("The file holds no header line naming its columns."));
        if (!record.problem.isEmpty())
            throw Failure(
                QStringLiteral("The header line cannot be read: %1.").arg(record.problem));
        table.header = record.fields;
        while (parser.next(record)) {
            if (blank(record))
                continue;
            if (table.records.size() >= size_t(kRecords))
                throw Failure(QStringLiteral("The file holds more than %1 lines, the most that "
                                             "are read from one file.")
                                  .arg(grouped(kRecords)));
            if ((notText || nul) && record.problem.isEmpty()) {
                const QString joined = record.fields.join(QString());
                if (notText && (joined.contains(QChar(0xFFFD)) || !joined.isValidUtf16()))
                    record.problem = QStringLiteral("it is not %1 text").arg(encoding.name);
                else if (nul && joined.contains(QChar(0)))
                    record.problem = QStringLiteral("it holds a NUL character, which no text "
                                                    "holds");
            }
            table.records.push_back(std::move(record));
        }
        for (Record& swallowed : parser.swallowedLines())
            table.records.push_back(std::move(swallowed));
        return table;
    } catch (const std::bad_alloc&) {
        throw Failure(QStringLiteral("There is not enough memory to read the file."));
    }
}

Table readFile(const QString& path) {
    // A pipe is read up to the limit of a file; a folder, a device or a socket is no file.
    const QString notAFile = PrivateFiles::notAFile(path);
    if (!notAFile.isEmpty() && !notAFile.endsWith(QLatin1String(" is a pipe, not a file.")))
        throw Failure(
            SentenceWithCause(QStringLiteral("The file '%1' cannot be read").arg(path), notAFile));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("The file '%1' cannot be read: %2.").arg(path, file.errorString()));
    QByteArray bytes;
    try {
        // In pieces, so that a file growing while it is read, or a pipe, stops at the limit.
        constexpr qint64 kPiece = 1 << 20;
        bytes.reserve(qsizetype(std::min(file.size(), kFileBytes)) + 1);
        while (bytes.size() <= kFileBytes) {
            const qsizetype had = bytes.size();
            bytes.resize(had + kPiece);
            const qint64 got = file.read(bytes.data() + had, kPiece);
            bytes.resize(had + std::max<qint64>(got, 0));
            if (got <= 0)
                break;
        }
    } catch (const std::bad_alloc&) {
        throw Failure(
            QStringLiteral("There is not enough memory to read the file '%1'.").arg(path));
    }
    if (bytes.size() > kFileBytes)
        throw Failure(QStringLiteral("The file '%1' is larger than %2 bytes, the most that is "
                                     "read from one file.")
                          .arg(path, grouped(kFileBytes)));
    if (file.error() != QFileDevice::NoError)
        throw Failure(
            QStringLiteral("The file '%1' cannot be read: %2.").arg(path, file.errorString()));
    file.close();
    return read(std::move(bytes));
}

} // namespace CsvRecords
