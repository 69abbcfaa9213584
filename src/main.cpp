#include "app/command_line.h"
#include "app/daily_backup.h"
#include "app/main_window.h"
#include "data/failure.h"
#include "ui/appearance.h"
#include "ui/screen_fit.h"

#include <QApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv) {
    // Work asked for on the command line runs without a window.
    if (const std::optional<int> status = RunCommandLine(argc, argv))
        return *status;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "quorvane: no display available (DISPLAY is not set); start it from "
                             "a desktop session.\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(kProductTitle);
    QApplication::setOrganizationName(kVendor);
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    // Every window, the report preview included, stays within the screen at any scale.
    KeepWindowsOnScreen();
    // Lets the desktop match the window to the program's menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.merrowfen.Quorvane"));
    Form1 window;
    window.Form_Load();
    if (window.quitRequested())
        return 0;
    window.show();
    // Today's backup, once the database is there, while the window is in use.
    DailyBackup backup;
    const QString database = Form1::DataFolder() + QStringLiteral("/dbData.mdb");
    bool onServer = true;
    try {
        onServer = !Form1::ServerUri().isEmpty();
    } catch (const Failure&) {
    }
    if (!onServer && QFileInfo(database).isFile())
        backup.start(database);
    return QApplication::exec();
}
