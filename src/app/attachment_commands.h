#pragma once

#include <QString>
#include <QTextStream>

// The command line's work on the files kept with the calls, for scripts. Failures throw with a
// description; the command line prints it.
namespace AttachmentCommands {

// A call's number as the command line takes it: a whole number above 0, else 0.
qint64 callNumber(const QString& text);

// Lists the attachments of the call `call` on `out`, one a line: name, size in bytes, type,
// when and by whom it was added, separated by tabs. A name's control characters are written as
// escapes (\n, \t, \x1b) and its direction controls as visible marks, so that a line is one
// attachment and shows what it holds.
void list(qint64 call, QTextStream& out);

// Writes the attachment `name` of the call `call` (named as stored or as list() writes it; the
// newest of that name) into the file `path`, which is replaced only when complete.
void save(qint64 call, const QString& name, const QString& path, QTextStream& out);

} // namespace AttachmentCommands
