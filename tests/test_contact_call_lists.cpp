// The calls lists of the employee and customer editors: what they show, their sorting and
// opening a call from them.

#include "call_editor_fixture.h"
#include "calls/call_editor.h"
#include "contact_editor_fixture.h"
#include "contacts/call_rows_model.h"
#include "contacts/customer_editor.h"
#include "contacts/employee_editor.h"
#include "ui/twips.h"

#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTreeView>

class ContactCallListsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void callLists();
    void callListsSortAndOpen();
    void titlesSortAsTheLanguageDoes_data();
    void titlesSortAsTheLanguageDoes();
};

// A title click sorts the employee's calls as the person's language does: accents beside their
// letter, capitals first among titles that differ only in case; a second click reverses.
void ContactCallListsTest::titlesSortAsTheLanguageDoes_data() {
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("accents") << QStringList{"Zèbre", "Écran", "ecran", "Avion"}
                             << QStringList{"Avion", "ecran", "Écran", "Zèbre"};
    QTest::newRow("capitals") << QStringList{"b", "B", "a", "A"} << QStringList{"A", "a", "B", "b"};
    QTest::newRow("one call") << QStringList{"É"} << QStringList{"É"};
}

void ContactCallListsTest::titlesSortAsTheLanguageDoes() {
    QFETCH(QStringList, titles);
    QFETCH(QStringList, sorted);
    EditorData data;
    for (const QString& title : titles) {
        CallRow call;
        call.title = title;
        call.assignedTo = call.openedBy = 3;
        addCall(call);
    }
    auto editor = openContact(true, "3");
    CallRowsModel* calls = static_cast<Form3*>(editor.get())->openedCalls();
    for (int click = 0; click < 2; ++click) {
        calls->sortByClick(0);
        QStringList shown;
        for (int row = 0; row < calls->rowCount(); ++row)
            shown << calls->row(row)[0];
        QCOMPARE(shown, sorted);
        std::reverse(sorted.begin(), sorted.end());
    }
}

void ContactCallListsTest::callLists() {
    EditorData data;
    CallRow both;
    both.title = "Both";
    both.assignedTo = both.openedBy = 3;
    both.caller = 2;
    const int bothId = addCall(both);
    Exec(QStringLiteral("update Calls set [Due Date]=NULL where ID=%1").arg(bothId));
    CallRow opened;
    opened.title = "Opened only";
    opened.openedBy = 3;
    addCall(opened);
    CallRow assigned;
    assigned.title = "Assigned only";
    assigned.assignedTo = 3;
    addCall(assigned);
    CallRow closed = both;
    closed.title = "Closed";
    closed.resolvedBy = "'3'";
    closed.resolvedDate = "'2/20/2026'";
    addCall(closed);

    // In add mode nothing is read: without the tables and the query the window opens quietly.
    Exec("drop view [Open Calls]");
    Exec("alter table Employees rename to Staff");
    auto added = openContact(true, QString());
    auto* form3 = static_cast<Form3*>(added.get());
    QVERIFY(data.prompts.boxes.empty());
    QCOMPARE(form3->ListView1->model()->rowCount() + form3->ListView2->model()->rowCount(), 0);
    Exec("alter table Staff rename to Employees");
    Exec(
        "create view [Open Calls] as select * from [Calls Extended] where [Resolved Date] is null");

    auto editor = openContact(true, "3");
    form3 = static_cast<Form3*>(editor.get());
    auto titles = [](CallRowsModel* model) {
        QStringList list;
        for (int row = 0; row < model->rowCount(); ++row)
            list << model->row(row)[0];
        std::sort(list.begin(), list.end());
        return list;
    };
    QCOMPARE(titles(form3->openedCalls()), (QStringList{"Both", "Opened only"}));
    QCOMPARE(titles(form3->assignedCalls()), (QStringList{"Assigned only", "Both"}));
    const CallRowsModel::Row expected = {"Both", "Cora Vane", "Ben Cole",
                                         "Low",  "Open",      "Hardware",
                                         "",     "Cora Vane", dateText(both.opened)};
    for (CallRowsModel* model : {form3->openedCalls(), form3->assignedCalls()}) {
        for (int row = 0; row < model->rowCount(); ++row)
            if (model->row(row)[0] == "Both")
                QVERIFY(model->row(row) == expected);
    }
    QCOMPARE(form3->ListView1->model(), form3->openedCalls());
    QVERIFY(data.prompts.boxes.empty());

    // Only the due date may be empty: another empty field is reported as the list is read.
    Exec(QStringLiteral("update Calls set Category=NULL where ID=%1").arg(bothId));
    auto reread = openContact(true, "3");
    QVERIFY(!data.prompts.errorReports().empty());
    QVERIFY2(data.prompts.boxes.front().text.contains("Invalid use of Null"),
             qPrintable(data.prompts.boxes.front().text));
}

// A header click sorts an employee's calls (dates as dates); a double-click or Enter opens the
// call in the call editor, and the lists show it as saved there.
void ContactCallListsTest::callListsSortAndOpen() {
    EditorData data;
    const struct {
        const char* title;
        QDate opened;
    } calls[] = {{"Bravo", QDate(2026, 1, 9)},
                 {"alpha", QDate(2025, 12, 1)},
                 {"Charlie", QDate(2026, 1, 10)}};
    for (const auto& call : calls) {
        CallRow row;
        row.title = call.title;
        row.assignedTo = row.openedBy = 3;
        row.opened = call.opened;
        addCall(row);
    }
    // The employee editor opened from the call editor's "*" beside Opened By.
    Form2 callEditor;
    callEditor.m_ID = QString();
    callEditor.Form_Load();
    callEditor.Combo2->setCurrentIndex(callEditor.m_EmployeeIDs.indexOf(3));
    QStringList opened;
    data.prompts.onModal([&](QDialog& window) {
        auto& form3 = static_cast<Form3&>(window);
        auto titles = [&] {
            QStringList list;
            for (int row = 0; row < form3.openedCalls()->rowCount(); ++row)
                list << form3.openedCalls()->row(row)[0];
            return list;
        };
        QHeaderView* header = form3.ListView1->header();
        // "Opened Date" lies beyond the list's width: its header is clicked where it is.
        emit header->sectionClicked(8);
        QCOMPARE(titles(), (QStringList{"alpha", "Bravo", "Charlie"}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(0) + 5, 5));
        QCOMPARE(titles(), (QStringList{"Charlie", "Bravo", "alpha"}));
        // Double-click the first row, then Enter on the second: each opens its call.
        data.prompts.onModal([&](QDialog& call) {
            opened << static_cast<Form2&>(call).Text1->text();
            static_cast<Form2&>(call).Text1->setText("Charlie renamed");
            QTest::mouseClick(static_cast<Form2&>(call).PushButton2, Qt::LeftButton);
        });
        data.prompts.onModal([&](QDialog& call) {
            opened << static_cast<Form2&>(call).Text1->text();
            call.reject();
        });
        const QRect first = form3.ListView1->visualRect(form3.openedCalls()->index(0, 0));
        QTest::mouseClick(form3.ListView1->viewport(), Qt::LeftButton, {}, first.center());
        QTest::mouseDClick(form3.ListView1->viewport(), Qt::LeftButton, {}, first.center());
        form3.ListView1->setCurrentIndex(form3.openedCalls()->index(1, 0));
        QTest::keyClick(form3.ListView1, Qt::Key_Return);
        QCOMPARE(titles(), (QStringList{"Charlie renamed", "Bravo", "alpha"}));
        window.reject();
    });
    callEditor.PushButton10_Click();
    QCOMPARE(opened, (QStringList{"Charlie", "Bravo"}));
    QCOMPARE(Rows("select Title from Calls where ID=3"), QStringList{"Charlie renamed"});
}

QTEST_MAIN(ContactCallListsTest)
#include "test_contact_call_lists.moc"
