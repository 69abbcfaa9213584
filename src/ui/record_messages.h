#pragma once

#include <QString>

// The confirmations of every editor after a save that wrote its row.
inline const QString kRecordSaved = QStringLiteral("Record Successfully Saved");
inline const QString kRecordUpdated = QStringLiteral("Record Successfully Updated");
