#include "ui/save_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
QString lastFolder;
}

QString SaveFolder() {
    if (!lastFolder.isEmpty() && QFileInfo(lastFolder).isDir())
        return lastFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

void RememberSaveFolder(const QString& filePath) {
    lastFolder = QFileInfo(filePath).absolutePath();
}
