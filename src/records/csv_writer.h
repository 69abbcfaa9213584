#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringList>

// Comma-separated values as spreadsheets read them: fields that hold a comma, a quote or a line
// break go between quotes with every quote doubled, records end in CR LF, the text is UTF-8
// (with a byte order mark, by which spreadsheets recognise UTF-8).
namespace Csv {

// Appends one field, quoted where needed, to `out`.
void appendField(QByteArray& out, const QString& field);
void appendField(QByteArray& out, const char* utf8, int size);

// How the texts of the calls go into a file. A spreadsheet that opens the file takes a field
// beginning with =, +, -, @, a tab or a carriage return for a formula (and runs it); guarded,
// such a field gets a leading apostrophe, by which spreadsheets show it as text. A field that
// begins with an apostrophe of its own gets one more, so that the file reads back as stored.
enum class Text { Guarded, AsStored };
// True when a spreadsheet would not read the field as plain text.
bool looksLikeFormula(const char* utf8, int size);
// Appends a text field of a call: with the apostrophe where guarded and needed (a formula, or
// an apostrophe first).
void appendText(QByteArray& out, const char* utf8, int size, Text mode);
void appendText(QByteArray& out, const QString& field, Text mode);

// A date in the international form that spreadsheets read as a date: "yyyy-MM-dd", followed by
// " HH:mm:ss" when the time of day is not midnight.
QString isoDate(const QDateTime& value);

} // namespace Csv

// Writes a CSV file through a temporary file beside it: `path` appears only when commit()
// succeeds, complete; a writer destroyed before that leaves no file behind (and an existing
// file at `path` untouched). Failures throw.
class CsvWriter {
public:
    explicit CsvWriter(const QString& path);
    ~CsvWriter();
    CsvWriter(const CsvWriter&) = delete;
    CsvWriter& operator=(const CsvWriter&) = delete;

    void addRow(const QStringList& fields);
    // Adds a row whose fields the caller appended to rowBuffer() with Csv::appendField,
    // separated by commas.
    QByteArray& rowBuffer() { return m_buffer; }
    void endRow();

    void commit();

private:
    void flush(bool all);
    void fail() const;

    QSaveFile m_file;
    QByteArray m_buffer;
    bool m_committed = false;
};
