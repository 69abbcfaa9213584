// The call editor: its window, its layout and tab order, its pointer and its lists' names.

#include "call_editor_fixture.h"
#include "ui/appearance.h"
#include "ui/eliding_combo.h"
#include "ui/twips.h"

#include <QApplication>
#include <QBuffer>
#include <QDateEdit>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QTest>

namespace {

// A small cursor file: an icon image whose header says "cursor", hot spot at (3, 2).
QByteArray cursorBytes() {
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "ICO");
    }
    bytes[2] = 2;
    bytes[10] = 3;
    bytes[11] = 0;
    bytes[12] = 2;
    bytes[13] = 0;
    return bytes;
}

} // namespace

class CallEditorTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void windowLayout();
    void tabOrder();
    void handPointer_data();
    void handPointer();
    void idBoxFocus_data();
    void idBoxFocus();
    void longNamesEndInAnEllipsis_data();
    void longNamesEndInAnEllipsis();
};

void CallEditorTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void CallEditorTest::windowLayout() {
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());

    QCOMPARE(editor.windowTitle(), QStringLiteral("Add New"));
    QCOMPARE(editor.size(), QSize(TwipsToPixels(8040), TwipsToPixels(8565)));
    QCOMPARE(editor.minimumSize(), editor.maximumSize());
    QVERIFY(editor.isModal());
    QVERIFY(!(editor.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(editor.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(editor.font().family(), QStringLiteral("Arial"));
    QCOMPARE(editor.font().pointSizeF(), 9.0);
    QVERIFY(editor.font().bold());

    // Every control by its name, where it stands in twips.
    const struct {
        const char* name;
        int left, top, width, height;
    } places[] = {
        {"Text1", 120, 495, 6120, 345},
        {"Text2", 6720, 495, 1200, 345},
        {"Combo1", 120, 1245, 2520, 345},
        {"Combo6", 120, 2085, 2520, 345},
        {"Combo2", 120, 2805, 2520, 345},
        {"DateTimePicker1", 120, 3645, 3840, 345},
        {"DateTimePicker2", 120, 4485, 3840, 345},
        {"Combo3", 4080, 1245, 2880, 345},
        {"Combo4", 4080, 2085, 2880, 345},
        {"Combo5", 4080, 2805, 2880, 345},
        {"Combo7", 4080, 3645, 2520, 345},
        {"Text4", 4080, 4485, 3840, 345},
        {"Text3", 120, 5295, 7800, 2625},
        {"PushButton2", 120, 8040, 3840, 405},
        {"PushButton1", 4080, 8040, 3840, 405},
        {"PushButton5", 2640, 1245, 360, 345},
        {"PushButton9", 3120, 1245, 360, 345},
        {"PushButton6", 3600, 1245, 360, 345},
        {"PushButton15", 2640, 2085, 360, 345},
        {"PushButton17", 3120, 2085, 360, 345},
        {"PushButton16", 3600, 2085, 360, 345},
        {"PushButton3", 2640, 2805, 360, 345},
        {"PushButton10", 3120, 2805, 360, 345},
        {"PushButton4", 3600, 2805, 360, 345},
        {"PushButton18", 6600, 3645, 360, 345},
        {"PushButton20", 7080, 3645, 360, 345},
        {"PushButton19", 7560, 3645, 360, 345},
        {"PushButton7", 7080, 1245, 360, 345},
        {"PushButton8", 7560, 1245, 360, 345},
        {"PushButton11", 7080, 2085, 360, 345},
        {"PushButton12", 7560, 2085, 360, 345},
        {"PushButton13", 7080, 2805, 360, 345},
        {"PushButton14", 7560, 2805, 360, 345},
    };
    for (const auto& at : places) {
        QWidget* control = editor.findChild<QWidget*>(QLatin1String(at.name));
        QVERIFY2(control, at.name);
        QCOMPARE(control->parentWidget(), &editor);
        QCOMPARE(control->geometry(), TwipsRect(at.left, at.top, at.width, at.height));
    }

    // Captions of the buttons, every one of them usable.
    const struct {
        const char* name;
        const char* caption;
    } buttons[] = {
        {"PushButton1", "Cancel"}, {"PushButton2", "Save"}, {"PushButton3", "+"},
        {"PushButton4", "-"},      {"PushButton5", "+"},    {"PushButton6", "-"},
        {"PushButton7", "+"},      {"PushButton8", "-"},    {"PushButton9", "*"},
        {"PushButton10", "*"},     {"PushButton11", "+"},   {"PushButton12", "-"},
        {"PushButton13", "+"},     {"PushButton14", "-"},   {"PushButton15", "+"},
        {"PushButton16", "-"},     {"PushButton17", "*"},   {"PushButton18", "+"},
        {"PushButton19", "-"},     {"PushButton20", "*"},
    };
    for (const auto& expected : buttons) {
        auto* button = editor.findChild<QPushButton*>(QLatin1String(expected.name));
        QVERIFY2(button, expected.name);
        QCOMPARE(button->text(), QLatin1String(expected.caption));
        QVERIFY(button->isEnabled());
        QCOMPARE(button->font().family(), QStringLiteral("Arial"));
        QCOMPARE(button->font().pointSizeF(), 11.25);
        QVERIFY(button->font().bold());
    }

    // Each label stands above its control (the ID label left of its box).
    const struct {
        const char* caption;
        const char* control;
        bool leftOf;
    } labels[] = {
        {"Title", "Text1", false},
        {"ID", "Text2", true},
        {"Assigned To", "Combo1", false},
        {"Caller", "Combo6", false},
        {"Opened By", "Combo2", false},
        {"Opened Date", "DateTimePicker1", false},
        {"Due Date", "DateTimePicker2", false},
        {"Status", "Combo3", false},
        {"Category", "Combo4", false},
        {"Priority", "Combo5", false},
        {"Resolved By", "Combo7", false},
        {"Resolved Date", "Text4", false},
        {"Comments", "Text3", false},
    };
    int number = 0;
    for (const auto& expected : labels) {
        auto* label = editor.findChild<QLabel*>(QStringLiteral("Label%1").arg(++number));
        QVERIFY(label);
        QCOMPARE(label->text(), QLatin1String(expected.caption));
        const QRect control =
            editor.findChild<QWidget*>(QLatin1String(expected.control))->geometry();
        if (expected.leftOf) {
            QVERIFY(label->geometry().right() < control.left());
            QVERIFY(label->geometry().top() >= control.top());
        } else {
            QCOMPARE(label->geometry().left(), control.left());
            QVERIFY(label->geometry().bottom() < control.top());
            QVERIFY(label->geometry().top() >= 0);
        }
    }

    for (QComboBox* list : {editor.Combo1, editor.Combo2, editor.Combo3, editor.Combo4,
                            editor.Combo5, editor.Combo6, editor.Combo7})
        QVERIFY(!list->isEditable());
    for (QComboBox* list : {editor.Combo1, editor.Combo2, editor.Combo6, editor.Combo7})
        QCOMPARE(list->toolTip(), QStringLiteral("Enter or double-click: edit the contact"));
    for (QComboBox* list : {editor.Combo3, editor.Combo4, editor.Combo5})
        QVERIFY(list->toolTip().isEmpty());
    for (QDateEdit* picker : {editor.DateTimePicker1, editor.DateTimePicker2}) {
        QVERIFY(picker->calendarPopup());
        QCOMPARE(picker->displayFormat(), QStringLiteral("M/d/yyyy"));
    }
    QCOMPARE(editor.Text3->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QVERIFY(editor.Text3->verticalScrollBar()->isVisible());

    // The window and its labels take the button-face colour.
    const QColor face = editor.palette().color(QPalette::Button);
    QCOMPARE(editor.palette().color(QPalette::Window), face);
    QCOMPARE(editor.findChild<QLabel*>(QStringLiteral("Label1"))->palette().color(QPalette::Window),
             face);
}

void CallEditorTest::tabOrder() {
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    const QStringList expected = {
        "Text1",        "Combo1",       "PushButton5",  "PushButton9",     "PushButton6",
        "Combo6",       "PushButton15", "PushButton17", "PushButton16",    "Combo2",
        "PushButton3",  "PushButton10", "PushButton4",  "DateTimePicker1", "DateTimePicker2",
        "Combo3",       "PushButton7",  "PushButton8",  "Combo4",          "PushButton11",
        "PushButton12", "Combo5",       "PushButton13", "PushButton14",    "Combo7",
        "PushButton18", "PushButton20", "PushButton19", "Text4",           "PushButton2",
        "PushButton1",  "Text2",        "Text3"};
    QStringList chain;
    QWidget* widget = editor.Text1;
    do {
        if (widget->parentWidget() == &editor && expected.contains(widget->objectName()))
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != editor.Text1);
    QCOMPARE(chain, expected);

    // By keyboard, each Tab moves to the next control in that order, the contact buttons
    // included; a date picker is left at once, not walked through its day, month and year.
    QApplication::setActiveWindow(&editor);
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    editor.Text1->setFocus();
    QStringList walked;
    for (int i = 0; i < expected.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        while (focus && focus->parentWidget() != &editor)
            focus = focus->parentWidget();
        QVERIFY(focus);
        walked << focus->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(walked, expected);
}

void CallEditorTest::handPointer_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("custom");
    QTest::addColumn<int>("reports");
    QTest::newRow("no file") << QByteArray() << false << 0;
    QTest::newRow("cursor file") << cursorBytes() << true << 0;
    QTest::newRow("not a cursor") << QByteArray("plain words, no picture") << false << 1;
}

void CallEditorTest::handPointer() {
    QFETCH(QByteArray, file);
    QFETCH(bool, custom);
    QFETCH(int, reports);
    EditorData data;
    if (!file.isEmpty()) {
        QFile cursor(data.env.programFolder() + "/HAND-M.CUR");
        QVERIFY(cursor.open(QIODevice::WriteOnly));
        cursor.write(file);
    }
    Form2 editor;
    openEditor(editor, QString());
    QCOMPARE(editor.pointer()->hasCustom(), custom);
    QCOMPARE(int(data.prompts.errorReports().size()), reports);
    if (reports)
        QVERIFY(data.prompts.boxes.at(0).text.contains(reportLocation("Form_Load", 104)));
    // A bad pointer file costs the window nothing else.
    QCOMPARE(editor.Combo1->count(), kEmployees.size());
    QCOMPARE(editor.DateTimePicker1->date(), QDate::currentDate());

    // Over a push button the pointer is the hand, over the background the default one.
    QTest::mouseMove(editor.PushButton2);
    QTRY_COMPARE(editor.pointer()->pointer(), int(kPointerCustom));
    QTest::mouseMove(&editor, QPoint(3, 3));
    QTRY_COMPARE(editor.pointer()->pointer(), int(kPointerDefault));
}

void CallEditorTest::idBoxFocus_data() {
    QTest::addColumn<bool>("editMode");
    QTest::addColumn<QString>("afterLeaving");
    QTest::newRow("add mode, empty box") << false << QStringLiteral("0");
    QTest::newRow("edit mode, the call's ID") << true << QString();
}

void CallEditorTest::idBoxFocus() {
    QFETCH(bool, editMode);
    QFETCH(QString, afterLeaving);
    EditorData data;
    const int id = addCall(CallRow());
    Form2 editor;
    openEditor(editor, editMode ? QString::number(id) : QString());
    QApplication::setActiveWindow(&editor);
    QVERIFY(QTest::qWaitForWindowActive(&editor));

    editor.Text2->setFocus(Qt::MouseFocusReason);
    QCOMPARE(editor.Text2->selectedText(), editor.Text2->text());
    editor.Text1->setFocus(Qt::MouseFocusReason);
    QCOMPARE(editor.Text2->text(), afterLeaving.isEmpty() ? QString::number(id) : afterLeaving);

    // The box is never read back: saving follows m_ID.
    editor.Text1->clear();
    fillRequired(editor);
    clickSave(editor);
    QCOMPARE(Count("select count(*) from Calls"), editMode ? 1 : 2);
    QCOMPARE(Scalar(QStringLiteral("select Title from Calls where ID=%1").arg(id)).toString(),
             editMode ? QStringLiteral("It's down") : CallRow().title);
}

void CallEditorTest::longNamesEndInAnEllipsis_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("whole");
    QTest::newRow("short") << "Mail" << true;
    QTest::newRow("long") << "Hardware and peripheral replacement under warranty" << false;
}

// A name longer than its list ends in an ellipsis before the arrow; the open list shows it whole.
void CallEditorTest::longNamesEndInAnEllipsis() {
    QFETCH(QString, name);
    QFETCH(bool, whole);
    EditorData data;
    addValue(QStringLiteral("Categories"), name);
    Form2 editor;
    openEditor(editor, QString());
    pick(editor.Combo4, name);
    auto* list = dynamic_cast<ElidingComboBox*>(editor.Combo4);
    QVERIFY(list);
    const QString shown = list->shownText();
    QCOMPARE(shown == name, whole);
    QCOMPARE(shown.endsWith(QChar(0x2026)), !whole);
    QStyleOptionComboBox option;
    option.initFrom(list);
    const QRect field = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                      QStyle::SC_ComboBoxEditField, list);
    QVERIFY(list->fontMetrics().horizontalAdvance(shown) <= field.width());
    QCOMPARE(list->itemText(list->currentIndex()), name);
}

QTEST_MAIN(CallEditorTest)
#include "test_call_editor.moc"
