#pragma once

#include <QString>

// The folder a dialog that saves a file opens in: the folder of the file saved last (in this
// run of the program), else the user's documents folder, else the home folder.
QString SaveFolder();

// Remembers the folder of `filePath`, which was just saved.
void RememberSaveFolder(const QString& filePath);
