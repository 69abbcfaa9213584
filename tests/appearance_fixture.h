#pragma once

// What the appearance suites share: the colour scheme they run under, writing a file, and the
// start-up lines named by the error reports shown.

#include "test_support.h"

#include <QApplication>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QList>
#include <QPalette>
#include <QRegularExpression>
#include <QString>

inline const QColor kButtonFace(0xd4, 0xd0, 0xc8);
inline const QColor kWindowColour(0xff, 0xff, 0xf0);

// Windows stay open after the last one closes, and the scheme's button face differs from the
// window colour, so that painting shows.
inline void useTestScheme() {
    QApplication::setQuitOnLastWindowClosed(false);
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Button, kButtonFace);
    palette.setColor(QPalette::Window, kWindowColour);
    QApplication::setPalette(palette);
}

inline bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QList<int> reportedLoadLines(const ScriptedPrompts& prompts) {
    static const QRegularExpression pattern(
        QStringLiteral("\r\nin Quorvane2021/08/31\\.Form1\\.Form_Load at line (\\d+)\r\r"));
    QList<int> lines;
    for (const ShownBox& box : prompts.errorReports()) {
        const QRegularExpressionMatch match = pattern.match(box.text);
        lines << (match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    return lines;
}
