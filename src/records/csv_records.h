#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>
#include <vector>

// Reads comma-separated values as spreadsheets and other programs write them: fields
// separated by commas or semicolons (whichever the first line uses more), quoted fields with
// doubled quotes and line breaks inside, records ending in CR LF, LF or CR, UTF-8 text with or
// without a byte order mark, UTF-16 and UTF-32 text with one. A record that cannot be read is
// kept with the reason, so that the rest of the file is still read.
//
// Every input is bounded, far above real use, so that no file (a device, an endless pipe, one
// huge field) can take the memory of the machine: a file, a record, a field and the number of
// records and fields have the limits below.
namespace CsvRecords {

constexpr qint64 kFileBytes = 1024LL * 1024 * 1024;  // a whole file (a million calls: ~300 MB)
constexpr qsizetype kRecordChars = 32 * 1024 * 1024; // one record (line), in characters
constexpr qsizetype kFieldChars = 16 * 1024 * 1024;  // one field, in characters
constexpr int kRecordFields = 1000;                  // fields of one record
constexpr int kRecords = 2000000;                    // records of one file

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

// Reads the text of a whole file. A file without a header line, or beyond the limits of a
// file, fails.
Table read(QByteArray bytes);

// Reads the file at `path` within the limits: a folder or a device is refused, a pipe is read
// up to the limit of a file. Fails with a description that names the cause.
Table readFile(const QString& path);

} // namespace CsvRecords
