// Appearance: the application title, the optional skin, the button-face colour of windows and
// the mouse pointer over buttons and lists.
#include "app/main_window.h"
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

const QColor kButtonFace(0xd4, 0xd0, 0xc8);
const QColor kWindowColour(0xff, 0xff, 0xf0);
const QString kSheet = QStringLiteral("QPushButton { color: rgb(1, 2, 3); }");

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Whether `widget` is painted in the button-face colour.
bool paintedAsButtonFace(const QWidget* widget) {
    return widget->autoFillBackground() && widget->palette().color(QPalette::Window) == kButtonFace;
}

// A window with one control of each kind.
struct SampleWindow {
    QDialog window;
    QLabel* label = new QLabel(QStringLiteral("Title"), &window);
    QFrame* frame = new QFrame(&window);
    QGroupBox* group = new QGroupBox(QStringLiteral("Group"), &window);
    QCheckBox* check = new QCheckBox(QStringLiteral("Check"), group);
    QRadioButton* option = new QRadioButton(QStringLiteral("Option"), group);
    QLabel* labelInGroup = new QLabel(QStringLiteral("Inside"), group);
    QPushButton* button = new QPushButton(QStringLiteral("Save"), &window);
    QLineEdit* edit = new QLineEdit(&window);
    QTreeView* list = new QTreeView(&window);
};

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

QList<int> reportedLoadLines(const ScriptedPrompts& prompts) {
    static const QRegularExpression pattern(
        QStringLiteral("\r\nin Quorvane2021/08/31\\.Form1\\.Form_Load at line (\\d+)\r\r"));
    QList<int> lines;
    for (const ShownBox& box : prompts.errorReports()) {
        const QRegularExpressionMatch match = pattern.match(box.text);
        lines << (match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    return lines;
}

} // namespace

class TestAppearance : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        // A scheme whose button face differs from the window colour, so that painting shows.
        QPalette palette = QApplication::palette();
        palette.setColor(QPalette::Button, kButtonFace);
        palette.setColor(QPalette::Window, kWindowColour);
        QApplication::setPalette(palette);
    }

    void applicationTitle_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one word is kept whole") << "Quorvane"
                                                << "Quorvane";
        QTest::newRow("two words") << "Quorvane Pro"
                                   << "Quorvane";
        QTest::newRow("several words lose the last") << "Merrowfen Quorvane Call Log"
                                                     << "Merrowfen Quorvane Call";
        QTest::newRow("40 characters, four blanks, last word of 8")
            << "Abcdef Hijklmno Pqrstuv Wxyzabc Defghijk"
            << "Abcdef Hijklmno Pqrstuv Wxyzabc";
        QTest::newRow("long title loses words until it fits")
            << "Merrowfen Quorvane Customer Call Logging and Tracking Suite"
            << "Merrowfen Quorvane Customer Call Logging";
        QTest::newRow("41 characters") << "Merrowfen Quorvane Customer Call Logging X"
                                       << "Merrowfen Quorvane Customer Call Logging";
        QTest::newRow("blank at the end") << "Quorvane "
                                          << "Quorvane";
    }

    void applicationTitle() {
        QFETCH(QString, product);
        QFETCH(QString, expected);
        const QString title = DeriveAppTitle(product);
        QCOMPARE(title, expected);
        QVERIFY(title.size() <= 40);
        SetAppTitle(product);
        QCOMPARE(AppTitle(), expected);
        SetAppTitle();
        QCOMPARE(AppTitle(), QStringLiteral("Quorvane"));
    }

    void theFortyCharacterExampleHoldsItsShape() {
        const QString product = QStringLiteral("Abcdef Hijklmno Pqrstuv Wxyzabc Defghijk");
        QCOMPARE(product.size(), 40);
        QCOMPARE(product.count(' '), 4);
        QCOMPARE(product.section(' ', -1).size(), 8);
        QCOMPARE(DeriveAppTitle(product).size(), 31);
    }

    void aLongTitleWithoutBlanksStillGivesATitle() {
        const QString product(55, QLatin1Char('Q'));
        const QString title = DeriveAppTitle(product);
        QVERIFY(!title.isEmpty());
        QVERIFY(title.size() <= 40);
        QVERIFY(product.startsWith(title));
    }

    void startUpSetsTheTitles() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        SetAppTitle(QStringLiteral("Something Else Entirely"));
        auto window = StartProgram();
        QCOMPARE(window->windowTitle(), QStringLiteral("Quorvane"));
        QCOMPARE(AppTitle(), QStringLiteral("Quorvane"));
        QVERIFY(!window->windowIcon().isNull());
        QVERIFY(prompts.boxes.empty());
    }

    void skin_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("applied");
        QTest::newRow("no skin file") << "none" << false;
        QTest::newRow("skin file") << "plain" << true;
        QTest::newRow("hidden skin file") << "hidden" << false;
        QTest::newRow("hidden among other names") << "hidden among others" << false;
        QTest::newRow("other names hidden") << "others hidden" << true;
        QTest::newRow("a folder named o.cjs") << "folder" << false;
        QTest::newRow("a broken link") << "broken link" << false;
        QTest::newRow("a link to a skin") << "link" << true;
    }

    void skin() {
        QFETCH(QString, setup);
        QFETCH(bool, applied);
        TestEnvironment env;
        const QString folder = env.programFolder() + "/x";
        const QString skin = folder + "/o.cjs";
        if (setup != "none")
            QVERIFY(QDir().mkpath(folder));
        if (setup == "plain" || setup.contains("hidden"))
            QVERIFY(writeFile(skin, kSheet.toUtf8()));
        if (setup == "hidden")
            QVERIFY(writeFile(folder + "/.hidden", "o.cjs\n"));
        if (setup == "hidden among others")
            QVERIFY(writeFile(folder + "/.hidden", "notes.txt\no.cjs\nold.cjs"));
        if (setup == "others hidden")
            QVERIFY(writeFile(folder + "/.hidden", "notes.txt\no.cjs.bak\n"));
        if (setup == "folder")
            QVERIFY(QDir().mkpath(skin));
        if (setup == "broken link")
            QVERIFY(QFile::link(folder + "/gone.cjs", skin));
        if (setup == "link") {
            QVERIFY(writeFile(env.programFolder() + "/real.cjs", kSheet.toUtf8()));
            QVERIFY(QFile::link(env.programFolder() + "/real.cjs", skin));
        }

        SampleWindow sample;
        ApplySkin(&sample.window, &sample.window);

        QCOMPARE(SkinPresent(), applied);
        QCOMPARE(sample.window.styleSheet(), applied ? kSheet : QString());
        QCOMPARE(paintedAsButtonFace(&sample.window), applied);
        QCOMPARE(paintedAsButtonFace(sample.label), applied);
        QCOMPARE(paintedAsButtonFace(sample.frame), applied);
        QCOMPARE(paintedAsButtonFace(sample.group), applied);
        QCOMPARE(paintedAsButtonFace(sample.check), applied);
        QCOMPARE(paintedAsButtonFace(sample.option), applied);
        QCOMPARE(paintedAsButtonFace(sample.labelInGroup), applied);
        // Lists, push buttons and text boxes are not touched.
        QVERIFY(!sample.button->autoFillBackground());
        QVERIFY(!sample.edit->autoFillBackground());
        QVERIFY(!sample.list->autoFillBackground());
    }

    void aSkinThatCannotBeReadFails_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no permission to read") << "no permission" << kSheet.toUtf8();
        QTest::newRow("the read fails") << "read error" << QByteArray();
        QTest::newRow("a rule left open") << "content" << QByteArray("QPushButton { color: red");
        QTest::newRow("braces out of order") << "content" << QByteArray("}} QLabel { } {");
        QTest::newRow("not text in UTF-8") << "content" << QByteArray("QLabel { }\xff\xfe");
        QTest::newRow("binary") << "content" << QByteArray("CJS\x01\x00\x02skin", 9);
    }

    void aSkinThatCannotBeReadFails() {
        QFETCH(QString, setup);
        QFETCH(QByteArray, content);
        TestEnvironment env;
        const QString skin = env.programFolder() + "/x/o.cjs";
        QVERIFY(QDir().mkpath(env.programFolder() + "/x"));
        if (setup == "no permission") {
            if (geteuid() == 0)
                QSKIP("Permissions do not keep the superuser from reading a file.");
            QVERIFY(writeFile(skin, content));
            QVERIFY(QFile::setPermissions(skin, QFileDevice::Permissions()));
        } else if (setup == "content") {
            QVERIFY(writeFile(skin, content));
        } else {
            // A plain file whose reading fails for everyone: the process's own memory from
            // address 0, which is never mapped.
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), skin));
        }

        SampleWindow sample;
        QString why;
        try {
            ApplySkin(&sample.window, &sample.window);
        } catch (const Failure& failure) {
            why = failure.description();
        }
        QVERIFY2(why.contains(skin), qPrintable(why));
        QCOMPARE(sample.window.styleSheet(), QString());
    }

    void startUpReportsASkinThatCannotBeReadAndGoesOn_data() {
        QTest::addColumn<bool>("readable");
        QTest::newRow("cannot be read") << false;
        QTest::newRow("not a style sheet") << true;
    }

    void startUpReportsASkinThatCannotBeReadAndGoesOn() {
        QFETCH(bool, readable);
        TestEnvironment env;
        ScriptedPrompts prompts;
        QVERIFY(QDir().mkpath(env.programFolder() + "/x"));
        const QString skin = env.programFolder() + "/x/o.cjs";
        if (readable)
            QVERIFY(writeFile(skin, "QPushButton { color: red"));
        else
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), skin));

        auto window = StartProgram();

        QCOMPARE(reportedLoadLines(prompts), QList<int>({112}));
        QVERIFY(prompts.boxes[0].text.contains("o.cjs"));
        QVERIFY(window->isVisible());
        QCOMPARE(window->findChild<QWidget*>("ClientArea")->styleSheet(), QString());
        QCOMPARE(window->windowTitle(), QStringLiteral("Quorvane"));
        QCOMPARE(SharedConnection().state(), 1);
        QCOMPARE(window->ListView1->model()->columnCount(), 12);
    }

    void startUpAppliesTheSkinToTheMainWindow() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        QVERIFY(QDir().mkpath(env.programFolder() + "/x"));
        QVERIFY(writeFile(env.programFolder() + "/x/o.cjs", kSheet.toUtf8()));
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QVERIFY(paintedAsButtonFace(window.get()));
        QVERIFY(!window->PushButton2->autoFillBackground());
        // The sheet reaches the main window's controls, not the windows and boxes over it.
        auto textColour = [](QWidget* widget) {
            widget->ensurePolished();
            return widget->palette().color(QPalette::ButtonText);
        };
        QCOMPARE(textColour(window->PushButton2), QColor(1, 2, 3));
        Form2 editor(window.get());
        QVERIFY(textColour(editor.PushButton2) != QColor(1, 2, 3));
        QMessageBox box(window.get());
        box.setStandardButtons(QMessageBox::Yes);
        QVERIFY(textColour(box.button(QMessageBox::Yes)) != QColor(1, 2, 3));
    }

    void withoutASkinTheMainWindowKeepsItsColours() {
        TestEnvironment env;
        ScriptedPrompts prompts;
        auto window = StartProgram();
        QVERIFY(prompts.boxes.empty());
        QCOMPARE(window->styleSheet(), QString());
        QVERIFY(!window->autoFillBackground());
        QCOMPARE(window->palette().color(QPalette::Window), kWindowColour);
    }

    void setFormColorsPaintsLabelsAndFramesInTheButtonFace() {
        TestEnvironment env;
        SampleWindow sample;
        QVERIFY(!paintedAsButtonFace(sample.label));
        SetFormColors(&sample.window);
        QVERIFY(paintedAsButtonFace(&sample.window));
        for (QWidget* widget :
             std::initializer_list<QWidget*>{sample.label, sample.frame, sample.group, sample.check,
                                             sample.option, sample.labelInGroup})
            QVERIFY2(paintedAsButtonFace(widget), widget->metaObject()->className());
        QVERIFY(!sample.button->autoFillBackground());
        QVERIFY(!sample.edit->autoFillBackground());
        QVERIFY(!sample.list->autoFillBackground());
        // No style sheet: that belongs to the main window's skin only.
        QCOMPARE(sample.window.styleSheet(), QString());
    }

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

QTEST_MAIN(TestAppearance)
#include "test_appearance.moc"
