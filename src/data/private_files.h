#pragma once

#include <QString>

// The call log is read by its owner only: its folders are 0700 and its files 0600, whatever
// the umask, however a file was made (copied, restored, renamed into place).
namespace PrivateFiles {

// Makes the folder (and any missing parents) and gives the last one the owner's access only.
// Fails with a description when it cannot be made.
void makeFolder(const QString& path);

// Nothing for the group and others; the owner keeps what it has (0600 for a file made by the
// program, 0700 for a folder; a file that its owner made read-only stays read-only).
void restrictFile(const QString& path);
void restrictFolder(const QString& path);

// Restricts `folder`, every file in it and every folder below it (symbolic links are left
// alone).
void restrictTree(const QString& folder);

// Creates an empty file that only its owner can read, replacing any file at `path`. Fails
// with the system's cause.
void createEmpty(const QString& path);

// Why `path` cannot be read or written as an ordinary file: "'x' is a folder, not a file.",
// "'x' is a device, not a file." and the like (a file of /proc or /sys included); empty for an
// ordinary file or no file at all.
QString notAFile(const QString& path);

// The system's words for the last failed call (errno), such as "No space left on device".
QString systemCause();

} // namespace PrivateFiles
