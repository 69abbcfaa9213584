#include "exchange/mail_drop.h"

#include "data/failure.h"
#include "data/shared_connection.h"
#include "records/mail_import.h"
#include "ui/app_paths.h"
#include "ui/prompts.h"
#include "ui/shown_text.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <iterator>

namespace MailDrop {

bool AreMail(const QStringList& paths) {
    for (const QString& path : paths) {
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("eml") || suffix == QLatin1String("mbox"))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !file.read(5).startsWith("From "))
            return false;
    }
    return !paths.isEmpty();
}

std::vector<qint64> ImportDropped(const QStringList& paths) {
    try {
        std::vector<MailMessage> messages;
        QStringList names;
        for (const QString& path : paths) {
            std::vector<MailMessage> read = MailMessages::ReadFile(path, HtmlAsText);
            std::move(read.begin(), read.end(), std::back_inserter(messages));
            names << QStringLiteral("'%1'").arg(ShownSafely(QFileInfo(path).fileName()));
        }
        const MailImport import(std::move(messages));
        const QStringList customers = import.newCustomers(SharedConnection());
        const size_t count = import.messages().size();
        QString question = count == 1 ? QObject::tr("Make a new call of the mail in %1?")
                                            .arg(names.join(QStringLiteral(", ")))
                                      : QObject::tr("Make %1 new calls of the mail in %2?")
                                            .arg(count)
                                            .arg(names.join(QStringLiteral(", ")));
        if (!customers.isEmpty()) {
            QStringList shown;
            for (const QString& customer : customers)
                shown << ShownSafely(customer);
            question += QLatin1Char(' ') +
                        QObject::tr("New customers: %1.").arg(shown.join(QStringLiteral(", ")));
        }
        if (MsgBox(question, Prompts::YesNo | Prompts::Question) != Prompts::Yes)
            return {};
        return import.write(SharedConnection(), AttachmentLimit());
    } catch (const Failure& failure) {
        MsgBox(failure.description(), Prompts::Exclamation);
        return {};
    }
}

} // namespace MailDrop
