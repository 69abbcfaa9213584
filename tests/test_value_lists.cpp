// The "+" and "-" buttons beside the call editor's status, category and priority lists.

#include "call_editor_fixture.h"
#include "ui/appearance.h"

#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

namespace {

// One of the three value lists, as the editor shows it and the database keeps it.
struct ListUnderTest {
    QString name;
    QString table;
    QString column;
    const char* list;
    const char* addButton;
    const char* deleteButton;
    QString prompt;
    QString caption;
    QString warning;
};

const ListUnderTest kLists[] = {
    {"status", "Status", "Status", "Combo3", "PushButton7", "PushButton8",
     "Enter new Status: ", "Input Status",
     "Warning: Deleting status will also delete issue data that is linked to this status."},
    {"category", "Categories", "Category", "Combo4", "PushButton11", "PushButton12",
     "Enter new Category: ", "Input Category",
     "Warning: Deleting category will also delete issue data that is linked to this category."},
    {"priority", "Priorities", "Priority", "Combo5", "PushButton13", "PushButton14",
     "Enter new Priority: ", "Input Priority",
     "Warning: Deleting priority will also delete issue data that is linked to this priority."},
};

QStringList tableValues(const ListUnderTest& under) {
    return Rows(QStringLiteral("select %1 from [%2] order by %1").arg(under.column, under.table));
}

QComboBox* listOf(Form2& editor, const ListUnderTest& under) {
    return editor.findChild<QComboBox*>(QLatin1String(under.list));
}

void click(Form2& editor, const char* button) {
    QTest::mouseClick(editor.findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
}

// A call that carries `value` in the list's column, open or resolved.
int callWith(const ListUnderTest& under, const QString& value, bool resolved) {
    CallRow row;
    row.title = QStringLiteral("%1 %2").arg(value, resolved ? "closed" : "open");
    if (under.column == "Status")
        row.status = value;
    else if (under.column == "Category")
        row.category = value;
    else
        row.priority = value;
    if (resolved) {
        row.resolvedBy = QStringLiteral("'2'");
        row.resolvedDate = QStringLiteral("'2/20/2026'");
    }
    return addCall(row);
}

void addListRows() {
    QTest::addColumn<int>("which");
    for (int i = 0; i < 3; ++i)
        QTest::newRow(qPrintable(kLists[i].name)) << i;
}

} // namespace

class ValueListsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void addValue_data();
    void addValue();
    void addNothing_data();
    void addNothing();
    void addDuplicate();
    void deleteWithoutSelection_data();
    void deleteWithoutSelection();
    void deleteAnsweredNo_data();
    void deleteAnsweredNo();
    void deleteTakesItsCalls_data();
    void deleteTakesItsCalls();
    void deleteHalfFailing_data();
    void deleteHalfFailing();
};

void ValueListsTest::initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void ValueListsTest::addValue_data() {
    addListRows();
}

void ValueListsTest::addValue() {
    QFETCH(int, which);
    const ListUnderTest& under = kLists[which];
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    QTest::keyClicks(editor.Text1, QStringLiteral("Half typed"));
    pick(editor.Combo1, QStringLiteral("Eli Stone"));
    QComboBox* list = listOf(editor, under);
    list->setCurrentIndex(0);

    const QString value = QStringLiteral("O'Neil's");
    data.prompts.type(value);
    click(editor, under.addButton);

    QCOMPARE(data.prompts.inputs.size(), size_t(1));
    QCOMPARE(data.prompts.inputs.at(0).prompt, under.prompt);
    QCOMPARE(data.prompts.inputs.at(0).title, under.caption);
    QVERIFY(data.prompts.boxes.empty());
    QVERIFY(tableValues(under).contains(value));
    // Reloaded, in order, with nothing selected; the other entries stay.
    QCOMPARE(itemsOf(list), tableValues(under));
    QVERIFY(itemsOf(list).contains(value));
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(editor.Text1->text(), QStringLiteral("Half typed"));
    QCOMPARE(editor.Combo1->currentText(), QStringLiteral("Eli Stone"));
    QVERIFY(editor.isVisible());

    // The new value with its quote deletes again.
    pick(list, value);
    data.prompts.answer(Prompts::Yes);
    click(editor, under.deleteButton);
    QVERIFY(!tableValues(under).contains(value));
    QVERIFY(!itemsOf(list).contains(value));
    QCOMPARE(data.prompts.errorReports().size(), size_t(0));
}

void ValueListsTest::addNothing_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<bool>("cancelled");
    for (int i = 0; i < 3; ++i) {
        QTest::newRow(qPrintable(kLists[i].name + ", cancelled")) << i << true;
        QTest::newRow(qPrintable(kLists[i].name + ", empty")) << i << false;
    }
}

void ValueListsTest::addNothing() {
    QFETCH(int, which);
    QFETCH(bool, cancelled);
    const ListUnderTest& under = kLists[which];
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    QComboBox* list = listOf(editor, under);
    list->setCurrentIndex(1);
    const QStringList shown = itemsOf(list);
    // A value added elsewhere would appear on a reload.
    Exec(QStringLiteral("insert into [%1] values ('Elsewhere')").arg(under.table));
    const QStringList stored = tableValues(under);

    data.prompts.type(cancelled ? std::nullopt : std::optional<QString>(QString()));
    click(editor, under.addButton);

    QCOMPARE(data.prompts.inputs.size(), size_t(1));
    QVERIFY(data.prompts.boxes.empty());
    QCOMPARE(tableValues(under), stored);
    QCOMPARE(itemsOf(list), shown);
    QCOMPARE(list->currentIndex(), 1);
}

void ValueListsTest::addDuplicate() {
    EditorData data;
    Form2 editor;
    openEditor(editor, QString());
    pick(editor.Combo3, QStringLiteral("Open"));
    data.prompts.type(QStringLiteral("Open"));
    QTest::mouseClick(editor.PushButton7, Qt::LeftButton);

    // The database refuses the second "Open": reported, and the list reloaded all the same.
    QCOMPARE(data.prompts.errorReports().size(), size_t(1));
    QVERIFY(data.prompts.boxes.at(0).text.contains(reportLocation("PushButton7_Click", 104)));
    QCOMPARE(Count("select count(*) from Status where Status='Open'"), 1);
    QCOMPARE(itemsOf(editor.Combo3), Rows("select Status from Status order by Status"));
    QCOMPARE(editor.Combo3->currentIndex(), -1);
}

void ValueListsTest::deleteWithoutSelection_data() {
    addListRows();
}

void ValueListsTest::deleteWithoutSelection() {
    QFETCH(int, which);
    const ListUnderTest& under = kLists[which];
    EditorData data;
    const QString first = tableValues(under).first();
    callWith(under, first, false);
    const QStringList calls = Rows("select * from Calls");
    Form2 editor;
    openEditor(editor, QString());
    QComboBox* list = listOf(editor, under);
    QCOMPARE(list->currentIndex(), -1);

    click(editor, under.deleteButton);

    QVERIFY(data.prompts.boxes.empty());
    QCOMPARE(tableValues(under).size(), 3);
    QCOMPARE(Rows("select * from Calls"), calls);
    QCOMPARE(list->count(), 3);
}

void ValueListsTest::deleteAnsweredNo_data() {
    addListRows();
}

void ValueListsTest::deleteAnsweredNo() {
    QFETCH(int, which);
    const ListUnderTest& under = kLists[which];
    EditorData data;
    const QString value = tableValues(under).at(1);
    callWith(under, value, false);
    const QStringList calls = Rows("select * from Calls");
    Form2 editor;
    openEditor(editor, QString());
    QComboBox* list = listOf(editor, under);
    pick(list, value);

    data.prompts.answer(Prompts::No);
    click(editor, under.deleteButton);

    QCOMPARE(data.prompts.boxes.size(), size_t(1));
    QCOMPARE(data.prompts.boxes.at(0).text,
             under.warning + QStringLiteral("\r\nDo you wish to continue?"));
    QCOMPARE(data.prompts.boxes.at(0).style, Prompts::YesNo | Prompts::DefaultButton2);
    QCOMPARE(data.prompts.boxes.at(0).title, AppTitle());
    QVERIFY(tableValues(under).contains(value));
    QCOMPARE(Rows("select * from Calls"), calls);
    QCOMPARE(list->currentText(), value);
}

void ValueListsTest::deleteTakesItsCalls_data() {
    addListRows();
}

void ValueListsTest::deleteTakesItsCalls() {
    QFETCH(int, which);
    const ListUnderTest& under = kLists[which];
    EditorData data;
    const QString doomed = QStringLiteral("Don't use");
    Exec(QStringLiteral("insert into [%1] values ('Don''t use')").arg(under.table));
    const QString kept = tableValues(under).last();
    const int openCall = callWith(under, doomed, false);
    const int closedCall = callWith(under, doomed, true);
    const int otherCall = callWith(under, kept, true);
    const QStringList keptValues = tableValues(under).filter(QRegularExpression("^(?!Don't use$)"));

    // The call being edited carries the value too.
    Form2 editor;
    openEditor(editor, QString::number(openCall));
    QComboBox* list = listOf(editor, under);
    QCOMPARE(list->currentText(), doomed);
    pick(editor.Combo7, QStringLiteral("Bram Holt"));

    data.prompts.answer(Prompts::Yes);
    click(editor, under.deleteButton);

    QCOMPARE(data.prompts.texts(),
             QStringList{under.warning + QStringLiteral("\r\nDo you wish to continue?")});
    QCOMPARE(tableValues(under), keptValues);
    QCOMPARE(Rows("select ID from Calls"), QStringList{QString::number(otherCall)});
    QVERIFY(openCall != otherCall && closedCall != otherCall);
    QCOMPARE(itemsOf(list), keptValues);
    QCOMPARE(list->currentIndex(), -1);
    QCOMPARE(editor.Combo7->currentText(), QStringLiteral("Bram Holt"));
    QVERIFY(editor.isVisible());
}

void ValueListsTest::deleteHalfFailing_data() {
    QTest::addColumn<int>("which");
    QTest::addColumn<bool>("callsRefuse");
    QTest::addColumn<int>("line");
    for (int i = 0; i < 3; ++i) {
        QTest::newRow(qPrintable(kLists[i].name + ", calls refuse")) << i << true << 108;
        QTest::newRow(qPrintable(kLists[i].name + ", value refuses")) << i << false << 106;
    }
}

void ValueListsTest::deleteHalfFailing() {
    QFETCH(int, which);
    QFETCH(bool, callsRefuse);
    QFETCH(int, line);
    const ListUnderTest& under = kLists[which];
    EditorData data;
    const QString value = tableValues(under).at(0);
    callWith(under, value, false);
    callWith(under, value, true);
    if (callsRefuse)
        Exec("create trigger KeepCalls before delete on Calls begin "
             "select raise(abort, 'calls are archived'); end");
    else
        Exec(QStringLiteral("create trigger KeepValues before delete on [%1] begin "
                            "select raise(abort, 'values are locked'); end")
                 .arg(under.table));
    const QStringList values = tableValues(under);
    const QStringList calls = Rows("select * from Calls");

    Form2 editor;
    openEditor(editor, QString());
    QComboBox* list = listOf(editor, under);
    pick(list, value);
    data.prompts.answer(Prompts::Yes);
    click(editor, under.deleteButton);

    // Both deletes or neither: the failure is reported and nothing is gone.
    QCOMPARE(data.prompts.errorReports().size(), size_t(1));
    QVERIFY(data.prompts.errorReports().at(0).text.contains(
        reportLocation(QLatin1String(under.deleteButton) + "_Click", line)));
    QCOMPARE(tableValues(under), values);
    QCOMPARE(Rows("select * from Calls"), calls);
    QCOMPARE(itemsOf(list), values);

    // The connection is usable afterwards: no transaction was left open.
    Exec("insert into Status values ('After')");
    QCOMPARE(Count("select count(*) from Status where Status='After'"), 1);
}

QTEST_MAIN(ValueListsTest)
#include "test_value_lists.moc"
