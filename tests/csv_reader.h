#pragma once

#include <QByteArray>
#include <QList>
#include <QStringDecoder>
#include <QStringList>

// A strict reader of comma-separated values (quoted fields, doubled quotes, CR LF records),
// for checking what the program writes. A malformed text gives no records.
inline QList<QStringList> ReadCsv(const QByteArray& bytes) {
    // Only the file's own byte order mark is taken off: a field may begin with another.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < text.size() && text.at(i + 1) == '"')
                field += text.at(++i);
            else
                quoted = false;
        } else if (c == '"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            record << field;
            field.clear();
            wasQuoted = false;
        } else if (c == '\r' && i + 1 < text.size() && text.at(i + 1) == '\n') {
            record << field;
            records << record;
            record.clear();
            field.clear();
            wasQuoted = false;
            ++i;
        } else if (wasQuoted || c == '"' || c == '\r' || c == '\n') {
            return {}; // text after a closing quote, or a bare quote or line break
        } else {
            field += c;
        }
    }
    if (quoted || !field.isEmpty() || !record.isEmpty())
        return {}; // the last record must end in CR LF
    return records;
}
