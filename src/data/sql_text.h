#pragma once

#include <QString>

// Text ready to go between single quotes in SQL: every single quote doubled.
inline QString DoubledQuotes(const QString& text) {
    return QString(text).replace(QLatin1Char('\''), QLatin1String("''"));
}
