#pragma once

#include <QString>

// Special folder number of the common application-data folder.
constexpr int kCommonAppData = 35;

// The file-system path of a special folder: 35 is the data home ($XDG_DATA_HOME, else
// ~/.local/share). Other numbers, or a home that cannot be found, give the empty text.
QString SpecialFolderPath(int folder);

// True when the path names an existing file or folder whose modification time can be read.
// Never fails.
bool FileExists(const QString& path);

// The folder of the executable, where dbBlank.mdb, HAND-M.CUR and the skin lie.
QString ProgramFolder();
// Lets tests point the program folder elsewhere; the empty text restores the default.
void SetProgramFolder(const QString& folder);

// The per-user settings store: values are text, kept by application, section and key in
// $XDG_CONFIG_HOME/<application>/<application>.ini (else ~/.config).
QString GetSetting(const QString& application, const QString& section, const QString& key,
                   const QString& defaultValue);
void SaveSetting(const QString& application, const QString& section, const QString& key,
                 const QString& value);

// The largest file that may be attached to a call, in bytes: the setting AttachmentLimitMB (a
// whole number of mebibytes), else 100 MB.
qint64 AttachmentLimit();
