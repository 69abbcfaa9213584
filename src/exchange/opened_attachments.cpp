#include "exchange/opened_attachments.h"

#include "data/failure.h"
#include "records/attachment_names.h"
#include "records/attachment_store.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

namespace OpenedAttachments {
namespace {

std::function<bool(const QUrl&)>& opener() {
    static std::function<bool(const QUrl&)> open = [](const QUrl& url) {
        return QDesktopServices::openUrl(url);
    };
    return open;
}

// Made private by the system (mkdtemp makes it 0700); removed with everything in it when the
// program ends.
std::unique_ptr<QTemporaryDir>& folder() {
    static std::unique_ptr<QTemporaryDir> made;
    return made;
}

const QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

QString Folder() {
    return folder() ? folder()->path() : QString();
}

QString WriteForOpening(Connection& connection, qint64 id, const QString& name) {
    if (!folder()) {
        auto made = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                    QStringLiteral("/quorvane-opened-XXXXXX"));
        if (!made->isValid())
            throw Failure(QStringLiteral("No private folder can be made for opening attachments: "
                                         "%1")
                              .arg(made->errorString()));
        folder() = std::move(made);
    }
    // Each attachment in a folder of its own, so that two of one name do not meet.
    const QString place = folder()->path() + QStringLiteral("/%1").arg(id);
    if (!QDir().exists(place)) {
        if (!QDir().mkdir(place))
            throw Failure(QStringLiteral("The folder '%1' cannot be made.").arg(place));
        QFile::setPermissions(place, kOwnerOnly | QFileDevice::ExeOwner);
    }
    const QString path = place + QLatin1Char('/') + AttachmentNames::Cleaned(name);
    Attachments::SaveAs(connection, id, path, true);
    QFile::setPermissions(path, kOwnerOnly);
    return path;
}

bool HandOver(const QString& path) {
    return opener()(QUrl::fromLocalFile(path));
}

void SetOpener(std::function<bool(const QUrl&)> open) {
    opener() =
        open ? std::move(open) : [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

} // namespace OpenedAttachments
