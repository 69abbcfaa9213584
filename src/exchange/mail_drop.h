#pragma once

#include <QStringList>
#include <vector>

class QWidget;

// Mail dropped on the call list: each message becomes a call after one question that names the
// messages and the customers to be added, an mbox's messages after a preview of every message
// (as a CSV file's calls); nothing is written when the answer is No or Cancel, or when a message
// cannot be read whole (the person is told which).
namespace MailDrop {

// Whether the files are mail: a saved message (.eml) or an mbox.
bool AreMail(const QStringList& paths);

// Reads the files, asks (the preview shown over `parent`), and writes the calls; answers their
// IDs (none when nothing was made).
std::vector<qint64> ImportDropped(const QStringList& paths, QWidget* parent = nullptr);

} // namespace MailDrop
