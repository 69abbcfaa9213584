#pragma once

#include <QString>

// How an attachment's stored name becomes the name of a file that the desktop opens, and what
// opening it risks. The stored name stays as it was given.
namespace AttachmentNames {

// The longest cleaned name, in bytes of UTF-8 (file systems allow 255).
constexpr int kMaxBytes = 120;

// The name as a file name that cannot go elsewhere or hide what it is: no path separators, no
// control or direction characters, no leading dots, dashes or blanks (a hidden file, an option
// to a program), no trailing dots or blanks, at most kMaxBytes with the extension kept; empty
// becomes "attachment".
QString Cleaned(const QString& name);

// What a file of that name (and MIME type) is when opening it could do more than show it, as
// the rest of a sentence that begins with its name ("is a script: opening it can run it, ...");
// empty for a type that is only shown.
QString Risk(const QString& name, const QString& type);

} // namespace AttachmentNames
