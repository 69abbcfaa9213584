// Nothing a slip can lose: several calls deleted after one question, every delete undone with
// Ctrl+Z or from the deleted calls, the history of every call, and editors that ask before
// Escape drops what was typed.
#include "app/main_window.h"
#include "call_editor_fixture.h"
#include "contacts/customer_editor.h"
#include "contacts/employee_editor.h"
#include "data/shared_connection.h"
#include "history/call_history_window.h"
#include "history/deleted_calls_window.h"
#include "list/call_list_model.h"
#include "records/comments_search.h"
#include "records/deletions.h"

#include <QApplication>
#include <QTreeView>
#include <QTreeWidget>
#include <memory>

namespace {

// Dates also as the text stored, which a date read shows only in part.
const QString kEverything[] = {
    "select * from Calls order by ID",
    "select ID, [Opened Date] || '', [Due Date] || '', [Resolved Date] || '', [Call Time] || '' "
    "from Calls order by ID",
    "select * from Status order by Status", "select * from Customers order by ID",
    "select * from Employees order by ID"};

QStringList everything() {
    QStringList rows;
    for (const QString& sql : kEverything)
        rows << Rows(sql) << QStringLiteral("--");
    return rows;
}

// The program started on a database with the call editor's people and values, and `calls`
// calls: the first half with status Pending and caller 2, the rest Open and caller 1.
struct Desk {
    TestEnvironment env;
    ScriptedPrompts prompts;
    std::unique_ptr<Form1> window;

    explicit Desk(int calls = 4) {
        Deletions::ForgetAll();
        window = StartProgram();
        addListedData();
        for (int i = 0; i < calls; ++i) {
            CallRow call;
            call.title = QStringLiteral("Call %1").arg(i + 1);
            call.status = i < calls / 2 ? QStringLiteral("Pending") : QStringLiteral("Open");
            call.caller = i < calls / 2 ? 2 : 1;
            call.comments = QStringLiteral("It's the %1th time").arg(i);
            addCall(call);
        }
        window->LoadCalls();
        activate();
    }

    void activate() {
        QApplication::setActiveWindow(window.get());
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }
    void selectRows(const QList<int>& rows) {
        window->selectRow(rows.first());
        for (int row : rows.mid(1))
            window->ListView1->selectionModel()->select(window->callList()->index(row, 0),
                                                        QItemSelectionModel::Select |
                                                            QItemSelectionModel::Rows);
    }
    QStringList listedIds() const {
        QStringList ids;
        for (int row = 0; row < window->callList()->rowCount(); ++row)
            ids << window->callList()->text(row, 0);
        return ids;
    }
    // Deletes from the call editor's list row `button` after its warning.
    void deleteInEditor(QPushButton* Form2::*button, QComboBox* Form2::*list,
                        const QString& entry) {
        Form2 editor;
        openEditor(editor, QString());
        pick(editor.*list, entry);
        prompts.answer(Prompts::Yes);
        QTest::mouseClick(editor.*button, Qt::LeftButton);
    }
};

// The rows a window lists, columns `first` to `last`.
QStringList shownRows(const QTreeWidget* list, int first, int last) {
    QStringList rows;
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        QStringList cells;
        for (int column = first; column <= last; ++column)
            cells << list->topLevelItem(row)->text(column);
        rows << cells.join('|');
    }
    return rows;
}

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

    void severalSelectedCallsGoTogether_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("No keeps them")
            << int(Prompts::No) << false << QStringList{"1", "2", "3", "4"};
        QTest::newRow("Yes deletes them") << int(Prompts::Yes) << false << QStringList{"1", "4"};
        QTest::newRow("a refused delete deletes none")
            << int(Prompts::Yes) << true << QStringList{"1", "2", "3", "4"};
    }
    void severalSelectedCallsGoTogether() {
        QFETCH(int, answer);
        QFETCH(bool, refused);
        QFETCH(QStringList, left);
        Desk desk;
        if (refused)
            Exec("create temp trigger RefuseDeletes before delete on Calls begin "
                 "select raise(abort, 'The call is locked.'); end");
        desk.selectRows({1, 2});
        desk.prompts.answer(answer);
        QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);

        QCOMPARE(desk.prompts.boxes.at(0).text,
                 QStringLiteral("Are you sure you want to delete these 2 calls?"));
        QCOMPARE(desk.prompts.boxes.at(0).style, Prompts::YesNo | Prompts::DefaultButton2);
        QCOMPARE(desk.prompts.errorReports().size(), size_t(refused ? 1 : 0));
        QCOMPARE(Rows("select ID from Calls order by ID"), left);
        QCOMPARE(desk.listedIds(), left);
    }

    void ctrlZPutsBackWhatADeleteTook_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QStringList>("restoredIds");
        QTest::newRow("one call") << "call" << QStringList{"3"};
        QTest::newRow("two calls") << "calls" << QStringList{"2", "3"};
        QTest::newRow("a status") << "status" << QStringList{"1", "2"};
        QTest::newRow("a caller") << "caller" << QStringList{"1", "2"};
        QTest::newRow("an employee") << "employee" << QStringList{"1", "2", "3", "4"};
        QTest::newRow("a call kept with a time of midnight") << "typed date" << QStringList{"3"};
        QTest::newRow("a call without a call time") << "no call time" << QStringList{"3"};
    }
    void ctrlZPutsBackWhatADeleteTook() {
        QFETCH(QString, what);
        QFETCH(QStringList, restoredIds);
        Desk desk;
        // Made by an import or another program: no Call Time, and no resolved date either.
        if (what == "no call time")
            Exec("update Calls set [Call Time] = NULL, [Resolved Date] = NULL where ID = 3");
        const QStringList before = everything();
        if (what == "call" || what == "calls" || what == "typed date" || what == "no call time") {
            desk.selectRows(what == "calls" ? QList<int>{1, 2} : QList<int>{2});
            desk.prompts.answer(Prompts::Yes);
            QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
            // Put back, it gets the stored form, as it would have on the way in.
            if (what == "typed date")
                Exec("update DeletedCalls set [Due Date] = [Due Date] || ' 00:00:00'");
        } else if (what == "status") {
            desk.deleteInEditor(&Form2::PushButton8, &Form2::Combo3, "Pending");
        } else if (what == "caller") {
            desk.deleteInEditor(&Form2::PushButton16, &Form2::Combo6, "Ben Cole");
        } else {
            desk.deleteInEditor(&Form2::PushButton6, &Form2::Combo1, "Nora Quill");
        }
        desk.window->LoadCalls();
        QCOMPARE(Count("select count(*) from Calls"), 4 - restoredIds.size());

        desk.activate();
        QTest::keyClick(desk.window.get(), Qt::Key_Z, Qt::ControlModifier);

        QCOMPARE(everything(), before);
        QCOMPARE(desk.window->selectedIds(), restoredIds);
        QVERIFY(desk.prompts.errorReports().empty());
        // Once undone, it is gone from the deleted calls.
        QCOMPARE(Count("select count(*) from DeletedCalls"), 0);
        // The calls put back are found by their comments and their history tells they came
        // back; a call added afterwards is recorded and found as ever.
        Exec("insert into Calls (Title, Comments) values ('Call 5', 'One more time')");
        QCOMPARE(CallsWithCommentsHolding(SharedConnection(), "time"),
                 (std::vector<qint64>{1, 2, 3, 4, 5}));
        QCOMPARE(Rows("select CallID, NewValue from CallHistory h where ID = (select max(ID) "
                      "from CallHistory g where g.CallID = h.CallID) order by CallID"),
                 QStringList({"1|Call 1", "2|Call 2", "3|Call 3", "4|Call 4", "5|Call 5"}));
    }

    // A call put back by Ctrl+Z is listed after calls newer than itself: every call is still
    // found where it is listed by the next delete or edit, sorted or not.
    void callsPutBackAreFoundWhereListed_data() {
        QTest::addColumn<int>("headerClicks");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("selected");
        QTest::newRow("delete, unsorted") << 0 << "delete"
                                          << "3" << QStringList{"1", "4", "2"} << "4";
        QTest::newRow("delete, sorted by title descending")
            << 2 << "delete"
            << "3" << QStringList{"4", "2", "1"} << "2";
        QTest::newRow("edit of the call put back, sorted by title")
            << 1 << "edit"
            << "2" << QStringList{"1", "2", "3", "4"} << "2";
    }
    void callsPutBackAreFoundWhereListed() {
        QFETCH(int, headerClicks);
        QFETCH(QString, command);
        QFETCH(QString, call);
        QFETCH(QStringList, listed);
        QFETCH(QString, selected);
        Desk desk;
        for (int click = 0; click < headerClicks; ++click)
            desk.window->ListView1_ColumnClick(1);
        desk.selectRows({int(desk.listedIds().indexOf("2"))});
        desk.prompts.answer(Prompts::Yes);
        QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
        desk.activate();
        QTest::keyClick(desk.window.get(), Qt::Key_Z, Qt::ControlModifier);

        desk.selectRows({int(desk.listedIds().indexOf(call))});
        if (command == "delete") {
            desk.prompts.answer(Prompts::Yes);
            QTest::keyClick(desk.window->ListView1, Qt::Key_Delete);
        } else {
            desk.prompts.onModal([](QDialog& dialog) {
                auto& editor = static_cast<Form2&>(dialog);
                editor.Text1->setText(editor.Text1->text() + " again");
                editor.PushButton2->click();
            });
            desk.window->PushButton1_Click();
        }
        QCOMPARE(desk.listedIds(), listed);
        QCOMPARE(desk.window->selectedIds(), QStringList{selected});
        QVERIFY(desk.prompts.errorReports().empty());
    }

    void historyShowsEveryChangeNewestFirst() {
        Desk desk(1);
        Exec("update Calls set Title='Printer jams' where ID=1");
        Exec("update Calls set Title='Printer on fire', [Assigned To]=2 where ID=1");
        Exec("update Calls set [Due Date]='" + dateText(QDate(2026, 3, 1)) + "' where ID=1");
        desk.window->LoadCalls();
        desk.window->selectRow(0);
        QStringList shown;
        QStringList who;
        desk.prompts.onModal([&](QDialog& dialog) {
            const QTreeWidget* list = qobject_cast<CallHistoryWindow*>(&dialog)->list();
            shown = shownRows(list, 2, 4);
            who = shownRows(list, 0, 1);
        });
        QTest::keyClick(desk.window.get(), Qt::Key_H, Qt::ControlModifier);

        // Newest first; people by name, dates as the program writes them.
        QCOMPARE(shown,
                 QStringList({
                     "Due Date|" + dateText(QDate(2026, 2, 10)) + '|' + dateText(QDate(2026, 3, 1)),
                     "Assigned To|Nora Quill|Bram Holt",
                     "Title|Printer jams|Printer on fire",
                     "Title|Call 1|Printer jams",
                     "Call created||Call 1",
                 }));
        QCOMPARE(who.size(), 5);
        QCOMPARE(who.first(), Rows("select [Changed At], [Changed By] from CallHistory where "
                                   "ID = (select max(ID) from CallHistory)")
                                  .value(0));
        QVERIFY(!who.first().endsWith('|'));
    }

    void deletedCallsComeBackFromTheirWindow() {
        Desk desk;
        const QStringList before = everything();
        desk.deleteInEditor(&Form2::PushButton8, &Form2::Combo3, "Pending");
        desk.window->LoadCalls();
        QStringList listed;
        QString deleted;
        QStringList history;
        desk.prompts.onModal([&](QDialog& dialog) {
            auto* window = qobject_cast<DeletedCallsWindow*>(&dialog);
            listed = shownRows(window->list(), 0, 4);
            deleted = Rows("select [Deleted At], [Deleted By] from Deletions").value(0) + '|';
            window->list()->topLevelItem(1)->setSelected(true);
            desk.prompts.onModal([&](QDialog& inner) {
                history = shownRows(qobject_cast<CallHistoryWindow*>(&inner)->list(), 2, 4);
            });
            QTest::mouseClick(window->historyButton(), Qt::LeftButton);
            window->list()->topLevelItem(0)->setSelected(true);
            QTest::mouseClick(window->restoreButton(), Qt::LeftButton);
        });
        desk.activate();
        QTest::keyClick(desk.window.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);

        QCOMPARE(listed, QStringList({deleted + "1|Call 1|Status \"Pending\"",
                                      deleted + "2|Call 2|Status \"Pending\""}));
        QCOMPARE(history.size(), 2);
        QCOMPARE(history.at(0), QStringLiteral("Call deleted|Call 2|"));
        QCOMPARE(everything(), before);
        QCOMPARE(desk.window->selectedIds(), QStringList({"1", "2"}));
    }

    // Calls put back from their window bring back the caller deleted with them.
    void callsPutBackFromTheirWindowBringTheirCaller() {
        Desk desk;
        const QStringList before = everything();
        desk.deleteInEditor(&Form2::PushButton16, &Form2::Combo6, "Ben Cole");
        desk.window->LoadCalls();
        desk.prompts.onModal([&](QDialog& dialog) {
            auto* window = qobject_cast<DeletedCallsWindow*>(&dialog);
            window->list()->selectAll();
            QTest::mouseClick(window->restoreButton(), Qt::LeftButton);
        });
        desk.activate();
        QTest::keyClick(desk.window.get(), Qt::Key_D, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(everything(), before);
    }

    // The comments' index keeps a deleted call's entries while it is kept. Whichever way calls
    // leave and come back, a search finds exactly the calls there are whose comments hold the
    // word, and once nothing is kept the index holds exactly the comments of the calls.
    void commentsIndexFollowsCallsThatLeaveAndComeBack_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("deleted, undone") << QStringList{"delete 2", "undo"};
        QTest::newRow("deleted, changed, deleted again, restored")
            << QStringList{"delete 2", "undo", "note 2", "delete 2", "restore 2"};
        QTest::newRow("kept past its days") << QStringList{"delete 2", "delete 3", "age all"};
        QTest::newRow("one of two IDs taken again, their deletion undone")
            << QStringList{"delete 2,3", "insert 2", "undo"};
        QTest::newRow("an ID kept twice, the older copy restored")
            << QStringList{"delete 2", "insert 2", "delete 2", "undo oldest"};
        QTest::newRow("an ID kept twice, the newer copy past its days")
            << QStringList{"delete 2", "insert 2", "delete 2", "age newest"};
    }
    void commentsIndexFollowsCallsThatLeaveAndComeBack() {
        QFETCH(QStringList, steps);
        if (TestEnvironment::onServer())
            QSKIP("The server's index of the comments is the engine's own");
        Desk desk;
        Connection& db = SharedConnection();
        const auto age = [&](const QString& which) {
            Exec("update Deletions set [Deleted At] = '2000-01-01 00:00:00'" + which);
            Deletions::Run(db, [] {});
        };
        for (const QString& step : steps) {
            const QString id = step.section(' ', -1);
            if (step.startsWith("delete"))
                Deletions::Run(db,
                               [&] { db.execute("delete from Calls where ID in (" + id + ')'); });
            else if (step == "undo")
                Deletions::Restore(db, Deletions::TakeLast());
            else if (step == "undo oldest")
                Deletions::Restore(db, Scalar("select min(Deletion) from DeletedCalls").toInt());
            else if (step.startsWith("restore"))
                Deletions::RestoreCalls(db, {id.toInt()});
            else if (step.startsWith("note"))
                Exec("update Calls set Comments = 'A new note' where ID = " + id);
            else if (step.startsWith("insert"))
                Exec("insert into Calls (ID, Title, Comments) values (" + id +
                     ", 'Again', 'An old note again')");
            else
                age(step == "age all" ? QString()
                                      : " where ID = (select max(Deletion) from DeletedCalls)");
        }
        const auto holding = [](const QString& word) {
            std::vector<qint64> ids;
            for (const QString& id :
                 Rows("select ID from Calls where Comments like '%" + word + "%' order by ID"))
                ids.push_back(id.toLongLong());
            return ids;
        };
        for (const char* word : {"time", "1th", "new note", "old note"})
            QCOMPARE(CallsWithCommentsHolding(db, word), holding(word));
        age(QString());
        QCOMPARE(Count("select count(*) from DeletedCalls"), 0);
        Exec("insert into CallsText (CallsText, rank) values ('integrity-check', 1)");
        QCOMPARE(Count("select count(*) from CallsText_docsize"),
                 Count("select count(*) from Calls"));
    }

    void escapeAsksOnlyWhenSomethingChanged_data() {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("closed");
        for (const char* editor : {"call", "employee", "customer"}) {
            QTest::addRow("%s, unchanged", editor) << editor << false << 0 << true;
            QTest::addRow("%s, changed, No", editor) << editor << true << int(Prompts::No) << false;
            QTest::addRow("%s, changed, Yes", editor)
                << editor << true << int(Prompts::Yes) << true;
        }
    }
    void escapeAsksOnlyWhenSomethingChanged() {
        QFETCH(QString, editor);
        QFETCH(bool, changed);
        QFETCH(int, answer);
        QFETCH(bool, closed);
        EditorData data;
        const int id = addCall(CallRow());
        std::unique_ptr<QDialog> window;
        QWidget* box = nullptr;
        if (editor == "call") {
            auto form = std::make_unique<Form2>();
            openEditor(*form, QString::number(id));
            box = form->Text1;
            window = std::move(form);
        } else {
            std::unique_ptr<ContactEditor> form;
            if (editor == "employee")
                form = std::make_unique<Form3>();
            else
                form = std::make_unique<Form5>();
            form->m_ID = QStringLiteral("1");
            form->Form_Load();
            form->show();
            box = form->box(1);
            window = std::move(form);
        }
        if (changed)
            QTest::keyClicks(box, QStringLiteral("x"));
        if (answer)
            data.prompts.answer(answer);
        QTest::keyClick(box, Qt::Key_Escape);

        QCOMPARE(data.prompts.texts(),
                 changed ? QStringList{"Discard the changes made in this window?"} : QStringList{});
        if (changed)
            QCOMPARE(data.prompts.boxes.at(0).style, Prompts::YesNo | Prompts::DefaultButton2);
        QCOMPARE(window->isVisible(), !closed);
    }

    void deleteOrBackspaceClearsResolvedBy() {
        EditorData data;
        CallRow call;
        call.resolvedBy = QStringLiteral("'2'");
        call.resolvedDate = QStringLiteral("'") + dateText(QDate(2026, 2, 4)) + "'";
        const int id = addCall(call);
        for (Qt::Key key : {Qt::Key_Delete, Qt::Key_Backspace}) {
            Form2 editor;
            openEditor(editor, QString::number(id));
            QCOMPARE(editor.Combo7->currentText(), QStringLiteral("Bram Holt"));
            QTest::keyClick(editor.Combo7, key);
            QCOMPARE(editor.Combo7->currentIndex(), -1);
        }
    }
};

QTEST_MAIN(RecoveryTest)
#include "test_history.moc"
