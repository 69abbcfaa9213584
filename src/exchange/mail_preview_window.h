#pragma once

#include "records/mail_import.h"

#include <QDialog>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

// Shows what an import of mail will make before anything is written, as the import of a CSV
// file does: one row per message (its subject, sender and date, how many files it brings and
// what is odd about it) and the customers that will be added. "Import" asks once, then writes
// every call in one transaction; Cancel writes nothing.
class MailPreviewWindow : public QDialog {
    Q_OBJECT
public:
    // The messages listed; the rest are counted.
    static constexpr int kPreviewMessages = 1000;

    // `names` names the files the messages come from, as the question shows them.
    MailPreviewWindow(MailImport import, const QString& names, const QStringList& customers,
                      qint64 limit, QWidget* parent = nullptr);

    // The calls made (none until the import is done).
    const std::vector<qint64>& imported() const { return m_imported; }

    QTableWidget* preview() const { return m_preview; }
    QPushButton* importButton() const { return m_import; }

    // The one question asked before mail is imported.
    static QString question(size_t messages, const QString& names, const QStringList& customers);

private:
    void importCalls();

    MailImport m_importer;
    QString m_names;
    QStringList m_customers;
    qint64 m_limit;
    QTableWidget* m_preview;
    QPushButton* m_import;
    std::vector<qint64> m_imported;
};
