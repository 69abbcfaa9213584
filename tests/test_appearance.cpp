// Appearance: the application title, the optional skin and the button-face colour of windows.
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

const QString kSheet = QStringLiteral("QPushButton { color: rgb(1, 2, 3); }");

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

} // namespace

class TestAppearance : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useTestScheme(); }

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
};

QTEST_MAIN(TestAppearance)
#include "test_appearance.moc"
