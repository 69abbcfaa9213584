// The "+", "*" and "-" buttons beside the call editor's four contact lists.

#include "call_editor_fixture.h"
#include "contacts/customer_editor.h"
#include "contacts/employee_editor.h"

#include <QApplication>

namespace {

// One contact list with its buttons and warning.
struct Row {
    const char* name;
    const char* list;
    const char* add;
    const char* edit;
    const char* remove;
    bool employees;
    const char* warning;
};

const Row kRows[] = {
    {"assigned to", "Combo1", "PushButton5", "PushButton9", "PushButton6", true,
     "Warning: Deleting assigned to will also delete issue data that is linked to this employee."},
    {"caller", "Combo6", "PushButton15", "PushButton17", "PushButton16", false,
     "Warning: Deleting caller will also delete issue data that is linked to this customer."},
    {"opened by", "Combo2", "PushButton3", "PushButton10", "PushButton4", true,
     "Warning: Deleting opened by will also delete issue data that is linked to this employee."},
    {"resolved by", "Combo7", "PushButton18", "PushButton20", "PushButton19", true,
     "Warning: Deleting resolve by will also delete issue data that is linked to this employee."},
};

void rows() {
    QTest::addColumn<int>("which");
    for (int i = 0; i < 4; ++i)
        QTest::newRow(kRows[i].name) << i;
}

QComboBox* listOf(Form2& editor, const Row& row) {
    return editor.findChild<QComboBox*>(row.list);
}

void press(Form2& editor, const char* button, bool keyboard = false) {
    auto* target = editor.findChild<QPushButton*>(button);
    if (keyboard) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Space);
    } else {
        QTest::mouseClick(target, Qt::LeftButton);
    }
}

QString table(const Row& row) {
    return row.employees ? "Employees" : "Customers";
}

// The person each of the four lists shows.
QStringList shown(Form2& editor) {
    return {editor.Combo1->currentText(), editor.Combo6->currentText(),
            editor.Combo2->currentText(), editor.Combo7->currentText()};
}

// Picks a person in every list, so that a reload has something to keep.
void pickAll(Form2& editor) {
    pick(editor.Combo1, "Dale Ames");
    pick(editor.Combo2, "Eli Stone");
    pick(editor.Combo7, "Nora Quill");
    pick(editor.Combo6, "Kit Lowe");
}

} // namespace

class ContactButtonsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void addContact_data() { rows(); }
    void addContact();
    void editContact_data() { rows(); }
    void editContact();
    void enterOrDoubleClickEdits_data();
    void enterOrDoubleClickEdits();
    void cancelledEditorStillReloads_data() { rows(); }
    void cancelledEditorStillReloads();
    void noSelectionAsksNothing_data() { rows(); }
    void noSelectionAsksNothing();
    void deleteContact_data();
    void deleteContact();
    void deleteHalfFailing_data();
    void deleteHalfFailing();
    void deletedCallerCannotBeSaved();
};

void ContactButtonsTest::addContact() {
    QFETCH(int, which);
    const Row& row = kRows[which];
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    pickAll(editor);
    const QStringList before = shown(editor);
    // The editor opens empty for a new contact; someone who sorts first is saved.
    data.prompts.onModal([&](QDialog& window) {
        auto& contact = static_cast<ContactEditor&>(window);
        QCOMPARE(contact.m_ID, QString());
        QCOMPARE(bool(qobject_cast<Form3*>(&window)), row.employees);
        QCOMPARE(contact.boxText(1), QString());
        QTest::keyClicks(contact.box(1), "Abe");
        QTest::keyClicks(contact.box(2), "Adams");
        QTest::mouseClick(contact.PushButton2, Qt::LeftButton);
    });
    press(editor, row.add, which == 0);

    QCOMPARE(data.prompts.modalCount, 1);
    QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Saved"});
    QCOMPARE(Count("select count(*) from " + table(row) + " where [Last Name]='Adams'"), 1);
    QCOMPARE(listOf(editor, row)->itemText(0), "Abe Adams");
    // Every list still shows its person; the new one is selected nowhere.
    QCOMPARE(shown(editor), before);
}

void ContactButtonsTest::editContact() {
    QFETCH(int, which);
    const Row& row = kRows[which];
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    pickAll(editor);
    QComboBox* list = listOf(editor, row);
    const qint64 id =
        (row.employees ? editor.m_EmployeeIDs : editor.m_CustomerIDs).at(list->currentIndex());
    data.prompts.onModal([&](QDialog& window) {
        auto& contact = static_cast<ContactEditor&>(window);
        QCOMPARE(contact.m_ID, QString::number(id));
        QCOMPARE(contact.boxText(1) + ' ' + contact.boxText(2), list->currentText());
        static_cast<QLineEdit*>(contact.box(2))->setText("Aaron");
        QTest::mouseClick(contact.PushButton2, Qt::LeftButton);
    });
    press(editor, row.edit, which == 1);

    QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Updated"});
    QCOMPARE(
        Scalar(QStringLiteral("select [Last Name] from %1 where ID=%2").arg(table(row)).arg(id))
            .toString(),
        "Aaron");
    // The renamed person stays selected although the list order changed.
    QVERIFY(list->currentText().endsWith(" Aaron"));
    QCOMPARE((row.employees ? editor.m_EmployeeIDs : editor.m_CustomerIDs).at(list->currentIndex()),
             id);
}

// Enter on a contact list, or a double-click on it, edits the chosen contact as "*" does; with
// none chosen Enter saves, as anywhere in the editor.
void ContactButtonsTest::enterOrDoubleClickEdits_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("way");
    QTest::addColumn<bool>("chosen");
    for (int i = 0; i < 4; ++i) {
        QTest::addRow("%s, Enter", kRows[i].name) << i << "Enter" << true;
        QTest::addRow("%s, keypad Enter", kRows[i].name) << i << "keypad Enter" << true;
        QTest::addRow("%s, double-click", kRows[i].name) << i << "double-click" << true;
        QTest::addRow("%s, Enter, none chosen", kRows[i].name) << i << "Enter" << false;
    }
}

void ContactButtonsTest::enterOrDoubleClickEdits() {
    QFETCH(int, which);
    QFETCH(QString, way);
    QFETCH(bool, chosen);
    const Row& row = kRows[which];
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    if (chosen)
        pickAll(editor);
    QComboBox* list = listOf(editor, row);
    QString opened;
    data.prompts.onModal([&](QDialog& window) {
        opened = static_cast<ContactEditor&>(window).m_ID;
        window.reject();
    });
    if (way == "double-click")
        QTest::mouseDClick(list, Qt::LeftButton);
    else
        QTest::keyClick(list, way == "Enter" ? Qt::Key_Return : Qt::Key_Enter);
    QCoreApplication::processEvents();

    if (chosen) {
        QCOMPARE(opened,
                 QString::number((row.employees ? editor.m_EmployeeIDs : editor.m_CustomerIDs)
                                     .at(list->currentIndex())));
        QVERIFY(data.prompts.texts().isEmpty());
    } else {
        QVERIFY(opened.isEmpty());
        QCOMPARE(data.prompts.texts(), QStringList{"You forgot to input Title."});
    }
}

void ContactButtonsTest::cancelledEditorStillReloads() {
    QFETCH(int, which);
    const Row& row = kRows[which];
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    pickAll(editor);
    const QStringList people = Rows("select * from " + table(row));
    for (const char* button : {row.add, row.edit}) {
        data.prompts.onModal([&](QDialog& window) {
            QTest::keyClicks(static_cast<ContactEditor&>(window).box(1), "typed");
            window.close();
        });
        press(editor, button);
    }
    QCOMPARE(data.prompts.modalCount, 2);
    QVERIFY(data.prompts.boxes.empty());
    QCOMPARE(Rows("select * from " + table(row)), people);
    // Someone added elsewhere appears with the reload after the next Cancel.
    addPerson(table(row), "Abe|Adams");
    data.prompts.onModal([](QDialog& window) { window.reject(); });
    press(editor, row.add);
    QCOMPARE(listOf(editor, row)->itemText(0), "Abe Adams");
}

void ContactButtonsTest::noSelectionAsksNothing() {
    QFETCH(int, which);
    const Row& row = kRows[which];
    EditorData data;
    addCall(CallRow());
    const QStringList calls = Rows("select * from Calls");
    Form2 editor;
    openEditor(editor, QString());
    press(editor, row.edit);
    press(editor, row.remove);
    QCOMPARE(data.prompts.modalCount, 0);
    QVERIFY(data.prompts.boxes.empty());
    QCOMPARE(Rows("select * from Calls"), calls);
}

void ContactButtonsTest::deleteContact_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<bool>("yes");
    for (int i = 0; i < 4; ++i) {
        QTest::addRow("%s, yes", kRows[i].name) << i << true;
        QTest::addRow("%s, no", kRows[i].name) << i << false;
    }
}

void ContactButtonsTest::deleteContact() {
    QFETCH(int, which);
    QFETCH(bool, yes);
    const Row& row = kRows[which];
    EditorData data;
    // Person 3 (Cora Vane, Gus Park) opened one call, is assigned one, resolved one, called one.
    CallRow opened, assigned, resolved, called, other;
    opened.openedBy = 3;
    assigned.assignedTo = 3;
    resolved.resolvedBy = "'3'";
    resolved.resolvedDate = "'2/20/2026'";
    called.caller = 3;
    const QList<int> calls = {addCall(opened), addCall(assigned), addCall(resolved),
                              addCall(called), addCall(other)};
    const QString doomed = row.employees ? "Cora Vane" : "Gus Park";
    Form2 editor;
    openEditor(editor, QString());
    pickAll(editor);
    // The same person in another list loses its selection; the others keep theirs.
    pick(row.employees ? (which == 0 ? editor.Combo2 : editor.Combo1) : editor.Combo1,
         row.employees ? doomed : "Dale Ames");
    pick(listOf(editor, row), doomed);
    const QStringList before = shown(editor);
    const QStringList allCalls = Rows("select * from Calls");

    data.prompts.answer(yes ? Prompts::Yes : Prompts::No);
    press(editor, row.remove);
    QCOMPARE(data.prompts.texts(),
             QStringList{QString(row.warning) + "\r\nDo you wish to continue?"});
    QCOMPARE(data.prompts.boxes.at(0).style, 4 + 256);
    if (!yes) {
        QCOMPARE(Rows("select * from Calls"), allCalls);
        QCOMPARE(shown(editor), before);
        return;
    }
    QCOMPARE(Count("select count(*) from " + table(row) + " where ID=3"), 0);
    // Employees take the calls they opened or are assigned to, whichever list; callers theirs.
    const QList<int> gone = row.employees ? QList<int>{calls[0], calls[1]} : QList<int>{calls[3]};
    for (int call : calls)
        QCOMPARE(Count(QStringLiteral("select count(*) from Calls where ID=%1").arg(call)),
                 gone.contains(call) ? 0 : 1);
    QCOMPARE(listOf(editor, row)->findText(doomed), -1);
    QStringList after = before;
    for (int i = 0; i < 4; ++i) {
        if (after[i] == doomed)
            after[i].clear();
    }
    QCOMPARE(shown(editor), after);
    QVERIFY(data.prompts.errorReports().empty());
}

void ContactButtonsTest::deleteHalfFailing_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<bool>("callsRefuse");
    QTest::addColumn<int>("line");
    for (int i : {0, 1}) {
        QTest::addRow("%s, calls refuse", kRows[i].name) << i << true << 108;
        QTest::addRow("%s, contact refuses", kRows[i].name) << i << false << 106;
    }
}

void ContactButtonsTest::deleteHalfFailing() {
    QFETCH(int, which);
    QFETCH(bool, callsRefuse);
    QFETCH(int, line);
    const Row& row = kRows[which];
    EditorData data;
    CallRow call;
    call.assignedTo = call.caller = 3;
    addCall(call);
    Exec(QStringLiteral("create trigger Keep before delete on %1 begin select raise(abort, "
                        "'locked'); end")
             .arg(callsRefuse ? "Calls" : table(row)));
    const QStringList calls = Rows("select * from Calls");
    const QStringList people = Rows("select * from " + table(row));
    Form2 editor;
    openEditor(editor, QString());
    pick(listOf(editor, row), row.employees ? "Cora Vane" : "Gus Park");
    press(editor, row.remove);

    // Both deletes or neither, and the failure is reported once.
    QCOMPARE(data.prompts.errorReports().size(), size_t(1));
    QVERIFY(data.prompts.errorReports().at(0).text.contains(
        reportLocation(QString(row.remove) + "_Click", line)));
    QCOMPARE(Rows("select * from Calls"), calls);
    QCOMPARE(Rows("select * from " + table(row)), people);
}

void ContactButtonsTest::deletedCallerCannotBeSaved() {
    EditorData data;
    CallRow call;
    call.caller = 5;
    const int id = addCall(call);
    Form2 editor;
    openEditor(editor, QString::number(id));
    QCOMPARE(editor.Combo6->currentText(), "Kit Lowe");
    press(editor, "PushButton16");
    QCOMPARE(Count("select count(*) from Calls"), 0);
    QCOMPARE(editor.Combo6->currentIndex(), -1);

    // The call went with its caller: saving it with another caller claims no success.
    pick(editor.Combo6, "Ann Ray");
    data.prompts.clear();
    clickSave(editor);
    QCOMPARE(data.prompts.boxes.size(), size_t(1));
    QVERIFY(!data.prompts.texts().at(0).startsWith("Record Successfully"));
    QVERIFY(editor.isVisible());
    QCOMPARE(Count("select count(*) from Calls"), 0);
}

QTEST_MAIN(ContactButtonsTest)
#include "test_contact_buttons.moc"
