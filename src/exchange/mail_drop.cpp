#include "exchange/mail_drop.h"

#include "data/failure.h"
#include "data/shared_connection.h"
#include "exchange/mail_preview_window.h"
#include "records/mail_import.h"
#include "ui/app_paths.h"
#include "ui/prompts.h"
#include "ui/shown_text.h"

#include <QFile>
#include <QFileInfo>
#include <iterator>

namespace MailDrop {

namespace {

// An mbox: named so, or beginning with the "From " line that separates its messages.
bool isMbox(const QString& path) {
    if (QFileInfo(path).suffix().toLower() == QLatin1String("mbox"))
        return true;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(5).startsWith("From ");
}

} // namespace

bool AreMail(const QStringList& paths) {
    for (const QString& path : paths) {
        if (QFileInfo(path).suffix().toLower() != QLatin1String("eml") && !isMbox(path))
            return false;
    }
    return !paths.isEmpty();
}

std::vector<qint64> ImportDropped(const QStringList& paths, QWidget* parent) {
    try {
        std::vector<MailMessage> messages;
        QStringList names;
        bool mbox = false;
        for (const QString& path : paths) {
            std::vector<MailMessage> read = MailMessages::ReadFile(path, HtmlAsText);
            std::move(read.begin(), read.end(), std::back_inserter(messages));
            names << QStringLiteral("'%1'").arg(ShownSafely(QFileInfo(path).fileName()));
            mbox = mbox || isMbox(path);
        }
        MailImport import(std::move(messages));
        const QStringList customers = import.newCustomers(SharedConnection());
        const QString named = names.join(QStringLiteral(", "));
        if (mbox) {
            // Many messages at once: each is shown before the one question.
            MailPreviewWindow window(std::move(import), named, customers, AttachmentLimit(),
                                     parent);
            CurrentPrompts().showModal(window);
            return window.imported();
        }
        if (MsgBox(MailPreviewWindow::question(import.messages().size(), named, customers),
                   Prompts::YesNo | Prompts::Question) != Prompts::Yes)
            return {};
        return import.write(SharedConnection(), AttachmentLimit());
    } catch (const Failure& failure) {
        MsgBox(failure.description(), Prompts::Exclamation);
        return {};
    }
}

} // namespace MailDrop
