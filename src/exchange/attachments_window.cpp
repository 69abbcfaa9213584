#include "exchange/attachments_window.h"

#include "data/connection.h"
#include "data/failure.h"
#include "data/shared_connection.h"
#include "exchange/opened_attachments.h"
#include "records/attachment_names.h"
#include "records/attachment_store.h"
#include "ui/accessible_names.h"
#include "ui/app_paths.h"
#include "ui/column_fit.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"
#include "ui/read_only_login.h"
#include "ui/save_folder.h"
#include "ui/shown_text.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMimeDatabase>
#include <QPushButton>
#include <QShortcut>
#include <QTextDocument>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;
constexpr int kTypeRole = Qt::UserRole + 2;

// A failure the person can act on (a file too large, missing, unreadable) is told as it is.
void tell(const Failure& failure) {
    MsgBox(failure.description(), Prompts::Exclamation);
}

// The names of files as one question lists them.
QString listedNames(const QStringList& paths) {
    QStringList names;
    for (const QString& path : paths)
        names << QStringLiteral("'%1'").arg(ShownSafely(QFileInfo(path).fileName()));
    return names.join(QStringLiteral(", "));
}

} // namespace

AttachmentsWindow::AttachmentsWindow(qint64 callId, const QString& title, QWidget* parent)
    : QDialog(parent), m_callId(callId), m_title(title) {
    setObjectName(QStringLiteral("Attachments"));
    setWindowTitle(tr("Attachments of call %1: %2").arg(callId).arg(ShownSafely(title)));
    auto* layout = new QVBoxLayout(this);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("AttachmentList"));
    m_list->setAccessibleName(tr("Files attached to the call"));
    ShowFocusInSelection(m_list);
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setHeaderLabels({tr("Name"), tr("Size"), tr("Type"), tr("Added"), tr("By")});
    layout->addWidget(m_list);

    auto* row = new QHBoxLayout;
    const auto button = [&](const char* name, const QString& text, const QString& accessible) {
        auto* made = new QPushButton(text, this);
        made->setObjectName(QLatin1String(name));
        made->setAccessibleName(accessible);
        made->setAutoDefault(false);
        row->addWidget(made);
        return made;
    };
    m_add = button("AddAttachment", tr("&Add…"), tr("Add files to the call"));
    m_open = button("OpenAttachment", tr("&Open"), tr("Open the chosen file"));
    m_save = button("SaveAttachment", tr("&Save As…"), tr("Save the chosen file as"));
    m_remove = button("RemoveAttachment", tr("&Remove"), tr("Remove the chosen file"));
    row->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("CloseAttachments"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    row->addWidget(buttons);
    layout->addLayout(row);

    connect(m_add, &QPushButton::clicked, this, &AttachmentsWindow::chooseFiles);
    connect(m_open, &QPushButton::clicked, this, &AttachmentsWindow::openSelected);
    connect(m_save, &QPushButton::clicked, this, &AttachmentsWindow::saveSelected);
    connect(m_remove, &QPushButton::clicked, this, &AttachmentsWindow::removeSelected);
    connect(m_list, &QTreeWidget::itemActivated, this, &AttachmentsWindow::openSelected);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &AttachmentsWindow::updateButtons);
    auto* remove = new QShortcut(QKeySequence::Delete, m_list);
    remove->setContext(Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, &AttachmentsWindow::removeSelected);
    auto* undo = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), this);
    connect(undo, &QShortcut::activated, this, &AttachmentsWindow::undoRemove);

    DisableWritingForReadOnlyLogin({m_add, m_remove});
    m_mayChange = m_add->isEnabled();
    DescribeRowList(m_list, {tr("1 file"), tr("%1 files"), tr("No files")}, [this](int row) {
        const QTreeWidgetItem* item = m_list->topLevelItem(row);
        return tr("%1, %2").arg(item->text(0), item->text(1));
    });
    resize(720, 360);
    reload();
}

void AttachmentsWindow::reload() {
    ErrorTrap trap("Attachments", "reload");
    const qint64 current = selectedId();
    m_list->clear();
    trap.run(10, [&] {
        const QMimeDatabase types;
        QList<QTreeWidgetItem*> items;
        for (const Attachments::Attachment& one : Attachments::List(SharedConnection(), m_callId)) {
            // Names are plain text here as everywhere: a name is never taken for markup.
            const QMimeType type = types.mimeTypeForName(one.type);
            auto* item = new QTreeWidgetItem(QStringList{
                ShownSafely(one.name), Attachments::ShownSize(one.size),
                type.isValid() ? type.comment() : one.type, one.addedAt, ShownSafely(one.addedBy)});
            const QString shownName = ShownSafely(one.name);
            item->setToolTip(0, Qt::mightBeRichText(shownName)
                                    ? QStringLiteral("<p style=\"white-space:pre-wrap\">") +
                                          shownName.toHtmlEscaped() + QStringLiteral("</p>")
                                    : shownName);
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
            item->setData(0, kIdRole, one.id);
            item->setData(0, kNameRole, one.name);
            item->setData(0, kTypeRole, one.type);
            items << item;
        }
        m_list->addTopLevelItems(items);
    });
    FitColumnsWithin(m_list, -1);
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        if (m_list->topLevelItem(row)->data(0, kIdRole).toLongLong() == current)
            m_list->setCurrentItem(m_list->topLevelItem(row));
    }
    if (!m_list->currentItem() && m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    updateButtons();
}

void AttachmentsWindow::updateButtons() {
    const bool chosen = selectedId() != 0;
    m_open->setEnabled(chosen);
    m_save->setEnabled(chosen);
    m_remove->setEnabled(chosen && m_mayChange);
}

qint64 AttachmentsWindow::selectedId() const {
    const QTreeWidgetItem* item = m_list->currentItem();
    return item ? item->data(0, kIdRole).toLongLong() : 0;
}

QString AttachmentsWindow::selectedName() const {
    const QTreeWidgetItem* item = m_list->currentItem();
    return item ? item->data(0, kNameRole).toString() : QString();
}

void AttachmentsWindow::chooseFiles() {
    if (!m_mayChange)
        return;
    QFileDialog dialog(this, tr("Add Files to Call %1").arg(m_callId), SaveFolder(),
                       tr("All files (*)"));
    dialog.setObjectName(QStringLiteral("AddAttachmentDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    CurrentPrompts().showModal(dialog);
    if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    addFiles(dialog.selectedFiles());
}

void AttachmentsWindow::addFiles(const QStringList& paths) {
    if (!m_mayChange || paths.isEmpty())
        return;
    try {
        Attachments::AddFiles(SharedConnection(), m_callId, paths, AttachmentLimit());
        m_changed = true;
    } catch (const Failure& failure) {
        tell(failure);
    }
    reload();
}

void AttachmentsWindow::openSelected() {
    const qint64 id = selectedId();
    if (!id)
        return;
    const QString name = selectedName();
    const QString risk =
        AttachmentNames::Risk(name, m_list->currentItem()->data(0, kTypeRole).toString());
    if (!risk.isEmpty() &&
        MsgBox(tr("'%1' %2. Open it only if you know where it comes from. Open it?")
                   .arg(ShownSafely(name), risk),
               Prompts::YesNo | Prompts::Exclamation | Prompts::DefaultButton2) != Prompts::Yes)
        return;
    ErrorTrap trap("Attachments", "Open");
    QString path;
    trap.run(10, [&] { path = OpenedAttachments::WriteForOpening(SharedConnection(), id, name); });
    if (path.isEmpty())
        return;
    if (!OpenedAttachments::HandOver(path))
        MsgBox(tr("No program of the desktop opens '%1'; it is saved as %2.")
                   .arg(ShownSafely(name), path),
               Prompts::Exclamation);
}

void AttachmentsWindow::saveSelected() {
    const qint64 id = selectedId();
    if (!id)
        return;
    QFileDialog dialog(this, tr("Save Attachment As"), SaveFolder(), tr("All files (*)"));
    dialog.setObjectName(QStringLiteral("SaveAttachmentDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectFile(AttachmentNames::Cleaned(selectedName()));
    CurrentPrompts().showModal(dialog);
    if (dialog.result() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    try {
        Attachments::SaveAs(SharedConnection(), id, path);
        RememberSaveFolder(path);
    } catch (const Failure& failure) {
        tell(failure);
    }
}

void AttachmentsWindow::removeSelected() {
    const qint64 id = selectedId();
    if (!id || !m_mayChange)
        return;
    if (MsgBox(tr("Are you sure you want to remove '%1' from call %2?")
                   .arg(ShownSafely(selectedName()))
                   .arg(m_callId),
               Prompts::YesNo | Prompts::Question | Prompts::DefaultButton2) != Prompts::Yes)
        return;
    try {
        Attachments::Remove(SharedConnection(), id);
        m_removed.push_back(id);
        m_changed = true;
    } catch (const Failure& failure) {
        tell(failure);
    }
    reload();
}

void AttachmentsWindow::undoRemove() {
    if (m_removed.empty() || !m_mayChange)
        return;
    const qint64 id = m_removed.back();
    m_removed.pop_back();
    try {
        Attachments::BringBack(SharedConnection(), id);
        m_changed = true;
    } catch (const Failure& failure) {
        tell(failure);
    }
    reload();
    for (int row = 0; row < m_list->topLevelItemCount(); ++row) {
        if (m_list->topLevelItem(row)->data(0, kIdRole).toLongLong() == id)
            m_list->setCurrentItem(m_list->topLevelItem(row));
    }
}

bool AttachmentsWindow::showFor(QWidget* parent, qint64 callId, const QString& title) {
    AttachmentsWindow window(callId, title, parent);
    CurrentPrompts().showModal(window);
    return window.changed();
}

bool AttachmentsWindow::attachDropped(qint64 callId, const QString& title,
                                      const QStringList& paths) {
    if (paths.isEmpty())
        return false;
    if (HasSharedConnection() && SharedConnection().readOnly() && SharedConnection().server()) {
        MsgBox(ReadOnlyLoginTip(), Prompts::Exclamation);
        return false;
    }
    if (MsgBox(tr("Attach %1 to call %2, \"%3\"?")
                   .arg(listedNames(paths))
                   .arg(callId)
                   .arg(ShownSafely(title)),
               Prompts::YesNo | Prompts::Question) != Prompts::Yes)
        return false;
    try {
        Attachments::AddFiles(SharedConnection(), callId, paths, AttachmentLimit());
    } catch (const Failure& failure) {
        tell(failure);
        return false;
    }
    return true;
}
