#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

// A mail message as a call is made of it, read by the MIME library: the subject, the sender,
// the date, the text, and every other part and the message itself as files. Headers (RFC 2047),
// transfer encodings and charsets are decoded.
struct MailMessage {
    struct File {
        QString name;
        QByteArray data;
    };
    QString subject;
    QString senderName;
    QString senderAddress;
    QDateTime date; // invalid when the message has none that can be read
    QString text;
    std::vector<File> files; // the other parts, then the message itself
};

namespace MailMessages {

// The most parts one message may have, and the deepest its parts may be nested.
constexpr int kMaxParts = 1000;
constexpr int kMaxDepth = 32;
// The largest mail file that is read.
constexpr qint64 kMaxFileBytes = 256LL * 1024 * 1024;

// Turns the HTML of a message without a plain text into text.
using HtmlToText = std::function<QString(const QString& html)>;

// Every message of `bytes`: one message (as a mail program saves it), or every message of an
// mbox (which begins with a "From " line). A message that is cut short, nested too deep, has
// too many parts or no headers at all fails the whole reading with a description naming it
// (by its number and subject, as coming from `source`).
std::vector<MailMessage> Read(const QByteArray& bytes, const QString& source,
                              const HtmlToText& htmlToText);

// The same for the file `path` (at most kMaxFileBytes); a file that cannot be read fails.
std::vector<MailMessage> ReadFile(const QString& path, const HtmlToText& htmlToText);

} // namespace MailMessages
