// The mouse pointer over buttons and lists, the hand pointer's file, and windows of a fixed size.
#include "app/main_window.h"
#include "appearance_fixture.h"
#include "calls/call_editor.h"
#include "data/failure.h"
#include "data/shared_connection.h"
#include "test_support.h"
#include "ui/appearance.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTreeView>
#include <memory>
#include <unistd.h>

namespace {

// A cursor file: 32 x 32 pixels of 32-bit colour with its AND mask, hot spot as given. As an
// icon file (type 1) the two hot spot words hold the planes (1) and the bits per pixel (32).
QByteArray cursorFile(int hotX, int hotY, int type = 2) {
    QByteArray bytes;
    auto put16 = [&](int v) {
        bytes.append(char(v & 0xff));
        bytes.append(char((v >> 8) & 0xff));
    };
    auto put32 = [&](int v) {
        put16(v & 0xffff);
        put16((v >> 16) & 0xffff);
    };
    const int size = 32;
    const int pixelBytes = size * size * 4;
    const int maskBytes = size * 4;
    put16(0);
    put16(type);
    put16(1);
    bytes.append(char(size));
    bytes.append(char(size));
    bytes.append(char(0));
    bytes.append(char(0));
    put16(hotX);
    put16(hotY);
    put32(40 + pixelBytes + maskBytes);
    put32(22);
    put32(40);
    put32(size);
    put32(size * 2);
    put16(1);
    put16(32);
    put32(0);
    put32(pixelBytes + maskBytes);
    put32(0);
    put32(0);
    put32(0);
    put32(0);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool inside = x >= 8 && x < 24 && y >= 4 && y < 28;
            bytes.append(char(inside ? 0x20 : 0));
            bytes.append(char(inside ? 0x40 : 0));
            bytes.append(char(inside ? 0x80 : 0));
            bytes.append(char(inside ? 0xff : 0));
        }
    }
    bytes.append(QByteArray(maskBytes, '\0'));
    return bytes;
}

void enter(QWidget* widget) {
    const QPointF inside(2, 2);
    QEnterEvent event(inside, inside, widget->mapToGlobal(inside));
    QApplication::sendEvent(widget, &event);
}

void moveOver(QWidget* widget) {
    const QPointF inside(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent event(QEvent::MouseMove, inside, widget->mapToGlobal(inside), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestPointer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useTestScheme(); }

    void pointerOverButtonsAndLists() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        PointerFeedback* pointer = window->pointer();
        QVERIFY(!pointer->hasCustom());
        QCOMPARE(pointer->pointer(), 0);

        const QList<QPushButton*> buttons = {window->PushButton1, window->PushButton2,
                                             window->PushButton3, window->PushButton4,
                                             window->PushButton5, window->PushButton6};
        // The buttons not wired yet are disabled: no hand over them.
        for (QPushButton* button : buttons) {
            const int hand = button->isEnabled() ? 99 : 0;
            pointer->setPointer(kPointerDefault);
            enter(button);
            QCOMPARE(pointer->pointer(), hand);
            moveOver(window->ListView1->viewport());
            QCOMPARE(pointer->pointer(), 0);
            moveOver(button);
            QCOMPARE(pointer->pointer(), hand);
            moveOver(window.get());
            QCOMPARE(pointer->pointer(), 0);
        }
        // Without HAND-M.CUR the custom pointer is the ordinary one.
        enter(window->PushButton2);
        QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);

        // Nothing changes while the hourglass shows.
        pointer->setPointer(kPointerHourglass);
        QCOMPARE(window->cursor().shape(), Qt::WaitCursor);
        enter(window->PushButton1);
        moveOver(window->PushButton3);
        QCOMPARE(pointer->pointer(), 11);
        moveOver(window->ListView1->viewport());
        moveOver(window.get());
        QCOMPARE(pointer->pointer(), 11);
        QCOMPARE(window->cursor().shape(), Qt::WaitCursor);
        pointer->setPointer(kPointerDefault);
        enter(window->PushButton1);
        QCOMPARE(pointer->pointer(), 99);
        QVERIFY(prompts.boxes.empty());
    }

    // The mouse moved by a person across the call editor, ending over the last control named.
    void theHandShowsOnlyOverEnabledButtons_data() {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<int>("pointer");
        QTest::newRow("an enabled button") << QStringList{"Label1", "PushButton2"} << 99;
        QTest::newRow("a label after a button") << QStringList{"PushButton7", "Label8"} << 0;
        QTest::newRow("a list after a button") << QStringList{"PushButton7", "Combo3"} << 0;
        QTest::newRow("a text box after a button") << QStringList{"PushButton2", "Text3"} << 0;
        QTest::newRow("a disabled button after a button")
            << QStringList{"PushButton7", "PushButton19"} << 0;
        QTest::newRow("a disabled button") << QStringList{"Label1", "PushButton5"} << 0;
        QTest::newRow("a button after a disabled one")
            << QStringList{"PushButton6", "PushButton7"} << 99;
    }

    void theHandShowsOnlyOverEnabledButtons() {
        QFETCH(QStringList, path);
        QFETCH(int, pointer);
        TestEnvironment env;
        ScriptedPrompts prompts;
        QVERIFY(writeFile(env.programFolder() + "/HAND-M.CUR", cursorFile(10, 3)));
        env.openSharedConnection();
        Form2 editor;
        editor.Form_Load();
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        // The contact buttons are all usable; three of them are switched off for the test.
        for (QWidget* button : {editor.PushButton5, editor.PushButton6, editor.PushButton19})
            button->setEnabled(false);
        for (const QString& name : path) {
            auto* widget = editor.findChild<QWidget*>(name);
            QVERIFY2(widget, qPrintable(name));
            QTest::mouseMove(&editor, widget->mapTo(&editor, widget->rect().center()));
        }
        QTRY_COMPARE(editor.pointer()->pointer(), pointer);
        QCOMPARE(editor.cursor().shape(), pointer == 99 ? Qt::BitmapCursor : Qt::ArrowCursor);
        QVERIFY(prompts.boxes.empty());
    }

    // However a window manager asks, a fixed window stays as it is, over the main window.
    void fixedWindowsCannotBeMinimizedOrMaximized_data() {
        QTest::addColumn<int>("state");
        QTest::newRow("minimized") << int(Qt::WindowMinimized);
        QTest::newRow("maximized") << int(Qt::WindowMaximized);
    }

    void fixedWindowsCannotBeMinimizedOrMaximized() {
        QFETCH(int, state);
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        Form2 editor(window.get());
        editor.Form_Load();
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        const QSize size = editor.size();
        QVERIFY(!(editor.windowFlags() &
                  (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        editor.setWindowState(Qt::WindowStates(state));
        QTRY_COMPARE(editor.windowState(), Qt::WindowNoState);
        QVERIFY(editor.isVisible());
        QCOMPARE(editor.size(), size);
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());
    }

    void theHandPointerIsLoadedFromHandCur() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        QVERIFY(writeFile(env.programFolder() + "/HAND-M.CUR", cursorFile(10, 3)));
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        PointerFeedback* pointer = window->pointer();
        QVERIFY(pointer->hasCustom());
        QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);

        enter(window->PushButton2);
        QCOMPARE(pointer->pointer(), 99);
        QCOMPARE(window->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(window->cursor().hotSpot(), QPoint(10, 3));
        QCOMPARE(window->cursor().pixmap().size(), QSize(32, 32));
        moveOver(window->ListView1->viewport());
        QCOMPARE(pointer->pointer(), 0);
        QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);
    }

    // The hand pointer that the build draws beside the program.
    void theShippedHandPointerLoads() {
        const QString shipped =
            QFileInfo(QStringLiteral(QUORVANE_BLANK_DB_PATH)).absolutePath() + "/HAND-M.CUR";
        QVERIFY2(QFileInfo::exists(shipped), "the build draws HAND-M.CUR beside the program");
        TestEnvironment env;
        ScriptedPrompts prompts;
        QVERIFY(QFile::copy(shipped, env.programFolder() + "/HAND-M.CUR"));
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QVERIFY(window->pointer()->hasCustom());
        enter(window->PushButton6);
        QCOMPARE(window->cursor().shape(), Qt::BitmapCursor);
        const QPixmap picture = window->cursor().pixmap();
        QVERIFY(!picture.isNull());
        QVERIFY(QRect(QPoint(0, 0), picture.size()).contains(window->cursor().hotSpot()));
        // The picture is no empty square: it has transparent and drawn pixels.
        const QImage image = picture.toImage();
        bool transparent = false;
        bool drawn = false;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const int alpha = qAlpha(image.pixel(x, y));
                transparent = transparent || alpha == 0;
                drawn = drawn || alpha == 255;
            }
        }
        QVERIFY(transparent);
        QVERIFY(drawn);
    }

    // An icon saved under the cursor's name: icons point with their centre.
    void anIconAsHandPointerPointsWithItsCentre() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        QVERIFY(writeFile(env.programFolder() + "/HAND-M.CUR", cursorFile(1, 32, 1)));
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QVERIFY(window->pointer()->hasCustom());
        enter(window->PushButton1);
        QCOMPARE(window->cursor().shape(), Qt::BitmapCursor);
        QCOMPARE(window->cursor().hotSpot(), QPoint(16, 16));
    }

    void aBrokenHandCurIsReportedAndStartUpGoesOn() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        QVERIFY(writeFile(env.programFolder() + "/HAND-M.CUR", "this is no cursor"));
        auto window = StartProgram();
        QCOMPARE(reportedLoadLines(prompts), QList<int>({116}));
        QVERIFY(prompts.boxes[0].text.contains("HAND-M.CUR"));
        QVERIFY(!window->pointer()->hasCustom());
        enter(window->PushButton2);
        QCOMPARE(window->pointer()->pointer(), 99);
        QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);
        QCOMPARE(SharedConnection().state(), 1);
    }
};

QTEST_MAIN(TestPointer)
#include "test_pointer.moc"
