#include "records/csv_records.h"

#include "data/failure.h"

#include <QStringDecoder>

namespace CsvRecords {
namespace {

// The separator that the first line uses more, outside quotes: a comma unless semicolons
// outnumber commas.
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

    // Reads the next record; false at the end of the text.
    bool next(Record& record) {
        record = Record();
        if (m_pos >= m_text.size())
            return false;
        record.line = m_line;
        QString field;
        bool wasQuoted = false;
        bool afterQuote = false;
        while (m_pos < m_text.size()) {
            const QChar c = m_text.at(m_pos);
            if (c == QLatin1Char('"') && field.isEmpty() && !wasQuoted) {
                wasQuoted = true;
                if (!readQuoted(field)) {
                    record.problem = QStringLiteral("a quote opened on this line is never closed");
                    record.fields << field;
                    return true;
                }
                afterQuote = true;
                continue;
            }
            if (c == m_separator) {
                record.fields << field;
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
            field += QStringView(m_text).sliced(m_pos, end - m_pos);
            m_pos = end;
        }
        record.fields << field;
        return true;
    }

private:
    bool endsField(QChar c) const {
        return c == m_separator || c == QLatin1Char('\r') || c == QLatin1Char('\n');
    }

    // Reads a quoted field from its opening quote to its closing one; false when the text ends
    // first.
    bool readQuoted(QString& field) {
        ++m_pos;
        while (m_pos < m_text.size()) {
            const qsizetype quote = m_text.indexOf(QLatin1Char('"'), m_pos);
            const qsizetype end = quote < 0 ? m_text.size() : quote;
            const QStringView run = QStringView(m_text).sliced(m_pos, end - m_pos);
            countLines(run);
            field += run;
            m_pos = end;
            if (quote < 0)
                return false;
            if (quote + 1 < m_text.size() && m_text.at(quote + 1) == QLatin1Char('"')) {
                field += QLatin1Char('"');
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
    int m_line = 1;
};

bool blank(const Record& record) {
    for (const QString& field : record.fields) {
        if (!field.isEmpty())
            return false;
    }
    return record.problem.isEmpty();
}

} // namespace

Table read(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    // Bytes that are not UTF-8 read as replacement characters: the records that hold one
    // cannot be read.
    const bool notUtf8 = decoder.hasError();
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    Table table;
    table.separator = guessSeparator(text);
    Parser parser(text, table.separator);
    Record record;
    while (parser.next(record) && blank(record)) {
    }
    if (record.fields.isEmpty() || blank(record))
        throw Failure(QStringLiteral("The file holds no header line naming its columns."));
    if (!record.problem.isEmpty())
        throw Failure(QStringLiteral("The header line cannot be read: %1.").arg(record.problem));
    table.header = record.fields;
    while (parser.next(record)) {
        if (blank(record))
            continue;
        if (notUtf8 && record.problem.isEmpty() &&
            record.fields.join(QString()).contains(QChar(0xFFFD)))
            record.problem = QStringLiteral("it is not UTF-8 text");
        table.records.push_back(std::move(record));
    }
    return table;
}

} // namespace CsvRecords
