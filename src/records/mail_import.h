#pragma once

#include "records/mail_message.h"

#include <QStringList>
#include <vector>

class Connection;

// Mail messages made into calls, one call per message: the Title from the subject, the Caller
// from the sender (the customer with that e-mail address, else a new customer named from the
// display name), the Opened Date from the message's date (else now), the Due Date today as for
// a new call, the Comments from the text, and every other part and the message itself as
// attachments.
class MailImport {
public:
    explicit MailImport(std::vector<MailMessage> messages) : m_messages(std::move(messages)) {}

    const std::vector<MailMessage>& messages() const { return m_messages; }

    // The customers that writing would add, as they would be named, each once.
    QStringList newCustomers(Connection& connection) const;

    // Writes every call in one transaction (all or nothing); an attachment larger than `limit`
    // fails the whole. Answers the IDs of the calls made, in the order of the messages.
    std::vector<qint64> write(Connection& connection, qint64 limit) const;

    // The longest title made from a subject; the whole subject stays in the message's file.
    static constexpr int kTitleLength = 255;

private:
    std::vector<MailMessage> m_messages;
};
