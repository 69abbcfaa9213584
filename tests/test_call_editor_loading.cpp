// The call editor loading a call: the defaults of a new call and of a call opened for editing,
// people found again by name or by ID, and a list that cannot be read.

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
#include <QRegularExpression>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QTest>

namespace {

QList<qint64> idsOf(const QString& sql) {
    QList<qint64> ids;
    for (const QString& row : Rows(sql))
        ids << row.toLongLong();
    return ids;
}

} // namespace

class CallEditorLoadingTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void addModeDefaults();
    void editModeDefaults_data();
    void editModeDefaults();
    void sameDisplayName();
    void restoreByPerson_data();
    void restoreByPerson();
    void restoreDeletedPerson();
    void missingNameLeavesNoSelection_data();
    void missingNameLeavesNoSelection();
    void loaderQueryFails_data();
    void loaderQueryFails();
};

void CallEditorLoadingTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void CallEditorLoadingTest::addModeDefaults() {
    EditorData data;
    addCall(CallRow());
    Form2 editor;
    openEditor(editor, QString());

    QVERIFY(data.prompts.boxes.empty());
    for (QLineEdit* box : {editor.Text1, editor.Text2, editor.Text4})
        QVERIFY(box->text().isEmpty());
    QVERIFY(editor.Text3->toPlainText().isEmpty());
    for (QComboBox* list : {editor.Combo1, editor.Combo2, editor.Combo3, editor.Combo4,
                            editor.Combo5, editor.Combo6, editor.Combo7}) {
        QCOMPARE(list->currentIndex(), -1);
        QVERIFY(list->currentText().isEmpty());
    }
    QCOMPARE(editor.DateTimePicker1->date(), QDate::currentDate());
    QCOMPARE(editor.DateTimePicker2->date(), QDate::currentDate());

    // The lists hold what the database holds, in its order, with the ids behind them.
    const QStringList employees = Rows("select [Employee Name] from [Employees Extended]");
    QCOMPARE(employees.size(), kEmployees.size());
    for (QComboBox* list : {editor.Combo1, editor.Combo2, editor.Combo7})
        QCOMPARE(itemsOf(list), employees);
    QCOMPARE(editor.m_EmployeeIDs, idsOf("select ID from [Employees Extended]"));
    QCOMPARE(itemsOf(editor.Combo6), Rows("select [Customer Name] from [Customers Extended]"));
    QCOMPARE(editor.m_CustomerIDs, idsOf("select ID from [Customers Extended]"));
    QCOMPARE(itemsOf(editor.Combo3), (QStringList{"Closed", "Open", "Pending"}));
    QCOMPARE(itemsOf(editor.Combo4), (QStringList{"Hardware", "Network", "Software"}));
    QCOMPARE(itemsOf(editor.Combo5), (QStringList{"High", "Low", "Medium"}));
    QCOMPARE(editor.m_EmployeeIDs.at(editor.Combo1->findText("Cora Vane")), 3);
}

void CallEditorLoadingTest::editModeDefaults_data() {
    QTest::addColumn<bool>("resolved");
    QTest::addColumn<bool>("exists");
    QTest::newRow("open call") << false << true;
    QTest::newRow("resolved call") << true << true;
    QTest::newRow("no such call") << false << false;
}

void CallEditorLoadingTest::editModeDefaults() {
    QFETCH(bool, resolved);
    QFETCH(bool, exists);
    EditorData data;
    CallRow row;
    row.title = QStringLiteral("  VPN drops");
    row.assignedTo = 4;
    row.openedBy = 1;
    row.caller = 5;
    row.status = QStringLiteral("Pending");
    row.category = QStringLiteral("Network");
    row.priority = QStringLiteral("Medium");
    row.comments = QStringLiteral("Twice a day\nsince Monday");
    row.opened = QDate(2025, 11, 28);
    row.due = QDate(2026, 1, 9);
    if (resolved) {
        row.resolvedBy = QStringLiteral("'3'");
        row.resolvedDate = QLatin1Char('\'') + dateText(QDate(2026, 1, 7)) + QLatin1Char('\'');
    }
    addCall(CallRow());
    const int id = addCall(row);

    Form2 editor;
    openEditor(editor, QString::number(exists ? id : id + 10));
    QVERIFY(data.prompts.boxes.empty());
    if (!exists) {
        // Nothing to show: the add-mode defaults, still in edit mode.
        QVERIFY(editor.Text1->text().isEmpty());
        QVERIFY(editor.Text2->text().isEmpty());
        for (QComboBox* list : {editor.Combo1, editor.Combo2, editor.Combo3, editor.Combo4,
                                editor.Combo5, editor.Combo6, editor.Combo7})
            QCOMPARE(list->currentIndex(), -1);
        QCOMPARE(editor.DateTimePicker1->date(), QDate::currentDate());
        QCOMPARE(editor.DateTimePicker2->date(), QDate::currentDate());
        QCOMPARE(editor.m_ID, QString::number(id + 10));
        return;
    }
    QCOMPARE(editor.Text2->text(), QString::number(id));
    QCOMPARE(editor.Text1->text(), row.title);
    QCOMPARE(editor.Combo1->currentText(), QStringLiteral("Dale Ames"));
    QCOMPARE(editor.Combo2->currentText(), QStringLiteral("Nora Quill"));
    QCOMPARE(editor.Combo6->currentText(), QStringLiteral("Kit Lowe"));
    QCOMPARE(editor.m_EmployeeIDs.at(editor.Combo1->currentIndex()), 4);
    QCOMPARE(editor.m_CustomerIDs.at(editor.Combo6->currentIndex()), 5);
    QCOMPARE(editor.Combo3->currentText(), row.status);
    QCOMPARE(editor.Combo4->currentText(), row.category);
    QCOMPARE(editor.Combo5->currentText(), row.priority);
    QCOMPARE(editor.DateTimePicker1->date(), row.opened);
    QCOMPARE(editor.DateTimePicker2->date(), row.due);
    QCOMPARE(editor.Text3->toPlainText(), row.comments);
    if (resolved) {
        QCOMPARE(editor.Combo7->currentText(), QStringLiteral("Cora Vane"));
        QCOMPARE(editor.Text4->text(), QStringLiteral("1/7/2026"));
    } else {
        QCOMPARE(editor.Combo7->currentIndex(), -1);
        QVERIFY(editor.Text4->text().isEmpty());
    }
}

void CallEditorLoadingTest::sameDisplayName() {
    EditorData data;
    addPerson("Employees", "Sam|Lee"); // 6
    addPerson("Employees", "Sam|Lee"); // 7
    CallRow row;
    row.assignedTo = 7;
    row.openedBy = 6;
    row.resolvedBy = QStringLiteral("'7'");
    row.resolvedDate = QStringLiteral("'2/5/2026'");
    const int id = addCall(row);

    Form2 editor;
    openEditor(editor, QString::number(id));
    QVERIFY(data.prompts.boxes.empty());
    const int first = editor.Combo1->findText(QStringLiteral("Sam Lee"));
    QCOMPARE(editor.Combo1->itemText(first + 1), QStringLiteral("Sam Lee"));
    // Namesakes: each list selects the person the call stores, not the first of the name.
    QCOMPARE(editor.m_EmployeeIDs.at(first), 6);
    QCOMPARE(editor.m_EmployeeIDs.at(first + 1), 7);
    QCOMPARE(editor.Combo1->currentIndex(), first + 1);
    QCOMPARE(editor.Combo2->currentIndex(), first);
    QCOMPARE(editor.Combo7->currentIndex(), first + 1);

    // Saving unchanged keeps every person the call names.
    QTest::mouseClick(editor.PushButton2, Qt::LeftButton);
    QCOMPARE(Rows(QStringLiteral("select [Assigned To], [Opened By], [Resolved By] from Calls "
                                 "where ID=%1")
                      .arg(id)),
             QStringList{QStringLiteral("7|6|7")});
}

void CallEditorLoadingTest::restoreByPerson_data() {
    // Which loader runs with which argument, and the list it leaves without selection.
    QTest::addColumn<int>("argument");
    QTest::addColumn<bool>("employees");
    QTest::addColumn<QString>("cleared");
    QTest::newRow("employees, keep all") << 0 << true << "";
    QTest::newRow("employees, clear Assigned To") << 1 << true << "Combo1";
    QTest::newRow("employees, clear Opened By") << 2 << true << "Combo2";
    QTest::newRow("employees, clear Resolved By") << 7 << true << "Combo7";
    QTest::newRow("customers, keep") << 0 << false << "";
    QTest::newRow("customers, clear") << 1 << false << "Combo6";
}

void CallEditorLoadingTest::restoreByPerson() {
    QFETCH(int, argument);
    QFETCH(bool, employees);
    QFETCH(QString, cleared);
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    QTest::keyClicks(editor.Text1, QStringLiteral("Typed before"));
    pick(editor.Combo3, QStringLiteral("Pending"));
    editor.Combo1->setCurrentIndex(1);
    editor.Combo2->setCurrentIndex(2);
    editor.Combo7->setCurrentIndex(0);
    editor.Combo6->setCurrentIndex(3);
    QComboBox* const lists[] = {editor.Combo1, editor.Combo2, editor.Combo7, editor.Combo6};
    QStringList before;
    for (QComboBox* list : lists)
        before << list->currentText();

    // Someone who sorts first joins the list: every list still shows the same person.
    addPerson(employees ? "Employees" : "Customers", "Abe|Adams");
    if (employees)
        editor.LoadEmployees(argument);
    else
        editor.LoadCustomers(argument);
    QVERIFY(data.prompts.boxes.empty());
    QCOMPARE(editor.m_EmployeeIDs, idsOf("select ID from [Employees Extended]"));
    QCOMPARE(editor.m_CustomerIDs, idsOf("select ID from [Customers Extended]"));
    for (int i = 0; i < 4; ++i) {
        if (lists[i]->objectName() == cleared)
            QCOMPARE(lists[i]->currentIndex(), -1);
        else
            QCOMPARE(lists[i]->currentText(), before.at(i));
    }
    QCOMPARE(editor.Text1->text(), QStringLiteral("Typed before"));
    QCOMPARE(editor.Combo3->currentText(), QStringLiteral("Pending"));
}

void CallEditorLoadingTest::restoreDeletedPerson() {
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    const int last = editor.Combo1->count() - 1;
    editor.Combo1->setCurrentIndex(last);
    editor.Combo2->setCurrentIndex(0);
    editor.Combo6->setCurrentIndex(editor.Combo6->count() - 1);
    const QString assigned = editor.Combo1->currentText();
    Exec(QStringLiteral("delete from Employees where ID=%1").arg(editor.m_EmployeeIDs.at(0)));
    Exec(QStringLiteral("delete from Customers where ID=%1").arg(editor.m_CustomerIDs.last()));

    // A person who is gone leaves the list without selection, with no report; the others keep
    // their person although the positions moved.
    editor.LoadEmployees(0);
    editor.LoadCustomers(0);
    QVERIFY(data.prompts.boxes.empty());
    QCOMPARE(editor.Combo1->currentText(), assigned);
    QCOMPARE(editor.Combo1->currentIndex(), last - 1);
    QCOMPARE(editor.Combo2->currentIndex(), -1);
    QCOMPARE(editor.Combo6->currentIndex(), -1);
}

void CallEditorLoadingTest::missingNameLeavesNoSelection_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("removal");
    QTest::addColumn<QString>("told");
    // The call of CallRow names employee 1 as assigned, 2 as opener, customer 1 and its values.
    QTest::newRow("status") << "Combo3"
                            << "delete from Status where Status='Pending'"
                            << "Status 'Pending'";
    QTest::newRow("category") << "Combo4"
                              << "delete from Categories where Category='Hardware'"
                              << "Category 'Hardware'";
    QTest::newRow("priority") << "Combo5"
                              << "delete from Priorities where Priority='Low'"
                              << "Priority 'Low'";
    QTest::newRow("assigned to") << "Combo1"
                                 << "delete from Employees where ID=1"
                                 << "Assigned To";
    QTest::newRow("opened by") << "Combo2"
                               << "delete from Employees where ID=2"
                               << "Opened By";
    QTest::newRow("caller") << "Combo6"
                            << "delete from Customers where ID=1"
                            << "Caller";
    // An empty value names nothing: nothing is gone.
    QTest::newRow("empty status") << "Combo3"
                                  << "update Calls set Status=''"
                                  << "";
    QTest::newRow("status and caller") << "Combo3,Combo6"
                                       << "delete from Status where Status='Pending';delete from "
                                          "Customers where ID=1"
                                       << "Status 'Pending', Caller";
}

void CallEditorLoadingTest::missingNameLeavesNoSelection() {
    QFETCH(QString, list);
    QFETCH(QString, removal);
    QFETCH(QString, told);
    EditorData data;
    CallRow row;
    row.status = QStringLiteral("Pending");
    row.title = QStringLiteral("Orphaned");
    const int id = addCall(row);
    // A call log of an earlier version, without the server's own checks, may hold such calls.
    if (TestEnvironment::onServer())
        Exec("alter table calls drop constraint calls_assigned_to, drop constraint "
             "calls_opened_by, drop constraint calls_caller, drop constraint calls_status, drop "
             "constraint calls_category, drop constraint calls_priority");
    for (const QString& statement : removal.split(';'))
        Exec(statement);

    // The call opens all the same: one box names what is gone, those lists are left empty.
    Form2 editor;
    openEditor(editor, QString::number(id));
    QCOMPARE(data.prompts.boxes.size(), size_t(told.isEmpty() ? 0 : 1));
    const QString fields = told.contains(',') ? "Those fields are" : "That field is";
    if (!told.isEmpty())
        QVERIFY2(
            data.prompts.boxes.at(0).text.contains("no longer exists: " + told + ". " + fields),
            qPrintable(data.prompts.boxes.at(0).text));
    for (QComboBox* combo : editor.findChildren<QComboBox*>(QRegularExpression("^Combo[1-6]$")))
        QCOMPARE(combo->currentIndex() < 0, list.split(',').contains(combo->objectName()));
    QCOMPARE(editor.Text1->text(), row.title);
}

void CallEditorLoadingTest::loaderQueryFails_data() {
    QTest::addColumn<QString>("sabotage");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("emptyLists");
    QTest::newRow("employees") << "drop view [Employees Extended]"
                               << reportLocation("LoadEmployees", 104) << "Combo1 Combo2 Combo7";
    QTest::newRow("customers") << "drop view [Customers Extended]"
                               << reportLocation("LoadCustomers", 104) << "Combo6";
    QTest::newRow("status") << "drop table Status" << reportLocation("LoadStatus", 102) << "Combo3";
    QTest::newRow("categories") << "drop table Categories" << reportLocation("LoadCategories", 102)
                                << "Combo4";
    QTest::newRow("priorities") << "drop table Priorities" << reportLocation("LoadPriorities", 102)
                                << "Combo5";
}

void CallEditorLoadingTest::loaderQueryFails() {
    QFETCH(QString, sabotage);
    QFETCH(QString, location);
    QFETCH(QString, emptyLists);
    EditorData data;
    Exec(sabotage);
    Form2 editor;
    openEditor(editor, QString());

    // One report, and the broken list stays empty while the others fill.
    QCOMPARE(data.prompts.boxes.size(), size_t(1));
    QVERIFY2(data.prompts.boxes.at(0).text.contains(location),
             qPrintable(data.prompts.boxes.at(0).text));
    const QStringList empty = emptyLists.split(' ');
    for (QComboBox* list : editor.findChildren<QComboBox*>()) {
        if (list->parentWidget() != &editor)
            continue;
        QCOMPARE(list->count() == 0, empty.contains(list->objectName()));
        QCOMPARE(list->currentIndex(), -1);
    }
    if (empty.contains("Combo1"))
        QVERIFY(editor.m_EmployeeIDs.isEmpty());
    if (empty.contains("Combo6"))
        QVERIFY(editor.m_CustomerIDs.isEmpty());
    QCOMPARE(editor.DateTimePicker2->date(), QDate::currentDate());
}

QTEST_MAIN(CallEditorLoadingTest)
#include "test_call_editor_loading.moc"
