#include "records/mail_import.h"

#include "data/connection.h"
#include "data/date_text.h"
#include "data/failure.h"
#include "data/recordset.h"
#include "data/server_link.h"
#include "data/sql_text.h"
#include "records/attachment_store.h"

#include <QBuffer>
#include <QHash>
#include <sqlite3.h>

namespace {

QString addressKey(const QString& address) {
    return address.trimmed().toLower();
}

// The customer a sender becomes: first name up to the first blank, the rest the last name; the
// address when the sender gave no name.
std::pair<QString, QString> customerName(const MailMessage& message) {
    const QString name =
        message.senderName.isEmpty() ? message.senderAddress : message.senderName.simplified();
    const int blank = name.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return {name, QString()};
    return {name.left(blank), name.mid(blank + 1)};
}

qint64 existingCustomer(Connection& connection, const QString& address) {
    Recordset found;
    found.open(QStringLiteral("select min(ID) from Customers where lower(trim([E-mail Address])) "
                              "= '%1'")
                   .arg(DoubledQuotes(addressKey(address))),
               connection);
    return found.eof() || found.field(0).isNull() ? 0 : found.field(0).toInteger();
}

qint64 lastInsertedId(Connection& connection, const QString& table) {
    if (!connection.server())
        return sqlite3_last_insert_rowid(connection.handle());
    Recordset last;
    last.open(
        QStringLiteral("select currval(pg_get_serial_sequence('%1', 'id'))").arg(table.toLower()),
        connection);
    return last.field(0).toInteger();
}

QString quoted(const QString& text) {
    RefuseNulText(text);
    return QLatin1Char('\'') + DoubledQuotes(text) + QLatin1Char('\'');
}

} // namespace

QStringList MailImport::newCustomers(Connection& connection) const {
    QStringList names;
    QHash<QString, bool> seen;
    for (const MailMessage& message : m_messages) {
        const QString key = addressKey(message.senderAddress);
        if (key.isEmpty() || seen.contains(key))
            continue;
        seen.insert(key, true);
        if (existingCustomer(connection, key))
            continue;
        const auto [first, last] = customerName(message);
        names << (last.isEmpty() ? first : first + QLatin1Char(' ') + last);
    }
    return names;
}

std::vector<qint64> MailImport::write(Connection& connection, qint64 limit) const {
    std::vector<qint64> calls;
    const QString now =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QString today = DateText::today().toString(QStringLiteral("yyyy-MM-dd"));
    connection.beginTransaction();
    try {
        QHash<QString, qint64> customers;
        for (const MailMessage& message : m_messages) {
            qint64 caller = 0;
            const QString key = addressKey(message.senderAddress);
            if (!key.isEmpty()) {
                caller = customers.value(key);
                if (!caller)
                    caller = existingCustomer(connection, key);
                if (!caller) {
                    const auto [first, last] = customerName(message);
                    connection.execute(
                        QStringLiteral("insert into Customers ([First Name], [Last "
                                       "Name], [E-mail Address]) values (%1, %2, "
                                       "%3)")
                            .arg(quoted(first), quoted(last), quoted(message.senderAddress)));
                    caller = lastInsertedId(connection, QStringLiteral("Customers"));
                }
                customers.insert(key, caller);
            }
            QString title = message.subject.simplified();
            if (title.isEmpty())
                title = QStringLiteral("(no subject)");
            if (title.size() > kTitleLength)
                title = title.left(kTitleLength - 1) + QChar(0x2026);
            const QString opened =
                message.date.isValid()
                    ? message.date.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                    : now;
            connection.execute(
                QStringLiteral("insert into Calls (Title, Caller, [Opened Date], [Due Date], "
                               "Comments, [Call Time]) values (%1, %2, '%3', '%4', %5, '%3')")
                    .arg(quoted(title), caller ? QString::number(caller) : QStringLiteral("NULL"),
                         opened, today, quoted(message.text)));
            const qint64 call = lastInsertedId(connection, QStringLiteral("Calls"));
            for (const MailMessage::File& file : message.files) {
                QBuffer data;
                data.setData(file.data);
                data.open(QIODevice::ReadOnly);
                Attachments::Store(connection, call, data, file.name, limit);
            }
            calls.push_back(call);
        }
        connection.commit();
    } catch (...) {
        if (connection.inTransaction())
            connection.rollback();
        throw;
    }
    return calls;
}
