// The database components check at start-up, the repair package it runs, and the routines
// behind it: the processor's address width and starting a program to wait for its end.
#include "app/components_check.h"
#include "app/main_window.h"
#include "data/shared_connection.h"
#include "test_support.h"
#include "ui/app_paths.h"
#include "ui/appearance.h"

#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

const QString kRepairQuestion = "Error #193: ADO is not properly installed on this computer. \r\n"
                                "You need to have it installed to use this software without "
                                "error.\r\n\r\nWould you like to repair it now?";
const QString kFixedQuestion = "ADO is fixed on this computer. \r\nYou need to restart your "
                               "computer and software.\r\n\r\nWould you like to stop software now?";
const QString kMdacNote =
    "Please check for MDAC installation.\r\n\r\nPlease check this: " QUORVANE_KNOWLEDGE_BASE_PAGE
    " and look for 'How to obtain this update' section and download the appropriate update."
    "\r\n\r\nPlease email " QUORVANE_SUPPORT_EMAIL
    " with a screenshot of this message if you have any questions.";

// The package for this machine's address width and the other one.
QString ownPackage() {
    return GetAddressWidth() == "64" ? "ADOFix64.msu" : "ADOFix86.msu";
}
QString otherPackage() {
    return ownPackage() == "ADOFix64.msu" ? "ADOFix86.msu" : "ADOFix64.msu";
}

// A package that takes a moment and leaves "<package>.ran" with the window style it was given.
void writePackage(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\nsleep 0.3\necho \"$QUORVANE_WINDOW_STYLE\" > \"$0.ran\"\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

// The program's start-up on a machine whose engine is broken, answering Yes to both questions.
int startWithBrokenEngine(const QString& programFolder) {
    ScriptedPrompts prompts;
    SetProgramFolder(programFolder);
    SetDatabaseComponentsBroken(true);
    Form1 window;
    window.Form_Load();
    window.close();
    return 3;
}

} // namespace

class TestComponentsCheck : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { SetDatabaseComponentsBroken(false); }

    void theCheckAtStartUp_data() {
        QTest::addColumn<bool>("broken");
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QString>("package");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QByteArray>("ran"); // the window style the package was given
        QTest::newRow("working engine")
            << false << QList<int>() << ownPackage() << QStringList() << QByteArray();
        QTest::newRow("no repair")
            << true << QList<int>{Prompts::No} << ownPackage()
            << QStringList{"4 " + kRepairQuestion, "0 " + kMdacNote} << QByteArray();
        QTest::newRow("repair without a package")
            << true << QList<int>{Prompts::Yes} << QString() << QStringList{"4 " + kRepairQuestion}
            << QByteArray();
        QTest::newRow("repair with the other width's package only")
            << true << QList<int>{Prompts::Yes} << otherPackage()
            << QStringList{"4 " + kRepairQuestion} << QByteArray();
        QTest::newRow("repair, then go on")
            << true << QList<int>{Prompts::Yes, Prompts::No} << ownPackage()
            << QStringList{"4 " + kRepairQuestion, "4 " + kFixedQuestion} << QByteArray("0\n");
    }

    void theCheckAtStartUp() {
        QFETCH(bool, broken);
        QFETCH(QList<int>, answers);
        QFETCH(QString, package);
        QFETCH(QStringList, boxes);
        QFETCH(QByteArray, ran);
        TestEnvironment env;
        ScriptedPrompts prompts;
        for (int answer : answers)
            prompts.answer(answer);
        if (!package.isEmpty())
            writePackage(env.programFolder() + '/' + package);
        SetDatabaseComponentsBroken(broken);
        auto window = StartProgram();

        QStringList shown;
        for (const ShownBox& box : prompts.boxes) {
            shown << QString::number(box.style) + ' ' + box.text;
            QCOMPARE(box.title, AppTitle());
        }
        QCOMPARE(shown, boxes);
        // The package ran hidden and to its end, or not at all.
        QFile marker(env.programFolder() + '/' + package + ".ran");
        QCOMPARE(marker.open(QIODevice::ReadOnly) ? marker.readAll() : QByteArray(), ran);
        // Start-up goes on.
        QCOMPARE(SharedConnection().state(), 1);
        QCOMPARE(window->ListView1->model()->columnCount(), 12);
    }

    void stoppingAfterTheRepairEndsAtOnce() {
        TestEnvironment env;
        writePackage(env.programFolder() + '/' + ownPackage());
        QProcess program;
        program.start(QCoreApplication::applicationFilePath(),
                      {"--start-with-broken-engine", env.programFolder()});
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(QFile::exists(env.programFolder() + '/' + ownPackage() + ".ran"));
        QVERIFY(!QFile::exists(env.configHome() + "/Merrowfen/Merrowfen.ini"));
    }

    void shellAndWait_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("result");
        const QString style = "sh -c \"exit $QUORVANE_WINDOW_STYLE\"";
        const int none = -100;
        QTest::newRow("style 7 means 6") << style << 7 << 6;
        QTest::newRow("style -1 means 6") << style << -1 << 6;
        QTest::newRow("no style means 6") << style << none << 6;
        QTest::newRow("style 0") << style << 0 << 0;
        QTest::newRow("exit code") << "sh -c \"exit 42\"" << none << 42;
        QTest::newRow("no such program") << "/nonexistent/ADOFix64.msu" << none << -2147221504 + 53;
        QTest::newRow("not a program") << "/etc/passwd" << 0 << -2147221504 + 70;
    }

    void shellAndWait() {
        QFETCH(QString, command);
        QFETCH(int, style);
        QFETCH(int, result);
        QCOMPARE(style == -100 ? ShellAndWait(command) : ShellAndWait(command, style), result);
    }

    void windowsHandleEventsWhileWaiting() {
        int ticks = 0;
        QTimer timer;
        timer.callOnTimeout([&] { ++ticks; });
        timer.start(20);
        QCOMPARE(ShellAndWait("sleep 0.5"), 0);
        QVERIFY(ticks >= 2);
    }

    void addressWidth_data() {
        QTest::addColumn<QString>("cpuinfo");
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("width");
        const QString longMode = "processor\t: 0\nflags\t\t: fpu lm sse\n\n";
        const QString noLongMode = "processor\t: 1\nflags\t\t: fpu sse\n\n";
        QTest::newRow("64-bit") << longMode << "x86_64"
                                << "64";
        QTest::newRow("32-bit kernel") << longMode << "i686"
                                       << "32";
        QTest::newRow("last decides, 32") << longMode + noLongMode << "x86_64"
                                          << "32";
        QTest::newRow("last decides, 64") << noLongMode + longMode << "x86_64"
                                          << "64";
        QTest::newRow("no flags listed") << "processor\t: 0\nBogoMIPS\t: 50\n"
                                         << "aarch64"
                                         << "64";
        QTest::newRow("no processor") << ""
                                      << "x86_64"
                                      << "";
    }

    void addressWidth() {
        QFETCH(QString, cpuinfo);
        QFETCH(QString, machine);
        QFETCH(QString, width);
        QCOMPARE(AddressWidthOf(cpuinfo, machine), width);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (argc == 3 && qstrcmp(argv[1], "--start-with-broken-engine") == 0)
        return startWithBrokenEngine(QString::fromLocal8Bit(argv[2]));
    TestComponentsCheck test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_components_check.moc"
