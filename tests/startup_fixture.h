#pragma once

// What the start-up suites share: files and the settings file, the error reports shown at
// start-up, the list's column widths and a call written straight to the database.

#include "app/main_window.h"
#include "test_support.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QTreeView>

inline QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(content);
}

inline QString settingsPath(const TestEnvironment& env) {
    return env.configHome() + "/Merrowfen/Merrowfen.ini";
}

// The line numbers of the error reports shown, checking that each names `procedure`.
inline QList<int> reportedLines(const ScriptedPrompts& prompts,
                                const QString& procedure = QStringLiteral("Form_Load")) {
    const QRegularExpression pattern("\r\nin Quorvane2021/08/31\\.Form1\\." + procedure +
                                     " at line (\\d+)(\r\n\u2026 and \\d+ more \\w+)?\r\r");
    QList<int> lines;
    for (const ShownBox& box : prompts.errorReports()) {
        const QRegularExpressionMatch match = pattern.match(box.text);
        lines << (match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    return lines;
}

inline QList<int> columnWidths(const Form1& window) {
    QList<int> widths;
    for (int i = 0; i < window.ListView1->header()->count(); ++i)
        widths << window.ListView1->header()->sectionSize(i);
    return widths;
}

inline QList<int> defaultWidths() {
    QList<int> widths{80};
    for (int i = 1; i < 12; ++i)
        widths << 100;
    return widths;
}

inline void addCallDirectly(const QString& title) {
    Exec("insert into Calls (Title,[Opened Date],[Due Date],[Call Time]) values ('" + title +
         "','2021-03-04','2021-03-05','2021-03-04')");
}
