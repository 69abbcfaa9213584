#include "exchange/import_window.h"

#include "data/failure.h"
#include "data/shared_connection.h"
#include "ui/accessible_names.h"
#include "ui/prompts.h"
#include "ui/shown_text.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int kAdditionsListed = 30;

// "1 call", "2 calls".
QString counted(qsizetype count, const QString& one, const QString& many) {
    return (count == 1 ? one : many).arg(count);
}

QString additionText(const CallImport::Addition& addition) {
    return addition.kind + QStringLiteral(": ") + ShownSafely(addition.text);
}
} // namespace

ImportWindow::ImportWindow(CallImport import, const QString& path, QWidget* parent)
    : QDialog(parent), m_importer(std::move(import)) {
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(tr("Import Calls"));
    auto* layout = new QVBoxLayout(this);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("ImportSummary"));
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    auto* columns = new QGroupBox(tr("Columns of %1").arg(QFileInfo(path).fileName()), this);
    auto* grid = new QGridLayout(columns);
    for (int field = 0; field < CallImport::kFieldCount; ++field) {
        auto* box = new QComboBox(columns);
        const QString name = CallImport::fieldName(field);
        box->setObjectName(QStringLiteral("Column") + QString(name).remove(QLatin1Char(' ')));
        box->setAccessibleName(tr("Column for %1").arg(name));
        box->addItem(tr("(none)"), -1);
        for (int column = 0; column < m_importer.header().size(); ++column)
            box->addItem(ShownSafely(m_importer.header().at(column)), column);
        box->setCurrentIndex(m_importer.column(field) + 1);
        auto* label =
            new QLabel(CallImport::required(field) ? name + QStringLiteral(" *") : name, columns);
        label->setBuddy(box);
        grid->addWidget(label, field / 3, (field % 3) * 2);
        grid->addWidget(box, field / 3, (field % 3) * 2 + 1);
        connect(box, &QComboBox::activated, this, [this, field, box] {
            m_importer.setColumn(field, box->currentData().toInt());
            refresh();
        });
        m_columns[size_t(field)] = box;
    }
    layout->addWidget(columns);

    layout->addWidget(new QLabel(tr("The first calls, as they will be stored:"), this));
    m_preview = new QTableWidget(this);
    m_preview->setObjectName(QStringLiteral("ImportPreview"));
    m_preview->setAccessibleName(tr("Calls as they will be stored"));
    ShowFocusInSelection(m_preview);
    // Tab leaves the preview as it leaves the other lists; the arrows move between its cells.
    m_preview->setTabKeyNavigation(false);
    m_preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_preview->setColumnCount(CallImport::kFieldCount + 1);
    QStringList captions{tr("Line")};
    for (int field = 0; field < CallImport::kFieldCount; ++field)
        captions << CallImport::fieldName(field);
    m_preview->setHorizontalHeaderLabels(captions);
    m_preview->verticalHeader()->hide();
    layout->addWidget(m_preview, 3);

    layout->addWidget(new QLabel(tr("Lines that cannot be read (they are left out):"), this));
    m_problems = new QListWidget(this);
    m_problems->setObjectName(QStringLiteral("ImportProblems"));
    m_problems->setAccessibleName(tr("Lines that cannot be read"));
    ShowFocusInSelection(m_problems);
    layout->addWidget(m_problems, 1);

    m_additions = new QLabel(this);
    m_additions->setObjectName(QStringLiteral("ImportAdditions"));
    m_additions->setWordWrap(true);
    m_additions->setTextFormat(Qt::PlainText);
    layout->addWidget(m_additions);

    auto* buttons = new QDialogButtonBox(this);
    m_import = buttons->addButton(tr("Import"), QDialogButtonBox::AcceptRole);
    m_import->setObjectName(QStringLiteral("ImportButton"));
    m_import->setAccessibleName(tr("Import the calls"));
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    cancel->setAccessibleName(tr("Cancel without importing"));
    connect(m_import, &QPushButton::clicked, this, &ImportWindow::importCalls);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(980, 640);
    refresh();
}

void ImportWindow::refresh() {
    const QStringList missing = m_importer.missingFields();
    m_preview->setRowCount(0);
    m_problems->clear();
    m_additions->clear();
    if (!missing.isEmpty()) {
        m_summary->setText(tr("Choose the columns that give %1.").arg(missing.join(tr(", "))));
        return;
    }
    try {
        m_importer.prepare(SharedConnection());
    } catch (const Failure& failure) {
        m_summary->setText(failure.description());
        return;
    }
    const int shown = std::min(kPreviewCalls, m_importer.callCount());
    m_preview->setRowCount(shown);
    for (int call = 0; call < shown; ++call) {
        const QStringList fields = m_importer.shownCall(call);
        m_preview->setItem(call, 0, new QTableWidgetItem(QString::number(m_importer.lineOf(call))));
        for (int field = 0; field < fields.size(); ++field)
            m_preview->setItem(call, field + 1,
                               new QTableWidgetItem(ShownSafely(fields.at(field))));
    }
    for (const CallImport::Problem& problem : m_importer.problems())
        m_problems->addItem(tr("Line %1: %2").arg(problem.line).arg(ShownSafely(problem.why)));
    QStringList added;
    for (const CallImport::Addition& addition : m_importer.additions())
        added << additionText(addition);
    if (!added.isEmpty())
        m_additions->setText(tr("Not in the lists yet, added with the calls: %1")
                                 .arg(added.join(QStringLiteral("; "))));
    m_summary->setText(counted(m_importer.callCount(), tr("%1 call can be imported"),
                               tr("%1 calls can be imported")) +
                       (m_importer.problems().empty()
                            ? QStringLiteral(".")
                            : counted(m_importer.problems().size(), tr("; %1 line cannot be read."),
                                      tr("; %1 lines cannot be read."))));
}

void ImportWindow::importCalls() {
    const QStringList missing = m_importer.missingFields();
    if (!missing.isEmpty()) {
        MsgBox(tr("Choose the columns that give %1.").arg(missing.join(tr(", "))),
               Prompts::Exclamation);
        return;
    }
    const int calls = m_importer.callCount();
    if (calls == 0) {
        MsgBox(tr("The file holds no call that can be imported."), Prompts::Exclamation);
        return;
    }
    QStringList question;
    const auto& additions = m_importer.additions();
    if (!additions.empty()) {
        QStringList listed;
        for (size_t i = 0; i < additions.size() && i < size_t(kAdditionsListed); ++i)
            listed << additionText(additions[i]);
        if (additions.size() > size_t(kAdditionsListed))
            listed << tr("and %1 more").arg(additions.size() - size_t(kAdditionsListed));
        question << tr("These people and list values do not exist yet and will be added:") +
                        QStringLiteral("\n\n") + listed.join(QLatin1Char('\n'));
    }
    if (!m_importer.problems().empty())
        question << counted(m_importer.problems().size(),
                            tr("%1 line that cannot be read will be left out."),
                            tr("%1 lines that cannot be read will be left out."));
    if (!question.isEmpty()) {
        question << counted(calls, tr("Import %1 call?"), tr("Import %1 calls?"));
        if (MsgBox(question.join(QStringLiteral("\n\n")), Prompts::YesNo | Prompts::Question) !=
            Prompts::Yes)
            return;
    }
    QProgressDialog progress(counted(calls, tr("Importing %1 call…"), tr("Importing %1 calls…")),
                             tr("Cancel"), 0, calls, this);
    progress.setObjectName(QStringLiteral("ImportProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    try {
        const int written = m_importer.write(SharedConnection(), [&](int done, int) {
            progress.setValue(done);
            return !progress.wasCanceled();
        });
        progress.reset();
        if (written < 0)
            return;
        m_imported = written;
    } catch (const Failure& failure) {
        progress.reset();
        MsgBox(tr("Nothing was imported.") + QStringLiteral("\r\n\r\n") + failure.description(),
               Prompts::Exclamation);
        refresh();
        return;
    }
    accept();
}

int ImportWindow::importFile(QWidget* parent) {
    QFileDialog dialog(parent, tr("Import Calls"), QString(),
                       tr("Comma-separated values (*.csv *.txt);;All files (*)"));
    dialog.setObjectName(QStringLiteral("ImportFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    CurrentPrompts().showModal(dialog);
    if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return 0;
    const QString path = dialog.selectedFiles().first();
    try {
        ImportWindow window(CallImport(path), path, parent);
        CurrentPrompts().showModal(window);
        return window.imported();
    } catch (const Failure& failure) {
        MsgBox(tr("The calls could not be imported.") + QStringLiteral("\r\n\r\n") +
                   failure.description(),
               Prompts::Exclamation);
    }
    return 0;
}
