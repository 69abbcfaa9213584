#pragma once

#include <QString>

// Text ready to go between single quotes in SQL: every single quote doubled.
inline QString DoubledQuotes(const QString& text) {
    return QString(text).replace(QLatin1Char('\''), QLatin1String("''"));
}

// Fails when `text` holds a NUL character, which cannot be stored (the engine stops reading a
// statement at one, and would keep it in a bound value).
void RefuseNulText(const QString& text);
