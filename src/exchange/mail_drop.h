#pragma once

#include <QStringList>
#include <vector>

// Mail dropped on the call list: each message becomes a call after one question that names the
// messages and the customers to be added; nothing is written when the answer is No or when a
// message cannot be read whole (the person is told which).
namespace MailDrop {

// Whether the files are mail: a saved message (.eml) or an mbox.
bool AreMail(const QStringList& paths);

// Reads the files, asks, and writes the calls; answers their IDs (none when nothing was made).
std::vector<qint64> ImportDropped(const QStringList& paths);

} // namespace MailDrop
