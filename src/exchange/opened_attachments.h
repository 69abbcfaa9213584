#pragma once

#include <QString>
#include <functional>

class Connection;
class QUrl;

// Attachments opened with the desktop's programs: each is written into a private folder of
// this run (0700, its files 0600, never executable), under a cleaned name, and the folder goes
// when the program ends.
namespace OpenedAttachments {

// Writes the attachment `id`, named `name`, into the folder and answers the file's path.
QString WriteForOpening(Connection& connection, qint64 id, const QString& name);

// Hands the file to the desktop's default program for its type; answers whether one took it.
bool HandOver(const QString& path);

// What hands a file over (the desktop's services unless a test puts its own).
void SetOpener(std::function<bool(const QUrl&)> opener);

// The folder of this run, made when first needed (empty until then).
QString Folder();

} // namespace OpenedAttachments
