#include "app/command_line.h"
#include "app/daily_backup.h"
#include "app/main_window.h"
#include "data/failure.h"
#include "ui/appearance.h"
#include "ui/screen_fit.h"

#include <QApplication>
#include <QFileInfo>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

const char* const kNoDisplay = "quorvane: no display available (%s); start it from a desktop "
                               "session.\n";

// What the window system said before the platform gave up.
QByteArray& platformMessage() {
    static QByteArray message;
    return message;
}

// Until the application object stands, a fatal message can only mean that no display could be
// reached: say so and end with status 1 instead of aborting.
void beforeDisplay(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type != QtFatalMsg) {
        if (context.category && QByteArray(context.category).startsWith("qt.qpa"))
            platformMessage() = text.toLocal8Bit();
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
        return;
    }
    const QByteArray cause = platformMessage().isEmpty()
                                 ? QByteArray("the window system cannot be reached")
                                 : platformMessage();
    std::fprintf(stderr, kNoDisplay, cause.constData());
    std::fflush(stderr);
    _exit(1);
}

} // namespace

int main(int argc, char** argv) {
    // Under a file-size limit a write fails and is reported, instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    // Work asked for on the command line runs without a window.
    if (const std::optional<int> status = RunCommandLine(argc, argv))
        return *status;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, kNoDisplay, "DISPLAY is not set");
        return 1;
    }
    const QtMessageHandler usual = qInstallMessageHandler(beforeDisplay);
    QApplication app(argc, argv);
    qInstallMessageHandler(usual);
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
