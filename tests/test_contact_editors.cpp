// The employee editor Form3 and its twin, the customer editor Form5.

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

class ContactEditorsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void layout_data() { twinRows(); }
    void layout();
    void workedExample_data() { twinRows(); }
    void workedExample();
    void checks_data();
    void checks();
    void textsAsTyped_data() { twinRows(); }
    void textsAsTyped();
    void notesKeptExactly_data() { twinRows(); }
    void notesKeptExactly();
    void nullShowsEmpty_data() { twinRows(); }
    void nullShowsEmpty();
    void closeWritesNothing_data();
    void closeWritesNothing();
    void failedSave_data();
    void failedSave();
    void contactGone_data() { twinRows(); }
    void contactGone();
};

void ContactEditorsTest::layout() {
    QFETCH(bool, employees);
    EditorData data;
    auto editor = openContact(employees, QString());
    QCOMPARE(editor->windowTitle(), table(employees));
    QCOMPARE(editor->size(), QSize(TwipsToPixels(employees ? 11400 : 5760), TwipsToPixels(7605)));
    QCOMPARE(editor->minimumSize(), editor->maximumSize());
    QVERIFY(
        !(editor->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QCOMPARE(editor->font(), QFont("Arial", 9, QFont::Bold));
    QCOMPARE(QApplication::focusWidget(), editor->box(1));

    // Label caption, box and place in twips, label 255 above (240 for the notes).
    const struct {
        const char* label;
        int left, top, width;
    } boxes[] = {{"First Name", 120, 375, 2640},      {"Last Name", 3000, 375, 2640},
                 {"Job Title", 120, 1095, 2640},      {"Company", 3000, 1095, 2640},
                 {"Business Phone", 120, 1935, 2640}, {"Home Phone", 3000, 1935, 2640},
                 {"Mobile Phone", 120, 2655, 2640},   {"Fax Number", 3000, 2655, 2640},
                 {"Address", 120, 3375, 5520},        {"City", 120, 4095, 1440},
                 {"State", 1680, 4110, 720},          {"Postal Code", 2520, 4095, 1440},
                 {"Country", 4080, 4095, 1560},       {"Email Address", 120, 4815, 2640},
                 {"Webpage", 3000, 4815, 2640},       {"Notes", 120, 5520, 5520}};
    const auto labels = editor->findChildren<QLabel*>("Label1");
    QCOMPARE(labels.size(), 16);
    QStringList tabs;
    for (int i = 0; i < 16; ++i) {
        QWidget* box = editor->findChild<QWidget*>(QStringLiteral("Text%1").arg(i + 1));
        QCOMPARE(box, editor->box(i + 1));
        const int height = i == 15 ? 1425 : 345;
        QCOMPARE(box->geometry(), TwipsRect(boxes[i].left, boxes[i].top, boxes[i].width, height));
        QString caption = boxes[i].label;
        if (!employees && i < 2)
            caption = i == 0 ? "Firstname" : "Lastname";
        QCOMPARE(labels.at(i)->text(), caption);
        const int rise = i == 15 ? 240 : 255;
        QCOMPARE(labels.at(i)->geometry().bottomLeft() + QPoint(0, 1),
                 TwipsRect(boxes[i].left, boxes[i].top - rise, 1, rise).bottomLeft() +
                     QPoint(0, 1));
    }
    QVERIFY(qobject_cast<QPlainTextEdit*>(editor->box(16)));

    const char* cancel = employees ? "PushButton1" : "PushButton3";
    auto* cancelButton = editor->findChild<QPushButton*>(cancel);
    QCOMPARE(editor->PushButton2->text(), "Save");
    QCOMPARE(cancelButton->text(), "Cancel");
    QCOMPARE(editor->PushButton2->geometry(), TwipsRect(120, 7080, employees ? 5520 : 2760, 405));
    QCOMPARE(cancelButton->geometry(),
             employees ? TwipsRect(5760, 7080, 5520, 405) : TwipsRect(3000, 7080, 2640, 405));
    QCOMPARE(cancelButton->font().pointSizeF(), 11.25);

    // Tab walks the boxes, Save, Cancel and then the lists, last opened before assigned.
    QWidget* widget = editor->box(1);
    QStringList chain;
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != editor->box(1) && chain.size() < 25);
    QStringList expected;
    for (int i = 1; i <= 16; ++i)
        expected << QStringLiteral("Text%1").arg(i);
    expected << "PushButton2" << cancel;
    if (employees)
        expected << "ListView2"
                 << "ListView1";
    QCOMPARE(chain.mid(0, expected.size()), expected);

    auto* form3 = qobject_cast<Form3*>(editor.get());
    QCOMPARE(bool(form3), employees);
    if (!form3)
        return;
    QCOMPARE(form3->Frame1->title(), "Opened Calls");
    QCOMPARE(form3->Frame2->title(), "Assigned Calls");
    QCOMPARE(form3->Frame1->geometry(), TwipsRect(5760, 240, 5520, 3315));
    QCOMPARE(form3->Frame2->geometry(), TwipsRect(5760, 3660, 5520, 3315));
    const int widths[] = {2000, 1500, 1500, 1200, 1500, 1200, 1200, 1200};
    for (QTreeView* list : {form3->ListView1, form3->ListView2}) {
        QCOMPARE(list->geometry(), TwipsRect(240, 360, 5040, 2775));
        QStringList headers;
        for (int c = 0; c < list->model()->columnCount(); ++c)
            headers << list->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headers, (QStringList{"Title", "Assigned To", "Caller", "Priority", "Status",
                                       "Category", "Due Date", "Opened By", "Opened Date"}));
        for (int c = 0; c < 8; ++c)
            QCOMPARE(list->header()->sectionSize(c), TwipsToPixels(widths[c]));
    }
}

void ContactEditorsTest::workedExample() {
    QFETCH(bool, employees);
    EditorData data;
    const QString name = table(employees);
    const int before = Count("select count(*) from " + name);
    auto editor = openContact(employees, QString());
    QTest::keyClicks(editor->box(1), "A");
    QTest::keyClicks(editor->box(2), "B'C");
    save(*editor);
    QCOMPARE(editor->lastStatement(),
             "insert into " + name +
                 " ([First Name],[Last Name],[E-mail Address],Company,[Job Title],[Business "
                 "Phone],[Home Phone],[Mobile Phone],[Fax Number],Address,City,State,ZIP,Country,"
                 "[Web Page],Notes) values ('A','B''C','','','','','','','','','','','','','','')");
    QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Saved"});
    QCOMPARE(editor->result(), int(QDialog::Accepted));
    const int id = Count("select max(ID) from " + name);
    QCOMPARE(Count("select count(*) from " + name), before + 1);

    // Every box to its own column, in the statement's order, and back into its box.
    editor = openContact(employees, QString::number(id));
    QCOMPARE(editor->boxText(2), "B'C");
    QStringList typed;
    for (int i = 1; i <= 16; ++i) {
        typed << QStringLiteral("v%1").arg(i);
        auto* line = qobject_cast<QLineEdit*>(editor->box(i));
        if (line)
            line->clear();
        QTest::keyClicks(editor->box(i), typed.last());
    }
    data.prompts.clear();
    save(*editor);
    QCOMPARE(editor->lastStatement(),
             "update " + name +
                 " set [First Name]='v1',[Last Name]='v2',[E-mail Address]='v14',Company='v4',"
                 "[Job Title]='v3',[Business Phone]='v5',[Home Phone]='v6',[Mobile Phone]='v7',"
                 "[Fax Number]='v8',Address='v9',City='v10',State='v11',ZIP='v12',Country='v13',"
                 "[Web Page]='v15',Notes='v16' where ID=" +
                 QString::number(id));
    QCOMPARE(data.prompts.texts(), QStringList{"Record Successfully Updated"});
    QCOMPARE(stored(employees, id), typed);
    editor = openContact(employees, QString::number(id));
    for (int i = 1; i <= 16; ++i)
        QCOMPARE(editor->boxText(i), typed.at(i - 1));
}

void ContactEditorsTest::checks_data() {
    QTest::addColumn<bool>("employees");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<int>("refused");
    for (bool employees : {true, false}) {
        const char* kind = employees ? "employees" : "customers";
        QTest::addRow("%s, both empty", kind) << employees << ""
                                              << "" << 1;
        QTest::addRow("%s, first blanks", kind) << employees << "   "
                                                << "Holt" << 1;
        QTest::addRow("%s, last blanks", kind) << employees << "Bram"
                                               << "  " << 2;
    }
}

void ContactEditorsTest::checks() {
    QFETCH(bool, employees);
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(int, refused);
    EditorData data;
    const QStringList rows = Rows("select * from " + table(employees));
    auto editor = openContact(employees, QString());
    QTest::keyClicks(editor->box(1), first);
    QTest::keyClicks(editor->box(2), last);
    save(*editor);
    QCOMPARE(data.prompts.texts(), QStringList{refused == 1 ? "You forgot to input first name."
                                                            : "You forgot to input last name."});
    QCOMPARE(data.prompts.boxes.at(0).style, 0);
    QCOMPARE(QApplication::focusWidget(), editor->box(refused));
    QVERIFY(editor->isVisible());
    QCOMPARE(editor->boxText(1), first);
    QCOMPARE(Rows("select * from " + table(employees)), rows);
}

void ContactEditorsTest::textsAsTyped() {
    QFETCH(bool, employees);
    EditorData data;
    auto editor = openContact(employees, QString());
    // Quotes stored as one quote, surrounding blanks kept, line breaks in the notes.
    QStringList typed;
    for (int i = 1; i <= 16; ++i) {
        typed << QStringLiteral("  O'Neil's %1 ").arg(i);
        QTest::keyClicks(editor->box(i), typed.last());
    }
    QTest::keyClick(editor->box(16), Qt::Key_Return);
    QTest::keyClicks(editor->box(16), "second line");
    typed.last() += "\nsecond line";
    save(*editor);
    QCOMPARE(data.prompts.errorReports().size(), size_t(0));
    QCOMPARE(stored(employees, Count("select max(ID) from " + table(employees))), typed);
}

void ContactEditorsTest::notesKeptExactly() {
    // Notes pasted from other programs keep their line ends and no-break spaces through an
    // unchanged save.
    QFETCH(bool, employees);
    EditorData data;
    const QString notes = QStringLiteral("a\r\nb\rc\nd\u2028e\u2029f\u00a0g");
    Exec("update " + table(employees) + " set Notes='" + notes + "' where ID=2");
    auto editor = openContact(employees, "2");
    save(*editor);
    QCOMPARE(stored(employees, 2).at(15), notes);
}

void ContactEditorsTest::nullShowsEmpty() {
    QFETCH(bool, employees);
    EditorData data;
    auto editor = openContact(employees, "2");
    QCOMPARE(editor->boxText(1), (employees ? kEmployees : kCustomers).at(1).section('|', 0, 0));
    for (int i = 3; i <= 16; ++i)
        QCOMPARE(editor->boxText(i), QString());
    save(*editor);
    QStringList expected = stored(employees, 2).mid(0, 2);
    for (int i = 3; i <= 16; ++i)
        expected << QString();
    QCOMPARE(stored(employees, 2), expected);
}

void ContactEditorsTest::closeWritesNothing_data() {
    QTest::addColumn<bool>("employees");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("closeBox");
    for (bool employees : {true, false})
        for (const char* id : {"", "3"})
            for (bool closeBox : {false, true})
                QTest::addRow("%s %s, %s", employees ? "employee" : "customer",
                              *id ? "edit" : "add", closeBox ? "close box" : "Cancel")
                    << employees << QString(id) << closeBox;
}

void ContactEditorsTest::closeWritesNothing() {
    QFETCH(bool, employees);
    QFETCH(QString, id);
    QFETCH(bool, closeBox);
    EditorData data;
    const QStringList rows = Rows("select * from " + table(employees));
    auto editor = openContact(employees, id);
    for (int i = 1; i <= 16; ++i)
        QTest::keyClicks(editor->box(i), "typed");
    if (closeBox)
        editor->close();
    else
        QTest::mouseClick(
            editor->findChild<QPushButton*>(employees ? "PushButton1" : "PushButton3"),
            Qt::LeftButton);
    QVERIFY(!editor->isVisible());
    QCOMPARE(editor->result(), int(QDialog::Rejected));
    QVERIFY(data.prompts.boxes.empty());
    QCOMPARE(Rows("select * from " + table(employees)), rows);
}

void ContactEditorsTest::failedSave_data() {
    QTest::addColumn<bool>("employees");
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("line");
    for (bool employees : {true, false}) {
        QTest::addRow("%s, add", employees ? "employee" : "customer") << employees << "" << 118;
        QTest::addRow("%s, edit", employees ? "employee" : "customer") << employees << "4" << 114;
    }
}

void ContactEditorsTest::failedSave() {
    QFETCH(bool, employees);
    QFETCH(QString, id);
    QFETCH(int, line);
    EditorData data;
    const QString name = table(employees);
    Exec(QStringLiteral("create trigger Refuse before %1 on %2 begin select raise(abort, 'the "
                        "disk is full'); end")
             .arg(id.isEmpty() ? "insert" : "update", name));
    const QStringList rows = Rows("select * from " + name);
    auto editor = openContact(employees, id);
    QTest::keyClicks(editor->box(1), "Kept");
    QTest::keyClicks(editor->box(2), "Entry");
    save(*editor);

    // Reported once, no success claimed, the window stays open with every entry.
    QCOMPARE(data.prompts.boxes.size(), size_t(1));
    QVERIFY(data.prompts.boxes.at(0).text.contains(
        QStringLiteral("in Quorvane2021/08/31.%1.PushButton2_Click at line %2")
            .arg(employees ? "Form3" : "Form5")
            .arg(line)));
    QVERIFY(editor->isVisible());
    QVERIFY(editor->boxText(1).endsWith("Kept"));
    QCOMPARE(Rows("select * from " + name), rows);

    // Once the database takes it, the same entries are saved.
    Exec("drop trigger Refuse");
    data.prompts.clear();
    save(*editor);
    QCOMPARE(data.prompts.texts().size(), 1);
    QVERIFY(data.prompts.texts().at(0).startsWith("Record Successfully"));
    QVERIFY(!editor->isVisible());
}

void ContactEditorsTest::contactGone() {
    QFETCH(bool, employees);
    EditorData data;
    auto editor = openContact(employees, "5");
    Exec("delete from " + table(employees) + " where ID=5");
    save(*editor);
    QCOMPARE(data.prompts.texts(),
             QStringList{QStringLiteral("This %1 no longer exists: it was deleted while the editor "
                                        "was open, so nothing was saved.")
                             .arg(employees ? "employee" : "customer")});
    QVERIFY(editor->isVisible());
    QCOMPARE(Count("select count(*) from " + table(employees) + " where ID=5"), 0);
    QTest::mouseClick(editor->findChild<QPushButton*>(employees ? "PushButton1" : "PushButton3"),
                      Qt::LeftButton);
    QVERIFY(!editor->isVisible());
}

QTEST_MAIN(ContactEditorsTest)
#include "test_contact_editors.moc"
