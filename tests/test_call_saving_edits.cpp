// Saving a call opened for editing, a save that fails or finds its call gone, and leaving the
// editor without saving.

#include "call_editor_fixture.h"
#include "ui/appearance.h"

#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {

// The shown boxes that are not error reports.
QStringList messages(const ScriptedPrompts& prompts) {
    QStringList texts;
    for (const ShownBox& box : prompts.boxes) {
        if (box.title != QLatin1String("Application Error"))
            texts << box.text;
    }
    return texts;
}

} // namespace

class CallSavingEditsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup() { initTestCase(); }
    void editUnchangedRewritesEverything();
    void closedCallKeepsItsValues();
    void failedSaveKeepsEntries_data();
    void failedSaveKeepsEntries();
    void updateOfVanishedCall_data();
    void updateOfVanishedCall();
    void cancelWritesNothing_data();
    void cancelWritesNothing();
};

void CallSavingEditsTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void CallSavingEditsTest::editUnchangedRewritesEverything() {
    EditorData data;
    CallRow row;
    row.title = QStringLiteral("Screen flickers");
    row.assignedTo = 3;
    row.openedBy = 4;
    row.caller = 6;
    row.status = QStringLiteral("Pending");
    row.category = QStringLiteral("Software");
    row.priority = QStringLiteral("High");
    row.comments = QStringLiteral("Only after lunch");
    row.opened = QDate(2025, 12, 1);
    row.due = QDate(2025, 12, 24);
    row.callTime = QDate(2025, 12, 1);
    const int id = addCall(row);
    addCall(CallRow());
    const QString before = storedCall(id);
    const QString other = storedCall(id + 1);

    Form2 editor;
    openEditor(editor, QString::number(id));
    // Meanwhile every column changes behind the editor's back; saving the unchanged editor
    // keeps all of theirs but the call time, which every save sets (the person is asked).
    Exec(QStringLiteral("update Calls set Title='x',[Assigned To]=1,[Opened By]=1,"
                        "[Opened Date]='1/1/2020',Status='Open',Category='Network',"
                        "Priority='Low',Comments='y',[Due Date]='1/1/2020',[Resolved By]=2,"
                        "[Resolved Date]='1/2/2020',Caller=1,[Call Time]='1/1/2020' where ID=%1")
             .arg(id));
    const QString theirs = storedCall(id);
    data.prompts.answer(Prompts::Yes);
    clickSave(editor);

    QCOMPARE(data.prompts.texts().size(), 2);
    QVERIFY(data.prompts.texts().at(0).startsWith("Someone else changed this call"));
    QVERIFY(data.prompts.texts().at(0).contains("Call Time\r\n    theirs: 2020-01-01"));
    QCOMPARE(data.prompts.texts().at(1), "Record Successfully Updated");
    QCOMPARE(editor.result(), int(QDialog::Accepted));
    QVERIFY(before != theirs);
    QStringList expected = theirs.split('|');
    expected.last() = todayUs();
    QCOMPARE(storedCall(id), expected.join('|'));
    QCOMPARE(storedCall(id + 1), other);
    QCOMPARE(Count("select count(*) from Calls"), 2);
}

void CallSavingEditsTest::closedCallKeepsItsValues() {
    EditorData data;
    CallRow row;
    row.title = QStringLiteral("Lost password");
    row.assignedTo = 2;
    row.openedBy = 5;
    row.caller = 3;
    row.status = QStringLiteral("Closed");
    row.comments = QStringLiteral("Reset by phone");
    row.resolvedBy = QStringLiteral("'4'");
    row.resolvedDate = QStringLiteral("'2/4/2026'");
    const int id = addCall(row);
    const QString before = storedCall(id);

    Form2 editor;
    openEditor(editor, QString::number(id));
    QCOMPARE(editor.Text1->text(), row.title);
    QCOMPARE(editor.Combo7->currentText(), QStringLiteral("Dale Ames"));
    QCOMPARE(editor.Text4->text(), QStringLiteral("2/4/2026"));
    QCOMPARE(editor.Text3->toPlainText(), row.comments);
    clickSave(editor);

    QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Updated"});
    QStringList expected = before.split('|');
    expected.last() = todayUs();
    QCOMPARE(storedCall(id), expected.join('|'));
}

void CallSavingEditsTest::failedSaveKeepsEntries_data() {
    QTest::addColumn<bool>("editMode");
    QTest::addColumn<QString>("sabotage");
    QTest::newRow("insert refused") << false
                                    << "create trigger NoWrites before insert on Calls begin "
                                       "select raise(abort, 'disk is full'); end";
    QTest::newRow("update refused") << true
                                    << "create trigger NoWrites before update on Calls begin "
                                       "select raise(abort, 'disk is full'); end";
    QTest::newRow("table gone, add") << false << "alter table Calls rename to CallsAway";
    QTest::newRow("table gone, edit") << true << "alter table Calls rename to CallsAway";
}

void CallSavingEditsTest::failedSaveKeepsEntries() {
    QFETCH(bool, editMode);
    QFETCH(QString, sabotage);
    EditorData data;
    const int id = addCall(CallRow());
    const QString before = storedCall(id);

    Form2 editor;
    openEditor(editor, editMode ? QString::number(id) : QString());
    editor.Text1->clear();
    fillRequired(editor);
    pick(editor.Combo7, QStringLiteral("Bram Holt"));
    editor.Text4->setText(QStringLiteral("4/1/2026"));
    editor.Text3->setPlainText(QStringLiteral("Keep me"));
    editor.DateTimePicker2->setDate(QDate(2026, 5, 5));
    Exec(sabotage);
    clickSave(editor);

    // Reported, not confirmed; the window stays with everything as typed.
    QCOMPARE(data.prompts.boxes.size(), size_t(1));
    QCOMPARE(data.prompts.boxes.at(0).title, QStringLiteral("Application Error"));
    QCOMPARE(data.prompts.boxes.at(0).style, 48);
    QVERIFY(data.prompts.boxes.at(0).text.contains(reportLocation("PushButton2_Click", 142)));
    QVERIFY(editor.isVisible());
    QCOMPARE(editor.result(), int(QDialog::Rejected));
    QCOMPARE(editor.Text1->text(), QStringLiteral("It's down"));
    QCOMPARE(editor.Combo1->currentText(), QStringLiteral("Cora Vane"));
    QCOMPARE(editor.Combo2->currentText(), QStringLiteral("Eli Stone"));
    QCOMPARE(editor.Combo6->currentText(), QStringLiteral("Pia Wells"));
    QCOMPARE(editor.Combo3->currentText(), QStringLiteral("Open"));
    QCOMPARE(editor.Combo4->currentText(), QStringLiteral("Network"));
    QCOMPARE(editor.Combo5->currentText(), QStringLiteral("High"));
    QCOMPARE(editor.Combo7->currentText(), QStringLiteral("Bram Holt"));
    QCOMPARE(editor.Text4->text(), QStringLiteral("4/1/2026"));
    QCOMPARE(editor.Text3->toPlainText(), QStringLiteral("Keep me"));
    QCOMPARE(editor.DateTimePicker2->date(), QDate(2026, 5, 5));

    // Once the cause is gone, the same entries save.
    if (sabotage.startsWith("create"))
        Exec("drop trigger NoWrites");
    else
        Exec("alter table CallsAway rename to Calls");
    QCOMPARE(storedCall(id), before);
    data.prompts.clear();
    clickSave(editor);
    QCOMPARE(data.prompts.texts(),
             QStringList{editMode ? "Record Successfully Updated" : "Record Successfully Saved"});
    QCOMPARE(Count("select count(*) from Calls where Title='It''s down' and Comments='Keep me'"),
             1);
    QCOMPARE(Count("select count(*) from Calls"), editMode ? 1 : 2);
}

void CallSavingEditsTest::updateOfVanishedCall_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("deleted meanwhile") << "delete";
    QTest::newRow("deleted with its status value") << "status";
    QTest::newRow("never existed") << "none";
}

void CallSavingEditsTest::updateOfVanishedCall() {
    QFETCH(QString, how);
    EditorData data;
    CallRow row;
    row.status = QStringLiteral("Pending");
    const int id = addCall(row);
    addCall(CallRow());

    Form2 editor;
    openEditor(editor, QString::number(how == "none" ? id + 5 : id));
    if (how == "delete") {
        Exec(QStringLiteral("delete from Calls where ID=%1").arg(id));
    } else if (how == "status") {
        // The editor's own "-" beside Status takes the call with it; another status is picked.
        QCOMPARE(editor.Combo3->currentText(), QStringLiteral("Pending"));
        data.prompts.answer(Prompts::Yes);
        QTest::mouseClick(editor.PushButton8, Qt::LeftButton);
        pick(editor.Combo3, QStringLiteral("Open"));
    } else {
        editor.Text1->clear();
        fillRequired(editor);
    }
    data.prompts.clear();
    const QStringList before = Rows("select * from Calls");
    clickSave(editor);

    QCOMPARE(data.prompts.boxes.size(), size_t(1));
    QVERIFY(data.prompts.boxes.at(0).text.contains(QStringLiteral("no longer exists")));
    QCOMPARE(data.prompts.boxes.at(0).title, AppTitle());
    QVERIFY(!messages(data.prompts).contains("Record Successfully Updated"));
    QVERIFY(editor.isVisible());
    QCOMPARE(Rows("select * from Calls"), before);

    // Cancel still closes it, writing nothing.
    QTest::mouseClick(editor.PushButton1, Qt::LeftButton);
    QVERIFY(!editor.isVisible());
    QCOMPARE(editor.result(), int(QDialog::Rejected));
    QCOMPARE(Rows("select * from Calls"), before);
}

void CallSavingEditsTest::cancelWritesNothing_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("editMode");
    for (const char* how : {"Cancel", "Escape", "close box"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1, add").arg(QLatin1String(how))))
            << QString(QLatin1String(how)) << false;
        QTest::newRow(qPrintable(QStringLiteral("%1, edit").arg(QLatin1String(how))))
            << QString(QLatin1String(how)) << true;
    }
}

void CallSavingEditsTest::cancelWritesNothing() {
    QFETCH(QString, how);
    QFETCH(bool, editMode);
    EditorData data;
    const int id = addCall(CallRow());
    const QStringList before = Rows("select * from Calls");
    Form2 editor;
    openEditor(editor, editMode ? QString::number(id) : QString());
    QApplication::setActiveWindow(&editor);
    QVERIFY(QTest::qWaitForWindowActive(&editor));
    editor.Text1->clear();
    fillRequired(editor);
    editor.Text1->setFocus();

    if (how == "Cancel")
        QTest::mouseClick(editor.PushButton1, Qt::LeftButton);
    else if (how == "Escape")
        QTest::keyClick(editor.Text1, Qt::Key_Escape);
    else
        editor.close();

    QVERIFY(!editor.isVisible());
    QCOMPARE(editor.result(), int(QDialog::Rejected));
    // Escape asks first whether to drop what was typed (the test answers Yes).
    QCOMPARE(data.prompts.boxes.size(), size_t(how == "Escape" ? 1 : 0));
    QCOMPARE(Rows("select * from Calls"), before);
}

QTEST_MAIN(CallSavingEditsTest)
#include "test_call_saving_edits.moc"
