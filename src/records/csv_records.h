#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>
#include <vector>

// Reads comma-separated values as spreadsheets and other programs write them: fields
// separated by commas or semicolons (whichever the first line uses more), quoted fields with
// doubled quotes and line breaks inside, records ending in CR LF, LF or CR, UTF-8 text with or
// without a byte order mark. A record that cannot be read is kept with the reason, so that
// the rest of the file is still read.
namespace CsvRecords {

struct Record {
    int line = 0; // the line of the file on which the record begins (1-based)
    QStringList fields;
    QString problem; // why the record cannot be read; empty when it can
};

struct Table {
    QChar separator = QLatin1Char(',');
    QStringList header;          // the first record
    std::vector<Record> records; // every further record that is not blank
};

// Reads the text of a whole file. A file without a header line fails.
Table read(const QByteArray& bytes);

} // namespace CsvRecords
