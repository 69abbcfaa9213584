// Saving a call from the editor: the values entered, the checks in their order, and the
// resolved entries.

#include "call_editor_fixture.h"
#include "ui/appearance.h"

#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

class CallSavingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup() { initTestCase(); }
    void workedExample();
    void datesGoToTheirOwnColumns_data();
    void datesGoToTheirOwnColumns();
    void checkOrder_data();
    void checkOrder();
    void titleBlanks();
    void quotesRoundTrip();
    void longAndUnicodeTextsRoundTrip();
    void resolvedEntries_data();
    void resolvedEntries();
    void resolvedDateAsTyped_data();
    void resolvedDateAsTyped();
    void resolvedDateNotADate_data();
    void resolvedDateNotADate();
};

void CallSavingTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void CallSavingTest::workedExample() {
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    fillRequired(editor);
    clickSave(editor);

    const QString today = todayUs();
    // A server is sent the dates in the form it stores them in.
    const QString sent = TestEnvironment::onServer()
                             ? QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))
                             : today;
    QCOMPARE(editor.lastStatement(),
             QStringLiteral("insert into Calls (Title,[Assigned To],[Opened By],[Opened Date],"
                            "Status,Category,Priority,Comments,[Due Date],[Resolved By],"
                            "[Resolved Date],Caller,[Call Time]) values ('It''s down',3,5,'") +
                 sent + "','Open','Network','High','','" + sent + "',NULL,NULL,7,'" + sent +
                 "')");
    QCOMPARE(Rows("select ID from Calls"), QStringList{"1"});
    QCOMPARE(storedCall(1), QStringList({"It's down", "3", "5", today, "Open", "Network", "High",
                                         "", today, "<null>", "<null>", "7", today})
                                .join('|'));
    QCOMPARE(data.prompts.boxes.size(), size_t(1));
    QCOMPARE(data.prompts.boxes.at(0).text, QStringLiteral("Record Successfully Saved"));
    QCOMPARE(data.prompts.boxes.at(0).style, 0);
    QCOMPARE(data.prompts.boxes.at(0).title, AppTitle());
    QCOMPARE(editor.result(), int(QDialog::Accepted));
    QVERIFY(!editor.isVisible());
}

void CallSavingTest::datesGoToTheirOwnColumns_data() {
    QTest::addColumn<bool>("editing");
    QTest::newRow("new call") << false;
    QTest::newRow("edited call") << true;
}

// Opened Date and Due Date differ, so a mix-up of the two columns shows.
void CallSavingTest::datesGoToTheirOwnColumns() {
    QFETCH(bool, editing);
    EditorData data;
    const QString id = editing ? QString::number(addCall(CallRow())) : QString();
    Form2 editor;
    openEditor(editor, id);
    if (!editing)
        fillRequired(editor);
    editor.DateTimePicker1->setDate(QDate(2026, 3, 2));
    editor.DateTimePicker2->setDate(QDate(2026, 4, 17));
    clickSave(editor);
    QCOMPARE(Rows("select [Opened Date] || '', [Due Date] || '' from Calls"),
             QStringList{"2026-03-02|2026-04-17"});
}

void CallSavingTest::checkOrder_data() {
    // Which entries are filled; the first missing one in check order is named.
    QTest::addColumn<QStringList>("filled");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    const QStringList all = {"Text1", "Combo1", "Combo2", "Combo6", "Combo3", "Combo4", "Combo5"};
    QTest::newRow("nothing") << QStringList() << "You forgot to input Title."
                             << "Text1";
    QTest::newRow("only lists") << all.mid(1) << "You forgot to input Title."
                                << "Text1";
    QTest::newRow("title") << QStringList{"Text1"} << "You forgot to select Assigned To."
                           << "Combo1";
    QTest::newRow("title, caller, status")
        << QStringList{"Text1", "Combo6", "Combo3"} << "You forgot to select Assigned To."
        << "Combo1";
    QTest::newRow("no opened by") << QStringList{"Text1", "Combo1", "Combo6", "Combo5"}
                                  << "You forgot to select Opened By."
                                  << "Combo2";
    QTest::newRow("neither opened by nor caller")
        << QStringList{"Text1", "Combo1", "Combo3", "Combo4", "Combo5"}
        << "You forgot to select Opened By."
        << "Combo2";
    QTest::newRow("no caller") << QStringList{"Text1", "Combo1", "Combo2", "Combo4"}
                               << "You forgot to select Caller."
                               << "Combo6";
    QTest::newRow("no status") << QStringList{"Text1", "Combo1", "Combo2", "Combo6", "Combo5"}
                               << "You forgot to select Status."
                               << "Combo3";
    QTest::newRow("no category") << all.mid(0, 5) + QStringList{"Combo5"}
                                 << "You forgot to select Category."
                                 << "Combo4";
    QTest::newRow("no priority") << all.mid(0, 6) << "You forgot to select Priority."
                                 << "Combo5";
}

void CallSavingTest::checkOrder() {
    QFETCH(QStringList, filled);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    QApplication::setActiveWindow(&editor);
    QVERIFY(QTest::qWaitForWindowActive(&editor));

    if (filled.contains("Text1"))
        QTest::keyClicks(editor.Text1, QStringLiteral("Keyboard dead"));
    const QStringList picks = {"Combo1", "Combo2", "Combo6", "Combo3", "Combo4", "Combo5"};
    for (const QString& name : picks) {
        if (filled.contains(name))
            editor.findChild<QComboBox*>(name)->setCurrentIndex(1);
    }
    editor.Text4->setFocus();
    clickSave(editor);

    QCOMPARE(data.prompts.texts(), QStringList{message});
    QCOMPARE(data.prompts.boxes.at(0).style, 0);
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    QVERIFY(editor.isVisible());
    QCOMPARE(Count("select count(*) from Calls"), 0);
    // Every entry is still as it was.
    QCOMPARE(editor.Text1->text().isEmpty(), !filled.contains("Text1"));
    for (const QString& name : picks)
        QCOMPARE(editor.findChild<QComboBox*>(name)->currentIndex(),
                 filled.contains(name) ? 1 : -1);
}

void CallSavingTest::titleBlanks() {
    EditorData data;
    {
        Form2 editor;
        openEditor(editor, QString());
        fillRequired(editor);
        editor.Text1->setText(QStringLiteral("    "));
        clickSave(editor);
        QCOMPARE(data.prompts.texts(), QStringList{"You forgot to input Title."});
        QCOMPARE(Count("select count(*) from Calls"), 0);
        QVERIFY(editor.isVisible());
    }
    data.prompts.clear();
    Form2 editor;
    openEditor(editor, QString());
    fillRequired(editor);
    editor.Text1->setText(QStringLiteral("   Leading blanks stay "));
    // Enter in the title saves, as the dialog's default button.
    QTest::keyClick(editor.Text1, Qt::Key_Return);
    QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Saved"});
    QCOMPARE(Scalar("select Title from Calls").toString(),
             QStringLiteral("   Leading blanks stay "));
}

void CallSavingTest::quotesRoundTrip() {
    EditorData data;
    const QString status = QStringLiteral("Won't fix");
    const QString category = QStringLiteral("O'Neil's desk");
    const QString priority = QStringLiteral("'Urgent'");
    addValue("Status", status);
    addValue("Categories", category);
    addValue("Priorities", priority);
    const QString title = QStringLiteral("Can't print ''twice''");
    const QString comments = QStringLiteral("She said: 'it's gone'\nand hung up.");
    int id = 0;
    {
        Form2 editor;
        openEditor(editor, QString());
        fillRequired(editor);
        editor.Text1->setText(title);
        pick(editor.Combo3, status);
        pick(editor.Combo4, category);
        pick(editor.Combo5, priority);
        QTest::keyClicks(editor.Text3, QStringLiteral("She said: 'it's gone'"));
        QTest::keyClick(editor.Text3, Qt::Key_Return);
        QTest::keyClicks(editor.Text3, QStringLiteral("and hung up."));
        clickSave(editor);
        QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Saved"});
        id = Count("select max(ID) from Calls");
    }
    QCOMPARE(Rows(QStringLiteral("select Title,Status,Category,Priority,Comments from Calls "
                                 "where ID=%1")
                      .arg(id)),
             QStringList{QStringList({title, status, category, priority, comments}).join('|')});

    // Read back into the editor as typed, and saved again unchanged.
    data.prompts.clear();
    Form2 editor;
    openEditor(editor, QString::number(id));
    QCOMPARE(editor.Text1->text(), title);
    QCOMPARE(editor.Combo3->currentText(), status);
    QCOMPARE(editor.Combo4->currentText(), category);
    QCOMPARE(editor.Combo5->currentText(), priority);
    QCOMPARE(editor.Text3->toPlainText(), comments);
    clickSave(editor);
    QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Updated"});
    QCOMPARE(Rows(QStringLiteral("select Title,Status,Category,Priority,Comments from Calls "
                                 "where ID=%1")
                      .arg(id)),
             QStringList{QStringList({title, status, category, priority, comments}).join('|')});
}

void CallSavingTest::longAndUnicodeTextsRoundTrip() {
    EditorData data;
    // Longer than a line box takes by default, in several scripts, with characters outside
    // the basic plane.
    const QString piece = QStringLiteral("Ünïcødé 漢字 שלום 🙂 ");
    QString title;
    while (title.size() < 40000)
        title += piece;
    const QString comments = title.repeated(5);
    int id = 0;
    {
        Form2 editor;
        openEditor(editor, QString());
        fillRequired(editor);
        editor.Text1->setText(title);
        editor.Text3->setPlainText(comments);
        clickSave(editor);
        QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Saved"});
        id = Count("select max(ID) from Calls");
    }
    QCOMPARE(Scalar(QStringLiteral("select Title from Calls where ID=%1").arg(id)).toString(),
             title);
    QCOMPARE(Scalar(QStringLiteral("select Comments from Calls where ID=%1").arg(id)).toString(),
             comments);
    Form2 editor;
    openEditor(editor, QString::number(id));
    QCOMPARE(editor.Text1->text(), title);
    QCOMPARE(editor.Text3->toPlainText(), comments);
}

void CallSavingTest::resolvedEntries_data() {
    QTest::addColumn<QString>("resolver");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("resolvedBy");
    QTest::addColumn<QString>("resolvedDate");
    QTest::newRow("neither") << QString() << QString() << "<null>"
                             << "<null>";
    QTest::newRow("blanks") << "Bram Holt"
                            << "   "
                            << "2"
                            << "<null>";
    QTest::newRow("valid date") << "Nora Quill"
                                << "3/15/2026"
                                << "1"
                                << "3/15/2026";
    QTest::newRow("date and time") << "Nora Quill"
                                   << "3/15/2026 2:30:00 PM"
                                   << "1"
                                   << "3/15/2026 2:30:00 PM";
    QTest::newRow("noon without seconds") << "Nora Quill"
                                          << "1/7/2026 12:30 PM"
                                          << "1"
                                          << "1/7/2026 12:30:00 PM";
    QTest::newRow("after midnight without seconds") << "Nora Quill"
                                                    << "1/7/2026 12:15 AM"
                                                    << "1"
                                                    << "1/7/2026 12:15:00 AM";
    QTest::newRow("date without resolver") << QString() << "3/15/2026"
                                           << "<null>"
                                           << "3/15/2026";
}

void CallSavingTest::resolvedEntries() {
    QFETCH(QString, resolver);
    QFETCH(QString, typed);
    QFETCH(QString, resolvedBy);
    QFETCH(QString, resolvedDate);
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    fillRequired(editor);
    if (!resolver.isEmpty())
        pick(editor.Combo7, resolver);
    QTest::keyClicks(editor.Text4, typed);
    clickSave(editor);
    QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Saved"});
    QCOMPARE(Rows("select [Resolved By],[Resolved Date] from Calls"),
             QStringList{resolvedBy + '|' + resolvedDate});
    // A valid date goes into the statement as typed.
    if (resolvedDate != QLatin1String("<null>"))
        QVERIFY(editor.lastStatement().contains(QLatin1Char('\'') + typed + QLatin1Char('\'')));
}

void CallSavingTest::resolvedDateAsTyped_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("en_US short") << "en_US"
                                 << "1/7/26"
                                 << "2026-01-07";
    QTest::newRow("en_US with time") << "en_US"
                                     << "1/7/2026 14:30"
                                     << "2026-01-07 14:30:00";
    QTest::newRow("de_DE short") << "de_DE"
                                 << "07.01.26"
                                 << "2026-01-07";
    QTest::newRow("de_DE no zeros") << "de_DE"
                                    << "6.12.2026"
                                    << "2026-12-06";
    QTest::newRow("en_GB day first") << "en_GB"
                                     << "7/1/2026"
                                     << "2026-01-07";
    QTest::newRow("ISO") << "en_GB"
                         << "2026-01-07"
                         << "2026-01-07";
}

void CallSavingTest::resolvedDateAsTyped() {
    QFETCH(QString, locale);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QLocale::setDefault(QLocale(locale));
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    fillRequired(editor);
    QTest::keyClicks(editor.Text4, typed);
    clickSave(editor);
    QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Saved"});
    QCOMPARE(Rows("select [Resolved Date] || '' from Calls"), QStringList{stored});
}

void CallSavingTest::resolvedDateNotADate_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("word") << "tomorrow";
    QTest::newRow("no such day") << "2024-02-30";
    QTest::newRow("impossible day") << "2/30/2026";
    QTest::newRow("date and word") << "1/7/2026 soon";
}

void CallSavingTest::resolvedDateNotADate() {
    QFETCH(QString, typed);
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    fillRequired(editor);
    QTest::keyClicks(editor.Text4, typed);
    clickSave(editor);
    const QStringList shown = data.prompts.texts();
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown.at(0).startsWith("Resolved Date is not a date") &&
                 shown.at(0).contains(todayUs()),
             qPrintable(shown.at(0)));
    QCOMPARE(Count("select count(*) from Calls"), 0);
    QVERIFY(editor.isVisible());
    QCOMPARE(QApplication::focusWidget(), editor.Text4);
    QCOMPARE(editor.Text4->text(), typed);
}

QTEST_MAIN(CallSavingTest)
#include "test_call_saving.moc"
