// Two people on one call log: another desk on the same server, or another copy of the program
// on the same file, changes or deletes what a window shows; nothing is overwritten unasked.

#include "app/main_window.h"
#include "call_editor_fixture.h"
#include "contacts/customer_editor.h"
#include "contacts/employee_editor.h"
#include "data/connection.h"
#include "data/failure.h"
#include "data/server_link.h"
#include "data/shared_connection.h"
#include "records/row_snapshot.h"

#include <QTreeView>
#include <sqlite3.h>

namespace {

// The question when both changed the same field: its label, then their value and this
// person's ("Mine").
QString question(const QString& noun, const QString& field, const QString& theirs) {
    return QStringLiteral("Someone else changed this %1 after you opened it, in fields that you "
                          "changed too:\r\n\r\n%2\r\n    theirs: %3\r\n    yours: Mine\r\n"
                          "\r\nSave your version of these fields over theirs?\r\n\r\nYes "
                          "saves yours in these fields. No keeps theirs there and shows them "
                          "here. Their changes and yours in other fields are saved either way; "
                          "the texts above can be selected and copied.")
        .arg(noun, field, theirs);
}
const QString kGone = QStringLiteral(
    "This %1 no longer exists: it was deleted while the editor was open, so nothing was saved.");
const QString kAlreadyDeleted =
    QStringLiteral("'%1' was already deleted by someone else, so nothing was deleted.");
constexpr int kQuestionStyle = Prompts::YesNo | Prompts::Exclamation | Prompts::DefaultButton2;

// The first-named column of each kind of row, and the table that holds it.
struct Kind {
    const char* noun;
    const char* table;
    const char* column;
    const char* label;
    // A column that the editor does not change here.
    const char* other;
};
const Kind kKinds[] = {{"call", "Calls", "Title", "Title", "Comments"},
                       {"customer", "Customers", "[First Name]", "First Name", "Notes"},
                       {"employee", "Employees", "[First Name]", "First Name", "Notes"}};

// The editor of the row, shown.
template <typename Editor> std::unique_ptr<QDialog> opened(int id) {
    auto editor = std::make_unique<Editor>();
    editor->m_ID = QString::number(id);
    editor->Form_Load();
    editor->show();
    return editor;
}

// Makes the other desk give up at once on a row or file that this desk holds locked.
void waitBriefly(Connection& desk) {
    if (desk.server())
        desk.server()->run(QStringLiteral("set lock_timeout = '300ms'"));
    else
        sqlite3_busy_timeout(desk.handle(), 300);
}

} // namespace

class TwoDesksTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void saveOverAnotherDesk_data();
    void saveOverAnotherDesk();
    void theRowStaysLockedUntilTheSaveEnds();
    void deleteWhatAnotherDeskDeleted_data();
    void deleteWhatAnotherDeskDeleted();
    void deleteACallAnotherDeskDeleted();
    void saveNamingWhatAnotherDeskDeleted_data();
    void saveNamingWhatAnotherDeskDeleted();
};

void TwoDesksTest::saveOverAnotherDesk_data() {
    QTest::addColumn<int>("kind");
    // What the other desk does while the window is open: "change", "change twice" (once more
    // while the question is open) or "delete".
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<int>("answer");
    for (int kind = 0; kind < 3; ++kind) {
        const char* noun = kKinds[kind].noun;
        QTest::addRow("%s changed, overwrite", noun) << kind << "change" << int(Prompts::Yes);
        QTest::addRow("%s changed, keep theirs", noun) << kind << "change" << int(Prompts::No);
        QTest::addRow("%s changed twice, overwrite", noun)
            << kind << "change twice" << int(Prompts::Yes);
        QTest::addRow("%s deleted", noun) << kind << "delete" << int(Prompts::Yes);
        QTest::addRow("%s, another field changed", noun) << kind << "change other" << 0;
        QTest::addRow("%s changed to the same text", noun) << kind << "change same" << 0;
        // From empty to a value, beside their change: the entry is this desk's to write.
        QTest::addRow("%s, another field changed, mine was empty", noun)
            << kind << "change other, mine empty" << 0;
    }
}

void TwoDesksTest::saveOverAnotherDesk() {
    QFETCH(int, kind);
    QFETCH(QString, meanwhile);
    QFETCH(int, answer);
    const Kind& row = kKinds[kind];
    EditorData data;
    addCall(CallRow());
    addCall(CallRow());
    auto desk = data.env.openOtherDesk();
    waitBriefly(*desk);
    const QString noun = QLatin1String(row.noun);
    const QString stored = QStringLiteral("select %1 from %2 where ID=").arg(row.column, row.table);
    const auto theirChange = [&](const QString& text) {
        desk->execute(
            QStringLiteral("update %1 set %2='%3' where ID=2").arg(row.table, row.column, text));
    };

    const bool other = meanwhile.startsWith("change other");
    if (meanwhile == "change other, mine empty")
        desk->execute(QStringLiteral("update %1 set %2='' where ID=2").arg(row.table, row.column));
    const auto window = noun == "call"       ? opened<Form2>(2)
                        : noun == "employee" ? opened<Form3>(2)
                                             : opened<Form5>(2);
    auto* first = window->findChild<QLineEdit*>("Text1");
    first->clear();
    QTest::keyClicks(first, QStringLiteral("Mine"));
    const bool asked = !other && meanwhile != "change same";
    if (meanwhile == "change same")
        theirChange("Mine");
    else if (other)
        desk->execute(
            QStringLiteral("update %1 set %2='Theirs' where ID=2").arg(row.table, row.other));
    else if (meanwhile.startsWith("change"))
        theirChange("Theirs");
    else {
        // The server lets no call name a deleted person: their calls go first.
        if (TestEnvironment::onServer() && noun != "call")
            desk->execute(QStringLiteral("delete from Calls where [Assigned To]=2 or "
                                         "[Opened By]=2 or Caller=2"));
        desk->execute(QStringLiteral("delete from %1 where ID=2").arg(row.table));
    }
    // Once more while the first question is open: the question comes again. The other desk is
    // not kept waiting while the question is open.
    data.prompts.whileShown = [&](const ShownBox&) {
        if (meanwhile == "change twice" && data.prompts.boxes.size() == 1)
            theirChange("Theirs again");
    };
    data.prompts.answer(answer);
    data.prompts.answer(answer);
    QTest::mouseClick(window->findChild<QPushButton*>("PushButton2"), Qt::LeftButton);

    const bool kept = answer == Prompts::No;
    QStringList expected;
    const QString field = QLatin1String(row.label);
    if (meanwhile == "delete")
        expected << kGone.arg(noun);
    else if (asked)
        expected << question(noun, field, QStringLiteral("Theirs"));
    if (meanwhile == "change twice")
        expected << question(noun, field, QStringLiteral("Theirs again"));
    if (meanwhile != "delete" && !kept)
        expected << QStringLiteral("Record Successfully Updated");
    QCOMPARE(data.prompts.texts(), expected);
    if (asked)
        QCOMPARE(data.prompts.boxes.at(0).style,
                 meanwhile == "delete" ? int(Prompts::Exclamation) : kQuestionStyle);
    QCOMPARE(Rows(stored + "2"), meanwhile == "delete" ? QStringList()
                                 : kept                ? QStringList{"Theirs"}
                                                       : QStringList{"Mine"});
    QVERIFY(Rows(stored + "1") != QStringList{"Mine"});
    // Their change of another field stays.
    if (other)
        QCOMPARE(Rows(QStringLiteral("select %1 from %2 where ID=2").arg(row.other, row.table)),
                 QStringList{"Theirs"});
    // The history holds what each desk saved, once: no field written and put back.
    if (noun == "call" && meanwhile != "delete") {
        const QString history = QStringLiteral("select NewValue from CallHistory where CallID=2 "
                                               "and lower(Field)='%1' order by ID");
        QStringList titles{"Theirs"};
        if (meanwhile == "change twice")
            titles << "Theirs again";
        else if (other)
            titles = meanwhile == "change other" ? QStringList() : QStringList{""};
        // The other desk saved the same text: this save has nothing left to write.
        if (meanwhile == "change same")
            titles = QStringList{"Mine"};
        else if (!kept)
            titles << "Mine";
        QCOMPARE(Rows(history.arg("title")), titles);
        QCOMPARE(Rows(history.arg("comments")), other ? QStringList{"Theirs"} : QStringList());
    }
    // Saved: the window closes. Kept theirs: it shows theirs. Deleted: it keeps every entry.
    QCOMPARE(window->isVisible(), kept || meanwhile == "delete");
    QCOMPARE(first->text(), kept ? QStringLiteral("Theirs") : QStringLiteral("Mine"));
    QVERIFY(!SharedConnection().inTransaction());
}

void TwoDesksTest::theRowStaysLockedUntilTheSaveEnds() {
    EditorData data;
    const int id = addCall(CallRow());
    auto desk = data.env.openOtherDesk();
    waitBriefly(*desk);
    RowSnapshot seen;
    seen.take(SharedConnection(), QStringLiteral("Calls"), QString::number(id));
    const QString update =
        QStringLiteral("update Calls set Title='%1' where ID=") + QString::number(id);

    // Between the check and the commit the other desk cannot change the row.
    QString refused;
    const auto state = seen.writeIfUnchanged(SharedConnection(), [&] {
        try {
            desk->execute(update.arg(QStringLiteral("Theirs")));
        } catch (const Failure& failure) {
            refused = failure.description();
        }
        SharedConnection().execute(update.arg(QStringLiteral("Mine")));
    });
    QCOMPARE(state, RowSnapshot::State::Unchanged);
    QVERIFY2(refused.contains(TestEnvironment::onServer() ? "in use at another desk"
                                                          : "in use by another program"),
             qPrintable(refused));
    QCOMPARE(Scalar(QStringLiteral("select Title from Calls")).toString(), QStringLiteral("Mine"));

    // After the commit it can; a failing write leaves the row as it was and locks nothing.
    desk->execute(update.arg(QStringLiteral("Theirs")));
    QCOMPARE(seen.writeIfUnchanged(SharedConnection(),
                                   [&] { SharedConnection().execute(update.arg("Mine again")); }),
             RowSnapshot::State::Changed);
    seen.decide(true);
    QVERIFY_THROWS_EXCEPTION(Failure, seen.writeIfUnchanged(SharedConnection(), [&] {
        SharedConnection().execute(update.arg(QStringLiteral("Lost")));
        throw Failure(QStringLiteral("The disk is full."));
    }));
    QVERIFY(!SharedConnection().inTransaction());
    desk->execute(update.arg(QStringLiteral("Theirs again")));
    QCOMPARE(Scalar(QStringLiteral("select Title from Calls")).toString(),
             QStringLiteral("Theirs again"));
}

void TwoDesksTest::deleteWhatAnotherDeskDeleted_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("entry");
    // What the other desk deletes (the row only, not its calls; the server, which keeps calls
    // from naming what no longer exists, only with the calls that name it).
    QTest::addColumn<QString>("theirDelete");
    QTest::addColumn<QString>("theirCallsDelete");
    const char* rows[][5] = {
        {"Combo3", "PushButton8", "Pending", "delete from [Status] where Status='Pending'",
         "delete from Calls where Status='Pending'"},
        {"Combo4", "PushButton12", "Hardware", "delete from Categories where Category='Hardware'",
         "delete from Calls where Category='Hardware'"},
        {"Combo6", "PushButton16", "Ann Ray", "delete from Customers where ID=1",
         "delete from Calls where Caller=1"},
        {"Combo1", "PushButton6", "Nora Quill", "delete from Employees where ID=1",
         "delete from Calls where [Assigned To]=1"}};
    for (const auto& row : rows)
        QTest::newRow(row[2]) << row[0] << row[1] << row[2] << row[3] << row[4];
}

void TwoDesksTest::deleteWhatAnotherDeskDeleted() {
    QFETCH(QString, list);
    QFETCH(QString, button);
    QFETCH(QString, entry);
    QFETCH(QString, theirDelete);
    QFETCH(QString, theirCallsDelete);
    EditorData data;
    CallRow call;
    call.status = QStringLiteral("Pending");
    addCall(call);
    auto desk = data.env.openOtherDesk();
    QStringList calls = Rows("select * from Calls");

    Form2 editor;
    openEditor(editor, QString());
    auto* combo = editor.findChild<QComboBox*>(list);
    pick(combo, entry);
    // While "Do you wish to continue?" is open, the other desk deletes it.
    data.prompts.whileShown = [&](const ShownBox&) {
        if (data.prompts.boxes.size() != 1)
            return;
        desk->beginTransaction();
        desk->execute(theirDelete);
        if (TestEnvironment::onServer())
            desk->execute(theirCallsDelete);
        desk->commit();
        calls = Rows("select * from Calls");
    };
    data.prompts.answer(Prompts::Yes);
    QTest::mouseClick(editor.findChild<QPushButton*>(button), Qt::LeftButton);

    QCOMPARE(data.prompts.boxes.size(), size_t(2));
    QCOMPARE(data.prompts.boxes.at(1).text, kAlreadyDeleted.arg(entry));
    QCOMPARE(data.prompts.boxes.at(1).style, int(Prompts::Exclamation));
    // Their delete took only the row: nothing more is deleted here.
    QCOMPARE(Rows("select * from Calls"), calls);
    QCOMPARE(combo->findText(entry), -1);
    QVERIFY(!SharedConnection().inTransaction());
}

void TwoDesksTest::deleteACallAnotherDeskDeleted() {
    EditorData data;
    addCall(CallRow());
    CallRow second;
    second.title = QStringLiteral("Mail is slow");
    addCall(second);
    addCall(CallRow());
    ReleaseSharedConnection();
    auto window = StartProgram();
    auto desk = data.env.openOtherDesk();
    const QModelIndex row = window->ListView1->model()->index(1, 1);
    QTest::mouseClick(window->ListView1->viewport(), Qt::LeftButton, Qt::NoModifier,
                      window->ListView1->visualRect(row).center());
    data.prompts.whileShown = [&](const ShownBox&) {
        if (data.prompts.boxes.size() == 1)
            desk->execute(QStringLiteral("delete from Calls where ID=2"));
    };
    data.prompts.answer(Prompts::Yes);
    QTest::mouseClick(window->PushButton3, Qt::LeftButton);

    QCOMPARE(data.prompts.texts(),
             QStringList({QStringLiteral("Are you sure you want to delete [Mail is slow]?"),
                          kAlreadyDeleted.arg(QStringLiteral("Mail is slow"))}));
    QCOMPARE(Rows("select ID from Calls order by ID"), QStringList({"1", "3"}));
    QCOMPARE(window->ListView1->model()->rowCount(), 2);
}

void TwoDesksTest::saveNamingWhatAnotherDeskDeleted_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("entry");
    // What the other desk deletes, with the calls naming it, as the program deletes.
    QTest::addColumn<QString>("theirDelete");
    QTest::addColumn<QString>("theirCallsDelete");
    const char* rows[][5] = {
        {"Combo1", "Assigned To", "Dale Ames", "delete from Employees where ID=4",
         "delete from Calls where [Assigned To]=4 or [Opened By]=4"},
        {"Combo2", "Opened By", "Dale Ames", "delete from Employees where ID=4",
         "delete from Calls where [Assigned To]=4 or [Opened By]=4"},
        {"Combo7", "Resolved By", "Dale Ames", "delete from Employees where ID=4",
         "delete from Calls where [Assigned To]=4 or [Opened By]=4"},
        {"Combo6", "Caller", "Kit Lowe", "delete from Customers where ID=5",
         "delete from Calls where Caller=5"},
        {"Combo3", "Status", "Pending", "delete from [Status] where Status='Pending'",
         "delete from Calls where Status='Pending'"},
        {"Combo4", "Category", "Software", "delete from Categories where Category='Software'",
         "delete from Calls where Category='Software'"},
        {"Combo5", "Priority", "Medium", "delete from Priorities where Priority='Medium'",
         "delete from Calls where Priority='Medium'"}};
    for (const auto& row : rows)
        QTest::newRow(row[1]) << row[0] << row[1] << row[2] << row[3] << row[4];
}

// The call names someone or something the other desk deleted while the editor was open:
// nothing is saved, the person is told which field, and every entry stays but that one.
void TwoDesksTest::saveNamingWhatAnotherDeskDeleted() {
    QFETCH(QString, list);
    QFETCH(QString, field);
    QFETCH(QString, entry);
    QFETCH(QString, theirDelete);
    QFETCH(QString, theirCallsDelete);
    for (const bool editing : {false, true}) {
        EditorData data;
        const int id = addCall(CallRow());
        auto desk = data.env.openOtherDesk();
        const QStringList calls = Rows("select * from Calls");
        Form2 editor;
        openEditor(editor, editing ? QString::number(id) : QString());
        if (!editing)
            fillRequired(editor);
        editor.Text1->setText(QStringLiteral("Still mine"));
        auto* combo = editor.findChild<QComboBox*>(list);
        pick(combo, entry);
        desk->beginTransaction();
        desk->execute(theirDelete);
        desk->execute(theirCallsDelete);
        desk->commit();
        clickSave(editor);

        QCOMPARE(data.prompts.texts(),
                 QStringList(QStringLiteral("%1 names '%2', which no longer exists: it was deleted "
                                            "while the editor was open. Nothing was saved; "
                                            "everything you typed is kept. Pick another %1 and "
                                            "save again.")
                                 .arg(field, entry)));
        QCOMPARE(Rows("select * from Calls"), calls);
        QVERIFY(editor.isVisible());
        QCOMPARE(editor.Text1->text(), QStringLiteral("Still mine"));
        QCOMPARE(combo->findText(entry), -1);
        QVERIFY(!SharedConnection().inTransaction());
    }
    // The server itself refuses such a call, whoever writes it.
    if (TestEnvironment::onServer()) {
        EditorData data;
        QVERIFY_THROWS_EXCEPTION(Failure,
                                 SharedConnection().execute(QStringLiteral(
                                     "insert into Calls (Title,[Assigned To]) values ('x',99)")));
        QCOMPARE(Count("select count(*) from Calls"), 0);
    }
}

QTEST_MAIN(TwoDesksTest)
#include "test_two_desks.moc"
