// The program on a Wayland compositor (run by wayland_run.sh under a headless one): the main
// window shows, the call editor opens from it on screen, and a new call is saved and listed.
#include "app/main_window.h"
#include "call_editor_fixture.h"
#include "list/call_list_model.h"

#include <QGuiApplication>
#include <QTest>

class TestWayland : public QObject {
    Q_OBJECT

private slots:
    void aCallIsSavedThroughTheWindows() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
        EditorData data;
        auto window = StartProgram();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        bool editorShown = false;
        data.prompts.onModal([&](QDialog& dialog) {
            auto* editor = qobject_cast<Form2*>(&dialog);
            QVERIFY(editor);
            editor->show();
            editorShown = QTest::qWaitForWindowExposed(editor);
            fillRequired(*editor);
            clickSave(*editor);
        });
        QTest::mouseClick(window->PushButton2, Qt::LeftButton);
        QVERIFY(editorShown);
        QCOMPARE(Rows("select Title, Status, Category, Priority from Calls"),
                 QStringList({"It's down|Open|Network|High"}));
        QTRY_COMPARE(window->callList()->rowCount(), 1);
        QVERIFY(data.prompts.errorReports().empty());
    }
};

QTEST_MAIN(TestWayland)
#include "test_wayland.moc"
