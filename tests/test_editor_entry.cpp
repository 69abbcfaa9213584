// What a person types or pastes into the call editor reaches the database as meant: whole
// dates typed into the date pickers, comments character for character.

#include "call_editor_fixture.h"
#include "data/date_text.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>

class EditorEntryTest : public QObject {
    Q_OBJECT
private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void typedDatesInThePickers_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("due");
        QTest::addColumn<QString>("storedOpened"); // empty: today
        QTest::addColumn<QString>("storedDue");
        QTest::newRow("GB month name") << "en_GB"
                                       << "15 Jan 2027"
                                       << "20/01/2027"
                                       << "2027-01-15"
                                       << "2027-01-20";
        QTest::newRow("US") << "en_US"
                            << "1/15/27"
                            << "January 20, 2027"
                            << "2027-01-15"
                            << "2027-01-20";
        QTest::newRow("DE") << "de_DE"
                            << "15.1.2027"
                            << "20. Januar 2027"
                            << "2027-01-15"
                            << "2027-01-20";
        // Text that is no date is refused with the message of every date box, not replaced
        // by the date the picker showed before.
        QTest::newRow("not a date is refused") << "en_GB"
                                               << "15 Jix 2027"
                                               << "2027-01-20"
                                               << "Opened Date is not a date"
                                               << "";
        QTest::newRow("X in the due date") << "en_US"
                                           << "1/15/27"
                                           << "X"
                                           << "Due Date is not a date"
                                           << "";
    }

    void typedDatesInThePickers() {
        QFETCH(QString, locale);
        QFETCH(QString, opened);
        QFETCH(QString, due);
        QFETCH(QString, storedOpened);
        QFETCH(QString, storedDue);
        QLocale::setDefault(QLocale(locale));
        EditorData data;
        Form2 editor;
        openEditor(editor, QString());
        fillRequired(editor);
        QApplication::setActiveWindow(&editor);
        QVERIFY(QTest::qWaitForWindowActive(&editor));

        // As on a keyboard: Shift goes down before a capital and up after it.
        const auto type = [](QWidget* picker, const QString& text) {
            for (const QChar c : text) {
                if (c.isUpper())
                    QTest::keyPress(picker, Qt::Key_Shift);
                QTest::keyClick(picker, c.toLatin1(),
                                c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier);
                if (c.isUpper())
                    QTest::keyRelease(picker, Qt::Key_Shift, Qt::ShiftModifier);
            }
        };
        editor.DateTimePicker1->setFocus();
        type(editor.DateTimePicker1, opened);
        // Every key stayed in the picker: nothing landed in the fields after it.
        QVERIFY(editor.DateTimePicker1->hasFocus());
        QCOMPARE(editor.DateTimePicker2->date(), QDate::currentDate());
        QCOMPARE(editor.Combo3->currentText(), QStringLiteral("Open"));
        QTest::keyClick(editor.DateTimePicker1, Qt::Key_Tab);
        QVERIFY(editor.DateTimePicker2->hasFocus());
        type(editor.DateTimePicker2, due);
        data.prompts.clear();
        clickSave(editor);
        if (storedOpened.endsWith("is not a date")) {
            QCOMPARE(data.prompts.texts().size(), 1);
            QVERIFY(data.prompts.texts().at(0).startsWith(storedOpened + ": type a date such as"));
            QCOMPARE(Count("select count(*) from Calls"), 0);
            QVERIFY(editor.isVisible());
            return;
        }

        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QCOMPARE(Rows("select [Opened Date] || '', [Due Date] || '', Status from Calls"),
                 QStringList{(storedOpened.isEmpty() ? today : storedOpened) + '|' + storedDue +
                             "|Open"});
    }

    // No keystroke leaves the picker looking empty while it holds a date.
    void neverLooksEmpty_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("End then Space") << QStringList{"End", "Space"};
        QTest::newRow("Space") << QStringList{"Space", "Space"};
        QTest::newRow("Backspace") << QStringList{"Backspace", "Backspace"};
        QTest::newRow("Delete") << QStringList{"Home", "Delete", "Delete"};
        QTest::newRow("typed and erased") << QStringList{"1", "Backspace", "Backspace"};
        QTest::newRow("all selected and deleted") << QStringList{"Ctrl+A", "Delete", "Backspace"};
        QTest::newRow("cut") << QStringList{"Ctrl+A", "Ctrl+X"};
    }
    void neverLooksEmpty() {
        QFETCH(QStringList, keys);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        EditorData data;
        Form2 editor;
        openEditor(editor, QString());
        QApplication::setActiveWindow(&editor);
        editor.DateTimePicker2->setFocus();
        const QLineEdit* box = editor.DateTimePicker2->findChild<QLineEdit*>();
        for (const QString& key : keys) {
            QTest::keySequence(editor.DateTimePicker2, QKeySequence(key));
            QVERIFY2(!box->text().trimmed().isEmpty(), qPrintable(key));
        }
        QTest::keyClick(editor.DateTimePicker2, Qt::Key_Tab);
        QCOMPARE(editor.DateTimePicker2->date(), QDate::currentDate());
        QCOMPARE(box->text(), DateText::format(QDate::currentDate()));
    }

    // The picker's calendar opens on the date typed so far.
    void aClickTakesTheTypedDate() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
        EditorData data;
        Form2 editor;
        openEditor(editor, QString());
        editor.DateTimePicker2->setFocus();
        QTest::keyClicks(editor.DateTimePicker2, "3/2/2027");
        QCOMPARE(editor.DateTimePicker2->date(), QDate::currentDate());
        // The calendar's arrow at the right end.
        const QRect box = editor.DateTimePicker2->rect();
        QTest::mouseClick(editor.DateTimePicker2, Qt::LeftButton, {},
                          QPoint(box.right() - 4, box.center().y()));
        QCOMPARE(editor.DateTimePicker2->date(), QDate(2027, 2, 3));
        QVERIFY(!editor.DateTimePicker2->isTyping());
        if (QWidget* calendar = QApplication::activePopupWidget())
            calendar->close();
    }

    void commentsKeepEveryCharacter_data() {
        QTest::addColumn<QString>("comments");
        QTest::newRow("CR LF") << "First line\r\nSecond line\r\n";
        QTest::newRow("lone CR") << "Old\rMac";
        QTest::newRow("line and paragraph separators")
            << QString("one") + QChar(0x2028) + "two" + QChar(0x2029) + "three";
        QTest::newRow("no-break space") << QString("10") + QChar(0x00A0) + "kg, tab\there";
        QTest::newRow("mixed") << QString("a\r\n\nb\r") + QChar(0x00A0) + QChar(0x2029) + "\n";
    }

    // Loaded and saved unchanged; pasted and saved; edited beside the special characters.
    void commentsKeepEveryCharacter() {
        QFETCH(QString, comments);
        EditorData data;
        CallRow row;
        row.comments = comments;
        const int id = addCall(row);
        {
            Form2 editor;
            openEditor(editor, QString::number(id));
            clickSave(editor);
        }
        QCOMPARE(Scalar("select Comments from Calls where ID=" + QString::number(id)).toString(),
                 comments);

        // Pasted into the comments of a new call, between typed words.
        {
            Form2 editor;
            openEditor(editor, QString());
            fillRequired(editor);
            QTest::keyClicks(editor.Text3, "Before ");
            QApplication::clipboard()->setText(comments);
            editor.Text3->paste();
            QTest::keyClicks(editor.Text3, " after");
            clickSave(editor);
        }
        QCOMPARE(Scalar("select Comments from Calls where Title='It''s down'").toString(),
                 "Before " + comments + " after");

        // A word typed at the end of loaded comments leaves the rest as it was.
        {
            Form2 editor;
            openEditor(editor, QString::number(id));
            editor.Text3->moveCursor(QTextCursor::End);
            QTest::keyClicks(editor.Text3, "!");
            clickSave(editor);
        }
        QCOMPARE(Scalar("select Comments from Calls where ID=" + QString::number(id)).toString(),
                 comments + "!");
    }
};

QTEST_MAIN(EditorEntryTest)
#include "test_editor_entry.moc"
