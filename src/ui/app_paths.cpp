#include "ui/app_paths.h"

#include "data/failure.h"
#include "ui/error_trap.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

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
    QSettings settings(settingsFile(application), QSettings::IniFormat);
    settings.beginGroup(section);
    const QVariant value = settings.value(key);
    return value.isValid() ? value.toString() : defaultValue;
}

void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value) {
    QSettings settings(settingsFile(application), QSettings::IniFormat);
    settings.beginGroup(section);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw Failure(
            QStringLiteral("The settings file '%1' cannot be written.").arg(settings.fileName()));
}
