#include "ui/app_paths.h"

#include "data/failure.h"
#include "data/private_files.h"
#include "records/attachment_store.h"
#include "ui/appearance.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringDecoder>
#include <memory>

namespace {

QString homeRelative(const char* variable, const char* fallback) {
    const QString fromEnvironment = qEnvironmentVariable(variable);
    if (!fromEnvironment.isEmpty() && QDir::isAbsolutePath(fromEnvironment))
        return QDir::cleanPath(fromEnvironment);
    const QString home = qEnvironmentVariable("HOME");
    if (home.isEmpty())
        return QString();
    return QDir::cleanPath(home + QLatin1Char('/') + QLatin1String(fallback));
}

QString& programFolderOverride() {
    static QString folder;
    return folder;
}

QString settingsFile(const QString& application) {
    return homeRelative("XDG_CONFIG_HOME", ".config") + QLatin1Char('/') + application +
           QLatin1Char('/') + application + QLatin1String(".ini");
}

// True when the file at `path` is plainly no settings file: binary bytes or no UTF-8 text.
bool damagedSettings(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (bytes.contains('\0'))
        return true;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    Q_UNUSED(text);
    return decoder.hasError();
}

// Puts a damaged settings file aside, so that a new one can be written, and tells the user
// once.
void replaceDamagedSettings(const QString& path) {
    const QString damaged = path + QStringLiteral(".damaged");
    QFile::remove(damaged);
    if (!QFile::rename(path, damaged))
        QFile::remove(path);
    PrivateFiles::restrictFile(damaged);
    static bool told = false;
    if (!told) {
        told = true;
        MsgBox(QStringLiteral("The settings file '%1' could not be read and has been replaced by "
                              "a new one, kept as '%2'; column widths and the window state start "
                              "from their defaults.")
                   .arg(path, damaged),
               Prompts::Exclamation);
    }
}

// The settings store of `application`. A file that is no settings file at all would keep
// every later write out; it is replaced first.
std::unique_ptr<QSettings> openSettings(const QString& application) {
    const QString path = settingsFile(application);
    if (damagedSettings(path))
        replaceDamagedSettings(path);
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

} // namespace

QString SpecialFolderPath(int folder) {
    if (folder != kCommonAppData)
        return QString();
    const QString path = homeRelative("XDG_DATA_HOME", ".local/share").trimmed();
    // The data home is a standard folder that a fresh account may not have yet.
    if (!path.isEmpty() && !QFileInfo::exists(path))
        QDir().mkpath(path);
    return path;
}

bool FileExists(const QString& path) {
    bool exists = false;
    Quietly([&] {
        const QFileInfo info(path);
        exists = !path.isEmpty() && info.exists() && info.lastModified().isValid();
    });
    return exists;
}

QString ProgramFolder() {
    if (!programFolderOverride().isEmpty())
        return programFolderOverride();
    return QCoreApplication::applicationDirPath();
}

void SetProgramFolder(const QString& folder) {
    programFolderOverride() = folder;
}

QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue) {
    const auto settings = openSettings(application);
    settings->beginGroup(section);
    const QVariant value = settings->value(key);
    return value.isValid() ? value.toString() : defaultValue;
}

void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value) {
    auto settings = openSettings(application);
    settings->setValue(section + QLatin1Char('/') + key, value);
    settings->sync();
    if (settings->status() == QSettings::FormatError) {
        // Text that the settings reader cannot make sense of: a new file, and once more.
        settings.reset();
        replaceDamagedSettings(settingsFile(application));
        settings = openSettings(application);
        settings->setValue(section + QLatin1Char('/') + key, value);
        settings->sync();
    }
    // The settings are the user's alone, like the call log.
    PrivateFiles::restrictFile(settings->fileName());
    PrivateFiles::restrictFolder(QFileInfo(settings->fileName()).absolutePath());
    if (settings->status() != QSettings::NoError)
        throw Failure(QStringLiteral("The settings file '%1' cannot be written, so column widths "
                                     "and the window state are not kept. Check that its folder "
                                     "can be written (and is a folder).")
                          .arg(settings->fileName()),
                      QStringLiteral("settings file"), QStringLiteral("settings"));
}

qint64 AttachmentLimit() {
    bool number = false;
    const qint64 megabytes =
        GetSetting(kVendor, kProductTitle, QStringLiteral("AttachmentLimitMB"), QString())
            .trimmed()
            .toLongLong(&number);
    // A setting that is no number, or none that makes sense, leaves the usual limit.
    if (!number || megabytes < 0 || megabytes > 1024 * 1024)
        return Attachments::kDefaultLimit;
    return megabytes * 1024 * 1024;
}
