#pragma once

#include <QString>

// Copies the file `source` to `destination` (which must not exist yet, or is replaced) through
// a temporary file beside it, so that a copy cut short never passes for the whole file. Fails
// with a description that names the cause (a full disk, a folder that cannot be written).
// The copy is readable and writable by its owner only.
void CopyWholeFile(const QString& source, const QString& destination);
