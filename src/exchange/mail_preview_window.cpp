#include "exchange/mail_preview_window.h"

#include "data/failure.h"
#include "data/shared_connection.h"
#include "records/attachment_store.h"
#include "ui/accessible_names.h"
#include "ui/prompts.h"
#include "ui/shown_text.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <utility>

namespace {

enum Column { Subject, Sender, Date, Files, Problems, ColumnCount };

QString senderOf(const MailMessage& message) {
    if (message.senderName.isEmpty())
        return message.senderAddress;
    if (message.senderAddress.isEmpty())
        return message.senderName;
    return message.senderName + QStringLiteral(" <") + message.senderAddress + QLatin1Char('>');
}

// What a person should know about a message before it becomes a call.
QStringList problemsOf(const MailMessage& message, qint64 limit) {
    QStringList problems;
    if (message.subject.simplified().isEmpty())
        problems << QObject::tr("no subject: titled \"(no subject)\"");
    else if (message.subject.simplified().size() > MailImport::kTitleLength)
        problems << QObject::tr("the subject is longer than a title may be: shortened");
    if (message.senderAddress.trimmed().isEmpty())
        problems << QObject::tr("no sender's address: no caller");
    if (!message.date.isValid())
        problems << QObject::tr("no date that can be read: opened now");
    for (const MailMessage::File& file : message.files) {
        if (file.data.size() > limit)
            problems << QObject::tr("'%1' (%2) is larger than an attachment may be (%3): "
                                    "nothing can be imported")
                            .arg(ShownSafely(file.name), Attachments::ShownSize(file.data.size()),
                                 Attachments::ShownSize(limit));
    }
    return problems;
}

QTableWidgetItem* item(const QString& text) {
    return new QTableWidgetItem(text);
}

} // namespace

MailPreviewWindow::MailPreviewWindow(MailImport import, const QString& names,
                                     const QStringList& customers, qint64 limit, QWidget* parent)
    : QDialog(parent), m_importer(std::move(import)), m_names(names), m_customers(customers),
      m_limit(limit) {
    setObjectName(QStringLiteral("MailPreviewWindow"));
    setWindowTitle(tr("Import Mail"));
    auto* layout = new QVBoxLayout(this);
    const std::vector<MailMessage>& messages = m_importer.messages();
    auto* summary =
        new QLabel((messages.size() == 1 ? tr("%1 message in %2 makes a new call.")
                                         : tr("%1 messages in %2 make new calls, in one go."))
                       .arg(messages.size())
                       .arg(names),
                   this);
    summary->setObjectName(QStringLiteral("MailSummary"));
    summary->setWordWrap(true);
    summary->setTextFormat(Qt::PlainText);
    layout->addWidget(summary);

    m_preview = new QTableWidget(this);
    m_preview->setObjectName(QStringLiteral("MailPreview"));
    m_preview->setAccessibleName(tr("Messages as they will be imported"));
    ShowFocusInSelection(m_preview);
    m_preview->setTabKeyNavigation(false);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setColumnCount(ColumnCount);
    m_preview->setHorizontalHeaderLabels(
        {tr("Subject"), tr("Sender"), tr("Date"), tr("Attachments"), tr("Problems")});
    m_preview->verticalHeader()->hide();
    // One line per message; what is odd about it takes the rest of the width.
    m_preview->setWordWrap(false);
    m_preview->horizontalHeader()->setStretchLastSection(true);
    for (const auto& [column, width] : {std::pair{Subject, 220}, std::pair{Sender, 200},
                                        std::pair{Date, 160}, std::pair{Files, 90}})
        m_preview->setColumnWidth(column, width);
    const int shown = int(std::min(messages.size(), size_t(kPreviewMessages)));
    m_preview->setRowCount(shown);
    for (int row = 0; row < shown; ++row) {
        const MailMessage& message = messages[size_t(row)];
        m_preview->setItem(row, Subject, item(ShownSafely(message.subject.simplified())));
        m_preview->setItem(row, Sender, item(ShownSafely(senderOf(message))));
        m_preview->setItem(row, Date,
                           item(message.date.isValid()
                                    ? QLocale().toString(message.date, QLocale::ShortFormat)
                                    : QString()));
        QStringList files;
        for (const MailMessage::File& file : message.files)
            files << ShownSafely(file.name);
        QTableWidgetItem* count = item(QString::number(message.files.size()));
        count->setToolTip(files.join(QLatin1Char('\n')));
        m_preview->setItem(row, Files, count);
        QTableWidgetItem* problems = item(problemsOf(message, m_limit).join(QStringLiteral("; ")));
        problems->setToolTip(problems->text());
        m_preview->setItem(row, Problems, problems);
    }
    layout->addWidget(m_preview, 1);
    if (messages.size() > size_t(shown))
        layout->addWidget(
            new QLabel(tr("and %1 more messages.").arg(messages.size() - size_t(shown)), this));

    if (!customers.isEmpty()) {
        QStringList shownCustomers;
        for (const QString& customer : customers)
            shownCustomers << ShownSafely(customer);
        auto* added = new QLabel(tr("New customers, added with the calls: %1")
                                     .arg(shownCustomers.join(QStringLiteral(", "))),
                                 this);
        added->setObjectName(QStringLiteral("MailAdditions"));
        added->setWordWrap(true);
        added->setTextFormat(Qt::PlainText);
        layout->addWidget(added);
    }

    auto* buttons = new QDialogButtonBox(this);
    m_import = buttons->addButton(tr("Import"), QDialogButtonBox::AcceptRole);
    m_import->setObjectName(QStringLiteral("ImportButton"));
    m_import->setAccessibleName(tr("Import the messages"));
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setAccessibleName(tr("Cancel without importing"));
    connect(m_import, &QPushButton::clicked, this, &MailPreviewWindow::importCalls);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(900, 560);
}

QString MailPreviewWindow::question(size_t messages, const QString& names,
                                    const QStringList& customers) {
    QString text = messages == 1
                       ? tr("Make a new call of the mail in %1?").arg(names)
                       : tr("Make %1 new calls of the mail in %2?").arg(messages).arg(names);
    if (!customers.isEmpty()) {
        QStringList shown;
        for (const QString& customer : customers)
            shown << ShownSafely(customer);
        text += QLatin1Char(' ') + tr("New customers: %1.").arg(shown.join(QStringLiteral(", ")));
    }
    return text;
}

void MailPreviewWindow::importCalls() {
    if (MsgBox(question(m_importer.messages().size(), m_names, m_customers),
               Prompts::YesNo | Prompts::Question) != Prompts::Yes)
        return;
    try {
        m_imported = m_importer.write(SharedConnection(), m_limit);
    } catch (const Failure& failure) {
        MsgBox(tr("Nothing was imported.") + QStringLiteral("\r\n\r\n") + failure.description(),
               Prompts::Exclamation);
        return;
    }
    accept();
}
