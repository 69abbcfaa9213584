// Every window fits the part of the screen that the desktop leaves free, on a screen 1,000
// pixels tall at a scale of 1.5.
#include "app/main_window.h"
#include "calls/call_editor.h"
#include "reports/report_catalog.h"
#include "reports/report_chooser.h"
#include "reports/report_document.h"
#include "reports/report_preview.h"
#include "test_support.h"
#include "ui/screen_fit.h"

#include <QApplication>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

class TestScreenFit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        KeepWindowsOnScreen();
    }

    void everyWindowFitsTheScreen_data() {
        QTest::addColumn<QString>("window");
        for (const char* window :
             {"report preview", "main window", "call editor", "report chooser"})
            QTest::newRow(window) << window;
    }

    void everyWindowFitsTheScreen() {
        QFETCH(QString, window);
        TestEnvironment env;
        env.openSharedConnection();
        ScriptedPrompts prompts;
        std::unique_ptr<QWidget> shown;
        if (window == "report preview") {
            shown = std::make_unique<ReportPreview>(OpenReport(*FindReportEntry("Open Calls")));
        } else if (window == "main window") {
            shown = StartProgram();
        } else if (window == "call editor") {
            auto editor = std::make_unique<Form2>();
            editor->Form_Load();
            shown = std::move(editor);
        } else {
            auto chooser = std::make_unique<Form4>();
            chooser->Form_Load();
            shown = std::move(chooser);
        }
        const QSize designed = shown->size();
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
        const QRect area = shown->screen()->availableGeometry();
        QVERIFY(area.height() < 700);
        QVERIFY2(area.contains(shown->frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4")
                                .arg(shown->frameGeometry().x())
                                .arg(shown->frameGeometry().y())
                                .arg(shown->frameGeometry().width())
                                .arg(shown->frameGeometry().height())));
        // A window that fits keeps its designed size.
        if (designed.height() < area.height() - 40)
            QCOMPARE(shown->size(), designed);
        QVERIFY(prompts.boxes.empty());
    }
};

int main(int argc, char** argv) {
    QTemporaryDir folder;
    QFile screens(folder.filePath("screens.json"));
    if (!screens.open(QIODevice::WriteOnly) ||
        screens.write(R"({"screens": [{"name": "tall", "width": 1600, "height": 1000}]})") < 0)
        return 1;
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toUtf8());
    qputenv("QT_SCALE_FACTOR", "1.5");
    QApplication application(argc, argv);
    TestScreenFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_screen_fit.moc"
