// The boxes as the user meets them: the real message and input boxes, their text, their
// default button, their buttons and their width.
#include "test_support.h"
#include "ui/error_trap.h"
#include "ui/prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QProxyStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

// Runs `act` on the next modal box as soon as it shows.
void whenShown(std::function<void(QDialog&)> act) {
    QTimer::singleShot(10, [act] {
        if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            act(*box);
        else
            whenShown(act);
    });
}

// The label that shows a box's text (the message or the input prompt).
QLabel* textLabel(QDialog& box) {
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
        return label;
    return box.findChild<QLabel*>();
}

const QString kWarning = QStringLiteral("Warning: Deleting category will also delete issue data "
                                        "that is linked to this category.\r\nDo you wish to "
                                        "continue?");

// A desktop theme that puts pictures on the buttons of dialogs.
class ButtonsWithIcons : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

} // namespace

class TestPrompts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        QApplication::setStyle(new ButtonsWithIcons);
    }

    // Every box shows what it was given as plain text, each line whole on one line of the box,
    // and buttons without pictures.
    void boxesShowTheirTextAsGiven_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("question with markup")
            << "question"
            << "Are you sure you want to delete [<b>Printer</b> jams]?"
            << "Are you sure you want to delete [<b>Printer</b> jams]?";
        QTest::newRow("message with an address")
            << "message"
            << "Questions? Please contact Team Merrowfen at https://www.merrowfen.example/contact/"
            << "Questions? Please contact Team Merrowfen at https://www.merrowfen.example/contact/";
        QTest::newRow("warning of two lines")
            << "question" << kWarning << QString(kWarning).replace("\r\n", "\n");
        QTest::newRow("error report with markup")
            << "report"
            << "<i>Bad</i> &amp; <br>worse"
            << ErrorReportText("<i>Bad</i> &amp; <br>worse", "in Quorvane2021/08/31.Form1.X ", 100)
                   .replace("\r\n", "\n")
                   .replace('\r', '\n');
        QTest::newRow("input prompt with markup") << "input"
                                                  << "Enter new <u>Status</u>: "
                                                  << "Enter new <u>Status</u>: ";
        QTest::newRow("input prompt") << "input"
                                      << "Enter new Category: "
                                      << "Enter new Category: ";
    }

    void boxesShowTheirTextAsGiven() {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, shown);
        Qt::TextFormat format = Qt::RichText;
        QString label;
        int lines = 0;
        int longest = 0;
        int width = 0;
        int buttonsWithIcons = -1;
        whenShown([&](QDialog& box) {
            QLabel* shownLabel = textLabel(box);
            format = shownLabel->textFormat();
            label = shownLabel->text();
            const QFontMetrics metrics(shownLabel->font());
            for (const QString& line : shown.split('\n'))
                longest = qMax(longest, metrics.horizontalAdvance(line));
            lines = (shownLabel->height() + metrics.leading()) / metrics.lineSpacing();
            width = shownLabel->width();
            buttonsWithIcons = 0;
            for (QAbstractButton* button : box.findChildren<QAbstractButton*>())
                buttonsWithIcons += button->icon().isNull() ? 0 : 1;
            box.reject();
        });
        if (kind == "input")
            InputBox(text, "Input Status");
        else if (kind == "report")
            ErrorReport("<i>Bad</i> &amp; <br>worse", "in Quorvane2021/08/31.Form1.X ", 100);
        else
            MsgBox(text, kind == "question" ? Prompts::YesNo : Prompts::OkOnly);
        QCOMPARE(format, Qt::PlainText);
        QCOMPARE(label, shown);
        QVERIFY2(width >= longest, qPrintable(QString("%1 < %2").arg(width).arg(longest)));
        QCOMPARE(lines, int(shown.count('\n')) + 1);
        QCOMPARE(buttonsWithIcons, 0);
    }

    // A question whose Yes deletes makes No its default button: Enter answers No.
    void theDefaultButtonAnswersEnter_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("answer");
        QTest::newRow("question, Enter") << 4 << int(Qt::Key_Return) << 6;
        QTest::newRow("deleting question, Enter") << 4 + 256 << int(Qt::Key_Return) << 7;
        QTest::newRow("deleting question, keypad Enter") << 4 + 256 << int(Qt::Key_Enter) << 7;
        QTest::newRow("deleting question, Escape") << 4 + 256 << int(Qt::Key_Escape) << 7;
        QTest::newRow("message, Enter") << 0 << int(Qt::Key_Return) << 1;
    }

    void theDefaultButtonAnswersEnter() {
        QFETCH(int, style);
        QFETCH(int, key);
        QFETCH(int, answer);
        whenShown([key](QDialog& box) { QTest::keyClick(&box, Qt::Key(key)); });
        QCOMPARE(MsgBox("Are you sure you want to delete [Printer jams]?", style), answer);
    }

    // On a screen wider than 1024 pixels a message box grows no wider than the screen less 480
    // pixels: a longer line wraps inside the box instead of running past its right edge.
    void aLongLineWrapsInsideTheBox() {
        const QString text = "The database file '" + QString("/home/someone/.local").repeated(8) +
                             "/dbData.mdb' cannot be read: the database is in use by another "
                             "program; try again in a moment.\r\n\r\nRetry, Continue or Quit.";
        QRect label;
        int needed = 0;
        int boxWidth = 0;
        whenShown([&](QDialog& box) {
            QLabel* shown = textLabel(box);
            label = shown->geometry();
            needed = shown->heightForWidth(label.width());
            boxWidth = box.width();
            box.reject();
        });
        MsgBox(text, Prompts::AbortRetryIgnore | Prompts::Exclamation);
        QVERIFY2(label.right() < boxWidth,
                 qPrintable(QString("%1 >= %2").arg(label.right()).arg(boxWidth)));
        QVERIFY(boxWidth <= 1280 - 480);
        QVERIFY2(needed <= label.height(),
                 qPrintable(QString("%1 > %2").arg(needed).arg(label.height())));
    }

    // A box takes its picture from the desktop's icon theme, and the toolkit's where the theme
    // has none.
    void boxesTakeTheirPictureFromTheIconTheme_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("themed");
        QTest::newRow("information") << 64 << "dialog-information";
        QTest::newRow("warning") << int(Prompts::Exclamation) << "dialog-warning";
        QTest::newRow("error") << int(Prompts::Critical) << "dialog-error";
        QTest::newRow("question") << int(Prompts::YesNo | Prompts::Question) << "dialog-question";
        QTest::newRow("warning, not in the theme") << int(Prompts::Exclamation) << "";
    }

    void boxesTakeTheirPictureFromTheIconTheme() {
        QFETCH(int, style);
        QFETCH(QString, themed);
        QTemporaryDir themes;
        const QString folder = themes.filePath("Plain/48x48/status");
        QVERIFY(QDir().mkpath(folder));
        QFile index(themes.filePath("Plain/index.theme"));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=Plain\nDirectories=48x48/status\n\n"
                    "[48x48/status]\nSize=48\nType=Scalable\nMinSize=8\nMaxSize=512\n");
        index.close();
        QPixmap picture(48, 48);
        picture.fill(QColor(0x12, 0x34, 0x56));
        if (!themed.isEmpty())
            QVERIFY(picture.save(folder + "/" + themed + ".png"));
        QIcon::setThemeSearchPaths({themes.path()});
        QIcon::setThemeName("Plain");
        QImage shown;
        whenShown([&](QDialog& box) {
            shown = static_cast<QMessageBox&>(box).iconPixmap().toImage();
            box.reject();
        });
        MsgBox("The calls were exported.", style);
        QIcon::setThemeName(QString());
        QVERIFY(!shown.isNull());
        const QColor middle = shown.pixelColor(shown.width() / 2, shown.height() / 2);
        QCOMPARE(middle == QColor(0x12, 0x34, 0x56), !themed.isEmpty());
    }

    void theInputBoxGivesWhatWasTyped() {
        whenShown([](QDialog& box) {
            QTest::keyClicks(box.findChild<QLineEdit*>(), "<b>O'Neil</b>");
            QTest::keyClick(&box, Qt::Key_Return);
        });
        QCOMPARE(InputBox("Enter new Category: ", "Input Category"), QString("<b>O'Neil</b>"));
        whenShown([](QDialog& box) { QTest::keyClick(&box, Qt::Key_Escape); });
        QCOMPARE(InputBox("Enter new Category: ", "Input Category"), std::nullopt);
    }
};

// The boxes show on a screen 1280 pixels wide.
int main(int argc, char** argv) {
    QTemporaryDir folder;
    QFile screens(folder.filePath("screens.json"));
    if (!screens.open(QIODevice::WriteOnly) ||
        screens.write(R"({"screens": [{"name": "wide", "width": 1280, "height": 800}]})") < 0)
        return 1;
    screens.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toUtf8());
    QApplication application(argc, argv);
    TestPrompts test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_prompts.moc"
